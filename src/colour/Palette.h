// SPDX-License-Identifier: Apache-2.0
#pragma once
// The palette record and the palette builder: the program's 16 base colours,
// adding colours without duplicates, and the choice of a reduced palette from
// a colour census by splitting the colour cube into octants breadth-first.
#include "colour/PaletteTypes.h"
#include "colour/ZQXSplayTree.h"

#include <array>
#include <cstdint>

namespace ostrel {

// Black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime,
// yellow, blue, fuchsia, aqua, white, as colour values.
extern const std::array<ColourValue, 16> kBaseColours;

// Zeroes all 256 entries and writes the base colours into entries 0..15; the
// caller sets its count (normally to 16).
void InitPalette(TPaletteArray& palette);

// True if the colour is one of entries 0 .. n − 1, n being the count clamped
// to 0..255.
bool PaletteContains(const TPaletteArray& palette, int32_t count, ColourValue colour);

// Stores the colour at index count and counts it, unless the palette is full
// (256) or already holds it; a negative count is first taken as 0.
bool PaletteAdd(TPaletteArray& palette, int32_t& count, ColourValue colour);

// Extends the palette with up to (maxColours − count) colours chosen from the
// census in `tree` (only read), or half as many each with its twin (the same
// colour with the lowest blue bit inverted) when `twins` is set, then fills
// with greys up to maxColours. Each chosen colour is the weighted average of a
// box of the cube with `useAverage`, else the box's most frequent colour.
void Palette_Build(TPaletteArray& palette, int32_t& count, int32_t maxColours, bool twins, bool useAverage,
                   const TZQXTColorSplayTree& tree);

} // namespace ostrel
