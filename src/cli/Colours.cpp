#include "cli/Colours.h"

#include "colour/Census.h"
#include "colour/ColourCount.h"
#include "colour/Palette.h"
#include "util/Picture.h"

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

ColourFacts coloursForSaving(const QImage& picture)
{
    const std::optional<TFewColours> few = FewColoursForSaving(picture, 256);
    if (!few)
        return ColourFacts{};
    ColourFacts facts;
    facts.own = few->count.own;
    facts.total = few->count.total;
    facts.text = few->count.text;
    facts.savePalette = few->save.palette;
    facts.saveCount = few->save.count;
    return facts;
}

int64_t coloursAfterEncoding(const QImage& picture)
{
    constexpr TColorValue kLowestBlueBit = 0x010000;
    QImage pairs = picture.convertToFormat(kPictureFormat);
    if (pairs.constBits() == picture.constBits())
        pairs.detach();
    // One entry per pair of colours that differ only in the lowest blue bit.
    for (int y = 0; y < pairs.height(); ++y) {
        uint8_t* pixel = pairs.scanLine(y);
        for (int x = 0; x < pairs.width(); ++x, pixel += 3)
            pixel[0] &= 0xFE;
    }
    if (HasMoreColoursThan(pairs, 128))
        return kUncountedColours;
    TZQXTColorSplayTree tree;
    CountColorsQuiet(pairs, &tree);
    int64_t count = 0;
    for (tree.First(); tree.HasCurrent(); tree.Next())
        count += 2;
    for (TColorValue base : kBaseColours)
        if (!tree.Contains(int32_t(base & ~kLowestBlueBit)))
            ++count;
    return count;
}

void buildReductionPalette(const QImage& picture, TPaletteArray& palette, int32_t& count)
{
    TZQXTColorSplayTree tree;
    CountColorsWithBase(picture, tree, {});
    BuildReductionPalette(tree, palette, count);
}

} // namespace ostrel::cli
