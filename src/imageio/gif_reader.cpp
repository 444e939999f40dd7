// SPDX-License-Identifier: Apache-2.0
// GIF87a and GIF89a: a logical screen, an optional global colour table, then
// extension and image blocks until the trailer. Each image is a rectangle of
// palette indices coded as variable-width LZW codes (3 to 12 bits, least
// significant bit first) in data sub-blocks of at most 255 bytes.
#include "Readers.h"

#include "ReaderKit.h"
#include "gif_format.h"
#include "util/ByteReader.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/Text.h"


#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace ostrel {

namespace {

using namespace gif;

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

} // namespace ostrel
