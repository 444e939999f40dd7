// SPDX-License-Identifier: Apache-2.0
#pragma once
// The working picture is a QImage in Format_BGR888: three bytes per pixel in
// the order blue, green, red, row 0 on top. Every picture is allocated through
// these functions, which check the size against a pixel limit first.
#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

constexpr QImage::Format kPictureFormat = QImage::Format_BGR888;
// 2^28 pixels, 768 MiB in the working format. Each load may set its own
// (PictureLoadOptions::PixelLimit).
constexpr int64_t kDefaultPixelLimit = int64_t(1) << 28;

// True when width × height is positive, within `limit` and addressable by
// QImage (computed without overflow).
bool pictureSizeAllowed(int64_t width, int64_t height, int64_t limit = kDefaultPixelLimit);

// A new picture of that size (contents undefined), or a null QImage when the
// size is not allowed or memory runs out.
QImage allocatePicture(int64_t width, int64_t height, int64_t limit = kDefaultPixelLimit);

// A picture filled with one colour (red, green, blue), or null as above.
QImage allocateFilledPicture(int64_t width, int64_t height, uint8_t red, uint8_t green, uint8_t blue,
                             int64_t limit = kDefaultPixelLimit);

// Brings any picture to the working format in place; returns true if it had
// to be converted.
bool ensurePictureFormat(QImage& picture);

// The picture itself when it is in the working format (sharing its pixels),
// else a converted copy: for readers that must not change their input.
inline QImage inPictureFormat(const QImage& picture)
{
    return picture.format() == kPictureFormat ? picture : picture.convertToFormat(kPictureFormat);
}

// "W×H" with the multiplication sign.
QString pictureSizeText(const QImage& picture);
QString pictureSizeText(int width, int height);

} // namespace ostrel
