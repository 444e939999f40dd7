// SPDX-License-Identifier: Apache-2.0
#include "Carrier.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_X86 1
#endif

namespace ostrel {

// Words are loaded from pixel and stream bytes with memcpy, low byte first.
static_assert(std::endian::native == std::endian::little, "the carrier code reads bytes as little-endian words");

namespace {

constexpr int kBytesPerPixel = 3;
constexpr int kGroupPixels = 8; // eight pixels are 24 bytes, exactly three words

uint64_t reverseBitsInEachByte(uint64_t w)
{
    w = ((w >> 1) & 0x5555555555555555u) | ((w & 0x5555555555555555u) << 1);
    w = ((w >> 2) & 0x3333333333333333u) | ((w & 0x3333333333333333u) << 2);
    w = ((w >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((w & 0x0F0F0F0F0F0F0F0Fu) << 4);
    return w;
}

// For eight bits, the three words of a group of eight pixels with bit j
// placed at bit 0 of pixel j's blue byte and nothing else set.
struct SpreadTable {
    std::array<std::array<uint64_t, 3>, 256> words{};
    constexpr SpreadTable()
    {
        for (unsigned value = 0; value < 256; ++value)
            for (unsigned pixel = 0; pixel < kGroupPixels; ++pixel)
                if (value & (1u << pixel)) {
                    const unsigned byte = pixel * kBytesPerPixel;
                    words[value][byte / 8] |= uint64_t(1) << (byte % 8 * 8);
                }
    }
};
constexpr SpreadTable kSpread;

// Bit 0 of the blue bytes of a group of eight pixels, pixel j in bit j:
// the inverse of kSpread.
inline unsigned gatherGroup(const uint8_t* pixels)
{
    uint64_t w[3];
    std::memcpy(w, pixels, sizeof w);
    return unsigned((w[0] & 1) | ((w[0] >> 23) & 2) | ((w[0] >> 46) & 4) | ((w[1] >> 5) & 8) | ((w[1] >> 28) & 16)
                    | ((w[1] >> 51) & 32) | ((w[2] >> 10) & 64) | ((w[2] >> 33) & 128));
}

inline void spreadGroup(uint8_t* pixels, unsigned value)
{
    uint64_t w[3];
    std::memcpy(w, pixels, sizeof w);
    const auto& clear = kSpread.words[255];
    const auto& set = kSpread.words[value];
    for (int i = 0; i < 3; ++i)
        w[i] = (w[i] & ~clear[i]) | set[i];
    std::memcpy(pixels, w, sizeof w);
}

uint64_t gather64Portable(const uint8_t* pixels)
{
    uint64_t bits = 0;
    for (int i = 0; i < 64; i += kGroupPixels)
        bits |= uint64_t(gatherGroup(pixels + i * kBytesPerPixel)) << i;
    return bits;
}

#if OSTREL_X86
// Sixteen pixels are three vectors; one shuffle per vector moves its blue
// bytes into their pixels' lanes, and the byte mask collects bit 0 of each.
__attribute__((target("ssse3"))) uint64_t gather64Ssse3(const uint8_t* pixels)
{
    const __m128i fromFirst = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i fromSecond = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i fromThird = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    uint64_t bits = 0;
    for (int i = 0; i < 64; i += 16) {
        const uint8_t* p = pixels + i * kBytesPerPixel;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i blue = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, fromFirst), _mm_shuffle_epi8(b, fromSecond)),
                                          _mm_shuffle_epi8(c, fromThird));
        bits |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_slli_epi64(blue, 7))) & 0xFFFF) << i;
    }
    return bits;
}
#endif

using Gather64Fn = uint64_t (*)(const uint8_t*);

Gather64Fn chooseGather64()
{
#if OSTREL_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3"))
        return &gather64Ssse3;
#endif
    return &gather64Portable;
}

const Gather64Fn gather64 = chooseGather64();

// Bit 0 of the blue bytes of `count` (at most 64) pixels from `column` on.
uint64_t gatherRun(const uint8_t* row, int column, int count)
{
    const uint8_t* pixels = row + size_t(column) * kBytesPerPixel;
    if (count == 64)
        return gather64(pixels);
    uint64_t bits = 0;
    int i = 0;
    for (; i + kGroupPixels <= count; i += kGroupPixels)
        bits |= uint64_t(gatherGroup(pixels + i * kBytesPerPixel)) << i;
    for (; i < count; ++i)
        bits |= uint64_t(pixels[i * kBytesPerPixel] & 1) << i;
    return bits;
}

int channelShare(int error, int weight) { return error * weight / 16; }

} // namespace

uint64_t streamWordFromBytes(const uint8_t* bytes)
{
    uint64_t w;
    std::memcpy(&w, bytes, sizeof w);
    return reverseBitsInEachByte(w);
}

void streamBytesFromWord(uint64_t word, uint8_t* bytes)
{
    const uint64_t w = reverseBitsInEachByte(word);
    std::memcpy(bytes, &w, sizeof w);
}

// ---------------------------------------------------------------------------

CarrierWriter::CarrierWriter(QImage& picture, TRandom& random, const TProgressProc& progress, TPaletteSearch* search,
                             bool dither)
    : m_ownRows(std::make_unique<PictureRows>(picture)), m_rows(*m_ownRows), m_random(random), m_progress(progress),
      m_search(search), m_dither(dither), m_width(picture.width()), m_height(picture.height())
{
    m_finished = m_width <= 0 || m_height <= 0;
    if (!m_finished)
        m_rowData = m_rows.row(0);
}

CarrierWriter::CarrierWriter(PixelRows& rows, TRandom& random, const TProgressProc& progress, TPaletteSearch* search,
                             bool dither)
    : m_rows(rows), m_random(random), m_progress(progress), m_search(search), m_dither(dither), m_width(rows.width()),
      m_height(rows.height())
{
    m_finished = m_width <= 0 || m_height <= 0;
    if (!m_finished)
        m_rowData = m_rows.row(0);
}

void CarrierWriter::moveValuesBy(std::span<const uint64_t> directions)
{
    if (m_search == nullptr)
        m_mover = std::make_unique<ValueMover>(m_rows);
    m_directions = directions;
}

void CarrierWriter::writeBytes(const uint8_t* data, size_t size)
{
    if (m_pendingCount > 0) {
        const size_t take = std::min(size, sizeof m_pending - m_pendingCount);
        std::memcpy(m_pending + m_pendingCount, data, take);
        m_pendingCount += take;
        data += take;
        size -= take;
        if (m_pendingCount < sizeof m_pending)
            return;
        writeStreamWord(streamWordFromBytes(m_pending));
        m_pendingCount = 0;
    }
    for (; size >= 8 && !m_finished; data += 8, size -= 8)
        writeStreamWord(streamWordFromBytes(data));
    if (m_finished)
        return;
    std::memcpy(m_pending, data, size);
    m_pendingCount = size;
}

void CarrierWriter::finish()
{
    // The bytes after the stream are zero, so their pixels carry the keystream alone.
    if (m_pendingCount > 0) {
        std::memset(m_pending + m_pendingCount, 0, sizeof m_pending - m_pendingCount);
        writeStreamWord(streamWordFromBytes(m_pending), m_mover ? int(m_pendingCount) * 8 : 64);
        m_pendingCount = 0;
    }
    if (m_mover) {
        if (m_progress && !m_finished)
            m_progress(100);
        return;
    }
    while (!m_finished)
        writeStreamWord(0);
}

void CarrierWriter::writeStreamWord(uint64_t streamBits, int count)
{
    storePixelBits(streamBits ^ m_random.nextWord(), count);
    ++m_word;
}

void CarrierWriter::storePixelBits(uint64_t bits, int bitCount)
{
    int remaining = bitCount;
    uint64_t ups = m_word < m_directions.size() ? m_directions[m_word] : 0;
    while (remaining > 0 && !m_finished) {
        const int count = std::min(remaining, m_width - m_column);
        if (m_search)
            storePaletteRun(m_rowData, m_column, bits, count);
        else if (m_mover)
            storeMovedRun(m_rowData, m_column, bits, ups, count);
        else
            storeTrueColourRun(m_rowData, m_column, bits, count);
        bits = count == 64 ? 0 : bits >> count;
        ups = count == 64 ? 0 : ups >> count;
        remaining -= count;
        m_column += count;
        if (m_column == m_width)
            nextRow();
    }
}

void CarrierWriter::storeTrueColourRun(uint8_t* row, int column, uint64_t bits, int count)
{
    uint8_t* pixels = row + size_t(column) * kBytesPerPixel;
    int i = 0;
    for (; i + kGroupPixels <= count; i += kGroupPixels)
        spreadGroup(pixels + i * kBytesPerPixel, unsigned(bits >> i) & 0xFF);
    for (; i < count; ++i) {
        uint8_t& blue = pixels[i * kBytesPerPixel];
        blue = uint8_t((blue & 0xFE) | ((bits >> i) & 1));
    }
}

// Only the pixels whose lowest blue bit differs from the wanted one change,
// and by one (see ValueMover).
void CarrierWriter::storeMovedRun(uint8_t* row, int column, uint64_t bits, uint64_t ups, int count)
{
    uint64_t change = gatherRun(row, column, count) ^ bits;
    if (count < 64)
        change &= (uint64_t(1) << count) - 1;
    m_mover->moveRun(row, m_row, column, change, ups);
}

void CarrierWriter::storePaletteRun(uint8_t* row, int column, uint64_t bits, int count)
{
    uint8_t* below = m_row + 1 < m_height ? m_rows.near(m_row + 1) : nullptr;
    for (int i = 0; i < count; ++i) {
        const int x = column + i;
        uint8_t* pixel = row + size_t(x) * kBytesPerPixel;
        const int oldBlue = pixel[0], oldGreen = pixel[1], oldRed = pixel[2];
        const TParityFilter filter = ((bits >> i) & 1) ? pfOddBlue : pfEvenBlue;
        const TripleValue found = m_search->NearestTriple(filter, tripleValue(pixel[0], pixel[1], pixel[2]));
        pixel[0] = uint8_t(found);
        pixel[1] = uint8_t(found >> 8);
        pixel[2] = uint8_t(found >> 16);
        if (!m_dither)
            continue;
        const int eRed = oldRed - pixel[2], eGreen = oldGreen - pixel[1], eBlue = oldBlue - pixel[0];
        auto spread = [&](uint8_t* target, int weight) {
            AddClampTriple(target, channelShare(eRed, weight), channelShare(eGreen, weight),
                           channelShare(eBlue, weight));
        };
        if (x + 1 < m_width)
            spread(pixel + kBytesPerPixel, 7);
        if (below) {
            uint8_t* under = below + size_t(x) * kBytesPerPixel;
            if (x > 0)
                spread(under - kBytesPerPixel, 1);
            spread(under, 5);
            if (x + 1 < m_width)
                spread(under + kBytesPerPixel, 3);
        }
    }
}

void CarrierWriter::nextRow()
{
    ++m_row;
    m_column = 0;
    // The +50 rounds on tall pictures but overshoots on short ones (107% after
    // the last of 7 rows), so the value stops at 100.
    if (m_progress)
        m_progress(int32_t(std::min<int64_t>((int64_t(m_row) * 100 + 50) / m_height, 100)));
    if (m_row < m_height)
        m_rowData = m_rows.row(m_row);
    else
        m_finished = true;
}

// ---------------------------------------------------------------------------

CarrierReader::CarrierReader(const QImage& picture, TRandom& random)
    : m_ownRows(std::make_unique<PictureRows>(PictureRows::readOnly(picture))), m_rows(*m_ownRows), m_random(random),
      m_width(m_rows.width()), m_height(m_rows.height())
{
    if (m_width > 0 && m_height > 0)
        m_rowData = m_rows.row(0);
}

CarrierReader::CarrierReader(PixelRows& rows, TRandom& random)
    : m_rows(rows), m_random(random), m_width(rows.width()), m_height(rows.height())
{
    if (m_width > 0 && m_height > 0)
        m_rowData = m_rows.row(0);
}

uint64_t CarrierReader::nextPixelBits()
{
    if (!m_rowData)
        return 0;
    uint64_t bits = 0;
    int have = 0;
    while (have < 64) {
        const int count = std::min(64 - have, m_width - m_column);
        bits |= gatherRun(m_rowData, m_column, count) << have;
        have += count;
        m_column += count;
        if (m_column == m_width) {
            m_column = 0;
            ++m_row;
            if (m_row < m_height)
                m_rowData = m_rows.row(m_row);
        }
    }
    return bits;
}

void CarrierReader::refill()
{
    streamBytesFromWord(nextPixelBits() ^ m_random.nextWord(), m_decoded);
    m_decodedPos = 0;
}

uint8_t CarrierReader::readByte()
{
    if (m_decodedPos == sizeof m_decoded)
        refill();
    return m_decoded[m_decodedPos++];
}

void CarrierReader::readBytes(uint8_t* out, size_t size)
{
    while (size > 0 && m_decodedPos < sizeof m_decoded) {
        *out++ = m_decoded[m_decodedPos++];
        --size;
    }
    for (; size >= 8; out += 8, size -= 8)
        streamBytesFromWord(nextPixelBits() ^ m_random.nextWord(), out);
    while (size > 0) {
        *out++ = readByte();
        --size;
    }
}

} // namespace ostrel
