// SPDX-License-Identifier: Apache-2.0
// Names from files and pictures are shown as text: a line break in one
// cannot fake a line in a report or make the status bar taller, and markup in
// one is not rendered.
#include "ShellTestSupport.h"
#include "engine/Encoder.h"
#include "engine/TRandom.h"
#include "toolkit/ZQXPrintDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

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
    ASSERT_TRUE(EncodePayloadWith(picture, payloadPath, uint32_t(key), uint32_t(key >> 32), EncodeOptions{}, {},
                                  &report));
    openPicture(picture, QStringLiteral("carrier.bmp"));
    dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
    trigger(TCommand::Decode);
    const QString text = dialogs.last(QStringLiteral("message"))->text;
    ASSERT_TRUE(text.startsWith(QStringLiteral("Decode Successful"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nFilename: fake\\nDecode Successful.txt\r\n"))) << text.toStdString();
    for (const QString& line : text.split(QStringLiteral("\r\n")))
        EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.startsWith(QLatin1String("Decode Successful.txt")))
            << "a fake line: " << line.toStdString();
    EXPECT_EQ(fileBytes(DecodeFolder() + QStringLiteral("fake_Decode Successful.txt")), QByteArray("payload"));
}

TEST(PrintErrorBox, ShowsItsMessageAsPlainText)
{
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
    form.showPrintError(&form, QStringLiteral("Cannot write <h1>big</h1>\n<u>x</u>.pdf: No space left on device"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QStringLiteral("Cannot write <h1>big</h1>\\n<u>x</u>.pdf: No space left on device"));
}

} // namespace
} // namespace ostrel::testing
