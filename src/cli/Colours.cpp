#include "cli/Colours.h"

#include "colour/ColourCount.h"

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
    if (HasMoreColoursThan(picture, 256))
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
