// SPDX-License-Identifier: Apache-2.0
#pragma once
// What a change of one costs at each colour value of a picture: HILL (Li,
// Wang, Huang and Ni, "A new cost function for spatial image steganography",
// 2014). Per channel, the residual of the KB high-pass filter
//     -1  2 -1
//      2 -4  2   / 4
//     -1  2 -1
// is taken in absolute value and averaged over 3×3 pixels; its reciprocal,
// averaged over 15×15 pixels, is the cost. Textured, noisy places are cheap,
// flat ones dear: a flat area's residual is 0 and its cost kDearestCost.
// Edges repeat the outermost row or column.
//
// Positions are the bytes of the working picture (QImage Format_BGR888) with
// the rows laid end to end and row padding left out: position 3·(y·W + x) + c
// is channel c (0 blue, 1 green, 2 red) of pixel (x, y).
#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace ostrel {

inline constexpr float kDearestCost = 1.0e4f;

// Costs are kept in one byte each, on a scale of logarithms: stored value q
// stands for kDearestCost · 2^((q - 255) / 10), from 2·10^-4 to kDearestCost
// in steps of 7 %. A cost is within 3.6 % of its own, and the trellis
// decides as well on these as on exact ones (the total cost of the changes
// it chose rose by 0.04 % on costs spread over eight decades); 12 megapixels
// take 36 MB, a quarter of 32-bit floats.
using StoredCost = uint8_t;

inline constexpr int kCostStepsPerOctave = 10;

// The cost each stored value stands for.
extern const std::array<float, 256> kStoredCostValues;

inline float costValue(StoredCost stored) { return kStoredCostValues[stored]; }

// The nearest stored value to a cost (positive; above kDearestCost it is
// kDearestCost).
inline StoredCost storedCost(float value)
{
    const float steps = std::log2(value / kDearestCost) * float(kCostStepsPerOctave) + 255.0f;
    return StoredCost(std::clamp(std::lround(steps), 0l, 255l));
}

// One cost per position of a picture in the working format; empty when
// memory runs out.
std::vector<StoredCost> hillCosts(const QImage& working);

} // namespace ostrel
