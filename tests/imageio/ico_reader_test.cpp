// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

#include <QBuffer>
#include <QFileInfo>
#include <QStandardPaths>
#include <functional>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

using ValueAt = std::function<uint32_t(int x, int y)>;
using MaskAt = std::function<bool(int x, int y)>;

struct Dib {
    int width = 5;
    int height = 3;
    int bits = 8;
    std::vector<QRgb> palette;   // written as the colour table
    ValueAt value;                // palette index, or 0xAARRGGBB for 16 bits and more
    MaskAt masked = [](int, int) { return false; };
    bool topDown = false;
    unsigned compression = 0;
};

// An icon image as a DIB: header, colour table, colour rows, then mask rows,
// each row padded to 4 bytes and the bottom row first.
Bytes dibImage(const Dib& dib)
{
    Bytes out;
    out.u32le(40).u32le(dib.width).u32le(uint32_t(dib.topDown ? -2 * dib.height : 2 * dib.height)).u16le(1);
    out.u16le(dib.bits).u32le(dib.compression).u32le(0).u32le(0).u32le(0).u32le(uint32_t(dib.palette.size())).u32le(0);
    for (QRgb c : dib.palette)
        out.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c)).u8(0);
    const int colourStride = (dib.width * dib.bits + 31) / 32 * 4;
    const int maskStride = (dib.width + 31) / 32 * 4;
    auto fileRow = [&](int i) { return dib.topDown ? i : dib.height - 1 - i; };
    for (int i = 0; i < dib.height; ++i) {
        const int y = fileRow(i);
        QByteArray row(colourStride, '\0');
        for (int x = 0; x < dib.width; ++x) {
            const uint32_t v = dib.value(x, y);
            switch (dib.bits) {
            case 1: row[x / 8] = char(uint8_t(row[x / 8]) | (v & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] = char(uint8_t(row[x / 2]) | (v & 15) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = char(v); break;
            case 24:
                row[3 * x] = char(qBlue(v));
                row[3 * x + 1] = char(qGreen(v));
                row[3 * x + 2] = char(qRed(v));
                break;
            case 32:
                row[4 * x] = char(qBlue(v)); row[4 * x + 1] = char(qGreen(v)); row[4 * x + 2] = char(qRed(v));
                row[4 * x + 3] = char(qAlpha(v));
                break;
            }
        }
        out.append(row);
    }
    for (int i = 0; i < dib.height; ++i) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < dib.width; ++x)
            if (dib.masked(x, fileRow(i)))
                row[x / 8] = char(uint8_t(row[x / 8]) | 1 << (7 - x % 8));
        out.append(row);
    }
    return out;
}

// An icon directory over the images, which follow it back to back.
Bytes iconFile(const std::vector<QByteArray>& images, unsigned type = 1, int reserved = 0)
{
    Bytes file;
    file.u16le(reserved).u16le(type).u16le(unsigned(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (const QByteArray& image : images) {
        // the directory's sizes and depth are left 0: the reader trusts the image's own header
        file.u8(0).u8(0).u8(0).u8(0).u16le(1).u16le(0).u32le(uint32_t(image.size())).u32le(offset);
        offset += uint32_t(image.size());
    }
    for (const QByteArray& image : images)
        file.append(image);
    return file;
}

QByteArray pngBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// A solid image of one colour in a given size and depth, for the choice of entry.
QByteArray solid(int side, int bits, QRgb colour)
{
    Dib dib;
    dib.width = side;
    dib.height = side;
    dib.bits = bits;
    if (bits <= 8) {
        dib.palette = {colour};
        dib.value = [](int, int) { return 0u; };
    } else {
        dib.value = [colour](int, int) { return uint32_t(colour | 0xFF000000u); };
    }
    return dibImage(dib);
}

void expectPixels(const QImage& picture, int width, int height, const std::function<QColor(int, int)>& expected)
{
    ASSERT_EQ(picture.size(), QSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(pixel(picture, x, y), expected(x, y)) << x << "," << y;
}

} // namespace

TEST(IconReader, DrawsEachDibDepthWithItsMaskOnWhite)
{
    const std::vector<QRgb> sixteen = {qRgb(0, 0, 0), qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200),
                                       qRgb(90, 90, 0), qRgb(0, 90, 90), qRgb(90, 0, 90), qRgb(30, 60, 90),
                                       qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9), qRgb(10, 11, 12),
                                       qRgb(13, 14, 15), qRgb(16, 17, 18), qRgb(19, 20, 21), qRgb(22, 23, 24)};
    auto rgbAt = [](int x, int y) { return qRgb(x * 40, y * 80, 255 - x * 30); };
    const struct {
        int bits;
        std::vector<QRgb> palette;
        ValueAt value;
        std::function<QRgb(uint32_t)> colour;
    } cases[] = {
        {1, {qRgb(0, 0, 128), qRgb(255, 255, 0)}, [](int x, int y) { return uint32_t(x + y) % 2; }, nullptr},
        {4, sixteen, [](int x, int y) { return uint32_t(x * 3 + y) % 16; }, nullptr},
        {8, sixteen, [](int x, int y) { return uint32_t(x + 5 * y) % 16; }, nullptr},
        {24, {}, [&](int x, int y) { return uint32_t(rgbAt(x, y)); }, [](uint32_t v) { return QRgb(v | 0xFF000000u); }},
        // 32 bits with every alpha byte zero: the mask decides
        {32, {}, [&](int x, int y) { return uint32_t(rgbAt(x, y) & 0xFFFFFFu); },
            [](uint32_t v) { return QRgb(v | 0xFF000000u); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        for (bool topDown : {false, true}) {
            Dib dib{
                9, 3, c.bits, c.palette, c.value, [](int x, int y) { return x == 0 || (x == 8 && y == 2); }, topDown};
            const LoadResult result = loadBytes(QStringLiteral("i.ico"), iconFile({dibImage(dib)}));
            ASSERT_EQ(result.stop, LoadStop::Complete);
            expectPixels(result.picture, 9, 3, [&](int x, int y) {
                if (dib.masked(x, y))
                    return QColor(255, 255, 255);
                const uint32_t v = c.value(x, y);
                return QColor(c.colour ? c.colour(v) : c.palette[v]);
            });
            EXPECT_EQ(reportedValue(result, QStringLiteral("Width")), QStringLiteral("9"));
            EXPECT_EQ(reportedValue(result, QStringLiteral("Height")), QStringLiteral("3"));
        }
    }
}

TEST(IconReader, AlphaIsBlendedOverWhite)
{
    // 32-bit DIB with alpha: the mask is ignored, even where it is set.
    Dib dib{3, 1, 32, {}, [](int x, int) {
                const uint32_t alpha[] = {0xFF, 0x80, 0x00};
                return alpha[x] << 24 | 0xFF0000u;
            }};
    dib.masked = [](int x, int) { return x == 0; };
    const LoadResult fromDib = loadBytes(QStringLiteral("i.ico"), iconFile({dibImage(dib)}));
    ASSERT_EQ(fromDib.stop, LoadStop::Complete);
    expectPixels(fromDib.picture, 3, 1, [](int x, int) {
        const QColor expected[] = {QColor(255, 0, 0), QColor(255, 127, 127), QColor(255, 255, 255)};
        return expected[x];
    });

    // A PNG entry, as written by Qt's own encoder.
    QImage png(2, 2, QImage::Format_ARGB32);
    png.setPixel(0, 0, qRgba(0, 0, 255, 255));
    png.setPixel(1, 0, qRgba(0, 0, 255, 0));
    png.setPixel(0, 1, qRgba(0, 0, 0, 128));
    png.setPixel(1, 1, qRgba(10, 20, 30, 255));
    const LoadResult fromPng = loadBytes(QStringLiteral("i.ico"), iconFile({pngBytes(png)}));
    ASSERT_EQ(fromPng.stop, LoadStop::Complete);
    EXPECT_EQ(pixel(fromPng.picture, 0, 0), QColor(0, 0, 255));
    EXPECT_EQ(pixel(fromPng.picture, 1, 0), QColor(255, 255, 255));
    EXPECT_EQ(pixel(fromPng.picture, 0, 1), QColor(127, 127, 127));
    EXPECT_EQ(pixel(fromPng.picture, 1, 1), QColor(10, 20, 30));
}

TEST(IconReader, ChoosesTheStandardSizeInMostColoursElseTheLargest)
{
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), grey = qRgb(90, 90, 90);
    const struct {
        const char* what;
        std::vector<QByteArray> images;
        int side;
        QColor colour;
    } cases[] = {
        {"32×32 in 8 bits among others",
            {solid(16, 32, grey), solid(32, 4, blue), solid(32, 8, red), solid(48, 32, green)}, 32, QColor(red)},
        {"no 32×32: the largest, most colours",
            {solid(16, 8, grey), solid(48, 4, blue), solid(48, 24, green), solid(24, 32, red)}, 48, QColor(green)},
        {"equal entries: the first", {solid(48, 8, red), solid(48, 8, blue)}, 48, QColor(red)},
        {"unreadable entries are passed over", {QByteArray("junk"), solid(16, 8, blue)}, 16, QColor(blue)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("i.ico"), iconFile(c.images));
        ASSERT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(result.picture.size(), QSize(c.side, c.side));
        EXPECT_EQ(pixel(result.picture, c.side / 2, c.side / 2), c.colour);
    }
}

TEST(IconReader, PaletteIndexBeyondTheTableIsBlackAndAShortMaskIsOpaque)
{
    Dib dib{4, 2, 8, {qRgb(10, 20, 30), qRgb(40, 50, 60)}, [](int x, int) { return uint32_t(x); }};
    const LoadResult result = loadBytes(QStringLiteral("i.ico"), iconFile({dibImage(dib)}));
    ASSERT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(pixel(result.picture, 1, 0), QColor(40, 50, 60));
    EXPECT_EQ(pixel(result.picture, 3, 0), QColor(0, 0, 0));

    dib.masked = [](int, int) { return true; };
    QByteArray image = dibImage(dib);
    image.chop(4); // the mask row of the top row (stored last)
    const LoadResult cut = loadBytes(QStringLiteral("i.ico"), iconFile({image}));
    EXPECT_EQ(cut.stop, LoadStop::Truncated);
    EXPECT_EQ(pixel(cut.picture, 0, 0), QColor(10, 20, 30));
    EXPECT_EQ(pixel(cut.picture, 0, 1), QColor(255, 255, 255));
}

TEST(IconReader, FilesThatAreNotUsableIconsGiveTheBlank)
{
    const QByteArray good = solid(16, 8, qRgb(1, 2, 3));
    QByteArray cutColours = good;
    cutColours.truncate(40 + 4 + 16 * 10);
    Bytes hugeDib; // a 1-bit DIB header claiming 65535 × 65535 pixels over a few bytes
    hugeDib.u32le(40).u32le(65535).u32le(2 * 65535).u16le(1).u16le(1).fill(24, 0).fill(64, 0xAA);
    Bytes offsetPastEnd;
    offsetPastEnd.u16le(0).u16le(1).u16le(1).fill(8, 0).u32le(100).u32le(5000);
    QByteArray png = pngBytes(QImage(4, 4, QImage::Format_RGB32));
    QByteArray longChunk = png; // IHDR's length says more than the file holds
    longChunk[10] = char(0x7F);
    Dib rle{4, 2, 8, {qRgb(0, 0, 0)}, [](int, int) { return 0u; }};
    rle.compression = 1;
    Dib twoBits{4, 2, 2, {qRgb(0, 0, 0)}, [](int, int) { return 0u; }};
    expectUnusable(QStringLiteral("i.ico"), {
        {"reserved word set", iconFile({good}, 1, 1), LoadStop::BadSignature},
        {"resource type 3", iconFile({good}, 3), LoadStop::BadSignature},
        {"no entries", iconFile({}), LoadStop::BadSignature},
        {"directory cut short", iconFile({good}).data().left(12), LoadStop::Truncated},
        {"image offset past the end", offsetPastEnd, LoadStop::Corrupt},
        {"more pixels than the limit", iconFile({hugeDib}), LoadStop::Corrupt},
        {"colour rows cut short", iconFile({cutColours}), LoadStop::Corrupt},
        {"PNG chunk longer than the file", iconFile({longChunk}), LoadStop::Corrupt},
        {"run-length compressed", iconFile({dibImage(rle)}), LoadStop::Corrupt},
        {"2 bits per pixel", iconFile({dibImage(twoBits)}), LoadStop::Corrupt},
        {"a bitmap file", QByteArray("BM\x36\x00\x00\x00\x00\x00", 8), LoadStop::BadSignature},
    }, framedBlank(32, 32));
}

// Files written by other programs: every one ends cleanly, and each valid one
// shows one of its images exactly as ImageMagick draws it on white.
TEST(IconReader, CorpusFilesLoadAndValidOnesMatchAnIndependentDecoder)
{
    OSTREL_CORPUS_OR_SKIP(files, "ico", QStringList{QStringLiteral("*.ico")});
    const bool haveConvert = !QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty();
    int compared = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "ICO");
        const QString name = QFileInfo(path).fileName();
        const bool expectedBad = path.contains(QStringLiteral("/bad/")) || path.contains(QStringLiteral("/regression/"))
            || name == QStringLiteral("decompression_bomb.ico");
        if (expectedBad)
            continue;
        EXPECT_EQ(result.stop, LoadStop::Complete);
        if (!haveConvert)
            continue;
        std::string closest = "no image of the same size";
        for (int index = 0; index < 16; ++index) {
            const std::optional<QImage> theirs = decodeWithTool(
                QStringLiteral("convert"), {path + QStringLiteral("[%1]").arg(index), QStringLiteral("-background"),
                                            QStringLiteral("white"), QStringLiteral("-alpha"), QStringLiteral("remove"),
                                            QStringLiteral("-alpha"), QStringLiteral("off"), QStringLiteral("ppm:-")});
            if (!theirs)
                break;
            if (theirs->size() != result.picture.size())
                continue;
            closest = firstDifference(result.picture, *theirs, 1);
            if (closest.empty())
                break;
        }
        EXPECT_EQ(closest, "");
        ++compared;
    }
    if (compared == 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
}
