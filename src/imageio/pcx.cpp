// SPDX-License-Identifier: Apache-2.0
// ZSoft PCX: a 128-byte header, run-length coded scan lines of one or more
// bit planes, and (version 5, 256 colours) a palette after the image data.
#include "util/ByteReader.h"
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace ostrel {

namespace {

constexpr size_t kPcxHeaderSize = 128;
constexpr uint8_t kZSoftManufacturer = 10;
constexpr uint8_t kRunLengthEncoding = 1;
constexpr uint8_t kPaletteVersion = 5;
constexpr uint8_t kVgaPaletteMarker = 12;
constexpr size_t kVgaPaletteSize = 768;
constexpr uint8_t kRunFlag = 0xC0;
constexpr uint64_t kMaxRunLength = 0x3F;

using PcxPalette = std::array<kit::Rgb, 256>;

struct PcxHeader {
    uint8_t manufacturer = 0;
    uint8_t version = 0;
    uint8_t encoding = 0;
    uint8_t bitsField = 0;
    uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::array<kit::Rgb, 16> colourMap{};
    uint8_t planes = 0;
    uint16_t bytesPerLinePerPlane = 0;

    int width() const { return uint16_t(xMax - xMin + 1); }
    int height() const { return uint16_t(yMax - yMin + 1); }
    // 1, 2 and 4 bits are packed; every other value means a byte per pixel.
    int bitsPerPixel() const { return bitsField == 1 || bitsField == 2 || bitsField == 4 ? bitsField : 8; }
    int pixelsPerByte() const { return 8 / bitsPerPixel(); }
    size_t bytesPerLine() const { return size_t(bytesPerLinePerPlane) * planes; }
    // Three or four byte planes are red, green, blue (and alpha, unused).
    bool trueColour() const { return bitsPerPixel() == 8 && planes >= 3; }
};

PcxHeader readHeader(ByteView bytes)
{
    ByteReader reader(bytes);
    PcxHeader header;
    header.manufacturer = reader.u8();
    header.version = reader.u8();
    header.encoding = reader.u8();
    header.bitsField = reader.u8();
    header.xMin = reader.u16le();
    header.yMin = reader.u16le();
    header.xMax = reader.u16le();
    header.yMax = reader.u16le();
    reader.seek(16);
    for (kit::Rgb& colour : header.colourMap)
        colour = {reader.u8(), reader.u8(), reader.u8()};
    reader.seek(65);
    header.planes = reader.u8();
    header.bytesPerLinePerPlane = reader.u16le();
    return header;
}

void reportHeader(kit::ReaderRun& run, const PcxHeader& header)
{
    run.value(QStringLiteral("PCX Version"), header.version);
    run.value(QStringLiteral("Xmin"), header.xMin);
    run.value(QStringLiteral("Ymin"), header.yMin);
    run.value(QStringLiteral("Xmax"), header.xMax);
    run.value(QStringLiteral("Ymax"), header.yMax);
    run.value(QStringLiteral("Bits per Pixel"), header.bitsField);
    run.value(QStringLiteral("Bytes per Line per Plane"), header.bytesPerLinePerPlane);
    run.value(QStringLiteral("Planes"), header.planes);
    run.value(QStringLiteral("Bytes per Line"), qint64(header.bytesPerLine()));
    for (size_t i = 0; i < header.colourMap.size(); ++i) {
        const kit::Rgb& c = header.colourMap[i];
        run.value(
            QStringLiteral("Color_Map[%1]").arg(i), QStringLiteral("%1, %2, %3").arg(c.red).arg(c.green).arg(c.blue));
    }
}

constexpr std::array<kit::Rgb, 4> kCgaDefault = {{{0, 0, 0}, {255, 0, 0}, {0, 255, 255}, {255, 255, 255}}};
constexpr std::array<kit::Rgb, 16> kEgaDefault = {{
    {0, 0, 0}, {0, 0, 192}, {0, 192, 0}, {0, 192, 192}, {192, 0, 0}, {192, 0, 192}, {192, 192, 0},
    {128, 128, 128}, {192, 192, 192}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255}, {255, 0, 0},
    {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
}};

// The palette used when the file brings none. It is chosen by the bits of a
// whole pixel over all planes, so that a 16-colour file of four 1-bit planes
// gets sixteen colours rather than two and fifteen undefined ones.
PcxPalette defaultPalette(int pixelBits)
{
    PcxPalette palette{}; // entries no table fills stay black
    if (pixelBits <= 1) {
        palette[1] = {255, 255, 255};
    } else if (pixelBits == 2) {
        std::copy(kCgaDefault.begin(), kCgaDefault.end(), palette.begin());
    } else if (pixelBits <= 4) {
        std::copy(kEgaDefault.begin(), kEgaDefault.end(), palette.begin());
    } else {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    palette[36 * r + 6 * g + b] = {uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b)};
    }
    return palette;
}

PcxPalette choosePalette(kit::ReaderRun& run, const PcxHeader& header, ByteView file)
{
    PcxPalette palette = defaultPalette(header.bitsPerPixel() * header.planes);
    if (header.version != kPaletteVersion)
        return palette;
    if (header.planes == 1 && header.bitsPerPixel() == 8) {
        if (file.size() < kVgaPaletteSize + 1 || file[file.size() - kVgaPaletteSize - 1] != kVgaPaletteMarker)
            return palette;
        const uint8_t* source = file.data() + file.size() - kVgaPaletteSize;
        for (kit::Rgb& colour : palette) {
            colour = {source[0], source[1], source[2]};
            source += 3;
        }
        run.line(QStringLiteral("Palette Found"));
    } else if (header.planes > 1) {
        std::copy(header.colourMap.begin(), header.colourMap.end(), palette.begin());
    }
    return palette;
}

// Decodes one scan line of all planes. Bytes of a run that passes the end
// of the line are dropped. Returns the count produced, short only when the
// data ran out.
size_t decodeLine(ByteReader& reader, uint8_t* line, size_t lineBytes)
{
    size_t filled = 0;
    while (filled < lineBytes && !reader.atEnd()) {
        const uint8_t code = reader.u8();
        if (code < kRunFlag) {
            line[filled++] = code;
            continue;
        }
        if (reader.atEnd())
            break;
        const uint8_t value = reader.u8();
        const size_t count = std::min<size_t>(code & 0x3F, lineBytes - filled);
        std::memset(line + filled, value, count);
        filled += count;
    }
    return filled;
}

// The most pixels `dataBytes` of run-length data can paint: a run gives at
// most 63 bytes of a line from two bytes, and only whole lines are painted.
int64_t fillablePixels(const PcxHeader& header, uint64_t dataBytes)
{
    const uint64_t lineBytes = header.bytesPerLine();
    if (lineBytes == 0)
        return 0;
    const uint64_t lines = dataBytes * kMaxRunLength / 2 / lineBytes;
    return kit::pixelsFrom(std::min<uint64_t>(lines, uint64_t(header.height())), uint64_t(header.width()));
}

class PcxRowPainter {
public:
    PcxRowPainter(const PcxHeader& header, const PcxPalette& palette, int width)
        : m_header(header), m_palette(palette), m_width(width)
    {
        const int perByte = header.pixelsPerByte();
        m_columns = std::min<int>(header.bytesPerLinePerPlane, (width + perByte - 1) / perByte);
    }

    // True when the planes are wide enough for the whole picture row.
    bool coversWidth() const { return int64_t(m_columns) * m_header.pixelsPerByte() >= m_width; }

    void paint(const uint8_t* line, uint8_t* row) const
    {
        if (m_header.trueColour())
            paintTrueColour(line, row);
        else if (m_header.planes == 1 && m_header.bitsPerPixel() == 8)
            paintBytes(line, row);
        else
            paintPacked(line, row);
    }

private:
    void paintTrueColour(const uint8_t* line, uint8_t* row) const
    {
        const size_t stride = m_header.bytesPerLinePerPlane;
        for (int x = 0; x < m_columns; ++x)
            kit::putPixel(row, x, {line[x], line[stride + x], line[2 * stride + x]});
    }

    void paintBytes(const uint8_t* line, uint8_t* row) const
    {
        for (int x = 0; x < m_columns; ++x)
            kit::putPixel(row, x, m_palette[line[x]]);
    }

    // Any depth and plane count: each pixel's value takes its least
    // significant bits from plane 0. Only the low 8 bits index the palette,
    // so no combination of planes can reach past it.
    void paintPacked(const uint8_t* line, uint8_t* row) const
    {
        const int bits = m_header.bitsPerPixel();
        const int perByte = m_header.pixelsPerByte();
        const unsigned mask = (1u << bits) - 1;
        const size_t stride = m_header.bytesPerLinePerPlane;
        for (int column = 0; column < m_columns; ++column) {
            std::array<uint32_t, 8> values{};
            for (int plane = m_header.planes - 1; plane >= 0; --plane) {
                const uint8_t byte = line[size_t(plane) * stride + size_t(column)];
                for (int k = 0; k < perByte; ++k)
                    values[k] = (values[k] << bits) | ((byte >> (8 - bits * (k + 1))) & mask);
            }
            const int first = column * perByte;
            const int count = std::min(perByte, m_width - first);
            for (int k = 0; k < count; ++k)
                kit::putPixel(row, first + k, m_palette[values[k] & 0xFF]);
        }
    }

    const PcxHeader& m_header;
    const PcxPalette& m_palette;
    int m_width;
    int m_columns = 0;
};

} // namespace

LoadResult LoadPcxFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "PCX", 100, 100);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    if (input.data.size() < kPcxHeaderSize) {
        run.shortRead(input.data.size(), kPcxHeaderSize);
        return run.finish(LoadStop::Truncated);
    }
    const PcxHeader header = readHeader(input.data.first(kPcxHeaderSize));
    if (header.manufacturer != kZSoftManufacturer || header.encoding != kRunLengthEncoding)
        return run.finish(LoadStop::BadSignature);
    reportHeader(run, header);

    const int width = header.width();
    const int height = header.height();
    if (width == 0 || height == 0)
        return run.finish(LoadStop::Corrupt);
    if (const std::optional<LoadStop> stop =
            run.sizeStop(width, height, [&] { return fillablePixels(header, input.data.size() - kPcxHeaderSize); }))
        return run.finish(*stop);
    QImage picture = allocateFilledPicture(width, height, 255, 255, 255, run.pixelLimit());
    if (picture.isNull())
        return run.finish(LoadStop::OverLimit);
    const PcxPalette palette = choosePalette(run, header, input.data);

    // Every byte of a complete line is written before it is painted, so the
    // buffer needs no clearing.
    const size_t lineBytes = header.bytesPerLine();
    std::unique_ptr<uint8_t[]> line(new uint8_t[std::max<size_t>(lineBytes, 1)]);
    const PcxRowPainter painter(header, palette, width);
    ByteReader reader(input.data);
    reader.seek(kPcxHeaderSize);
    LoadStop stop = LoadStop::Complete;
    for (int y = 0; y < height; ++y) {
        const size_t produced = decodeLine(reader, line.get(), lineBytes);
        if (produced < lineBytes) {
            run.shortRead(produced, lineBytes);
            stop = LoadStop::Truncated;
            break;
        }
        painter.paint(line.get(), picture.scanLine(y));
    }
    run.picture() = std::move(picture);
    if (stop != LoadStop::Complete)
        return run.finish(stop);
    run.line(QStringLiteral("PCX Decompression OK"));
    return run.finish(painter.coversWidth() ? LoadStop::Complete : LoadStop::Corrupt);
}

} // namespace ostrel
