// SPDX-License-Identifier: Apache-2.0
// The BMP and GIF writers store the same palette index for every pixel: the
// one the remapping gives, walking the picture from the top with a search
// whose list reorders itself, so that equally near entries are settled alike
// in both files.
#include "imageio/bmp_test_support.h"
#include "imageio/gif_test_support.h"

#include "colour/PaletteSearch.h"
#include "imageio/bmp.h"
#include "imageio/gif.h"

#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

// Indices of an uncompressed 1-, 4- or 8-bit file, by picture row.
std::vector<std::vector<int>> bmpIndices(const QByteArray& file)
{
    const uint32_t offset = u32At(file, 10);
    const int width = int(u32At(file, 18)), height = int(u32At(file, 22));
    const int bits = uint8_t(file[28]);
    const qsizetype rowSize = (qsizetype(width) * bits + 31) / 32 * 4;
    std::vector<std::vector<int>> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const qsizetype start = offset + rowSize * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const int bitPosition = x * bits;
            const int byte = uint8_t(file[start + bitPosition / 8]);
            rows[size_t(y)].push_back((byte >> (8 - bits - bitPosition % 8)) & ((1 << bits) - 1));
        }
    }
    return rows;
}

std::vector<std::vector<int>> gifIndices(const QByteArray& file)
{
    const WrittenGif gif = parseWrittenGif(file);
    EXPECT_EQ(gif.error, "");
    return gif.rows;
}

// Part of the remapping written from its description alone: a front-to-back
// scan per pixel, top row first, that stops at an exact match and moves the
// entry found one place forward.
std::vector<std::vector<int>> modelIndices(const QImage& picture, const TPaletteArray& palette, int32_t count)
{
    SequentialPaletteSearch search(palette, count);
    std::vector<std::vector<int>> rows(size_t(picture.height()));
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x, p += 3)
            rows[size_t(y)].push_back(search.Search(pfAny, tripleValue(p[0], p[1], p[2])));
    }
    return rows;
}

QImage pictureOfRgb(int width, int height, const std::vector<std::array<uint8_t, 3>>& rgb)
{
    QImage picture = allocatePicture(width, height);
    for (size_t i = 0; i < rgb.size(); ++i)
        picture.setPixel(int(i) % width, int(i) / width, qRgb(rgb[i][0], rgb[i][1], rgb[i][2]));
    return picture;
}

} // namespace

// X = (1,0,0) is as near to black as to B = (2,0,0). The first X takes black,
// the first entry; each B moves its entry forward, so the last X takes B.
// When the first X comes only in a later row, the Bs before it still count.
TEST(PalettedWriters, TiesFollowTheReorderedListInBothFiles)
{
    TPaletteArray palette{};
    palette[0] = colorValue(0, 0, 0);
    palette[1] = colorValue(2, 0, 0);
    struct Case {
        const char* what;
        QImage picture;
        std::vector<std::vector<int>> expected;
    };
    const Case cases[] = {
        {"one row", pictureOfRgb(4, 1, {{1, 0, 0}, {2, 0, 0}, {2, 0, 0}, {1, 0, 0}}), {{0, 1, 1, 1}}},
        {"first tie in the third row",
         pictureOfRgb(2, 3, {{2, 0, 0}, {0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {1, 0, 0}, {0, 0, 0}}),
         {{1, 0}, {1, 1}, {1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(bmpIndices(bmpOf(c.picture, palette, 2)), c.expected);
        EXPECT_EQ(gifIndices(gifOf(c.picture, palette, 2)), c.expected);
        EXPECT_EQ(gifIndices(gifOf(c.picture, palette, 2, true)), c.expected);
        for (const QByteArray& file : {bmpOf(c.picture, palette, 2), gifOf(c.picture, palette, 2)}) {
            const QImage back =
                loadBytes(file.startsWith("BM") ? QStringLiteral("t.bmp") : QStringLiteral("t.gif"), file).picture;
            for (int y = 0; y < back.height(); ++y)
                for (int x = 0; x < back.width(); ++x)
                    EXPECT_EQ(qRed(back.pixel(x, y)), 2 * c.expected[size_t(y)][size_t(x)]) << x << "," << y;
        }
    }
}

// Pictures whose colours are mostly not in the palette, over coarse palettes
// with repeated colours, so that ties and duplicates are everywhere.
TEST(PalettedWriters, EveryPictureGetsTheRemappingsIndicesInBothFiles)
{
    struct Case {
        const char* what;
        int32_t count; // 2, 16 or 256: the BMP table then holds exactly the searched entries
        int levels;    // values per channel of palette and picture
        int width, height;
    };
    const Case cases[] = {
        {"two entries, grey levels", 2, 3, 17, 9},
        {"16 coarse entries", 16, 3, 31, 23},
        {"256 entries of 4 levels", 256, 4, 64, 40},
        {"256 entries of 2 levels: nearly all repeats", 256, 2, 45, 11},
    };
    std::mt19937 random(12);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto level = [&] { return uint8_t(random() % uint32_t(c.levels) * (255 / (c.levels - 1))); };
        TPaletteArray palette{};
        for (int i = 0; i < c.count; ++i)
            palette[size_t(i)] = colorValue(level(), level(), level());
        QImage picture = allocatePicture(c.width, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                // Half-way values between two levels tie on every channel.
                const auto near = [&] { return uint8_t(std::min(255, level() + int(random() % 2) * 255 / (c.levels - 1) / 2)); };
                picture.setPixel(x, y, qRgb(near(), near(), near()));
            }
        const std::vector<std::vector<int>> expected = modelIndices(picture, palette, c.count);
        EXPECT_EQ(bmpIndices(bmpOf(picture, palette, c.count)), expected);
        EXPECT_EQ(gifIndices(gifOf(picture, palette, c.count)), expected);
        EXPECT_EQ(gifIndices(gifOf(picture, palette, c.count, true)), expected);
    }
}

// The BMP table pads a palette of 17 colours with black up to 256 entries;
// black pixels still take the first black entry, as in the GIF.
TEST(PalettedWriters, BlackPaddingOfTheBmpTableIsNeverUsed)
{
    TPaletteArray palette{};
    for (int i = 1; i < 17; ++i)
        palette[size_t(i)] = colorValue(uint8_t(i * 15), uint8_t(255 - i), uint8_t(i));
    const QImage picture = pictureOfRgb(3, 2, {{0, 0, 0}, {1, 1, 1}, {15, 254, 1}, {0, 0, 1}, {0, 0, 0}, {30, 253, 2}});
    const std::vector<std::vector<int>> expected = {{0, 0, 1}, {0, 0, 2}};
    EXPECT_EQ(bmpIndices(bmpOf(picture, palette, 17)), expected);
    EXPECT_EQ(gifIndices(gifOf(picture, palette, 17)), expected);
}

} // namespace ostrel::testing
