// SPDX-License-Identifier: Apache-2.0
// The palette record and the octree palette builder.
#include "colour/Palette.h"

#include "colour/PaletteFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace ostrel;
using namespace ostrel::colourtest;

namespace {

struct Census {
    ColourValue colour;
    int32_t count;
};

TZQXTColorSplayTree treeOf(std::initializer_list<Census> census)
{
    TZQXTColorSplayTree tree;
    for (const Census& c : census)
        tree.AddCount(c.colour, c.count);
    return tree;
}

// The base colours followed by `extra`.
TPaletteArray paletteWith(const std::vector<ColourValue>& extra, int32_t& count)
{
    TPaletteArray palette;
    InitPalette(palette);
    count = 16;
    for (ColourValue c : extra)
        EXPECT_TRUE(PaletteAdd(palette, count, c));
    return palette;
}

std::vector<ColourValue> entries(const TPaletteArray& palette, int32_t from, int32_t to)
{
    return std::vector<ColourValue>(palette.begin() + from, palette.begin() + to);
}

struct Built {
    TPaletteArray palette;
    int32_t count;
    // The entries from `first` up to the count.
    std::vector<ColourValue> from(int32_t first) const { return entries(palette, first, count); }
};

// Palette_Build on the base colours followed by `present`.
Built build(const TZQXTColorSplayTree& tree, int32_t maxColours, bool twins, bool useAverage,
            const std::vector<ColourValue>& present = {})
{
    Built built;
    built.palette = paletteWith(present, built.count);
    Palette_Build(built.palette, built.count, maxColours, twins, useAverage, tree);
    return built;
}

constexpr ColourValue twin(ColourValue c) { return c ^ 0x010000; }

TEST(PaletteRecord, InitPaletteWritesTheSixteenBaseColoursAndZeroes)
{
    TPaletteArray palette;
    palette.fill(0xABCDEF);
    InitPalette(palette);
    const std::vector<ColourValue> base = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                           0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                           0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    EXPECT_EQ(entries(palette, 0, 16), base);
    EXPECT_TRUE(std::all_of(palette.begin() + 16, palette.end(), [](ColourValue c) { return c == 0; }));
    // Navy is blue 128: blue lives in bits 16-23.
    EXPECT_EQ(blueOf(palette[4]), 0);
    EXPECT_EQ(redOf(palette[4]), 128);
}

TEST(PaletteRecord, ContainsLooksAtMostAtTheFirst255Entries)
{
    TPaletteArray palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = ColourValue(i + 1);
    struct Case {
        int32_t count;
        ColourValue colour;
        bool expected;
    };
    const Case cases[] = {
        {16, 16, true},  {16, 17, false}, {0, 1, false},    {-3, 1, false},
        {255, 255, true}, {256, 256, false}, {300, 256, false}, {300, 255, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PaletteContains(palette, c.count, c.colour), c.expected) << c.count << " " << c.colour;
}

TEST(PaletteRecord, AddRefusesDuplicatesAndAFullPalette)
{
    TPaletteArray palette;
    InitPalette(palette);
    int32_t count = 16;
    EXPECT_FALSE(PaletteAdd(palette, count, 0xFFFFFF));
    EXPECT_EQ(count, 16);
    EXPECT_TRUE(PaletteAdd(palette, count, 0x123456));
    EXPECT_EQ(count, 17);
    EXPECT_EQ(palette[16], 0x123456u);

    count = -5; // taken as empty
    EXPECT_TRUE(PaletteAdd(palette, count, 0x000001));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(palette[0], 0x000001u);

    count = 256;
    EXPECT_FALSE(PaletteAdd(palette, count, 0x999999));
    EXPECT_EQ(count, 256);
    count = 255;
    EXPECT_TRUE(PaletteAdd(palette, count, 0x999999));
    EXPECT_EQ(palette[255], 0x999999u);
    EXPECT_FALSE(PaletteAdd(palette, count, 0x999998));
}

// Two colours in opposite corners of the cube: the first split puts each in
// a one-colour box. One-colour boxes are taken and put back until the
// attempts outnumber the queue, which leaves the queue as [far, near]; the
// palette therefore gets the far colour first.
TEST(PaletteBuild, FewColoursEachEnterWithTheirTwinsInQueueOrder)
{
    const ColourValue nearBlack = 0x102030, nearWhite = 0xF0E0D0;
    const TZQXTColorSplayTree tree = treeOf({{nearBlack, 5}, {nearWhite, 3}});
    auto [palette, count] = build(tree, 256, true, true);
    ASSERT_EQ(count, 256);
    const std::vector<ColourValue> chosen = {nearWhite, twin(nearWhite), nearBlack, twin(nearBlack)};
    EXPECT_EQ(entries(palette, 16, 20), chosen);
    // The greys fill up to 256, skipping black, grey, silver and white.
    EXPECT_EQ(palette[20], grey(1));
    EXPECT_EQ(palette[20 + 126], grey(127));
    EXPECT_EQ(palette[20 + 127], grey(129));
    EXPECT_EQ(palette[255], grey(238));
    EXPECT_EQ(std::set<ColourValue>(palette.begin(), palette.end()).size(), 256u);
}

// The main window's call: 240 free entries with twins make a target of 120
// boxes; a census of many colours yields at most 120 colours with their
// twins, and greys complete the 256.
TEST(PaletteBuild, TheReductionCallChoosesAtMost120ColoursWithTwins)
{
    TZQXTColorSplayTree tree;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 7)
            for (int b = 0; b < 256; b += 11)
                tree.AddCount(colorValue(uint8_t(r), uint8_t(g), uint8_t(b)), 1 + (r + g + b) % 13);
    const std::vector<std::pair<int32_t, int32_t>> before = [&] {
        std::vector<std::pair<int32_t, int32_t>> pairs;
        tree.forEachAscending([&](int32_t k, int32_t v) { pairs.emplace_back(k, v); });
        return pairs;
    }();
    auto [palette, count] = build(tree, 256, true, true);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(std::set<ColourValue>(palette.begin(), palette.end()).size(), 256u);

    // Chosen colours come in pairs (c, c with its lowest blue bit flipped).
    int pairs = 0;
    int i = 16;
    while (i + 1 < 256 && palette[size_t(i) + 1] == twin(palette[size_t(i)])) {
        ++pairs;
        i += 2;
    }
    EXPECT_GT(pairs, 60);
    EXPECT_LE(pairs, 120);
    // Whatever follows the pairs is grey.
    for (; i < 256; ++i) {
        const ColourValue c = palette[size_t(i)];
        EXPECT_TRUE(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c)) << i;
    }
    // The census was only read.
    std::vector<std::pair<int32_t, int32_t>> after;
    tree.forEachAscending([&](int32_t k, int32_t v) { after.emplace_back(k, v); });
    EXPECT_EQ(after, before);
}

TEST(PaletteBuild, AFixedColourAloneIsNotChosenAgain)
{
    const TZQXTColorSplayTree tree = treeOf({{0x00FFFF, 76800}}); // aqua
    auto [palette, count] = build(tree, 256, true, true);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(palette[16], grey(1));
}

TEST(PaletteBuild, AnEmptyCensusGivesBaseColoursAndGreys)
{
    const TZQXTColorSplayTree tree;
    auto [palette, count] = build(tree, 40, true, true);
    EXPECT_EQ(count, 40);
    EXPECT_EQ(palette[16], grey(1));
    EXPECT_EQ(palette[39], grey(24));
}

// An odd number of free entries with twins rounds the target up, so the
// palette can end one beyond MaxColors, or stop at 256 refusing the last twin.
// The target of 2 is reached by the first split, so the boxes stay in split
// order: near black first.
TEST(PaletteBuild, OddFreeEntriesWithTwinsCanOvershootByOne)
{
    const ColourValue nearBlack = 0x102030, nearWhite = 0xF0E0D0;
    const TZQXTColorSplayTree tree = treeOf({{nearBlack, 5}, {nearWhite, 3}});

    const Built beyond = build(tree, 19, true, true);
    EXPECT_EQ(beyond.count, 20);
    EXPECT_EQ(beyond.from(16), (std::vector<ColourValue>{nearBlack, twin(nearBlack), nearWhite, twin(nearWhite)}));

    std::vector<ColourValue> filler;
    for (int i = 0; i < 237; ++i)
        filler.push_back(0x000100 + ColourValue(i)); // green 1, red 0..236, 253 entries in all
    const Built full = build(tree, 256, true, true, filler);
    EXPECT_EQ(full.from(253), (std::vector<ColourValue>{nearBlack, twin(nearBlack), nearWhite}));
}

// With no room left the target is 0: the whole cube is one box, which still
// contributes its colour (and twin), even beyond MaxColors; no greys follow.
TEST(PaletteBuild, TargetZeroStillAddsOneRepresentative)
{
    const TZQXTColorSplayTree tree = treeOf({{0x000010, 1}, {0x000030, 3}});
    struct Case {
        const char* what;
        bool twins;
        int32_t maxColours;
        std::vector<ColourValue> added;
    };
    const Case cases[] = {
        // red (16 × 1 + 48 × 3) / 4 = 40
        {"average and twin", true, 16, {0x000028, twin(0x000028)}},
        {"average", false, 16, {0x000028}},
        {"MaxColors below the count", false, 5, {0x000028}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(build(tree, c.maxColours, c.twins, true).from(16), c.added) << c.what;
    }
}

// One box (target 0) and a palette that already holds some of its
// candidates: the average (or most frequent colour), then the median, then
// the rarest, then the first colour even if present.
// Box: red 10 ×2, 20 ×2, 30 ×1, 40 ×3, 50 ×2 (green and blue 0).
// Average red 310 / 10 = 31; most frequent 40; rarest 30; median position
// 5 div 2 = 2, red 20; first 10.
TEST(PaletteBuild, ARepresentativeAlreadyPresentFallsBackInOrder)
{
    const TZQXTColorSplayTree tree = treeOf({{10, 2}, {20, 2}, {30, 1}, {40, 3}, {50, 2}});
    struct Case {
        const char* what;
        bool useAverage;
        std::vector<ColourValue> present;
        std::vector<ColourValue> added;
    };
    const Case cases[] = {
        {"average", true, {}, {31}},
        {"median", true, {31}, {20}},
        {"rarest", true, {31, 20}, {30}},
        {"first", true, {31, 20, 30}, {10}},
        {"first, already present", true, {31, 20, 30, 10}, {}},
        {"most frequent", false, {}, {40}},
        {"median after most frequent", false, {40}, {20}},
        {"rarest after most frequent and median", false, {40, 20}, {30}},
    };
    for (const Case& c : cases) {
        const int32_t before = 16 + int32_t(c.present.size());
        EXPECT_EQ(build(tree, before, false, c.useAverage, c.present).from(before), c.added) << c.what;
    }

    // With twins the twin is added even when the chosen colour was present.
    EXPECT_EQ(build(tree, 20, true, true, {31, 20, 30, 10}).from(20), (std::vector<ColourValue>{twin(10)}));
}

TEST(PaletteBuild, MostFrequentTiesGoToTheLowestColourValue)
{
    const TZQXTColorSplayTree tree = treeOf({{0x300000, 4}, {0x100000, 4}, {0x200000, 1}});
    EXPECT_EQ(build(tree, 16, false, false).from(16), (std::vector<ColourValue>{0x100000}));
}

// A box is split only when all its non-empty octants fit in the target.
// Three colours in three octants with room for two boxes: the cube stays
// whole, and its average (rounded down per channel) is chosen, then greys.
TEST(PaletteBuild, ASplitThatWouldExceedTheTargetIsNotMade)
{
    const TZQXTColorSplayTree tree = treeOf({{0x0000F0, 1}, {0x00F000, 1}, {0xF00000, 1}});
    EXPECT_EQ(build(tree, 18, false, true).from(16), (std::vector<ColourValue>{0x505050, grey(1)}));

    // With room for three boxes the split is made: one colour each.
    const std::vector<ColourValue> three = build(tree, 19, false, true).from(16);
    EXPECT_EQ(std::set<ColourValue>(three.begin(), three.end()), (std::set<ColourValue>{0x0000F0, 0x00F000, 0xF00000}));
    EXPECT_EQ(three.size(), 3u);
}

// Octants split further level by level: two colours that share an octant of
// the cube are separated by the second split, as long as the target allows.
TEST(PaletteBuild, BoxesSplitLevelByLevelUntilColoursSeparate)
{
    const TZQXTColorSplayTree tree = treeOf({{0x000010, 2}, {0x000050, 2}, {0x0000F0, 2}});
    const std::vector<ColourValue> three = build(tree, 16 + 3, false, true).from(16);
    EXPECT_EQ(std::set<ColourValue>(three.begin(), three.end()), (std::set<ColourValue>{0x000010, 0x000050, 0x0000F0}));
    EXPECT_EQ(three.size(), 3u);

    // Room for two: the first split gives [reds 0x10 and 0x50] and [0xF0];
    // the first box cannot split further without a third box, so it gives
    // its average.
    EXPECT_EQ(build(tree, 16 + 2, false, true).from(16), (std::vector<ColourValue>{0x000030, 0x0000F0}));
}

TEST(PaletteBuild, ArgumentsAreClamped)
{
    const TZQXTColorSplayTree tree = treeOf({{0x102030, 1}});
    int32_t count = 400;
    TPaletteArray palette;
    InitPalette(palette);
    Palette_Build(palette, count, 1000, false, true, tree);
    EXPECT_EQ(count, 256);

    InitPalette(palette);
    count = -7;
    Palette_Build(palette, count, 1, false, true, tree);
    // Count 0, MaxColors 2: room for two, one colour, then one grey (black,
    // which the cleared count no longer holds).
    EXPECT_EQ(count, 2);
    EXPECT_EQ(palette[0], 0x102030u);
    EXPECT_EQ(palette[1], grey(0));
}

} // namespace
