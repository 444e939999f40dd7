// SPDX-License-Identifier: Apache-2.0
// Draws every glyph of the toolkit, writes each as a 4-bit BMP file holding
// the normal cell and its disabled form side by side, and writes the
// resource list that embeds them.
//   make_glyphs <toolkit source folder> [contact sheet .png]
#include "Artwork.h"
#include "Canvas.h"
#include "colour/Palette.h"
#include "imageio/bmp.h"
#include "toolkit/GlyphNames.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <set>

namespace {

using glyphs::Canvas;

bool isLight(QRgb colour)
{
    return qGray(colour) >= 200;
}

// The disabled form as the classic buttons draw it: dark pixels become grey
// with a white shadow one pixel down and right; light pixels vanish. A glyph
// drawn only in light colours keeps its whole shape in grey instead.
Canvas disabledCell(const Canvas& normal)
{
    Canvas out(normal.width(), normal.height());
    bool anyDark = false;
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            anyDark = anyDark || (!normal.isKey(x, y) && !isLight(normal.image().pixel(x, y)));
    const auto shown = [&](int x, int y) {
        return !normal.isKey(x, y) && (!anyDark || !isLight(normal.image().pixel(x, y)));
    };
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            if (shown(x, y))
                out.set(x + 1, y + 1, glyphs::White);
    for (int y = 0; y < normal.height(); ++y)
        for (int x = 0; x < normal.width(); ++x)
            if (shown(x, y))
                out.set(x, y, glyphs::Grey);
    return out;
}

QImage twoCells(const Canvas& normal, const Canvas& disabled)
{
    QImage both(normal.width() * 2, normal.height(), QImage::Format_RGB32);
    QPainter painter(&both);
    painter.drawImage(0, 0, normal.image());
    painter.drawImage(normal.width(), 0, disabled.image());
    return both;
}

// The BMP writer maps every pixel to its nearest table colour; a glyph must
// not need that, or its file would silently differ from its drawing.
bool onlyBaseColours(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y) | 0xFF000000;
            bool found = false;
            for (int c = glyphs::Black; c <= glyphs::White && !found; ++c)
                found = pixel == glyphs::baseRgb(glyphs::Colour(c));
            if (!found)
                return false;
        }
    return true;
}

// A 4-bit file whose table is the 16 base colours.
bool writeGlyphFile(const QString& path, const QImage& picture)
{
    ostrel::TPaletteArray palette;
    ostrel::InitPalette(palette);
    QString error;
    if (!onlyBaseColours(picture) || !ostrel::WriteIndexedBmp(picture, path, palette, 16, &error)) {
        const QString reason = error.isEmpty() ? path + QStringLiteral(": pixel outside the base colours") : error;
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        return false;
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_glyphs <toolkit source folder> [contact sheet .png]\n");
        return 2;
    }
    const QDir toolkit(QString::fromLocal8Bit(argv[1]));
    toolkit.mkpath(QStringLiteral("glyphs"));

    const auto& art = glyphs::artwork();
    std::set<std::string> unused;
    for (const auto& [name, glyph] : art)
        unused.insert(name);

    QString qrc = QStringLiteral("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n");
    std::vector<QImage> sheet;
    for (const ostrel::GlyphNameRow& row : ostrel::kGlyphNames) {
        const auto found = art.find(row.enumName);
        if (found == art.end()) {
            std::fprintf(stderr, "no artwork for %s\n", row.enumName);
            return 1;
        }
        unused.erase(row.enumName);
        Canvas normal(found->second.cellWidth, found->second.cellHeight);
        found->second.draw(normal);
        const QImage both = twoCells(normal, disabledCell(normal));
        const QString file = QString::fromLatin1(row.resourceName).toLower() + QStringLiteral(".bmp");
        if (!writeGlyphFile(toolkit.filePath(QStringLiteral("glyphs/") + file), both))
            return 1;
        qrc += QStringLiteral("  <file>glyphs/%1</file>\n").arg(file);
        sheet.push_back(both);
    }
    if (!unused.empty()) {
        std::fprintf(stderr, "artwork without a glyph name: %s\n", unused.begin()->c_str());
        return 1;
    }
    qrc += QStringLiteral("</qresource>\n</RCC>\n");
    if (!writeFile(toolkit.filePath(QStringLiteral("glyphs.qrc")), qrc.toUtf8()))
        return 1;

    if (argc > 2) {
        // Every glyph at four times its size on a grid, for looking at.
        constexpr int kScale = 4;
        constexpr int kColumns = 8;
        constexpr int kSlotW = 64 * kScale + 8;
        constexpr int kSlotH = 20 * kScale + 8;
        const int rows = (int(sheet.size()) + kColumns - 1) / kColumns;
        QImage contact(kColumns * kSlotW, rows * kSlotH, QImage::Format_RGB32);
        contact.fill(Qt::white);
        QPainter painter(&contact);
        for (size_t i = 0; i < sheet.size(); ++i) {
            const QImage& g = sheet[i];
            painter.drawImage(QRect(int(i % kColumns) * kSlotW, int(i / kColumns) * kSlotH, g.width() * kScale,
                                    g.height() * kScale),
                              g);
        }
        painter.end();
        contact.save(QString::fromLocal8Bit(argv[2]));
    }
    return 0;
}
