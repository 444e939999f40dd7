// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers for the GIF tests: building files by hand (codes of chosen widths,
// sub-blocks, blocks), a plain reference decoder that checks a written file
// strictly, and Qt's decoder as an independent reader.
#include "colour/PaletteTypes.h"
#include "imageio/gif.h"
#include "small_readers_support.h"

#include <QBuffer>
#include <QImageReader>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::testing {

// Codes packed least significant bit first, each with its own width.
inline QByteArray packCodes(const std::vector<std::pair<int, int>>& codesAndWidths)
{
    QByteArray bytes;
    uint32_t bits = 0;
    int count = 0;
    for (const auto& [code, width] : codesAndWidths) {
        bits |= uint32_t(code) << count;
        count += width;
        while (count >= 8) {
            bytes.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        bytes.append(char(bits & 0xFF));
    return bytes;
}

// Indices as literal codes only, with a clear code often enough that the
// code width never grows: the simplest stream a decoder must accept.
inline QByteArray literalCodes(const std::vector<int>& indices, int minCodeSize, bool endCode = true)
{
    const int clear = 1 << minCodeSize, width = minCodeSize + 1;
    const int perClear = clear - 2; // literals after a clear before the table reaches the next width
    std::vector<std::pair<int, int>> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % size_t(perClear) == 0)
            codes.push_back({clear, width});
        codes.push_back({indices[i], width});
    }
    if (endCode)
        codes.push_back({clear + 1, width});
    return packCodes(codes);
}

// Data cut into sub-blocks of `size` bytes, then the zero-length block.
inline QByteArray subBlocks(const QByteArray& data, int size = 255)
{
    QByteArray out;
    for (qsizetype at = 0; at < data.size(); at += size) {
        const QByteArray part = data.mid(at, size);
        out.append(char(part.size()));
        out.append(part);
    }
    out.append('\0');
    return out;
}

inline void appendTable(Bytes& file, const std::vector<QColor>& colours)
{
    for (const QColor& c : colours)
        file.u8(c.red()).u8(c.green()).u8(c.blue());
}

// 2^(n+1) entries: the table size field n for a table of `entries` colours.
inline unsigned tableSizeField(size_t entries)
{
    unsigned field = 0;
    while ((size_t(2) << field) < entries)
        ++field;
    return field;
}

inline Bytes gifScreen(const char* signature, int width, int height, const std::vector<QColor>& globalTable,
                       unsigned background = 0)
{
    Bytes file;
    file.text(signature).u16le(width).u16le(height);
    file.u8(globalTable.empty() ? 0 : 0x80 | tableSizeField(globalTable.size()));
    file.u8(background).u8(0);
    appendTable(file, globalTable);
    return file;
}

struct GifFrame {
    GifFrame() = default;
    GifFrame(int left, int top, int width, int height, std::vector<int> indices, bool interlaced = false,
             std::vector<QColor> localTable = {})
        : left(left), top(top), width(width), height(height), indices(std::move(indices)), interlaced(interlaced),
          localTable(std::move(localTable))
    {
    }
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<int> indices; // in stored row order
    bool interlaced = false;
    std::vector<QColor> localTable;
    int minCodeSize = 2;
};

inline void appendFrame(Bytes& file, const GifFrame& frame)
{
    file.u8(0x2C).u16le(frame.left).u16le(frame.top).u16le(frame.width).u16le(frame.height);
    unsigned packed = frame.interlaced ? 0x40 : 0;
    if (!frame.localTable.empty())
        packed |= 0x80 | tableSizeField(frame.localTable.size());
    file.u8(packed);
    appendTable(file, frame.localTable);
    file.u8(frame.minCodeSize);
    file.append(subBlocks(literalCodes(frame.indices, frame.minCodeSize)));
}

// The rows of an interlaced image in the order they are stored.
inline std::vector<int> interlacedRowOrder(int height)
{
    std::vector<int> rows;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < height; y += step)
            rows.push_back(y);
    return rows;
}

// What a plain decoder finds in a single-image file, checking on the way
// that the file is laid out exactly as a GIF writer must lay it out.
struct WrittenGif {
    std::string error; // empty when every check passed
    QByteArray signature;
    int width = 0, height = 0;
    unsigned packed = 0;
    std::vector<QColor> table;
    int transparentIndex = -1;
    bool interlaced = false;
    int minCodeSize = 0;
    std::vector<int> widths;            // the width of every code read
    std::vector<int> codes;             // every code read, clear and end codes included
    std::vector<std::vector<int>> rows; // indices by picture row
};

inline WrittenGif parseWrittenGif(const QByteArray& file)
{
    WrittenGif gif;
    ByteReader reader(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    auto fail = [&](const std::string& why) {
        if (gif.error.empty())
            gif.error = why + " at byte " + std::to_string(reader.pos());
        return gif;
    };
    const ByteView signature = reader.bytes(6);
    gif.signature = QByteArray(reinterpret_cast<const char*>(signature.data()), qsizetype(signature.size()));
    gif.width = reader.u16le();
    gif.height = reader.u16le();
    gif.packed = reader.u8();
    if (reader.u8() != 0 || reader.u8() != 0)
        return fail("background or aspect not 0");
    if (!(gif.packed & 0x80))
        return fail("no global table");
    for (int i = 0; i < 2 << (gif.packed & 7); ++i) {
        const int r = reader.u8(), g = reader.u8(), b = reader.u8();
        gif.table.push_back(QColor(r, g, b));
    }
    uint8_t introducer = reader.u8();
    if (introducer == 0x21) {
        const ByteView gce = reader.bytes(7);
        if (gce.size() != 7 || gce[0] != 0xF9 || gce[1] != 4 || gce[2] != 1 || gce[3] != 0 || gce[4] != 0 ||
            gce[6] != 0)
            return fail("graphic control extension");
        gif.transparentIndex = gce[5];
        introducer = reader.u8();
    }
    if (introducer != 0x2C)
        return fail("no image separator");
    if (reader.u16le() != 0 || reader.u16le() != 0)
        return fail("image not at 0,0");
    if (reader.u16le() != gif.width || reader.u16le() != gif.height)
        return fail("image size differs from the screen");
    const uint8_t imagePacked = reader.u8();
    if ((imagePacked & ~0x40) != 0)
        return fail("image flags");
    gif.interlaced = imagePacked & 0x40;
    gif.minCodeSize = reader.u8();

    QByteArray data;
    for (;;) {
        const int length = reader.u8();
        if (reader.truncated())
            return fail("sub-blocks cut short");
        if (length == 0)
            break;
        if (!data.isEmpty() && data.size() % 255 != 0)
            return fail("a sub-block of less than 255 bytes before the last one");
        const ByteView block = reader.bytes(size_t(length));
        data.append(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
    }
    if (reader.u8() != 0x3B || !reader.atEnd() || reader.truncated())
        return fail("no trailer at the end");

    // The decoder's side of the code table: only its size matters here.
    const int clear = 1 << gif.minCodeSize, end = clear + 1;
    std::vector<std::vector<int>> table;
    auto reset = [&] {
        table.assign(size_t(clear + 2), {});
        for (int i = 0; i < clear; ++i)
            table[size_t(i)] = {i};
    };
    reset();
    int width = gif.minCodeSize + 1;
    std::vector<int> previous;
    std::vector<int> indices;
    const size_t totalBits = size_t(data.size()) * 8;
    size_t bitPos = 0;
    bool ended = false;
    while (!ended) {
        if (bitPos + size_t(width) > totalBits)
            return fail("code stream ends without the end code");
        int code = 0;
        for (int i = 0; i < width; ++i, ++bitPos)
            code |= ((uint8_t(data[qsizetype(bitPos / 8)]) >> (bitPos % 8)) & 1) << i;
        gif.codes.push_back(code);
        gif.widths.push_back(width);
        if (code == clear) {
            reset();
            width = gif.minCodeSize + 1;
            previous.clear();
            continue;
        }
        if (code == end) {
            ended = true;
            continue;
        }
        std::vector<int> string;
        if (code < int(table.size()) && (code < clear || code > end))
            string = table[size_t(code)];
        else if (code == int(table.size()) && !previous.empty()) {
            string = previous;
            string.push_back(previous.front());
        } else
            return fail("code " + std::to_string(code) + " not in the table");
        indices.insert(indices.end(), string.begin(), string.end());
        if (!previous.empty() && table.size() < 4096) {
            std::vector<int> entry = previous;
            entry.push_back(string.front());
            table.push_back(entry);
            if (int(table.size()) == 1 << width && width < 12)
                ++width;
        }
        previous = string;
    }
    if (bitPos + 8 <= totalBits)
        return fail("whole bytes after the end code");
    for (size_t bit = bitPos; bit < totalBits; ++bit)
        if ((uint8_t(data[qsizetype(bit / 8)]) >> (bit % 8)) & 1)
            return fail("padding bits after the end code are not zero");
    if (indices.size() != size_t(gif.width) * size_t(gif.height))
        return fail("the codes give " + std::to_string(indices.size()) + " pixels");

    std::vector<int> order;
    if (gif.interlaced)
        order = interlacedRowOrder(gif.height);
    else
        for (int y = 0; y < gif.height; ++y)
            order.push_back(y);
    gif.rows.assign(size_t(gif.height), {});
    for (size_t i = 0; i < order.size(); ++i)
        gif.rows[size_t(order[i])].assign(indices.begin() + qsizetype(i * size_t(gif.width)),
                                          indices.begin() + qsizetype((i + 1) * size_t(gif.width)));
    return gif;
}

// Qt's own GIF decoder, as RGB32 (ARGB32 when the file has a transparent index).
inline QImage qtDecodeGif(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    QImage picture = reader.read();
    if (picture.isNull())
        return picture;
    return picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// `count` different colours in random order.
inline TPaletteArray randomPalette(int count, std::mt19937& random)
{
    TPaletteArray palette{};
    std::map<ColourValue, bool> used;
    for (int i = 0; i < count;) {
        const ColourValue colour = random() & 0xFFFFFF;
        if (used[colour])
            continue;
        used[colour] = true;
        palette[size_t(i++)] = colour;
    }
    return palette;
}

inline QColor colourOf(ColourValue value) { return QColor(redOf(value), greenOf(value), blueOf(value)); }

// A working picture whose pixel (x, y) is palette[indexAt(x, y)].
template <typename IndexAt>
QImage paletteImage(int width, int height, const TPaletteArray& palette, IndexAt&& indexAt)
{
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const ColourValue colour = palette[size_t(indexAt(x, y))];
            row[3 * x] = blueOf(colour);
            row[3 * x + 1] = greenOf(colour);
            row[3 * x + 2] = redOf(colour);
        }
    }
    return picture;
}

// The paletted GIF file the writer makes of `picture`; a failure fails the test.
inline QByteArray gifOf(const QImage& picture, const TPaletteArray& palette, int count, bool interlace = false,
                        bool transparent = false, ColourValue transparentColour = 0, bool dither = false)
{
    QString error;
    const std::optional<QByteArray> bytes = encodeGifPaletted(picture, palette, count, dither, transparent,
                                                              transparentColour, interlace, TProgressProc(), &error);
    EXPECT_TRUE(bytes.has_value()) << error.toStdString();
    return bytes.value_or(QByteArray());
}

} // namespace ostrel::testing
