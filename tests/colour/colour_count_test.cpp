// SPDX-License-Identifier: Apache-2.0
// The colour decisions shared by the desktop and command-line programs: the
// count with the base colours, the palette for saving, the reduction.
#include "colour/ColourCount.h"
#include "colour/GraphicsToolsUnit.h"
#include "util/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

using namespace ostrel;

namespace {

// The picture the program starts with: 320×240 aqua inside a black frame.
QImage startPicture()
{
    QImage picture = allocateFilledPicture(320, 240, 0, 255, 255);
    for (int x = 0; x < 320; ++x) {
        picture.setPixelColor(x, 0, Qt::black);
        picture.setPixelColor(x, 239, Qt::black);
    }
    for (int y = 0; y < 240; ++y) {
        picture.setPixelColor(0, y, Qt::black);
        picture.setPixelColor(319, y, Qt::black);
    }
    return picture;
}

// A picture of `n` distinct colours, none of them a base colour (green 1).
QImage distinctColours(int n, bool withBase = false)
{
    QImage picture = allocatePicture(n + (withBase ? 16 : 0), 1);
    uint8_t* row = picture.scanLine(0);
    for (int i = 0; i < n; ++i) {
        row[3 * i] = uint8_t(i >> 8);
        row[3 * i + 1] = 1;
        row[3 * i + 2] = uint8_t(i);
    }
    for (int i = 0; withBase && i < 16; ++i) {
        uint8_t* px = row + 3 * (n + i);
        px[0] = blueOf(kBaseColours[size_t(i)]);
        px[1] = greenOf(kBaseColours[size_t(i)]);
        px[2] = redOf(kBaseColours[size_t(i)]);
    }
    return picture;
}

TEST(ColourCount, CountsThePictureAndTheBaseColours)
{
    struct Case {
        const char* what;
        QImage picture;
        int64_t own, total;
        const char* text;
    };
    const Case cases[] = {
        {"start picture", startPicture(), 2, 16, "2 of 16 Colors"},
        {"three other colours", distinctColours(3), 3, 19, "3 of 19 Colors"},
        {"the base colours among others", distinctColours(5, true), 21, 21, "21 Colors"},
        {"no picture", QImage(), 0, 16, "0 of 16 Colors"},
    };
    for (const Case& c : cases) {
        TZQXTColorSplayTree tree;
        tree.AddCount(0x654321, 9); // an old census, replaced
        std::vector<int32_t> progress;
        const ColourCount counted = countColoursWithBase(c.picture, tree, [&](int32_t p) { progress.push_back(p); });
        EXPECT_EQ(counted.own, c.own) << c.what;
        EXPECT_EQ(counted.total, c.total) << c.what;
        EXPECT_EQ(counted.text, QString::fromLatin1(c.text)) << c.what;
        EXPECT_EQ(tree.Count(), c.total) << c.what;
        EXPECT_FALSE(tree.Contains(0x654321)) << c.what;
        if (!c.picture.isNull()) {
            EXPECT_EQ(progress.front(), -1) << c.what;
            EXPECT_EQ(progress.back(), 100) << c.what;
        }
    }
    // A base colour in the picture counts its pixels plus one.
    TZQXTColorSplayTree tree;
    countColoursWithBase(startPicture(), tree, {});
    EXPECT_EQ(tree.nodeValue(tree.Find(0xFFFF00)), 318 * 238 + 1); // aqua
    EXPECT_EQ(tree.nodeValue(tree.Find(0x000000)), 320 * 240 - 318 * 238 + 1);
    EXPECT_EQ(tree.nodeValue(tree.Find(0xFFFFFF)), 1);
}

// The early answer must agree with the census at the limit, whatever the
// picture's format and however its colours repeat.
TEST(ColourCount, MoreColoursThanALimitAgreesWithTheCensus)
{
    // 257 colours, then each of them again: repeats never count twice.
    QImage repeated = allocatePicture(257, 2);
    const QImage once = distinctColours(257);
    std::copy_n(once.constScanLine(0), 3 * 257, repeated.scanLine(0));
    std::copy_n(once.constScanLine(0), 3 * 257, repeated.scanLine(1));
    struct Case {
        const char* name;
        QImage picture;
        int limit;
        bool more;
    };
    const Case cases[] = {
        {"256 at 256", distinctColours(256), 256, false},
        {"257 at 256", distinctColours(257), 256, true},
        {"257 twice at 256", repeated, 256, true},
        {"257 twice at 257", repeated, 257, false},
        {"start picture at 1", startPicture(), 1, true},
        {"start picture at 2", startPicture(), 2, false},
        {"other format", distinctColours(257).convertToFormat(QImage::Format_RGB32), 256, true},
        {"null", QImage(), 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hasMoreColoursThan(c.picture, c.limit), c.more) << c.name;
}

// Saving a few-colour picture skips the census; its count and palette must
// be the census's to the entry, and a picture over the limit gets none.
TEST(ColourCount, FewColoursForSavingAgreesWithTheCensus)
{
    QImage mixed = startPicture();
    mixed.setPixel(5, 5, qRgb(1, 2, 3)); // a colour that is not a base colour
    struct Case {
        const char* name;
        QImage picture;
        bool fits;
    };
    const Case cases[] = {
        {"base colours only", distinctColours(0, true), true},
        {"start picture", startPicture(), true},
        {"start picture and one more", mixed, true},
        {"240 besides the base colours", distinctColours(240), true},
        {"241: no palette", distinctColours(241), true},
        {"256", distinctColours(256), true},
        {"257", distinctColours(257), false},
        {"other format", distinctColours(100).convertToFormat(QImage::Format_RGB32), true},
        {"null", QImage(), true},
    };
    for (const Case& c : cases) {
        const std::optional<FewColours> few = fewColoursForSaving(c.picture, 256);
        ASSERT_EQ(few.has_value(), c.fits) << c.name;
        if (!few)
            continue;
        TZQXTColorSplayTree tree;
        const ColourCount census = countColoursWithBase(c.picture, tree, {});
        const SavePalette save = savePaletteFromTree(tree);
        EXPECT_EQ(few->count.own, census.own) << c.name;
        EXPECT_EQ(few->count.total, census.total) << c.name;
        EXPECT_EQ(few->count.text, census.text) << c.name;
        EXPECT_EQ(few->save.count, save.count) << c.name;
        EXPECT_EQ(few->save.palette, save.palette) << c.name;
    }
}

// Each colour counts with its twin of the other lowest blue bit; a base
// colour counts once more only when neither it nor its twin is there.
TEST(ColourCount, ColoursWithBothBlueBitsCountsPairsAndStopsAfter128)
{
    // 256 colours that pair up, blue 0 and 1, into 128 pairs.
    QImage paired = allocatePicture(256, 1);
    for (int i = 0; i < 256; ++i) {
        uint8_t* px = paired.scanLine(0) + 3 * i;
        px[0] = uint8_t(i & 1);
        px[1] = 1;
        px[2] = uint8_t(i >> 1);
    }
    struct Case {
        const char* name;
        QImage picture;
        std::optional<int64_t> colours;
    };
    const Case cases[] = {
        {"start picture: black and aqua are base colours", startPicture(), 2 * 2 + 14},
        {"three other colours", distinctColours(3), 2 * 3 + 16},
        {"128 pairs, both bits present", paired, 2 * 128 + 16},
        {"129 pairs", distinctColours(129), std::nullopt},
        {"other format", paired.convertToFormat(QImage::Format_RGB32), 2 * 128 + 16},
        {"null", QImage(), 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(coloursWithBothBlueBits(c.picture), c.colours) << c.name;
}

TEST(ColourCount, ReductionIsOfferedAbove128Colours)
{
    EXPECT_FALSE(reductionOffered(16));
    EXPECT_FALSE(reductionOffered(128));
    EXPECT_TRUE(reductionOffered(129));
}

// The total T decides: above 256 no palette; otherwise the base colours,
// then the others ascending, the count rounded up to a palette size.
TEST(ColourCount, SavePaletteHoldsEveryColourAndRoundsItsSize)
{
    struct Case {
        int others; // colours besides the 16 base colours
        int32_t expectedCount;
    };
    const Case cases[] = {{0, 16},    {1, 32},     {16, 32},  {17, 64},  {48, 64},
                          {49, 128},  {112, 128}, {113, 256}, {240, 256}, {241, kTrueColourCount}};
    for (const Case& c : cases) {
        TZQXTColorSplayTree tree;
        countColoursWithBase(distinctColours(c.others), tree, {});
        const SavePalette save = savePaletteFromTree(tree);
        EXPECT_EQ(save.count, c.expectedCount) << c.others;
        if (save.count > 256) {
            EXPECT_TRUE(std::all_of(save.palette.begin(), save.palette.end(), [](ColourValue v) { return v == 0; }));
            continue;
        }
        std::vector<ColourValue> expected(kBaseColours.begin(), kBaseColours.end());
        for (int i = 0; i < c.others; ++i)
            expected.push_back(colorValue(uint8_t(i), 1, uint8_t(i >> 8)));
        std::sort(expected.begin() + 16, expected.end());
        expected.resize(size_t(save.count), 0);
        EXPECT_EQ(std::vector<ColourValue>(save.palette.begin(), save.palette.begin() + save.count), expected)
            << c.others;
    }
}

// A census without the base colours can hold 256 colours that no longer fit
// after them; saving them with a palette would change pixels.
TEST(ColourCount, SavePaletteOfColoursThatDoNotFitIsNoPalette)
{
    TZQXTColorSplayTree tree;
    CountColorsQuiet(distinctColours(250), &tree);
    ASSERT_EQ(tree.Count(), 250);
    const SavePalette save = savePaletteFromTree(tree);
    EXPECT_EQ(save.count, kTrueColourCount);

    // Base colours already in the census take no second entry.
    tree.Clear();
    CountColorsQuiet(distinctColours(240, true), &tree);
    ASSERT_EQ(tree.Count(), 256);
    EXPECT_EQ(savePaletteFromTree(tree).count, 256);
}

TEST(ColourCount, ReductionPaletteIsBaseColoursThenTwinsThenGreys)
{
    TZQXTColorSplayTree tree;
    countColoursWithBase(distinctColours(1000), tree, {});
    TPaletteArray palette;
    palette.fill(0x777777);
    int32_t count = 3;
    buildReductionPalette(tree, palette, count);
    EXPECT_EQ(count, 256);
    EXPECT_TRUE(std::equal(kBaseColours.begin(), kBaseColours.end(), palette.begin()));
    EXPECT_EQ(std::set<ColourValue>(palette.begin(), palette.end()).size(), 256u);
    // Both blue parities near every chosen colour.
    EXPECT_EQ(palette[17], palette[16] ^ 0x010000);
}

} // namespace
