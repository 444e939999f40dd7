// SPDX-License-Identifier: Apache-2.0
#include "Canvas.h"


#include <QFont>
#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <map>

namespace glyphs {

QRgb baseRgb(Colour colour)
{
    static const QRgb kRgb[16] = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
    };
    return kRgb[colour];
}

namespace {

QColor qColour(Colour colour)
{
    return QColor(baseRgb(colour));
}

Colour colourFromChar(char c)
{
    static const std::map<char, Colour> kColours = {
        {'k', Black}, {'m', Maroon}, {'g', Green}, {'o', Olive}, {'n', Navy},   {'p', Purple},
        {'t', Teal},  {'s', Silver}, {'d', Grey},  {'r', Red},   {'l', Lime},   {'y', Yellow},
        {'b', Blue},  {'a', Aqua},   {'w', White},
    };
    return kColours.at(c);
}

// 3 × 5 pixel shapes, one row a string.
const std::map<QChar, std::array<const char*, 5>>& tinyFont()
{
    static const std::map<QChar, std::array<const char*, 5>> font = {
        {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
        {'2', {"##.", "..#", ".#.", "#..", "###"}}, {'3', {"##.", "..#", ".#.", "..#", "##."}},
        {'4', {"#.#", "#.#", "###", "..#", "..#"}}, {'5', {"###", "#..", "##.", "..#", "##."}},
        {'6', {".##", "#..", "###", "#.#", "###"}}, {'7', {"###", "..#", ".#.", ".#.", ".#."}},
        {'8', {"###", "#.#", "###", "#.#", "###"}}, {'9', {"###", "#.#", "###", "..#", "##."}},
        {'/', {"..#", "..#", ".#.", "#..", "#.."}}, {'+', {"...", ".#.", "###", ".#.", "..."}},
        {'-', {"...", "...", "###", "...", "..."}}, {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
        {'L', {"#..", "#..", "#..", "#..", "###"}}, {'G', {".##", "#..", "#.#", "#.#", ".##"}},
        {'O', {".#.", "#.#", "#.#", "#.#", ".#."}}, {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
        {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}}, {'?', {"##.", "..#", ".#.", "...", ".#."}},
        {'S', {".##", "#..", ".#.", "..#", "##."}}, {'P', {"##.", "#.#", "##.", "#..", "#.."}},
        {'E', {"###", "#..", "##.", "#..", "###"}}, {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
        {'B', {"##.", "#.#", "##.", "#.#", "##."}}, {'N', {"#.#", "###", "###", "#.#", "#.#"}},
        {'a', {"...", ".##", "#.#", "#.#", ".##"}}, {'b', {"#..", "##.", "#.#", "#.#", "##."}},
        {'c', {"...", ".##", "#..", "#..", ".##"}}, {'.', {"...", "...", "...", "...", ".#."}},
    };
    return font;
}

} // namespace

Canvas::Canvas(int width, int height)
    : m_image(width, height, QImage::Format_RGB32)
{
    m_image.fill(baseRgb(kKey));
}

void Canvas::set(int x, int y, Colour colour)
{
    if (x >= 0 && y >= 0 && x < width() && y < height())
        m_image.setPixel(x, y, baseRgb(colour));
}

bool Canvas::isKey(int x, int y) const
{
    return (m_image.pixel(x, y) & 0xFFFFFF) == (baseRgb(kKey) & 0xFFFFFF);
}

void Canvas::fill(int x, int y, int w, int h, Colour colour)
{
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            set(i, j, colour);
}

void Canvas::frame(int x, int y, int w, int h, Colour colour)
{
    fill(x, y, w, 1, colour);
    fill(x, y + h - 1, w, 1, colour);
    fill(x, y, 1, h, colour);
    fill(x + w - 1, y, 1, h, colour);
}

void Canvas::box(int x, int y, int w, int h, Colour fillColour, Colour outline)
{
    fill(x, y, w, h, fillColour);
    frame(x, y, w, h, outline);
}

void Canvas::line(int x0, int y0, int x1, int y1, Colour colour, int thickness)
{
    // Bresenham, drawn again one pixel further along the minor axis for
    // each extra unit of thickness.
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    const bool steep = -dy > dx;
    int err = dx + dy;
    int x = x0;
    int y = y0;
    for (;;) {
        for (int t = 0; t < thickness; ++t)
            steep ? set(x + t, y, colour) : set(x, y + t, colour);
        if (x == x1 && y == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Canvas::polygon(std::initializer_list<QPointF> points, Colour fillColour, Colour outline)
{
    polygon(std::vector<QPointF>(points), fillColour, outline);
}

void Canvas::polygon(const std::vector<QPointF>& points, Colour fillColour, Colour outline)
{
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(outline == kKey ? QPen(Qt::NoPen) : QPen(qColour(outline), 1));
    painter.setBrush(fillColour == kKey ? QBrush(Qt::NoBrush) : QBrush(qColour(fillColour)));
    painter.drawPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
}

void Canvas::disc(double cx, double cy, double r, Colour colour)
{
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x)
            if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r)
                set(x, y, colour);
}

void Canvas::ring(double cx, double cy, double r, double thickness, Colour colour)
{
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= r && d > r - thickness)
                set(x, y, colour);
        }
}

void Canvas::ellipse(int x, int y, int w, int h, Colour fillColour, Colour outline)
{
    const double cx = x + w / 2.0;
    const double cy = y + h / 2.0;
    const double rx = w / 2.0;
    const double ry = h / 2.0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            const double u = (i + 0.5 - cx) / rx;
            const double v = (j + 0.5 - cy) / ry;
            const double d = u * u + v * v;
            if (d > 1.0)
                continue;
            // The outline is the band whose inner edge lies one pixel in.
            const double ui = (i + 0.5 - cx) / std::max(rx - 1, 0.5);
            const double vi = (j + 0.5 - cy) / std::max(ry - 1, 0.5);
            const bool edge = ui * ui + vi * vi > 1.0;
            if (edge && outline != kKey)
                set(i, j, outline);
            else if (!edge && fillColour != kKey)
                set(i, j, fillColour);
        }
}

void Canvas::art(int x, int y, std::initializer_list<const char*> rows)
{
    int j = y;
    for (const char* row : rows) {
        for (int i = 0; row[i]; ++i)
            if (row[i] != '.')
                set(x + i, j, colourFromChar(row[i]));
        ++j;
    }
}

void Canvas::tinyText(int x, int y, const QString& text, Colour colour)
{
    int left = x;
    for (QChar c : text) {
        const auto& shape = tinyFont().at(c);
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 3; ++i)
                if (shape[j][i] == '#')
                    set(left + i, y + j, colour);
        left += 4;
    }
}

void Canvas::text(int x, int y, int w, int h, const QString& str, int pixels, Colour colour, bool bold, bool italic,
                  bool underline, const QString& family)
{
    // Drawn in white on black first, then every lit pixel takes the colour,
    // so that no smoothing can leave a colour outside the palette.
    QImage mask(w, h, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter painter(&mask);
        QFont font(family);
        font.setPixelSize(pixels);
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, w, h), Qt::AlignCenter, str);
    }
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (qGray(mask.pixel(i, j)) > 127)
                set(x + i, y + j, colour);
}

void Canvas::arrow(double x0, double y0, double x1, double y1, Colour colour, double shaft, double head,
                   double headLength)
{
    const double length = std::hypot(x1 - x0, y1 - y0);
    const double ux = (x1 - x0) / length;
    const double uy = (y1 - y0) / length;
    const double px = -uy;
    const double py = ux;
    const double nx = x1 - ux * headLength;
    const double ny = y1 - uy * headLength;
    polygon({QPointF(x0 + px * shaft, y0 + py * shaft), QPointF(nx + px * shaft, ny + py * shaft),
             QPointF(nx + px * head, ny + py * head), QPointF(x1, y1), QPointF(nx - px * head, ny - py * head),
             QPointF(nx - px * shaft, ny - py * shaft), QPointF(x0 - px * shaft, y0 - py * shaft)},
            colour, colour);
}

void Canvas::page(int x, int y, int w, int h, bool lines)
{
    fill(x, y, w, h, White);
    frame(x, y, w, h, Black);
    // The folded corner.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j <= i; ++j)
            set(x + w - 3 + i, y + j, kKey);
    line(x + w - 4, y, x + w - 1, y + 3, Black);
    fill(x + w - 4, y, 1, 4, Black);
    fill(x + w - 4, y + 3, 4, 1, Black);
    if (lines)
        for (int j = y + 3; j < y + h - 2; j += 2)
            fill(x + 2, j, w - (j < y + 5 ? 7 : 4), 1, Navy);
}

} // namespace glyphs
