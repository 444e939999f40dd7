// SPDX-License-Identifier: Apache-2.0
#pragma once
// Steps that the picture readers share: the blank picture they start from,
// the first and last report lines, the size a file's data can fill, and
// writing one colour into a scan line.
#include "colour/Drawing.h"
#include "imageio/LoadResult.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace ostrel::kit {

// Begins every PNG stream, on its own or inside an icon.
constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Damaged small files still show what they hold on a picture of their full
// size, but no header makes a load allocate much more than its file's data
// can fill: a picture may exceed the pixels its data can supply by at most
// this many (12 MiB in the working format).
constexpr int64_t kUnfilledPixelAllowance = int64_t(1) << 22;

// The pixels that `units` of data can give at `perUnit` pixels each, held
// well below overflow.
constexpr int64_t pixelsFrom(uint64_t units, uint64_t perUnit)
{
    constexpr uint64_t kCap = uint64_t(std::numeric_limits<int64_t>::max() / 4);
    if (perUnit != 0 && units > kCap / perUnit)
        return int64_t(kCap);
    return int64_t(units * perUnit);
}

// Samples per pixel of a PNG colour type (grey, RGB, palette, grey and
// alpha, RGBA); one for a type PNG does not define.
constexpr int pngChannels(uint8_t colourType)
{
    switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Rows of the working picture hold blue, green, red.
inline void putPixel(uint8_t* row, int x, Rgb colour)
{
    uint8_t* pixel = row + 3 * x;
    pixel[0] = colour.blue;
    pixel[1] = colour.green;
    pixel[2] = colour.red;
}

// One reader run: starts from the reader's blank picture with the tag line,
// and ends with "<TAG> End." whichever way the reader stops.
class ReaderRun {
public:
    ReaderRun(const LoadInput& input, const char* tag, int blankWidth, int blankHeight)
        : m_tag(tag), m_pixelLimit(input.options.PixelLimit)
    {
        m_result.picture = blankPicture(blankWidth, blankHeight);
        ReportValue(m_result, QString::fromLatin1(tag), input.fileName);
    }

    LoadResult& result() { return m_result; }
    int64_t pixelLimit() const { return m_pixelLimit; }
    QImage& picture() { return m_result.picture; }

    void line(const QString& text) { ReportLine(m_result, text); }
    void value(const QString& name, const QString& text) { ReportValue(m_result, name, text); }
    void value(const QString& name, qint64 number) { ReportValue(m_result, name, number); }

    // "EOF encountered, only 10 of 128 read."
    void shortRead(size_t got, size_t asked)
    {
        line(QStringLiteral("EOF encountered, only %1 of %2 read.").arg(got).arg(asked));
    }

    // Whether a width × height picture (already within the pixel limit) is
    // one the file's data can fill, but for the allowance, when the data can
    // give at most `fillable` pixels; says so in the report when it is not.
    bool dataCanFill(int64_t width, int64_t height, int64_t fillable)
    {
        if (width * height <= std::min(fillable, std::numeric_limits<int64_t>::max() / 2) + kUnfilledPixelAllowance)
            return true;
        line(QStringLiteral("Data for at most %1 of %2%3%4 pixels")
                 .arg(fillable)
                 .arg(width)
                 .arg(QChar(0x00D7))
                 .arg(height));
        return false;
    }

    // How the load stops before allocating a width × height picture: over
    // the run's pixel limit, or more than the file's data can fill (see
    // dataCanFill); nothing when it may be allocated. `fillable` gives the
    // pixels the data can supply and is asked only within the limit.
    template <typename Fillable>
    std::optional<LoadStop> sizeStop(int64_t width, int64_t height, Fillable&& fillable)
    {
        if (!pictureSizeAllowed(width, height, m_pixelLimit))
            return LoadStop::OverLimit;
        if (!dataCanFill(width, height, fillable()))
            return LoadStop::Truncated;
        return std::nullopt;
    }

    LoadResult finish(LoadStop stop)
    {
        m_result.stop = stop;
        line(QString::fromLatin1(m_tag) + QStringLiteral(" End."));
        return std::move(m_result);
    }

private:
    const char* m_tag;
    int64_t m_pixelLimit;
    LoadResult m_result;
};

} // namespace ostrel::kit
