// SPDX-License-Identifier: Apache-2.0
#include "ValueMover.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace ostrel {

namespace {

constexpr int kBytesPerPixel = 3;

constexpr int signOf(int x) { return (x > 0) - (x < 0); }
constexpr int parity(int x) { return 1 - 2 * (x & 1); }

// How a move of a blue value by one changes the turn of its pair with one
// neighbour: up, and down, each less the turn as it is. Both depend only on
// the difference (value − neighbour) cut to −2…2 (farther apart, a move by
// one cannot change which is larger) and on one parity: the value's when the
// neighbour comes first, the neighbour's when it comes second. Packed as two
// 16-bit halves, each biased so that sums of four never borrow.
constexpr int kBias = 8;
constexpr uint32_t pack(int up, int down) { return uint32_t(up + kBias) | uint32_t(down + kBias) << 16; }
constexpr uint32_t kNoNeighbour = pack(0, 0);

struct TurnTable {
    // [neighbour second][odd parity][difference + 2]
    uint32_t entries[2][2][5]{};
    constexpr TurnTable()
    {
        for (int second = 0; second < 2; ++second)
            for (int odd = 0; odd < 2; ++odd)
                for (int difference = -2; difference <= 2; ++difference) {
                    // The turn after moving the value by `step`, for a value
                    // `difference` above its neighbour.
                    const auto turnOf = [&](int step) {
                        if (second == 0) {
                            const int v = 100 + odd + step, n = 100 + odd - difference;
                            return parity(v) * signOf(v - n);
                        }
                        const int n = 100 + odd, v = n + difference + step;
                        return parity(n) * signOf(n - v);
                    };
                    entries[second][odd][difference + 2] = pack(turnOf(1) - turnOf(0), turnOf(-1) - turnOf(0));
                }
    }
};
constexpr TurnTable kTurns;

// Without branches: neighbours are as unforeseeable as the bits. A missing
// neighbour (beyond the picture's edge) adds nothing.
template <bool NeighbourSecond>
inline uint32_t turnChange(int value, int neighbour, bool present)
{
    const int difference = std::clamp(value - neighbour, -2, 2);
    const int odd = (NeighbourSecond ? neighbour : value) & 1;
    const uint32_t entry = kTurns.entries[NeighbourSecond][odd][difference + 2];
    return present ? entry : kNoNeighbour;
}

} // namespace

ValueMover::ValueMover(PixelRows& rows) : m_rows(rows), m_width(rows.width()), m_height(rows.height()) {}

void ValueMover::moveRun(uint8_t* pixels, int row, int column, uint64_t change, uint64_t ups)
{
    // A missing row of neighbours is stood in for by this one, and not counted.
    const bool hasAbove = row > 0, hasBelow = row + 1 < m_height;
    const uint8_t* above = hasAbove ? m_rows.near(row - 1) : pixels;
    const uint8_t* below = hasBelow ? m_rows.near(row + 1) : pixels;
    const size_t lastAt = size_t(m_width - 1) * kBytesPerPixel;
    int64_t debt = m_debt;
    for (; change != 0; change &= change - 1) {
        const int i = std::countr_zero(change);
        const size_t at = size_t(column + i) * kBytesPerPixel;
        const int value = pixels[at];
        const int randomUp = int((ups >> i) & 1);
        if (debt == 0 && value != 0 && value != 255) {
            pixels[at] = uint8_t(value + 2 * randomUp - 1);
            continue;
        }
        // The neighbours before this pixel have their final values, the ones
        // after it not yet; each move is counted against the state it meets.
        const uint32_t sum = turnChange<false>(value, pixels[at > 0 ? at - kBytesPerPixel : at], at > 0)
            + turnChange<true>(value, pixels[at < lastAt ? at + kBytesPerPixel : at], at < lastAt)
            + turnChange<false>(value, above[at], hasAbove) + turnChange<true>(value, below[at], hasBelow);
        const int upTurn = int(sum & 0xFFFF) - 4 * kBias, downTurn = int(sum >> 16) - 4 * kBias;
        // |debt + up| < |debt + down| exactly when (up − down)(2 debt + up + down) < 0.
        const int64_t lean = int64_t(upTurn - downTurn) * (2 * debt + upTurn + downTurn);
        int up = int(lean < 0) | (int(lean == 0) & randomUp);
        up = (up & int(value != 255)) | int(value == 0);
        debt += downTurn + up * (upTurn - downTurn);
        pixels[at] = uint8_t(value + 2 * up - 1);
    }
    m_debt = debt;
}

} // namespace ostrel
