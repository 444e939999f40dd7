// SPDX-License-Identifier: Apache-2.0
// Text files drawn as pictures: line splitting, the report, the picture's
// size, and the bounded drawing of huge files giving the same picture as
// drawing every line.
#include "colour/Drawing.h"
#include "imageio/text.h"
#include "small_readers_support.h"
#include "text_printing.h"
#include "util/Fonts.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

int lineHeight()
{
    return QFontMetrics(courierBold10()).height();
}

TEST(TextReader, SplitsAtEveryKindOfLineBreak)
{
    struct Case {
        const char* text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\n", {"one"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\n\n", {"a", ""}},
        {"\r\n", {""}},
        {"a\n\rb", {"a", "", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(splitTextLines(QString::fromLatin1(c.text)), c.lines);
    }
}

TEST(TextReader, ThreeLinesGiveThreeLineHeightsAndTheReport)
{
    const LoadResult result = loadBytes(QStringLiteral("readme.txt"), "first\r\n\tsecond\r\nthird\r\n");
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.picture.height(), 3 * lineHeight() + 10);
    const QFontMetrics metrics(courierBold10());
    EXPECT_EQ(result.picture.width(), metrics.horizontalAdvance(QStringLiteral("        second")) + 10);
    EXPECT_EQ(result.report, QStringList({reportValueLine(QStringLiteral("TXT"), QStringLiteral("readme.txt")),
                                          reportValueLine(QStringLiteral("Lines"), QStringLiteral("3")),
                                          QStringLiteral("first"), QStringLiteral("\tsecond"),
                                          QStringLiteral("third"), QStringLiteral("TXT End.")}));
    // Black text starts 5 pixels in; the margin above and left stays white.
    EXPECT_TRUE(isAllWhite(result.picture.copy(0, 0, result.picture.width(), 5)));
    EXPECT_TRUE(isAllWhite(result.picture.copy(0, 0, 5, result.picture.height())));
    EXPECT_FALSE(isAllWhite(result.picture));
}

TEST(TextReader, EmptyAndMissingFilesGiveTenByTenWhite)
{
    const LoadResult empty = loadBytes(QStringLiteral("empty.txt"), QByteArray());
    EXPECT_EQ(empty.stop, LoadStop::Complete);
    EXPECT_EQ(empty.picture.size(), QSize(10, 10));
    EXPECT_TRUE(isAllWhite(empty.picture));

    const LoadResult missing = loadMissing(QStringLiteral("gone.txt"));
    EXPECT_EQ(missing.stop, LoadStop::Missing);
    EXPECT_EQ(missing.picture.size(), QSize(10, 10));
    EXPECT_TRUE(isAllWhite(missing.picture));
    EXPECT_TRUE(hasLine(missing, QStringLiteral("File does not exist")));
    EXPECT_EQ(reportedValue(missing, QStringLiteral("Lines")), QStringLiteral("0"));
    EXPECT_EQ(missing.report.back(), QStringLiteral("TXT End."));
}

// UTF-8 where the bytes are valid UTF-8, else Windows-1252; a byte-order mark is no character.
TEST(TextReader, DecodesUtf8AndWindows1252)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QString line;
    };
    const Case cases[] = {
        {"UTF-8", "caf\xC3\xA9 \xE2\x82\xAC", QStringLiteral(u"café €")},
        {"Windows-1252", "caf\xE9 \x80", QStringLiteral(u"café €")},
        {"byte-order mark", "\xEF\xBB\xBFplain", QStringLiteral("plain")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("note.txt"), c.bytes);
        ASSERT_EQ(result.report.size(), 4);
        EXPECT_EQ(result.report.at(2), c.line);
    }
}

// HTML and program sources are drawn as their text, not rendered.
TEST(TextReader, HtmlIsShownAsItsSource)
{
    const LoadResult result = loadBytes(QStringLiteral("page.HTML"), "<html>\n<b>bold</b>\n</html>\n");
    EXPECT_EQ(result.report.mid(2, 3), QStringList({"<html>", "<b>bold</b>", "</html>"}));
    EXPECT_EQ(result.picture.height(), 3 * lineHeight() + 10);
}

// The reader draws only what can reach the picture; it must give exactly the
// picture of drawing every line, at the limits too.
TEST(TextReader, BoundedDrawingEqualsDrawingEveryLine)
{
    const int fitting = (4096 - 5 + lineHeight() - 1) / lineHeight();
    auto lines = [](int count, const QString& text) { return QStringList(QList<QString>(count, text)); };
    struct Case {
        const char* what;
        QStringList lines;
    };
    Case cases[] = {
        {"a few lines", {"alpha", "\tbeta", "gamma delta"}},
        {"exactly as many lines as fit", lines(fitting, QStringLiteral("row"))},
        {"one line more than fits", lines(fitting + 1, QStringLiteral("row"))},
        {"many lines, the widest hidden at the end", lines(3000, QStringLiteral("short")) << QString(60, u'W')},
        {"a hidden line as wide as the limit", lines(fitting + 5, QStringLiteral("x")) << QString(9000, u'M')},
        {"one line of 20000 characters", {QString(20000, u'q')}},
        {"tabs widening a hidden line", lines(fitting + 2, QStringLiteral("abc")) << QStringLiteral("\t\t\t\t\tend")},
        {"a hidden line of fewer but wider characters",
         lines(fitting + 2, QStringLiteral("abcdefghijkl")) << QStringLiteral(u"\u6F22\u5B57\u00E9\u6F22\u5B57\u6F22\u5B57")},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage everyLine;
        DrawLinesAsPicture(everyLine, &c.lines, Qt::white);
        ensurePictureFormat(everyLine);
        EXPECT_EQ(firstDifference(textLinesPicture(c.lines), everyLine), "");
    }
}

TEST(TextReader, PictureNeverExceedsTheLimit)
{
    QByteArray big;
    for (int i = 0; i < 5000; ++i)
        big += QByteArray(700, char('a' + i % 26)) + '\n';
    const LoadResult result = loadBytes(QStringLiteral("big.txt"), big);
    EXPECT_EQ(result.picture.size(), QSize(4096, 4096));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Lines")), QStringLiteral("5000"));
}

} // namespace
} // namespace ostrel::testing
