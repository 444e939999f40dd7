// SPDX-License-Identifier: Apache-2.0
#pragma once
// Types shared by the palette builder, the palette search, the encoder and
// the paletted writers.
#include <array>
#include <cstdint>
#include <functional>

namespace ostrel {

// A colour value: red in bits 0-7, green in bits 8-15, blue in bits 16-23.
using ColourValue = uint32_t;

constexpr ColourValue colorValue(uint8_t red, uint8_t green, uint8_t blue)
{
    return ColourValue(red) | (ColourValue(green) << 8) | (ColourValue(blue) << 16);
}
constexpr uint8_t redOf(ColourValue c) { return uint8_t(c); }
constexpr uint8_t greenOf(ColourValue c) { return uint8_t(c >> 8); }
constexpr uint8_t blueOf(ColourValue c) { return uint8_t(c >> 16); }

// A pixel's bytes read as one little-endian number: blue | green << 8 | red << 16.
using TripleValue = uint32_t;
constexpr TripleValue tripleValue(uint8_t blue, uint8_t green, uint8_t red)
{
    return TripleValue(blue) | (TripleValue(green) << 8) | (TripleValue(red) << 16);
}
constexpr TripleValue tripleOfColour(ColourValue c) { return tripleValue(blueOf(c), greenOf(c), redOf(c)); }

// 256 colour values; the count travels beside it. A count above 256
// (16777216 on the true-colour paths) means "no palette".
using TPaletteArray = std::array<ColourValue, 256>;
constexpr int32_t kTrueColourCount = 16777216;

// Progress in percent; -1 is sent before work starts.
using TProgressProc = std::function<void(int32_t)>;

enum TParityFilter : int32_t { pfAny = 1, pfEvenBlue = 2, pfOddBlue = 3 };

} // namespace ostrel
