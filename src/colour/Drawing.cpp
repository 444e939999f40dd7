// SPDX-License-Identifier: Apache-2.0
#include "colour/Drawing.h"

#include "util/Fonts.h"
#include "util/Picture.h"
#include "util/Text.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

// The outermost pixels, as a one-pixel pen draws the rectangle (0, 0)-(width, height);
// a picture of one or two pixels across is all frame.
void drawFrame(QImage& picture, QColor colour)
{
    const uint8_t bgr[3] = {uint8_t(colour.blue()), uint8_t(colour.green()), uint8_t(colour.red())};
    const int width = picture.width(), height = picture.height();
    auto put = [&](uint8_t* row, int x) { std::memcpy(row + 3 * x, bgr, 3); };
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        if (y == 0 || y == height - 1) {
            for (int x = 0; x < width; ++x)
                put(row, x);
        } else {
            put(row, 0);
            put(row, width - 1);
        }
    }
}

} // namespace

void drawTextTopAt(QPainter& painter, int x, int y, const QString& text)
{
    const QFontMetrics metrics(painter.font());
    painter.drawText(x, y + metrics.ascent(), text);
}

void MakeBlankPicture(QImage& picture, int width, int height)
{
    if (width < 1 || height < 1)
        return;
    QImage made = allocateFilledPicture(width, height, 255, 255, 255);
    if (made.isNull())
        return;
    drawFrame(made, Qt::black);
    picture = made;
}

QImage blankPicture(int width, int height)
{
    QImage picture;
    MakeBlankPicture(picture, width, height);
    return picture;
}

void DrawLinesAsPicture(QImage& picture, const QStringList* lines, QColor colour, const QFont* font)
{
    picture = allocateFilledPicture(10, 10, colour.red(), colour.green(), colour.blue());
    if (!lines)
        return;
    QFont textFont = font ? *font : courierBold10();
    QFontMetrics metrics(textFont);
    const int lineHeight = metrics.height();
    QStringList expanded;
    expanded.reserve(lines->size());
    int widest = 0;
    for (const QString& line : *lines) {
        expanded.append(expandTabs(line));
        widest = std::max(widest, metrics.horizontalAdvance(expanded.back()));
    }
    const int64_t width = std::min<int64_t>(kMaxTextPictureSide, int64_t(widest) + 2 * kTextPictureMargin);
    const int64_t height =
        std::min<int64_t>(kMaxTextPictureSide, int64_t(expanded.size()) * lineHeight + 2 * kTextPictureMargin);
    QImage made = allocateFilledPicture(width, height, colour.red(), colour.green(), colour.blue());
    if (made.isNull())
        return;
    QPainter painter(&made);
    painter.setFont(textFont);
    painter.setPen(Qt::black);
    int y = kTextPictureMargin;
    for (const QString& line : expanded) {
        if (y >= made.height())
            break;
        drawTextTopAt(painter, kTextPictureMargin, y, line);
        y += lineHeight;
    }
    painter.end();
    picture = made;
}

QImage unsupportedPicture(const QString& fileName, const QString& upperExtension)
{
    QImage picture = blankPicture(320, 200);
    QPainter painter(&picture);
    painter.setFont(courierBold10());
    painter.setPen(Qt::black);
    drawTextTopAt(painter, 5, 5, QFileInfo(fileName).fileName());
    drawTextTopAt(painter, 5, 25, upperExtension + QStringLiteral(" not supported"));
    return picture;
}

} // namespace ostrel
