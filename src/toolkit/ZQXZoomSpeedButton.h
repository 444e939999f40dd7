#pragma once
// A flat tool button with a glyph beside its caption; glyph and caption font grow
// together with the button's zoom percentage.
#include "toolkit/Embedded_Resources.h"

#include <QToolButton>

namespace ostrel {

class TZQXZoomSpeedButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int BaseFontSize READ baseFontSize WRITE setBaseFontSize)
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    // Zoom 100, glyph BMP_None, and the font's current point size as base.
    explicit TZQXZoomSpeedButton(QWidget* parent = nullptr);

    Defined_Resource resource() const { return m_resource; }
    void setResource(Defined_Resource glyph);

    // Point size at zoom 100; values below 5 become 5.
    int baseFontSize() const { return m_baseFontSize; }
    void setBaseFontSize(int size);

    // Percent; values below 100 become 100.
    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    // The glyph as scaled for the current zoom, both cells.
    const QImage& glyph() const { return m_glyph; }

private:
    void refresh();

    Defined_Resource m_resource = BMP_None;
    int m_baseFontSize = 8;
    int m_zoom = 100;
    QImage m_glyph;
};

} // namespace ostrel
