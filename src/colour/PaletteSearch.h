// SPDX-License-Identifier: Apache-2.0
#pragma once
// Nearest palette colour for a pixel, optionally only among palette colours
// whose blue value is even or odd, and the remapping of a picture to a palette.
#include "colour/PaletteTypes.h"

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace ostrel {

class TPaletteSearch {
public:
    TPaletteSearch(const TPaletteArray& palette, int32_t count);
    ~TPaletteSearch();
    TPaletteSearch(const TPaletteSearch&) = delete;
    TPaletteSearch& operator=(const TPaletteSearch&) = delete;

    // Palette index of the nearest accepted entry; moves it one place forward.
    int Search(TParityFilter filter, TripleValue triple);
    int SearchColor(ColourValue colour, TParityFilter filter);
    // The palette colour of Search's answer, as a triple value.
    TripleValue NearestTriple(TParityFilter filter, TripleValue triple);
    int NearestIndex(TripleValue triple);
    int NearestIndexOfColor(ColourValue colour);
    TripleValue NearestTripleAny(TripleValue triple);
    // NearestIndex for each pixel of a row (bytes blue, green, red) in turn,
    // reordering included; each colour's nearest entries are worked out once.
    void nearestIndexRow(const uint8_t* row, int width, uint8_t* indices);

    int count() const;

private:
    struct Impl;
    Impl* m_impl;
    friend void mapPictureToIndices(const QImage&, const TPaletteArray&, int32_t,
                                    const std::function<void(int, const uint8_t*)>&);
};

// The palette index of every pixel of a picture in the working format, as
// NearestIndex of a new search over (palette, count) gives them pixel after
// pixel from the top row: the remapping's answers. `takeRow` receives each
// row's indices, top row first. Both paletted writers map pictures this way.
void mapPictureToIndices(const QImage& picture, const TPaletteArray& palette, int32_t count,
                         const std::function<void(int y, const uint8_t* indices)>& takeRow);

// The same search as a plain front-to-back scan that stops at an exact match:
// the model TPaletteSearch must agree with answer for answer, reordering
// included. Kept for the tests and benchmarks.
class SequentialPaletteSearch {
public:
    SequentialPaletteSearch(const TPaletteArray& palette, int32_t count);
    int Search(TParityFilter filter, TripleValue triple);

private:
    struct Entry {
        uint8_t blue, green, red;
        uint8_t index;
    };
    std::vector<Entry> m_list;
};

// Adds the three deltas to a pixel (bytes blue, green, red), clamping each channel to 0..255.
inline void AddClampTriple(uint8_t* pixel, int deltaRed, int deltaGreen, int deltaBlue)
{
    pixel[0] = uint8_t(std::clamp(pixel[0] + deltaBlue, 0, 255));
    pixel[1] = uint8_t(std::clamp(pixel[1] + deltaGreen, 0, 255));
    pixel[2] = uint8_t(std::clamp(pixel[2] + deltaRed, 0, 255));
}

// Replaces the pixels of the inclusive rectangle by their nearest palette
// colours, with Floyd–Steinberg error diffusion when `dither` is set.
void RemapToPalette(QImage& picture, int x1, int y1, int x2, int y2, const TPaletteArray& palette, int32_t count,
                    bool dither, const TProgressProc& progress);

} // namespace ostrel
