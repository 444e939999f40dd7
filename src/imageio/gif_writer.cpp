// SPDX-License-Identifier: Apache-2.0
// The GIF writer: a logical screen with a global colour table, an optional
// graphic control extension for a transparent colour, and one image whose
// palette indices are LZW-coded in data sub-blocks.
#include "imageio/gif.h"

#include "colour/PaletteSearch.h"
#include "gif_format.h"
#include "util/FileIO.h"
#include "util/Picture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace ostrel {

namespace {

using namespace gif;

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
    ColourValue transparentColour;
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
        const ColourValue colour = i < settings.count ? settings.palette[size_t(i)] : 0;
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
        mapPictureToIndices(picture, settings.palette, settings.count,
                            [&](int, const uint8_t* indices) { encodeRow(indices); });
    } else {
        std::vector<uint8_t> plane(size_t(width) * size_t(height));
        mapPictureToIndices(picture, settings.palette, settings.count, [&](int y, const uint8_t* indices) {
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
              ColourValue transparentColour, bool interlace, const TProgressProc& progress, const ByteSink& sink)
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

} // namespace

std::optional<QByteArray> encodeGifPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            bool dither, bool transparent, ColourValue transparentColour,
                                            bool interlace, const TProgressProc& progress, QString* error)
{
    if (std::optional<QString> reason = refusalReason(picture, count)) {
        if (error)
            *error = *reason;
        return std::nullopt;
    }
    QByteArray bytes;
    if (!writeGif(picture, palette, count, dither, transparent, transparentColour, interlace, progress,
                  appendingTo(bytes))) {
        if (error)
            *error = QStringLiteral("not enough memory for the picture.");
        return std::nullopt;
    }
    return bytes;
}

bool SaveGifPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     bool dither, bool transparent, ColourValue transparentColour, bool interlace,
                     const TProgressProc& progress, QString* error)
{
    if (std::optional<QString> reason = refusalReason(picture, count)) {
        if (error)
            *error = cannotWriteText(fileName, *reason);
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
