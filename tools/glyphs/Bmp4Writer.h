#pragma once
// Writes a picture whose pixels are all base colours as a 4-bit BMP file
// with the base colours as its palette.
#include <QByteArray>
#include <QImage>

namespace glyphs {

// The 16 base colours in palette order.
extern const QRgb kBaseColours[16];

// The file bytes; every pixel must be one of the base colours exactly.
QByteArray encodeBmp4(const QImage& picture);

} // namespace glyphs
