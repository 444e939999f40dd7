// SPDX-License-Identifier: Apache-2.0
// The colour census: counts against a plain per-pixel count, rectangles,
// progress calls, and pictures in other formats.
#include "colour/Census.h"
#include "util/Picture.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

using Counts = std::map<ColourValue, int32_t>;

Counts treeCounts(TZQXTColorSplayTree& tree)
{
    Counts counts;
    ColourValue previous = 0;
    for (tree.First(); tree.HasCurrent(); tree.Next()) {
        if (!counts.empty()) {
            EXPECT_GT(tree.CurrentKey(), previous) << "walk not ascending";
        }
        previous = tree.CurrentKey();
        counts[tree.CurrentKey()] = tree.CurrentValue();
    }
    EXPECT_EQ(size_t(tree.Count()), counts.size());
    return counts;
}

// One pixel at a time, the colour value built from the blue, green, red bytes.
Counts plainCount(const QImage& picture, int x1, int y1, int x2, int y2)
{
    Counts counts;
    for (int y = y1; y <= y2; ++y) {
        const uint8_t* row = picture.constScanLine(y);
        for (int x = x1; x <= x2; ++x)
            ++counts[colorValue(row[3 * x + 2], row[3 * x + 1], row[3 * x])];
    }
    return counts;
}

Counts census(const QImage& picture)
{
    TZQXTColorSplayTree tree;
    CountColorsQuiet(picture, &tree);
    return treeCounts(tree);
}

// Blue values 0, 37, 74, … (blueValues of them), or with `skewed` many
// pixels of low blue and few of high blue.
QImage randomPicture(int width, int height, uint32_t seed, int blueValues, int greenRedValues, bool skewed = false)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = skewed ? uint8_t((rng() % 256) * (rng() % 256) / 255) : uint8_t(rng() % uint32_t(blueValues) * 37);
            const uint32_t greenRed = rng() % uint32_t(greenRedValues) * 40503u;
            row[3 * x + 1] = uint8_t(greenRed >> 8);
            row[3 * x + 2] = uint8_t(greenRed);
        }
    }
    return picture;
}

struct PictureCase {
    const char* what;
    int width, height;
    int blueValues, greenRedValues;
    bool skewed;
};

// The census deals pixels out by blue value: few blue values make planes of
// many pixels, counted through a table; many make small planes, which are
// sorted. The wide picture has columns past 32 767, which are counted too.
const PictureCase kPictures[] = {
    {"one pixel", 1, 1, 1, 1, false},
    {"small, many colours", 37, 23, 256, 65536, false},
    {"large planes", 300, 200, 3, 65536, false},
    {"large planes, few colours", 300, 200, 2, 5, false},
    {"large and small planes", 640, 480, 256, 4000, true},
    {"one row", 4001, 1, 50, 300, false},
    {"one column", 1, 3001, 50, 300, false},
    {"wider than 32768", 40000, 2, 4, 1000, false},
};

TEST(Census, CountsEveryColourOfEveryPixelLikeAPlainCount)
{
    uint32_t seed = 1;
    for (const PictureCase& c : kPictures) {
        const QImage picture = randomPicture(c.width, c.height, seed++, c.blueValues, c.greenRedValues, c.skewed);
        const Counts counts = census(picture);
        EXPECT_EQ(counts, plainCount(picture, 0, 0, c.width - 1, c.height - 1)) << c.what;
        int64_t total = 0;
        for (const auto& entry : counts)
            total += entry.second;
        EXPECT_EQ(total, int64_t(c.width) * c.height) << c.what;
    }
}

TEST(Census, EveryPossibleColourOnce)
{
    QImage picture = allocatePicture(4096, 4096);
    for (int y = 0; y < 4096; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < 4096; ++x) {
            const uint32_t colour = uint32_t(y) * 4096 + uint32_t(x);
            row[3 * x + 2] = uint8_t(colour);
            row[3 * x + 1] = uint8_t(colour >> 8);
            row[3 * x] = uint8_t(colour >> 16);
        }
    }
    TZQXTColorSplayTree tree;
    CountColorsQuiet(picture, &tree);
    ASSERT_EQ(tree.Count(), 1 << 24);
    ColourValue expected = 0;
    bool allOnce = true;
    for (tree.First(); tree.HasCurrent(); tree.Next())
        allOnce = allOnce && tree.CurrentKey() == expected++ && tree.CurrentValue() == 1;
    EXPECT_TRUE(allOnce);
    EXPECT_EQ(expected, 1u << 24);
}

TEST(Census, OneColourGivesOneKeyCountingEveryPixel)
{
    const QImage picture = allocateFilledPicture(13, 7, 1, 2, 3);
    const Counts expected = {{colorValue(1, 2, 3), 13 * 7}};
    EXPECT_EQ(census(picture), expected);
    EXPECT_EQ(colorValue(1, 2, 3), 0x030201u);
}

TEST(Census, RectanglesAreNormalisedAndClipped)
{
    const QImage picture = randomPicture(20, 10, 5, 256, 65536);
    struct Case {
        int x1, y1, x2, y2;
        int cx1, cy1, cx2, cy2; // the rectangle actually counted
    };
    const Case cases[] = {
        {2, 3, 9, 7, 2, 3, 9, 7},
        {9, 7, 2, 3, 2, 3, 9, 7},        // corners swapped
        {9, 3, 2, 7, 2, 3, 9, 7},        // x swapped only
        {-5, -5, 100, 100, 0, 0, 19, 9}, // clipped on every side
        {19, 9, 19, 9, 19, 9, 19, 9},    // the last pixel
    };
    for (const Case& c : cases) {
        TZQXTColorSplayTree tree;
        CountColorsInRect(picture, c.x1, c.y1, c.x2, c.y2, &tree, {});
        EXPECT_EQ(treeCounts(tree), plainCount(picture, c.cx1, c.cy1, c.cx2, c.cy2))
            << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
}

TEST(Census, NothingToCountLeavesTheTreeAndCallsNoProgress)
{
    const QImage picture = allocateFilledPicture(10, 10, 0, 0, 0);
    struct Case {
        const char* what;
        QImage picture;
        int x1, y1, x2, y2;
    };
    const Case cases[] = {
        {"right of the picture", picture, 10, 0, 20, 9},
        {"above the picture", picture, 0, -9, 9, -1},
        {"left, corners swapped", picture, -1, 0, -8, 9},
        {"no picture", QImage(), 0, 0, 9, 9},
    };
    for (const Case& c : cases) {
        TZQXTColorSplayTree tree;
        tree.AddCount(0x112233, 4);
        std::vector<int32_t> calls;
        CountColorsInRect(c.picture, c.x1, c.y1, c.x2, c.y2, &tree, [&](int32_t p) { calls.push_back(p); });
        EXPECT_TRUE(calls.empty()) << c.what;
        const Counts kept = {{0x112233, 4}};
        EXPECT_EQ(treeCounts(tree), kept) << c.what;
    }
    TZQXTColorSplayTree tree;
    tree.AddCount(0x112233, 4);
    CountColors(QImage(), &tree, {});
    EXPECT_EQ(tree.Count(), 1);
    // No tree: nothing happens, and nothing crashes.
    std::vector<int32_t> calls;
    CountColorsInRect(picture, 0, 0, 9, 9, nullptr, [&](int32_t p) { calls.push_back(p); });
    EXPECT_TRUE(calls.empty());
}

TEST(Census, ProgressIsMinusOneThenOncePerRow)
{
    struct Case {
        int rows;
        std::vector<int32_t> expected;
    };
    const Case cases[] = {
        {1, {-1, 100}},
        {3, {-1, 33, 66, 100}},
        {7, {-1, 14, 28, 42, 57, 71, 85, 100}},
    };
    for (const Case& c : cases) {
        const QImage picture = allocateFilledPicture(5, c.rows, 9, 9, 9);
        TZQXTColorSplayTree tree;
        std::vector<int32_t> calls;
        CountColors(picture, &tree, [&](int32_t p) { calls.push_back(p); });
        EXPECT_EQ(calls, c.expected) << c.rows;
    }
    // A rectangle's rows, not the picture's.
    const QImage picture = allocateFilledPicture(5, 50, 9, 9, 9);
    TZQXTColorSplayTree tree;
    std::vector<int32_t> calls;
    CountColorsInRect(picture, 0, 40, 4, 41, &tree, [&](int32_t p) { calls.push_back(p); });
    EXPECT_EQ(calls, (std::vector<int32_t>{-1, 50, 100}));
}

TEST(Census, CountingAgainReplacesTheCounts)
{
    const QImage picture = randomPicture(64, 64, 3, 8, 8);
    TZQXTColorSplayTree tree;
    CountColorsQuiet(picture, &tree);
    const Counts first = treeCounts(tree);
    CountColorsQuiet(picture, &tree);
    EXPECT_EQ(treeCounts(tree), first);
    CountColorsQuiet(allocateFilledPicture(2, 2, 7, 7, 7), &tree);
    EXPECT_EQ(treeCounts(tree), (Counts{{colorValue(7, 7, 7), 4}}));
}

// Pictures not yet in the working format are counted by their colours as
// the working format would hold them.
TEST(Census, OtherPixelFormatsCountTheirColours)
{
    const QImage source = randomPicture(97, 71, 9, 30, 50);
    QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
    QImage mono = source.convertToFormat(QImage::Format_Mono);
    QImage translucent = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y)
        for (int x = 0; x < translucent.width(); x += 3)
            translucent.setPixelColor(x, y, QColor(x % 256, y % 256, 50, 128));
    const QImage formats[] = {
        source.convertToFormat(QImage::Format_RGB32), indexed, mono, translucent,
        source.convertToFormat(QImage::Format_RGB16), source.convertToFormat(QImage::Format_RGBA64)};
    for (const QImage& picture : formats) {
        const QImage working = picture.convertToFormat(kPictureFormat);
        EXPECT_EQ(census(picture), plainCount(working, 0, 0, working.width() - 1, working.height() - 1))
            << picture.format();
        TZQXTColorSplayTree tree;
        CountColorsInRect(picture, 90, 3, 20, 65, &tree, {});
        EXPECT_EQ(treeCounts(tree), plainCount(working, 20, 3, 90, 65)) << picture.format();
    }
    // Taller than one converted strip of rows.
    const QImage tall = randomPicture(3, 500, 4, 256, 256).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(census(tall), plainCount(tall.convertToFormat(kPictureFormat), 0, 0, 2, 499));
}

} // namespace
