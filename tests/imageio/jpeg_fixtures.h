// SPDX-License-Identifier: Apache-2.0
#pragma once
// JPEG files made on the spot with libjpeg's compressor, for the JPEG tests
// and benchmark: colour, grey, progressive, CMYK and YCCK pictures of known
// content. Only well-formed input is ever given, so libjpeg's default error
// handler (which ends the program) is good enough here.
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace ostrel::testing {

enum class JpegKind { Colour, Grey, Progressive, Cmyk, Ycck };

// A smooth, many-coloured picture, like a photograph rather than a test card.
inline QImage photoLikePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const unsigned wave = unsigned(x * 7 + y * 3) ^ unsigned(x * y / 97);
            row[3 * x + 0] = uint8_t(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = uint8_t(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = uint8_t(wave);
        }
    }
    return picture;
}

// Ink amounts as an Adobe application stores them (inverted: 255 is no ink).
inline uint8_t cmykSample(int x, int y, int channel)
{
    return uint8_t(channel == 3 ? 255 - (y * 3 % 64) : (x * (channel + 1) * 5 + y * 2) % 256);
}

// Compresses `picture` (RGB888) as a JPEG of the given kind at `quality`.
// CMYK and YCCK files ignore the picture's colours and hold cmykSample().
inline QByteArray encodeJpeg(const QImage& source, JpegKind kind, int quality = 90,
                             const std::function<void(jpeg_compress_struct&)>& tune = {})
{
    const QImage picture = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    const bool cmyk = kind == JpegKind::Cmyk || kind == JpegKind::Ycck;
    info.input_components = kind == JpegKind::Grey ? 1 : cmyk ? 4 : 3;
    info.in_color_space = kind == JpegKind::Grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (kind == JpegKind::Ycck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, quality, TRUE);
    if (kind == JpegKind::Progressive)
        jpeg_simple_progression(&info);
    if (tune)
        tune(info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(picture.width()) * 4);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        const uchar* rgb = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (kind == JpegKind::Grey)
                row[size_t(x)] = uint8_t((rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2]) / 3);
            else if (cmyk)
                for (int c = 0; c < 4; ++c)
                    row[size_t(4 * x + c)] = cmykSample(x, y, c);
            else
                for (int c = 0; c < 3; ++c)
                    row[size_t(3 * x + c)] = rgb[3 * x + c];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray file(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return file;
}

} // namespace ostrel::testing
