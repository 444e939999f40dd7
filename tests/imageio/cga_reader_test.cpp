// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

using namespace ostrel;
using namespace ostrel::testing;

namespace {

constexpr int kVideoMemory = 16384;
constexpr int kOddBank = 8192;

// A full video-memory dump, all zero; tests set the bytes they look at.
Bytes videoMemory()
{
    Bytes file;
    file.fill(kVideoMemory, 0);
    return file;
}

PictureLoadOptions cgaOptions(uint8_t mode, uint8_t colour)
{
    PictureLoadOptions options;
    options.CgaMode = mode;
    options.CgaColour = colour;
    return options;
}

} // namespace

// Modes 1 to 4: four pixels a byte, even rows from 0 and odd rows from 8192,
// with colour 0 taken from the 16-colour table.
TEST(CgaReader, FourColourModesUsePaletteInterlaceAndBackground)
{
    const struct {
        uint8_t mode;
        QColor one, two, three;
    } modes[] = {
        {1, QColor(0, 192, 0), QColor(192, 0, 0), QColor(192, 192, 192)},
        {2, QColor(0, 192, 192), QColor(192, 0, 192), QColor(192, 192, 192)},
        {3, QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 255, 0)},
        {4, QColor(0, 255, 255), QColor(255, 0, 255), QColor(255, 255, 255)},
    };
    Bytes file = videoMemory();
    file.put(0, 0x1B);                // row 0: pixels 0, 1, 2, 3
    file.put(79, 0x03);               // row 0: last pixel (319) is 3
    file.put(kOddBank, 0xC0);         // row 1: pixel 0 is 3
    file.put(80, 0x40);               // row 2: pixel 0 is 1
    file.put(kOddBank + 99 * 80, 0x80); // row 199: pixel 0 is 2
    for (const auto& m : modes) {
        for (uint8_t background : {uint8_t(0), uint8_t(9)}) {
            SCOPED_TRACE(::testing::Message() << "mode " << int(m.mode) << " colour " << int(background));
            const LoadResult result = loadBytes(QStringLiteral("s.16K"), file, cgaOptions(m.mode, background));
            ASSERT_EQ(result.stop, LoadStop::Complete);
            ASSERT_EQ(result.picture.size(), QSize(320, 200));
            const QColor back = background == 0 ? QColor(0, 0, 0) : QColor(0, 0, 255);
            const QImage& p = result.picture;
            EXPECT_EQ(pixel(p, 0, 0), back);
            EXPECT_EQ(pixel(p, 1, 0), m.one);
            EXPECT_EQ(pixel(p, 2, 0), m.two);
            EXPECT_EQ(pixel(p, 3, 0), m.three);
            EXPECT_EQ(pixel(p, 319, 0), m.three);
            EXPECT_EQ(pixel(p, 0, 1), m.three);
            EXPECT_EQ(pixel(p, 0, 2), m.one);
            EXPECT_EQ(pixel(p, 0, 199), m.two);
            EXPECT_EQ(pixel(p, 5, 5), back);
        }
    }
}

TEST(CgaReader, SixteenColourModeUsesEvenBytesOnly)
{
    Bytes file = videoMemory();
    file.put(0, 0x9C);   // pixels 0 and 1: colours 9 and 12
    file.put(1, 0xFF);   // odd bytes hold no pixels
    file.put(2, 0x0F);   // pixels 2 and 3: colours 0 and 15
    file.put(160, 0x70); // row 1, pixel 0: colour 7
    file.put(99 * 160 + 158, 0x0E); // last pixel: colour 14
    const LoadResult result = loadBytes(QStringLiteral("s.160"), file);
    ASSERT_EQ(result.stop, LoadStop::Complete);
    ASSERT_EQ(result.picture.size(), QSize(160, 100));
    const QImage& p = result.picture;
    EXPECT_EQ(pixel(p, 0, 0), QColor(0, 0, 255));
    EXPECT_EQ(pixel(p, 1, 0), QColor(255, 0, 0));
    EXPECT_EQ(pixel(p, 2, 0), QColor(0, 0, 0));
    EXPECT_EQ(pixel(p, 3, 0), QColor(255, 255, 255));
    EXPECT_EQ(pixel(p, 0, 1), QColor(192, 192, 192));
    EXPECT_EQ(pixel(p, 159, 99), QColor(255, 255, 0));
}

TEST(CgaReader, TwoColourModeForeground)
{
    Bytes file = videoMemory();
    file.put(0, 0x80);           // row 0: pixel 0 set, pixel 1 clear
    file.put(kOddBank + 79, 0x01); // row 1: pixel 639 set
    const struct {
        const char* name;
        PictureLoadOptions options;
        QColor foreground;
    } cases[] = {
        // ".640" asks for colour 0, which would hide the picture; it stays white.
        {"s.640", {}, QColor(255, 255, 255)},
        {"s.16k", cgaOptions(5, 0), QColor(255, 255, 255)},
        {"s.16k", cgaOptions(5, 4), QColor(192, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.foreground.name().toStdString());
        const LoadResult result = loadBytes(QString::fromLatin1(c.name), file, c.options);
        ASSERT_EQ(result.picture.size(), QSize(640, 200));
        EXPECT_EQ(pixel(result.picture, 0, 0), c.foreground);
        EXPECT_EQ(pixel(result.picture, 1, 0), QColor(0, 0, 0));
        EXPECT_EQ(pixel(result.picture, 639, 1), c.foreground);
        EXPECT_EQ(pixel(result.picture, 638, 1), QColor(0, 0, 0));
    }
}

TEST(CgaReader, ShortFileCountsMissingMemoryAsZero)
{
    Bytes file;
    file.fill(10, 0xFF);
    const LoadResult result = loadBytes(QStringLiteral("s.320"), file);
    EXPECT_EQ(result.stop, LoadStop::Truncated);
    EXPECT_EQ(pixel(result.picture, 39, 0), QColor(255, 255, 255)); // byte 9
    EXPECT_EQ(pixel(result.picture, 40, 0), QColor(0, 0, 0));       // byte 10: missing
    EXPECT_EQ(pixel(result.picture, 0, 1), QColor(0, 0, 0));
    EXPECT_TRUE(hasLine(result, QStringLiteral("EOF encountered, only 10 of 16192 read.")));
}

TEST(CgaReader, LongerFileReadsOnlyVideoMemoryAndUnknownModeGivesBlank)
{
    Bytes file = videoMemory();
    file.fill(1000, 0xFF);
    const LoadResult longer = loadBytes(QStringLiteral("s.320"), file);
    EXPECT_EQ(longer.stop, LoadStop::Complete);
    EXPECT_EQ(pixel(longer.picture, 0, 0), QColor(0, 0, 0));

    const LoadResult unknown = loadBytes(QStringLiteral("s.16k"), file, cgaOptions(6, 0));
    EXPECT_EQ(unknown.stop, LoadStop::Unsupported);
    EXPECT_TRUE(isFramedBlank(unknown.picture, 320, 200));
}
