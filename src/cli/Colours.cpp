// SPDX-License-Identifier: Apache-2.0
#include "cli/Colours.h"

#include "colour/ColourCount.h"
#include "util/Picture.h"
#include "util/PixelRows.h"

namespace ostrel::cli {

namespace {

ColourFacts colourFacts(const TColourCount& count, const TSavePalette& save)
{
    ColourFacts facts;
    facts.own = count.own;
    facts.total = count.total;
    facts.text = count.text;
    facts.savePalette = save.palette;
    facts.saveCount = save.count;
    return facts;
}

} // namespace

ColourFacts countColours(PixelRows& rows)
{
    const TColoursOfRows colours = CountColoursOfRows(rows);
    return colourFacts(colours.count, colours.save);
}

ColourFacts countColours(const QImage& picture)
{
    const QImage working = picture.isNull() ? QImage() : inPictureFormat(picture);
    PictureRows rows = PictureRows::readOnly(working);
    return countColours(rows);
}

ColourFacts coloursForSaving(const QImage& picture)
{
    const std::optional<TFewColours> few = FewColoursForSaving(picture, 256);
    return few ? colourFacts(few->count, few->save) : ColourFacts{};
}

int64_t coloursAfterEncoding(const QImage& picture)
{
    return ColoursWithBothBlueBits(picture).value_or(kUncountedColours);
}

void buildReductionPalette(const QImage& picture, TPaletteArray& palette, int32_t& count)
{
    TZQXTColorSplayTree tree;
    CountColorsWithBase(picture, tree, {});
    BuildReductionPalette(tree, palette, count);
}

} // namespace ostrel::cli
