// SPDX-License-Identifier: Apache-2.0
// Whole print jobs into real PDF files, read back with poppler's tools:
// page counts, header and footer texts, and skin colours on the rendered page.
#include "support/ProcessRun.h"
#include "toolkit/printing/PrintJobs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

using testing::pdfText;
using testing::runProcess;

int pdfPageCount(const QString& pdf)
{
    const QString info = runProcess(QStringLiteral("pdfinfo"), {pdf}).out;
    for (const QString& line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// Page `page` rendered at 72 dpi: one pixel a point.
QImage pdfPagePicture(const QString& pdf, int page, const QString& folder)
{
    const QString stem = QDir(folder).filePath(QStringLiteral("page"));
    runProcess(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                                            QString::number(page), QStringLiteral("-l"), QString::number(page),
                                            QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, stem});
    return QImage(stem + QStringLiteral(".png"));
}

QPageLayout a4()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
}

// The lines per page of the A4 layout these tests print on, as the painter
// lays it out.
int linesPerA4Page(int fontSize)
{
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter writer(&sink);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(a4());
    TPrinterPainter painter;
    painter.setTarget(&writer, QStringLiteral("sink"));
    painter.SetSkin(1, fontSize);
    return painter.geometry().linesPerPage;
}

class PdfPrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char* tool : {"pdfinfo", "pdftotext", "pdftoppm"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                << tool << " (poppler-utils) is needed to read the printed PDFs back";
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
};

TEST_F(PdfPrintTest, ThreePageTextInTwoCopiesCollatedAndNot)
{
    const int perPage = linesPerA4Page(12);
    ASSERT_GT(perPage, 10);
    PrintRequest request;
    request.title = QStringLiteral("notes.txt");
    for (int i = 1; i <= 2 * perPage + 3; ++i)
        request.lines << QStringLiteral("entry %1").arg(i);
    request.copies = 2;
    request.lineNumbers = true;

    struct Case {
        bool collate;
        std::vector<int> pages;
    } cases[] = {{true, {1, 2, 3, 1, 2, 3}}, {false, {1, 1, 2, 2, 3, 3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.collate ? "collated" : "not collated");
        request.collate = c.collate;
        const QString pdf = path(c.collate ? "collated.pdf" : "uncollated.pdf");
        const PrintOutcome outcome = printRequestToPdf(request, pdf, a4());
        ASSERT_TRUE(outcome) << outcome.error().toStdString();
        ASSERT_EQ(pdfPageCount(pdf), 6);
        for (size_t sheet = 0; sheet < c.pages.size(); ++sheet) {
            const int page = c.pages[sheet];
            const QString text = pdfText(pdf, int(sheet) + 1);
            EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of 3").arg(page))) << sheet << ": " << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("notes.txt")));
            EXPECT_TRUE(text.contains(QDate::currentDate().toString(QStringLiteral("yyyy"))));
            // The page's first line, numbered.
            const int first = (page - 1) * perPage + 1;
            EXPECT_TRUE(text.contains(QStringLiteral("%1:entry %2").arg(first, 5).arg(first))) << text.toStdString();
        }
    }
    // Page 3 holds the last three lines only.
    const QString last = pdfText(path("collated.pdf"), 3);
    EXPECT_TRUE(last.contains(QStringLiteral("entry %1").arg(2 * perPage + 3)));
    EXPECT_FALSE(last.contains(QStringLiteral("entry %1\n").arg(2 * perPage)));
}

TEST_F(PdfPrintTest, OnePageOfATextAlone)
{
    PrintRequest request;
    request.title = QStringLiteral("one page");
    for (int i = 1; i <= 2 * linesPerA4Page(12); ++i)
        request.lines << QStringLiteral("row %1").arg(i);
    request.page = 2;
    const QString pdf = path("page2.pdf");
    ASSERT_TRUE(printRequestToPdf(request, pdf, a4()));
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("Page 2 of 2")));

    request.page = 3;
    const PrintOutcome beyond = printRequestToPdf(request, path("page3.pdf"), a4());
    EXPECT_FALSE(beyond);
    EXPECT_TRUE(beyond.error().contains(QStringLiteral("2 pages"))) << beyond.error().toStdString();
    EXPECT_FALSE(QFile::exists(path("page3.pdf")));
}

TEST_F(PdfPrintTest, PictureInEachSkinsColours)
{
    QImage picture(400, 200, QImage::Format_RGB888);
    picture.fill(qRgb(0, 128, 0));
    struct Case {
        int skin;
        QRgb band, interior, bar;
    } cases[] = {
        {4, qRgb(192, 192, 192), qRgb(255, 255, 255), qRgb(0, 0, 0)},
        {6, qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 0)},
        {7, qRgb(255, 0, 0), qRgb(255, 255, 0), qRgb(255, 0, 0)},
        {8, qRgb(0, 0, 255), qRgb(0, 255, 255), qRgb(0, 0, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "skin " << c.skin);
        PrintRequest request;
        request.title = QStringLiteral("picture.bmp");
        request.picture = picture;
        request.skin = c.skin;
        request.copies = 2;
        const QString pdf = dir.filePath(QStringLiteral("skin%1.pdf").arg(c.skin));
        ASSERT_TRUE(printRequestToPdf(request, pdf, a4()));
        EXPECT_EQ(pdfPageCount(pdf), 2);
        EXPECT_TRUE(pdfText(pdf, 2).contains(QStringLiteral("Page 1 of 1")));
        // A4 is 595 × 842 points; the outer rectangle starts an inch (72 points) in.
        const QImage page = pdfPagePicture(pdf, 1, dir.path());
        ASSERT_EQ(page.size(), QSize(595, 842));
        EXPECT_EQ(page.pixel(80, 62), c.band);     // header band, left of the title
        EXPECT_EQ(page.pixel(297, 775), c.band);   // footer band, between its texts
        EXPECT_EQ(page.pixel(100, 150), c.interior);
        // The picture, centred; the PDF may store it compressed with loss.
        const QColor middle = page.pixelColor(297, 421);
        EXPECT_LE(std::abs(middle.red()) + std::abs(middle.green() - 128) + std::abs(middle.blue()), 6);
        EXPECT_EQ(page.pixel(72, 421), c.bar);     // left border bar
        EXPECT_EQ(page.pixel(30, 421), qRgb(255, 255, 255));
    }
}

TEST_F(PdfPrintTest, FailedJobsNameTheFileAndLeaveNothingBehind)
{
    PrintRequest request;
    request.title = QStringLiteral("t");
    request.lines << QStringLiteral("text");

    const QString missingFolder = path("no such folder/out.pdf");
    const PrintOutcome outcome = printRequestToPdf(request, missingFolder, a4());
    EXPECT_FALSE(outcome);
    EXPECT_TRUE(outcome.error().contains(missingFolder)) << outcome.error().toStdString();

    // A job that fails keeps the file that was there, and leaves no temporary file.
    const QString existing = path("kept.pdf");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier print");
    }
    PrintRequest nothing;
    EXPECT_FALSE(printRequestToPdf(nothing, existing, a4()));
    QFile kept(existing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("earlier print"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("kept.pdf")});
}

} // namespace
} // namespace ostrel
