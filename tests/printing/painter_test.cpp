// SPDX-License-Identifier: Apache-2.0
// The page painter against fixed printer metrics: geometry, skins, page
// order, text lines, fitted pictures, header codes and previews.
#include "toolkit/printing/PrintJobs.h"
#include "toolkit/printing/PrinterUnit.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

// Letter paper with a quarter-inch unprintable edge, at any resolution.
PrinterMetrics letterAt(int dpi)
{
    PrinterMetrics m;
    m.valid = true;
    m.dpiX = m.dpiY = dpi;
    m.physicalWidth = dpi * 17 / 2;
    m.physicalHeight = dpi * 11;
    m.offsetX = m.offsetY = dpi / 4;
    m.printableWidth = m.physicalWidth - 2 * m.offsetX;
    m.printableHeight = m.physicalHeight - 2 * m.offsetY;
    return m;
}

struct GeometryCase {
    int dpi, skin, fontSize;
    PageRect outer, text;
    int lineHeight, linesPerPage, charactersPerLine;
};

TEST(PrinterPainterGeometry, PagesAreLaidOutInDevicePixels)
{
    const GeometryCase cases[] = {
        // 1-inch margins at 600 dpi less the 150-pixel edge; border pt(1.5) = 12, inset pt(2) = 17.
        // Line height pt(16) = 133; a character rnd(600 × 12 / 120) = 60 wide, so 3843 / 60 = 64 per line.
        {600, 1, 12, {450, 450, 4350, 5850}, {479, 479, 4321, 5821}, 133, 40, 64},
        // Half-inch margins and neither border nor inset: the text fills the outer rectangle.
        // pt(14) at 300 dpi = 58; a character 25 wide: 2251 / 25 = 90.
        {300, 9, 10, {75, 75, 2325, 3075}, {75, 75, 2325, 3075}, 58, 51, 90},
        // Larger type: pt(24) = 199 at 600 dpi; characters rnd(600 × 20 / 120) = 100 wide.
        {600, 4, 20, {450, 450, 4350, 5850}, {479, 479, 4321, 5821}, 199, 26, 38},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi, skin " << c.skin << ", size " << c.fontSize);
        TPrinterPainter painter;
        painter.setFixedMetrics(letterAt(c.dpi));
        painter.SetSkin(c.skin, c.fontSize);
        const PageGeometry& g = painter.geometry();
        EXPECT_EQ(g.outer.left, c.outer.left);
        EXPECT_EQ(g.outer.top, c.outer.top);
        EXPECT_EQ(g.outer.right, c.outer.right);
        EXPECT_EQ(g.outer.bottom, c.outer.bottom);
        EXPECT_EQ(g.text.left, c.text.left);
        EXPECT_EQ(g.text.top, c.text.top);
        EXPECT_EQ(g.text.right, c.text.right);
        EXPECT_EQ(g.text.bottom, c.text.bottom);
        EXPECT_EQ(g.lineHeight, c.lineHeight);
        EXPECT_EQ(g.linesPerPage, c.linesPerPage);
        EXPECT_EQ(g.charactersPerLine, c.charactersPerLine);
    }
}

TEST(PrinterPainterGeometry, MarginsNeverReachIntoTheUnprintableEdge)
{
    // An edge of 0.75 inch is wider than skin 9's half-inch margin.
    PrinterMetrics m = letterAt(100);
    m.offsetX = m.offsetY = 75;
    TPrinterPainter painter;
    painter.setFixedMetrics(m);
    painter.SetSkin(9, 12);
    EXPECT_EQ(painter.geometry().outer.left, 0);
    EXPECT_EQ(painter.geometry().outer.top, 0);
    EXPECT_EQ(painter.geometry().outer.right, 850 - 75 - 75);
}

TEST(PrinterPainterSkins, FontSizesAreTheLargerOfTheSkinsAndTheChosenOne)
{
    struct Case {
        int skin, fontSize, header, footer, body, clampedSkin;
    } cases[] = {
        {4, 10, 16, 12, 10, 4}, {4, 20, 20, 20, 20, 4}, {1, 4, 12, 12, 6, 1},
        {0, 12, 12, 12, 12, 1}, {12, 12, 12, 12, 12, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "skin " << c.skin << " size " << c.fontSize);
        TPrinterPainter painter;
        painter.setFixedMetrics(letterAt(600));
        painter.SetSkin(c.skin, c.fontSize);
        EXPECT_EQ(painter.skin(), c.clampedSkin);
        EXPECT_EQ(painter.headerSize(), c.header);
        EXPECT_EQ(painter.footerSize(), c.footer);
        EXPECT_EQ(painter.bodySize(), c.body);
    }
    EXPECT_EQ(skinName(9), QStringLiteral("Fit to Page"));
    EXPECT_EQ(skinName(6), QStringLiteral("Black Band White Interior"));
    EXPECT_TRUE(skinName(10).isEmpty());
}

TEST(PrinterPainterPages, CopiesAreCollatedOrKeptTogether)
{
    struct Case {
        int first, last, copies;
        bool collate;
        std::vector<int> pages;
    } cases[] = {
        {1, 2, 2, true, {1, 2, 1, 2}},
        {1, 2, 2, false, {1, 1, 2, 2}},
        {2, 3, 1, true, {2, 3}},
        {1, 1, 0, true, {1}}, // copies below one print once
        {3, 2, 5, true, {}},  // an empty range prints nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(printPageOrder(c.first, c.last, c.copies, c.collate), c.pages)
            << c.first << ".." << c.last << " x" << c.copies << (c.collate ? " collated" : "");

    TPrinterPainter painter;
    PrinterMetrics m = letterAt(600);
    // A text area 50 lines of 133 pixels high (plus a little): 100 lines take two pages.
    m.physicalHeight = 2 * 450 + 2 * 29 + 50 * 133 + 60 + 300;
    painter.setFixedMetrics(m);
    painter.SetSkin(1, 12);
    ASSERT_EQ(painter.geometry().linesPerPage, 50);
    EXPECT_EQ(painter.PageCount(100), 2);
    EXPECT_EQ(painter.PageCount(101), 3);
    EXPECT_EQ(painter.PageCount(0), 0);
}

TEST(PrinterPainterText, LinesGetNumbersTabsAndAnEllipsis)
{
    TPrinterPainter painter;
    painter.setFixedMetrics(letterAt(600)); // 64 characters per line
    painter.SetSkin(1, 12);
    QStringList lines;
    for (int i = 1; i <= 12; ++i)
        lines << QStringLiteral("line %1").arg(i);
    lines[1] = QStringLiteral("a\tb\t\tc");
    lines[2] = QString(70, QLatin1Char('x'));
    lines[3] = QString(64, QLatin1Char('y'));

    EXPECT_EQ(painter.pageLine(lines, 9, true), QStringLiteral("   10:line 10"));
    EXPECT_EQ(painter.pageLine(lines, 0, true), QStringLiteral("    1:line 1"));
    EXPECT_EQ(painter.pageLine(lines, 1, false), QStringLiteral("a       b               c"));
    // Too long: 63 characters and the ellipsis; exactly 64 stays whole.
    EXPECT_EQ(painter.pageLine(lines, 2, false), QString(63, QLatin1Char('x')) + QChar(0x2026));
    EXPECT_EQ(painter.pageLine(lines, 3, false), lines[3]);
    // The number counts towards the length.
    EXPECT_EQ(painter.pageLine(lines, 3, true).size(), 64);
    EXPECT_TRUE(painter.pageLine(lines, 3, true).endsWith(QChar(0x2026)));
}

TEST(PrinterPainterPicture, FittedPicturesKeepTheirProportionsAndAreCentred)
{
    struct Case {
        QSize picture;
        PageRect box, expected;
    } cases[] = {
        // Twice as wide as high in a square: full width, half the height, centred vertically.
        {{200, 100}, {0, 0, 1000, 1000}, {0, 250, 1000, 750}},
        // Twice as high as wide: full height, centred across.
        {{100, 200}, {10, 20, 1010, 1020}, {260, 20, 760, 1020}},
        // A small picture grows to the box.
        {{3, 3}, {0, 0, 600, 300}, {150, 0, 450, 300}},
        {{0, 10}, {0, 0, 100, 100}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const PageRect r = fittedPictureRect(c.picture, c.box);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

TEST(PrintCodes, HeaderAndFooterCodesExpand)
{
    const QDateTime stamp(QDate(2026, 12, 10), QTime(13, 5, 9));
    const QString date = QStringLiteral("Thursday, December 10, 2026");
    struct Case {
        const char* text;
        int page, pages;
        QString expected;
    } cases[] = {
        {"Page &P of &#", 2, 3, QStringLiteral("Page 2 of 3")},
        {"page &p of &#", 12, 40, QStringLiteral("page 12 of 40")},
        {"Fish && Chips", 1, 1, QStringLiteral("Fish & Chips")},
        {"&&P", 5, 9, QStringLiteral("&P")},
        {"&&&", 1, 1, QStringLiteral("&&")},
        {"&x marks", 1, 1, QStringLiteral("&x marks")},
        {"&&&x", 1, 1, QStringLiteral("&&x")},
        {"ends with &", 1, 1, QStringLiteral("ends with &")},
        {"&", 1, 1, QStringLiteral("&")},
        {"&D", 1, 1, date},
        {"&d.", 1, 1, date + QLatin1Char('.')},
        {"", 1, 1, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expandPrintCodes(QString::fromLatin1(c.text), c.page, c.pages, stamp), c.expected) << c.text;

    const QString time = expandPrintCodes(QStringLiteral("&T"), 1, 1, stamp);
    EXPECT_TRUE(time.contains(QStringLiteral("05:09"))) << time.toStdString();
    EXPECT_EQ(expandPrintCodes(QStringLiteral("&t"), 1, 1, stamp), time);
    EXPECT_EQ(expandPrintCodes(QStringLiteral("&W"), 1, 1, stamp), time + QLatin1Char(' ') + date);
}

TEST(PrinterPainterPreview, WithoutAPrinterThePreviewSaysSo)
{
    TPrinterPainter painter; // no target and no metrics
    QImage preview;
    painter.PreviewTextPage(preview, QSize(300, 200), 1, false, {}, QDateTime::currentDateTime(),
                            {QStringLiteral("text")});
    ASSERT_EQ(preview.size(), QSize(300, 200));
    EXPECT_EQ(preview.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(preview.pixel(299, 199), qRgb(0, 0, 0));
    EXPECT_EQ(preview.pixel(150, 150), qRgb(255, 0, 0));
    // The words are drawn in black near the top left corner.
    bool blackText = false;
    for (int y = 10; y < 40 && !blackText; ++y)
        for (int x = 10; x < 120 && !blackText; ++x)
            blackText = preview.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_TRUE(blackText);
}

TEST(PrinterPainterPreview, ThePageIsScaledWholeWithItsBands)
{
    TPrinterPainter painter;
    painter.setFixedMetrics(letterAt(600));
    painter.SetSkin(7, 12); // red bars and bands, yellow interior
    QImage picture(200, 100, QImage::Format_RGB888);
    picture.fill(qRgb(0, 128, 0));
    const PageTexts texts = standardPageTexts(QStringLiteral("title"));
    QImage preview;
    painter.PreviewFittedPicture(preview, QSize(2200, 2200), texts, QDateTime::currentDateTime(), picture);
    // 8.5 × 11 inches at 200 pixels an inch, in a black outline.
    ASSERT_EQ(preview.size(), QSize(1700, 2200));
    EXPECT_EQ(preview.pixel(0, 1000), qRgb(0, 0, 0));
    EXPECT_EQ(preview.pixel(5, 1000), qRgb(255, 255, 255)); // the margin stays paper
    // From 1 inch on: the left border bar (4 pixels), yellow interior, the picture in the middle.
    EXPECT_EQ(preview.pixel(201, 1000), qRgb(255, 0, 0));
    EXPECT_EQ(preview.pixel(210, 300), qRgb(255, 255, 0));
    EXPECT_EQ(preview.pixel(850, 1100), qRgb(0, 128, 0));
    EXPECT_EQ(preview.pixel(850, 700), qRgb(255, 255, 0)); // above the 2:1 picture
    // The header band sits above the outer rectangle, the footer below it.
    EXPECT_EQ(preview.pixel(225, 170), qRgb(255, 0, 0));
    EXPECT_EQ(preview.pixel(850, 2020), qRgb(255, 0, 0));
    EXPECT_EQ(preview.pixel(850, 2100), qRgb(255, 255, 255));

    // Refreshing again, at the same or another size, draws the picture anew.
    QImage again;
    painter.PreviewFittedPicture(again, QSize(2200, 2200), texts, QDateTime::currentDateTime(), picture);
    EXPECT_EQ(again, preview);
    painter.PreviewFittedPicture(again, QSize(440, 440), texts, QDateTime::currentDateTime(), picture);
    ASSERT_EQ(again.size(), QSize(340, 440));
    EXPECT_EQ(again.pixel(170, 220), qRgb(0, 128, 0));
}

} // namespace
} // namespace ostrel
