// SPDX-License-Identifier: Apache-2.0
// Windows and OS/2 bitmaps: a 14-byte file header, an information header of
// one of several sizes, an optional colour table, and rows of pixels stored
// raw (padded to 4 bytes, bottom row first unless the height is negative)
// or run-length coded.
#include "imageio/bmp.h"

#include "ReaderKit.h"
#include "Readers.h"
#include "bmp_format.h"
#include "util/ByteReader.h"
#include "util/FileIO.h"
#include "util/Pages.h"
#include "util/Picture.h"


#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

namespace ostrel {

namespace {

using namespace bmp;

constexpr uint32_t kDefaultMasks16[3] = {0x7C00, 0x03E0, 0x001F};
constexpr uint32_t kDefaultMasks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};

constexpr int kBlankSize = 100;

// How the pixel rows are stored.
enum class Coding { Indexed, Rgb24, Masked, Rle8, Rle4, Rle24 };

struct Header {
    uint32_t pixelOffset = 0; // from the start of the file, also inside an OS/2 array
    size_t infoStart = 0;
    uint32_t infoSize = 0;
    int64_t width = 0;
    int64_t height = 0; // always positive; `topDown` keeps the sign
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    std::array<uint32_t, 3> masks{}; // red, green, blue
    size_t tableStart = 0;           // after the header and any masks that follow it

    bool core() const { return infoSize == kCoreHeaderSize; }
    // Header sizes that only OS/2 2.x writes; 40 reads the same either way.
    bool os2() const
    {
        return infoSize >= kOs2MinHeaderSize && infoSize <= kOs2MaxHeaderSize && infoSize != kInfoHeaderSize &&
               infoSize != kV2HeaderSize && infoSize != kV3HeaderSize;
    }
    bool indexed() const { return bitCount <= 8; }
    size_t tableEntrySize() const { return core() ? 3 : 4; }
    uint64_t rowStride() const { return bmp::rowStride(uint64_t(width), bitCount); }
};

struct Parsed {
    Header header;
    LoadStop stop = LoadStop::Complete;
};

// OS/2 2.x headers may end after any of their 16- and 32-bit fields.
bool knownHeaderSize(uint32_t size)
{
    const bool os2Range = size >= kOs2MinHeaderSize && size <= kOs2MaxHeaderSize && size % 2 == 0;
    return size == kCoreHeaderSize || os2Range || size == kV4HeaderSize || size == kV5HeaderSize;
}

// The information header's fields, read from just after its size field;
// fields a short OS/2 2.x header leaves out count as zero.
void readInfoFields(ByteReader& reader, Header& header)
{
    if (header.core()) {
        header.width = reader.u16le();
        header.height = reader.u16le();
        reader.u16le(); // planes
        header.bitCount = reader.u16le();
        return;
    }
    ByteReader fields(reader.bytes(header.infoSize - 4));
    auto field32 = [&](size_t offset) -> uint32_t {
        // offsets count from the start of the header, whose size field is already read
        if (offset + 4 > header.infoSize)
            return 0;
        fields.seek(offset - 4);
        return fields.u32le();
    };
    header.width = int32_t(field32(4));
    const int32_t height = int32_t(field32(8));
    header.topDown = height < 0;
    header.height = height < 0 ? -int64_t(height) : int64_t(height);
    header.bitCount = uint16_t(field32(12) >> 16);
    header.compression = field32(16);
    header.coloursUsed = field32(32);
    header.masks = {field32(40), field32(44), field32(48)};
}

Parsed parseHeader(ByteView file)
{
    Parsed parsed;
    Header& header = parsed.header;
    ByteReader reader(file);
    uint16_t signature = reader.u16le();
    size_t start = 0;
    if (signature == kBitmapArraySignature) {
        start = kArrayHeaderSize;
        reader.seek(start);
        signature = reader.u16le();
    }
    if (signature != kBitmapSignature) {
        parsed.stop = reader.truncated() ? LoadStop::Truncated : LoadStop::BadSignature;
        return parsed;
    }
    reader.seek(start + 10);
    header.pixelOffset = reader.u32le();
    header.infoStart = start + kFileHeaderSize;
    header.infoSize = reader.u32le();
    if (reader.truncated()) {
        parsed.stop = LoadStop::Truncated;
        return parsed;
    }
    if (!knownHeaderSize(header.infoSize)) {
        parsed.stop = LoadStop::Corrupt;
        return parsed;
    }
    if (!reader.has(header.infoSize - 4)) {
        parsed.stop = LoadStop::Truncated;
        return parsed;
    }
    readInfoFields(reader, header);
    header.tableStart = header.infoStart + header.infoSize;
    const bool masksFollow = header.infoSize == kInfoHeaderSize &&
                             (header.compression == kBiBitfields || header.compression == kBiAlphaBitfields);
    if (masksFollow) {
        header.masks = {reader.u32le(), reader.u32le(), reader.u32le()};
        header.tableStart += header.compression == kBiAlphaBitfields ? 16 : 12;
        if (reader.truncated())
            parsed.stop = LoadStop::Truncated;
    }
    return parsed;
}

// The storage the header describes, or why it cannot be read.
LoadStop chooseCoding(const Header& header, Coding& coding)
{
    if (header.width < 1 || header.height < 1)
        return LoadStop::Corrupt;
    const uint32_t c = header.compression;
    const uint16_t bits = header.bitCount;
    if (header.os2() && c == kOs2Huffman1D)
        return LoadStop::Unsupported;
    if (header.os2() && c == kOs2Rle24) {
        coding = Coding::Rle24;
        return bits == 24 ? LoadStop::Complete : LoadStop::Corrupt;
    }
    if (c == kBiJpeg || c == kBiPng || bits == 64)
        return LoadStop::Unsupported;
    if (c == kBiRle8 || c == kBiRle4) {
        coding = c == kBiRle8 ? Coding::Rle8 : Coding::Rle4;
        // Run-length rows always start at the bottom.
        const bool fits = bits == (c == kBiRle8 ? 8 : 4) && !header.topDown;
        return fits ? LoadStop::Complete : LoadStop::Corrupt;
    }
    if (c == kBiBitfields || c == kBiAlphaBitfields) {
        coding = Coding::Masked;
        return bits == 16 || bits == 24 || bits == 32 ? LoadStop::Complete : LoadStop::Corrupt;
    }
    if (c != kBiRgb)
        return LoadStop::Corrupt;
    switch (bits) {
    case 1:
    case 2:
    case 4:
    case 8: coding = Coding::Indexed; return LoadStop::Complete;
    case 24: coding = Coding::Rgb24; return LoadStop::Complete;
    case 16:
    case 32: coding = Coding::Masked; return LoadStop::Complete;
    default: return LoadStop::Corrupt;
    }
}

// The masks in force: the file's for bit fields (defaults when it gives
// none at all), else the fixed layouts of 16 and 32 bits.
std::array<uint32_t, 3> effectiveMasks(const Header& header)
{
    const bool bitfields = header.compression == kBiBitfields || header.compression == kBiAlphaBitfields;
    if (bitfields && (header.masks[0] | header.masks[1] | header.masks[2]) != 0)
        return header.masks;
    const uint32_t* defaults = header.bitCount == 16 ? kDefaultMasks16 : kDefaultMasks32;
    return {defaults[0], defaults[1], defaults[2]};
}

// The pixel format as the platform names it after loading the file.
QString pixelFormatName(const Header& header, Coding coding)
{
    switch (header.bitCount) {
    case 1: return QStringLiteral("1-bit");
    case 4: return QStringLiteral("4-bit");
    case 8: return QStringLiteral("8-bit");
    case 24:
        if (coding != Coding::Masked)
            return QStringLiteral("24-bit");
        break;
    case 16: {
        const uint32_t green = effectiveMasks(header)[1];
        if (green == 0x03E0)
            return QStringLiteral("15-bit");
        if (green == 0x07E0)
            return QStringLiteral("16-bit");
        break;
    }
    case 32:
        if (effectiveMasks(header)[1] == 0xFF00)
            return QStringLiteral("32-bit");
        break;
    }
    // The platform's "custom" format: 2 bits, or unusual bit fields.
    return QStringLiteral("Custom");
}

// One colour of the table, in picture byte order (blue, green, red).
using Bgr = std::array<uint8_t, 3>;
// Entries the file does not define stay black, so every index finds a colour.
using ColourTable = std::array<Bgr, 256>;

// The entries the header claims for its colour table. Files of more than 8
// bits may carry a table too, which nothing uses.
size_t claimedTableEntries(const Header& header)
{
    if (!header.indexed())
        return header.coloursUsed;
    return header.core() || header.coloursUsed == 0 ? size_t(1) << header.bitCount : size_t(header.coloursUsed);
}

// Where the pixels begin. An offset that points into the headers cannot be
// right; the pixels then follow the colour table.
size_t pixelDataStart(const Header& header)
{
    if (header.pixelOffset >= header.tableStart)
        return header.pixelOffset;
    return header.tableStart + claimedTableEntries(header) * header.tableEntrySize();
}

// Pixels a run-length code can paint per byte of data: a run of 255 from
// two bytes, or from four in 24-bit runs.
constexpr uint64_t kRlePixelsPerByte = 128;
constexpr uint64_t kRle24PixelsPerByte = 64;

// The most pixels the stored data can paint: the rows present, the last
// perhaps in part, for raw rows; the longest runs for run-length data.
// Pixels that a delta or an end of line skips come from no byte of the file.
int64_t fillablePixels(uint64_t fileSize, const Header& header, Coding coding)
{
    const size_t start = pixelDataStart(header);
    const uint64_t present = fileSize > start ? fileSize - start : 0;
    switch (coding) {
    case Coding::Rle8:
    case Coding::Rle4: return kit::pixelsFrom(present, kRlePixelsPerByte);
    case Coding::Rle24: return kit::pixelsFrom(present, kRle24PixelsPerByte);
    default: {
        const uint64_t stride = header.rowStride();
        const uint64_t rows = std::min<uint64_t>(present / stride + (present % stride != 0), uint64_t(header.height));
        return kit::pixelsFrom(rows, uint64_t(header.width));
    }
    }
}

// The table ends where the pixels begin when the header claims more
// entries than fit (OS/2 files with a short table do).
ColourTable readColourTable(ByteView file, const Header& header, size_t dataStart)
{
    ColourTable table{};
    if (!header.indexed())
        return table;
    const size_t entrySize = header.tableEntrySize();
    size_t entries = std::min(claimedTableEntries(header), table.size());
    if (dataStart >= header.tableStart)
        entries = std::min(entries, (dataStart - header.tableStart) / entrySize);
    ByteReader reader(file);
    reader.seek(header.tableStart);
    for (size_t i = 0; i < entries; ++i) {
        const ByteView entry = reader.bytes(entrySize);
        if (entry.empty())
            break;
        table[i] = {entry[0], entry[1], entry[2]};
    }
    return table;
}

// One colour channel of a masked pixel, scaled to the full 0..255 range so
// that a 5-bit 31 becomes 255 rather than 248. Channels of up to 10 bits
// look their values up; wider ones, rare, divide per pixel.
class Channel {
    static constexpr uint32_t kMaxChannelTable = 0x3FF;

public:
    explicit Channel(uint32_t mask) : m_mask(mask), m_shift(mask ? std::countr_zero(mask) : 0)
    {
        m_max = mask >> m_shift;
        if (m_max != 0 && m_max <= kMaxChannelTable) {
            m_table.resize(size_t(m_max) + 1);
            for (uint32_t v = 0; v <= m_max; ++v)
                m_table[v] = scale(v);
        }
    }
    uint8_t operator()(uint32_t pixel) const
    {
        if (m_max == 0)
            return 0;
        const uint32_t v = (pixel & m_mask) >> m_shift;
        return m_table.empty() ? scale(v) : m_table[v];
    }
    bool isByte(int shift) const { return m_mask == 0xFFu << shift; }

private:
    uint8_t scale(uint32_t v) const { return uint8_t((uint64_t(v) * 510 + m_max) / (uint64_t(m_max) * 2)); }

    uint32_t m_mask;
    int m_shift;
    uint32_t m_max = 0;
    std::vector<uint8_t> m_table;
};

// Turns the stored bytes of one row into picture pixels.
class RowDecoder {
public:
    RowDecoder(const Header& header, Coding coding, const ColourTable& table)
        : m_width(int(header.width)), m_bits(header.bitCount), m_coding(coding), m_table(table),
          m_red(effectiveMasks(header)[0]), m_green(effectiveMasks(header)[1]), m_blue(effectiveMasks(header)[2])
    {
        m_plainBgrx = coding == Coding::Masked && m_bits == 32 && m_red.isByte(16) && m_green.isByte(8) &&
                      m_blue.isByte(0);
    }

    void decode(const uint8_t* source, uint8_t* target) const
    {
        switch (m_coding) {
        case Coding::Rgb24: std::memcpy(target, source, size_t(m_width) * 3); return;
        case Coding::Indexed: decodeIndexed(source, target); return;
        default: decodeMasked(source, target); return;
        }
    }

private:
    void decodeIndexed(const uint8_t* source, uint8_t* target) const
    {
        if (m_bits == 8) {
            for (int x = 0; x < m_width; ++x, target += 3)
                std::memcpy(target, m_table[source[x]].data(), 3);
            return;
        }
        const int perByte = 8 / m_bits;
        const unsigned mask = (1u << m_bits) - 1;
        for (int x = 0; x < m_width; ++x, target += 3) {
            const int shift = 8 - m_bits * (x % perByte + 1);
            std::memcpy(target, m_table[(source[x / perByte] >> shift) & mask].data(), 3);
        }
    }

    void decodeMasked(const uint8_t* source, uint8_t* target) const
    {
        const int bytes = m_bits / 8;
        if (m_plainBgrx) {
            for (int x = 0; x < m_width; ++x, source += 4, target += 3)
                std::memcpy(target, source, 3);
            return;
        }
        for (int x = 0; x < m_width; ++x, source += bytes, target += 3) {
            uint32_t pixel = 0;
            for (int i = 0; i < bytes; ++i)
                pixel |= uint32_t(source[i]) << (8 * i);
            target[0] = m_blue(pixel);
            target[1] = m_green(pixel);
            target[2] = m_red(pixel);
        }
    }

    int m_width;
    int m_bits;
    Coding m_coding;
    const ColourTable& m_table;
    Channel m_red, m_green, m_blue;
    bool m_plainBgrx = false;
};

// The colour of a pixel whose stored bits are all zero. The pixels a
// run-length file skips get it, as they do in Qt's own reader; the missing
// rows of a short raw file, read as zero bits, come out the same.
Bgr backgroundColour(Coding coding, const ColourTable& table)
{
    const bool indexed = coding == Coding::Indexed || coding == Coding::Rle8 || coding == Coding::Rle4;
    return indexed ? table[0] : Bgr{0, 0, 0};
}

// A large picture is written once from end to end: asking for large pages
// before the first write saves most of the page faults.
void preferLargePages(QImage& picture)
{
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    if (uint64_t(picture.sizeInBytes()) < 4 * kLargePage)
        return;
    const uintptr_t start = reinterpret_cast<uintptr_t>(picture.bits());
    const uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (start + uintptr_t(picture.sizeInBytes())) & ~(kLargePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

uint8_t* pictureRow(QImage& picture, int64_t y) { return picture.bits() + y * picture.bytesPerLine(); }

void populatePicture(QImage& picture) { populatePages(picture.bits(), size_t(picture.sizeInBytes())); }

// Uncompressed 24-bit rows have the picture's own row layout, so they are
// read from the file straight into the picture's rows, many rows to a call,
// in the order they are stored. Rows the file no longer holds (it may have
// been shortened since it was opened) are black, and the load is cut short
// unless only the last row's padding is missing.
LoadStop readRgb24Rows(const OpenFile& file, const Header& header, QImage& picture)
{
    const size_t stride = size_t(header.rowStride());
    const size_t pixelBytes = size_t(header.width) * 3;
    const int64_t height = header.height;
    auto rowOf = [&](int64_t fileRow) { return pictureRow(picture, header.topDown ? fileRow : height - 1 - fileRow); };
    std::vector<iovec> vectors;
    vectors.reserve(size_t(height));
    for (int64_t fileRow = 0; fileRow < height; ++fileRow)
        vectors.push_back({rowOf(fileRow), stride});
    const size_t got = readVectorsAt(file, vectors, qint64(pixelDataStart(header)));
    const int64_t fileRow = int64_t(got / stride);
    const size_t partial = got % stride; // bytes of `fileRow` read
    if (fileRow >= height)
        return LoadStop::Complete;
    std::memset(rowOf(fileRow) + partial, 0, stride - partial);
    for (int64_t missing = fileRow + 1; missing < height; ++missing)
        std::memset(rowOf(missing), 0, stride);
    const bool onlyPaddingMissing = fileRow == height - 1 && partial >= pixelBytes;
    return onlyPaddingMissing ? LoadStop::Complete : LoadStop::Truncated;
}

LoadStop decodeRawRows(ByteReader& reader, const Header& header, const RowDecoder& decoder, QImage& picture)
{
    const size_t stride = size_t(header.rowStride());
    const size_t pixelBytes = size_t((uint64_t(header.width) * header.bitCount + 7) / 8);
    bool cutShort = false;
    std::vector<uint8_t> shortRow; // a row the file cuts off, padded with zero bits
    for (int64_t fileRow = 0; fileRow < header.height; ++fileRow) {
        const int64_t y = header.topDown ? fileRow : header.height - 1 - fileRow;
        const ByteView stored = reader.upTo(stride);
        if (stored.size() == stride) {
            decoder.decode(stored.data(), pictureRow(picture, y));
            continue;
        }
        // Only missing pixels count; a last row without its padding is whole.
        cutShort = cutShort || stored.size() < pixelBytes;
        shortRow.assign(stride, 0);
        std::copy(stored.begin(), stored.end(), shortRow.begin());
        decoder.decode(shortRow.data(), pictureRow(picture, y));
    }
    return cutShort ? LoadStop::Truncated : LoadStop::Complete;
}

// Where run-length pixels land: rows from the bottom up, anything outside
// the picture dropped.
class RleCursor {
public:
    RleCursor(QImage& picture, const ColourTable& table) : m_picture(picture), m_table(table) {}

    bool finished() const { return m_row >= m_picture.height(); }
    void endOfLine()
    {
        m_x = 0;
        ++m_row;
    }
    void move(int dx, int dy)
    {
        m_x += dx;
        m_row += dy;
    }

    // `count` pixels of one colour, or of two table indices taking turns.
    void run(int64_t count, const Bgr& first, const Bgr& second)
    {
        const int64_t visible = finished() ? 0 : std::clamp<int64_t>(m_picture.width() - m_x, 0, count);
        uint8_t* target = visible ? rowStart() + 3 * m_x : nullptr;
        for (int64_t i = 0; i < visible; ++i, target += 3)
            std::memcpy(target, (i & 1) ? second.data() : first.data(), 3);
        m_x += count;
    }
    void index(uint8_t i) { run(1, m_table[i], m_table[i]); }
    void colour(const Bgr& c) { run(1, c, c); }

    const ColourTable& table() const { return m_table; }

private:
    uint8_t* rowStart() { return pictureRow(m_picture, m_picture.height() - 1 - m_row); }

    QImage& m_picture;
    const ColourTable& m_table;
    int64_t m_x = 0;
    int64_t m_row = 0;
};

constexpr uint8_t kRleEscape = 0;
constexpr uint8_t kRleEndOfLine = 0;
constexpr uint8_t kRleEndOfBitmap = 1;
constexpr uint8_t kRleDelta = 2;

Bgr readBgr(ByteReader& reader)
{
    const uint8_t blue = reader.u8(), green = reader.u8(), red = reader.u8();
    return {blue, green, red};
}

// `count` literal pixels, their bytes padded to a 16-bit boundary.
void literalRun(ByteReader& reader, Coding coding, int count, RleCursor& cursor)
{
    const size_t before = reader.pos();
    for (int i = 0; i < count && !reader.truncated(); ++i) {
        if (coding == Coding::Rle24) {
            cursor.colour(readBgr(reader));
        } else if (coding == Coding::Rle8) {
            cursor.index(reader.u8());
        } else {
            const uint8_t pair = reader.u8();
            cursor.index(pair >> 4);
            if (++i < count)
                cursor.index(pair & 0x0F);
        }
    }
    if ((reader.pos() - before) % 2 != 0)
        reader.skip(1);
}

LoadStop decodeRle(ByteReader& reader, Coding coding, RleCursor& cursor)
{
    while (!cursor.finished()) {
        const uint8_t count = reader.u8();
        const uint8_t value = coding == Coding::Rle24 ? 0 : reader.u8();
        if (reader.truncated())
            return LoadStop::Truncated;
        if (count != kRleEscape) {
            if (coding == Coding::Rle24) {
                const Bgr colour = readBgr(reader);
                if (reader.truncated())
                    return LoadStop::Truncated;
                cursor.run(count, colour, colour);
            } else if (coding == Coding::Rle8) {
                cursor.run(count, cursor.table()[value], cursor.table()[value]);
            } else {
                cursor.run(count, cursor.table()[value >> 4], cursor.table()[value & 0x0F]);
            }
            continue;
        }
        const uint8_t escape = coding == Coding::Rle24 ? reader.u8() : value;
        if (escape == kRleEndOfLine) {
            cursor.endOfLine();
        } else if (escape == kRleEndOfBitmap) {
            return reader.truncated() ? LoadStop::Truncated : LoadStop::Complete;
        } else if (escape == kRleDelta) {
            const uint8_t dx = reader.u8(), dy = reader.u8();
            cursor.move(dx, dy);
        } else {
            literalRun(reader, coding, escape, cursor);
        }
        if (reader.truncated())
            return LoadStop::Truncated;
    }
    return LoadStop::Complete;
}

LoadStop decodePixels(ByteView file, const Header& header, Coding coding, QImage& picture)
{
    const size_t dataStart = pixelDataStart(header);
    const ColourTable table = readColourTable(file, header, dataStart);
    ByteReader reader(file);
    reader.seek(dataStart);
    if (coding == Coding::Rle8 || coding == Coding::Rle4 || coding == Coding::Rle24) {
        const Bgr background = backgroundColour(coding, table);
        picture.fill(QColor(background[2], background[1], background[0]));
        RleCursor cursor(picture, table);
        return decodeRle(reader, coding, cursor);
    }
    return decodeRawRows(reader, header, RowDecoder(header, coding, table), picture);
}

// Where a load's pixels come from: the file's bytes in memory, or the rows
// of an open file read straight into the picture.
struct PixelSource {
    ByteView bytes;               // the whole file, or its first bytes when `file` is given
    uint64_t fileSize = 0;
    const OpenFile* file = nullptr;
};

LoadResult loadBmp(const LoadInput& input, const PixelSource& source)
{
    kit::ReaderRun run(input, "BMP", kBlankSize, kBlankSize);
    LoadStop stop = LoadStop::Missing;
    QString format = QStringLiteral("24-bit");
    bool monochrome = false;
    if (input.exists) {
        const Parsed parsed = parseHeader(source.bytes);
        const Header& header = parsed.header;
        Coding coding = Coding::Indexed;
        stop = parsed.stop == LoadStop::Complete ? chooseCoding(header, coding) : parsed.stop;
        if (stop == LoadStop::Complete)
            stop = run.sizeStop(header.width, header.height,
                                [&] { return fillablePixels(source.fileSize, header, coding); })
                       .value_or(LoadStop::Complete);
        if (stop == LoadStop::Complete) {
            QImage picture = allocatePicture(header.width, header.height, run.pixelLimit());
            if (picture.isNull()) {
                stop = LoadStop::OverLimit;
            } else {
                preferLargePages(picture);
                if (source.file) {
                    populatePicture(picture);
                    stop = readRgb24Rows(*source.file, header, picture);
                } else {
                    stop = decodePixels(source.bytes, header, coding, picture);
                }
                run.picture() = std::move(picture);
                format = pixelFormatName(header, coding);
                monochrome = header.bitCount == 1;
            }
        }
    }
    run.value(QStringLiteral("Width"), run.picture().width());
    run.value(QStringLiteral("Height"), run.picture().height());
    run.value(QStringLiteral("Monochrome"), reportBool(monochrome));
    run.value(QStringLiteral("Pixel Format"), format + QStringLiteral(" (promoted to 24-bit)"));
    return run.finish(stop);
}

// Enough for every header and the largest colour table.
constexpr qint64 kHeadBytes = 64 * 1024;

ByteView viewOf(const QByteArray& bytes)
{
    return ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

// The headers of a file whose rows can be read straight into the picture:
// an uncompressed 24-bit file whose headers lie in `head`. Nothing for any
// other file (its rows are decoded from memory).
std::optional<Header> straightRowsHeader(ByteView head, qint64 fileSize)
{
    if (qint64(head.size()) >= fileSize)
        return std::nullopt; // all of it is in memory already
    const Parsed parsed = parseHeader(head);
    Coding coding = Coding::Indexed;
    if (parsed.stop != LoadStop::Complete || chooseCoding(parsed.header, coding) != LoadStop::Complete
        || coding != Coding::Rgb24)
        return std::nullopt;
    return parsed.header;
}

} // namespace

std::optional<StoredBmpRows> storedTrueColourRows(const QByteArray& head, qint64 fileSize)
{
    const std::optional<Header> straight = straightRowsHeader(viewOf(head), fileSize);
    if (!straight)
        return std::nullopt;
    const Header& header = *straight;
    // Sides that the picture's rows can index with an int.
    if (header.width > std::numeric_limits<int>::max() / 4 || header.height > std::numeric_limits<int>::max())
        return std::nullopt;
    StoredBmpRows rows;
    rows.width = int(header.width);
    rows.height = int(header.height);
    rows.topDown = header.topDown;
    rows.dataStart = qint64(pixelDataStart(header));
    rows.stride = qint64(header.rowStride());
    // The last row's padding may be missing, as the reader allows.
    if (rows.dataStart + rows.stride * (rows.height - 1) + qint64(rows.width) * 3 > fileSize)
        return std::nullopt;
    return rows;
}

std::optional<StoredBmpRows> storedTrueColourRows(const OpenFile& file, const QString& path)
{
    const Result<QByteArray> head = readFileBytes(file, 0, kHeadBytes, path);
    return head ? storedTrueColourRows(*head, file.size()) : std::nullopt;
}

LoadResult LoadBmpFile(const LoadInput& input)
{
    return loadBmp(input, PixelSource{input.data, input.data.size(), nullptr});
}

LoadResult loadBmpFromFile(const LoadInput& input, const OpenFile& file, QString* error)
{
    const auto unread = [&] { return LoadBmpFile(LoadInput{input.fileName, false, {}, input.options}); };
    const auto fromMemory = [&](const QByteArray& bytes) {
        LoadInput inMemory = input;
        inMemory.data = viewOf(bytes);
        return LoadBmpFile(inMemory);
    };
    const Result<QByteArray> head = readFileBytes(file, 0, kHeadBytes, input.fileName);
    if (!reportInto(head, error))
        return unread();
    if (straightRowsHeader(viewOf(*head), file.size()))
        return loadBmp(input, PixelSource{viewOf(*head), uint64_t(file.size()), &file});
    // A small file is all in the head already.
    if (qint64(head->size()) == file.size())
        return fromMemory(*head);
    // Other kinds are decoded from memory, the whole file read once.
    const Result<QByteArray> whole = readOpenFile(file, input.fileName);
    if (!reportInto(whole, error))
        return unread();
    return fromMemory(*whole);
}

} // namespace ostrel
