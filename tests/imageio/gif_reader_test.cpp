// SPDX-License-Identifier: Apache-2.0
#include "gif_test_support.h"
#include "imageio/gif.h"

#include <QFileInfo>
#include <functional>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

const std::vector<QColor> kFour = {{255, 0, 0}, {0, 160, 0}, {0, 0, 255}, {250, 250, 0}};

// A picture of `size` in one colour, to paint expected frames onto.
QImage filled(QSize size, const QColor& colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// Paints a frame the way the reader must composite it: at its offset, rows
// in stored order, pixels beyond the screen dropped.
void paintFrame(QImage& picture, const GifFrame& frame, const std::vector<QColor>& table)
{
    std::vector<int> rows;
    if (frame.interlaced)
        rows = interlacedRowOrder(frame.height);
    else
        for (int y = 0; y < frame.height; ++y)
            rows.push_back(y);
    for (size_t i = 0; i < rows.size(); ++i)
        for (int x = 0; x < frame.width; ++x) {
            const QPoint at(frame.left + x, frame.top + rows[i]);
            if (picture.rect().contains(at))
                picture.setPixelColor(at, table[size_t(frame.indices[i * size_t(frame.width) + size_t(x)])]);
        }
}

std::vector<int> sequence(int count, int modulo, int step = 1)
{
    std::vector<int> values(size_t(count), 0);
    for (int i = 0; i < count; ++i)
        values[size_t(i)] = i * step % modulo;
    return values;
}

std::string reportText(const LoadResult& result) { return result.report.join(QLatin1Char('\n')).toStdString(); }

// Two frames over a 6x5 screen whose background is entry 3: the first at
// (1, 1), the second interlaced with its own table at (3, 2), one column
// hanging over the right edge.
struct TwoFrameFile {
    GifFrame first{1, 1, 3, 2, {0, 1, 2, 2, 1, 0}};
    GifFrame second{3, 2, 4, 3, {0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 1, 0}, true, {{0, 0, 0}, {128, 128, 128}}};
    Bytes header = gifScreen("GIF87a", 6, 5, kFour, 3);
    qsizetype firstEnd = 0, secondEnd = 0; // file sizes up to each frame's last byte

    Bytes bytes()
    {
        Bytes file = header;
        appendFrame(file, first);
        firstEnd = file.size();
        appendFrame(file, second);
        secondEnd = file.size();
        return file.u8(0x3B);
    }
    QImage background() const { return filled({6, 5}, kFour[3]); }
    QImage afterFirst() const
    {
        QImage picture = background();
        paintFrame(picture, first, kFour);
        return picture;
    }
    QImage afterBoth() const
    {
        QImage picture = afterFirst();
        paintFrame(picture, second, second.localTable);
        return picture;
    }
};

} // namespace

TEST(GifReader, FramesAreDrawnAtTheirOffsetsOverTheBackground)
{
    TwoFrameFile two;
    const LoadResult result = loadBytes(QStringLiteral("two.gif"), two.bytes());
    EXPECT_EQ(result.stop, LoadStop::Complete) << reportText(result);
    EXPECT_EQ(firstDifference(result.picture, two.afterBoth()), "");
    // Spot checks of the composition, independent of the painting helper.
    EXPECT_EQ(pixel(result.picture, 0, 0), kFour[3]);
    EXPECT_EQ(pixel(result.picture, 1, 1), kFour[0]);
    EXPECT_EQ(pixel(result.picture, 2, 2), kFour[1]);
    EXPECT_EQ(pixel(result.picture, 3, 2), QColor(0, 0, 0));
    // The row stored third lands in the middle.
    EXPECT_EQ(pixel(result.picture, 3, 3), QColor(128, 128, 128));
    EXPECT_EQ(pixel(result.picture, 4, 3), QColor(0, 0, 0));
    EXPECT_EQ(pixel(result.picture, 4, 4), QColor(128, 128, 128));
    EXPECT_TRUE(hasLine(result, QStringLiteral("Image Block: 2")));
}

TEST(GifReader, CutAnywhereKeepsWhatWasCompleteBeforeTheCut)
{
    TwoFrameFile two;
    const QByteArray file = two.bytes();
    const qsizetype tableEnd = 13 + 3 * 4;
    for (qsizetype size = 0; size < file.size(); ++size) {
        SCOPED_TRACE(size);
        const LoadResult result = loadBytes(QStringLiteral("cut.gif"), file.left(size));
        EXPECT_EQ(result.stop, LoadStop::Truncated);
        QImage expected;
        if (size < 13)
            expected = framedBlank(100, 100);
        else if (size < tableEnd)
            expected = filled({6, 5}, Qt::white);
        else if (size < two.firstEnd)
            expected = two.background();
        else if (size < two.secondEnd)
            expected = two.afterFirst();
        else
            expected = two.afterBoth();
        ASSERT_EQ(firstDifference(result.picture, expected), "");
        EXPECT_EQ(result.report.back(), QStringLiteral("GIF End."));
    }
}

TEST(GifReader, FramesOutsideTheScreenAreClippedOrSkipped)
{
    const std::vector<QColor> table = {{10, 10, 10}, {200, 0, 200}, {0, 200, 200}, {255, 255, 255}};
    const GifFrame frames[] = {
        {4, 3, 3, 3, sequence(9, 3)},                        // over the right and bottom edges
        {7, 0, 2, 2, {1, 1, 1, 1}},                          // right of the screen
        {0, 9, 2, 2, {1, 1, 1, 1}},                          // below the screen
        {0, 0, 0, 2, {}},                                    // no columns
        {65530, 65530, 10, 10, std::vector<int>(100, 2)},    // offsets near the 16-bit limit
        {0, 0, 2, 1, {2, 0}},                                // drawn after all of them
    };
    Bytes file = gifScreen("GIF89a", 6, 5, table, 3);
    QImage expected = filled({6, 5}, table[3]);
    for (const GifFrame& frame : frames) {
        appendFrame(file, frame);
        paintFrame(expected, frame, table);
    }
    file.u8(0x3B);
    const LoadResult result = loadBytes(QStringLiteral("clip.gif"), file);
    EXPECT_EQ(result.stop, LoadStop::Complete) << reportText(result);
    EXPECT_EQ(firstDifference(result.picture, expected), "");
    EXPECT_EQ(pixel(result.picture, 5, 4), table[1]);
    EXPECT_EQ(pixel(result.picture, 0, 0), table[2]);
}

TEST(GifReader, ColourTablesLocalGlobalAndNone)
{
    const std::vector<QColor> local = {{1, 2, 3}, {4, 5, 6}};
    struct Case {
        const char* what;
        std::vector<QColor> global;
        std::vector<QColor> local;
        QColor background; // what the unpainted screen shows
        QColor index1;     // the colour of index 1
    };
    const Case cases[] = {
        {"global only", kFour, {}, kFour[2], kFour[1]},
        {"local over global", kFour, local, kFour[2], local[1]},
        {"local only: white screen", {}, local, Qt::white, local[1]},
        {"no table: black pixels", {}, {}, Qt::white, Qt::black},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = gifScreen("GIF87a", 3, 2, c.global, 2);
        GifFrame frame{0, 0, 2, 1, {1, 1}};
        frame.localTable = c.local;
        appendFrame(file, frame);
        const LoadResult result = loadBytes(QStringLiteral("t.gif"), file.u8(0x3B));
        EXPECT_EQ(result.stop, LoadStop::Complete) << reportText(result);
        EXPECT_EQ(pixel(result.picture, 0, 0), c.index1);
        EXPECT_EQ(pixel(result.picture, 1, 0), c.index1);
        EXPECT_EQ(pixel(result.picture, 2, 1), c.background);
    }
}

TEST(GifReader, ExtensionsAreReportedAndSkipped)
{
    // Every kind of extension before one 2x2 image, including one this
    // reader does not know, whose several sub-blocks are skipped whole.
    Bytes file = gifScreen("GIF89a", 2, 2, kFour, 0);
    file.bytes({0x21, 0xFE}).append(subBlocks("made by hand"));
    file.bytes({0x21, 0xFF, 11}).text("NETSCAPE2.0").append(subBlocks(QByteArray("\x01\x00\x00", 3)));
    file.bytes({0x21, 0xF9, 4, 0x01, 0x0A, 0x00, 1, 0});
    file.bytes({0x21, 0x01, 12}).fill(12, 0).append(subBlocks("Hi"));
    file.bytes({0x21, 0x99}).append(subBlocks("\x3B\x2C unknown", 3));
    appendFrame(file, GifFrame{0, 0, 2, 2, {0, 1, 2, 3}});
    file.u8(0x3B);

    const LoadResult result = loadBytes(QStringLiteral("ext.gif"), file);
    EXPECT_EQ(result.stop, LoadStop::Complete) << reportText(result);
    // Index 1 is marked transparent and still shows its palette colour.
    EXPECT_EQ(pixel(result.picture, 1, 0), kFour[1]);
    EXPECT_EQ(pixel(result.picture, 1, 1), kFour[3]);
    const QStringList expected = {
        reportValueLine(QStringLiteral("GIF89a"), QStringLiteral("2\u00D72")),
        QStringLiteral("   Extension: Comment"),
        reportValueLine(QStringLiteral("      Comment"), QStringLiteral("made by hand")),
        QStringLiteral("   Extension: Application"),
        reportValueLine(QStringLiteral("      Application"), QStringLiteral("3 bytes.")),
        QStringLiteral("   Extension: Graphic Control"),
        reportValueLine(QStringLiteral("   Transparent Background"), QStringLiteral("TRUE")),
        reportValueLine(QStringLiteral("   Delay Time"), QStringLiteral("10")),
        reportValueLine(QStringLiteral("   Transparent Index"), QStringLiteral("1")),
        QStringLiteral("   Extension: Plain Text"),
        QStringLiteral("      Text: Hi"),
        QStringLiteral("   Extension: Unknown ($99)"),
        QStringLiteral("Image Block: 1"),
        QStringLiteral("Terminator"),
        QStringLiteral("GIF End."),
    };
    for (const QString& line : expected)
        EXPECT_TRUE(hasLine(result, line)) << line.toStdString() << "\n" << reportText(result);
    EXPECT_EQ(result.report.count(QStringLiteral("Extension")), 5);
}

TEST(GifReader, HeaderFieldsAreReported)
{
    // Global table of 8 entries, colour resolution 5 bits, sorted.
    Bytes file;
    file.text("GIF87a").u16le(300).u16le(2).u8(0x80 | 4 << 4 | 0x08 | 2).u8(0).u8(0).fill(24, 0x40);
    file.u8(0x3B);
    const LoadResult result = loadBytes(QStringLiteral("h.gif"), file);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.picture.size(), QSize(300, 2));
    EXPECT_EQ(result.report.value(0), reportValueLine(QStringLiteral("GIF"), QStringLiteral("h.gif")));
    EXPECT_EQ(reportedValue(result, QStringLiteral("File Size")), QStringLiteral("38"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("GIF87a")), QStringLiteral("300\u00D72"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Has Global ColorMap")), QStringLiteral("TRUE"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Palette Sorted")), QStringLiteral("TRUE"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Global Color Table Size")), QStringLiteral("2^3"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Bits Per Pixel")), QStringLiteral("5"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Total Colors")), QStringLiteral("8"));
    EXPECT_EQ(pixel(result.picture, 0, 0), QColor(0x40, 0x40, 0x40));
}

TEST(GifReader, CodeStreamsThatEndBadlyKeepThePixelsBeforeTheFault)
{
    // 4x2 images with a minimum code size of 2: clear 4, end 5, first free code 6.
    using Codes = std::vector<std::pair<int, int>>;
    const struct {
        const char* what;
        QByteArray codes;
        std::vector<int> drawn; // indices drawn from the top left, the rest background
        LoadStop stop;
        const char* line;
    } cases[] = {
        {"no end code once the image is complete", literalCodes({0, 1, 2, 3, 3, 2, 1, 0}, 2, false),
         {0, 1, 2, 3, 3, 2, 1, 0}, LoadStop::Complete, nullptr},
        {"the code about to be made, twice, then wider codes",
         packCodes(Codes{{4, 3}, {1, 3}, {6, 3}, {7, 3}, {2, 4}, {3, 4}, {5, 4}}), {1, 1, 1, 1, 1, 1, 2, 3},
         LoadStop::Complete, nullptr},
        {"a code above the next free code", packCodes(Codes{{4, 3}, {0, 3}, {7, 3}}), {0}, LoadStop::Corrupt,
         "   Illegal GIF Code: 7>6"},
        {"the next free code with nothing before it", packCodes(Codes{{4, 3}, {6, 3}, {1, 3}}), {},
         LoadStop::Corrupt, nullptr},
        {"the end code before the image is complete", packCodes(Codes{{4, 3}, {1, 3}, {2, 3}, {5, 3}}), {1, 2},
         LoadStop::Corrupt, "   EOI_Code"},
        {"data that run out", packCodes(Codes{{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}}), {1, 2, 3, 0},
         LoadStop::Corrupt, "   Image data ended before the image was complete."},
        {"no data at all", QByteArray(), {}, LoadStop::Corrupt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = gifScreen("GIF87a", 4, 2, kFour, 2);
        file.bytes({0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0, 2}).append(subBlocks(c.codes)).u8(0x3B);
        const LoadResult result = loadBytes(QStringLiteral("codes.gif"), file);
        EXPECT_EQ(result.stop, c.stop) << reportText(result);
        QImage expected = filled({4, 2}, kFour[2]);
        for (size_t i = 0; i < c.drawn.size(); ++i)
            expected.setPixelColor(int(i % 4), int(i / 4), kFour[size_t(c.drawn[i])]);
        EXPECT_EQ(firstDifference(result.picture, expected), "");
        if (c.line) {
            EXPECT_TRUE(hasLine(result, QString::fromLatin1(c.line))) << reportText(result);
        }
        EXPECT_TRUE(hasLine(result, QStringLiteral("Terminator")));
    }
}

TEST(GifReader, InitialCodeSizeOutsideTwoToEightIsClamped)
{
    const struct {
        unsigned stored;
        int used;
    } cases[] = {{0, 2}, {1, 2}, {9, 8}, {255, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Bytes file = gifScreen("GIF87a", 3, 1, kFour, 0);
        file.bytes({0x2C, 0, 0, 0, 0, 3, 0, 1, 0, 0, c.stored}).append(subBlocks(literalCodes({3, 2, 1}, c.used)));
        const LoadResult result = loadBytes(QStringLiteral("size.gif"), file.u8(0x3B));
        EXPECT_EQ(result.stop, LoadStop::Complete) << reportText(result);
        EXPECT_TRUE(hasLine(result, QStringLiteral("   ERROR: Initial Code Size not in [2..8]")));
        EXPECT_EQ(pixel(result.picture, 0, 0), kFour[3]);
        EXPECT_EQ(pixel(result.picture, 2, 0), kFour[1]);
    }
}

TEST(GifReader, BrokenBlocksStopTheParseAndKeepWhatWasDrawn)
{
    const std::vector<QColor> table = {{9, 9, 9}, {90, 90, 90}};
    const struct {
        const char* what;
        std::function<void(Bytes&)> block; // after the first frame; a second frame and the trailer follow
        LoadStop stop;
        const char* line;
    } cases[] = {
        {"graphic control of 5 bytes", [](Bytes& f) { f.bytes({0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0}); },
         LoadStop::Corrupt, nullptr},
        {"graphic control without terminator", [](Bytes& f) { f.bytes({0x21, 0xF9, 4, 0, 0, 0, 0, 7}); },
         LoadStop::Corrupt, nullptr},
        {"application header of 10 bytes", [](Bytes& f) { f.bytes({0x21, 0xFF, 10}).fill(10, 'A').u8(0); },
         LoadStop::Corrupt, nullptr},
        {"plain text header of 11 bytes", [](Bytes& f) { f.bytes({0x21, 0x01, 11}).fill(11, 0).u8(0); },
         LoadStop::Corrupt, nullptr},
        {"unknown introducer", [](Bytes& f) { f.u8(0x00); }, LoadStop::Corrupt, "Introducer: Unknown ($00)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = gifScreen("GIF89a", 3, 1, table, 1);
        appendFrame(file, GifFrame{0, 0, 2, 1, {0, 1}});
        c.block(file);
        appendFrame(file, GifFrame{0, 0, 3, 1, {0, 0, 0}});
        const LoadResult result = loadBytes(QStringLiteral("broken.gif"), file.u8(0x3B));
        EXPECT_EQ(result.stop, c.stop) << reportText(result);
        EXPECT_EQ(pixel(result.picture, 1, 0), table[1]);
        EXPECT_EQ(pixel(result.picture, 2, 0), table[1]) << "the background, not the second frame";
        if (c.line) {
            EXPECT_TRUE(hasLine(result, QString::fromLatin1(c.line))) << reportText(result);
        }
    }
}

TEST(GifReader, UnusableFilesGiveTheBlankPicture)
{
    Bytes bomb = gifScreen("GIF89a", 32, 32, kFour);
    bomb.bytes({0x2C, 0, 0, 0, 0}).u16le(65535).u16le(10751).u8(0).u8(2).append(subBlocks("x")).u8(0x3B);
    expectUnusable(QStringLiteral("u.gif"), {
        {"empty file", QByteArray(), LoadStop::Truncated},
        {"header cut short", gifScreen("GIF89a", 4, 4, {}).data().left(12), LoadStop::Truncated},
        {"GIF88a", gifScreen("GIF88a", 4, 4, {}), LoadStop::BadSignature},
        {"lower-case signature", gifScreen("gif89a", 4, 4, {}), LoadStop::BadSignature},
        {"screen width 0", gifScreen("GIF89a", 0, 32, kFour).u8(0x3B), LoadStop::Corrupt},
        {"screen above the pixel limit", gifScreen("GIF89a", 65535, 65535, {}).u8(0x3B), LoadStop::OverLimit},
        {"image above the pixel limit", bomb, LoadStop::OverLimit},
    }, framedBlank(100, 100));
}

// The logical screen is background wherever no image covers it, so a screen
// larger than the rest of the file could cover is refused before it is made:
// the 14-byte file of a 4096 × 4096 screen takes no 48 MiB. A large screen
// whose image data do cover it still loads.
TEST(GifReader, ScreensLargerThanTheirDataCanCoverAreRefused)
{
    Bytes smallImage = gifScreen("GIF89a", 4096, 4096, kFour);
    appendFrame(smallImage, {0, 0, 2, 2, {1, 2, 3, 0}});
    smallImage.u8(0x3B);
    expectUnusable(QStringLiteral("u.gif"), {
        {"screen and trailer only", gifScreen("GIF89a", 4096, 4096, {}).u8(0x3B), LoadStop::Truncated},
        {"one 2 × 2 image on the screen", smallImage, LoadStop::Truncated},
    }, framedBlank(100, 100));

    TPaletteArray palette{};
    palette[1] = 0x204080;
    const QImage solid = paletteImage(2400, 2400, palette, [](int, int) { return 1; });
    const std::optional<QByteArray> file = encodeGifPaletted(solid, palette, 2, false, false, 0, false, {}, nullptr);
    ASSERT_TRUE(file);
    const LoadResult whole = loadBytes(QStringLiteral("w.gif"), *file);
    EXPECT_EQ(whole.stop, LoadStop::Complete);
    EXPECT_EQ(firstDifference(whole.picture, solid), "");
}

TEST(GifReader, MissingFileGivesTheBlankAndTheReportFrame)
{
    const LoadResult result = loadMissing(QStringLiteral("gone.gif"));
    EXPECT_EQ(result.stop, LoadStop::Missing);
    EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
    ASSERT_EQ(result.report.size(), 2);
    EXPECT_TRUE(result.report.front().startsWith(reportValueLine(QStringLiteral("GIF"), QString())));
    EXPECT_EQ(result.report.back(), QStringLiteral("GIF End."));
}

// Sample files written by other software.

TEST(GifReader, EverySampleFileLoadsToAPicture)
{
    OSTREL_CORPUS_OR_SKIP(files, "gif", {QStringLiteral("*.gif")});
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "GIF");
        EXPECT_NE(result.stop, LoadStop::Missing);
    }
}

TEST(GifReader, SingleImageSampleFilesMatchQt)
{
    // Valid files of one image that covers the screen and has no transparent index.
    const char* const names[] = {
        "corkami/gif87.gif",
        "corkami/gif89.gif",
        "corkami/rgb.gif",
        "image-rs/anim_interlaced.gif",
        "image-rs/simple_sample_1.gif",
        "pillow/comment_after_only_frame.gif",
        "pillow/hopper.gif",
        "pillow/text_mono.gif",
        "wuffs/bricks-nodither.gif",
        "wuffs/hippopotamus.interlaced.gif",
        "wuffs/hippopotamus.regular.gif",
        "wuffs/artificial/metadata-empty.gif",
        "wuffs/artificial/metadata-full.gif",
        "wuffs/artificial/multiple-graphic-controls.gif",
        "wuffs/artificial/pixel-data-too-much-good-lzw.gif",
        "wuffs/artificial/small-frame-interlaced.gif",
    };
    OSTREL_CORPUS_OR_SKIP(files, "gif", {QStringLiteral("*.gif")});
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const QString path = QStringLiteral(OSTREL_CORPUS_DIR "/gif/") + QLatin1String(name);
        ASSERT_TRUE(QFileInfo::exists(path));
        const LoadResult result = loadSampleFile(path, "GIF");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QImage qt = qtDecodeGif(file.readAll());
        ASSERT_FALSE(qt.isNull());
        EXPECT_EQ(firstDifference(result.picture, qt), "");
    }
}
