// SPDX-License-Identifier: Apache-2.0
// The BMP writers: the depth chosen by the colour count, the header fields
// and row layout, exact round trips through our reader and Qt's, and saves
// that fail without harming the file that was there.
#include "imageio/bmp_test_support.h"

#include "imageio/bmp.h"
#include "util/FileIO.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QImageReader>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace ostrel::testing {
namespace {

// Entry i of a palette in which no entry is black or equal to another.
ColourValue distinctColour(int i) { return colorValue(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7 + 1)); }

TPaletteArray distinctPalette()
{
    TPaletteArray palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = distinctColour(i);
    return palette;
}

QImage pictureOfPaletteColours(int width, int height, int count)
{
    QImage picture(width, height, kPictureFormat);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const ColourValue c = distinctColour((x * 7 + y * 3) % count);
            picture.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
        }
    return picture;
}

QImage decodeWithQt(const QByteArray& file) { return QImage::fromData(file, "BMP"); }

struct DepthCase {
    int32_t count;
    uint16_t bits;
    uint32_t tableSize;
};

TEST(BmpWriterDepth, CountChoosesBitsAndTableAndEveryHeaderField)
{
    const DepthCase cases[] = {{-3, 1, 2},  {0, 1, 2},    {1, 1, 2},     {2, 1, 2},    {3, 4, 16},
                               {16, 4, 16}, {17, 8, 256}, {256, 8, 256}, {257, 24, 0}, {300, 24, 0}};
    const QImage picture = pictureOfPaletteColours(7, 3, 2);
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.count);
        const QByteArray file = bmpOf(picture, distinctPalette(), c.count);
        const uint32_t rowSize = (7 * c.bits + 31) / 32 * 4;
        const uint32_t offset = 54 + c.tableSize * 4;
        ASSERT_GE(file.size(), 54);
        EXPECT_EQ(file.left(2), QByteArray("BM"));
        EXPECT_EQ(u32At(file, 2), offset + rowSize * 3);
        EXPECT_EQ(u32At(file, 2), uint32_t(file.size()));
        EXPECT_EQ(u32At(file, 6), 0u); // both reserved fields
        EXPECT_EQ(u32At(file, 10), offset);
        EXPECT_EQ(u32At(file, 14), 40u);
        EXPECT_EQ(u32At(file, 18), 7u);
        EXPECT_EQ(u32At(file, 22), 3u); // positive: bottom row first
        EXPECT_EQ(u16At(file, 26), 1);
        EXPECT_EQ(u16At(file, 28), c.bits);
        EXPECT_EQ(u32At(file, 30), 0u);
        EXPECT_EQ(u32At(file, 34), rowSize * 3);
        EXPECT_EQ(u32At(file, 38), 0u);
        EXPECT_EQ(u32At(file, 42), 0u);
        EXPECT_EQ(u32At(file, 46), c.tableSize);
        EXPECT_EQ(u32At(file, 50), c.tableSize);
    }
}

TEST(BmpWriterDepth, TableHoldsThePaletteUpToCountThenBlack)
{
    const TPaletteArray palette = distinctPalette();
    for (int32_t count : {0, 1, 2, 5, 16, 17, 200, 256}) {
        SCOPED_TRACE(count);
        const QByteArray file = bmpOf(pictureOfPaletteColours(3, 2, 1), palette, count);
        const int tableSize = int(u32At(file, 46));
        for (int i = 0; i < tableSize; ++i) {
            const ColourValue c = i < count ? palette[size_t(i)] : 0;
            const char* entry = file.constData() + 54 + 4 * i;
            EXPECT_EQ(uint8_t(entry[0]), blueOf(c)) << "entry " << i;
            EXPECT_EQ(uint8_t(entry[1]), greenOf(c)) << "entry " << i;
            EXPECT_EQ(uint8_t(entry[2]), redOf(c)) << "entry " << i;
            EXPECT_EQ(entry[3], 0) << "entry " << i;
        }
    }
}

TEST(BmpWriterLayout, RowsArePaddedToWholeWords)
{
    struct Case {
        int width;
        int32_t count;
        uint32_t rowSize;
    };
    const Case cases[] = {{1, 2, 4},  {1, 16, 4}, {1, 256, 4}, {1, 300, 4}, {33, 2, 8},  {32, 2, 4},
                          {9, 16, 8}, {8, 16, 4}, {5, 256, 8}, {4, 256, 4}, {5, 300, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "width " << c.width << " count " << c.count);
        const QByteArray file = bmpOf(pictureOfPaletteColours(c.width, 3, 2), distinctPalette(), c.count);
        EXPECT_EQ(u32At(file, 34), c.rowSize * 3);
        EXPECT_EQ(uint32_t(file.size()), u32At(file, 10) + c.rowSize * 3);
    }
}

TEST(BmpWriterLayout, BottomRowComesFirstLeftPixelInTheHighBits)
{
    // 3×2: top row palette colours 1 2 3, bottom row 4 5 1.
    const TPaletteArray palette = distinctPalette();
    QImage picture(3, 2, kPictureFormat);
    const int indices[2][3] = {{1, 2, 3}, {4, 5, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const ColourValue c = palette[size_t(indices[y][x])];
            picture.setPixel(x, y, qRgb(redOf(c), greenOf(c), blueOf(c)));
        }
    const QByteArray four = bmpOf(picture, palette, 16);
    const qsizetype pixels4 = u32At(four, 10);
    EXPECT_EQ(four.mid(pixels4, 8), QByteArray("\x45\x10\x00\x00\x12\x30\x00\x00", 8));
    const QByteArray eight = bmpOf(picture, palette, 256);
    const qsizetype pixels8 = u32At(eight, 10);
    EXPECT_EQ(eight.mid(pixels8, 8), QByteArray("\x04\x05\x01\x00\x01\x02\x03\x00", 8));

    // 1 bit, 10 wide: colour 1 at x = 0, 7 and 9 of the single row.
    QImage mono(10, 1, kPictureFormat);
    for (int x = 0; x < 10; ++x) {
        const ColourValue c = palette[(x == 0 || x == 7 || x == 9) ? 1 : 0];
        mono.setPixel(x, 0, qRgb(redOf(c), greenOf(c), blueOf(c)));
    }
    const QByteArray one = bmpOf(mono, palette, 2);
    EXPECT_EQ(one.mid(u32At(one, 10), 4), QByteArray("\x81\x40\x00\x00", 4));

    const QByteArray trueColour = bmpOf(picture, palette, 300);
    const ColourValue bottomLeft = palette[4];
    EXPECT_EQ(uint8_t(trueColour[54]), blueOf(bottomLeft));
    EXPECT_EQ(uint8_t(trueColour[55]), greenOf(bottomLeft));
    EXPECT_EQ(uint8_t(trueColour[56]), redOf(bottomLeft));
}

// ---------------------------------------------------------------------------
// Round trips

TEST(BmpWriterRoundTrip, PictureSavedWithItsOwnColoursComesBackExactly)
{
    struct Case {
        int width, height, colours;
        int32_t count;
        bool dither;
    };
    const Case cases[] = {
        {33, 4, 2, 2, false},  {9, 5, 3, 16, false},      {9, 5, 16, 16, true},
        {5, 7, 17, 32, false}, {19, 14, 256, 256, false}, {19, 14, 256, 256, true},
    };
    const TPaletteArray palette = distinctPalette();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.colours << " colours, count " << c.count << (c.dither ? " dither" : ""));
        const QImage picture = pictureOfPaletteColours(c.width, c.height, c.colours);
        const QByteArray file = bmpOf(picture, palette, c.count, c.dither);
        const LoadResult ours = loadBmpBytes(file);
        EXPECT_EQ(ours.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(ours.picture, picture), "");
        EXPECT_EQ(firstDifference(decodeWithQt(file), picture), "");
    }
}

TEST(BmpWriterRoundTrip, TrueColourFileComesBackExactly)
{
    for (const QSize size : {QSize(1, 1), QSize(7, 5), QSize(64, 3)}) {
        SCOPED_TRACE(size.width());
        const QImage picture = gradientPicture(size.width(), size.height());
        QString error;
        const std::optional<QByteArray> file = encodeBmp24(picture, &error);
        ASSERT_TRUE(file) << error.toStdString();
        EXPECT_EQ(*file, bmpOf(picture, distinctPalette(), 300));
        EXPECT_EQ(u16At(*file, 28), 24);
        EXPECT_EQ(u32At(*file, 46), 0u);
        EXPECT_EQ(firstDifference(loadBmpBytes(*file).picture, picture), "");
        EXPECT_EQ(firstDifference(decodeWithQt(*file), picture), "");
    }
}

TEST(BmpWriterRoundTrip, PicturesOfOtherFormatsAreWrittenByTheirColours)
{
    const QImage source = gradientPicture(6, 4);
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888}) {
        SCOPED_TRACE(int(format));
        const std::optional<QByteArray> file = encodeBmp24(source.convertToFormat(format));
        ASSERT_TRUE(file);
        EXPECT_EQ(firstDifference(loadBmpBytes(*file).picture, source), "");
    }
}

// ---------------------------------------------------------------------------
// Colours outside the palette

TEST(BmpWriterMapping, OtherColoursBecomeTheNearestTableColourBlackEntriesIncluded)
{
    TPaletteArray palette{};
    palette[0] = colorValue(255, 255, 255);
    palette[1] = colorValue(255, 0, 0);
    palette[2] = colorValue(0, 0, 255);
    QImage picture(3, 1, kPictureFormat);
    picture.setPixel(0, 0, qRgb(30, 20, 25)); // nearest: a black entry from count 3 on
    picture.setPixel(1, 0, qRgb(240, 30, 20)); // red
    picture.setPixel(2, 0, qRgb(200, 210, 220)); // white
    const QImage before = picture.copy();
    const LoadResult result = loadBmpBytes(bmpOf(picture, palette, 3));
    EXPECT_EQ(result.picture.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(result.picture.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(result.picture.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture, before);
}

TEST(BmpWriterMapping, DitherSpreadsGreyOverBlackAndWhite)
{
    TPaletteArray palette{};
    palette[0] = colorValue(0, 0, 0);
    palette[1] = colorValue(255, 255, 255);
    QImage grey(16, 16, kPictureFormat);
    grey.fill(QColor(128, 128, 128));
    const QImage before = grey.copy();
    std::vector<int32_t> progress;
    const std::optional<QByteArray> dithered = encodeBmpPaletted(
        grey, palette, 2, true, [&](int32_t p) { progress.push_back(p); }, nullptr);
    ASSERT_TRUE(dithered);
    const QImage plain = loadBmpBytes(bmpOf(grey, palette, 2, false)).picture;
    int white = 0, plainWhite = 0;
    const QImage ditheredPicture = loadBmpBytes(*dithered).picture;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            white += ditheredPicture.pixel(x, y) == qRgb(255, 255, 255);
            plainWhite += plain.pixel(x, y) == qRgb(255, 255, 255);
        }
    EXPECT_NEAR(white, 128, 16);
    EXPECT_TRUE(plainWhite == 0 || plainWhite == 256);
    EXPECT_EQ(grey, before);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
}

// ---------------------------------------------------------------------------
// Files on disk

class BmpWriterFiles : public ::testing::Test {
protected:
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
    static QByteArray contents(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(BmpWriterFiles, EverySaveWritesWhatTheEncoderMakes)
{
    const QImage picture = pictureOfPaletteColours(9, 5, 16);
    const TPaletteArray palette = distinctPalette();
    QString error;
    ASSERT_TRUE(SaveBmpWithPalette(picture, path("with-palette.bmp"), palette, 16, &error)) << error.toStdString();
    EXPECT_EQ(contents(path("with-palette.bmp")), bmpOf(picture, palette, 16));
    ASSERT_TRUE(WriteIndexedBmp(picture, path("indexed.bmp"), palette, 16, &error));
    EXPECT_EQ(contents(path("indexed.bmp")), *encodeIndexedBmp(picture, palette, 16));
    ASSERT_TRUE(Write24BitBmp(picture, path("true.bmp"), &error));
    EXPECT_EQ(contents(path("true.bmp")), *encodeBmp24(picture));
    EXPECT_EQ(entries().size(), 3);
}

// The file the format asks for, built here byte by byte: headers, table,
// then the rows from the bottom, each padded to whole words. The picture's
// colours are the first entries of `palette`, all distinct.
QByteArray bmpBuiltByHand(const QImage& picture, const TPaletteArray& palette, int bits)
{
    const int tableSize = bits == 24 ? 0 : 1 << bits;
    const int width = picture.width(), height = picture.height();
    const int rowSize = (width * bits + 31) / 32 * 4;
    Bytes file;
    file.text("BM").u32le(uint32_t(54 + tableSize * 4 + rowSize * height)).u32le(0).u32le(uint32_t(54 + tableSize * 4));
    file.u32le(40).u32le(uint32_t(width)).u32le(uint32_t(height)).u16le(1).u16le(uint16_t(bits)).u32le(0);
    file.u32le(uint32_t(rowSize * height)).u32le(0).u32le(0).u32le(uint32_t(tableSize)).u32le(uint32_t(tableSize));
    for (int i = 0; i < tableSize; ++i)
        file.u8(blueOf(palette[size_t(i)])).u8(greenOf(palette[size_t(i)])).u8(redOf(palette[size_t(i)])).u8(0);
    QByteArray bytes = file.data();
    QHash<QRgb, int> indexOf;
    for (int i = tableSize - 1; i >= 0; --i)
        indexOf[qRgb(redOf(palette[size_t(i)]), greenOf(palette[size_t(i)]), blueOf(palette[size_t(i)]))] = i;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowSize, '\0');
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = picture.pixel(x, y);
            if (bits == 24) {
                row[3 * x] = char(qBlue(pixel));
                row[3 * x + 1] = char(qGreen(pixel));
                row[3 * x + 2] = char(qRed(pixel));
                continue;
            }
            const int index = indexOf.value(pixel);
            const int perByte = 8 / bits;
            row[x / perByte] = char(row[x / perByte] | (index << (8 - bits * (x % perByte + 1))));
        }
        bytes += row;
    }
    return bytes;
}

// Rows go from the picture to the file one by one: at every size and depth
// (one pixel, odd widths whose rows need padding, files larger than the
// writer's blocks) the file holds what the in-memory encoding holds and
// what the format asks for.
TEST_F(BmpWriterFiles, FilesHoldTheEncodingAtEverySizeAndDepth)
{
    const QSize sizes[] = {{1, 1}, {2, 3}, {3, 2}, {5, 1}, {9, 4}, {33, 7}, {1001, 1100}};
    const TPaletteArray palette = distinctPalette();
    for (const QSize size : sizes) {
        for (const int bits : {1, 4, 8, 24}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 at %3 bits").arg(size.width()).arg(size.height()).arg(bits).toStdString());
            const int colours = bits == 24 ? 256 : 1 << bits;
            const QImage picture = pictureOfPaletteColours(size.width(), size.height(), colours);
            const QString file = path("picture.bmp");
            QString error;
            const bool written = bits == 24 ? Write24BitBmp(picture, file, &error)
                                            : WriteIndexedBmp(picture, file, palette, colours, &error);
            ASSERT_TRUE(written) << error.toStdString();
            const std::optional<QByteArray> encoded =
                bits == 24 ? encodeBmp24(picture) : encodeIndexedBmp(picture, palette, colours);
            ASSERT_TRUE(encoded);
            const QByteArray onDisk = contents(file);
            EXPECT_TRUE(onDisk == *encoded);
            EXPECT_TRUE(onDisk == bmpBuiltByHand(picture, palette, bits));
            ASSERT_TRUE(SaveBmpWithPalette(picture, file, palette, bits == 24 ? 257 : colours, &error));
            EXPECT_TRUE(contents(file) == onDisk);
        }
    }
}

TEST_F(BmpWriterFiles, IndexedWriterTakesTheClassOfItsTableSize)
{
    // Three table sizes that are not 2, 16 or 256 themselves.
    const TPaletteArray palette = distinctPalette();
    for (const auto& [tableSize, bits] : {std::pair{1, 1}, std::pair{3, 4}, std::pair{100, 8}}) {
        SCOPED_TRACE(tableSize);
        const std::optional<QByteArray> file = encodeIndexedBmp(pictureOfPaletteColours(4, 4, 1), palette, tableSize);
        ASSERT_TRUE(file);
        EXPECT_EQ(u16At(*file, 28), bits);
        EXPECT_EQ(u32At(*file, 46), 1u << bits);
    }
}

TEST_F(BmpWriterFiles, EmptyPictureIsRefusedAndNothingIsWritten)
{
    ASSERT_TRUE(writeFileAtomically(path("kept.bmp"), "previous"));
    for (const QImage& empty : {QImage(), QImage(0, 5, kPictureFormat)}) {
        QString error;
        EXPECT_FALSE(SaveBmpWithPalette(empty, path("kept.bmp"), distinctPalette(), 16, &error));
        EXPECT_TRUE(error.contains(path("kept.bmp"))) << error.toStdString();
        EXPECT_FALSE(Write24BitBmp(empty, path("new.bmp"), &error));
        EXPECT_FALSE(encodeBmpPaletted(empty, distinctPalette(), 300, false, {}, &error));
    }
    EXPECT_EQ(contents(path("kept.bmp")), QByteArray("previous"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("kept.bmp")});
}

TEST_F(BmpWriterFiles, UnwritableTargetReportsTheFileAndTheReason)
{
    QString error;
    const QString target = path("no-such-folder/picture.bmp");
    EXPECT_FALSE(Write24BitBmp(gradientPicture(2, 2), target, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write ") + target + QStringLiteral(": ")))
        << error.toStdString();
}

// A write that fails half way (the file size limit of the process is hit)
// leaves the previous file as it was and no temporary file behind.
TEST_F(BmpWriterFiles, FailedWriteLeavesThePreviousFileIntact)
{
    const QImage small = gradientPicture(4, 4);
    ASSERT_TRUE(Write24BitBmp(small, path("picture.bmp")));
    const QByteArray previous = contents(path("picture.bmp"));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString error;
    const bool saved24 = Write24BitBmp(gradientPicture(300, 300), path("picture.bmp"), &error);
    const bool savedIndexed =
        SaveBmpWithPalette(pictureOfPaletteColours(600, 600, 256), path("picture.bmp"), distinctPalette(), 256);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved24);
    EXPECT_FALSE(savedIndexed);
    EXPECT_TRUE(error.contains(path("picture.bmp"))) << error.toStdString();
    EXPECT_EQ(contents(path("picture.bmp")), previous);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("picture.bmp")});
}

} // namespace
} // namespace ostrel::testing
