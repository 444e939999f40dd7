// SPDX-License-Identifier: Apache-2.0
// The main window driven through its menu commands with scripted dialogs:
// status and capacity lines, the questions of Encode, Save As choices and
// errors, cancelled commands, and whole encode-save-open-decode journeys.
#include "ShellTestSupport.h"
#include "engine/SealedPayload.h"
#include "engine/TRandom.h"
#include "shell/ShellTexts.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QUrl>

#include <algorithm>

namespace ostrel::testing {
namespace {

const QString kStartCapacity = QStringLiteral("Image has space for approximately 9,500 Bytes of hidden data");

// 68 characters whose key is 2^63, the one key the generator cannot use.
const QString kUnusablePassword =
    QStringLiteral("oaaabaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaabbaaaab");

using MainWindow = ShellWindowTest;

TEST_F(MainWindow, StartsWithTheClearedPicture)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ostrel Program V1.3"));
    EXPECT_EQ(window->panelText(0), QStringLiteral("320\u00D7240"));
    EXPECT_EQ(window->panelText(1), QStringLiteral("2 of 16 Colors"));
    EXPECT_EQ(window->panelText(2), QString());
    EXPECT_EQ(window->capacityText(), kStartCapacity);
    EXPECT_EQ(window->colourCount(), 16);

    const QImage& picture = window->picture();
    ASSERT_EQ(picture.size(), QSize(320, 240));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    // One-pixel black frame around aqua.
    const struct {
        int x, y;
        QColor colour;
    } pixels[] = {{0, 0, Qt::black},      {319, 239, Qt::black},       {160, 0, Qt::black},
                  {0, 120, Qt::black},    {1, 1, QColor(0, 255, 255)}, {318, 238, QColor(0, 255, 255)},
                  {160, 120, QColor(0, 255, 255)}};
    for (const auto& p : pixels)
        EXPECT_EQ(picture.pixelColor(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(MainWindow, MenuShortcutsAndDisabledCommands)
{
    const struct {
        MenuCommand command;
        QKeySequence shortcut;
        bool enabled;
    } cases[] = {
        {MenuCommand::Clear, QKeySequence(), true},
        {MenuCommand::Open, QKeySequence(QStringLiteral("Ctrl+O")), true},
        {MenuCommand::OpenFromWeb, QKeySequence(QStringLiteral("Ctrl+W")), true},
        {MenuCommand::SaveAs, QKeySequence(QStringLiteral("Ctrl+S")), true},
        {MenuCommand::Print, QKeySequence(QStringLiteral("Ctrl+P")), true},
        {MenuCommand::Exit, QKeySequence(QStringLiteral("Alt+F4")), true},
        {MenuCommand::Copy, QKeySequence(QStringLiteral("Ctrl+C")), true},
        {MenuCommand::Encode, QKeySequence(QStringLiteral("Ctrl+E")), true},
        {MenuCommand::EncodeAdaptive, QKeySequence(QStringLiteral("Ctrl+Shift+E")), true},
        {MenuCommand::Decode, QKeySequence(QStringLiteral("Ctrl+D")), true},
        {MenuCommand::AnalyzePicture, QKeySequence(QStringLiteral("F10")), true},
        {MenuCommand::About, QKeySequence(QStringLiteral("F1")), true},
    };
    for (const auto& c : cases) {
        const QAction* action = window->commandAction(c.command);
        ASSERT_NE(action, nullptr) << int(c.command);
        EXPECT_EQ(action->shortcut(), c.shortcut) << action->text().toStdString();
        EXPECT_EQ(action->isEnabled(), c.enabled) << action->text().toStdString();
    }
    trigger(MenuCommand::About);
    EXPECT_EQ(dialogs.kinds(), QStringList{QStringLiteral("about")});
    // Print hands the working picture to the print window, titled with its source.
    trigger(MenuCommand::Print);
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, QStringLiteral("print"));
    EXPECT_EQ(dialogs.calls[1].title, window->panelText(2));
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("%1x%2").arg(window->picture().width()).arg(window->picture().height()));
}

TEST_F(MainWindow, SizeAndCapacityFollowThePicture)
{
    const struct {
        int width, height;
        const char* size;
        const char* capacity;
    } cases[] = {
        {10, 10, "10\u00D710", "-87"},
        {1, 1, "1\u00D71", "-99"},
        {100, 100, "100\u00D7100", "1,150"},
        {1000, 1000, "1000\u00D71000", "124,900"},
    };
    for (const auto& c : cases) {
        const QString fileName = openPicture(pictureOfColours(1, c.width, c.height));
        EXPECT_EQ(window->panelText(0), QString::fromUtf8(c.size));
        EXPECT_EQ(window->capacityText(), QStringLiteral("Image has space for approximately ")
                                              + QString::fromUtf8(c.capacity) + QStringLiteral(" Bytes of hidden data"));
        EXPECT_EQ(window->panelText(2), fileName);
    }
    EXPECT_TRUE(dialogs.last(QStringLiteral("error")) == nullptr);
}

TEST_F(MainWindow, ColourPanelCountsOwnAndBaseColours)
{
    // Only base colours: the count with them is 16 whatever the picture holds.
    QImage baseOnly(4, 4, QImage::Format_BGR888);
    baseOnly.fill(QColor(128, 0, 0));
    baseOnly.setPixelColor(0, 0, Qt::white);
    const struct {
        QImage picture;
        const char* text;
        int64_t total;
    } cases[] = {
        {pictureOfColours(112, 16, 16), "112 of 128 Colors", 128},
        {pictureOfColours(1, 4, 4), "1 of 17 Colors", 17},
        {baseOnly, "2 of 16 Colors", 16},
    };
    for (const auto& c : cases) {
        openPicture(c.picture);
        EXPECT_EQ(window->panelText(1), QString::fromUtf8(c.text));
        EXPECT_EQ(window->colourCount(), c.total);
    }
}

TEST_F(MainWindow, ReductionIsOfferedAbove128Colours)
{
    const QString payload = path(QStringLiteral("note.txt"));
    ASSERT_TRUE(writeBytes(payload, "hidden words"));
    const struct {
        int ownColours;
        bool asked;
    } cases[] = {{112, false}, {113, true}};
    for (const auto& c : cases) {
        openPicture(pictureOfColours(c.ownColours, 64, 64));
        ASSERT_EQ(window->colourCount(), c.ownColours + 16);
        dialogs.calls.clear();
        dialogs.openAnswers.push_back(payload);
        dialogs.passwordAnswers.push_back(QStringLiteral("pw"));
        if (c.asked)
            dialogs.yesNoAnswers.push_back(false);
        trigger(MenuCommand::Encode);

        QStringList expected{QStringLiteral("open"), QStringLiteral("password")};
        if (c.asked)
            expected.append(QStringLiteral("question"));
        expected.append(QStringLiteral("message"));
        EXPECT_EQ(dialogs.kinds(), expected) << c.ownColours;
        if (c.asked) {
            EXPECT_EQ(dialogs.last(QStringLiteral("question"))->text, reduceQuestionText());
        }
        const DialogCall* report = dialogs.last(QStringLiteral("message"));
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(report->title, QStringLiteral("ENCODE"));
        EXPECT_TRUE(report->printAllowed);
        EXPECT_TRUE(report->text.startsWith(QStringLiteral("Encoding Successful\r\n\r\n"))) << report->text.toStdString();
        EXPECT_EQ(dialogs.last(QStringLiteral("open"))->title, QStringLiteral("Open File to Encode"));
        EXPECT_EQ(dialogs.last(QStringLiteral("open"))->text, kPayloadFilter);
    }
}

TEST_F(MainWindow, SaveAsOffersPalettedFormatsUpTo256Colours)
{
    const struct {
        int ownColours;
        QString title;
        QString filter;
    } cases[] = {
        {240, kSaveTitlePaletted, kSaveFilterPaletted},
        {241, kSaveTitle24Bit, kSaveFilter24Bit},
    };
    for (const auto& c : cases) {
        openPicture(pictureOfColours(c.ownColours, 32, 32));
        dialogs.calls.clear();
        dialogs.saveAnswers.push_back(QString()); // cancelled
        trigger(MenuCommand::SaveAs);
        ASSERT_EQ(dialogs.kinds(), QStringList{QStringLiteral("save")});
        EXPECT_EQ(dialogs.calls[0].title, c.title) << c.ownColours;
        EXPECT_EQ(dialogs.calls[0].text, c.filter) << c.ownColours;
    }
}

TEST_F(MainWindow, SaveAsRefusesOtherExtensionsAndWritesNothing)
{
    const QString source = openPicture(pictureOfColours(5, 8, 8));
    ASSERT_EQ(window->panelText(2), source);
    const QString target = path(QStringLiteral("out.webp"));
    dialogs.saveAnswers.push_back(target);
    trigger(MenuCommand::SaveAs);

    const DialogCall* error = dialogs.last(QStringLiteral("error"));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->text, QStringLiteral("ERROR:\r\n    File name entered is:\r\n    ") + target
                               + QStringLiteral("\r\n\r\n    Cannot save file with .WEBP Extension."));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(window->panelText(2), QString());
}

TEST_F(MainWindow, SaveAsPngKeepsEveryPixel)
{
    const QImage picture = pictureOfColours(300, 20, 16); // more than a palette holds
    openPicture(picture);
    const QString target = path(QStringLiteral("out.png"));
    dialogs.saveAnswers.push_back(target);
    trigger(MenuCommand::SaveAs);

    EXPECT_EQ(dialogs.last(QStringLiteral("error")), nullptr);
    EXPECT_EQ(window->panelText(2), target);
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.read(8).startsWith("\x89PNG"));
    EXPECT_TRUE(samePixels(QImage(target), picture));
}

TEST_F(MainWindow, SaveAsWithoutExtensionWritesABmp)
{
    const QImage picture = pictureOfColours(20, 9, 7);
    openPicture(picture);
    dialogs.saveAnswers.push_back(path(QStringLiteral("plain")));
    trigger(MenuCommand::SaveAs);

    const QString saved = path(QStringLiteral("plain.bmp"));
    EXPECT_EQ(window->panelText(2), saved);
    EXPECT_EQ(window->panelText(1), QStringLiteral("20 of 36 Colors")) << "the writer's progress is not left behind";
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("plain"))));
    const QImage reread(saved);
    EXPECT_TRUE(samePixels(reread, picture));
    EXPECT_EQ(dialogs.last(QStringLiteral("error")), nullptr);
}

TEST_F(MainWindow, GifOfMoreThan256ColoursIsRefusedAndTheOldFileKept)
{
    openPicture(pictureOfColours(300, 20, 20));
    const QString before = window->panelText(2);
    const QString target = path(QStringLiteral("many.gif"));
    ASSERT_TRUE(writeBytes(target, "previous file"));
    dialogs.saveAnswers.push_back(target);
    trigger(MenuCommand::SaveAs);

    EXPECT_EQ(dialogs.last(QStringLiteral("save"))->title, kSaveTitle24Bit);
    const DialogCall* error = dialogs.last(QStringLiteral("error"));
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->text.startsWith(QStringLiteral("ERROR:\r\n    File name entered is:\r\n    ") + target
                                       + QStringLiteral("\r\n\r\n    ")))
        << error->text.toStdString();
    EXPECT_GT(error->text.size(), fileErrorText(target, QString()).size()) << "the writer's reason is shown";
    EXPECT_EQ(fileBytes(target), QByteArray("previous file"));
    EXPECT_EQ(window->panelText(2), before);
}

TEST_F(MainWindow, CancelledCommandsChangeNothing)
{
    const QString payload = path(QStringLiteral("p.bin"));
    ASSERT_TRUE(writeBytes(payload, "abc"));
    openPicture(pictureOfColours(200, 40, 30));
    const QImage before = window->picture().copy();
    const QStringList panels{window->panelText(0), window->panelText(1), window->panelText(2), window->capacityText()};

    const struct {
        const char* name;
        MenuCommand command;
        std::deque<QString> open;
        std::deque<std::optional<QString>> passwords;
        std::deque<QString> save;
        QStringList expected;
    } cases[] = {
        {"payload dialog", MenuCommand::Encode, {QString()}, {}, {}, {QStringLiteral("open")}},
        {"password on encode", MenuCommand::Encode, {payload}, {std::nullopt}, {},
         {QStringLiteral("open"), QStringLiteral("password")}},
        {"password on decode", MenuCommand::Decode, {}, {std::nullopt}, {}, {QStringLiteral("password")}},
        {"open dialog", MenuCommand::Open, {QString()}, {}, {}, {QStringLiteral("open")}},
        {"save dialog", MenuCommand::SaveAs, {}, {}, {QString()}, {QStringLiteral("save")}},
    };
    for (const auto& c : cases) {
        dialogs.calls.clear();
        dialogs.openAnswers = c.open;
        dialogs.passwordAnswers = c.passwords;
        dialogs.saveAnswers = c.save;
        trigger(c.command);
        EXPECT_EQ(dialogs.kinds(), c.expected) << c.name;
        EXPECT_TRUE(samePixels(window->picture(), before)) << c.name;
        const QStringList now{window->panelText(0), window->panelText(1), window->panelText(2), window->capacityText()};
        EXPECT_EQ(now, panels) << c.name;
    }
    EXPECT_TRUE(decodedFiles().isEmpty());
}

TEST_F(MainWindow, UnusablePasswordIsRefusedAndAnotherAskedFor)
{
    ASSERT_EQ(HashPassword(kUnusablePassword.toLatin1()), uint64_t(1) << 63);
    const QString payload = path(QStringLiteral("p.bin"));
    ASSERT_TRUE(writeBytes(payload, "abc"));
    dialogs.openAnswers.push_back(payload);
    dialogs.passwordAnswers = {kUnusablePassword, QStringLiteral("usable")};
    trigger(MenuCommand::Encode);
    EXPECT_EQ(dialogs.kinds(), (QStringList{QStringLiteral("open"), QStringLiteral("password"), QStringLiteral("error"),
                                            QStringLiteral("password"), QStringLiteral("message")}));
    EXPECT_EQ(dialogs.last(QStringLiteral("error"))->text, unusablePasswordText());
    EXPECT_TRUE(dialogs.last(QStringLiteral("message"))->text.startsWith(QStringLiteral("Encoding Successful")));

    // Refused and then cancelled: the decode does not run.
    dialogs.calls.clear();
    dialogs.passwordAnswers = {kUnusablePassword, std::nullopt};
    trigger(MenuCommand::Decode);
    EXPECT_EQ(dialogs.kinds(),
              (QStringList{QStringLiteral("password"), QStringLiteral("error"), QStringLiteral("password")}));
    EXPECT_TRUE(decodedFiles().isEmpty());
}

// Encode, save, clear, open the saved file, decode: the payload comes back
// byte for byte, for a true-colour carrier and for a reduced one in both
// paletted formats.
TEST_F(MainWindow, EncodeSaveOpenDecodeJourneys)
{
    const struct {
        const char* name;
        bool reduce;
        bool dither;
        const char* saveAs;
        QString saveTitle;
    } cases[] = {
        {"true colour", false, false, "journey.bmp", kSaveTitle24Bit},
        {"reduced, dithered, gif", true, true, "journey.gif", kSaveTitlePaletted},
        {"reduced, posterized, bmp", true, false, "journey_reduced.bmp", kSaveTitlePaletted},
    };
    const QByteArray secret = randomBytes(300, 7);
    const QString payload = path(QStringLiteral("secret payload.bin"));
    ASSERT_TRUE(writeBytes(payload, secret));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : decodedFiles())
            QFile::remove(decodeFolder() + name);
        openPicture(gradientPicture(96, 80));
        ASSERT_GT(window->colourCount(), 256);

        dialogs.calls.clear();
        dialogs.openAnswers.push_back(payload);
        dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
        dialogs.yesNoAnswers.push_back(c.reduce);
        if (c.reduce)
            dialogs.yesNoAnswers.push_back(c.dither);
        trigger(MenuCommand::Encode);
        ASSERT_TRUE(dialogs.last(QStringLiteral("message"))->text.startsWith(QStringLiteral("Encoding Successful")))
            << dialogs.last(QStringLiteral("message"))->text.toStdString();
        if (c.reduce) {
            EXPECT_TRUE(dialogs.last(QStringLiteral("question"))->text.startsWith(
                QStringLiteral("Resulting image will contain ")));
            EXPECT_LE(window->colourCount(), 256);
        }
        const QImage encoded = window->picture().copy();

        const QString saved = path(QString::fromUtf8(c.saveAs));
        dialogs.saveAnswers.push_back(saved);
        trigger(MenuCommand::SaveAs);
        EXPECT_EQ(dialogs.last(QStringLiteral("save"))->title, c.saveTitle);
        ASSERT_EQ(dialogs.last(QStringLiteral("error")), nullptr);
        EXPECT_EQ(window->panelText(2), saved);

        trigger(MenuCommand::Clear);
        dialogs.openAnswers.push_back(saved);
        trigger(MenuCommand::Open);
        ASSERT_TRUE(samePixels(window->picture(), encoded)) << "saving kept every pixel";

        dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
        trigger(MenuCommand::Decode);
        const DialogCall* report = dialogs.last(QStringLiteral("message"));
        EXPECT_EQ(report->title, QStringLiteral("DECODE"));
        ASSERT_TRUE(report->text.startsWith(QStringLiteral("Decode Successful\r\n\r\n"))) << report->text.toStdString();
        EXPECT_EQ(decodedFiles(), QStringList{QStringLiteral("secret payload.bin")});
        EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("secret payload.bin")), secret);
        EXPECT_TRUE(samePixels(window->picture(), encoded)) << "decoding leaves the picture";

        // A wrong password finds nothing and writes nothing more.
        QFile::remove(decodeFolder() + QStringLiteral("secret payload.bin"));
        dialogs.passwordAnswers.push_back(QStringLiteral("wrong horse"));
        trigger(MenuCommand::Decode);
        EXPECT_TRUE(dialogs.last(QStringLiteral("message"))->text.startsWith(QStringLiteral("Decode Failed\r\n\r\n")));
        EXPECT_TRUE(decodedFiles().isEmpty());
        EXPECT_TRUE(dialogs.allAnswersUsed());
    }
}

// A picture sealed by the command line opens in the desktop program with the
// same password: Decode tries the sealed derivation when the format's own key
// finds nothing, and writes the file under its sealed name.
TEST_F(MainWindow, DecodeOpensASealedPicture)
{
    const QByteArray secret = randomBytes(500, 21);
    const QString payload = path(QStringLiteral("sealed \u00E9t\u00E9.txt"));
    ASSERT_TRUE(writeBytes(payload, secret));
    QImage sealed = gradientPicture(96, 80);
    ReportList encodeReport;
    ASSERT_TRUE(encodeSealedPayload(sealed, payload, "correct horse", &encodeReport, {},
                                    QStringLiteral("2024-01-02 10:11:12")))
        << encodeReport.join('\n').toStdString();
    openPicture(sealed, QStringLiteral("sealed.bmp"));

    dialogs.passwordAnswers.push_back(QStringLiteral("wrong horse"));
    trigger(MenuCommand::Decode);
    EXPECT_TRUE(dialogs.last(QStringLiteral("message"))->text.startsWith(QStringLiteral("Decode Failed\r\n\r\n")));
    EXPECT_TRUE(decodedFiles().isEmpty());

    dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
    trigger(MenuCommand::Decode);
    const QString report = dialogs.last(QStringLiteral("message"))->text;
    ASSERT_TRUE(report.startsWith(QStringLiteral("Decode Successful\r\n\r\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Date/Time: 2024-01-02 10:11:12\r\n")));
    EXPECT_EQ(decodedFiles(), QStringList{QStringLiteral("sealed \u00E9t\u00E9.txt")});
    EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("sealed \u00E9t\u00E9.txt")), secret);
    EXPECT_TRUE(samePixels(window->picture(), sealed)) << "decoding leaves the picture";
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(MainWindow, EncodeFailureIsReportedAndThePictureStillCounted)
{
    // 10×10 holds nothing: the encoder refuses and the report says so.
    openPicture(pictureOfColours(3, 10, 10));
    const QString payload = path(QStringLiteral("big.bin"));
    ASSERT_TRUE(writeBytes(payload, randomBytes(50, 1)));
    dialogs.openAnswers.push_back(payload);
    dialogs.passwordAnswers.push_back(QStringLiteral("pw"));
    trigger(MenuCommand::Encode);
    const DialogCall* report = dialogs.last(QStringLiteral("message"));
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->text.startsWith(QStringLiteral("Encoding Failed\r\n\r\n"))) << report->text.toStdString();
    EXPECT_GT(report->text.count(QStringLiteral("\r\n")), 2) << "the encoder's lines follow the heading";
    EXPECT_EQ(window->panelText(1), QStringLiteral("3 of 19 Colors"));
}

TEST_F(MainWindow, UnreadablePicturesAreReported)
{
    // Not a picture at all, under a picture's extension.
    const QString garbage = path(QStringLiteral("garbage.bmp"));
    ASSERT_TRUE(writeBytes(garbage, QByteArray(64, 'x')));
    dialogs.openAnswers.push_back(garbage);
    trigger(MenuCommand::Open);
    const DialogCall* error = dialogs.last(QStringLiteral("error"));
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->text.contains(garbage));
    // Whatever the reader could make is still a usable picture.
    EXPECT_FALSE(window->picture().isNull());
    EXPECT_EQ(window->panelText(0), QStringLiteral("%1\u00D7%2").arg(window->picture().width()).arg(window->picture().height()));
}

// The -1 sent before work starts shows as 0%, never as "-1%".
TEST_F(MainWindow, ProgressRepaintsOnlyOnChange)
{
    window->ShowProgress(42);
    EXPECT_EQ(window->panelText(1), QStringLiteral("42%"));
    window->ShowProgress(-1);
    EXPECT_EQ(window->panelText(1), QStringLiteral("0%"));
    // The census ends on 100%, so the same value again leaves the colour text.
    window->RecountColors();
    const QString colours = window->panelText(1);
    window->ShowProgress(100);
    EXPECT_EQ(window->panelText(1), colours);
    window->ShowProgress(-1);
    EXPECT_EQ(window->panelText(1), QStringLiteral("0%"));
}

// Every status panel shows its widest text whole: the colour panel a count
// of every colour there is, and no file name is taken for markup.
TEST_F(MainWindow, StatusPanelsShowTheirTextWhole)
{
    QList<QLabel*> panels = window->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    ASSERT_EQ(panels.size(), 3);
    QLabel* colours = panels[1];
    ASSERT_EQ(colours->text(), window->panelText(1));
    const QString widest = QStringLiteral("16777216 of 16777232 Colors");
    EXPECT_GE(colours->contentsRect().width(), colours->fontMetrics().horizontalAdvance(widest));
    EXPECT_GE(colours->width(), 200);

    const QString fileName = openPicture(pictureOfColours(2, 4, 4), QStringLiteral("<b>bold.bmp"));
    EXPECT_EQ(window->panelText(2), fileName);
    EXPECT_EQ(panels[2]->textFormat(), Qt::PlainText);
}

TEST_F(MainWindow, ClipboardCopyPasteAndThePasteItem)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage pasted = pictureOfColours(6, 30, 20);
    clipboard->setImage(pasted);
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->commandAction(MenuCommand::Paste)->isEnabled());
    trigger(MenuCommand::Paste);
    EXPECT_TRUE(samePixels(window->picture(), pasted));
    EXPECT_EQ(window->picture().format(), QImage::Format_BGR888);
    EXPECT_EQ(window->panelText(0), QStringLiteral("30\u00D720"));
    EXPECT_EQ(window->panelText(1), QStringLiteral("6 of 22 Colors"));
    EXPECT_EQ(window->panelText(2), QStringLiteral("<PASTE FROM CLIPBOARD>"));

    // Text wins over a bitmap, so Paste is off.
    auto* both = new QMimeData;
    both->setText(QStringLiteral("words"));
    both->setImageData(pasted);
    clipboard->setMimeData(both);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->commandAction(MenuCommand::Paste)->isEnabled());
    clipboard->setText(QStringLiteral("only words"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->commandAction(MenuCommand::Paste)->isEnabled());

    trigger(MenuCommand::Clear);
    trigger(MenuCommand::Copy);
    QCoreApplication::processEvents();
    EXPECT_TRUE(samePixels(clipboard->image(), window->picture()));
    EXPECT_TRUE(window->commandAction(MenuCommand::Paste)->isEnabled());
    clipboard->clear();
}

TEST_F(MainWindow, DroppedPictureFileOpensAsOpenDoes)
{
    const QImage picture = pictureOfColours(4, 12, 10);
    const QString fileName = path(QStringLiteral("dropped.bmp"));
    ASSERT_TRUE(picture.save(fileName, "BMP"));
    const QString notPicture = path(QStringLiteral("notes.xyz"));
    ASSERT_TRUE(writeBytes(notPicture, "x"));

    const struct {
        QString file;
        bool opens;
    } cases[] = {{notPicture, false}, {fileName, true}};
    for (const auto& c : cases) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(c.file)});
        // The drop goes to the widget that accepted the drag when it entered.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), c.opens) << c.file.toStdString();
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop);
        EXPECT_EQ(window->panelText(2), c.opens ? c.file : QString()) << c.file.toStdString();
    }
    EXPECT_TRUE(samePixels(window->picture(), picture));
    EXPECT_TRUE(dialogs.calls.empty());
}

// Whatever the source proposes, the window takes a dropped file as a copy,
// so that no file manager deletes the picture afterwards; a source that
// offers only a move is refused.
TEST_F(MainWindow, DropIsAlwaysACopy)
{
    const QString fileName = path(QStringLiteral("dropped.bmp"));
    ASSERT_TRUE(pictureOfColours(3, 6, 5).save(fileName, "BMP"));
    const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    // The keys held choose the action the source proposes.
    const struct {
        const char* what;
        Qt::DropActions offered;
        Qt::KeyboardModifiers keys;
        Qt::DropAction proposed;
        bool taken;
    } cases[] = {
        {"copy proposed", all, Qt::NoModifier, Qt::CopyAction, true},
        {"move proposed", all, Qt::ShiftModifier, Qt::MoveAction, true},
        {"link proposed", all, Qt::ControlModifier | Qt::ShiftModifier, Qt::LinkAction, true},
        {"only a move offered", Qt::MoveAction, Qt::NoModifier, Qt::MoveAction, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        trigger(MenuCommand::Clear);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(fileName)});
        QDragEnterEvent enter(QPoint(5, 5), c.offered, &data, Qt::LeftButton, c.keys);
        ASSERT_EQ(enter.proposedAction(), c.proposed);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDragMoveEvent move(QPoint(6, 6), c.offered, &data, Qt::LeftButton, c.keys);
        QCoreApplication::sendEvent(window.get(), &move);
        QDropEvent drop(QPointF(6, 6), c.offered, &data, Qt::LeftButton, c.keys);
        QCoreApplication::sendEvent(window.get(), &drop);
        for (const QDropEvent* event : {static_cast<QDropEvent*>(&enter), static_cast<QDropEvent*>(&move), &drop}) {
            EXPECT_EQ(event->isAccepted(), c.taken) << event->type();
            if (c.taken) {
                EXPECT_EQ(event->dropAction(), Qt::CopyAction) << event->type();
            }
        }
        EXPECT_EQ(window->panelText(2), c.taken ? fileName : QString());
    }
    EXPECT_TRUE(QFile::exists(fileName));
}

} // namespace
} // namespace ostrel::testing
