// SPDX-License-Identifier: Apache-2.0
// "ostrel-cli print" as a user runs it: files in, PDF pages out, and clear
// failures with the right exit status.
#include "support/Posix.h"
#include "support/ProcessRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

using ostrel::testing::pdfText;
using ostrel::testing::ProcessRun;

ProcessRun runCli(const QStringList& args)
{
    return ostrel::testing::runProcess(QStringLiteral(OSTREL_CLI_PATH), args);
}

class CliPrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        text = dir.filePath(QStringLiteral("story.txt"));
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 100; ++i)
            file.write(QStringLiteral("chapter\t%1\r\n").arg(i).toLatin1());
        file.close();
        picture = dir.filePath(QStringLiteral("photo.bmp"));
        QImage image(64, 32, QImage::Format_RGB888);
        image.fill(qRgb(10, 200, 30));
        ASSERT_TRUE(image.save(picture, "BMP"));
    }
    QString out(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
    QString text;
    QString picture;
};

TEST_F(CliPrintTest, TextFilesPrintAsNumberedPagesInCopies)
{
    const ProcessRun run = runCli({QStringLiteral("print"), text, QStringLiteral("-o"), out("story.pdf"),
                               QStringLiteral("--line-numbers"), QStringLiteral("--copies"), QStringLiteral("2"),
                               QStringLiteral("--no-collate")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString printed = pdfText(out("story.pdf"));
    const QStringList pages = printed.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 6) << printed.toStdString(); // 100 lines fill 3 A4 or Letter pages
    const char* footers[] = {"Page 1 of 3", "Page 1 of 3", "Page 2 of 3", "Page 2 of 3", "Page 3 of 3", "Page 3 of 3"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(pages[i].contains(QLatin1String(footers[i]))) << i;
        EXPECT_TRUE(pages[i].contains(QStringLiteral("story.txt"))) << i;
    }
    // Tabs are expanded to the next multiple of eight columns after the number.
    EXPECT_TRUE(pages[0].contains(QStringLiteral("    1:chapter 1"))) << pages[0].toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("6 pages")));

    const ProcessRun one = runCli({QStringLiteral("print"), text, QStringLiteral("-o"), out("page2.pdf"),
                               QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--skin"),
                               QStringLiteral("9"), QStringLiteral("--font-size"), QStringLiteral("10")});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(pdfText(out("page2.pdf")).count(QLatin1Char('\f')), 1);
}

TEST_F(CliPrintTest, PicturesPrintOnOnePageTitledWithTheirName)
{
    const ProcessRun run = runCli({QStringLiteral("print"), picture, QStringLiteral("-o"), out("photo.pdf")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString printed = pdfText(out("photo.pdf"));
    EXPECT_EQ(printed.count(QLatin1Char('\f')), 1);
    EXPECT_TRUE(printed.contains(QStringLiteral("photo.bmp")));
    EXPECT_TRUE(printed.contains(QStringLiteral("Page 1 of 1")));
}

TEST_F(CliPrintTest, FailuresSayWhatWentWrong)
{
    QFile unknown(out("data.xyz"));
    ASSERT_TRUE(unknown.open(QIODevice::WriteOnly));
    unknown.close();
    QFile empty(out("empty.txt"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QString pdf = out("x.pdf");
    const QString unwritable = out("missing folder/x.pdf");
    struct Case {
        QStringList args;
        int exitCode;
        QString message;
    } cases[] = {
        {{out("none.txt"), QStringLiteral("-o"), pdf}, 1, QStringLiteral("no such file")},
        {{out("data.xyz"), QStringLiteral("-o"), pdf}, 1, QStringLiteral("neither a picture nor a text file")},
        {{out("empty.txt"), QStringLiteral("-o"), pdf}, 1, QStringLiteral("is empty")},
        {{text, QStringLiteral("-o"), unwritable}, 1, unwritable},
        {{text, QStringLiteral("--printer"), QStringLiteral("no-such-queue")}, 1,
         // whether a print server runs on this machine or not
         QStringLiteral("Cannot print on no-such-queue: ")},
        {{text, QStringLiteral("-o"), pdf, QStringLiteral("--page"), QStringLiteral("9")}, 1,
         QStringLiteral("no page 9")},
        {{picture, QStringLiteral("-o"), pdf, QStringLiteral("--page"), QStringLiteral("2")}, 2,
         QStringLiteral("one page")},
        {{text, QStringLiteral("-o"), pdf, QStringLiteral("--skin"), QStringLiteral("10")}, 2,
         QStringLiteral("from 1 to 9")},
        {{text, QStringLiteral("-o"), pdf, QStringLiteral("--copies")}, 2, QStringLiteral("needs a value")},
        {{text, QStringLiteral("-o"), pdf, QStringLiteral("--printer"), QStringLiteral("q")}, 2,
         QStringLiteral("not both")},
        {{}, 2, QStringLiteral("needs a file")},
    };
    for (const Case& c : cases) {
        const ProcessRun run = runCli(QStringList{QStringLiteral("print")} + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(QDir(out("missing folder")).exists());
}

// Commands that draw with fonts start the graphical layer; what it says about
// its own set-up never reaches the user, who sees the command's words alone.
TEST_F(CliPrintTest, ToolkitWarningsAreNotPrinted)
{
    const ProcessRun run = ostrel::testing::runProcess(
        QStringLiteral(OSTREL_CLI_PATH), {QStringLiteral("print"), text, QStringLiteral("-o"), out("quiet.pdf")},
        {.unsetEnvironment = {QStringLiteral("XDG_RUNTIME_DIR")}});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QLatin1String("Printed ")) && run.err.count(QLatin1Char('\n')) == 1)
        << run.err.toStdString();
}

// The PDF goes through the program's one safe writer: a full disk, a pipe, a
// device or a link at the destination is an error that names the file and
// keeps what was there, and the document's title is the printed file's name.
TEST_F(CliPrintTest, PdfFilesAreWrittenSafely)
{
    const QString pdf = out("titled.pdf");
    ASSERT_EQ(runCli({QStringLiteral("print"), text, QStringLiteral("-o"), pdf}).exitCode, 0);
    const QString info = ostrel::testing::runProcess(QStringLiteral("pdfinfo"), {pdf}).out;
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title: +story.txt\n")))) << info.toStdString();

    const QString fifo = out("fifo.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = out("link.pdf");
    ASSERT_TRUE(QFile::link(pdf, link));
    struct Case {
        QString path;
        QString reason;
    };
    std::vector<Case> cases = {{fifo, QStringLiteral("it is a named pipe (FIFO), not a file")},
                               {link, QStringLiteral("it is a symbolic link")}};
    const QString device = out("device.pdf");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) // as /dev/null
        cases.push_back({device, QStringLiteral("it is a device, not a file")});
    const ostrel::testing::SmallFileSystem disk("200k");
    QByteArray old;
    if (disk.whyNot().isEmpty()) {
        const QString full = disk.filePath(QStringLiteral("p.pdf"));
        ASSERT_EQ(runCli({QStringLiteral("print"), picture, QStringLiteral("-o"), full}).exitCode, 0);
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        old = file.readAll();
        disk.fill();
        cases.push_back({full, QStringLiteral("No space left on device")});
    } else {
        std::cout << "No full disk is tried: " << disk.whyNot().toStdString() << std::endl;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const ProcessRun run = runCli({QStringLiteral("print"), text, QStringLiteral("-o"), c.path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot write %1: %2").arg(c.path, c.reason))) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QLatin1String("Printed"))) << run.err.toStdString();
    }
    if (!old.isEmpty()) {
        QFile file(disk.filePath(QStringLiteral("p.pdf")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), old);
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({QStringLiteral("filler"), QStringLiteral("p.pdf")}));
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(fifo).isFile(), false);
}

} // namespace
