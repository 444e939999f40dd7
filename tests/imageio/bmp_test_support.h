// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers for the BMP tests: building bitmap files field by field, and
// pictures to save.
#include "colour/PaletteTypes.h"
#include "imageio/bmp.h"
#include "imageio/small_readers_support.h"

#include <QByteArray>
#include <QImage>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace ostrel::testing {

// The fields of a bitmap file to build, set in a chain; pixel rows and
// colour table are given as stored. Fields a header of `headerSize` bytes has
// no room for are left out, so one description makes core, OS/2 and Windows
// files. Masks (red, green, blue[, alpha]) stand in the header from 52 bytes
// on, else after it.
class BmpFields {
public:
    BmpFields& headerSize(uint32_t v) { m_headerSize = v; return *this; }
    BmpFields& size(int32_t width, int32_t height)
    {
        m_width = width;
        m_height = height;
        return *this;
    }
    BmpFields& bits(uint16_t v) { m_bits = v; return *this; }
    BmpFields& compression(uint32_t v) { m_compression = v; return *this; }
    BmpFields& coloursUsed(uint32_t v) { m_coloursUsed = v; return *this; }
    BmpFields& masks(std::vector<uint32_t> v) { m_masks = std::move(v); return *this; }
    BmpFields& table(const QByteArray& v) { m_table = v; return *this; }
    BmpFields& pixels(const QByteArray& v) { m_pixels = v; return *this; }
    // Default: right after the table.
    BmpFields& pixelOffset(uint32_t v) { m_pixelOffset = v; return *this; }

    QByteArray make() const
    {
        Bytes info;
        info.u32le(m_headerSize);
        if (m_headerSize == 12) {
            info.u16le(uint16_t(m_width)).u16le(uint16_t(m_height)).u16le(1).u16le(m_bits);
        } else {
            info.u32le(uint32_t(m_width)).u32le(uint32_t(m_height)).u16le(1).u16le(m_bits);
            info.u32le(m_compression).u32le(uint32_t(m_pixels.size())).u32le(2835).u32le(2835);
            info.u32le(m_coloursUsed).u32le(0);
            for (uint32_t mask : m_masks)
                info.u32le(mask);
        }
        QByteArray header = info.data();
        if (m_headerSize != 40 || m_masks.empty())
            header = header.left(m_headerSize).leftJustified(m_headerSize, '\0');
        const uint32_t offset = m_pixelOffset.value_or(uint32_t(14 + header.size() + m_table.size()));
        Bytes file;
        file.text("BM").u32le(uint32_t(14 + header.size() + m_table.size() + m_pixels.size()));
        file.u32le(0).u32le(offset).append(header).append(m_table);
        file.padTo(offset);
        file.append(m_pixels);
        return file;
    }

private:
    uint32_t m_headerSize = 40;
    int32_t m_width = 1;
    int32_t m_height = 1;
    uint16_t m_bits = 24;
    uint32_t m_compression = 0;
    uint32_t m_coloursUsed = 0;
    std::vector<uint32_t> m_masks;
    QByteArray m_table;
    QByteArray m_pixels;
    std::optional<uint32_t> m_pixelOffset;
};

inline QByteArray makeBmp(const BmpFields& fields) { return fields.make(); }

// Colour table entries blue, green, red[, 0] from (red, green, blue) triples.
inline QByteArray colourTable(std::initializer_list<std::array<uint8_t, 3>> rgb, int entrySize = 4)
{
    Bytes table;
    for (const auto& c : rgb) {
        table.u8(c[2]).u8(c[1]).u8(c[0]);
        if (entrySize == 4)
            table.u8(0);
    }
    return table;
}

inline LoadResult loadBmpBytes(const QByteArray& bytes) { return loadBytes(QStringLiteral("test.bmp"), bytes); }

// A picture of distinct colours in every position, so that any swap of rows,
// columns or channels shows.
inline QImage gradientPicture(int width, int height)
{
    QImage picture(width, height, kPictureFormat);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb((x * 37 + y) & 0xFF, (y * 53 + 7) & 0xFF, (x * 11 + y * 29) & 0xFF));
    return picture;
}

// Little-endian header fields of a written file.
inline uint32_t u32At(const QByteArray& file, qsizetype at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | uint8_t(file[at + i]);
    return value;
}
inline uint16_t u16At(const QByteArray& file, qsizetype at)
{
    return uint16_t(uint8_t(file[at]) | uint8_t(file[at + 1]) << 8);
}

// The paletted BMP file the writer makes of `picture`; a failure fails the test.
inline QByteArray bmpOf(const QImage& picture, const TPaletteArray& palette, int32_t count, bool dither = false)
{
    QString error;
    const std::optional<QByteArray> bytes = encodeBmpPaletted(picture, palette, count, dither, {}, &error);
    EXPECT_TRUE(bytes.has_value()) << error.toStdString();
    return bytes.value_or(QByteArray());
}

} // namespace ostrel::testing
