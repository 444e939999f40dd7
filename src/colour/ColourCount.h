// SPDX-License-Identifier: Apache-2.0
#pragma once
// The colour decisions the desktop program and the command-line program
// share: the colour count with the 16 base colours, the palette a picture is
// saved with, and the palette a picture of many colours is reduced to.
#include "colour/PaletteTypes.h"
#include "colour/ZQXSplayTree.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace ostrel {

class PixelRows;

struct ColourCount {
    int64_t own = 0;   // distinct colours of the picture itself
    int64_t total = 0; // together with the 16 base colours
    QString text;      // "D Colors", or "D of T Colors" when the two differ
};

// Runs the census of the picture into the tree, adds each base colour with a
// count of 1, and returns both counts and the text. A null picture counts as
// having no colours (the tree then holds only the base colours).
ColourCount countColoursWithBase(const QImage& picture, TZQXTColorSplayTree& tree, const TProgressProc& progress);

// True as soon as the picture shows more than `limit` distinct colours of its
// own (base colours not included). A photograph answers within a few pixels,
// so deciding that it is saved without a palette needs no census.
bool hasMoreColoursThan(const QImage& picture, int limit);
// The same over rows visited once from the top.
bool hasMoreColoursThan(PixelRows& rows, int limit);

// The most colours the picture may have once every pixel's lowest blue bit
// is rewritten by true-colour encoding (each colour may appear with both
// values of that bit), counting the 16 base colours every palette holds.
// Nothing when there are surely more than 256: more than 128 pairs of
// colours that differ only in that bit. Stops looking as soon as it knows.
std::optional<int64_t> coloursWithBothBlueBits(const QImage& picture);

// "D Colors" or "D of T Colors".
QString colourCountText(int64_t own, int64_t total);

// Encoding offers to reduce a picture of more than this many colours (base
// colours included).
constexpr int64_t kReductionThreshold = 128;
inline bool reductionOffered(int64_t total) { return total > kReductionThreshold; }

struct SavePalette {
    TPaletteArray palette{};
    int32_t count = kTrueColourCount; // above 256: no palette, save 24-bit
};

// The palette a picture is saved with, from its counted tree: the base
// colours, then every colour of the tree in ascending order, the count rounded
// up to 16, 32, 64, 128 or 256. When the colours do not all fit in 256
// entries the result is no palette (all zeros, count 16777216).
SavePalette savePaletteFromTree(const TZQXTColorSplayTree& tree);

// The reduction palette: the base colours and then 256 colours in all built
// from the tree with twins and averaging.
void buildReductionPalette(const TZQXTColorSplayTree& tree, TPaletteArray& palette, int32_t& count);

struct FewColours {
    ColourCount count;
    SavePalette save;
};

// The colour count and the save palette of a picture of at most `limit`
// colours of its own, from one pass over a small hash table instead of a
// census (the pixels of each colour are not counted); nothing when the
// picture has more. A few-colour picture is saved without paying for a census.
std::optional<FewColours> fewColoursForSaving(const QImage& picture, int limit);

// The colour count with the base colours and the save palette of rows
// visited once from the top (countColoursWithBase and savePaletteFromTree
// give the same), in a table of one bit per colour, 2 MiB whatever the
// picture's size. The pixels of each colour are not counted.
struct ColoursOfRows {
    ColourCount count;
    SavePalette save;
};
ColoursOfRows countColoursOfRows(PixelRows& rows);

} // namespace ostrel
