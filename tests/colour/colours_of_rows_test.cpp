// SPDX-License-Identifier: Apache-2.0
// The colour count and save palette from rows visited once, a band at a
// time, against the census of the whole picture.
#include "colour/ColourCount.h"
#include "colour/Palette.h"
#include "support/BandRows.h"
#include "util/Picture.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace ostrel;
using ostrel::testing::BandRows;

namespace {

QImage noise(int width, int height, uint32_t seed, uint8_t mask = 0xFF)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x)
            picture.scanLine(y)[x] = uint8_t(rng() & mask);
    return picture;
}

// The base colours and a few more: a palette that must hold them once each.
QImage baseColoursAndMore()
{
    QImage picture = allocatePicture(20, 3);
    for (int x = 0; x < 20; ++x) {
        const ColourValue colour = x < 16 ? kBaseColours[size_t(x)] : colorValue(uint8_t(x), 7, 9);
        for (int y = 0; y < 3; ++y) {
            uint8_t* pixel = picture.scanLine(y) + 3 * x;
            pixel[0] = blueOf(colour);
            pixel[1] = greenOf(colour);
            pixel[2] = redOf(colour);
        }
    }
    return picture;
}

struct PictureCase {
    const char* name;
    std::function<QImage()> make;
};

TEST(ColoursOfRows, GiveTheCensussCountAndSavePalette)
{
    const PictureCase cases[] = {
        {"1x1", [] { return noise(1, 1, 1); }},
        {"17x9, 153 colours: a palette of 256", [] { return noise(17, 9, 2); }},
        {"64 colours of two bits a channel", [] { return noise(101, 67, 3, 0xC0); }},
        {"the base colours among its own", baseColoursAndMore},
        {"over 256 colours: no palette", [] { return noise(33, 20, 4); }},
        {"640x480 noise", [] { return noise(640, 480, 5); }},
        {"in another format", [] { return noise(31, 7, 6, 0xE0).convertToFormat(QImage::Format_RGB32); }},
        {"null", [] { return QImage(); }},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage picture = c.make();
        TZQXTColorSplayTree tree;
        const ColourCount census = countColoursWithBase(picture, tree, {});
        const SavePalette save = savePaletteFromTree(tree);
        BandRows rows(picture);
        const ColoursOfRows counted = countColoursOfRows(rows);
        EXPECT_EQ(counted.count.own, census.own);
        EXPECT_EQ(counted.count.total, census.total);
        EXPECT_EQ(counted.count.text, census.text);
        EXPECT_EQ(counted.save.count, save.count);
        EXPECT_EQ(counted.save.palette, save.palette);
        EXPECT_LE(rows.passes(), 1);
    }
}

} // namespace
