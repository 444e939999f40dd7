// SPDX-License-Identifier: Apache-2.0
#pragma once
// A flat tool button with a glyph beside its caption, as the charts' speed
// buttons use it; glyph and caption font grow together with its zoom
// percentage (see ZoomGlyphButton).
#include "toolkit/ZoomGlyphButton.h"

#include <QToolButton>

namespace ostrel {

class TZQXZoomSpeedButton : public ZoomGlyphButton<QToolButton> {
    Q_OBJECT
    Q_PROPERTY(int BaseFontSize READ baseFontSize WRITE setBaseFontSize)
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    explicit TZQXZoomSpeedButton(QWidget* parent = nullptr);
};

} // namespace ostrel
