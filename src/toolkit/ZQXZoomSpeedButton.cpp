#include "toolkit/ZQXZoomSpeedButton.h"

#include "toolkit/ZoomButtonSupport.h"
#include "toolkit/ZoomRules.h"

namespace ostrel {

TZQXZoomSpeedButton::TZQXZoomSpeedButton(QWidget* parent)
    : QToolButton(parent)
    , m_baseFontSize(clampBaseFontSize(fontPointSize(font())))
{
    // A speed button is flat until the pointer is over it and shows its
    // caption beside the glyph.
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    refresh();
}

void TZQXZoomSpeedButton::setResource(Defined_Resource glyph)
{
    m_resource = glyph;
    refresh();
}

void TZQXZoomSpeedButton::setBaseFontSize(int size)
{
    m_baseFontSize = clampBaseFontSize(size);
    refresh();
}

void TZQXZoomSpeedButton::setZoom(int percent)
{
    m_zoom = zoomFloor(percent);
    refresh();
}

void TZQXZoomSpeedButton::refresh()
{
    refreshZoomButton(*this, m_resource, m_baseFontSize, m_zoom, m_glyph);
}

} // namespace ostrel
