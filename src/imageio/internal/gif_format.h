// SPDX-License-Identifier: Apache-2.0
#pragma once
// The numbers of the GIF file format that the reader and the writer share:
// block introducers and labels, descriptor sizes and flags, the LZW code
// limits and the interlaced row order. Internal to imageio.
#include <array>
#include <cstddef>
#include <cstdint>

namespace ostrel::gif {

constexpr uint8_t kExtensionIntroducer = 0x21; // '!'
constexpr uint8_t kImageSeparator = 0x2C;      // ','
constexpr uint8_t kGifTrailer = 0x3B;          // ';'
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kBlockTerminator = 0;

constexpr size_t kScreenDescriptorSize = 13; // signature included
constexpr size_t kImageDescriptorSize = 9;   // after the separator
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;

constexpr int kMaxCodeWidth = 12;
constexpr int kCodeLimit = 1 << kMaxCodeWidth; // 4096 codes
constexpr int kMaxSubBlock = 255;

struct InterlacePass {
    int start;
    int step;
};
// Rows 0, 8, 16…; then 4, 12…; then 2, 6…; then 1, 3….
constexpr std::array<InterlacePass, 4> kInterlacePasses = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
constexpr InterlacePass kSequentialPass = {0, 1};

} // namespace ostrel::gif
