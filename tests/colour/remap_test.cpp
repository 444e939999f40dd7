// SPDX-License-Identifier: Apache-2.0
// Remapping a picture to a palette, with and without Floyd–Steinberg error
// diffusion.
#include "colour/PaletteSearch.h"
#include "util/Picture.h"

#include "colour/PaletteFixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ostrel;
using namespace ostrel::colourtest;

namespace {


QImage greyPicture(std::initializer_list<std::initializer_list<int>> rows)
{
    QImage picture = allocatePicture(int(rows.begin()->size()), int(rows.size()));
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int level : row) {
            uint8_t* px = picture.scanLine(y) + 3 * x++;
            px[0] = px[1] = px[2] = uint8_t(level);
        }
        ++y;
    }
    return picture;
}

// Grey levels of the picture (the red byte), row by row.
std::vector<std::vector<int>> greyLevels(const QImage& picture)
{
    std::vector<std::vector<int>> levels;
    for (int y = 0; y < picture.height(); ++y) {
        levels.emplace_back();
        for (int x = 0; x < picture.width(); ++x)
            levels.back().push_back(picture.constScanLine(y)[3 * x + 2]);
    }
    return levels;
}

void remapAll(QImage& picture, const TPaletteArray& palette, int32_t count, bool dither)
{
    RemapToPalette(picture, 0, 0, picture.width() - 1, picture.height() - 1, palette, count, dither, {});
}

const TPaletteArray kBlackWhite = paletteOf({grey(0), grey(255)});

// 2 × 2 of grey 100 on black and white, worked by hand:
// (0,0) 100 → black, error 100: right +43 (700/16), below +31, below right +18.
// (1,0) 143 → white, error −112: below left −7, below −35 (rightmost: no right).
// (0,1) 124 → black, error 124: right +54 (bottom row: only to the right).
// (1,1) 100 + 18 − 35 + 54 = 137 → white.
TEST(RemapToPalette, DiffusesTheErrorByHand)
{
    QImage picture = greyPicture({{100, 100}, {100, 100}});
    remapAll(picture, kBlackWhite, 2, true);
    EXPECT_EQ(greyLevels(picture), (std::vector<std::vector<int>>{{0, 255}, {0, 255}}));
}

// Each case: a row of two pixels whose first pixel's error reaches the
// second, and a palette fine enough to show the diffused value exactly.
TEST(RemapToPalette, DiffusionTruncatesTowardZeroAndSaturates)
{
    struct Case {
        const char* what;
        int first, second;
        TPaletteArray palette;
        int count;
        int expectedSecond;
    };
    const Case cases[] = {
        // 250 → 255, error −5: −35 / 16 = −2 (not −3), so 100 becomes 98.
        {"negative error truncates", 250, 100, paletteOf({grey(255), grey(97), grey(98)}), 3, 98},
        // 4 → 0, error 4: 28 / 16 = 1, so 100 becomes 101.
        {"positive error truncates", 4, 100, paletteOf({grey(0), grey(101), grey(102)}), 3, 101},
        // 10 → 0, error 10: +4 on 253 saturates at 255.
        {"saturates at 255", 10, 253, paletteOf({grey(0), grey(255), grey(254)}), 3, 255},
        // 245 → 255, error −10: −4 on 2 saturates at 0.
        {"saturates at 0", 245, 2, paletteOf({grey(255), grey(0), grey(1)}), 3, 0},
    };
    for (const Case& c : cases) {
        QImage picture = greyPicture({{c.first, c.second}});
        remapAll(picture, c.palette, c.count, true);
        EXPECT_EQ(greyLevels(picture)[0][1], c.expectedSecond) << c.what;
    }
}

// Mid-grey on black and white: dithering makes a pattern whose share of
// white follows the grey level; without it every pixel takes the same colour.
TEST(RemapToPalette, MidGreyBecomesAPatternOnlyWhenDithering)
{
    for (int level : {64, 128, 192}) {
        QImage dithered = allocateFilledPicture(64, 64, uint8_t(level), uint8_t(level), uint8_t(level));
        QImage plain = dithered.copy();
        remapAll(dithered, kBlackWhite, 2, true);
        remapAll(plain, kBlackWhite, 2, false);
        int white = 0;
        for (const auto& row : greyLevels(dithered))
            for (int v : row) {
                ASSERT_TRUE(v == 0 || v == 255);
                white += v == 255;
            }
        EXPECT_NEAR(white / 4096.0, level / 255.0, 0.03) << level;
        const int expected = level >= 128 ? 255 : 0;
        for (const auto& row : greyLevels(plain))
            for (int v : row)
                ASSERT_EQ(v, expected) << level;
    }
}

// Only the rectangle changes, and no error leaves it.
TEST(RemapToPalette, StaysInsideTheRectangle)
{
    QImage picture = allocateFilledPicture(6, 5, 100, 100, 100);
    const QImage before = picture.copy();
    RemapToPalette(picture, 4, 3, 1, 1, kBlackWhite, 2, true, {}); // corners swapped: 1..4 × 1..3
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x <= 4 && y >= 1 && y <= 3;
            const int v = picture.constScanLine(y)[3 * x];
            if (inside)
                EXPECT_TRUE(v == 0 || v == 255) << x << "," << y;
            else
                EXPECT_EQ(v, 100) << x << "," << y;
        }
    // The pattern inside equals remapping the rectangle as a picture of its own.
    QImage alone = before.copy(1, 1, 4, 3);
    remapAll(alone, kBlackWhite, 2, true);
    EXPECT_EQ(picture.copy(1, 1, 4, 3), alone);
}

TEST(RemapToPalette, TooManyColoursOnlyConvertsAndNothingToDoChangesNothing)
{
    QImage argb(3, 2, QImage::Format_ARGB32);
    argb.fill(QColor(10, 20, 30));
    QImage picture = argb;
    RemapToPalette(picture, 0, 0, 2, 1, kBlackWhite, 300, true, {});
    EXPECT_EQ(picture.format(), kPictureFormat);
    EXPECT_EQ(picture.pixelColor(2, 1), QColor(10, 20, 30));

    // An empty rectangle returns before any conversion.
    QImage untouched = argb;
    RemapToPalette(untouched, 5, 0, 9, 1, kBlackWhite, 2, true, {});
    EXPECT_EQ(untouched.format(), QImage::Format_ARGB32);
    QImage null;
    RemapToPalette(null, 0, 0, 1, 1, kBlackWhite, 2, true, {});
    EXPECT_TRUE(null.isNull());
}

TEST(RemapToPalette, ProgressOncePerRowWithoutAStartCall)
{
    QImage picture = allocateFilledPicture(2, 40, 1, 2, 3);
    std::vector<int32_t> calls;
    RemapToPalette(picture, 0, 10, 1, 12, kBlackWhite, 2, false, [&](int32_t p) { calls.push_back(p); });
    EXPECT_EQ(calls, (std::vector<int32_t>{33, 66, 100}));
}

// Without dithering the result is the nearest palette colour of each pixel
// on its own; a colour count below 2 still uses entries 0 and 1.
TEST(RemapToPalette, WithoutDitherEachPixelTakesItsNearestColour)
{
    const TPaletteArray palette = paletteOf({0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF});
    QImage picture = allocatePicture(4, 1);
    const ColourValue in[] = {0x0000C0, 0x10E010, 0xD00000, 0xE0E0E0};
    const ColourValue expected[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int x = 0; x < 4; ++x) {
        uint8_t* px = picture.scanLine(0) + 3 * x;
        px[0] = blueOf(in[x]);
        px[1] = greenOf(in[x]);
        px[2] = redOf(in[x]);
    }
    QImage two = picture.copy();
    remapAll(picture, palette, 4, false);
    remapAll(two, palette, 0, false);
    for (int x = 0; x < 4; ++x) {
        const uint8_t* px = picture.constScanLine(0) + 3 * x;
        EXPECT_EQ(colorValue(px[2], px[1], px[0]), expected[x]) << x;
        const uint8_t* p2 = two.constScanLine(0) + 3 * x;
        const ColourValue c = colorValue(p2[2], p2[1], p2[0]);
        EXPECT_TRUE(c == 0x0000FF || c == 0x00FF00) << x;
    }
}

} // namespace
