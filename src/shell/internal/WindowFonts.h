// SPDX-License-Identifier: Apache-2.0
#pragma once
// Window fonts are given in pixels, as the forms were laid out on a 96 dpi
// screen; the faces map to their Liberation substitutes.
#include <QFont>
#include <QString>

namespace ostrel {

inline QFont boldPixelFont(const QString& family, int pixels)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

} // namespace ostrel
