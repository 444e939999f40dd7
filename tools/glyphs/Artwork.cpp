// SPDX-License-Identifier: Apache-2.0
#include "Artwork.h"

#include <cmath>
#include <numbers>

namespace glyphs {

namespace {

using std::numbers::pi;

// ---- Pieces shared by several pictures ------------------------------------

void checkMark(Canvas& c, int x, int y)
{
    c.art(x, y, {
        "............g",
        "...........gg",
        "..........ggg",
        ".........ggg.",
        "........ggg..",
        "g......ggg...",
        "gg....ggg....",
        "ggg..ggg.....",
        ".ggggggg.....",
        "..ggggg......",
        "...ggg.......",
        "....g........",
    });
}

void crossMark(Canvas& c, int x, int y, int size, Colour colour)
{
    c.line(x, y, x + size - 1, y + size - 1, colour, 2);
    c.line(x + size - 1, y, x, y + size - 1, colour, 2);
    c.line(x + 1, y, x + size - 1, y + size - 2, colour);
    c.line(x + size - 2, y, x, y + size - 2, colour);
}

void noSign(Canvas& c, double cx, double cy, double r, Colour colour)
{
    c.ring(cx, cy, r, 2.2, colour);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const double u = x + 0.5 - cx;
            const double v = y + 0.5 - cy;
            if (std::hypot(u, v) < r - 1 && std::abs(u - v) < 1.6)
                c.set(x, y, colour);
        }
}

void folder(Canvas& c, int x, int y, bool open)
{
    c.fill(x, y + 2, 5, 2, Olive);
    c.frame(x, y + 1, 6, 3, Black);
    c.fill(x + 1, y + 2, 4, 2, Yellow);
    c.box(x, y + 3, 13, 9, Yellow, Black);
    if (open) {
        c.polygon({QPointF(x + 3, y + 6), QPointF(x + 15, y + 6), QPointF(x + 12, y + 11), QPointF(x, y + 11)}, Olive,
                  Black);
    }
}

void floppy(Canvas& c, int x, int y)
{
    c.art(x, y, {
        "kkkkkkkkkkkkkk.",
        "knnwwwwwwwwnnnk",
        "knnwkkkkkkwnnnk",
        "knnwwwwwwwwnnnk",
        "knnwkkkkkkwnnnk",
        "knnwwwwwwwwnnnk",
        "knnnnnnnnnnnnnk",
        "knnnnnnnnnnnnnk",
        "knnssssssssnnnk",
        "knnsskkssssnnnk",
        "knnsskkssssnnnk",
        "knnsskkssssnnnk",
        "kknssssssssnnnk",
        ".kkkkkkkkkkkkkk",
    });
}

void printerBody(Canvas& c, int x, int y)
{
    c.art(x, y, {
        "...kkkkkkkkk...",
        "...kwwwwwwwk...",
        "...kwkkkkkwk...",
        "...kwwwwwwwk...",
        ".kkkkkkkkkkkkk.",
        "kssssssssssssdk",
        "ksssssssssslsdk",
        "ksssssssssssssk",
        "kdddddddddddddk",
        "kkkwwwwwwwwwkkk",
        "..kwkkkkkkkwk..",
        "..kwwwwwwwwwk..",
        "..kkkkkkkkkkk..",
    });
}

void magnifier(Canvas& c, int x, int y)
{
    c.ring(x + 5, y + 5, 5, 1.6, Black);
    c.disc(x + 5, y + 5, 3.5, Aqua);
    c.set(x + 3, y + 3, White);
    c.set(x + 4, y + 3, White);
    c.set(x + 3, y + 4, White);
    c.line(x + 9, y + 9, x + 13, y + 13, Maroon, 2);
}

void clipboardBoard(Canvas& c, int x, int y)
{
    c.box(x, y + 1, 12, 14, Olive, Black);
    c.fill(x + 2, y + 3, 8, 10, White);
    c.box(x + 3, y, 6, 3, Silver, Black);
}

void picture(Canvas& c, int x, int y, int w, int h)
{
    c.box(x, y, w, h, Aqua, Black);
    c.disc(x + w - 4.5, y + 4.5, 2, Yellow);
    c.polygon({QPointF(x + 1, y + h - 2), QPointF(x + w / 3.0, y + h / 2.0), QPointF(x + w / 2.0, y + h - 4.0),
               QPointF(x + 2 * w / 3.0, y + h / 2.0 + 1), QPointF(x + w - 2, y + h - 2)},
              Green, Green);
}

void pencil(Canvas& c, int x0, int y0, int x1, int y1)
{
    // Body from (x0, y0) to the point at (x1, y1).
    c.line(x0, y0, x1 + 2, y1 - 2, Yellow, 3);
    c.line(x0 - 1, y0 + 1, x1 + 1, y1 - 3, Black);
    c.line(x0 + 1, y0 + 2, x1 + 3, y1 - 1, Olive);
    c.line(x1 + 2, y1 - 2, x1, y1, Black);
    c.set(x1, y1, Black);
    c.fill(x0 - 1, y0 - 1, 3, 3, Red);
}

void eye(Canvas& c)
{
    c.art(0, 3, {
        "................",
        ".....kkkkkk.....",
        "...kkwwwwwwkk...",
        "..kwwwwbbwwwwk..",
        ".kwwwwbbbbwwwwk.",
        "kwwwwbbkkbbwwwwk",
        ".kwwwwbbbbwwwwk.",
        "..kwwwwbbwwwwk..",
        "...kkwwwwwwkk...",
        ".....kkkkkk.....",
    });
}

void padlock(Canvas& c, bool open)
{
    c.box(2, 7, 12, 8, Yellow, Black);
    c.fill(7, 9, 2, 4, Black);
    const int shift = open ? 6 : 0;
    c.frame(4 + shift, 1, 8, 7, Black);
    c.frame(5 + shift, 2, 6, 6, Silver);
    c.fill(6 + shift, 3, 4, 5, kKey);
    c.fill(4 + shift, 7, 8, 1, open ? kKey : Black);
    if (open)
        c.frame(2, 7, 12, 8, Black);
}

void bin(Canvas& c, bool full)
{
    c.box(3, 5, 10, 10, Silver, Black);
    for (int x = 5; x <= 10; x += 2)
        c.fill(x, 7, 1, 6, Grey);
    c.box(2, 3, 12, 2, Grey, Black);
    c.fill(6, 1, 4, 2, Black);
    if (full) {
        c.polygon({QPointF(4, 3), QPointF(7, -1), QPointF(11, 2), QPointF(9, 3)}, White, Black);
        c.line(12, 3, 15, 0, Red, 2);
    }
}

void textLines(Canvas& c, int x, int y, int rows, const int* lefts, const int* widths)
{
    for (int i = 0; i < rows; ++i)
        c.fill(x + lefts[i], y + 2 * i, widths[i], 1, Black);
}

void justify(Canvas& c, int mode)
{
    static const int widths[6] = {14, 10, 12, 8, 14, 10};
    int lefts[6];
    int w[6];
    for (int i = 0; i < 6; ++i) {
        w[i] = mode == 3 ? 14 : widths[i];
        lefts[i] = mode == 0 ? 0 : mode == 1 ? (14 - w[i]) / 2 : mode == 2 ? 14 - w[i] : 0;
    }
    textLines(c, 1, 2, 6, lefts, w);
}

// An arrow on a 16-pixel cell pointing along (dx, dy).
void cellArrow(Canvas& c, int dx, int dy, Colour colour = Blue)
{
    const double cx = c.width() / 2.0;
    const double cy = c.height() / 2.0;
    const double reach = dx != 0 && dy != 0 ? 5.2 : 6.5;
    c.arrow(cx - dx * reach, cy - dy * reach, cx + dx * reach, cy + dy * reach, colour);
}

void tinyArrow(Canvas& c, int dx, int dy)
{
    const double cx = 6;
    const double cy = 6;
    if (dx != 0 && dy != 0) {
        c.arrow(cx - dx * 3.5, cy - dy * 3.5, cx + dx * 4, cy + dy * 4, Navy, 1, 3.5, 4);
        return;
    }
    const double px = -dy;
    const double py = dx;
    c.polygon({QPointF(cx + dx * 4.5, cy + dy * 4.5), QPointF(cx - dx * 3 + px * 4.5, cy - dy * 3 + py * 4.5),
               QPointF(cx - dx * 3 - px * 4.5, cy - dy * 3 - py * 4.5)},
              Navy, Navy);
}

void triangle(Canvas& c, double cx, double cy, double dx, double dy, double size, Colour colour)
{
    const double px = -dy;
    const double py = dx;
    c.polygon({QPointF(cx + dx * size, cy + dy * size), QPointF(cx - dx * size + px * size, cy - dy * size + py * size),
               QPointF(cx - dx * size - px * size, cy - dy * size - py * size)},
              colour, colour);
}

void roundArrow(Canvas& c, Colour colour)
{
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double u = x + 0.5 - 8;
            const double v = y + 0.5 - 8.5;
            const double d = std::hypot(u, v);
            const double a = std::atan2(v, u);
            if (d <= 6 && d > 4 && !(a > -pi / 2 && a < -pi / 8))
                c.set(x, y, colour);
        }
    c.polygon({QPointF(9, 0), QPointF(15, 3), QPointF(10, 7)}, colour, colour);
}

void star(Canvas& c, double cx, double cy, double outer, double inner, int points, Colour fill, Colour outline)
{
    std::vector<QPointF> vertices;
    for (int i = 0; i < 2 * points; ++i) {
        const double r = i % 2 == 0 ? outer : inner;
        const double a = -pi / 2 + i * pi / points;
        vertices.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    c.polygon(vertices, fill, outline);
}

void regular(Canvas& c, int sides, double cx, double cy, double r, double turn, Colour fill, Colour outline)
{
    std::vector<QPointF> vertices;
    for (int i = 0; i < sides; ++i) {
        const double a = -pi / 2 + turn + 2 * pi * i / sides;
        vertices.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    c.polygon(vertices, fill, outline);
}

void fraction(Canvas& c, const char* top, const char* bottom)
{
    c.tinyText(1, 1, QString::fromLatin1(top), Navy);
    c.line(13, 2, 2, 13, Black);
    c.tinyText(16 - 4 * int(qstrlen(bottom)), 10, QString::fromLatin1(bottom), Navy);
}

void grid(Canvas& c, int step, Colour colour, int from = 1, int to = 15)
{
    for (int v = from; v < to; v += step) {
        c.fill(from, v, to - from, 1, colour);
        c.fill(v, from, 1, to - from, colour);
    }
}

void shapes(Canvas& c, int x, int y)
{
    c.box(x, y, 7, 6, Blue, Black);
    c.ellipse(x + 4, y + 3, 7, 7, Red, Black);
}

void mirrorPair(Canvas& c, bool vertical, bool diagonal, Colour colour)
{
    if (diagonal) {
        c.polygon({QPointF(1, 1), QPointF(9, 1), QPointF(1, 9)}, colour, Black);
        c.polygon({QPointF(15, 15), QPointF(15, 7), QPointF(7, 15)}, Silver, Black);
        c.line(1, 14, 14, 1, Navy);
        return;
    }
    if (vertical) {
        c.polygon({QPointF(2, 1), QPointF(14, 1), QPointF(8, 7)}, colour, Black);
        c.polygon({QPointF(2, 15), QPointF(14, 15), QPointF(8, 9)}, Silver, Black);
        c.fill(0, 8, 16, 1, Navy);
        return;
    }
    c.polygon({QPointF(1, 2), QPointF(1, 14), QPointF(7, 8)}, colour, Black);
    c.polygon({QPointF(15, 2), QPointF(15, 14), QPointF(9, 8)}, Silver, Black);
    c.fill(8, 0, 1, 16, Navy);
}

void pencilFamily(Canvas& c, int kind)
{
    if (kind == 1) {
        c.fill(1, 7, 8, 7, Blue);
    } else if (kind == 2) {
        c.frame(1, 7, 8, 7, Blue);
    } else if (kind == 3) {
        c.tinyText(1, 9, QStringLiteral("Ab"), Black);
    }
    pencil(c, 14, 1, 6, 9);
}

void bars(Canvas& c)
{
    c.fill(1, 15, 14, 1, Black);
    c.fill(1, 0, 1, 16, Black);
    c.fill(3, 9, 3, 6, Red);
    c.fill(7, 4, 3, 11, Green);
    c.fill(11, 7, 3, 8, Blue);
}

void promote(Canvas& c, bool up, bool all)
{
    const int dir = up ? -1 : 1;
    c.arrow(8, up ? 13 : 3, 8, up ? 4 : 12, Green, 1.5, 4, 4);
    if (all)
        c.fill(2, up ? 1 : 14, 12, 2, Black);
    else
        c.fill(5, up ? 2 : 13, 6, 1, Black);
    (void)dir;
}

void trackCross(Canvas& c, Colour colour)
{
    c.fill(8, 1, 1, 14, colour);
    c.fill(1, 8, 14, 1, colour);
    c.ring(8.5, 8.5, 5, 1, colour);
}

// Shapes of the drawing tools, on a 20-pixel cell.
void drawTool(Canvas& c, const std::string& which)
{
    if (which == "Bezier") {
        std::vector<QPointF> pts;
        for (int i = 0; i <= 20; ++i) {
            const double t = i / 20.0;
            const double s = 1 - t;
            pts.emplace_back(s * s * s * 2 + 3 * s * s * t * 4 + 3 * s * t * t * 16 + t * t * t * 18,
                             s * s * s * 17 + 3 * s * s * t * 1 + 3 * s * t * t * 19 + t * t * t * 3);
        }
        for (size_t i = 1; i < pts.size(); ++i)
            c.line(int(pts[i - 1].x()), int(pts[i - 1].y()), int(pts[i].x()), int(pts[i].y()), Black);
        c.line(2, 17, 4, 1, Grey);
        c.line(18, 3, 16, 19, Grey);
        c.fill(1, 16, 3, 3, Red);
        c.fill(17, 2, 3, 3, Red);
    } else if (which == "Circle") {
        c.ring(10, 10, 8, 1.2, Black);
    } else if (which == "Curly_Brace") {
        c.art(6, 1, {
            "....kkk",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "..k....",
            "kk.....",
            "..k....",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "...k...",
            "....kkk",
        });
    } else if (which == "Diamond") {
        c.polygon({QPointF(10, 1), QPointF(18, 10), QPointF(10, 19), QPointF(2, 10)}, kKey, Black);
    } else if (which == "Pencil_Free") {
        for (int x = 1; x < 15; ++x)
            c.set(x, int(14 + 3 * std::sin(x * 0.9)), Black);
        pencil(c, 18, 1, 11, 9);
    } else if (which == "Pencil_Line") {
        c.line(1, 18, 10, 9, Black);
        pencil(c, 18, 1, 11, 9);
    } else if (which == "Ellipse") {
        c.ellipse(1, 5, 18, 11, kKey, Black);
    } else if (which == "Hexagon") {
        regular(c, 6, 10, 10, 8.5, 0, kKey, Black);
    } else if (which == "Line") {
        c.line(2, 17, 17, 2, Black);
    } else if (which == "Octagon") {
        regular(c, 8, 10, 10, 8.5, pi / 8, kKey, Black);
    } else if (which == "Pentagon") {
        regular(c, 5, 10, 10.5, 8.5, 0, kKey, Black);
    } else if (which == "Point") {
        c.fill(9, 9, 2, 2, Black);
        c.set(4, 5, Black);
        c.set(15, 6, Black);
        c.set(6, 15, Black);
        c.set(14, 14, Black);
    } else if (which == "Quadrilateral") {
        c.polygon({QPointF(3, 3), QPointF(16, 5), QPointF(18, 17), QPointF(1, 14)}, kKey, Black);
    } else if (which == "Rectangle") {
        c.frame(1, 5, 18, 10, Black);
    } else if (which == "Round_Rectangle") {
        c.frame(1, 5, 18, 10, Black);
        for (int x : {1, 18})
            for (int y : {5, 14})
                c.set(x, y, kKey);
        c.set(2, 6, Black);
        c.set(17, 6, Black);
        c.set(2, 13, Black);
        c.set(17, 13, Black);
    } else if (which == "Sine") {
        for (int x = 0; x < 20; ++x) {
            const int y0 = int(std::lround(10 - 7 * std::sin(x * 2 * pi / 19)));
            const int y1 = int(std::lround(10 - 7 * std::sin((x + 1) * 2 * pi / 19)));
            c.line(x, y0, std::min(x + 1, 19), y1, Black);
        }
        c.fill(0, 10, 20, 1, Grey);
    } else if (which == "Snowflake") {
        for (int i = 0; i < 3; ++i) {
            const double a = i * pi / 3;
            c.line(int(10 - 8 * std::cos(a)), int(10 - 8 * std::sin(a)), int(10 + 8 * std::cos(a)),
                   int(10 + 8 * std::sin(a)), Blue);
        }
        c.ring(10.5, 10.5, 3, 1, Blue);
    } else if (which == "Spline") {
        std::vector<QPointF> pts;
        for (int x = 1; x < 19; ++x)
            pts.emplace_back(x, 10 + 6 * std::sin((x - 1) * pi / 9) * (x < 10 ? 1 : 0.6));
        for (size_t i = 1; i < pts.size(); ++i)
            c.line(int(pts[i - 1].x()), int(pts[i - 1].y()), int(pts[i].x()), int(pts[i].y()), Black);
        for (int x : {1, 6, 10, 14, 18})
            c.fill(x - 1, int(10 + 6 * std::sin((x - 1) * pi / 9) * (x < 10 ? 1 : 0.6)) - 1, 3, 3, Red);
    } else if (which == "Square") {
        c.box(3, 3, 14, 14, Blue, Black);
    } else if (which == "Star") {
        star(c, 10, 10.5, 9, 3.7, 5, Yellow, Black);
    } else if (which == "Starburst") {
        star(c, 10, 10, 9.5, 4.5, 12, Red, Black);
    } else if (which == "Triangle") {
        c.polygon({QPointF(10, 2), QPointF(18, 17), QPointF(2, 17)}, kKey, Black);
    } else if (which == "Triangle_Scalene") {
        c.polygon({QPointF(5, 2), QPointF(18, 17), QPointF(1, 13)}, kKey, Black);
    }
}

void gridFamily(Canvas& c, const std::string& which)
{
    if (which == "Grid") {
        grid(c, 4, Black);
    } else if (which == "Grid_Above") {
        c.fill(3, 3, 10, 10, Red);
        grid(c, 4, Black);
    } else if (which == "Grid_Below") {
        grid(c, 4, Grey);
        c.fill(3, 3, 10, 10, Red);
    } else if (which == "Grid_None") {
        grid(c, 4, Silver);
        crossMark(c, 3, 3, 10, Red);
    } else if (which == "Grid_Grow") {
        grid(c, 7, Grey);
        c.arrow(4, 4, 14, 14, Green, 1, 3.5, 4);
    } else if (which == "Grid_No_Snap") {
        grid(c, 4, Grey);
        c.ring(8.5, 8.5, 3, 1.5, Red);
    } else if (which == "Grid_Shrink") {
        grid(c, 3, Grey);
        c.arrow(14, 14, 4, 4, Green, 1, 3.5, 4);
    } else if (which == "Grid_Size") {
        grid(c, 5, Grey);
        c.arrow(2, 8, 14, 8, Navy, 0.5, 3, 3);
        c.arrow(14, 8, 2, 8, Navy, 0.5, 3, 3);
    } else if (which == "Grid_Snap") {
        grid(c, 4, Grey);
        c.fill(8, 8, 3, 3, Blue);
        c.fill(7, 7, 3, 3, Blue);
    } else if (which == "Grid_Mesh") {
        grid(c, 3, Teal);
    } else if (which == "Grid_Mesh2") {
        grid(c, 3, Teal);
        c.line(1, 1, 14, 14, Teal);
        c.line(1, 14, 14, 1, Teal);
    }
}

void imageFamily(Canvas& c, const std::string& which)
{
    if (which == "Image") {
        picture(c, 1, 2, 16, 14);
    } else if (which == "Image_Copy") {
        picture(c, 0, 0, 12, 10);
        picture(c, 6, 7, 12, 10);
    } else if (which == "Image_Import") {
        picture(c, 5, 3, 13, 13);
        c.arrow(0, 9, 8, 9, Red, 1.5, 4, 4);
    } else if (which == "Image_None") {
        c.box(1, 2, 16, 14, White, Black);
        crossMark(c, 4, 4, 10, Red);
    } else if (which == "Image_Negate") {
        picture(c, 1, 2, 16, 14);
        for (int y = 3; y < 15; ++y)
            for (int x = 9; x < 16; ++x) {
                const QRgb p = c.image().pixel(x, y);
                if (qBlue(p) == 255 && qGreen(p) == 255)
                    c.set(x, y, Red);
                else if (qGreen(p) == 128)
                    c.set(x, y, Purple);
                else if (qRed(p) == 255)
                    c.set(x, y, Blue);
            }
    } else if (which == "Image_Open") {
        picture(c, 6, 0, 12, 10);
        folder(c, 0, 5, true);
    } else if (which == "Image_Resize") {
        picture(c, 1, 1, 11, 9);
        c.frame(1, 1, 17, 17, Grey);
        c.arrow(9, 9, 17, 17, Navy, 1, 3.5, 4);
    } else if (which == "Image_Save") {
        picture(c, 0, 0, 12, 10);
        floppy(c, 4, 4);
    } else if (which == "Image_Paste") {
        clipboardBoard(c, 0, 1);
        picture(c, 6, 7, 12, 10);
    }
}

void tinyOffice(Canvas& c, const std::string& which)
{
    // Smaller pictures of the edit and file commands, drawn in the middle
    // ten pixels of the cell.
    if (which == "Tiny_EDIT_CUT") {
        c.ring(5.5, 12.5, 2.5, 1, Black);
        c.ring(10.5, 12.5, 2.5, 1, Black);
        c.line(6, 10, 10, 3, Grey);
        c.line(10, 10, 6, 3, Grey);
    } else if (which == "Tiny_EDITCOPY") {
        c.page(3, 3, 6, 8, false);
        c.page(7, 6, 6, 8, false);
    } else if (which == "Tiny_EDITPAST") {
        c.box(3, 4, 9, 10, Olive, Black);
        c.fill(5, 6, 5, 6, White);
        c.fill(5, 3, 5, 2, Silver);
    } else if (which == "Tiny_NEWFILE") {
        c.page(4, 3, 8, 10, false);
        c.set(12, 2, Yellow);
    } else if (which == "Tiny_OPENDISK") {
        c.box(3, 6, 10, 7, Yellow, Black);
        c.fill(3, 5, 4, 1, Black);
    } else if (which == "Tiny_PRINTER") {
        c.box(5, 3, 6, 3, White, Black);
        c.box(3, 6, 10, 5, Silver, Black);
        c.box(5, 10, 6, 3, White, Black);
    } else if (which == "Tiny_SAVEDISK") {
        c.box(3, 3, 10, 10, Navy, Black);
        c.fill(5, 3, 6, 4, White);
        c.fill(5, 9, 6, 4, Silver);
    } else if (which == "Tiny_Interior") {
        c.fill(4, 4, 8, 8, Blue);
    } else if (which == "Tiny_Outline") {
        c.frame(4, 4, 8, 8, Blue);
    } else if (which == "Tiny_Text") {
        c.text(3, 3, 10, 10, QStringLiteral("T"), 11, Black, true);
    }
}

std::map<std::string, GlyphArt> build()
{
    std::map<std::string, GlyphArt> art;
    auto add = [&](const std::string& name, std::function<void(Canvas&)> draw, int w = 16, int h = 16) {
        art["BMP_" + name] = GlyphArt{w, h, std::move(draw)};
    };

    add("None", [](Canvas&) {}, 1, 2);
    add("All", [](Canvas& c) {
        c.tinyText(2, 1, QStringLiteral("ALL"), Navy);
        checkMark(c, 2, 4);
    });
    add("Retry", [](Canvas& c) { roundArrow(c, Green); });
    add("No", [](Canvas& c) { noSign(c, 8, 8, 7.5, Red); });
    add("Cancel", [](Canvas& c) { crossMark(c, 2, 2, 12, Red); });
    add("Check", [](Canvas& c) { checkMark(c, 1, 2); });
    add("Help", [](Canvas& c) { c.text(0, 0, 16, 16, QStringLiteral("?"), 16, Blue, true); });
    add("Help_About", [](Canvas& c) {
        c.disc(8, 8, 7.5, Blue);
        c.text(0, 0, 16, 16, QStringLiteral("i"), 13, White, true);
    });
    add("Help_Help", [](Canvas& c) {
        c.box(2, 1, 11, 14, Teal, Black);
        c.fill(12, 2, 2, 13, White);
        c.text(2, 1, 11, 14, QStringLiteral("?"), 12, Yellow, true);
    });
    add("Help_Index", [](Canvas& c) {
        c.box(2, 1, 11, 14, Teal, Black);
        c.fill(12, 2, 2, 13, White);
        for (int y = 4; y < 13; y += 3)
            c.fill(4, y, 6, 1, Yellow);
    });
    add("Help_Question", [](Canvas& c) {
        c.ellipse(0, 0, 16, 12, White, Black);
        c.polygon({QPointF(3, 10), QPointF(2, 15), QPointF(7, 11)}, White, Black);
        c.fill(3, 10, 4, 1, White);
        c.text(0, 0, 16, 12, QStringLiteral("?"), 11, Red, true);
    });
    add("Edit_Cut", [](Canvas& c) {
        c.line(5, 1, 10, 10, Grey, 2);
        c.line(11, 1, 6, 10, Grey, 2);
        c.ring(4.5, 12.5, 3, 1.3, Navy);
        c.ring(11.5, 12.5, 3, 1.3, Navy);
    });
    add("Edit_Copy", [](Canvas& c) {
        c.page(0, 0, 10, 12, true);
        c.page(6, 4, 10, 12, true);
    });
    add("Edit_Paste", [](Canvas& c) {
        clipboardBoard(c, 0, 0);
        c.page(7, 6, 9, 10, true);
    });
    add("Edit_Undo", [](Canvas& c) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double d = std::hypot(x + 0.5 - 8, y + 0.5 - 10);
                if (d <= 6 && d > 4 && y < 11 && x > 4)
                    c.set(x, y, Navy);
            }
        c.polygon({QPointF(0, 8), QPointF(6, 3), QPointF(6, 13)}, Navy, Navy);
    });
    add("New_File", [](Canvas& c) {
        c.page(2, 1, 11, 14, false);
        star(c, 12, 4, 4, 1.6, 4, Yellow, Olive);
    });
    add("Open_Disk", [](Canvas& c) {
        folder(c, 0, 3, true);
        c.arrow(9, 5, 13, 0, Green, 1, 2.5, 3);
    });
    add("Printer_Setup", [](Canvas& c) {
        printerBody(c, 0, 0);
        c.disc(12.5, 12.5, 3.5, Grey);
        c.disc(12.5, 12.5, 1.5, White);
        for (auto [x, y] : {std::pair{12, 8}, {12, 16}, {8, 12}, {16, 12}})
            c.set(x, y, Grey);
    });
    add("Printer", [](Canvas& c) { printerBody(c, 0, 2); });
    add("Save_As", [](Canvas& c) {
        floppy(c, 0, 2);
        pencil(c, 15, 0, 9, 7);
    });
    add("Save_Disk", [](Canvas& c) { floppy(c, 0, 1); });
    add("Insert", [](Canvas& c) {
        c.page(6, 1, 10, 14, true);
        c.fill(5, 5, 8, 6, kKey);
        c.frame(6, 1, 10, 14, Black);
        c.arrow(0, 8, 12, 8, Green, 1.5, 4, 5);
    });
    add("Delete", [](Canvas& c) {
        c.page(1, 1, 10, 14, true);
        crossMark(c, 7, 7, 8, Red);
    });
    add("Show", [](Canvas& c) { eye(c); });
    add("Hide", [](Canvas& c) {
        eye(c);
        c.line(1, 14, 14, 1, Red, 2);
    });
    add("Abort", [](Canvas& c) {
        c.disc(8, 8, 7.5, Red);
        c.fill(3, 7, 10, 3, White);
    });
    add("Calculat", [](Canvas& c) {
        c.box(2, 0, 12, 16, Grey, Black);
        c.fill(4, 2, 8, 3, Lime);
        for (int y = 7; y < 15; y += 3)
            for (int x = 4; x < 12; x += 3)
                c.fill(x, y, 2, 2, White);
    });
    add("Clock", [](Canvas& c) {
        c.disc(8, 8, 7.5, White);
        c.ring(8, 8, 7.5, 1.2, Black);
        c.fill(7, 3, 1, 5, Black);
        c.line(7, 7, 11, 10, Red);
        for (auto [x, y] : {std::pair{7, 1}, {13, 7}, {7, 13}, {1, 7}})
            c.set(x, y, Black);
    });
    add("FileClos", [](Canvas& c) { folder(c, 1, 2, false); });
    add("FileNew", [](Canvas& c) {
        c.page(2, 1, 11, 14, false);
        c.fill(9, 10, 7, 2, Green);
        c.fill(11, 8, 2, 7, Green);
    });
    add("FileOpen", [](Canvas& c) { folder(c, 0, 2, true); });
    add("FirstAid", [](Canvas& c) {
        c.box(1, 3, 14, 11, White, Black);
        c.fill(6, 4, 4, 9, Red);
        c.fill(3, 7, 10, 3, Red);
        c.fill(5, 1, 6, 2, Black);
    });
    add("Globe", [](Canvas& c) {
        c.disc(8, 8, 7.5, Blue);
        c.disc(5, 6, 3, Green);
        c.disc(11, 11, 2.5, Green);
        c.ring(8, 8, 7.5, 1, Navy);
        c.fill(1, 8, 14, 1, Aqua);
    });
    add("Group", [](Canvas& c) {
        c.box(1, 1, 8, 7, Red, Black);
        c.box(7, 8, 8, 7, Blue, Black);
    });
    add("LockOpen", [](Canvas& c) { padlock(c, true); });
    add("LockShut", [](Canvas& c) { padlock(c, false); });
    add("Music", [](Canvas& c) {
        c.ellipse(1, 10, 6, 5, Black, Black);
        c.ellipse(9, 8, 6, 5, Black, Black);
        c.fill(6, 2, 1, 11, Black);
        c.fill(14, 0, 1, 11, Black);
        c.line(6, 2, 14, 0, Black, 2);
    });
    add("Query", [](Canvas& c) {
        magnifier(c, 0, 0);
        c.tinyText(12, 10, QStringLiteral("?"), Red);
    });
    add("Sum", [](Canvas& c) {
        c.art(2, 1, {
            "kkkkkkkkkkk",
            "kk.......kk",
            ".kk.......k",
            "..kk.......",
            "...kk......",
            "....kk.....",
            ".....kk....",
            "....kk.....",
            "...kk......",
            "..kk.......",
            ".kk.......k",
            "kk.......kk",
            "kkkkkkkkkkk",
        });
    });
    add("Trash", [](Canvas& c) { bin(c, false); });
    add("TrashFul", [](Canvas& c) { bin(c, true); });

    const std::pair<const char*, std::pair<int, int>> directions[] = {
        {"U", {0, -1}},  {"L", {-1, 0}},  {"R", {1, 0}},  {"D", {0, 1}},
        {"UL", {-1, -1}}, {"UR", {1, -1}}, {"DL", {-1, 1}}, {"DR", {1, 1}},
    };
    for (const auto& [name, d] : directions) {
        const auto [dx, dy] = d;
        add(std::string("Arrow_") + name, [dx, dy](Canvas& c) { cellArrow(c, dx, dy); });
        add(std::string("Arrow_Tiny_") + name, [dx, dy](Canvas& c) { tinyArrow(c, dx, dy); }, 12, 12);
    }
    add("Arrow_Tiny_Star", [](Canvas& c) { star(c, 6, 6.5, 6, 2.5, 5, Yellow, Navy); }, 12, 12);
    add("Arrow_4", [](Canvas& c) {
        c.arrow(8, 8, 8, 0, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 8, 16, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 0, 8, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 16, 8, Blue, 1, 3.5, 3.5);
    });
    add("Arrow_4d", [](Canvas& c) {
        c.arrow(8, 8, 1, 1, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 15, 1, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 1, 15, Blue, 1, 3.5, 3.5);
        c.arrow(8, 8, 15, 15, Blue, 1, 3.5, 3.5);
    });
    add("Arrow_LL", [](Canvas& c) {
        triangle(c, 4, 8, -1, 0, 4, Blue);
        triangle(c, 11, 8, -1, 0, 4, Blue);
    });
    add("Arrow_RR", [](Canvas& c) {
        triangle(c, 5, 8, 1, 0, 4, Blue);
        triangle(c, 12, 8, 1, 0, 4, Blue);
    });
    add("Arrow_LR", [](Canvas& c) {
        c.arrow(8, 8, 0, 8, Blue, 1.5, 4.5, 5);
        c.arrow(8, 8, 16, 8, Blue, 1.5, 4.5, 5);
    });
    add("Arrow_UD", [](Canvas& c) {
        c.arrow(8, 8, 8, 0, Blue, 1.5, 4.5, 5);
        c.arrow(8, 8, 8, 16, Blue, 1.5, 4.5, 5);
    });
    add("Arrow_D_Short", [](Canvas& c) { c.polygon({QPointF(3, 0), QPointF(13, 0), QPointF(8, 5)}, Black, Black); },
        16, 6);
    add("Arrow_U_Short", [](Canvas& c) { c.polygon({QPointF(3, 5), QPointF(13, 5), QPointF(8, 0)}, Black, Black); },
        16, 6);
    add("Arrow_L_Spin", [](Canvas& c) { triangle(c, 7, 8, -1, 0, 5, Black); });
    add("Arrow_R_Spin", [](Canvas& c) { triangle(c, 9, 8, 1, 0, 5, Black); });
    add("Arrow_Retry", [](Canvas& c) { roundArrow(c, Blue); });
    add("Arrows", [](Canvas& c) {
        c.arrow(1, 5, 15, 5, Blue, 1, 3, 4);
        c.arrow(15, 11, 1, 11, Red, 1, 3, 4);
    });
    add("Arrows_Left", [](Canvas& c) {
        for (int y : {3, 8, 13})
            c.arrow(15, y, 1, y, Blue, 0.5, 2.5, 4);
    });
    add("Arrows_Right", [](Canvas& c) {
        for (int y : {3, 8, 13})
            c.arrow(1, y, 15, y, Blue, 0.5, 2.5, 4);
    });

    add("Font_Normal", [](Canvas& c) { c.text(0, 0, 16, 16, QStringLiteral("A"), 15, Black, false, false, false, QStringLiteral("Liberation Serif")); });
    add("Font_Boldface", [](Canvas& c) { c.text(0, 0, 16, 16, QStringLiteral("B"), 15, Black, true); });
    add("Font_Italic", [](Canvas& c) { c.text(0, 0, 16, 16, QStringLiteral("I"), 15, Black, true, true, false, QStringLiteral("Liberation Serif")); });
    add("Font_Underln", [](Canvas& c) {
        c.text(0, 0, 16, 14, QStringLiteral("U"), 13, Black, true);
        c.fill(3, 14, 10, 1, Black);
    });
    add("Justify_Left", [](Canvas& c) { justify(c, 0); });
    add("Justify_Center", [](Canvas& c) { justify(c, 1); });
    add("Justify_Right", [](Canvas& c) { justify(c, 2); });
    add("Justify_Full", [](Canvas& c) { justify(c, 3); });
    add("Find_Search", [](Canvas& c) { magnifier(c, 1, 1); });
    add("Find_Replace", [](Canvas& c) {
        magnifier(c, 0, 0);
        c.tinyText(9, 1, QStringLiteral("a"), Red);
        c.tinyText(12, 10, QStringLiteral("b"), Green);
    });
    add("Find_Again", [](Canvas& c) {
        magnifier(c, 0, 1);
        c.arrow(9, 2, 15, 2, Green, 0.5, 2.5, 3);
    });
    add("Print_Portrait", [](Canvas& c) {
        c.page(3, 0, 12, 18, false);
        c.text(4, 1, 10, 16, QStringLiteral("A"), 13, Navy, true);
    }, 18, 18);
    add("Print_Landscape", [](Canvas& c) {
        c.page(0, 3, 18, 12, false);
        c.text(1, 4, 16, 10, QStringLiteral("A"), 10, Navy, true);
    }, 18, 18);
    add("Color_RGB", [](Canvas& c) {
        c.disc(8, 5.5, 4.5, Red);
        c.disc(5, 10.5, 4.5, Lime);
        c.disc(11, 10.5, 4.5, Blue);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double r = std::hypot(x + 0.5 - 8, y + 0.5 - 5.5);
                const double g = std::hypot(x + 0.5 - 5, y + 0.5 - 10.5);
                const double b = std::hypot(x + 0.5 - 11, y + 0.5 - 10.5);
                const bool inR = r <= 4.5;
                const bool inG = g <= 4.5;
                const bool inB = b <= 4.5;
                if (inR && inG && inB)
                    c.set(x, y, White);
                else if (inR && inG)
                    c.set(x, y, Yellow);
                else if (inR && inB)
                    c.set(x, y, Purple);
                else if (inG && inB)
                    c.set(x, y, Aqua);
            }
    });
    add("Colors", [](Canvas& c) {
        const Colour cells[9] = {Red, Yellow, Lime, Aqua, Blue, Purple, Green, Maroon, Black};
        for (int i = 0; i < 9; ++i) {
            c.fill(1 + 5 * (i % 3), 1 + 5 * (i / 3), 4, 4, cells[i]);
        }
    });
    add("Hand_Left", [](Canvas& c) {
        c.art(0, 3, {
            "......kkkk......",
            ".kkkkkwwwwkk....",
            "kwwwwwwwwwwwkkk.",
            ".kkkkkkwwwwwwwwk",
            "......kwwwwwwwwk",
            ".....kwwwwwwwwwk",
            "......kwwwwwwwwk",
            ".....kwwwwwwwwk.",
            "......kkkkkkkk..",
        });
    });
    add("Hand_Right", [](Canvas& c) {
        c.art(0, 3, {
            "......kkkk......",
            "....kkwwwwkkkkk.",
            ".kkkwwwwwwwwwwwk",
            "kwwwwwwwwkkkkkk.",
            "kwwwwwwwwk......",
            "kwwwwwwwwwk.....",
            "kwwwwwwwwk......",
            ".kwwwwwwwwk.....",
            "..kkkkkkkk......",
        });
    });
    add("Fraction_One_Eighth", [](Canvas& c) { fraction(c, "1", "8"); });
    add("Fraction_One_Fourth", [](Canvas& c) { fraction(c, "1", "4"); });
    add("Fraction_One_Third", [](Canvas& c) { fraction(c, "1", "3"); });
    add("Fraction_Three_Eighths", [](Canvas& c) { fraction(c, "3", "8"); });
    add("Fraction_One_Half", [](Canvas& c) { fraction(c, "1", "2"); });
    add("Fraction_Five_Eighths", [](Canvas& c) { fraction(c, "5", "8"); });
    add("Fraction_Two_Thirds", [](Canvas& c) { fraction(c, "2", "3"); });
    add("Fraction_Three_Fourths", [](Canvas& c) { fraction(c, "3", "4"); });
    add("Fraction_Seven_Eighths", [](Canvas& c) { fraction(c, "7", "8"); });
    add("Analyze", [](Canvas& c) { bars(c); });
    add("Contour", [](Canvas& c) {
        c.ellipse(0, 1, 16, 14, kKey, Green);
        c.ellipse(3, 4, 10, 8, kKey, Olive);
        c.ellipse(6, 6, 4, 4, Maroon, Maroon);
    });
    add("Debug", [](Canvas& c) {
        for (int y : {6, 9, 12}) {
            c.line(1, y - 1, 4, y, Black);
            c.line(11, y, 14, y - 1, Black);
        }
        c.ellipse(3, 4, 10, 11, Red, Black);
        c.fill(8, 4, 1, 11, Black);
        c.disc(8, 3.5, 2.5, Black);
        c.fill(5, 8, 2, 2, Black);
        c.fill(10, 10, 2, 2, Black);
    });
    add("Push_Button", [](Canvas& c) {
        c.fill(1, 4, 14, 8, Silver);
        c.fill(1, 4, 14, 1, White);
        c.fill(1, 4, 1, 8, White);
        c.fill(1, 11, 14, 1, Black);
        c.fill(14, 4, 1, 8, Black);
        c.fill(2, 10, 12, 1, Grey);
        c.fill(5, 7, 6, 2, Black);
    });
    add("Shazam", [](Canvas& c) {
        c.polygon({QPointF(9, 0), QPointF(3, 9), QPointF(7, 9), QPointF(5, 16), QPointF(13, 6), QPointF(9, 6),
                   QPointF(12, 0)},
                  Yellow, Black);
    });
    add("Sign_Go", [](Canvas& c) {
        c.disc(8, 8, 7.5, Green);
        triangle(c, 8.5, 8, 1, 0, 4, White);
    });
    add("Sign_Stop1", [](Canvas& c) { regular(c, 8, 8, 8, 7.8, pi / 8, Red, Maroon); });
    add("Sign_Stop2", [](Canvas& c) {
        regular(c, 8, 8, 8, 7.8, pi / 8, Red, Maroon);
        c.fill(3, 7, 10, 2, White);
    });
    add("Symbol_Minus", [](Canvas& c) { c.fill(2, 7, 12, 3, Black); });
    add("Symbol_Plus", [](Canvas& c) {
        c.fill(2, 7, 12, 3, Black);
        c.fill(7, 2, 3, 12, Black);
    });
    add("Typeface", [](Canvas& c) {
        c.text(0, 0, 10, 16, QStringLiteral("T"), 15, Navy, true, false, false, QStringLiteral("Liberation Serif"));
        c.text(7, 4, 9, 12, QStringLiteral("t"), 11, Maroon, true, false, false, QStringLiteral("Liberation Serif"));
    });
    add("WideMulti", [](Canvas& c) {
        for (int x : {0, 11, 22})
            c.page(x, 1, 10, 14, true);
    }, 32, 16);
    add("Wordwrap", [](Canvas& c) {
        c.fill(1, 2, 13, 1, Black);
        c.fill(1, 6, 9, 1, Black);
        c.fill(1, 13, 6, 1, Black);
        c.fill(13, 2, 2, 8, Blue);
        c.arrow(14, 9.5, 7, 9.5, Blue, 1, 3, 3);
    });
    add("Wrench", [](Canvas& c) {
        c.line(3, 13, 10, 6, Grey, 3);
        c.disc(11.5, 4.5, 4, Grey);
        c.disc(13, 3, 1.8, kKey);
        c.line(12, 1, 15, 4, kKey, 2);
        c.disc(3, 13, 2.2, Grey);
        c.set(3, 13, Black);
    });

    for (const char* name : {"Image", "Image_Copy", "Image_Import", "Image_None", "Image_Negate", "Image_Open",
                             "Image_Resize", "Image_Save", "Image_Paste"})
        add(name, [n = std::string(name)](Canvas& c) { imageFamily(c, n); }, 18, 18);

    add("Object_Delete", [](Canvas& c) {
        shapes(c, 1, 1);
        crossMark(c, 8, 8, 7, Red);
    });
    add("Object_Duplicate", [](Canvas& c) {
        shapes(c, 0, 0);
        shapes(c, 5, 5);
    });
    add("Object_Undo", [](Canvas& c) {
        shapes(c, 5, 5);
        c.arrow(10, 3, 1, 3, Navy, 1, 3, 3);
    });
    add("Object_Multiple", [](Canvas& c) {
        c.fill(1, 1, 5, 5, Blue);
        c.ellipse(9, 1, 6, 6, Red, Black);
        c.polygon({QPointF(4, 9), QPointF(7, 14), QPointF(1, 14)}, Green, Black);
        c.box(9, 9, 6, 6, Yellow, Black);
    });
    add("Track_Image", [](Canvas& c) {
        c.fill(2, 2, 12, 12, Aqua);
        c.fill(2, 9, 12, 5, Green);
        trackCross(c, Black);
    });
    add("Track_Manual", [](Canvas& c) {
        trackCross(c, Black);
        c.arrow(15, 15, 10, 10, Red, 0.6, 2.5, 3);
    });
    add("Track_Window", [](Canvas& c) {
        c.frame(0, 0, 16, 15, Navy);
        c.fill(0, 0, 16, 3, Navy);
        trackCross(c, Red);
    });
    add("Demote_All", [](Canvas& c) { promote(c, false, true); });
    add("Demote_One", [](Canvas& c) { promote(c, false, false); });
    add("Promote_All", [](Canvas& c) { promote(c, true, true); });
    add("Promote_One", [](Canvas& c) { promote(c, true, false); });
    add("Flip_Red", [](Canvas& c) { mirrorPair(c, true, false, Red); });
    add("Flip_Yellow", [](Canvas& c) { mirrorPair(c, true, false, Yellow); });
    add("Mirror_Red", [](Canvas& c) { mirrorPair(c, false, false, Red); });
    add("Mirror_Yellow", [](Canvas& c) { mirrorPair(c, false, false, Yellow); });
    add("Transpose_Red", [](Canvas& c) { mirrorPair(c, false, true, Red); });
    add("Transpose_Yellow", [](Canvas& c) { mirrorPair(c, false, true, Yellow); });
    for (const char* name : {"Grid", "Grid_Above", "Grid_Below", "Grid_None", "Grid_Grow", "Grid_No_Snap",
                             "Grid_Shrink", "Grid_Size", "Grid_Snap", "Grid_Mesh", "Grid_Mesh2"})
        add(name, [n = std::string(name)](Canvas& c) { gridFamily(c, n); });
    add("Pencil", [](Canvas& c) { pencilFamily(c, 0); });
    add("Pencil_Interior", [](Canvas& c) { pencilFamily(c, 1); });
    add("Pencil_Outline", [](Canvas& c) { pencilFamily(c, 2); });
    add("Pencil_Text", [](Canvas& c) { pencilFamily(c, 3); });
    for (const char* name : {"Bezier", "Circle", "Curly_Brace", "Diamond", "Pencil_Free", "Pencil_Line", "Ellipse",
                             "Hexagon", "Line", "Octagon", "Pentagon", "Point", "Quadrilateral", "Rectangle",
                             "Round_Rectangle", "Sine", "Snowflake", "Spline", "Square", "Star", "Starburst",
                             "Triangle", "Triangle_Scalene"})
        add(std::string("Draw_") + name, [n = std::string(name)](Canvas& c) { drawTool(c, n); }, 20, 20);
    for (const char* name : {"Tiny_EDIT_CUT", "Tiny_EDITCOPY", "Tiny_EDITPAST", "Tiny_NEWFILE", "Tiny_OPENDISK",
                             "Tiny_PRINTER", "Tiny_SAVEDISK", "Tiny_Interior", "Tiny_Outline", "Tiny_Text"})
        add(name, [n = std::string(name)](Canvas& c) { tinyOffice(c, n); });
    return art;
}

} // namespace

const std::map<std::string, GlyphArt>& artwork()
{
    static const std::map<std::string, GlyphArt> art = build();
    return art;
}

} // namespace glyphs
