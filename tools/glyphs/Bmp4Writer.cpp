#include "Bmp4Writer.h"

#include <QtEndian>

#include <stdexcept>

namespace glyphs {

const QRgb kBaseColours[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

namespace {

int paletteIndex(QRgb colour)
{
    for (int i = 0; i < 16; ++i) {
        if (qRgb(qRed(colour), qGreen(colour), qBlue(colour)) == kBaseColours[i])
            return i;
    }
    throw std::runtime_error("pixel outside the base colours");
}

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

QByteArray encodeBmp4(const QImage& picture)
{
    const int width = picture.width();
    const int height = picture.height();
    const int rowBytes = ((width + 1) / 2 + 3) / 4 * 4;
    const quint32 pixelOffset = 14 + 40 + 16 * 4;
    const quint32 fileSize = pixelOffset + quint32(rowBytes) * height;

    QByteArray out;
    out.append("BM", 2);
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);
    put32(out, quint32(width));
    put32(out, quint32(height));
    put16(out, 1);
    put16(out, 4);
    put32(out, 0); // no compression
    put32(out, quint32(rowBytes) * height);
    put32(out, 3780); // 96 dpi
    put32(out, 3780);
    put32(out, 16);
    put32(out, 0);
    for (QRgb colour : kBaseColours) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append(char(0));
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const int index = paletteIndex(rgb.pixel(x, y));
            row[x / 2] = char(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
        }
        out.append(row);
    }
    return out;
}

} // namespace glyphs
