// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZoomGlyphButton.h"

#include "toolkit/ZoomRules.h"

#include <QPixmap>

#include <algorithm>
#include <cstdint>

namespace ostrel {

namespace {

QPixmap transparentCell(const QImage& glyph, int left, const QSize& cell, QRgb transparent)
{
    QImage image = glyph.copy(left, 0, cell.width(), cell.height()).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == transparent)
                row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QSize glyphCellSize(const QImage& glyph)
{
    return {std::max(1, glyph.width() / 2), glyph.height()};
}

QIcon glyphIcon(const QImage& glyph)
{
    if (glyph.isNull())
        return {};
    const QSize cell = glyphCellSize(glyph);
    // The platform button's rule: the lower-left pixel names the background.
    const QRgb transparent = glyph.convertToFormat(QImage::Format_ARGB32).pixel(0, glyph.height() - 1);
    QIcon icon;
    icon.addPixmap(transparentCell(glyph, 0, cell, transparent), QIcon::Normal);
    const int disabledLeft = glyph.width() >= 2 * cell.width() ? cell.width() : 0;
    icon.addPixmap(transparentCell(glyph, disabledLeft, cell, transparent), QIcon::Disabled);
    return icon;
}

int initialBaseFontSize(const QFont& font)
{
    return std::max(fontPointSize(font), 5);
}

void refreshZoomButton(QAbstractButton& button, Defined_Resource resource, int baseFontSize, int zoom,
                       QImage& glyph)
{
    glyph = LoadGlyphScaled(resource, zoom);
    button.setIcon(glyphIcon(glyph));
    button.setIconSize(glyphCellSize(glyph));
    QFont font = button.font();
    const int64_t points = int64_t(baseFontSize) * zoom / 100;
    setFontPoints(font, static_cast<int>(std::min<int64_t>(points, 1 << 20)));
    button.setFont(font);
}

} // namespace ostrel
