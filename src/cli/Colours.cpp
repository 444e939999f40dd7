#include "cli/Colours.h"

#include "colour/ColourCount.h"

#include <vector>

namespace ostrel::cli {

ColourFacts countColours(const QImage& picture)
{
    TZQXTColorSplayTree tree;
    const TColourCount count = CountColorsWithBase(picture, tree, {});
    const TSavePalette save = SavePaletteFromTree(tree);
    ColourFacts facts;
    facts.own = count.own;
    facts.total = count.total;
    facts.text = count.text;
    facts.savePalette = save.palette;
    facts.saveCount = save.count;
    return facts;
}

bool hasMoreColoursThan(const QImage& picture, int limit)
{
    // Open addressing over a table at least twice the limit; 0xFFFFFFFF marks
    // an empty slot (no 24-bit colour has that value).
    size_t size = 1;
    while (size < size_t(limit) * 2 + 2)
        size <<= 1;
    std::vector<uint32_t> table(size, 0xFFFFFFFFu);
    int seen = 0;
    const QImage::Format format = picture.format();
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* row = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            uint32_t colour = format == QImage::Format_BGR888
                ? uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16
                : uint32_t(picture.pixel(x, y)) & 0xFFFFFFu;
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
    return false;
}

ColourFacts coloursForSaving(const QImage& picture)
{
    if (hasMoreColoursThan(picture, 256))
        return ColourFacts{};
    return countColours(picture);
}

void buildReductionPalette(const QImage& picture, TPaletteArray& palette, int32_t& count)
{
    TZQXTColorSplayTree tree;
    CountColorsWithBase(picture, tree, {});
    BuildReductionPalette(tree, palette, count);
}

} // namespace ostrel::cli
