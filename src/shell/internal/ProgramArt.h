// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's own pictures, drawn in code: the icon (a landscape picture
// with a key in front of it) and the about window's picture of a landscape
// whose pixels, under a magnifier, turn out to carry bits.
#include <QImage>

namespace ostrel {

// The icon at `size` × `size` pixels on a transparent background.
QImage drawProgramIcon(int size);

// 70 × 59 pixels, opaque.
QImage drawAboutPicture();

} // namespace ostrel
