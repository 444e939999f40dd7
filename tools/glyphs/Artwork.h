// SPDX-License-Identifier: Apache-2.0
#pragma once
// The picture of every glyph: its cell size and how to draw its normal cell.
#include "Canvas.h"

#include <functional>
#include <map>
#include <string>

namespace glyphs {

struct GlyphArt {
    int cellWidth;
    int cellHeight;
    std::function<void(Canvas&)> draw;
};

// Keyed by enumeration name ("BMP_Check").
const std::map<std::string, GlyphArt>& artwork();

} // namespace glyphs
