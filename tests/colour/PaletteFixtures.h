// SPDX-License-Identifier: Apache-2.0
#pragma once
// Small helpers for palettes written out in tests.
#include "colour/PaletteTypes.h"

#include <initializer_list>

namespace ostrel::colourtest {

// The colours at indexes 0, 1, 2, …; the rest of the 256 entries zero.
inline TPaletteArray paletteOf(std::initializer_list<ColourValue> colours)
{
    TPaletteArray palette{};
    size_t i = 0;
    for (ColourValue c : colours)
        palette[i++] = c;
    return palette;
}

constexpr ColourValue grey(int level) { return colorValue(uint8_t(level), uint8_t(level), uint8_t(level)); }

} // namespace ostrel::colourtest
