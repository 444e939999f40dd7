// SPDX-License-Identifier: Apache-2.0
#pragma once
// The colour facts the commands need, over the core's census and palettes.
#include "colour/PaletteTypes.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <limits>

namespace ostrel {
class PixelRows;
}

namespace ostrel::cli {

struct ColourFacts {
    int64_t own = 0;   // distinct colours of the picture
    int64_t total = 0; // with the 16 base colours
    QString text;      // "D Colors" or "D of T Colors"
    TPaletteArray savePalette{};
    int32_t saveCount = kTrueColourCount; // above 256: no palette
};

ColourFacts countColours(const QImage& picture);
// The same from rows visited once from the top, in memory that does not
// grow with the picture (the rows of a file read a band at a time).
ColourFacts countColours(PixelRows& rows);

// The facts needed to save: the full census only for pictures that may fit a
// palette; otherwise just "no palette".
ColourFacts coloursForSaving(const QImage& picture);

// The most colours the picture may have once true-colour encoding rewrites
// every pixel's lowest blue bit (coloursWithBothBlueBits), or
// kUncountedColours when there are surely more than 256.
constexpr int64_t kUncountedColours = std::numeric_limits<int64_t>::max();
int64_t coloursAfterEncoding(const QImage& picture);

// The twin palette of a picture of many colours, for encoding in palette mode.
void buildReductionPaletteOfPicture(const QImage& picture, TPaletteArray& palette, int32_t& count);

} // namespace ostrel::cli
