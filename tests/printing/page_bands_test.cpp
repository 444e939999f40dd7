// SPDX-License-Identifier: Apache-2.0
// What a printed page carries besides its body, read back from real PDF
// files with poppler: header and footer texts that stay on the sheet and
// never overprint each other at any font size, titles printed as they are,
// and pictures embedded with their exact colours.
#include "support/ProcessRun.h"
#include "toolkit/printing/PrintJobs.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

using testing::pdfText;
using testing::runProcess;

struct WordBox {
    QString text;
    double left, top, right, bottom;
};

struct PageWords {
    double width = 0, height = 0;
    std::vector<WordBox> words;
};

// The words of the first page with their boxes in points, as `pdftotext
// -bbox` finds them.
PageWords firstPageWords(const QString& pdf)
{
    PageWords page;
    const QString html =
        runProcess(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                                 QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")})
            .out;
    static const QRegularExpression size(QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" yMax=\"([-0-9.]+)\">([^<]*)</word>"));
    if (const auto match = size.match(html); match.hasMatch()) {
        page.width = match.captured(1).toDouble();
        page.height = match.captured(2).toDouble();
    }
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        page.words.push_back({match.captured(5), match.captured(1).toDouble(), match.captured(2).toDouble(),
                              match.captured(3).toDouble(), match.captured(4).toDouble()});
    }
    return page;
}

bool overlap(const WordBox& a, const WordBox& b)
{
    constexpr double kSlack = 0.5; // poppler's boxes of neighbouring glyphs may touch
    return a.left < b.right - kSlack && b.left < a.right - kSlack && a.top < b.bottom - kSlack
        && b.top < a.bottom - kSlack;
}

QPageLayout a4()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
}

class PageBandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char* tool : {"pdftotext", "pdfimages", "pdftoppm"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                << tool << " (poppler-utils) is needed to read the printed PDFs back";
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

// Every size the print window offers, on the skin with the narrowest
// margins and on one with bands and a larger header font: every word lies on
// the sheet, no two words overprint, and the footer still shows the start of
// the date and the page number.
TEST_F(PageBandsTest, HeaderAndFooterStayOnTheSheetWithoutOverprintingAtEverySize)
{
    struct Case {
        int skin;
        std::vector<int> sizes;
    };
    std::vector<int> everySize;
    for (int size = 1; size <= 144; ++size)
        everySize.push_back(size);
    const std::vector<Case> cases = {{9, everySize}, {4, {12, 20, 36, 69, 100, 144}}};
    for (const Case& c : cases) {
        for (int size : c.sizes) {
            SCOPED_TRACE(QStringLiteral("skin %1, size %2").arg(c.skin).arg(size).toStdString());
            PrintRequest request;
            request.title = QStringLiteral("quarterly-report-with-a-rather-long-name.txt");
            request.lines = {QStringLiteral("body")};
            request.skin = c.skin;
            request.fontSize = size;
            const QString pdf = path(QStringLiteral("bands.pdf"));
            const PrintOutcome outcome = printRequestToPdf(request, pdf, a4());
            ASSERT_TRUE(outcome) << outcome.error().toStdString();

            const PageWords page = firstPageWords(pdf);
            ASSERT_GT(page.width, 0);
            ASSERT_GE(page.words.size(), 4u);
            for (size_t i = 0; i < page.words.size(); ++i) {
                const WordBox& w = page.words[i];
                EXPECT_TRUE(w.left >= 0 && w.top >= 0 && w.right <= page.width && w.bottom <= page.height)
                    << "'" << w.text.toStdString() << "' leaves the sheet: " << w.left << "," << w.top << " - "
                    << w.right << "," << w.bottom;
                for (size_t j = i + 1; j < page.words.size(); ++j)
                    EXPECT_FALSE(overlap(w, page.words[j]))
                        << "'" << w.text.toStdString() << "' and '" << page.words[j].text.toStdString()
                        << "' print over each other";
            }
            const QString text = pdfText(pdf, 1);
            EXPECT_TRUE(text.contains(QLatin1String("quarterly"))) << text.toStdString();
            EXPECT_TRUE(text.contains(QLatin1String("Page"))) << text.toStdString();
            static const QRegularExpression weekday(QStringLiteral("(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)da"));
            EXPECT_TRUE(text.contains(weekday)) << text.toStdString();
        }
    }
}

TEST_F(PageBandsTest, TitleIsPrintedAsItIsWhileTheFooterCodesExpand)
{
    PrintRequest request;
    request.title = QStringLiteral("R&D plan &p &d &&.txt");
    request.lines = {QStringLiteral("body")};
    const QString pdf = path(QStringLiteral("title.pdf"));
    ASSERT_TRUE(printRequestToPdf(request, pdf, a4()));
    const QString text = pdfText(pdf, 1);
    EXPECT_TRUE(text.contains(QLatin1String("R&D plan &p &d &&.txt"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("Page 1 of 1"))) << text.toStdString();
}

// A title far longer than a sheet is cut, not laid out whole, and what is
// printed is its beginning.
TEST_F(PageBandsTest, LongTitleIsCutToItsBeginning)
{
    PrintRequest request;
    request.title = QStringLiteral("start-") + QString(20000, QLatin1Char('x'));
    request.lines = {QStringLiteral("body")};
    const QString pdf = path(QStringLiteral("long.pdf"));
    ASSERT_TRUE(printRequestToPdf(request, pdf, a4()));
    const QString text = pdfText(pdf, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("start-xxxx"))) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains(QChar(0x2026)));
    EXPECT_LT(text.count(QLatin1Char('x')), 1000);
}

// The picture as embedded in the PDF, written out by pdfimages.
QImage embeddedPicture(const QString& pdf, const QString& folder, QString& list)
{
    list = runProcess(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out;
    const QString stem = QDir(folder).filePath(QStringLiteral("embedded"));
    runProcess(QStringLiteral("pdfimages"), {QStringLiteral("-png"), pdf, stem});
    return QImage(stem + QStringLiteral("-000.png")).convertToFormat(QImage::Format_RGB888);
}

TEST_F(PageBandsTest, PicturesAreEmbeddedLosslessly)
{
    // A red and blue checker, and a picture of 256 nearby colours, the kind
    // lossy coding changes most.
    QImage checker(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < checker.height(); ++y)
        for (int x = 0; x < checker.width(); ++x)
            checker.setPixelColor(x, y, ((x / 8 + y / 8) % 2) ? QColor(255, 0, 0) : QColor(0, 0, 255));
    QImage shades(64, 64, QImage::Format_RGB888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int index = (y / 4) * 16 + x / 4;
            shades.setPixelColor(x, y, QColor(index, 255 - index, (index * 7) % 256));
        }
    for (const QImage& picture : {checker, shades}) {
        SCOPED_TRACE(picture.width() * 1000 + picture.height());
        PrintRequest request;
        request.title = QStringLiteral("picture.bmp");
        request.picture = picture;
        request.skin = 9;
        const QString pdf = path(QStringLiteral("picture.pdf"));
        ASSERT_TRUE(printRequestToPdf(request, pdf, a4()));

        QString list;
        const QImage embedded = embeddedPicture(pdf, dir.path(), list);
        EXPECT_FALSE(list.contains(QLatin1String(" jpeg "))) << list.toStdString();
        ASSERT_EQ(embedded.size(), picture.size()) << list.toStdString();
        EXPECT_EQ(embedded, picture.convertToFormat(QImage::Format_RGB888));

        // Rendered at about the resolution the picture is embedded at, the
        // middle of each block keeps its exact colour.
        const double pageWidthInches = 210.0 / 25.4;
        const double pictureInches = pageWidthInches - 1.0 - 0.1; // skin 9: half-inch margins, thin inset
        const int dpi = int(picture.width() / pictureInches * 4); // four device pixels a picture pixel
        const QString stem = QDir(dir.path()).filePath(QStringLiteral("page"));
        runProcess(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-singlefile"),
                                                QStringLiteral("-png"), pdf, stem});
        const QImage page = QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB888);
        ASSERT_FALSE(page.isNull());
        QSet<QRgb> wanted, found;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                wanted.insert(picture.pixel(x, y));
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                found.insert(page.pixel(x, y));
        for (QRgb colour : wanted)
            EXPECT_TRUE(found.contains(colour)) << std::hex << colour << " is not on the rendered page";
    }
}

} // namespace
} // namespace ostrel
