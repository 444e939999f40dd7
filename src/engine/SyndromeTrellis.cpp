// SPDX-License-Identifier: Apache-2.0
#include "SyndromeTrellis.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <limits>

namespace ostrel {

namespace {

uint64_t splitMix64(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The first column of block b; block b ends where block b + 1 starts.
size_t blockStart(size_t block, size_t columns, size_t messageBits)
{
    // Below 2^30 columns the product stays within 64 bits.
    return size_t(uint64_t(block) * columns / messageBits);
}

// Four states at a time in 128-bit vectors (the compilers' vector
// extensions, so any target gets its own instructions; SSE2 on x86-64).
// For the run of four starting at b, the states u ^ h lie in the run
// starting at b ^ (h & ~3), in the order l ^ (h & 3) of its lanes: a
// constant shuffle once h & 3 is a template argument. The loop over states
// did not vectorise by itself (mixed widths, and the permutation).
using Floats = float __attribute__((vector_size(16)));
using Masks = int32_t __attribute__((vector_size(16)));
constexpr size_t kLanes = 4;

Floats loadFloats(const float* from)
{
    Floats v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

// One column: next[u] is the cheaper of keeping y = 0 from u (cost[u] +
// keep) and taking y = 1 from u ^ h (cost[u ^ h] + flip); bit u of `took`
// says whether y = 1 was taken, strictly cheaper only, so ties keep.
template <int Low>
void relaxColumn(const float* cost, float* next, uint8_t* took, size_t states, size_t high, float keep, float flip)
{
    const Floats keeps = {keep, keep, keep, keep}, flips = {flip, flip, flip, flip};
    const Masks laneBits = {1, 2, 4, 8};
    for (size_t b = 0; b < states; b += kLanes) {
        const Floats from = loadFloats(cost + (b ^ high));
        const Floats stay = loadFloats(cost + b) + keeps;
        const Floats move = __builtin_shufflevector(from, from, 0 ^ Low, 1 ^ Low, 2 ^ Low, 3 ^ Low) + flips;
        const Masks moves = move < stay;
        const Masks best = (std::bit_cast<Masks>(move) & moves) | (std::bit_cast<Masks>(stay) & ~moves);
        std::memcpy(next + b, &best, sizeof best);
        Masks bits = moves & laneBits;
        bits |= __builtin_shufflevector(bits, bits, 2, 3, 0, 1);
        bits |= __builtin_shufflevector(bits, bits, 1, 0, 3, 2);
        took[b / 8] = uint8_t((b & 4) ? took[b / 8] | (bits[0] << 4) : bits[0]);
    }
}

// Fewer states than lanes (heights 1 and 2, only ever in tests): one by one.
void relaxColumnScalar(const float* cost, float* next, uint8_t* took, size_t states, size_t h, float keep,
                       float flip)
{
    took[0] = 0;
    for (size_t u = 0; u < states; ++u) {
        const float stay = cost[u] + keep;
        const float move = cost[u ^ h] + flip;
        const bool moves = move < stay;
        took[0] = uint8_t(took[0] | (int(moves) << u));
        next[u] = moves ? move : stay;
    }
}

void relax(const float* cost, float* next, uint8_t* took, size_t states, uint32_t h, float keep, float flip)
{
    if (states < kLanes)
        return relaxColumnScalar(cost, next, took, states, h, keep, flip);
    const size_t high = h & ~(kLanes - 1);
    switch (h & (kLanes - 1)) {
    case 0:
        return relaxColumn<0>(cost, next, took, states, high, keep, flip);
    case 1:
        return relaxColumn<1>(cost, next, took, states, high, keep, flip);
    case 2:
        return relaxColumn<2>(cost, next, took, states, high, keep, flip);
    default:
        return relaxColumn<3>(cost, next, took, states, high, keep, flip);
    }
}

} // namespace

std::vector<uint32_t> trellisSubmatrix(uint64_t seed, size_t width, int height)
{
    const uint32_t mask = (uint32_t(1) << height) - 1;
    const uint32_t ends = 1u | (uint32_t(1) << (height - 1));
    std::vector<uint32_t> columns(width);
    for (uint32_t& column : columns)
        column = (uint32_t(splitMix64(seed)) & mask) | ends;
    return columns;
}

size_t widestTrellisBlock(size_t columns, size_t messageBits)
{
    return messageBits == 0 ? 0 : (columns + messageBits - 1) / messageBits;
}

TrellisResult trellisEmbed(const uint8_t* cover, const float* costs, size_t columns, const uint8_t* message,
                           size_t messageBits, const std::vector<uint32_t>& submatrix, int height)
{
    TrellisResult result;
    if (messageBits == 0 || messageBits > columns || submatrix.size() < widestTrellisBlock(columns, messageBits))
        return result;
    constexpr float kUnreachable = std::numeric_limits<float>::infinity();
    const size_t states = size_t(1) << height;
    const size_t half = states / 2;
    // One bit per state and column: whether the cheapest way into the state
    // after that column took y = 1 there.
    const size_t pathBytes = (states + 7) / 8;
    std::vector<float> cost(states, kUnreachable), next(states, kUnreachable);
    cost[0] = 0;
    std::vector<uint8_t> path(columns * pathBytes, 0);

    size_t column = 0;
    for (size_t block = 0; block < messageBits; ++block) {
        const size_t end = blockStart(block + 1, columns, messageBits);
        for (size_t k = 0; column < end; ++column, ++k) {
            const float rho = costs[column];
            const float keep = cover[column] ? rho : 0.0f; // y = 0
            const float flip = cover[column] ? 0.0f : rho; // y = 1
            relax(cost.data(), next.data(), &path[column * pathBytes], states, submatrix[k], keep, flip);
            std::swap(cost, next);
        }
        // Keep the states whose lowest row matches the message bit, and
        // move on by one row; the row entering at the top starts at 0.
        const size_t bit = message[block] & 1;
        float lowest = kUnreachable;
        for (size_t s = 0; s < half; ++s) {
            next[s] = cost[2 * s + bit];
            lowest = std::min(lowest, next[s]);
        }
        // Costs stay small beside the ones still to be added.
        for (size_t s = 0; s < half; ++s)
            next[s] -= lowest;
        std::fill(next.begin() + std::ptrdiff_t(half), next.end(), kUnreachable);
        result.cost += double(lowest);
        std::swap(cost, next);
    }

    // Rows past the message are cut off, so any final state will do.
    size_t state = size_t(std::min_element(cost.begin(), cost.begin() + std::ptrdiff_t(half)) - cost.begin());
    result.cost += double(cost[state]);
    result.stego.assign(columns, 0);
    for (size_t block = messageBits; block-- > 0;) {
        state = (state << 1) | (message[block] & 1);
        const size_t start = blockStart(block, columns, messageBits);
        for (size_t j = column; j-- > start;) {
            const uint8_t y = uint8_t((path[j * pathBytes + (state >> 3)] >> (state & 7)) & 1);
            result.stego[j] = y;
            if (y)
                state ^= submatrix[j - start];
        }
        column = start;
    }
    assert(state == 0);
    return result;
}

std::vector<uint8_t> trellisExtract(const uint8_t* stego, size_t columns, size_t messageBits,
                                    const std::vector<uint32_t>& submatrix)
{
    std::vector<uint8_t> message(messageBits, 0);
    if (messageBits == 0 || messageBits > columns || submatrix.size() < widestTrellisBlock(columns, messageBits))
        return message;
    uint32_t state = 0;
    size_t column = 0;
    for (size_t block = 0; block < messageBits; ++block) {
        const size_t end = blockStart(block + 1, columns, messageBits);
        for (size_t k = 0; column < end; ++column, ++k)
            if (stego[column] & 1)
                state ^= submatrix[k];
        message[block] = uint8_t(state & 1);
        state >>= 1;
    }
    return message;
}

} // namespace ostrel
