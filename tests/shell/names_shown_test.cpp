// SPDX-License-Identifier: Apache-2.0
// Names from files and pictures are shown as text: a line break in one
// cannot fake a line in a report or make the status bar taller, and markup in
// one is not rendered.
#include "ShellTestSupport.h"
#include "engine/Encoder.h"
#include "engine/EngineTestSupport.h"
#include "engine/TRandom.h"
#include "toolkit/ZQXPrintDialog.h"
#include "util/Text.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace ostrel::testing {
namespace {

using NamesShown = ShellWindowTest;

TEST_F(NamesShown, LineBreaksInNamesAreEscapedInReportsAndTheStatusBar)
{
    const QString source = openPicture(gradientPicture(96, 80), QStringLiteral("two\nlines.bmp"));
    EXPECT_EQ(window->panelText(2), QString(source).replace(QLatin1Char('\n'), QLatin1String("\\n")));

    // A payload whose name holds a line break, hidden and read back.
    const uint64_t key = HashPassword("correct horse");
    const QString payloadPath = path(QStringLiteral("fake\nDecode Successful.txt"));
    ASSERT_TRUE(writeBytes(payloadPath, "payload"));
    QImage picture = gradientPicture(96, 80);
    ReportList report;
    ASSERT_TRUE(encodePayloadWith(picture, payloadPath, uint32_t(key), uint32_t(key >> 32), EncodeOptions{}, {},
                                  &report));
    openPicture(picture, QStringLiteral("carrier.bmp"));
    dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
    trigger(MenuCommand::Decode);
    const QString text = dialogs.last(QStringLiteral("message"))->text;
    ASSERT_TRUE(text.startsWith(QStringLiteral("Decode Successful"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nFilename: fake\\nDecode Successful.txt\r\n"))) << text.toStdString();
    for (const QString& line : text.split(QStringLiteral("\r\n")))
        EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.startsWith(QLatin1String("Decode Successful.txt")))
            << "a fake line: " << line.toStdString();
    EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("fake_Decode Successful.txt")), QByteArray("payload"));
}

// Pictures made by the tests' own writers of the plain and the sealed format,
// with names no encoder would store: Decode writes one file into the decode
// folder under the name its report gives, shows the stored name escaped, and
// leaves the file a zero byte would cut the name to alone.
TEST_F(NamesShown, DecodeGivesHostileNamesAFileOfTheDecodeFolder)
{
    struct Case {
        bool sealed;
        QByteArray stored;
        QString written, shown;
    };
    const Case cases[] = {
        {false, "../<h1>x\r\nDecode Successful", QStringLiteral("<h1>x__Decode Successful"),
         QStringLiteral("../<h1>x\\r\\nDecode Successful")},
        {false, "a\\x1b\xE2\x80\xAEgpj.exe", QStringLiteral("x1b_gpj.exe"), QStringLiteral("a\\\\x1b\\u202egpj.exe")},
        {true, QByteArray("evil\0.txt", 9), QStringLiteral("evil_.txt"), QStringLiteral("evil\\x00.txt")},
        {true, "/", QStringLiteral("unnamed"), QStringLiteral("/")},
        {true, ".", QStringLiteral("unnamed"), QStringLiteral(".")},
    };
    const QByteArray secret = randomBytes(64, 41);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        for (const QString& name : decodedFiles())
            QFile::remove(decodeFolder() + name);
        ASSERT_TRUE(writeBytes(decodeFolder() + QStringLiteral("evil"), "keep me"));
        QImage picture = test::randomPicture(96, 80, 42);
        if (c.sealed) {
            ASSERT_TRUE(test::embedSealedByBits(picture, "correct horse", {c.stored, "now", secret}));
        } else {
            test::embedByBits(picture, HashPassword("correct horse"), test::streamFor(c.stored, "now", secret));
        }
        openPicture(picture, QStringLiteral("hostile.bmp"));

        dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
        trigger(MenuCommand::Decode);
        const QString report = dialogs.last(QStringLiteral("message"))->text;
        ASSERT_TRUE(report.startsWith(QStringLiteral("Decode Successful\r\n\r\n"))) << report.toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("\r\nFilename: ") + c.shown + QStringLiteral("\r\n")))
            << report.toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("\r\nSaving To: ") + decodeFolder() + c.written + QStringLiteral("\r\n")));
        QStringList expected = {QStringLiteral("evil"), c.written};
        expected.sort();
        EXPECT_EQ(decodedFiles(), expected);
        EXPECT_EQ(fileBytes(decodeFolder() + c.written), secret);
        EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("evil")), QByteArray("keep me"));
    }
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

// A file name shows in the status bar and in error messages as one line of
// plain text, escaped as reports escape names: a backslash as "\\", so that
// "\n" typed into a name never looks like a line break shown as an escape.
TEST_F(NamesShown, FileNamesShowOnOneLineAsReportsShowThem)
{
    auto tallestPanel = [this] {
        int height = 0;
        for (const QLabel* panel : window->statusBar()->findChildren<QLabel*>())
            height = std::max(height, panel->sizeHint().height());
        return height;
    };
    openPicture(pictureOfColours(3, 20, 10), QStringLiteral("plain.bmp"));
    const int oneLine = tallestPanel();

    const QString name = QStringLiteral("two\nlines <u>x\\n.bmp");
    const QString opened = openPicture(pictureOfColours(3, 20, 10), name);
    EXPECT_EQ(window->panelText(2), opened.chopped(name.size()) + QStringLiteral("two\\nlines <u>x\\\\n.bmp"));
    EXPECT_EQ(tallestPanel(), oneLine);

    // Names in the errors of Open and Save As, and a line break in the
    // extension the Save As error quotes as its reason: each stays on its line.
    struct Case {
        MenuCommand command;
        QString answer;
    };
    const Case cases[] = {
        {MenuCommand::Open, path(QStringLiteral("gone\\n\n<b>fake line.bmp"))},
        {MenuCommand::SaveAs, path(QStringLiteral("saved\\n.t\nfake line"))},
    };
    for (const Case& c : cases) {
        dialogs.calls.clear();
        (c.command == MenuCommand::Open ? dialogs.openAnswers : dialogs.saveAnswers).push_back(c.answer);
        trigger(c.command);
        const DialogCall* error = dialogs.last(QStringLiteral("error"));
        ASSERT_NE(error, nullptr);
        const QStringList lines = error->text.split(QStringLiteral("\r\n"));
        EXPECT_TRUE(lines.contains(QStringLiteral("    ") + escapedName(c.answer))) << error->text.toStdString();
        EXPECT_FALSE(error->text.contains(QRegularExpression(QStringLiteral("[^\r]\n")))) << error->text.toStdString();
    }
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

// The print window's messages name files and printers: markup in a name is
// shown as typed and a line break in it cannot fake a line of its own.
TEST(PrintErrorBox, ShowsItsMessageAsPlainText)
{
    const struct {
        PrintNotice::Kind kind;
        const char* text;
        const char* shown;
    } cases[] = {
        {PrintNotice::Kind::PrintFailed, "Cannot write <h1>big</h1>\n<u>x</u>.pdf: No space left on device",
         "Cannot write <h1>big</h1>\\n<u>x</u>.pdf: No space left on device"},
        {PrintNotice::Kind::PrinterFailed, "<b>queue</b>\nfake line", "Printer Select Failed for\n<b>queue</b>\\nfake line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TForm_Print form;
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shown = box->text();
            format = box->textFormat();
            box->accept();
        });
        form.showNotice({c.kind, QString::fromUtf8(c.text)});
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(shown, QString::fromUtf8(c.shown));
    }
}

} // namespace
} // namespace ostrel::testing
