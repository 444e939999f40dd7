// SPDX-License-Identifier: Apache-2.0
#pragma once
// Syndrome-trellis codes (Filler, Judas and Fridrich, "Minimizing additive
// distortion in steganography using syndrome-trellis codes", 2011).
//
// The parity-check matrix H (m rows, n columns) is built from one small
// submatrix H-hat of kTrellisHeight rows: block b (one per message bit)
// covers the columns [b·n/m, (b+1)·n/m) and places the first columns of
// H-hat in rows b .. b + h - 1; rows at or past m are cut off. Every column
// of H-hat has its lowest and highest bit set, so each block can always
// reach its message bit and the Viterbi search never meets an impossible
// message. The embedder finds the stego bits y with H·y = message whose
// changes from the cover bits cost least in total; the extractor computes
// H·y. Height 7 (128 trellis states) keeps a 12-megapixel picture within
// seconds; each step up doubles the time and gains a few percent of
// efficiency at the low payloads this is used at.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

inline constexpr int kTrellisHeight = 7;

// `width` columns of H-hat (h bits each, lowest and highest set) from a seed.
std::vector<uint32_t> trellisSubmatrix(uint64_t seed, size_t width, int height = kTrellisHeight);

// The widest block when n columns carry m bits, the columns H-hat needs.
size_t widestTrellisBlock(size_t columns, size_t messageBits);

struct TrellisResult {
    std::vector<uint8_t> stego; // one bit per column (0 or 1)
    double cost = 0;            // the summed cost of the columns that changed
};

// The cheapest y with H·y = message, where changing column j costs costs[j]
// (finite, not negative); fewer than 2^30 columns. `cover` and `message` hold one bit per byte;
// messageBits ≤ columns and messageBits ≥ 1. `submatrix` has at least
// widestTrellisBlock(columns, messageBits) columns.
TrellisResult trellisEmbed(const uint8_t* cover, const float* costs, size_t columns, const uint8_t* message,
                           size_t messageBits, const std::vector<uint32_t>& submatrix, int height = kTrellisHeight);

// H·y, one bit per byte.
std::vector<uint8_t> trellisExtract(const uint8_t* stego, size_t columns, size_t messageBits,
                                    const std::vector<uint32_t>& submatrix);

} // namespace ostrel
