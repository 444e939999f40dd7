#pragma once
// What the two zoomable button classes share: the glyph becomes the button's
// icon, and glyph and caption font follow the zoom together.
#include "toolkit/Embedded_Resources.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImage>

namespace ostrel {

// The normal cell on the left and the disabled cell on the right, with the
// colour of the lower-left pixel made transparent.
QIcon glyphIcon(const QImage& glyph);
QSize glyphCellSize(const QImage& glyph);

int clampBaseFontSize(int size);

// Loads the glyph at the zoom into `glyph` and gives the button its icon
// and a caption font of base × zoom div 100 points.
void refreshZoomButton(QAbstractButton& button, Defined_Resource resource, int baseFontSize, int zoom,
                       QImage& glyph);

} // namespace ostrel
