#include "toolkit/ZQXZoomBitBtn.h"

#include "toolkit/ZoomButtonSupport.h"
#include "toolkit/ZoomRules.h"

namespace ostrel {

TZQXZoomBitBtn::TZQXZoomBitBtn(QWidget* parent)
    : QPushButton(parent)
    , m_baseFontSize(clampBaseFontSize(fontPointSize(font())))
{
    refresh();
}

void TZQXZoomBitBtn::setResource(Defined_Resource glyph)
{
    m_resource = glyph;
    refresh();
}

void TZQXZoomBitBtn::setBaseFontSize(int size)
{
    m_baseFontSize = clampBaseFontSize(size);
    refresh();
}

void TZQXZoomBitBtn::setZoom(int percent)
{
    m_zoom = zoomFloor(percent);
    refresh();
}

void TZQXZoomBitBtn::refresh()
{
    refreshZoomButton(*this, m_resource, m_baseFontSize, m_zoom, m_glyph);
}

} // namespace ostrel
