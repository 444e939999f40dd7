// SPDX-License-Identifier: Apache-2.0
#include "cli/Colours.h"

#include "colour/ColourCount.h"
#include "util/Picture.h"
#include "util/PixelRows.h"

namespace ostrel::cli {

namespace {

ColourFacts colourFacts(const ColourCount& count, const SavePalette& save)
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
    const ColoursOfRows colours = countColoursOfRows(rows);
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
    const std::optional<FewColours> few = fewColoursForSaving(picture, 256);
    return few ? colourFacts(few->count, few->save) : ColourFacts{};
}

int64_t coloursAfterEncoding(const QImage& picture)
{
    return coloursWithBothBlueBits(picture).value_or(kUncountedColours);
}

void buildReductionPaletteOfPicture(const QImage& picture, TPaletteArray& palette, int32_t& count)
{
    TZQXTColorSplayTree tree;
    countColoursWithBase(picture, tree, {});
    buildReductionPalette(tree, palette, count);
}

} // namespace ostrel::cli
