// SPDX-License-Identifier: Apache-2.0
#include "engine/SyndromeTrellis.h"

#include <algorithm>
#include <cassert>
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
    const size_t words = (states + 63) / 64;
    std::vector<float> cost(states, kUnreachable), next(states, kUnreachable);
    cost[0] = 0;
    // One bit per state and column: whether the cheapest way into the state
    // after that column took y = 1 there.
    std::vector<uint64_t> path(columns * words, 0);

    size_t column = 0;
    for (size_t block = 0; block < messageBits; ++block) {
        const size_t end = blockStart(block + 1, columns, messageBits);
        for (size_t k = 0; column < end; ++column, ++k) {
            // The highest bit of every H-hat column is set, so each state of
            // the lower half pairs with one of the upper half.
            const uint32_t h = submatrix[k];
            const float rho = costs[column];
            const float keep = cover[column] ? rho : 0.0f; // y = 0
            const float flip = cover[column] ? 0.0f : rho; // y = 1
            uint64_t* bits = &path[column * words];
            for (size_t s = 0; s < half; ++s) {
                const size_t t = s ^ h;
                const float cs = cost[s];
                const float ct = cost[t];
                const float sKeep = cs + keep, sFlip = ct + flip;
                const float tKeep = ct + keep, tFlip = cs + flip;
                const bool sFlips = sFlip < sKeep;
                const bool tFlips = tFlip < tKeep;
                next[s] = sFlips ? sFlip : sKeep;
                next[t] = tFlips ? tFlip : tKeep;
                bits[s >> 6] |= uint64_t(sFlips) << (s & 63);
                bits[t >> 6] |= uint64_t(tFlips) << (t & 63);
            }
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
            const uint8_t y = uint8_t((path[j * words + (state >> 6)] >> (state & 63)) & 1);
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
