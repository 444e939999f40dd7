// SPDX-License-Identifier: Apache-2.0
#pragma once
// A glyph cell in the base colours, with the few drawing operations the
// artwork needs. Nothing is antialiased: every pixel stays a base colour.
#include <QImage>
#include <QPointF>
#include <QString>

#include <initializer_list>
#include <vector>

namespace glyphs {

// Base colour names, by their palette index.
enum Colour : int {
    Black, Maroon, Green, Olive, Navy, Purple, Teal, Silver,
    Grey, Red, Lime, Yellow, Blue, Fuchsia, Aqua, White,
};

// The colour of a base colour name; the same 16 colours make the palette
// record's first entries, so every glyph pixel has an exact table entry.
QRgb baseRgb(Colour colour);

// The background every glyph leaves transparent; no artwork uses it.
constexpr Colour kKey = Fuchsia;

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    const QImage& image() const { return m_image; }

    void set(int x, int y, Colour colour);
    bool isKey(int x, int y) const;

    void fill(int x, int y, int w, int h, Colour colour);
    // A one-pixel outline around the w × h rectangle at (x, y).
    void frame(int x, int y, int w, int h, Colour colour);
    // A filled rectangle with an outline.
    void box(int x, int y, int w, int h, Colour fill, Colour outline);
    void line(int x0, int y0, int x1, int y1, Colour colour, int thickness = 1);
    void polygon(std::initializer_list<QPointF> points, Colour fill, Colour outline);
    void polygon(const std::vector<QPointF>& points, Colour fill, Colour outline);
    void disc(double cx, double cy, double r, Colour colour);
    void ring(double cx, double cy, double r, double thickness, Colour colour);
    void ellipse(int x, int y, int w, int h, Colour fill, Colour outline);

    // Rows of characters, one a pixel: '.' leaves the pixel alone, the
    // others name colours (k black, m maroon, g green, o olive, n navy,
    // p purple, t teal, s silver, d grey, r red, l lime, y yellow, b blue,
    // a aqua, w white).
    void art(int x, int y, std::initializer_list<const char*> rows);

    // Digits, '/', '+', '-' and a few capitals in a 3 × 5 pixel font.
    void tinyText(int x, int y, const QString& text, Colour colour);

    // Text in a real face, centred in the rectangle, without smoothing.
    void text(int x, int y, int w, int h, const QString& text, int pixels, Colour colour, bool bold = false,
              bool italic = false, bool underline = false, const QString& family = QStringLiteral("Liberation Sans"));

    // A solid arrow from (x0, y0) to its tip at (x1, y1).
    void arrow(double x0, double y0, double x1, double y1, Colour colour, double shaft = 1.5, double head = 4.5,
               double headLength = 5);

    // A sheet of paper with a folded corner and optional text lines.
    void page(int x, int y, int w, int h, bool lines);

private:
    QImage m_image;
};

} // namespace glyphs
