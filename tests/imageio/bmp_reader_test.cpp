// SPDX-License-Identifier: Apache-2.0
// The BMP reader: sample files written by other software against reference
// renderings and Qt's decoder, hand-made files for each header and storage
// variant, and the files it must refuse or cut short.
#include "imageio/bmp_test_support.h"

#include "Readers.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

const QString kSuite = QStringLiteral(OSTREL_CORPUS_DIR "/bmp/bmpsuite/");

QImage readWithQt(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    return reader.read();
}

#define OSTREL_SUITE_OR_SKIP()                                                                                         \
    if (!QFileInfo::exists(kSuite + QStringLiteral("html")))                                                           \
    GTEST_SKIP() << "no BMP suite beside the repository"

struct ReferenceCase {
    const char* file; // under bmpsuite/
    const char* rendering; // under bmpsuite/html/
    int tolerance = 0;
};

// Every file of the suite that this reader decodes, and the rendering the
// suite gives as correct. Where the suite offers several for pixels a
// run-length file skips, the one showing palette entry 0 applies.
const ReferenceCase kReferenceCases[] = {
    {"g/pal1.bmp", "pal1.png"},
    {"g/pal1wb.bmp", "pal1.png"},
    {"g/pal1bg.bmp", "pal1bg.png"},
    {"g/pal4.bmp", "pal4.png"},
    {"g/pal4gs.bmp", "pal4gs.png"},
    {"g/pal4rle.bmp", "pal4.png"},
    {"g/pal8.bmp", "pal8.png"},
    {"g/pal8-0.bmp", "pal8.png"},
    {"g/pal8gs.bmp", "pal8gs.png"},
    {"g/pal8rle.bmp", "pal8.png"},
    {"g/pal8w126.bmp", "pal8w126.png"},
    {"g/pal8w125.bmp", "pal8w125.png"},
    {"g/pal8w124.bmp", "pal8w124.png"},
    {"g/pal8topdown.bmp", "pal8.png"},
    {"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
    {"g/pal8os2.bmp", "pal8.png"},
    {"g/pal8v4.bmp", "pal8.png"},
    {"g/pal8v5.bmp", "pal8.png"},
    {"g/rgb16.bmp", "rgb16.png"},
    {"g/rgb16bfdef.bmp", "rgb16.png"},
    {"g/rgb16-565.bmp", "rgb16-565.png"},
    {"g/rgb16-565pal.bmp", "rgb16-565.png"},
    {"g/rgb24.bmp", "rgb24.png"},
    {"g/rgb24pal.bmp", "rgb24.png"},
    {"g/rgb32.bmp", "rgb24.png"},
    {"g/rgb32bfdef.bmp", "rgb24.png"},
    {"g/rgb32bf.bmp", "rgb24.png"},
    {"q/pal1p1.bmp", "pal1p1.png"},
    {"q/pal2.bmp", "pal2.png"},
    {"q/pal2color.bmp", "pal2color.png"},
    {"q/pal4rletrns.bmp", "pal4rletrns-0.png"},
    {"q/pal4rlecut.bmp", "pal4rlecut-0.png"},
    {"q/pal8rletrns.bmp", "pal8rletrns-0.png"},
    {"q/pal8rlecut.bmp", "pal8rlecut-0.png"},
    {"q/pal8offs.bmp", "pal8.png"},
    {"q/pal8oversizepal.bmp", "pal8.png"},
    {"q/pal8os2-sz.bmp", "pal8.png"},
    {"q/pal8os2-hs.bmp", "pal8.png"},
    {"q/pal8os2sp.bmp", "pal8.png"},
    {"q/pal8os2v2.bmp", "pal8.png"},
    {"q/pal8os2v2-16.bmp", "pal8.png"},
    {"q/pal8os2v2-sz.bmp", "pal8.png"},
    {"q/pal8os2v2-40sz.bmp", "pal8.png"},
    {"q/rgb24rle24.bmp", "pal8.png"},
    {"q/rgb16faketrns.bmp", "rgb16.png"},
    {"q/rgb16-231.bmp", "rgb16-231.png"},
    {"q/rgb16-3103.bmp", "rgb16-3103.png"},
    {"q/rgba16-4444.bmp", "rgba16-4444.png"},
    {"q/rgba16-5551.bmp", "rgba16-5551.png"},
    {"q/rgba16-1924.bmp", "rgba16-1924.png"},
    {"q/rgb24largepal.bmp", "rgb24.png"},
    {"q/rgb24prof.bmp", "rgb24.png"},
    {"q/rgb24lprof.bmp", "rgb24.png"},
    {"q/rgb32h52.bmp", "rgb24.png"},
    {"q/rgb32-xbgr.bmp", "rgb24.png"},
    {"q/rgb32fakealpha.bmp", "rgb24.png"},
    // 11-bit channels made from the 8-bit picture do not all scale back to its exact values.
    {"q/rgb32-111110.bmp", "rgb24.png", 1},
    {"q/rgb32-7187.bmp", "rgb32-7187.png"},
    {"q/rgba32-1.bmp", "rgba32.png"},
    {"q/rgba32-2.bmp", "rgba32.png"},
    {"q/rgba32-1010102.bmp", "rgba32-1010102.png"},
    {"q/rgba32-81284.bmp", "rgba32-81284.png"},
    {"q/rgba32-61754.bmp", "rgba32-61754.png"},
    {"q/rgba32abf.bmp", "rgba32.png"},
    {"q/rgba32h56.bmp", "rgba32.png"},
    {"x/ba-bm.bmp", "pal8.png"},
    {"b/rgb16-880.bmp", "rgb16-880.png"},
};

// The reader ignores alpha, so where a rendering is fully transparent its
// colour says nothing; there the reader's own pixel stands in.
QImage withoutTransparentPixels(const QImage& reference, const QImage& ours)
{
    QImage opaque = reference.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < opaque.height() && y < ours.height(); ++y)
        for (int x = 0; x < opaque.width() && x < ours.width(); ++x)
            if (qAlpha(opaque.pixel(x, y)) == 0)
                opaque.setPixel(x, y, ours.pixel(x, y));
    return opaque;
}

TEST(BmpReaderCorpus, SuiteFilesMatchTheirReferenceRenderings)
{
    OSTREL_SUITE_OR_SKIP();
    for (const ReferenceCase& c : kReferenceCases) {
        SCOPED_TRACE(c.file);
        const LoadResult result = loadSampleFile(kSuite + QLatin1String(c.file), "BMP");
        const QImage reference(kSuite + QStringLiteral("html/") + QLatin1String(c.rendering));
        ASSERT_FALSE(reference.isNull());
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(result.picture, withoutTransparentPixels(reference, result.picture), c.tolerance), "");
    }
}

// Files from other writers, decoded by Qt. Qt widens 16-bit channels by
// shifting (31 becomes 248) where the suite's renderings scale to the full
// range (31 becomes 255); `channelBits` undoes that for Qt's answer.
struct QtCase {
    const char* file; // under bmp/
    std::array<int, 3> channelBits;
};

const QtCase kQtCases[] = {
    {"image-rs/good/Core_1_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Core_4_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Core_8_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Info_1_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Info_1_Bit_Top_Down.bmp", {8, 8, 8}},
    {"image-rs/good/Info_4_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Info_4_Bit_Top_Down.bmp", {8, 8, 8}},
    {"image-rs/good/Info_8_Bit.bmp", {8, 8, 8}},
    {"image-rs/good/Info_8_Bit_Top_Down.bmp", {8, 8, 8}},
    {"image-rs/good/Info_A8_R8_G8_B8.bmp", {8, 8, 8}},
    {"image-rs/good/Info_A8_R8_G8_B8_Top_Down.bmp", {8, 8, 8}},
    {"image-rs/good/Info_R8_G8_B8.bmp", {8, 8, 8}},
    {"image-rs/good/Info_R8_G8_B8_Top_Down.bmp", {8, 8, 8}},
    {"image-rs/good/Info_X1_R5_G5_B5.bmp", {5, 5, 5}},
    {"image-rs/good/Info_X1_R5_G5_B5_Top_Down.bmp", {5, 5, 5}},
    {"image-rs/good/V4_A8_R8_G8_B8.bmp", {8, 8, 8}},
    {"image-rs/good/V4_R5_G6_B5.bmp", {5, 6, 5}},
    {"image-rs/good/V5_A1_R5_G5_B5.bmp", {5, 5, 5}},
    {"image-rs/good/V5_A8_R8_G8_B8_Rgb.bmp", {8, 8, 8}},
    {"image-rs/good/imagemagick_invalid_run_length_issue_2321.bmp", {8, 8, 8}},
    {"image-rs/lenient/V5_A8_R8_G8_B8_Rgb_BadMask.bmp", {8, 8, 8}},
    {"wuffs/bricks-gray.bmp", {8, 8, 8}},
    {"wuffs/bricks-nodither.bmp", {8, 8, 8}},
    {"wuffs/hippopotamus.bmp", {8, 8, 8}},
    {"corkami/bmp.bmp", {5, 6, 5}},
    {"libjpeg-turbo/vgl_6434_0018a.bmp", {8, 8, 8}},
};

int widenedChannel(int qtValue, int bits)
{
    if (bits >= 8)
        return qtValue;
    const int max = (1 << bits) - 1;
    return ((qtValue >> (8 - bits)) * 510 + max) / (2 * max);
}

QImage widenedToFullRange(const QImage& qt, const std::array<int, 3>& bits)
{
    QImage widened(qt.size(), QImage::Format_RGB32);
    for (int y = 0; y < qt.height(); ++y)
        for (int x = 0; x < qt.width(); ++x) {
            const QRgb c = qt.pixel(x, y);
            widened.setPixel(x, y,
                             qRgb(widenedChannel(qRed(c), bits[0]), widenedChannel(qGreen(c), bits[1]),
                                  widenedChannel(qBlue(c), bits[2])));
        }
    return widened;
}

TEST(BmpReaderCorpus, FilesOfOtherWritersMatchQt)
{
    OSTREL_SUITE_OR_SKIP();
    for (const QtCase& c : kQtCases) {
        SCOPED_TRACE(c.file);
        const QString path = QStringLiteral(OSTREL_CORPUS_DIR "/bmp/") + QLatin1String(c.file);
        const LoadResult result = loadSampleFile(path, "BMP");
        const QImage qt = readWithQt(path);
        ASSERT_FALSE(qt.isNull());
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(result.picture, widenedToFullRange(qt, c.channelBits)), "");
    }
}

// Qt refuses the 56-byte headers; the same 6×6 picture stored every other
// way shows what they must give.
TEST(BmpReaderCorpus, BitfieldVariantsOfOnePictureAgree)
{
    OSTREL_SUITE_OR_SKIP();
    const QString folder = QStringLiteral(OSTREL_CORPUS_DIR "/bmp/image-rs/good/");
    const QImage expected = readWithQt(folder + QStringLiteral("Info_R8_G8_B8.bmp"));
    ASSERT_FALSE(expected.isNull());
    for (const char* name : {"V3_A1_R5_G5_B5.bmp", "V3_A4_R4_G4_B4.bmp", "V3_R5_G6_B5.bmp", "V3_R5_G6_B5_Top_Down.bmp",
                             "V3_X4_R4_G4_B4.bmp", "V3_X8_R8_G8_B8.bmp", "Info_X1_R5_G5_B5.bmp"}) {
        SCOPED_TRACE(name);
        const LoadResult result = loadSampleFile(folder + QLatin1String(name), "BMP");
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(result.picture, expected), "");
    }
}

// How each damaged, unusual or unsupported sample ends. Refused files leave
// the 100×100 blank picture.
struct EndingCase {
    const char* file; // under bmp/
    LoadStop stop;
};

const EndingCase kEndingCases[] = {
    {"bmpsuite/b/badbitcount.bmp", LoadStop::Corrupt},   {"bmpsuite/b/badheadersize.bmp", LoadStop::Corrupt},
    {"bmpsuite/b/badwidth.bmp", LoadStop::Corrupt},      {"bmpsuite/b/rletopdown.bmp", LoadStop::Corrupt},
    {"bmpsuite/b/reallybig.bmp", LoadStop::OverLimit},   {"image-rs/bad/Bad_height.bmp", LoadStop::OverLimit},
    {"image-rs/bad/Bad_width.bmp", LoadStop::OverLimit}, {"bmpsuite/q/pal1huffmsb.bmp", LoadStop::Unsupported},
    {"bmpsuite/q/rgb24jpeg.bmp", LoadStop::Unsupported}, {"bmpsuite/q/rgb24png.bmp", LoadStop::Unsupported},
    {"bmpsuite/q/rgba64.bmp", LoadStop::Unsupported},    {"bmpsuite/b/shortfile.bmp", LoadStop::Truncated},
};

TEST(BmpReaderCorpus, DamagedAndUnsupportedFilesEndAsExpected)
{
    OSTREL_SUITE_OR_SKIP();
    for (const EndingCase& c : kEndingCases) {
        SCOPED_TRACE(c.file);
        const LoadResult result =
            loadSampleFile(QStringLiteral(OSTREL_CORPUS_DIR "/bmp/") + QLatin1String(c.file), "BMP");
        EXPECT_EQ(result.stop, c.stop);
        if (c.stop != LoadStop::Truncated) {
            EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
        }
    }
}

// What is drawn of a cut-off file: the 13 whole rows and 3 bytes it holds
// as the complete picture has them, the rest in palette entry 0 (black).
TEST(BmpReaderCorpus, ShortFileKeepsTheRowsItHas)
{
    OSTREL_SUITE_OR_SKIP();
    const LoadResult result = loadSampleFile(kSuite + QStringLiteral("b/shortfile.bmp"), "BMP");
    const QImage full(kSuite + QStringLiteral("html/pal1.png"));
    ASSERT_EQ(result.picture.size(), full.size());
    EXPECT_EQ(firstDifference(result.picture.copy(0, 51, 127, 13), full.copy(0, 51, 127, 13)), "");
    EXPECT_EQ(firstDifference(result.picture.copy(0, 50, 24, 1), full.copy(0, 50, 24, 1)), "");
    QImage black(127, 50, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(firstDifference(result.picture.copy(0, 0, 127, 50), black), "");
    EXPECT_EQ(firstDifference(result.picture.copy(24, 50, 103, 1), black.copy(0, 0, 103, 1)), "");
}

// Every sample, whatever it holds, ends with a usable picture and a closed report.
TEST(BmpReaderCorpus, EveryFileEndsCleanly)
{
    OSTREL_CORPUS_OR_SKIP(files, "bmp", QStringList{QStringLiteral("*.bmp")});
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "BMP");
        EXPECT_EQ(reportedValue(result, QStringLiteral("Width")), QString::number(result.picture.width()));
        EXPECT_EQ(reportedValue(result, QStringLiteral("Height")), QString::number(result.picture.height()));
    }
}

struct FormatCase {
    const char* file; // under bmpsuite/
    const char* pixelFormat;
    const char* monochrome;
};

TEST(BmpReaderReport, NamesThePixelFormatOfTheFile)
{
    OSTREL_SUITE_OR_SKIP();
    const FormatCase cases[] = {
        {"g/pal1bg.bmp", "1-bit", "TRUE"},        {"q/pal2.bmp", "Custom", "FALSE"},
        {"g/pal4rle.bmp", "4-bit", "FALSE"},      {"g/pal8os2.bmp", "8-bit", "FALSE"},
        {"g/rgb16.bmp", "15-bit", "FALSE"},       {"g/rgb16-565.bmp", "16-bit", "FALSE"},
        {"q/rgb16-231.bmp", "Custom", "FALSE"},   {"g/rgb24.bmp", "24-bit", "FALSE"},
        {"q/rgb24rle24.bmp", "24-bit", "FALSE"},  {"g/rgb32.bmp", "32-bit", "FALSE"},
        {"g/rgb32bfdef.bmp", "32-bit", "FALSE"},  {"g/rgb32bf.bmp", "Custom", "FALSE"},
        {"b/badbitcount.bmp", "24-bit", "FALSE"}, // refused: the blank picture's own format
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.file);
        const LoadResult result = loadSampleFile(kSuite + QLatin1String(c.file), "BMP");
        EXPECT_EQ(reportedValue(result, QStringLiteral("Pixel Format")),
                  QLatin1String(c.pixelFormat) + QStringLiteral(" (promoted to 24-bit)"));
        EXPECT_EQ(reportedValue(result, QStringLiteral("Monochrome")), QLatin1String(c.monochrome));
    }
}

TEST(BmpReaderReport, ListsTheFieldsInOrder)
{
    const QByteArray file = makeBmp(BmpFields().size(3, 2).bits(24).pixels(QByteArray(24, '\0')));
    const LoadResult result = loadBmpBytes(file);
    const QStringList expected = {
        reportValueLine(QStringLiteral("BMP"), QStringLiteral("test.bmp")),
        reportValueLine(QStringLiteral("Width"), QStringLiteral("3")),
        reportValueLine(QStringLiteral("Height"), QStringLiteral("2")),
        reportValueLine(QStringLiteral("Monochrome"), QStringLiteral("FALSE")),
        reportValueLine(QStringLiteral("Pixel Format"), QStringLiteral("24-bit (promoted to 24-bit)")),
        QStringLiteral("BMP End."),
    };
    EXPECT_EQ(result.report, expected);
}

TEST(BmpReaderMissing, GivesTheBlankPictureAndItsReport)
{
    const LoadResult result = loadMissing(QStringLiteral("absent.bmp"));
    EXPECT_EQ(result.stop, LoadStop::Missing);
    EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Width")), QStringLiteral("100"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Pixel Format")), QStringLiteral("24-bit (promoted to 24-bit)"));
    EXPECT_EQ(result.report.back(), QStringLiteral("BMP End."));
}

// ---------------------------------------------------------------------------
// Hand-made files

// Three pixels wide (3 bytes of row padding), two high: red green blue over
// white grey black, stored bottom row first.
QByteArray threeByTwo24(uint32_t headerSize, bool topDown)
{
    Bytes top, bottom;
    top.bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0});
    bottom.bytes({255, 255, 255, 128, 128, 128, 0, 0, 0, 0, 0, 0});
    const QByteArray pixels = topDown ? top.data() + bottom.data() : bottom.data() + top.data();
    return makeBmp(BmpFields().headerSize(headerSize).size(3, topDown ? -2 : 2).bits(24).pixels(pixels));
}

void expectThreeByTwo(const LoadResult& result)
{
    ASSERT_EQ(result.picture.size(), QSize(3, 2));
    EXPECT_EQ(result.stop, LoadStop::Complete);
    const QRgb expected[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                                 {qRgb(255, 255, 255), qRgb(128, 128, 128), qRgb(0, 0, 0)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(result.picture.pixel(x, y), expected[y][x]) << x << "," << y;
}

TEST(BmpReaderHeaders, EveryHeaderSizeReadsTheSamePicture)
{
    for (uint32_t headerSize : {40u, 52u, 56u, 64u, 108u, 124u}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(::testing::Message() << headerSize << (topDown ? " top-down" : " bottom-up"));
            expectThreeByTwo(loadBmpBytes(threeByTwo24(headerSize, topDown)));
        }
    }
    SCOPED_TRACE("core header");
    expectThreeByTwo(loadBmpBytes(threeByTwo24(12, false)));
}

TEST(BmpReaderHeaders, ShortOs2HeaderAndCoreTableOfThreeByteEntries)
{
    // 16-byte OS/2 header: only sizes, planes and bit count; 4-byte table entries.
    const QByteArray os2 = makeBmp(BmpFields()
                                       .headerSize(16)
                                       .size(2, 1)
                                       .bits(8)
                                       .table(colourTable({{10, 20, 30}, {40, 50, 60}}))
                                       .pixels(QByteArray("\x01\x00\x00\x00", 4)));
    // Core header: 3-byte entries, and a table shorter than 2^bits that ends where the pixels begin.
    const QByteArray core = makeBmp(BmpFields()
                                        .headerSize(12)
                                        .size(2, 1)
                                        .bits(8)
                                        .table(colourTable({{10, 20, 30}, {40, 50, 60}}, 3))
                                        .pixels(QByteArray("\x01\x00\x00\x00", 4)));
    for (const QByteArray& file : {os2, core}) {
        const LoadResult result = loadBmpBytes(file);
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(result.picture.pixel(0, 0), qRgb(40, 50, 60));
        EXPECT_EQ(result.picture.pixel(1, 0), qRgb(10, 20, 30));
    }
}

TEST(BmpReaderIndexed, UnpacksEveryDepthLeftmostPixelInTheHighBits)
{
    const QByteArray fourColours = colourTable({{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
    struct Case {
        uint16_t bits;
        QByteArray row; // indices 1, 2, 3, 0, 1, 2, 3, 0, 1 as stored
    };
    const Case cases[] = {
        {1, QByteArray("\x88\x80\x00\x00", 4)}, // indices above 1 cannot be stored: 1,0,0,0,1,0,0,0,1
        {2, QByteArray("\x6C\x6C\x40\x00", 4)},
        {4, QByteArray("\x12\x30\x12\x30\x10\x00\x00\x00", 8)},
        {8, QByteArray("\x01\x02\x03\x00\x01\x02\x03\x00\x01\x00\x00\x00", 12)},
    };
    const QRgb colours[4] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        const LoadResult result =
            loadBmpBytes(makeBmp(BmpFields().size(9, 1).bits(c.bits).coloursUsed(4).table(fourColours).pixels(c.row)));
        ASSERT_EQ(result.stop, LoadStop::Complete);
        for (int x = 0; x < 9; ++x) {
            const int index = c.bits == 1 ? (x % 4 == 0 ? 1 : 0) : (x + 1) % 4;
            EXPECT_EQ(result.picture.pixel(x, 0), colours[index]) << "x " << x;
        }
    }
}

TEST(BmpReaderIndexed, IndexBeyondTheTableIsBlack)
{
    // Two table entries (white, red); the pixels use indices 1, 2 and 255.
    const QByteArray file = makeBmp(BmpFields()
                                        .size(3, 1)
                                        .bits(8)
                                        .coloursUsed(2)
                                        .table(colourTable({{255, 255, 255}, {255, 0, 0}}))
                                        .pixels(QByteArray("\x01\x02\xFF\x00", 4)));
    const LoadResult result = loadBmpBytes(file);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.picture.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(result.picture.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(result.picture.pixel(2, 0), qRgb(0, 0, 0));
}

TEST(BmpReaderIndexed, PixelOffsetInsideTheHeadersMeansRightAfterTheTable)
{
    // Offset 0, as some writers leave it.
    const QByteArray file = makeBmp(BmpFields()
                                        .size(1, 1)
                                        .bits(8)
                                        .coloursUsed(2)
                                        .table(colourTable({{0, 0, 0}, {1, 2, 3}}))
                                        .pixels(QByteArray("\x01\x00\x00\x00", 4))
                                        .pixelOffset(0));
    const LoadResult result = loadBmpBytes(file);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.picture.pixel(0, 0), qRgb(1, 2, 3));
}

TEST(BmpReaderMasks, ScalesEachChannelToTheFullRangeAndIgnoresAlpha)
{
    struct Case {
        const char* what;
        uint32_t headerSize;
        uint16_t bits;
        uint32_t compression;
        std::vector<uint32_t> masks;
        QByteArray pixel; // one stored pixel, padded to 4 bytes
        QRgb expected;
    };
    const Case cases[] = {
        // clang-format off
        {"default 16-bit white", 40, 16, 0, {}, QByteArray("\xFF\x7F\0\0", 4), qRgb(255, 255, 255)},
        {"default 16-bit ignores the top bit", 40, 16, 0, {}, QByteArray("\x1F\x80\0\0", 4), qRgb(0, 0, 255)},
        {"565 after the header", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, QByteArray("\xE0\x07\0\0", 4),
         qRgb(0, 255, 0)},
        {"565 mid values", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, QByteArray("\x10\x84\0\0", 4),
         qRgb(132, 130, 132)},
        {"alpha bit fields: 4 masks after the header", 40, 16, 6, {0x0F00, 0x00F0, 0x000F, 0xF000},
         QByteArray("\x5A\xF3\0\0", 4), qRgb(51, 85, 170)},
        {"V5 alpha mask ignored", 124, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         QByteArray("\x03\x02\x01\x80", 4), qRgb(1, 2, 3)},
        {"V5 masks ignored without bit fields", 124, 32, 0, {0xFF, 0xFF00, 0xFF0000, 0},
         QByteArray("\x03\x02\x01\x7F", 4), qRgb(1, 2, 3)},
        {"32-bit unusual order", 56, 32, 3, {0xFF, 0xFF00, 0xFF000000, 0},
         QByteArray("\x01\x02\x00\x03", 4), qRgb(1, 2, 3)},
        {"10-bit channels", 52, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF},
         QByteArray("\xFF\x03\x00\x20", 4), qRgb(128, 0, 255)},
        {"missing channel stays 0", 40, 16, 3, {0xFF00, 0x00FF, 0}, QByteArray("\x80\xFF\0\0", 4),
         qRgb(255, 128, 0)},
        {"24-bit with bit fields", 40, 24, 3, {0xFF0000, 0xFF00, 0xFF}, QByteArray("\x03\x02\x01\x00", 4),
         qRgb(1, 2, 3)},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBmpBytes(makeBmp(BmpFields()
                                                           .headerSize(c.headerSize)
                                                           .size(1, 1)
                                                           .bits(c.bits)
                                                           .compression(c.compression)
                                                           .masks(c.masks)
                                                           .pixels(c.pixel)));
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(QColor(result.picture.pixel(0, 0)), QColor(c.expected));
    }
}

// ---------------------------------------------------------------------------
// Run-length files

// An 8×3 RLE8 picture, palette: 0 purple, 1 red, 2 green, 3 blue.
QByteArray rle8(const QByteArray& codes)
{
    return makeBmp(BmpFields()
                       .size(8, 3)
                       .bits(8)
                       .compression(1)
                       .coloursUsed(4)
                       .table(colourTable({{128, 0, 128}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}))
                       .pixels(codes));
}

// Rows of an 8×3 picture, top first, as palette indices ('.' = entry 0 background).
void expectIndices(const LoadResult& result, const char* const rows[3])
{
    const QRgb colours[4] = {qRgb(128, 0, 128), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    ASSERT_EQ(result.picture.size(), QSize(8, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) {
            const int index = rows[y][x] == '.' ? 0 : rows[y][x] - '0';
            EXPECT_EQ(result.picture.pixel(x, y), colours[index]) << "x " << x << " y " << y;
        }
}

TEST(BmpReaderRle, RunsLiteralsDeltasAndEndCodes)
{
    struct Case {
        const char* what;
        QByteArray codes;
        const char* rows[3]; // top row first
        LoadStop stop;
    };
    const Case cases[] = {
        {"runs and end of line on every row",
         QByteArray("\x03\x01\x05\x02\x00\x00\x08\x03\x00\x00\x02\x01\x00\x01", 14),
         {"11......", "33333333", "11122222"},
         LoadStop::Complete},
        {"odd literal padded to a word",
         QByteArray("\x00\x03\x01\x02\x03\x00\x02\x01\x00\x01", 10),
         {"........", "........", "12311..."},
         LoadStop::Complete},
        {"delta skips right and up",
         QByteArray("\x01\x01\x00\x02\x03\x01\x02\x02\x00\x01", 10),
         {"........", "....22..", "1......."},
         LoadStop::Complete},
        {"run past the right edge is cut",
         QByteArray("\x0C\x01\x00\x00\x01\x02\x00\x01", 8),
         {"........", "2.......", "11111111"},
         LoadStop::Complete},
        {"delta beyond the top ends the picture",
         QByteArray("\x01\x03\x00\x02\x00\x09\x01\x01", 8),
         {"........", "........", "3......."},
         LoadStop::Complete},
        {"data ends without an end code",
         QByteArray("\x02\x03\x00\x00\x02", 5),
         {"........", "........", "33......"},
         LoadStop::Truncated},
        {"literal cut short",
         QByteArray("\x00\x05\x01\x02", 4),
         {"........", "........", "12......"},
         LoadStop::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBmpBytes(rle8(c.codes));
        EXPECT_EQ(result.stop, c.stop);
        expectIndices(result, c.rows);
    }
}

TEST(BmpReaderRle, FourBitRunsAlternateTheirTwoIndices)
{
    // A run of 5 with indices 1 and 2, an end of line, then a literal of 3 (1,2,3, padded), end.
    const QByteArray file = makeBmp(BmpFields()
                                        .size(8, 3)
                                        .bits(4)
                                        .compression(2)
                                        .coloursUsed(4)
                                        .table(colourTable({{128, 0, 128}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}))
                                        .pixels(QByteArray("\x05\x12\x00\x00\x00\x03\x12\x30\x00\x01", 10)));
    const char* const rows[3] = {"........", "123.....", "12121..."};
    const LoadResult result = loadBmpBytes(file);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    expectIndices(result, rows);
}

TEST(BmpReaderRle, TwentyFourBitRunsCarryTheirColour)
{
    // OS/2 2.x RLE24, 6 wide: a run of 2 orange, a literal of teal, navy, white
    // (9 bytes, padded), end of bitmap.
    const QByteArray codes("\x02\x00\x80\xFF"
                           "\x00\x03\x80\x80\x00\x80\x00\x00\xFF\xFF\xFF\x00"
                           "\x00\x01",
                           18);
    const LoadResult result =
        loadBmpBytes(makeBmp(BmpFields().headerSize(64).size(6, 1).bits(24).compression(4).pixels(codes)));
    EXPECT_EQ(result.stop, LoadStop::Complete);
    const QRgb expected[6] = {qRgb(255, 128, 0), qRgb(255, 128, 0), qRgb(0, 128, 128),
                              qRgb(0, 0, 128),   qRgb(255, 255, 255),
                              qRgb(0, 0, 0)}; // skipped: black, there is no table
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(result.picture.pixel(x, 0), expected[x]) << "x " << x;
}

// ---------------------------------------------------------------------------
// Files refused or cut short

TEST(BmpReaderDamage, RefusedFilesLeaveTheBlankPicture)
{
    const QByteArray good = threeByTwo24(40, false);
    auto with = [&](qsizetype at, std::initializer_list<unsigned> bytes) {
        QByteArray file = good;
        for (unsigned b : bytes)
            file[at++] = char(b);
        return file;
    };
    const UnusableFile cases[] = {
        {"empty file", QByteArray(), LoadStop::Truncated},
        {"one byte", QByteArray("B"), LoadStop::Truncated},
        {"not BM", with(0, {'M', 'B'}), LoadStop::BadSignature},
        {"file header only", good.left(14), LoadStop::Truncated},
        {"info header cut", good.left(30), LoadStop::Truncated},
        {"header size 41", with(14, {41}), LoadStop::Corrupt},
        {"header size 66", with(14, {66}), LoadStop::Corrupt},
        {"header size 0", with(14, {0}), LoadStop::Corrupt},
        {"width 0", with(18, {0}), LoadStop::Corrupt},
        {"width negative", with(18, {0xFD, 0xFF, 0xFF, 0xFF}), LoadStop::Corrupt},
        {"height 0", with(22, {0}), LoadStop::Corrupt},
        {"height -2^31", with(22, {0, 0, 0, 0x80}), LoadStop::OverLimit},
        {"3 bits per pixel", with(28, {3}), LoadStop::Corrupt},
        {"RLE8 at 24 bits", with(30, {1}), LoadStop::Corrupt},
        {"bit fields at 8 bits", with(28, {8, 0, 3}), LoadStop::Corrupt},
        {"unknown compression", with(30, {9}), LoadStop::Corrupt},
        {"embedded JPEG", with(30, {4}), LoadStop::Unsupported},
        {"width × height over the limit", with(18, {0, 0, 1, 0, 0, 0, 1, 0}), LoadStop::OverLimit},
        {"bit fields without their masks", with(30, {3}).left(54 + 4), LoadStop::Truncated},
    };
    for (const UnusableFile& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBmpBytes(c.file);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
        EXPECT_EQ(result.report.back(), QStringLiteral("BMP End."));
    }
}

TEST(BmpReaderDamage, ShortPixelDataKeepsTheRowsThatArrived)
{
    // 2×3 8-bit, bottom-up, rows of indices 1, 2, 3 from the bottom; cut inside the second row.
    const QByteArray table = colourTable({{9, 9, 9}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
    const QByteArray full = makeBmp(BmpFields().size(2, 3).bits(8).coloursUsed(4).table(table).pixels(
        QByteArray("\x01\x01\0\0\x02\x02\0\0\x03\x03\0\0", 12)));
    const LoadResult cut = loadBmpBytes(full.left(full.size() - 12 + 5));
    EXPECT_EQ(cut.stop, LoadStop::Truncated);
    EXPECT_EQ(cut.picture.pixel(0, 2), qRgb(255, 0, 0));
    EXPECT_EQ(cut.picture.pixel(1, 2), qRgb(255, 0, 0));
    EXPECT_EQ(cut.picture.pixel(0, 1), qRgb(0, 255, 0)); // the one byte of the second row
    EXPECT_EQ(cut.picture.pixel(1, 1), qRgb(9, 9, 9)); // the rest in entry 0
    EXPECT_EQ(cut.picture.pixel(0, 0), qRgb(9, 9, 9));

    // Only the last row's padding missing: the picture is whole.
    const LoadResult unpadded = loadBmpBytes(full.left(full.size() - 2));
    EXPECT_EQ(unpadded.stop, LoadStop::Complete);
    EXPECT_EQ(unpadded.picture.pixel(1, 0), qRgb(0, 0, 255));

    // Pixel offset beyond the end of the file: nothing arrives.
    QByteArray farOffset = full;
    farOffset[10] = char(0xF0);
    const LoadResult nothing = loadBmpBytes(farOffset);
    EXPECT_EQ(nothing.stop, LoadStop::Truncated);
    EXPECT_EQ(nothing.picture.pixel(0, 2), qRgb(9, 9, 9));
}

// Headers that claim far more pixels than their files hold are refused
// before the picture is made: no 4096 × 4096 picture (48 MiB) for a few
// bytes. A run-length file that does paint that many pixels still loads.
TEST(BmpReaderDamage, PicturesLargerThanTheirDataCanFillAreRefused)
{
    const QByteArray table = colourTable({{0, 0, 0}, {255, 255, 255}});
    auto bitmap = [&](int32_t height, uint16_t bits, uint32_t compression, const QByteArray& pixels) {
        return makeBmp(BmpFields().size(4096, height).bits(bits).compression(compression).coloursUsed(2).table(
            table).pixels(pixels));
    };
    QByteArray deltas; // moves over the whole picture without painting a pixel
    for (int i = 0; i < 20; ++i)
        deltas.append(QByteArray("\0\2\xFF\xFF", 4));
    const UnusableFile cases[] = {
        {"24-bit header without rows", bitmap(4096, 24, 0, {}), LoadStop::Truncated},
        {"top-down 8-bit with one row", bitmap(-4096, 8, 0, QByteArray(4096, '\1')), LoadStop::Truncated},
        {"RLE8 of one run", bitmap(4096, 8, 1, QByteArray("\xFF\1\0\1", 4)), LoadStop::Truncated},
        {"RLE8 of deltas", bitmap(4096, 8, 1, deltas), LoadStop::Truncated},
        {"RLE4 of one run", bitmap(4096, 4, 2, QByteArray("\xFF\x11\0\1", 4)), LoadStop::Truncated},
    };
    for (const UnusableFile& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBmpBytes(c.file);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
        const auto says = [](const QString& line) { return line.startsWith(QLatin1String("Data for at most")); };
        EXPECT_TRUE(std::any_of(result.report.begin(), result.report.end(), says));
    }

    QByteArray runs; // every row white in runs of 255 pixels
    for (int y = 0; y < 4096; ++y) {
        for (int x = 0; x < 4096; x += 255)
            runs.append(char(std::min(255, 4096 - x))).append('\1');
        runs.append(QByteArray("\0\0", 2));
    }
    runs.append(QByteArray("\0\1", 2));
    const LoadResult whole = loadBmpBytes(bitmap(4096, 8, 1, runs));
    EXPECT_EQ(whole.stop, LoadStop::Complete);
    ASSERT_EQ(whole.picture.size(), QSize(4096, 4096));
    EXPECT_EQ(whole.picture.pixel(4095, 0), qRgb(255, 255, 255));
}

// Large uncompressed 24-bit files are read from the open file straight into
// the picture's rows; whatever the rows' padding, order and completeness, the
// result is the one the reader of the file's bytes gives.
TEST(BmpReaderFromFile, ReadsWhatTheBytesReaderReads)
{
    struct Shape {
        int width, height;
        bool topDown;
    };
    const Shape shapes[] = {{151, 200, false}, {151, 200, true}, {1, 20000, false}, {256, 90, true}};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Shape& shape : shapes) {
        const QByteArray full = makeBmp(BmpFields()
                                            .size(shape.width, shape.topDown ? -shape.height : shape.height)
                                            .bits(24)
                                            .pixels(bmpOf(gradientPicture(shape.width, shape.height), {}, 257)
                                                        .mid(54)));
        const qsizetype stride = (shape.width * 3 + 3) / 4 * 4;
        // Whole; without the last row's padding; cut inside a row; cut after a few rows.
        for (const qsizetype cut : {qsizetype(0), qsizetype(stride - shape.width * 3 > 1 ? 1 : 0), stride / 2,
                                    full.size() - 54 - 5 * stride}) {
            SCOPED_TRACE(::testing::Message() << shape.width << "x" << shape.height << (shape.topDown ? " top-down" : "")
                                              << " cut " << cut);
            const QByteArray bytes = full.left(full.size() - cut);
            const QString path = dir.filePath(QStringLiteral("picture.bmp"));
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes);
            out.close();
            const Result<OpenFile> file = openRegularFile(path);
            ASSERT_TRUE(file);
            const LoadResult fromFile = loadBmpFromFile(LoadInput{path, true, {}, {}}, *file);
            LoadResult fromBytes = loadBmpBytes(bytes);
            fromBytes.report.first() = fromFile.report.first(); // the name line
            EXPECT_EQ(fromFile.stop, fromBytes.stop);
            EXPECT_EQ(fromFile.report, fromBytes.report);
            EXPECT_EQ(firstDifference(fromFile.picture, fromBytes.picture), "");
        }
    }
}

// A file shortened after it was opened (another program truncating it) is
// a picture cut short, with black where the rows are missing, not a crash.
TEST(BmpReaderFromFile, FileShortenedWhileOpenIsCutShort)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage picture = gradientPicture(200, 150);
    const QByteArray bytes = bmpOf(picture, {}, 257);
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const Result<OpenFile> file = openRegularFile(path);
    ASSERT_TRUE(file);
    ASSERT_TRUE(QFile::resize(path, 54 + 600 * 100)); // the bottom 100 rows stay
    const LoadResult result = loadBmpFromFile(LoadInput{path, true, {}, {}}, *file);
    EXPECT_EQ(result.stop, LoadStop::Truncated);
    ASSERT_EQ(result.picture.size(), picture.size());
    EXPECT_EQ(firstDifference(result.picture.copy(0, 50, 200, 100), picture.copy(0, 50, 200, 100)), "");
    EXPECT_EQ(result.picture.pixel(7, 10), qRgb(0, 0, 0));
}

} // namespace
} // namespace ostrel::testing
