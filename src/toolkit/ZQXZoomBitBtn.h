// SPDX-License-Identifier: Apache-2.0
#pragma once
// A push button with a glyph beside its caption; glyph and caption font grow
// together with the button's zoom percentage (see ZoomGlyphButton).
#include "toolkit/ZoomGlyphButton.h"

#include <QPushButton>

namespace ostrel {

class TZQXZoomBitBtn : public ZoomGlyphButton<QPushButton> {
    Q_OBJECT
    Q_PROPERTY(int BaseFontSize READ baseFontSize WRITE setBaseFontSize)
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    explicit TZQXZoomBitBtn(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ostrel
