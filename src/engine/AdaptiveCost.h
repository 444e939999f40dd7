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

#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrel {

inline constexpr float kDearestCost = 1.0e4f;

// Costs are kept as the upper half of a 32-bit float (bfloat16): 8 bits of
// precision are plenty for a cost, and 12 megapixels take 72 MB, not 144.
using StoredCost = uint16_t;

inline float costValue(StoredCost stored)
{
    const uint32_t bits = uint32_t(stored) << 16;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline StoredCost storedCost(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return StoredCost((bits + 0x8000u) >> 16); // rounded; costs are positive and finite
}

// One cost per position of a picture in the working format; empty when
// memory runs out.
std::vector<StoredCost> hillCosts(const QImage& working);

} // namespace ostrel
