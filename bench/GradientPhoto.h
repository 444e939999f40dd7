// SPDX-License-Identifier: Apache-2.0
#pragma once
// The benchmarks' 12-megapixel pictures: a photo-like one of smooth gradients
// with a little noise, so no compression or colour count shortcut applies
// (made once per program), and one of pure noise.
#include "util/Picture.h"

#include <QImage>
#include <random>

namespace ostrel::bench {

inline constexpr int kPhotoWidth = 4000;
inline constexpr int kPhotoHeight = 3000;

inline const QImage& gradientPhoto()
{
    static const QImage picture = [] {
        QImage p = ostrel::allocatePicture(kPhotoWidth, kPhotoHeight);
        uint32_t noise = 12345;
        for (int y = 0; y < kPhotoHeight; ++y) {
            uint8_t* row = p.scanLine(y);
            for (int x = 0; x < kPhotoWidth; ++x) {
                noise = noise * 1103515245u + 12345u;
                row[3 * x] = uint8_t(x * 255 / kPhotoWidth + (noise >> 28));
                row[3 * x + 1] = uint8_t(y * 255 / kPhotoHeight + (noise >> 24 & 7));
                row[3 * x + 2] = uint8_t((x + y) / 28);
            }
        }
        return p;
    }();
    return picture;
}

// Every byte drawn from the same seeded generator, so runs compare.
inline QImage noisePicture()
{
    QImage picture = ostrel::allocatePicture(kPhotoWidth, kPhotoHeight);
    std::mt19937 rng(1);
    for (int y = 0; y < kPhotoHeight; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int i = 0; i < kPhotoWidth * 3; ++i)
            row[i] = uint8_t(rng());
    }
    return picture;
}

} // namespace ostrel::bench
