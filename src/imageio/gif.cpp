// SPDX-License-Identifier: Apache-2.0
// GIF87a and GIF89a: a logical screen, an optional global colour table, then
// extension and image blocks until the trailer. Each image is a rectangle of
// palette indices coded as variable-width LZW codes (3 to 12 bits, least
// significant bit first) in data sub-blocks of at most 255 bytes.
#include "imageio/gif.h"

#include "colour/PaletteSearch.h"
#include "imageio/ReaderKit.h"
#include "imageio/Readers.h"
#include "util/ByteReader.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/Text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace ostrel {

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21; // '!'
constexpr uint8_t kImageSeparator = 0x2C;      // ','
constexpr uint8_t kGifTrailer = 0x3B;          // ';'
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kBlockTerminator = 0;

constexpr size_t kScreenDescriptorSize = 13; // signature included
constexpr size_t kImageDescriptorSize = 9;   // after the separator
constexpr uint8_t kTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;

constexpr int kMaxCodeWidth = 12;
constexpr int kCodeLimit = 1 << kMaxCodeWidth; // 4096 codes
constexpr int kMaxSubBlock = 255;

struct InterlacePass {
    int start;
    int step;
};
// Rows 0, 8, 16…; then 4, 12…; then 2, 6…; then 1, 3….
constexpr std::array<InterlacePass, 4> kInterlacePasses = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
constexpr InterlacePass kSequentialPass = {0, 1};

// ---------------------------------------------------------------------------
// Writing

constexpr int kHashSlots = 5003; // prime, a little above 4096
constexpr size_t kOutputChunk = size_t(1) << 16;

// Bits per pixel B for a clamped colour count.
int bitsForCount(int count)
{
    int bits = 1;
    while ((1 << bits) < count)
        ++bits;
    return bits;
}

// Collects the file and hands it on in large chunks.
class ChunkedOutput {
public:
    explicit ChunkedOutput(const ByteSink& sink) : m_sink(sink) { m_buffer.reserve(kOutputChunk + 2 * kMaxSubBlock); }

    void byte(uint8_t value) { m_buffer.push_back(value); }
    void bytes(const uint8_t* data, size_t size) { m_buffer.insert(m_buffer.end(), data, data + size); }
    void u16le(unsigned value)
    {
        byte(uint8_t(value));
        byte(uint8_t(value >> 8));
    }
    void text(const char* ascii) { bytes(reinterpret_cast<const uint8_t*>(ascii), std::strlen(ascii)); }

    void flushIfFull()
    {
        if (m_buffer.size() >= kOutputChunk)
            flush();
    }
    bool flush()
    {
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink(reinterpret_cast<const char*>(m_buffer.data()), qsizetype(m_buffer.size()));
        m_buffer.clear();
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    const ByteSink& m_sink;
    std::vector<uint8_t> m_buffer;
    bool m_ok = true;
};

// Packs codes least significant bit first into data sub-blocks. The bits
// go four bytes at a time into a run of whole sub-blocks' worth, which is cut
// into sub-blocks of 255 bytes when it is full and at the end.
class CodePacker {
public:
    explicit CodePacker(ChunkedOutput& out) : m_out(out) {}

    void put(uint32_t code, int width)
    {
        m_bits |= uint64_t(code) << m_bitCount;
        m_bitCount += width;
        if (m_bitCount < 32)
            return;
        const uint32_t low = uint32_t(m_bits);
        std::memcpy(m_run.data() + m_runSize, &low, sizeof low); // little-endian, as the stream
        m_runSize += sizeof low;
        m_bits >>= 32;
        m_bitCount -= 32;
        if (m_runSize >= kRunBlocks * kMaxSubBlock)
            writeBlocks(kRunBlocks * kMaxSubBlock);
    }

    // Pads the last byte with zero bits and writes the last sub-blocks.
    void finish()
    {
        for (; m_bitCount > 0; m_bitCount -= 8, m_bits >>= 8)
            m_run[m_runSize++] = uint8_t(m_bits);
        m_bits = 0;
        m_bitCount = 0;
        writeBlocks(m_runSize);
    }

private:
    static constexpr size_t kRunBlocks = 256;

    // Writes the first `size` bytes of the run as sub-blocks and keeps the rest.
    void writeBlocks(size_t size)
    {
        for (size_t at = 0; at < size; at += kMaxSubBlock) {
            const size_t length = std::min<size_t>(kMaxSubBlock, size - at);
            m_out.byte(uint8_t(length));
            m_out.bytes(m_run.data() + at, length);
        }
        std::memmove(m_run.data(), m_run.data() + size, m_runSize - size);
        m_runSize -= size;
        m_out.flushIfFull();
    }

    ChunkedOutput& m_out;
    std::array<uint8_t, kRunBlocks * kMaxSubBlock + 8> m_run{};
    size_t m_runSize = 0;
    uint64_t m_bits = 0;
    int m_bitCount = 0;
};

// The compressor: strings of indices already seen become one code each. The
// table of strings is an open-addressed hash of (prefix code, next index);
// each slot packs the prefix, the index and the string's code into one word,
// so a probe reads one word and the whole table stays in the first-level cache.
class LzwEncoder {
public:
    LzwEncoder(int minCodeSize, ChunkedOutput& out)
        : m_minCodeSize(minCodeSize), m_clearCode(1u << minCodeSize), m_endCode(m_clearCode + 1), m_packer(out)
    {
        resetTable();
        m_packer.put(m_clearCode, m_width);
    }

    void start(uint8_t index) { m_prefix = index; }

    void add(const uint8_t* indices, int count)
    {
        uint32_t prefix = m_prefix;
        uint32_t* const table = m_slots.data();
        for (int i = 0; i < count; ++i) {
            const uint32_t index = indices[i];
            const uint32_t key = prefix << 8 | index;
            int slot = int(prefix ^ index << 4); // below 4096, so already a slot number
            uint32_t entry = table[slot];
            if (entry != kEmptySlot && entry >> kCodeBits != key) {
                const int step = slot == 0 ? 1 : kHashSlots - slot;
                do {
                    slot -= step;
                    if (slot < 0)
                        slot += kHashSlots;
                    entry = table[slot];
                } while (entry != kEmptySlot && entry >> kCodeBits != key);
            }
            if (entry != kEmptySlot) {
                prefix = entry & kCodeMask;
                continue;
            }
            m_packer.put(prefix, m_width);
            prefix = index;
            newCode(slot, key);
        }
        m_prefix = prefix;
    }

    void finish()
    {
        m_packer.put(m_prefix, m_width);
        // A decoder that adds its entry for that last code widens its codes
        // when the table reaches the limit, so the end code must be written
        // at the wider width too or the decoder reads a bit past it.
        if (m_nextCode == m_widthLimit && m_width < kMaxCodeWidth)
            ++m_width;
        m_packer.put(m_endCode, m_width);
        m_packer.finish();
    }

private:
    static constexpr int kCodeBits = 12;
    static constexpr uint32_t kCodeMask = (1u << kCodeBits) - 1;
    static constexpr uint32_t kEmptySlot = 0; // no string has code 0

    // Gives the string just output's successor the next free code, then widens
    // the codes or starts the table afresh as it fills.
    void newCode(int slot, uint32_t key)
    {
        // Code 4096 would not fit in 12 bits; the table is cleared right after it anyway.
        if (m_nextCode < uint32_t(kCodeLimit))
            m_slots[size_t(slot)] = key << kCodeBits | m_nextCode;
        ++m_nextCode;
        if (m_nextCode <= m_widthLimit)
            return;
        if (m_width < kMaxCodeWidth) {
            ++m_width;
            m_widthLimit <<= 1;
            return;
        }
        // The table is full: the entry just made is dropped and both sides start again.
        m_packer.put(m_clearCode, kMaxCodeWidth);
        resetTable();
    }

    void resetTable()
    {
        m_width = m_minCodeSize + 1;
        m_widthLimit = 1u << m_width;
        m_nextCode = m_clearCode + 2;
        m_slots.fill(kEmptySlot);
    }

    const int m_minCodeSize;
    const uint32_t m_clearCode;
    const uint32_t m_endCode;
    CodePacker m_packer;
    int m_width = 0;
    uint32_t m_widthLimit = 0;
    uint32_t m_nextCode = 0;
    uint32_t m_prefix = 0;
    std::array<uint32_t, kHashSlots> m_slots{};
};

template <typename RowFunction>
void forEachInterlacedRow(int height, RowFunction&& rowFunction)
{
    for (const InterlacePass& pass : kInterlacePasses)
        for (int y = pass.start; y < height; y += pass.step)
            rowFunction(y);
}

struct GifWriteSettings {
    const TPaletteArray& palette;
    int count; // 2..256
    bool transparent;
    TColorValue transparentColour;
    bool interlace;
    const TProgressProc& progress;
};

// Header, colour table, optional graphic control extension, image descriptor,
// code stream and trailer. `picture` is in the working format and holds only
// palette colours when it was dithered.
//
// The indices come from one search walking the rows from the top, as the
// remapping does, so that equally near entries are settled alike in every
// writer; interlaced rows are therefore all mapped before any is stored.
void encodeGifStream(const QImage& picture, const GifWriteSettings& settings, ChunkedOutput& out)
{
    const int width = picture.width(), height = picture.height();
    const int bits = bitsForCount(settings.count);
    const int minCodeSize = std::max(bits, 2);
    const uint8_t sizeBits = uint8_t((bits - 1) & 7);

    out.text(settings.transparent ? "GIF89a" : "GIF87a");
    out.u16le(unsigned(width));
    out.u16le(unsigned(height));
    out.byte(uint8_t(kTableFlag | sizeBits << 4 | sizeBits));
    out.byte(0); // background colour index
    out.byte(0); // pixel aspect ratio
    for (int i = 0; i < (1 << bits); ++i) {
        const TColorValue colour = i < settings.count ? settings.palette[size_t(i)] : 0;
        out.byte(redOf(colour));
        out.byte(greenOf(colour));
        out.byte(blueOf(colour));
    }
    if (settings.transparent) {
        // A search of its own: this question must not reorder the pixels' one.
        TPaletteSearch transparentSearch(settings.palette, settings.count);
        out.byte(kExtensionIntroducer);
        out.byte(kGraphicControlLabel);
        out.byte(4);
        out.byte(0x01); // a transparent index follows
        out.u16le(0);   // delay
        out.byte(uint8_t(transparentSearch.NearestIndexOfColor(settings.transparentColour)));
        out.byte(kBlockTerminator);
    }
    out.byte(kImageSeparator);
    out.u16le(0);
    out.u16le(0);
    out.u16le(unsigned(width));
    out.u16le(unsigned(height));
    out.byte(settings.interlace ? kInterlaceFlag : 0);
    out.byte(uint8_t(minCodeSize));

    const auto encoder = std::make_unique<LzwEncoder>(minCodeSize, out); // 85 KB of tables
    int rowsDone = 0;
    const auto encodeRow = [&](const uint8_t* indices) {
        if (settings.progress)
            settings.progress(int32_t(int64_t(rowsDone + 1) * 100 / height));
        const int first = rowsDone++ == 0 ? 1 : 0;
        if (first)
            encoder->start(indices[0]);
        encoder->add(indices + first, width - first);
    };
    if (!settings.interlace) {
        MapPictureToIndices(picture, settings.palette, settings.count,
                            [&](int, const uint8_t* indices) { encodeRow(indices); });
    } else {
        std::vector<uint8_t> plane(size_t(width) * size_t(height));
        MapPictureToIndices(picture, settings.palette, settings.count, [&](int y, const uint8_t* indices) {
            std::memcpy(plane.data() + size_t(y) * size_t(width), indices, size_t(width));
        });
        forEachInterlacedRow(height, [&](int y) { encodeRow(plane.data() + size_t(y) * size_t(width)); });
    }
    encoder->finish();

    out.byte(kBlockTerminator);
    out.byte(kGifTrailer);
}

constexpr int kMaxGifSide = 0xFFFF;

// Why a picture cannot be saved as GIF, or nothing.
std::optional<QString> refusalReason(const QImage& picture, int32_t count)
{
    if (count > 256)
        return QStringLiteral("GIF files can hold at most 256 colours; save as BMP instead.");
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return QStringLiteral("the picture is empty.");
    if (picture.width() > kMaxGifSide || picture.height() > kMaxGifSide)
        return QStringLiteral("GIF pictures can be at most %1 pixels wide and high.").arg(kMaxGifSide);
    return std::nullopt;
}

// Maps and encodes the picture into `sink`; false when the sink refused.
bool writeGif(const QImage& picture, const TPaletteArray& palette, int32_t count, bool dither, bool transparent,
              TColorValue transparentColour, bool interlace, const TProgressProc& progress, const ByteSink& sink)
{
    const int clamped = std::clamp<int32_t>(count, 2, 256);
    const TPaletteArray paletteCopy = palette;
    // Only dithering needs a remapped copy: without it every pixel's index is
    // simply the search's answer for its colour.
    QImage working;
    const QImage* source = &picture;
    if (dither || picture.format() != kPictureFormat) {
        working = picture.convertToFormat(kPictureFormat);
        if (working.isNull())
            return false;
        if (dither)
            RemapToPalette(working, 0, 0, working.width() - 1, working.height() - 1, paletteCopy, clamped, true,
                           progress);
        source = &working;
    }
    ChunkedOutput out(sink);
    const GifWriteSettings settings{paletteCopy, clamped, transparent, transparentColour, interlace, progress};
    encodeGifStream(*source, settings, out);
    return out.flush();
}

// ---------------------------------------------------------------------------
// Reading

// File colour tables hold red, green, blue; this one is converted to the
// picture's byte order for drawing.
using FileColourTable = std::array<uint8_t, 3 * 256>;
using PixelColourTable = std::array<uint8_t, 3 * 256>;

int tableEntries(uint8_t packed) { return 1 << ((packed & 7) + 1); }

struct ImageDescriptor {
    int left = 0, top = 0, width = 0, height = 0;
    uint8_t packed = 0;
    bool interlaced() const { return packed & kInterlaceFlag; }
    bool localTable() const { return packed & kTableFlag; }
    bool sorted() const { return packed & 0x20; }
};

// Where one image's decoded indices land: its rectangle row by row (rows in
// interlace order when interlaced), clipped to the picture.
class FrameCursor {
public:
    FrameCursor(QImage& picture, const ImageDescriptor& image, const PixelColourTable& colours)
        : m_picture(picture), m_colours(colours), m_left(image.left), m_top(image.top), m_width(image.width),
          m_height(image.height), m_interlaced(image.interlaced())
    {
        m_visibleColumns = std::clamp(picture.width() - m_left, 0, m_width);
        m_complete = m_width == 0 || m_height == 0 || m_visibleColumns == 0 || m_top >= picture.height();
        if (!m_complete)
            enterRow();
    }

    bool complete() const { return m_complete; }

    // Draws `count` indices; false once the image is complete.
    bool put(const uint8_t* indices, int count)
    {
        while (count > 0) {
            const int take = std::min(count, m_width - m_x);
            if (m_row) {
                const int end = std::min(m_x + take, m_visibleColumns);
                uint8_t* pixel = m_row + 3 * size_t(m_left + m_x);
                const uint8_t* colours = m_colours.data();
                for (int i = 0, n = end - m_x; i < n; ++i, pixel += 3) {
                    const uint8_t* colour = colours + 3 * indices[i];
                    pixel[0] = colour[0];
                    pixel[1] = colour[1];
                    pixel[2] = colour[2];
                }
            }
            m_x += take;
            indices += take;
            count -= take;
            if (m_x == m_width && !nextRow())
                return false;
        }
        return true;
    }

private:
    const InterlacePass& pass() const { return m_interlaced ? kInterlacePasses[size_t(m_pass)] : kSequentialPass; }

    bool nextRow()
    {
        m_x = 0;
        m_y += pass().step;
        if (m_y >= m_height) {
            // Passes that start below a short image hold no rows.
            do
                ++m_pass;
            while (m_interlaced && m_pass < 4 && kInterlacePasses[size_t(m_pass)].start >= m_height);
            if (!m_interlaced || m_pass >= 4) {
                m_complete = true;
                return false;
            }
            m_y = pass().start;
        }
        // Below the picture nothing more can be drawn until a later pass starts at the top again.
        const bool lastPass = !m_interlaced || m_pass == 3;
        if (lastPass && m_top + m_y >= m_picture.height()) {
            m_complete = true;
            return false;
        }
        enterRow();
        return true;
    }

    void enterRow()
    {
        const int y = m_top + m_y;
        m_row = y < m_picture.height() ? m_picture.scanLine(y) : nullptr;
    }

    QImage& m_picture;
    const PixelColourTable& m_colours;
    const int m_left, m_top, m_width, m_height;
    const bool m_interlaced;
    int m_visibleColumns = 0;
    int m_x = 0, m_y = 0, m_pass = 0;
    uint8_t* m_row = nullptr;
    bool m_complete = false;
};

enum class CodeStreamEnd {
    EndCode,       // the end code was read
    ImageComplete, // every pixel of the image was drawn
    IllegalCode,   // a code above the next free code
    InvalidCode,   // the next free code with no string before it
    DataEnded,     // the collected data ran out first
};

// The decompressor. Each table entry is a prefix code plus one index, and
// its length, so that a code's string is written out back to front in one go.
class LzwDecoder {
public:
    struct Outcome {
        CodeStreamEnd end = CodeStreamEnd::DataEnded;
        int code = 0;     // the offending code for IllegalCode
        int nextCode = 0; // the next free code at that moment
    };

    // `data` holds `bitCount` bits of codes followed by at least 8 zero bytes.
    Outcome decode(const uint8_t* data, size_t bitCount, int minCodeSize, FrameCursor& cursor)
    {
        const int clearCode = 1 << minCodeSize;
        const int endCode = clearCode + 1;
        for (int i = 0; i < clearCode; ++i) {
            m_suffix[size_t(i)] = uint8_t(i);
            m_length[size_t(i)] = 1;
        }
        int nextCode = 0, width = 0, widthLimit = 0, previous = -1;
        auto reset = [&] {
            nextCode = clearCode + 2;
            width = minCodeSize + 1;
            widthLimit = 1 << width;
            previous = -1;
        };
        reset();
        size_t bitPos = 0;
        uint8_t* const string = m_string.data();
        for (;;) {
            if (bitPos + size_t(width) > bitCount)
                return {CodeStreamEnd::DataEnded};
            uint64_t window;
            std::memcpy(&window, data + (bitPos >> 3), sizeof window);
            const int code = int((window >> (bitPos & 7)) & uint64_t(widthLimit - 1));
            bitPos += size_t(width);

            if (code > nextCode)
                return {CodeStreamEnd::IllegalCode, code, nextCode};
            if (code == endCode)
                return {CodeStreamEnd::EndCode};
            if (code == clearCode) {
                reset();
                continue;
            }
            int length;
            if (code < nextCode) {
                length = m_length[size_t(code)];
                writeString(code, string, length);
            } else {
                // The string of the code about to be made: the previous one and its own first index.
                if (previous < 0)
                    return {CodeStreamEnd::InvalidCode};
                length = m_length[size_t(previous)] + 1;
                writeString(previous, string, length - 1);
                string[length - 1] = string[0];
            }
            if (!cursor.put(string, length))
                return {CodeStreamEnd::ImageComplete};
            if (previous >= 0 && nextCode < kCodeLimit) {
                m_prefix[size_t(nextCode)] = uint16_t(previous);
                m_suffix[size_t(nextCode)] = string[0];
                m_length[size_t(nextCode)] = uint16_t(m_length[size_t(previous)] + 1);
                ++nextCode;
                if (nextCode == widthLimit && width < kMaxCodeWidth) {
                    ++width;
                    widthLimit <<= 1;
                }
            }
            previous = code;
        }
    }

private:
    void writeString(int code, uint8_t* string, int length) const
    {
        for (int i = length - 1; i > 0; --i) {
            string[i] = m_suffix[size_t(code)];
            code = m_prefix[size_t(code)];
        }
        string[0] = m_suffix[size_t(code)];
    }

    std::array<uint16_t, kCodeLimit> m_prefix{};
    std::array<uint8_t, kCodeLimit> m_suffix{};
    std::array<uint16_t, kCodeLimit> m_length{};
    std::array<uint8_t, kCodeLimit + 1> m_string{};
};

// The most pixels one byte of code data can draw. No code is narrower than
// 3 bits; while the table fills, the k-th code after a clear stands for at
// most k pixels and is at least log2(k + 4) bits wide, and once the table
// is full a 12-bit code stands for at most 4096 pixels: never more than
// 4096 / 12 pixels a bit.
constexpr uint64_t kPixelsPerDataByte = (8 * 4096 + 11) / 12;

constexpr size_t kDataPadding = 8; // zero bytes after the codes, for the bit reader's 8-byte loads

class GifReader {
public:
    explicit GifReader(const LoadInput& input) : m_input(input), m_run(input, "GIF", 100, 100), m_reader(input.data)
    {
    }

    LoadResult read()
    {
        if (!m_input.exists)
            return m_run.finish(LoadStop::Missing);
        m_run.value(QStringLiteral("File Size"), qint64(m_input.data.size()));
        if (std::optional<LoadStop> stop = readScreen())
            return m_run.finish(*stop);
        return m_run.finish(readBlocks());
    }

private:
    // n bytes, or an empty view after reporting how many there were.
    bool readBytes(size_t count, ByteView& bytes)
    {
        const size_t available = m_reader.remaining();
        bytes = m_reader.bytes(count);
        if (bytes.size() == count)
            return true;
        m_run.shortRead(std::min(available, count), count);
        return false;
    }

    bool readByte(uint8_t& value)
    {
        ByteView bytes;
        if (!readBytes(1, bytes))
            return false;
        value = bytes[0];
        return true;
    }

    // Calls `each` with every data sub-block up to the zero-length one.
    template <typename Each>
    bool readSubBlocks(Each&& each)
    {
        for (;;) {
            uint8_t length;
            if (!readByte(length))
                return false;
            if (length == 0)
                return true;
            ByteView block;
            if (!readBytes(length, block))
                return false;
            each(block);
        }
    }

    static QString blockText(ByteView block)
    {
        return fromWindows1252(QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size())));
    }

    std::optional<LoadStop> readScreen()
    {
        ByteView header;
        if (!readBytes(kScreenDescriptorSize, header))
            return LoadStop::Truncated;
        const QByteArray signature(reinterpret_cast<const char*>(header.data()), 6);
        if (signature != "GIF87a" && signature != "GIF89a")
            return LoadStop::BadSignature;
        ByteReader fields(header.subspan(6));
        const int width = fields.u16le(), height = fields.u16le();
        const uint8_t packed = fields.u8();
        const uint8_t background = fields.u8();
        m_hasGlobalTable = packed & kTableFlag;
        const int globalEntries = tableEntries(packed);

        m_run.value(QString::fromLatin1(signature), QStringLiteral("%1%2%3").arg(width).arg(QChar(0x00D7)).arg(height));
        m_run.value(QStringLiteral("Has Global ColorMap"), reportBool(m_hasGlobalTable));
        m_run.value(QStringLiteral("Palette Sorted"), reportBool(packed & 0x08));
        m_run.value(QStringLiteral("Global Color Table Size"), QStringLiteral("2^%1").arg((packed & 7) + 1));
        m_run.value(QStringLiteral("Bits Per Pixel"), ((packed >> 4) & 7) + 1);
        m_run.value(QStringLiteral("Total Colors"), globalEntries);

        if (width == 0 || height == 0) {
            m_run.line(QStringLiteral("Logical screen has no pixels."));
            return LoadStop::Corrupt;
        }
        if (!pictureSizeAllowed(width, height, m_run.pixelLimit())) {
            m_run.line(QStringLiteral("Logical screen larger than the pixel limit."));
            return LoadStop::OverLimit;
        }
        uint8_t red = 255, green = 255, blue = 255;
        bool tableRead = true;
        if (m_hasGlobalTable) {
            ByteView table;
            tableRead = readBytes(size_t(3 * globalEntries), table);
            if (tableRead) {
                std::copy(table.begin(), table.end(), m_globalTable.begin());
                red = m_globalTable[3 * size_t(background)];
                green = m_globalTable[3 * size_t(background) + 1];
                blue = m_globalTable[3 * size_t(background) + 2];
            }
        }
        // Every pixel of the screen is background until an image covers it,
        // so a screen larger than the rest of the file can cover is refused
        // before it is allocated.
        if (!m_run.dataCanFill(width, height, kit::pixelsFrom(m_reader.remaining(), kPixelsPerDataByte)))
            return LoadStop::Truncated;
        QImage screen = allocateFilledPicture(width, height, red, green, blue, m_run.pixelLimit());
        if (screen.isNull()) {
            m_run.line(QStringLiteral("Not enough memory for the logical screen."));
            return LoadStop::OverLimit;
        }
        m_run.picture() = std::move(screen);
        if (!tableRead)
            return LoadStop::Truncated;
        return std::nullopt;
    }

    LoadStop readBlocks()
    {
        for (;;) {
            uint8_t introducer;
            if (!readByte(introducer))
                return LoadStop::Truncated;
            std::optional<LoadStop> stop;
            switch (introducer) {
            case kExtensionIntroducer:
                stop = readExtension();
                break;
            case kImageSeparator:
                stop = readImage();
                break;
            case kGifTrailer:
                m_run.line(QStringLiteral("Terminator"));
                return m_imageDamaged ? LoadStop::Corrupt : LoadStop::Complete;
            default:
                m_run.line(QStringLiteral("Introducer: Unknown ($%1)").arg(hexNumber(introducer, 2)));
                return LoadStop::Corrupt;
            }
            if (stop)
                return *stop;
        }
    }

    // Reads `size` bytes of a fixed extension header whose first byte must be `size - 1`.
    std::optional<LoadStop> readExtensionHeader(size_t size, ByteView& header)
    {
        if (!readBytes(size, header))
            return LoadStop::Truncated;
        if (header[0] != size - 1)
            return LoadStop::Corrupt;
        return std::nullopt;
    }

    std::optional<LoadStop> readExtension()
    {
        m_run.line(QStringLiteral("Extension"));
        uint8_t label;
        if (!readByte(label))
            return LoadStop::Truncated;
        ByteView header;
        bool complete = true;
        switch (label) {
        case kPlainTextLabel:
            m_run.line(QStringLiteral("   Extension: Plain Text"));
            if (std::optional<LoadStop> stop = readExtensionHeader(13, header))
                return stop;
            complete = readSubBlocks([&](ByteView block) { m_run.line(QStringLiteral("      Text: ") + blockText(block)); });
            break;
        case kGraphicControlLabel: {
            m_run.line(QStringLiteral("   Extension: Graphic Control"));
            if (std::optional<LoadStop> stop = readExtensionHeader(5, header))
                return stop;
            uint8_t terminator;
            if (!readByte(terminator))
                return LoadStop::Truncated;
            if (terminator != kBlockTerminator)
                return LoadStop::Corrupt;
            // Reported only: transparent pixels are drawn in their palette colour.
            m_run.value(QStringLiteral("   Transparent Background"), reportBool(header[1] & 0x01));
            m_run.value(QStringLiteral("   Delay Time"), header[2] | header[3] << 8);
            m_run.value(QStringLiteral("   Transparent Index"), header[4]);
            break;
        }
        case kCommentLabel:
            m_run.line(QStringLiteral("   Extension: Comment"));
            complete = readSubBlocks([&](ByteView block) { m_run.value(QStringLiteral("      Comment"), blockText(block)); });
            break;
        case kApplicationLabel:
            m_run.line(QStringLiteral("   Extension: Application"));
            if (std::optional<LoadStop> stop = readExtensionHeader(12, header))
                return stop;
            complete = readSubBlocks([&](ByteView block) {
                m_run.value(QStringLiteral("      Application"), QStringLiteral("%1 bytes.").arg(block.size()));
            });
            break;
        default:
            // Any later extension keeps the sub-block layout, so it is skipped whole.
            m_run.line(QStringLiteral("   Extension: Unknown ($%1)").arg(hexNumber(label, 2)));
            complete = readSubBlocks([](ByteView) {});
            break;
        }
        if (!complete)
            return LoadStop::Truncated;
        return std::nullopt;
    }

    std::optional<LoadStop> readImage()
    {
        m_run.line(QStringLiteral("Image Block: %1").arg(++m_imageCount));
        ByteView fields;
        if (!readBytes(kImageDescriptorSize, fields))
            return LoadStop::Truncated;
        ByteReader reader(fields);
        ImageDescriptor image;
        image.left = reader.u16le();
        image.top = reader.u16le();
        image.width = reader.u16le();
        image.height = reader.u16le();
        image.packed = reader.u8();
        const int localEntries = tableEntries(image.packed);
        m_run.value(QStringLiteral("   Image Data are Interlaced"), reportBool(image.interlaced()));
        m_run.value(QStringLiteral("   Has Local Color Table"), reportBool(image.localTable()));
        m_run.value(QStringLiteral("   Image Left"), image.left);
        m_run.value(QStringLiteral("   Image Top"), image.top);
        m_run.value(QStringLiteral("   Image Width"), image.width);
        m_run.value(QStringLiteral("   Image Height"), image.height);
        if (int64_t(image.width) * image.height > m_run.pixelLimit()) {
            m_run.line(QStringLiteral("   Image larger than the pixel limit."));
            m_run.picture() = blankPicture(100, 100);
            return LoadStop::OverLimit;
        }
        if (image.localTable()) {
            m_run.value(QStringLiteral("   Local Palette is Sorted"), reportBool(image.sorted()));
            m_run.value(QStringLiteral("   Local Color Table Size"), QStringLiteral("2^%1").arg((image.packed & 7) + 1));
            ByteView table;
            if (!readBytes(size_t(3 * localEntries), table))
                return LoadStop::Truncated;
            m_localTable.fill(0);
            std::copy(table.begin(), table.end(), m_localTable.begin());
        }
        uint8_t codeSize;
        if (!readByte(codeSize))
            return LoadStop::Truncated;
        m_run.value(QStringLiteral("   Initial Code Size"), codeSize);
        if (codeSize < 2 || codeSize > 8) {
            m_run.line(QStringLiteral("   ERROR: Initial Code Size not in [2..8]"));
            codeSize = std::clamp<uint8_t>(codeSize, 2, 8);
        }
        if (!collectImageData())
            return LoadStop::Truncated;
        drawImage(image, codeSize);
        return std::nullopt;
    }

    // Copies the image's data sub-blocks back to back into m_data.
    bool collectImageData()
    {
        m_data.clear();
        QStringList lengths;
        const bool complete = readSubBlocks([&](ByteView block) {
            m_data.insert(m_data.end(), block.begin(), block.end());
            lengths.append(QString::number(block.size()));
            if (lengths.size() == 8) {
                m_run.value(QStringLiteral("   Blocks"), lengths.join(QLatin1Char(' ')));
                lengths.clear();
            }
        });
        if (!lengths.isEmpty())
            m_run.value(QStringLiteral("   Blocks"), lengths.join(QLatin1Char(' ')));
        if (complete)
            m_run.value(QStringLiteral("   Index, last byte in buffer"), qint64(m_data.size()) - 1);
        return complete;
    }

    void drawImage(const ImageDescriptor& image, int codeSize)
    {
        PixelColourTable colours{};
        const FileColourTable* source = image.localTable() ? &m_localTable : m_hasGlobalTable ? &m_globalTable : nullptr;
        if (source)
            for (size_t i = 0; i < 256; ++i) {
                colours[3 * i] = (*source)[3 * i + 2];
                colours[3 * i + 1] = (*source)[3 * i + 1];
                colours[3 * i + 2] = (*source)[3 * i];
            }
        FrameCursor cursor(m_run.picture(), image, colours);
        if (cursor.complete())
            return;
        const size_t bitCount = m_data.size() * 8;
        m_data.resize(m_data.size() + kDataPadding, 0);
        const LzwDecoder::Outcome outcome = m_decoder.decode(m_data.data(), bitCount, codeSize, cursor);
        switch (outcome.end) {
        case CodeStreamEnd::ImageComplete:
            return;
        case CodeStreamEnd::EndCode:
            m_run.line(QStringLiteral("   EOI_Code"));
            break;
        case CodeStreamEnd::IllegalCode:
            m_run.line(QStringLiteral("   Illegal GIF Code: %1>%2").arg(outcome.code).arg(outcome.nextCode));
            break;
        case CodeStreamEnd::InvalidCode:
            m_run.line(QStringLiteral("   Invalid GIF Code: %1 with no code before it").arg(outcome.nextCode));
            break;
        case CodeStreamEnd::DataEnded:
            m_run.line(QStringLiteral("   Image data ended before the image was complete."));
            break;
        }
        m_imageDamaged = m_imageDamaged || !cursor.complete();
    }

    const LoadInput& m_input;
    kit::ReaderRun m_run;
    ByteReader m_reader;
    bool m_hasGlobalTable = false;
    FileColourTable m_globalTable{};
    FileColourTable m_localTable{};
    int m_imageCount = 0;
    bool m_imageDamaged = false;
    std::vector<uint8_t> m_data;
    LzwDecoder m_decoder;
};

} // namespace

LoadResult LoadGifFile(const LoadInput& input)
{
    return GifReader(input).read();
}

std::optional<QByteArray> EncodeGifPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            bool dither, bool transparent, TColorValue transparentColour,
                                            bool interlace, const TProgressProc& progress, QString* error)
{
    if (std::optional<QString> reason = refusalReason(picture, count)) {
        if (error)
            *error = *reason;
        return std::nullopt;
    }
    QByteArray bytes;
    const ByteSink sink = [&](const char* data, qsizetype size) {
        bytes.append(data, size);
        return true;
    };
    if (!writeGif(picture, palette, count, dither, transparent, transparentColour, interlace, progress, sink)) {
        if (error)
            *error = QStringLiteral("not enough memory for the picture.");
        return std::nullopt;
    }
    return bytes;
}

bool SaveGifPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     bool dither, bool transparent, TColorValue transparentColour, bool interlace,
                     const TProgressProc& progress, QString* error)
{
    if (std::optional<QString> reason = refusalReason(picture, count)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(fileName, *reason);
        return false;
    }
    return reportInto(writeFileAtomicallyWith(fileName,
                                              [&](const ByteSink& sink) {
                                                  return writeGif(picture, palette, count, dither, transparent,
                                                                  transparentColour, interlace, progress, sink);
                                              }),
                      error);
}

bool SaveGifWithPalette(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                        QString* error)
{
    return SaveGifPaletted(picture, fileName, palette, count, false, false, 0, false, TProgressProc(), error);
}

} // namespace ostrel
