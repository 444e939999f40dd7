// SPDX-License-Identifier: Apache-2.0
#include "colour/ColourCount.h"

#include "util/Pages.h"

#include "colour/Census.h"
#include "colour/Palette.h"

#include "util/Picture.h"
#include "util/PixelRows.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <new>
#include <optional>
#include <vector>

namespace ostrel {

QString colourCountText(int64_t own, int64_t total)
{
    if (own == total)
        return QString::number(own) + QStringLiteral(" Colors");
    return QString::number(own) + QStringLiteral(" of ") + QString::number(total) + QStringLiteral(" Colors");
}

namespace {

// Collects the distinct colours of rows visited from the top (triple values,
// with only the bits of `keyMask` kept) until there are more than `limit`;
// true when there are.
bool collectColoursBeyond(PixelRows& rows, int limit, TripleValue keyMask, std::vector<TripleValue>* found)
{
    // Open addressing over a table at least twice the limit; 0xFFFFFFFF marks
    // an empty slot (no 24-bit colour has that value).
    size_t size = 1;
    while (size < size_t(std::max(limit, 0)) * 2 + 2)
        size <<= 1;
    std::vector<TripleValue> table(size, 0xFFFFFFFFu);
    int seen = 0;
    const int width = rows.width(), height = rows.height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* pixel = rows.row(y);
        for (int x = 0; x < width; ++x, pixel += 3) {
            // Every pixel is looked up: pictures of few colours mixed pixel by
            // pixel (an encoded one) would keep a test for runs guessing wrong.
            const TripleValue colour = tripleValue(pixel[0], pixel[1], pixel[2]) & keyMask;
            size_t slot = (colour * 2654435761u) & (size - 1);
            while (table[slot] != colour && table[slot] != 0xFFFFFFFFu)
                slot = (slot + 1) & (size - 1);
            if (table[slot] == colour)
                continue;
            table[slot] = colour;
            if (++seen > limit)
                return true;
        }
    }
    if (found)
        for (TripleValue colour : table)
            if (colour != 0xFFFFFFFFu)
                found->push_back(colour);
    return false;
}

bool collectColoursBeyond(const QImage& picture, int limit, TripleValue keyMask, std::vector<TripleValue>* found)
{
    if (picture.isNull())
        return limit < 0;
    const QImage working = inPictureFormat(picture);
    PictureRows rows = PictureRows::readOnly(working);
    return collectColoursBeyond(rows, limit, keyMask, found);
}

constexpr TripleValue kWholeColour = 0xFFFFFF;

// The counts and text once the picture's own colours are in the tree; adds
// each base colour with a count of 1.
ColourCount addBaseColours(TZQXTColorSplayTree& tree)
{
    ColourCount result;
    result.own = tree.Count();
    for (ColourValue base : kBaseColours)
        tree.AddCount(base, 1);
    result.total = tree.Count();
    result.text = colourCountText(result.own, result.total);
    return result;
}

} // namespace

bool hasMoreColoursThan(PixelRows& rows, int limit)
{
    return collectColoursBeyond(rows, limit, kWholeColour, nullptr);
}

bool hasMoreColoursThan(const QImage& picture, int limit)
{
    return collectColoursBeyond(picture, limit, kWholeColour, nullptr);
}

std::optional<FewColours> fewColoursForSaving(const QImage& picture, int limit)
{
    std::vector<TripleValue> colours;
    if (collectColoursBeyond(picture, limit, kWholeColour, &colours))
        return std::nullopt;
    TZQXTColorSplayTree tree;
    for (TripleValue packed : colours)
        tree.AddCount(colorValue(uint8_t(packed >> 16), uint8_t(packed >> 8), uint8_t(packed)), 1);
    FewColours result;
    result.count = addBaseColours(tree);
    result.save = savePaletteFromTree(tree);
    return result;
}

ColourCount countColoursWithBase(const QImage& picture, TZQXTColorSplayTree& tree, const TProgressProc& progress)
{
    // The census leaves the tree untouched when there is no picture; counting
    // the base colours on top of an old census would then inflate it.
    if (picture.isNull())
        tree.Clear();
    CountColors(picture, &tree, progress);
    return addBaseColours(tree);
}

namespace {

// One bit per 24-bit colour value, set where the colour occurs; its pages
// are made present at once (see populatePages).
class ColourBits {
public:
    static constexpr size_t kWords = (size_t(1) << 24) / 64;
    static constexpr size_t kBytes = kWords * sizeof(uint64_t);

    ColourBits()
    {
        void* block = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            throw std::bad_alloc();
        populatePages(block, kBytes);
        m_words = static_cast<uint64_t*>(block);
    }
    ~ColourBits() { munmap(m_words, kBytes); }
    ColourBits(const ColourBits&) = delete;
    ColourBits& operator=(const ColourBits&) = delete;

    void addRow(const uint8_t* pixel, int width)
    {
        uint64_t* words = m_words;
        for (int x = 0; x < width; ++x, pixel += 3) {
            const ColourValue colour = colorValue(pixel[2], pixel[1], pixel[0]);
            words[colour >> 6] |= uint64_t(1) << (colour & 63);
        }
    }
    bool has(ColourValue colour) const { return (m_words[colour >> 6] >> (colour & 63)) & 1; }
    int64_t count() const
    {
        int64_t count = 0;
        for (size_t i = 0; i < kWords; ++i)
            count += std::popcount(m_words[i]);
        return count;
    }
    template <class Visit>
    void forEach(Visit visit) const
    {
        for (size_t i = 0; i < kWords; ++i)
            for (uint64_t word = m_words[i]; word != 0; word &= word - 1)
                visit(ColourValue(i * 64 + size_t(std::countr_zero(word))));
    }

private:
    uint64_t* m_words = nullptr;
};

} // namespace

ColoursOfRows countColoursOfRows(PixelRows& rows)
{
    ColourBits bits;
    const int width = rows.width(), height = rows.height();
    if (width > 0)
        for (int y = 0; y < height; ++y)
            bits.addRow(rows.row(y), width);
    ColoursOfRows result;
    const int64_t own = bits.count();
    // Only a picture of at most 256 colours can have a save palette; its
    // colours go through the tree the census would fill, for the same one.
    if (own <= 256) {
        TZQXTColorSplayTree tree;
        bits.forEach([&](ColourValue colour) { tree.AddCount(colour, 1); });
        result.count = addBaseColours(tree);
        result.save = savePaletteFromTree(tree);
        return result;
    }
    int64_t total = own;
    for (ColourValue base : kBaseColours)
        total += bits.has(base) ? 0 : 1;
    result.count.own = own;
    result.count.total = total;
    result.count.text = colourCountText(own, total);
    return result;
}

std::optional<int64_t> coloursWithBothBlueBits(const QImage& picture)
{
    // One value per pair of colours that differ only in the lowest blue bit.
    constexpr TripleValue kPairOfColours = kWholeColour & ~TripleValue(1);
    std::vector<TripleValue> pairs;
    if (collectColoursBeyond(picture, 128, kPairOfColours, &pairs))
        return std::nullopt;
    int64_t count = 2 * int64_t(pairs.size());
    for (ColourValue base : kBaseColours)
        if (std::find(pairs.begin(), pairs.end(), tripleOfColour(base) & kPairOfColours) == pairs.end())
            ++count;
    return count;
}

namespace {

int32_t roundedPaletteSize(int32_t count)
{
    if (count > 128)
        return 256;
    if (count > 64)
        return 128;
    if (count > 32)
        return 64;
    if (count > 16)
        return 32;
    return 16;
}

} // namespace

SavePalette savePaletteFromTree(const TZQXTColorSplayTree& tree)
{
    SavePalette result;
    if (tree.Count() > 256)
        return result;
    TPaletteArray palette;
    InitPalette(palette);
    int32_t count = 16;
    // A tree without the base colours can hold 256 colours that do not fit
    // after them; a palette missing any colour would change pixels on saving.
    bool allFit = true;
    tree.forEachAscending([&](int32_t key, int32_t) {
        const ColourValue colour = ColourValue(key);
        if (!PaletteAdd(palette, count, colour) && std::find(palette.begin(), palette.end(), colour) == palette.end())
            allFit = false;
    });
    if (!allFit)
        return result;
    result.palette = palette;
    result.count = roundedPaletteSize(count);
    return result;
}

void buildReductionPalette(const TZQXTColorSplayTree& tree, TPaletteArray& palette, int32_t& count)
{
    InitPalette(palette);
    count = 16;
    Palette_Build(palette, count, 256, true, true, tree);
}

} // namespace ostrel
