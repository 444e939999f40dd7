// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXZoomSpeedButton.h"

namespace ostrel {

TZQXZoomSpeedButton::TZQXZoomSpeedButton(QWidget* parent)
    : ZoomGlyphButton<QToolButton>(parent)
{
    // A speed button is flat until the pointer is over it and shows its
    // caption beside the glyph.
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

} // namespace ostrel
