// SPDX-License-Identifier: Apache-2.0
#include "ProgramArt.h"

#include <QPainter>
#include <QPainterPath>

namespace ostrel {

namespace {

const QColor kSky(0x7F, 0xC8, 0xF0);
const QColor kHill(0x3C, 0xA0, 0x46);
const QColor kFarHill(0x2A, 0x78, 0x3A);
const QColor kSun(0xFF, 0xD2, 0x3C);
const QColor kFrame(0x30, 0x30, 0x40);
const QColor kKey(0xE0, 0xA8, 0x20);

// A hill: a curve from the left edge to `end`, closed by the bottom corners.
void paintHill(QPainter& painter, const QColor& colour, QPointF start, QPointF control1, QPointF control2, QPointF end)
{
    QPainterPath hill;
    hill.moveTo(start);
    hill.cubicTo(control1, control2, end);
    hill.lineTo(100, 100);
    hill.lineTo(0, 100);
    painter.setBrush(colour);
    painter.drawPath(hill);
}

// A landscape in the unit square (0..100 on both axes): sky, sun, two hills.
void paintLandscape(QPainter& painter)
{
    painter.fillRect(QRectF(0, 0, 100, 100), kSky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSun);
    painter.drawEllipse(QPointF(72, 26), 12, 12);
    paintHill(painter, kFarHill, {0, 70}, {20, 40}, {45, 45}, {60, 62});
    paintHill(painter, kHill, {0, 88}, {35, 60}, {70, 58}, {100, 74});
}

// A key lying from the lower right towards the upper left, in the unit square.
void paintKey(QPainter& painter)
{
    painter.setPen(QPen(kFrame, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kKey);
    QPainterPath key;
    key.addEllipse(QPointF(72, 72), 17, 17);
    // The shaft and its two teeth, drawn along the diagonal.
    QPainterPath shaft;
    shaft.addRect(QRectF(-52, -5, 48, 10));
    shaft.addRect(QRectF(-50, 5, 8, 10));
    shaft.addRect(QRectF(-36, 5, 8, 8));
    QTransform along;
    along.translate(72, 72);
    along.rotate(-135);
    along.scale(-1, 1);
    key = key.united(along.map(shaft));
    painter.drawPath(key);
    painter.setBrush(kFrame);
    painter.drawEllipse(QPointF(75, 75), 5, 5);
}

} // namespace

QImage drawProgramIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(4, 8, 84, 72), 8, 8);
    painter.save();
    painter.setClipPath(frame);
    painter.translate(4, 8);
    painter.scale(0.84, 0.72);
    paintLandscape(painter);
    painter.restore();
    painter.setPen(QPen(kFrame, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(frame);
    painter.translate(10, 8);
    painter.scale(0.9, 0.9);
    paintKey(painter);
    return icon;
}

QImage drawAboutPicture()
{
    constexpr int kWidth = 70;
    constexpr int kHeight = 59;
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    painter.scale(kWidth / 100.0, kHeight / 100.0);
    paintLandscape(painter);
    painter.restore();

    // The magnifier shows the lowest bits that the picture carries.
    const QPointF lens(26, 26);
    constexpr qreal kRadius = 17;
    QPainterPath glass;
    glass.addEllipse(lens, kRadius, kRadius);
    painter.save();
    painter.setClipPath(glass);
    painter.fillRect(QRectF(lens.x() - kRadius, lens.y() - kRadius, 2 * kRadius, 2 * kRadius), Qt::white);
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(8);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x10, 0x30, 0xA0));
    const char* rows[] = {"10110", "01101", "11010", "00111"};
    for (int row = 0; row < 4; ++row)
        painter.drawText(QPointF(lens.x() - 14, lens.y() - 9 + row * 8), QString::fromLatin1(rows[row]));
    painter.restore();
    painter.setPen(QPen(kFrame, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(lens, kRadius, kRadius);
    painter.setPen(QPen(kFrame, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(38, 38), QPointF(52, 52));
    painter.setPen(QPen(kFrame, 1));
    painter.drawRect(0, 0, kWidth - 1, kHeight - 1);
    return picture;
}

} // namespace ostrel
