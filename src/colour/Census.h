// SPDX-License-Identifier: Apache-2.0
#pragma once
// The colour census of a picture: how many pixels of each distinct colour a
// picture, or a rectangle of it, holds.
#include "colour/PaletteTypes.h"
#include "colour/ZQXSplayTree.h"

#include <QImage>

namespace ostrel {

// Normalises the inclusive rectangle (corners in either order) and clips it
// to the picture; true when nothing is left, and always for a null picture.
bool ClipRectToBitmap(const QImage& bitmap, int& x1, int& y1, int& x2, int& y2);

// Empties the tree and fills it with one node per distinct colour of the
// clipped rectangle: key the colour value, value its number of pixels.
// Progress receives −1 first, then ((row + 1) × 100) div rows before each row.
// A null tree or an empty rectangle changes nothing and reports no progress.
void CountColorsInRect(const QImage& bitmap, int x1, int y1, int x2, int y2, TZQXTColorSplayTree* tree,
                       const TProgressProc& progress);

// The whole picture; a null picture leaves the tree as it was.
void CountColors(const QImage& bitmap, TZQXTColorSplayTree* tree, const TProgressProc& progress);
void CountColorsQuiet(const QImage& bitmap, TZQXTColorSplayTree* tree);

} // namespace ostrel
