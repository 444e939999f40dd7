// SPDX-License-Identifier: Apache-2.0
// The print window: options per mode and page count, keyboard, copy, help,
// header and footer editing, the zoom rule, and printing into a PDF file.
#include "ToolkitTestSupport.h"
#include "support/Children.h"
#include "support/Posix.h"
#include "support/ProcessRun.h"
#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXSuperSpin.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"
#include "toolkit/printing/PrintJobs.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>

namespace ostrel {
namespace {

using testing::child;
using testing::textFitProblem;
using testing::whenModal;

QStringList numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines;
}

// The option controls in column order with whether each is shown.
std::vector<std::pair<QWidget*, bool>> optionColumn(const TForm_Print& form)
{
    std::vector<std::pair<QWidget*, bool>> column;
    for (QWidget* w : std::initializer_list<QWidget*>{child<TZQXSuperSpin>(form, "Copies"), child<TZQXSuperSpin>(form, "FontSize"), child<TZQXSuperSpin>(form, "SkinStyle"),
                                                      child<TZQXSuperSpin>(form, "PageNumber"), child<QCheckBox>(form, "CollatePages"), child<QCheckBox>(form, "LineNumbers")})
        column.emplace_back(w, !w->isHidden());
    return column;
}

TEST(PrintDialog, OptionsFollowTheModeAndThePageCount)
{
    TForm_Print form;
    const auto* printerList = child<QComboBox>(form, "PrinterList");
    ASSERT_EQ(printerList->itemText(printerList->count() - 1), QLatin1String(kPrintToFileEntry));
    form.prepareForShow();
    const int perPage = form.painter().geometry().linesPerPage;
    ASSERT_GT(perPage, 1);

    struct Case {
        const char* name;
        TForm_Print::Mode mode;
        int lines;
        std::array<bool, 6> shown; // Copies, Font Size, Skin Style, Page, Collate, Line Numbers
        bool printAll, printPage;
    } cases[] = {
        {"one-page text", TForm_Print::Mode::Text, perPage, {true, true, true, false, false, true}, false, true},
        {"three-page text", TForm_Print::Mode::Text, 2 * perPage + 1, {true, true, true, true, true, true}, true, true},
        {"picture", TForm_Print::Mode::Picture, 0, {true, true, true, false, false, false}, false, true},
        {"nothing", TForm_Print::Mode::None, 0, {false, false, false, false, false, false}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode == TForm_Print::Mode::Text)
            form.setTextSource(numberedLines(c.lines));
        else if (c.mode == TForm_Print::Mode::Picture)
            form.setPictureSource(QImage(40, 20, QImage::Format_RGB888));
        else
            form.clearSource();
        form.prepareForShow();
        const auto column = optionColumn(form);
        int top = 10;
        for (size_t i = 0; i < column.size(); ++i) {
            EXPECT_EQ(column[i].second, c.shown[i]) << i;
            if (!column[i].second)
                continue;
            EXPECT_EQ(column[i].first->pos(), QPoint(10, top)) << i;
            top += column[i].first->height() + 10;
        }
        EXPECT_EQ(child<TZQXZoomBitBtn>(form, "PrintAll")->isEnabled(), c.printAll);
        EXPECT_EQ(child<TZQXZoomBitBtn>(form, "PrintPage")->isEnabled(), c.printPage);
    }

    // Three pages: the page spin says so and ranges over them; collating
    // needs more than one copy.
    form.setTextSource(numberedLines(2 * perPage + 1));
    form.prepareForShow();
    EXPECT_EQ(child<TZQXSuperSpin>(form, "PageNumber")->caption(), QStringLiteral("Page (of 3)"));
    EXPECT_EQ(child<TZQXSuperSpin>(form, "PageNumber")->maxValue(), 3);
    EXPECT_FALSE(child<QCheckBox>(form, "CollatePages")->isEnabled());
    child<TZQXSuperSpin>(form, "Copies")->setValue(2);
    EXPECT_TRUE(child<QCheckBox>(form, "CollatePages")->isEnabled());
    child<TZQXSuperSpin>(form, "PageNumber")->setValue(7);
    EXPECT_EQ(child<TZQXSuperSpin>(form, "PageNumber")->value(), 3);
    // A larger font needs more pages, and the page range follows.
    child<TZQXSuperSpin>(form, "FontSize")->setValue(24);
    EXPECT_GT(child<TZQXSuperSpin>(form, "PageNumber")->maxValue(), 3);
    EXPECT_EQ(child<TZQXSuperSpin>(form, "PageNumber")->caption(), QStringLiteral("Page (of %1)").arg(child<TZQXSuperSpin>(form, "PageNumber")->maxValue()));
}

// The values a user reaches from the first one by repeating one gesture on
// the value box, at most `tries` times.
std::set<int> valuesReached(TZQXSuperSpin* spin, int tries, const std::function<void(QSpinBox*)>& gesture)
{
    std::set<int> seen{spin->value()};
    for (int i = 0; i < tries; ++i) {
        gesture(spin->valueBox());
        seen.insert(spin->value());
    }
    return seen;
}

TEST(PrintDialog, EveryValueOfEachNumberCanBeChosenWithMouseAndKeyboard)
{
    struct Case {
        const char* name; // the spin's object name
        int from, to;     // every value in between must be reachable
    } cases[] = {
        {"SkinStyle", 1, 9},
        {"Copies", 1, 10},
        {"FontSize", 6, 20}, // 6 is the smallest size
    };
    const auto clickArrow = [](QStyle::SubControl arrow) {
        return [arrow](QSpinBox* box) {
            QStyleOptionSpinBox option;
            option.initFrom(box);
            option.buttonSymbols = box->buttonSymbols();
            option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
            option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
            const QRect target = box->style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, box);
            QTest::mouseClick(box, Qt::LeftButton, {}, target.center());
        };
    };
    const auto key = [](Qt::Key k) {
        return [k](QSpinBox* box) { QTest::keyClick(box, k); };
    };
    const auto wheel = [](int delta) {
        return [delta](QSpinBox* box) {
            QWheelEvent turn(QPointF(box->rect().center()), QPointF(box->mapToGlobal(box->rect().center())),
                             QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &turn);
        };
    };
    struct Gesture {
        const char* name;
        std::function<void(QSpinBox*)> up, down;
    } gestures[] = {
        {"arrow buttons", clickArrow(QStyle::SC_SpinBoxUp), clickArrow(QStyle::SC_SpinBoxDown)},
        {"Up and Down keys", key(Qt::Key_Up), key(Qt::Key_Down)},
        {"wheel", wheel(120), wheel(-120)},
    };
    for (const Case& c : cases) {
        for (const Gesture& g : gestures) {
            TForm_Print form;
            form.setTextSource(numberedLines(3));
            form.show();
            TZQXSuperSpin* spin = child<TZQXSuperSpin>(form, c.name);
            QSpinBox* box = spin->valueBox();
            // The user tabs to the box; typing does not change it.
            EXPECT_TRUE(box->focusPolicy() & Qt::TabFocus) << c.name;
            box->setFocus(Qt::TabFocusReason);
            const int before = spin->value();
            QTest::keyClicks(box, QStringLiteral("7"));
            EXPECT_EQ(spin->value(), before) << c.name;
            // Upward from the lowest value, then downward from the highest.
            spin->setValue(c.from);
            std::set<int> seen = valuesReached(spin, c.to - c.from, g.up);
            spin->setValue(c.to);
            const std::set<int> down = valuesReached(spin, c.to - c.from, g.down);
            for (int v = c.from; v <= c.to; ++v) {
                EXPECT_TRUE(seen.count(v)) << c.name << " cannot reach " << v << " upwards with the " << g.name;
                EXPECT_TRUE(down.count(v)) << c.name << " cannot reach " << v << " downwards with the " << g.name;
            }
        }
    }
}

TEST(PrintDialog, SkinStyleNamesTheSkinInItsHint)
{
    TForm_Print form;
    form.setPictureSource(QImage(10, 10, QImage::Format_RGB888));
    form.prepareForShow();
    EXPECT_EQ(child<TZQXSuperSpin>(form, "SkinStyle")->toolTip(), QStringLiteral("Page Layout Skin Style: No Borders"));
    child<TZQXSuperSpin>(form, "SkinStyle")->setValue(9);
    EXPECT_EQ(child<TZQXSuperSpin>(form, "SkinStyle")->toolTip(), QStringLiteral("Page Layout Skin Style: Fit to Page"));
    EXPECT_EQ(form.painter().skin(), 9);
}

TEST(PrintDialog, KeysTurnPagesAndCopyThePreview)
{
    TZQXPrintDialog dialog;
    const QStringList lines = numberedLines(200);
    std::vector<int> pages;
    QImage copied, preview;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Print*>(modal);
        ASSERT_NE(form, nullptr);
        const int last = child<TZQXSuperSpin>(form, "PageNumber")->maxValue();
        ASSERT_GE(last, 3);
        for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_End, Qt::Key_PageDown,
                            Qt::Key_Home, Qt::Key_PageUp}) {
            QTest::keyClick(form, key);
            pages.push_back(child<TZQXSuperSpin>(form, "PageNumber")->value() == last ? -1 : child<TZQXSuperSpin>(form, "PageNumber")->value());
        }
        // With a modifier Page Down is not the window's.
        QTest::keyClick(form, Qt::Key_PageDown, Qt::ControlModifier);
        pages.push_back(child<TZQXSuperSpin>(form, "PageNumber")->value());
        QTest::keyClick(form, Qt::Key_C, Qt::ControlModifier);
        copied = QGuiApplication::clipboard()->image();
        preview = child<QLabel>(form, "Preview")->pixmap().toImage();
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "Cancel"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialog.PrintText(lines, QStringLiteral("keys")));
    EXPECT_EQ(pages, (std::vector<int>{2, 3, 2, -1, -1, 1, 1, 1}));
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB888), preview.convertToFormat(QImage::Format_RGB888));
    // The source is gone after the run.
    EXPECT_EQ(dialog.form()->mode(), TForm_Print::Mode::None);
}

TEST(PrintDialog, F1ShowsHelpAndHeaderButtonsEditTheirText)
{
    TZQXPrintDialog dialog;
    QString helpText, helpTitle, prompt, helpFit;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Print*>(modal);
        ASSERT_NE(form, nullptr);
        whenModal(
            [&](QWidget* help) {
                auto* popup = qobject_cast<TForm_Popup*>(help);
                ASSERT_NE(popup, nullptr);
                helpText = popup->textView()->toPlainText();
                helpTitle = popup->printTitle();
                helpFit = textFitProblem(popup->textView());
                QTest::mouseClick(popup->button(TForm_Popup::btnOk), Qt::LeftButton);
            },
            form);
        QTest::keyClick(form, Qt::Key_F1);
        whenModal(
            [&](QWidget* entry) {
                auto* edit = qobject_cast<TForm_EnterData*>(entry);
                ASSERT_NE(edit, nullptr);
                prompt = edit->promptPanel()->text();
                edit->editBox()->setText(QStringLiteral("Fish && Chips"));
                QTest::mouseClick(edit->button(TForm_EnterData::btnOk), Qt::LeftButton);
            },
            form);
        child<TZQXZoomSpeedButton>(form, "LowerCenter")->click();
        whenModal([&](QWidget* entry) { QTest::mouseClick(static_cast<TForm_EnterData*>(entry)->button(
                                                               TForm_EnterData::btnCancel), Qt::LeftButton); },
                  form);
        child<TZQXZoomSpeedButton>(form, "UpperLeft")->click();
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "Cancel"), Qt::LeftButton);
    });
    PageTexts texts = standardPageTexts(QStringLiteral("title"));
    texts[TForm_Print::UpperLeft] = QStringLiteral("kept");
    EXPECT_FALSE(dialog.ExecuteText(numberedLines(3), texts));
    EXPECT_TRUE(helpText.startsWith(QStringLiteral("Help on Print Dialog\n\nF1\t: This HELP dialog.\n")));
    EXPECT_EQ(helpTitle, QStringLiteral("Help on Print Dialog"));
    EXPECT_EQ(helpFit, QString());
    // The page keys the window answers to.
    for (const char* key : {"\nPage Up\t", "\nPage Down\t", "\nHome\t", "\nEnd\t"})
        EXPECT_TRUE(helpText.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(helpText.contains(QStringLiteral("...")));
    EXPECT_EQ(prompt, QStringLiteral("Edit Lower Center Text"));
    // The edited text comes back; the cancelled edit leaves its text alone.
    EXPECT_EQ(texts[TForm_Print::LowerCenter], QStringLiteral("Fish && Chips"));
    EXPECT_EQ(texts[TForm_Print::UpperLeft], QStringLiteral("kept"));
    EXPECT_EQ(texts[TForm_Print::UpperCenter], QStringLiteral("title"));
}

// Everything the window says goes to its one sink: the help, a printer that
// cannot be switched to (the previous one stays) and a failed print (see
// PrintToAFullDiskKeepsTheOldFileAndSaysWhy).
TEST(PrintDialog, TheWindowSaysEverythingThroughOneSink)
{
    TZQXPrintDialog dialog;
    std::vector<PrintNotice> said;
    dialog.form()->notify = [&](const PrintNotice& notice) { said.push_back(notice); };
    QString before, after;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Print*>(modal);
        ASSERT_NE(form, nullptr);
        QTest::keyClick(form, Qt::Key_F1);
        EXPECT_EQ(QApplication::activeModalWidget(), form); // no window of its own
        auto* printers = child<QComboBox>(form, "PrinterList");
        printers->addItem(QStringLiteral("no such queue"));
        before = form->currentPrinterName();
        emit printers->activated(printers->count() - 1);
        after = form->currentPrinterName();
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "Cancel"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialog.PrintText(numberedLines(3), QStringLiteral("sink")));
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0].kind, PrintNotice::Kind::Help);
    EXPECT_TRUE(said[0].text.startsWith(QStringLiteral("Help on Print Dialog\r\n"))) << said[0].text.toStdString();
    EXPECT_EQ(said[1].kind, PrintNotice::Kind::PrinterFailed);
    EXPECT_EQ(said[1].text, QStringLiteral("no such queue"));
    EXPECT_EQ(after, before);
}

TEST(PrintDialog, PrintPageWritesThePictureIntoTheChosenPdf)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TZQXPrintDialog dialog;
    int asked = 0;
    QString answer; // the first run cancels the file dialog
    dialog.form()->askPdfFileName = [&](QWidget*) {
        ++asked;
        return answer;
    };
    QImage picture(300, 100, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    bool stayedOpen = false;
    whenModal([&](QWidget* modal) {
        auto* form = static_cast<TForm_Print*>(modal);
        child<TZQXSuperSpin>(form, "Copies")->setValue(2);
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "PrintPage"), Qt::LeftButton);
        stayedOpen = QApplication::activeModalWidget() == form;
        answer = dir.filePath(QStringLiteral("picture")); // ".pdf" is added
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "PrintPage"), Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.PrintBitmap(picture, QStringLiteral("blue.bmp")));
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(stayedOpen);
    QFile pdf(dir.filePath(QStringLiteral("picture.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 2);
}

// Print to File on a full disk says why, stays open and keeps the PDF that
// was there.
TEST(PrintDialog, PrintToAFullDiskKeepsTheOldFileAndSaysWhy)
{
    const testing::SmallFileSystem disk("200k");
    if (!disk.whyNot().isEmpty())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString pdf = disk.filePath(QStringLiteral("p.pdf"));
    const QByteArray old(7380, 'o');
    {
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    disk.fill();
    TZQXPrintDialog dialog;
    dialog.form()->askPdfFileName = [&](QWidget*) { return pdf; };
    QString shown;
    dialog.form()->notify = [&](const PrintNotice& notice) {
        EXPECT_EQ(notice.kind, PrintNotice::Kind::PrintFailed);
        shown = notice.text;
    };
    QImage picture(300, 100, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    bool stayedOpen = false;
    whenModal([&](QWidget* modal) {
        auto* form = static_cast<TForm_Print*>(modal);
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "PrintPage"), Qt::LeftButton);
        stayedOpen = QApplication::activeModalWidget() == form;
        QTest::mouseClick(child<TZQXZoomBitBtn>(form, "Cancel"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialog.PrintBitmap(picture, QStringLiteral("blue.bmp")));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(shown, QStringLiteral("Cannot write %1: No space left on device").arg(pdf));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
}

TEST(PrintDialog, MessageWindowPrintsItsTextWithItsTitle)
{
    TZQXPopupDialog popup;
    QStringList printed;
    QString title;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Popup*>(modal);
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(form->button(TForm_Popup::btnPrint)->isEnabled());
        whenModal(
            [&](QWidget* print) {
                auto* printForm = qobject_cast<TForm_Print*>(print);
                ASSERT_NE(printForm, nullptr);
                EXPECT_EQ(printForm->mode(), TForm_Print::Mode::Text);
                title = printForm->texts()[TForm_Print::UpperCenter];
                printed << printForm->texts()[TForm_Print::LowerRight];
                QTest::mouseClick(child<TZQXZoomBitBtn>(printForm, "Cancel"), Qt::LeftButton);
            },
            form);
        QTest::mouseClick(form->button(TForm_Popup::btnPrint), Qt::LeftButton);
        EXPECT_EQ(QApplication::activeModalWidget(), form); // the message stays open
        QTest::mouseClick(form->button(TForm_Popup::btnOk), Qt::LeftButton);
    });
    popup.ShowTextMessage(QStringLiteral("Encoding Successful\r\n\r\nline"), true, QStringLiteral("ENCODE"));
    EXPECT_EQ(title, QStringLiteral("ENCODE"));
    EXPECT_EQ(printed, QStringList{QStringLiteral("Page &P of &#")});
}

// A report that ends with a line break prints the lines it shows and no
// numbered empty line after them.
TEST(PrintDialog, MessageWindowPrintsTheLinesItShows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    TZQXPopupDialog popup;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Popup*>(modal);
        ASSERT_NE(form, nullptr);
        whenModal(
            [&](QWidget* print) {
                auto* printForm = qobject_cast<TForm_Print*>(print);
                ASSERT_NE(printForm, nullptr);
                printForm->askPdfFileName = [&](QWidget*) { return pdf; };
                child<QCheckBox>(printForm, "LineNumbers")->setChecked(true);
                QTest::mouseClick(child<TZQXZoomBitBtn>(printForm, "PrintPage"), Qt::LeftButton);
            },
            form);
        QTest::mouseClick(form->button(TForm_Popup::btnPrint), Qt::LeftButton);
        QTest::mouseClick(form->button(TForm_Popup::btnOk), Qt::LeftButton);
    });
    popup.ShowTextMessage(QStringLiteral("one\r\ntwo\r\nthree\r\nfour\r\n"), true, QStringLiteral("REPORT"));
    const QString text = testing::pdfText(pdf);
    EXPECT_TRUE(text.contains(QLatin1String("4:four"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("5:"))) << text.toStdString();
}

TEST(PrintDialogZoom, TheWindowFitsTheScreen)
{
    struct Case {
        int zoom;
        QSize screen;
        int fitted, buttonHeight;
        QSize window;
        QPoint topLeft;
    } cases[] = {
        {100, {1280, 1024}, 100, 26, {600, 440}, {340, 217}},
        {50, {1280, 1024}, 100, 26, {600, 440}, {340, 217}},
        {200, {1024, 768}, 200, 52, {800, 582}, {112, 18}},
        // 240 is still too high for 768 lines; 235 fits.
        {300, {1024, 768}, 235, 61, {940, 682}, {42, 0}},
        // At once, still in steps of 5 from the zoom asked for.
        {INT_MAX, {1024, 768}, 237, 62, {948, 689}, {38, 0}},
    };
    for (const Case& c : cases) {
        const PrintZoomSizes s = printZoomSizes(c.zoom, c.screen, QSize(0, 0));
        EXPECT_EQ(s.zoom, c.fitted) << c.zoom;
        EXPECT_EQ(s.buttonHeight, c.buttonHeight) << c.zoom;
        EXPECT_EQ(s.window, c.window) << c.zoom;
        EXPECT_EQ(s.topLeft, c.topLeft) << c.zoom;
    }
    const PrintZoomSizes framed = printZoomSizes(100, {1280, 1024}, {10, 30});
    EXPECT_EQ(framed.window, QSize(610, 470));

    testing::ScreenSize screen({1280, 1024});
    TForm_Print form;
    form.setZoom(150);
    EXPECT_EQ(child<TZQXZoomBitBtn>(form, "PrintAll")->height(), 39);
    EXPECT_EQ(child<TZQXZoomBitBtn>(form, "PrintAll")->zoom(), 150);
    // Bottom buttons split the bar in four; the right column is two of them wide.
    const int quarter = (form.width() - 4) / 4;
    EXPECT_EQ(child<TZQXZoomBitBtn>(form, "Copy")->geometry(), QRect(2 + 3 * quarter, 2, form.width() - 4 - 3 * quarter, 39));
    EXPECT_EQ(child<QLabel>(form, "Preview")->parentWidget()->width(), 2 * quarter + 4);
    EXPECT_EQ(child<TZQXZoomBitBtn>(form, "Setup")->width(), quarter);
}

} // namespace
} // namespace ostrel
