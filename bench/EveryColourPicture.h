// SPDX-License-Identifier: Apache-2.0
#pragma once
// The 4096 × 4096 picture that holds each of the 16 777 216 colours once.
#include "util/Picture.h"

#include <cstdint>

namespace ostrel {

inline QImage everyColourPicture()
{
    QImage picture = allocatePicture(4096, 4096);
    for (int y = 0; y < 4096; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < 4096; ++x) {
            const uint32_t colour = uint32_t(y) * 4096 + uint32_t(x);
            row[3 * x] = uint8_t(colour >> 16);
            row[3 * x + 1] = uint8_t(colour >> 8);
            row[3 * x + 2] = uint8_t(colour);
        }
    }
    return picture;
}

} // namespace ostrel
