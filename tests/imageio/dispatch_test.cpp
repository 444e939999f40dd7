// SPDX-License-Identifier: Apache-2.0
// Format dispatch: the extension table, how a file name's extension is
// found, the labelled picture for names no reader handles, and the blank and
// text pictures the readers share.
#include "imageio/bmp_test_support.h"

#include "colour/Drawing.h"
#include "imageio/bmp.h"
#include "util/FileIO.h"
#include "util/Fonts.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

struct CodeCase {
    const char* extension;
    uint8_t code;
};

TEST(DispatchTable, EveryExtensionHasItsLoaderCode)
{
    const CodeCase cases[] = {
        {".BMP", 1},
        {".GIF", 2},
        {".JPG", 3},
        {".JPEG", 3},
        {".CAM", 6},
        {".PCX", 4},
        {".THN", 10},
        {".MAC", 5},
        {".PNG", 13},
        {".ICO", 12},
        {".TIF", 11},
        {".TIFF", 11},
        {".16K", 14},
        {".320", 15},
        {".160", 16},
        {".640", 17},
        {".TXT", 7},
        {".HTM", 7},
        {".HTML", 7},
        {".BEZ", 7},
        {".DAT", 7},
        {".PAS", 7},
        {".C", 7},
        {".CPP", 7},
        {".H", 7},
        {".JAVA", 7},
        {".CGI", 7},
        {".INI", 7},
        {".ASM", 7},
        {".INC", 7},
        {".PY", 7},
        {".EXE", 8},
        {".OBJ", 9},
        // upper-cased before the comparison
        {".exe", 8},
        {".Bmp", 1},
        {".jpeg", 3},
        {".16k", 14},
        // no row matches
        {"", 0},
        {".", 0},
        {"BMP", 0},
        {".BMP ", 0},
        {" .BMP", 0},
        {".BMP.BAK", 0},
        {".BAK", 0},
        {".PNGX", 0},
        {".JP", 0},
        // only ASCII letters change case: the dotless i and the long s do not become I and S
        {".t\u0131f", 0},
        {".a\u017Fm", 0},
    };
    for (const CodeCase& c : cases)
        EXPECT_EQ(PictureLoaderCode(QString::fromUtf8(c.extension)), c.code) << c.extension;
}

TEST(DispatchTable, ExtensionRunsFromTheLastDotOfTheName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"picture.bmp", ".BMP"},         {"picture.bmp.bak", ".BAK"}, {"picture", ""},
        {"folder.d/picture", ""},        {"folder/.bmp", ".BMP"},     {"picture.", "."},
        {"a/b.c/picture.Jpeg", ".JPEG"},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(upperExtension(QString::fromLatin1(name)), QString::fromLatin1(extension)) << name;
}

// A file that does not exist still reaches its reader, which reports its tag first.
TEST(DispatchTable, MissingFilesReachTheReaderOfTheirExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a.bmp", "BMP"}, {"a.GIF", "GIF"},  {"a.jpg", "JPG"},   {"a.jpeg", "JPG"},  {"a.cam", "CAM"},
        {"a.pcx", "PCX"}, {"a.thn", "THN"},  {"a.mac", "MAC"},   {"a.png", "PNG"},   {"a.ico", "ICO"},
        {"a.tif", "TIF"}, {"a.tiff", "TIF"}, {"a.16k", "CGA"},   {"a.320", "CGA"},   {"a.160", "CGA"},
        {"a.640", "CGA"}, {"a.txt", "TXT"},  {"a.htm", "TXT"},   {"a.html", "TXT"},  {"a.bez", "TXT"},
        {"a.py", "TXT"},  {"a.c", "TXT"},    {"a.exe", nullptr}, {"a.obj", nullptr},
    };
    for (const auto& [name, tag] : cases) {
        SCOPED_TRACE(name);
        const LoadResult result = loadMissing(QString::fromLatin1(name));
        EXPECT_EQ(result.stop, LoadStop::Missing);
        EXPECT_FALSE(result.picture.isNull());
        EXPECT_EQ(result.picture.format(), kPictureFormat);
        if (tag) {
            EXPECT_TRUE(!result.report.isEmpty() && result.report.front().startsWith(QLatin1String(tag) + ' '))
                << result.report.value(0).toStdString();
        }
    }
}

// The CGA rows fix their video mode; ".16K" takes the one in the options.
// A missing file shows the mode's screen size.
TEST(DispatchTable, CgaExtensionsPassTheirMode)
{
    PictureLoadOptions mode5;
    mode5.CgaMode = 5;
    const std::tuple<const char*, PictureLoadOptions, QSize> cases[] = {
        {"a.320", mode5, QSize(320, 200)}, {"a.160", mode5, QSize(160, 100)}, {"a.640", {}, QSize(640, 200)},
        {"a.16K", mode5, QSize(640, 200)}, {"a.16K", {}, QSize(320, 200)},
    };
    for (const auto& [name, options, size] : cases)
        EXPECT_EQ(loadMissing(QString::fromLatin1(name), options).picture.size(), size) << name;
}

class DispatchFiles : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(DispatchFiles, BmpNamesInAnyCaseLoadAsBmp)
{
    const QImage picture = gradientPicture(5, 3);
    for (const char* name : {"picture.Bmp", "picture.bmp", "PICTURE.BMP"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Write24BitBmp(picture, path(QLatin1String(name))));
        QImage loaded;
        const LoadResult result = LoadPictureFile(loaded, path(QLatin1String(name)));
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(loaded, picture), "");
    }
}

// The contents are never looked at: a BMP under another name is not read as one.
TEST_F(DispatchFiles, UnknownExtensionsGiveTheLabelledPicture)
{
    const QByteArray bmp = *encodeBmp24(gradientPicture(5, 3));
    for (const char* name : {"picture.bmp.bak", "picture", "other.qqq.bak", "picture.bax"}) {
        ASSERT_TRUE(writeFileAtomically(path(QLatin1String(name)), bmp));
    }
    auto load = [&](const char* name) { return LoadPictureFileWithOptions(path(QLatin1String(name))); };
    const LoadResult bak = load("picture.bmp.bak");
    EXPECT_EQ(bak.stop, LoadStop::Unsupported);
    EXPECT_TRUE(bak.report.isEmpty());
    ASSERT_EQ(bak.picture.size(), QSize(320, 200));
    EXPECT_EQ(bak.picture.format(), kPictureFormat);

    // The frame and the white ground around the two lines of text.
    const QImage blank = framedBlank(320, 200);
    EXPECT_EQ(firstDifference(bak.picture.copy(0, 45, 320, 155), blank.copy(0, 45, 320, 155)), "");
    EXPECT_EQ(firstDifference(bak.picture.copy(0, 0, 5, 200), blank.copy(0, 0, 5, 200)), "");
    EXPECT_EQ(firstDifference(bak.picture.copy(0, 0, 320, 5), blank.copy(0, 0, 320, 5)), "");

    // Line one (y 5 to 24) shows the name, line two (y 25 on) the extension.
    auto nameLine = [](const LoadResult& r) { return r.picture.copy(0, 5, 320, 20); };
    auto extensionLine = [](const LoadResult& r) { return r.picture.copy(0, 25, 320, 20); };
    const LoadResult otherBak = load("other.qqq.bak");
    const LoadResult bax = load("picture.bax");
    const LoadResult none = load("picture");
    EXPECT_EQ(extensionLine(bak), extensionLine(otherBak));
    EXPECT_NE(extensionLine(bak), extensionLine(bax));
    EXPECT_NE(extensionLine(bak), extensionLine(none));
    EXPECT_NE(nameLine(bak), nameLine(otherBak));
    EXPECT_NE(nameLine(bak), blank.copy(0, 5, 320, 20));
    EXPECT_EQ(none.picture.size(), QSize(320, 200));

    // The folder is not part of the label.
    const LoadResult elsewhere = LoadPictureFileWithOptions(QStringLiteral("some/folder/picture.bmp.bak"));
    EXPECT_EQ(elsewhere.picture, bak.picture);
}

// Asked for complete pictures only, a load gives a picture only when the
// file was read to its end, and says in the user's words why not otherwise.
TEST_F(DispatchFiles, CompleteOnlyGivesNoPictureForLessThanTheWhole)
{
    const QByteArray whole = *encodeBmp24(gradientPicture(7, 5));
    const struct {
        const char* name;
        QByteArray bytes; // null: no file is written
        LoadStop stop;
        const char* message; // after the file's path
    } cases[] = {
        {"whole.bmp", whole, LoadStop::Complete, ""},
        {"cut.bmp", whole.left(whole.size() - 20), LoadStop::Truncated, ": the file ends before the picture does."},
        {"empty.bmp", QByteArray(""), LoadStop::Truncated, ": the file is empty."},
        {"picture.qqq", whole, LoadStop::Unsupported, ": .QQQ files are not pictures that Ostrel reads."},
        {"picture", whole, LoadStop::Unsupported, ": extension-less files are not pictures that Ostrel reads."},
        {"absent.bmp", QByteArray(), LoadStop::Missing, ""},
    };
    PictureLoadOptions completeOnly;
    completeOnly.CompleteOnly = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QLatin1String(c.name));
        if (!c.bytes.isNull()) {
            ASSERT_TRUE(writeFileAtomically(file, c.bytes));
        }
        QString error;
        const LoadResult result = LoadPictureFileWithOptions(file, completeOnly, &error);
        EXPECT_EQ(result.stop, c.stop);
        if (c.stop == LoadStop::Complete) {
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            EXPECT_EQ(firstDifference(result.picture, gradientPicture(7, 5)), "");
            continue;
        }
        EXPECT_TRUE(result.picture.isNull());
        EXPECT_FALSE(error.isEmpty());
        const QString expected = *c.message ? file + QLatin1String(c.message) : file;
        EXPECT_TRUE(*c.message ? error.endsWith(expected) : error.contains(expected)) << error.toStdString();
        // Without the option the same file still gives the reader's picture.
        if (c.stop != LoadStop::Unsupported) {
            EXPECT_FALSE(LoadPictureFileWithOptions(file).picture.isNull());
        }
    }
}

TEST_F(DispatchFiles, FailedLoadKeepsTheCallersPicture)
{
    // Only a reader that makes no picture (a JPEG that cannot be decoded) leaves the old one.
    ASSERT_TRUE(writeFileAtomically(path(QStringLiteral("broken.jpg")), QByteArray("\xFF\xD8 not a JPEG", 12)));
    QImage picture = gradientPicture(5, 3);
    const QImage before = picture;
    const LoadResult failed = LoadPictureFile(picture, path(QStringLiteral("broken.jpg")));
    EXPECT_EQ(failed.stop, LoadStop::Failed);
    EXPECT_EQ(picture, before);

    // Any other outcome replaces it, and the result hands over its picture.
    const LoadResult missing = LoadPictureFile(picture, path(QStringLiteral("absent.bmp")));
    EXPECT_TRUE(missing.picture.isNull());
    EXPECT_TRUE(isFramedBlank(picture, 100, 100));
}

// ---------------------------------------------------------------------------
// Blank and text pictures

TEST(DispatchDrawing, BlankPictureIsWhiteInsideAOnePixelBlackFrame)
{
    for (const QSize size : {QSize(1, 1), QSize(2, 2), QSize(3, 2), QSize(5, 4), QSize(320, 200)}) {
        SCOPED_TRACE(::testing::Message() << size.width() << "x" << size.height());
        QImage picture;
        MakeBlankPicture(picture, size.width(), size.height());
        EXPECT_EQ(picture.format(), kPictureFormat);
        EXPECT_TRUE(isFramedBlank(picture, size.width(), size.height()));
    }
    QImage kept = blankPicture(4, 4);
    for (const QSize size : {QSize(0, 5), QSize(5, 0), QSize(-1, 3)}) {
        MakeBlankPicture(kept, size.width(), size.height());
        EXPECT_EQ(kept.size(), QSize(4, 4));
    }
}

bool onlyColour(const QImage& picture, QRgb colour, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixel(x, y) != colour)
                return false;
    return true;
}

// The darkest pixel of an area: text is drawn in black.
int darkest(const QImage& picture, const QRect& area)
{
    int least = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            least = std::min(least, qGray(picture.pixel(x, y)));
    return least;
}

TEST(DispatchDrawing, LinesPictureFitsItsTextOnTheGivenColour)
{
    const QColor ground(20, 200, 90);
    const QFontMetrics metrics(courierBold10());
    const int lineHeight = metrics.height();

    QImage none;
    DrawLinesAsPicture(none, nullptr, ground);
    EXPECT_EQ(none.size(), QSize(10, 10));
    EXPECT_TRUE(onlyColour(none, ground.rgb(), none.rect()));

    const QStringList empty;
    QImage emptyPicture;
    DrawLinesAsPicture(emptyPicture, &empty, ground);
    EXPECT_EQ(emptyPicture.size(), QSize(10, 10));

    const QStringList lines = {QStringLiteral("first"), QStringLiteral("a\tb"), QStringLiteral("x")};
    QImage text;
    DrawLinesAsPicture(text, &lines, ground);
    EXPECT_EQ(text.format(), kPictureFormat);
    EXPECT_EQ(text.size(), QSize(metrics.horizontalAdvance(QStringLiteral("a       b")) + 10, 3 * lineHeight + 10));
    // Ground colour up to 5 pixels from the top and left, and no frame of another colour.
    EXPECT_TRUE(onlyColour(text, ground.rgb(), QRect(0, 0, text.width(), 5)));
    EXPECT_TRUE(onlyColour(text, ground.rgb(), QRect(0, 0, 5, text.height())));
    EXPECT_EQ(text.pixel(text.width() - 1, text.height() - 1), ground.rgb());
    for (int line = 0; line < 3; ++line)
        EXPECT_LT(darkest(text, QRect(5, 5 + line * lineHeight, text.width() - 5, lineHeight)), 60) << line;
}

TEST(DispatchDrawing, LinesPictureStopsAt4096Pixels)
{
    const QFontMetrics metrics(courierBold10());
    const QStringList wide = {QString(1000, QLatin1Char('W'))};
    QImage widePicture;
    DrawLinesAsPicture(widePicture, &wide, Qt::white);
    EXPECT_EQ(widePicture.size(), QSize(4096, metrics.height() + 10));
    EXPECT_LT(darkest(widePicture, QRect(4080, 5, 16, metrics.height())), 60); // text runs to the edge

    QStringList many;
    for (int i = 0; i < 1000; ++i)
        many.append(QStringLiteral("line"));
    QImage tall;
    DrawLinesAsPicture(tall, &many, Qt::white);
    EXPECT_EQ(tall.height(), 4096);
    EXPECT_EQ(tall.width(), metrics.horizontalAdvance(QStringLiteral("line")) + 10);
}

} // namespace
} // namespace ostrel::testing
