// SPDX-License-Identifier: Apache-2.0
#include "colour/Census.h"

#include "colour/PodBuffer.h"
#include "util/Picture.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ostrel {

namespace {

// Pictures in other formats are converted this many rows at a time, so the
// census never holds a converted copy of a whole large picture.
constexpr int kStripRows = 64;
// A blue plane with fewer pixels than this is sorted; a fuller one is
// counted in a table over its 65 536 green-red pairs (see bench/colour.cpp).
constexpr size_t kSortBelow = 512;

// Rows of the rectangle as blue, green, red triples starting at column x1.
class RowSource {
public:
    RowSource(const QImage& bitmap, int x1, int x2) : m_bitmap(bitmap), m_x1(x1), m_width(x2 - x1 + 1)
    {
        m_direct = bitmap.format() == kPictureFormat;
    }

    const uint8_t* row(int y, int lastY)
    {
        if (m_direct)
            return m_bitmap.constScanLine(y) + 3 * size_t(m_x1);
        if (m_strip.isNull() || y < m_stripTop || y >= m_stripTop + m_strip.height()) {
            const int rows = std::min(kStripRows, lastY - y + 1);
            m_strip = m_bitmap.copy(m_x1, y, m_width, rows).convertToFormat(kPictureFormat);
            m_stripTop = y;
        }
        return m_strip.constScanLine(y - m_stripTop);
    }

private:
    const QImage& m_bitmap;
    int m_x1;
    int m_width;
    bool m_direct;
    QImage m_strip;
    int m_stripTop = 0;
};

// The census in three passes, none of which jumps around a large table:
// 1. count the pixels of each blue value;
// 2. copy each pixel's green and red (16 bits) into the part of one buffer
//    reserved for its blue value, so the buffer holds 256 planes;
// 3. count each plane in a table of 65 536 entries that stays in cache (or
//    sort it when it is small) and hand the colours to the tree in ascending
//    order, blue being the highest byte of a colour value.
// A table over all 16 777 216 colours would instead miss the cache on
// nearly every pixel of a photograph.
//
// Neighbouring pixels often share their blue value, and an increment of the
// same counter must wait for the previous one, so the blue values are
// counted in kLanes interleaved sets of counters. Dealing out keeps one write
// position per plane: more write streams than the 256 would crowd the cache.
class PlaneCensus {
public:
    PlaneCensus(const QImage& bitmap, int x1, int y1, int x2, int y2)
        : m_bitmap(bitmap), m_x1(x1), m_y1(y1), m_x2(x2), m_y2(y2)
    {
    }

    void run(TZQXTColorSplayTree& tree, const TProgressProc& progress)
    {
        countBlue();
        dealOut(progress);
        emitPlanes(tree);
    }

private:
    static constexpr int kLanes = 4;

    void countBlue()
    {
        RowSource source(m_bitmap, m_x1, m_x2);
        const int width = m_x2 - m_x1 + 1;
        size_t perBlue[kLanes][256] = {};
        for (int y = m_y1; y <= m_y2; ++y) {
            const uint8_t* pixel = source.row(y, m_y2);
            int x = 0;
            for (; x + kLanes <= width; x += kLanes, pixel += 3 * kLanes) {
                for (int lane = 0; lane < kLanes; ++lane)
                    ++perBlue[lane][pixel[3 * lane]];
            }
            for (int lane = 0; x < width; ++x, ++lane, pixel += 3)
                ++perBlue[lane][pixel[0]];
        }
        size_t start = 0;
        for (int blue = 0; blue < 256; ++blue) {
            m_planeStart[blue] = start;
            for (int lane = 0; lane < kLanes; ++lane)
                start += perBlue[lane][blue];
        }
        m_planeStart[256] = start;
    }

    void dealOut(const TProgressProc& progress)
    {
        m_greenRed.resize(m_planeStart[256]);
        uint16_t* out = m_greenRed.data();
        size_t next[256];
        std::copy(m_planeStart, m_planeStart + 256, next);
        RowSource source(m_bitmap, m_x1, m_x2);
        const int width = m_x2 - m_x1 + 1;
        const int64_t rows = int64_t(m_y2) - m_y1 + 1;
        for (int y = m_y1; y <= m_y2; ++y) {
            if (progress)
                progress(int32_t((int64_t(y) - m_y1 + 1) * 100 / rows));
            const uint8_t* pixel = source.row(y, m_y2);
            for (int x = 0; x < width; ++x, pixel += 3)
                out[next[pixel[0]]++] = uint16_t(pixel[1] << 8 | pixel[2]);
        }
    }

    // Colours of one plane in ascending order, from its table; every entry
    // read is cleared for the next plane. Most planes of a photograph are
    // sparse, so runs of eight empty entries are skipped at once.
    static void emitTable(int32_t* counts, int32_t high, TZQXTColorSplayTree& tree)
    {
        constexpr int kBlock = 8;
        for (int32_t block = 0; block < (1 << 16); block += kBlock) {
            uint64_t words[kBlock / 2];
            std::memcpy(words, counts + block, sizeof words);
            if ((words[0] | words[1] | words[2] | words[3]) == 0)
                continue;
            for (int32_t greenRed = block; greenRed < block + kBlock; ++greenRed) {
                if (counts[greenRed] == 0)
                    continue;
                tree.appendAscending(high | greenRed, counts[greenRed]);
                counts[greenRed] = 0;
            }
        }
    }

    void emitPlanes(TZQXTColorSplayTree& tree)
    {
        // Never more colours than pixels or than there are colours; the
        // reserve costs only the pages actually written.
        tree.beginAscending(std::min<size_t>(m_planeStart[256], size_t(1) << 24));
        PodBuffer<int32_t> table = PodBuffer<int32_t>::zeroed(1 << 16);
        for (int blue = 0; blue < 256; ++blue) {
            uint16_t* plane = m_greenRed.data() + m_planeStart[blue];
            const size_t n = m_planeStart[blue + 1] - m_planeStart[blue];
            const int32_t high = blue << 16;
            if (n == 0)
                continue;
            if (n < kSortBelow) {
                std::sort(plane, plane + n);
                for (size_t i = 0; i < n;) {
                    size_t j = i + 1;
                    while (j < n && plane[j] == plane[i])
                        ++j;
                    tree.appendAscending(high | plane[i], int32_t(j - i));
                    i = j;
                }
                continue;
            }
            int32_t* counts = table.data();
            for (size_t i = 0; i < n; ++i)
                ++counts[plane[i]];
            emitTable(counts, high, tree);
        }
        m_greenRed.release();
        tree.endAscending();
    }

    const QImage& m_bitmap;
    int m_x1, m_y1, m_x2, m_y2;
    size_t m_planeStart[257] = {};
    PodBuffer<uint16_t> m_greenRed;
};

} // namespace

bool ClipRectToBitmap(const QImage& bitmap, int& x1, int& y1, int& x2, int& y2)
{
    if (bitmap.isNull())
        return true;
    if (y1 > y2)
        std::swap(y1, y2);
    y1 = std::max(y1, 0);
    y2 = std::min(y2, bitmap.height() - 1);
    if (y1 > y2)
        return true;
    if (x1 > x2)
        std::swap(x1, x2);
    x1 = std::max(x1, 0);
    x2 = std::min(x2, bitmap.width() - 1);
    return x1 > x2;
}

// The result is the same as one splaying update per pixel would give (the
// same keys, counts and walk order); only the tree's shape differs, which
// nothing observes. Unlike rows addressed as arrays of 32 768 pixels, every
// column of a wide picture is counted.
void CountColorsInRect(const QImage& bitmap, int x1, int y1, int x2, int y2, TZQXTColorSplayTree* tree,
                       const TProgressProc& progress)
{
    if (!tree)
        return;
    if (ClipRectToBitmap(bitmap, x1, y1, x2, y2))
        return;
    tree->Clear();
    if (progress)
        progress(-1);
    PlaneCensus(bitmap, x1, y1, x2, y2).run(*tree, progress);
}

void CountColors(const QImage& bitmap, TZQXTColorSplayTree* tree, const TProgressProc& progress)
{
    if (bitmap.isNull())
        return;
    CountColorsInRect(bitmap, 0, 0, bitmap.width() - 1, bitmap.height() - 1, tree, progress);
}

void CountColorsQuiet(const QImage& bitmap, TZQXTColorSplayTree* tree)
{
    CountColors(bitmap, tree, TProgressProc());
}

} // namespace ostrel
