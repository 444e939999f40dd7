// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the two zoomable button classes share: the glyph becomes the button's
// icon, and glyph and caption font follow the zoom together.
#include "toolkit/Embedded_Resources.h"
#include "toolkit/ZoomRules.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImage>

#include <algorithm>

namespace ostrel {

// A row of a table of glyph buttons: caption, glyph and tool tip.
struct GlyphButtonRow {
    const char* caption;
    Defined_Resource glyph;
    const char* hint;
};

// The normal cell on the left and the disabled cell on the right, with the
// colour of the lower-left pixel made transparent.
QIcon glyphIcon(const QImage& glyph);
QSize glyphCellSize(const QImage& glyph);

// The font's size in points, but at least 5.
int initialBaseFontSize(const QFont& font);

// Loads the glyph at the zoom into `glyph` and gives the button its icon
// and a caption font of base × zoom div 100 points.
void refreshZoomButton(QAbstractButton& button, Defined_Resource resource, int baseFontSize, int zoom,
                       QImage& glyph);

// A platform button with a glyph by name, a base font size and a zoom.
template <typename Button>
class ZoomGlyphButton : public Button {
public:
    // Zoom 100, glyph BMP_None, and the font's current point size as base.
    explicit ZoomGlyphButton(QWidget* parent)
        : Button(parent)
        , m_baseFontSize(initialBaseFontSize(this->font()))
    {
        refresh();
    }

    Defined_Resource resource() const { return m_resource; }
    void setResource(Defined_Resource glyph)
    {
        m_resource = glyph;
        refresh();
    }

    // Point size at zoom 100; values below 5 become 5.
    int baseFontSize() const { return m_baseFontSize; }
    void setBaseFontSize(int size)
    {
        m_baseFontSize = std::max(size, 5);
        refresh();
    }

    // Percent; values below 100 become 100.
    int zoom() const { return m_zoom; }
    void setZoom(int percent)
    {
        m_zoom = zoomFloor(percent);
        refresh();
    }

    // The glyph as scaled for the current zoom, both cells.
    const QImage& glyph() const { return m_glyph; }

private:
    void refresh() { refreshZoomButton(*this, m_resource, m_baseFontSize, m_zoom, m_glyph); }

    Defined_Resource m_resource = BMP_None;
    int m_baseFontSize;
    int m_zoom = 100;
    QImage m_glyph;
};

} // namespace ostrel
