// SPDX-License-Identifier: Apache-2.0
// The PNG writer: the file the BMP writer would choose, read back exactly by
// our reader and by other decoders, lowest blue bits included.
#include "small_readers_support.h"

#include "imageio/bmp.h"
#include "imageio/png.h"
#include "support/Posix.h"
#include "util/FileIO.h"

#include <QBuffer>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

// Colours that differ only in their lowest blue bit, as hidden data leave them.
QImage twinColours(int width, int height, int colours)
{
    QImage picture(width, height, kPictureFormat);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int c = (x * 7 + y * 13) % colours;
            picture.setPixel(x, y, qRgb((c * 37) % 256, (c * 91) % 256, ((c / 2) * 2 + c % 2) % 256));
        }
    return picture;
}

TPaletteArray paletteOf(const QImage& picture, int32_t& count)
{
    TPaletteArray palette{};
    count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb rgb = picture.pixel(x, y);
            const ColourValue c = colorValue(uint8_t(qRed(rgb)), uint8_t(qGreen(rgb)), uint8_t(qBlue(rgb)));
            if (std::find(palette.begin(), palette.begin() + std::min(count, 256), c) == palette.begin() + std::min(count, 256)) {
                if (count < 256)
                    palette[size_t(count)] = c;
                ++count;
            }
        }
    return palette;
}

} // namespace

// 2, 16, 200 and many colours: a 1-, 4-, 8-bit paletted or a 24-bit file with
// the BMP's palette and the BMP's pixels, read back alike by our reader, Qt,
// netpbm and ImageMagick.
TEST(PngWriter, FilesReadBackExactlyEverywhere)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const struct {
        int colours;
        int bitDepth;   // 24: true colour
        int tableSize;
    } cases[] = {{2, 1, 2}, {16, 4, 16}, {200, 8, 256}, {4000, 24, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colours);
        const QImage picture = twinColours(67, 45, c.colours);
        int32_t count = 0;
        const TPaletteArray palette = paletteOf(picture, count);
        const QString path = folder.filePath(QStringLiteral("out%1.png").arg(c.colours));
        QString error;
        ASSERT_TRUE(savePngPaletted(picture, path, palette, count, {}, &error)) << error.toStdString();

        const LoadResult ours = LoadPictureFileWithOptions(path);
        ASSERT_EQ(ours.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(ours.picture, picture), "");
        const LoadResult bmp = loadBytes(QStringLiteral("b.bmp"), *encodeBmpPaletted(picture, palette, count, false, {}));
        EXPECT_EQ(firstDifference(ours.picture, bmp.picture), "");

        QImageReader reader(path);
        const QImage qt = reader.read();
        EXPECT_EQ(firstDifference(qt, picture), "");
        if (c.tableSize > 0) {
            ASSERT_EQ(qt.colorCount(), c.tableSize);
            for (int i = 0; i < c.tableSize; ++i) {
                const ColourValue entry = i < count ? palette[size_t(i)] : 0;
                EXPECT_EQ(qt.color(i), qRgb(redOf(entry), greenOf(entry), blueOf(entry))) << i;
            }
        }
        EXPECT_EQ(ours.report.filter(QStringLiteral("Bit Depth")).value(0),
                  reportValueLine(QStringLiteral("Bit Depth"), QString::number(c.bitDepth == 24 ? 8 : c.bitDepth)));
        const QByteArray file = readWholeFile(path).valueOr(QByteArray());
        for (const char* colourChunk : {"gAMA", "sRGB", "iCCP", "cHRM"})
            EXPECT_EQ(file.indexOf(colourChunk), -1) << colourChunk;

        const std::optional<QImage> netpbm = decodeWithTool(QStringLiteral("pngtopam"), {path});
        const std::optional<QImage> magick = decodeWithTool(QStringLiteral("convert"), {path, QStringLiteral("ppm:-")});
        if (!netpbm || !magick)
            GTEST_SKIP() << "netpbm or ImageMagick is not installed";
        EXPECT_EQ(firstDifference(*netpbm, picture), "");
        EXPECT_EQ(firstDifference(*magick, picture), "");
    }
}

TEST(PngWriter, EmptyPicturesAndUnwritableFilesAreRefused)
{
    QString error;
    EXPECT_FALSE(encodePngPaletted(QImage(), TPaletteArray{}, 2, {}, &error));
    EXPECT_EQ(error, QStringLiteral("the picture is empty."));
    QTemporaryDir folder;
    const QString inFolder = folder.filePath(QStringLiteral("no/such/folder/x.png"));
    EXPECT_FALSE(savePngPaletted(twinColours(3, 3, 2), inFolder, TPaletteArray{}, 300, {}, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write "))) << error.toStdString();
}

// The file goes to the disk while libpng makes it; a disk that fills up on
// the way ends the save with the system's reason and keeps the old file.
TEST(PngWriter, FullDiskDuringASaveKeepsTheOldFile)
{
    const SmallFileSystem disk("512k");
    if (!disk.whyNot().isEmpty())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString target = disk.filePath(QStringLiteral("noise.png"));
    ASSERT_TRUE(writeFileAtomically(target, "old"));
    // Noise does not compress: about 1.5 MB of PNG, more than the disk holds.
    QImage noise(700, 700, kPictureFormat);
    uint32_t state = 1;
    for (int y = 0; y < noise.height(); ++y) {
        uint8_t* row = noise.scanLine(y);
        for (int i = 0; i < noise.width() * 3; ++i) {
            state = state * 1664525u + 1013904223u;
            row[i] = uint8_t(state >> 24);
        }
    }
    QString error;
    EXPECT_FALSE(savePngPaletted(noise, target, TPaletteArray{}, 300, {}, &error));
    EXPECT_EQ(error, QStringLiteral("Cannot write %1: No space left on device").arg(target));
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("noise.png")}));
}
