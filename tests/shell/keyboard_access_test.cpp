// SPDX-License-Identifier: Apache-2.0
// Every window of the desktop program used without a mouse and with a screen
// reader: each control says its name and takes the Tab focus, the menus open
// and choose by their underlined letters, and Enter and Escape answer.
#include "FakeDialogs.h"
#include "ShellTestSupport.h"
#include "support/Children.h"
#include "shell/AboutUnit.h"
#include "shell/Autoform_AnalyzeBMP.h"
#include "shell/PasswordUnit.h"
#include "shell/ShellTexts.h"
#include "toolkit/ToolkitTestSupport.h"
#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXSuperSpin.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <functional>

namespace ostrel {
namespace {

using testing::FakeDialogs;
using testing::whenModal;

// A widget the user acts on or reads by moving the focus to it. Scroll bars
// belong to their scroll area and the line edit inside a spin box to the
// box; a screen reader speaks of those as parts of the whole.
bool isControl(const QWidget* widget)
{
    if (qobject_cast<const QScrollBar*>(widget))
        return false;
    const QWidget* parent = widget->parentWidget();
    if (qobject_cast<const QLineEdit*>(widget)
        && (qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent)))
        return false;
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget)
        || qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget)
        || qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || (widget->focusPolicy() & Qt::TabFocus);
}

// What a screen reader says for the widget. On Linux Qt speaks a combo box
// by its current entry and leaves its name to the accessible name or a
// label's relation, so those are what names it.
QString spokenName(QWidget* widget)
{
    if (qobject_cast<QComboBox*>(widget))
        return widget->accessibleName();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QString describe(const QWidget* widget)
{
    const QString name = widget->objectName();
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return QString::fromLatin1(widget->metaObject()->className())
        + (name.isEmpty() ? QString() : QStringLiteral(" ") + name)
        + (button && !button->text().isEmpty() ? QStringLiteral(" \"") + button->text() + QLatin1Char('"') : QString());
}

// Checks every visible control of `window`: it has a spoken name, no other
// control of the window has the same one, and Tab reaches it.
void checkControls(const char* windowName, QWidget* window)
{
    QCoreApplication::processEvents();
    QHash<QString, QString> seen; // spoken name -> the control that has it
    int controls = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || !isControl(widget))
            continue;
        ++controls;
        const QString name = spokenName(widget);
        EXPECT_FALSE(name.trimmed().isEmpty()) << windowName << ": " << describe(widget).toStdString() << " has no name";
        EXPECT_FALSE(name.endsWith(QChar(0x2026))) << windowName << ": " << describe(widget).toStdString()
                                                   << " is named by a shortened caption " << name.toStdString();
        if (!name.isEmpty() && seen.contains(name))
            ADD_FAILURE() << windowName << ": " << describe(widget).toStdString() << " and "
                          << seen[name].toStdString() << " are both called " << name.toStdString();
        seen.insert(name, describe(widget));
        EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus)
            << windowName << ": Tab never reaches " << describe(widget).toStdString();
    }
    EXPECT_GT(controls, 0) << windowName << ": the walk found no control";
}

QStringList manyLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines;
}

TEST(KeyboardAccess, EveryControlOfEveryWindowHasANameAndTakesTheTabFocus)
{
    FakeDialogs dialogs;
    const QImage picture = testing::gradientPicture(200, 150);
    // Each row opens its window as the program does, hands it to the check
    // and closes it again.
    const struct {
        const char* name;
        std::function<void(const std::function<void(QWidget*)>&)> open;
    } windows[] = {
        {"main window",
         [&](const auto& check) {
             TForm_Main_Steganography window(&dialogs);
             window.show();
             check(&window);
         }},
        {"password dialog",
         [](const auto& check) {
             TForm_Password dialog;
             dialog.show();
             check(&dialog);
         }},
        {"enter-data dialog",
         [](const auto& check) {
             TZQXEnterDataDialog entry;
             entry.SetButtons(edCancel | edCopy | edInsert);
             entry.SetPrompt(QStringLiteral("Enter URL of Page to Fetch"));
             entry.form()->show();
             check(entry.form());
         }},
        {"message dialog",
         [](const auto& check) {
             TForm_Popup popup;
             popup.ShowText(true, false, false, false, true, true, QString(), QStringLiteral("Show Message"),
                            QStringLiteral("Encoding Successful"));
             popup.show();
             check(&popup);
         }},
        {"question dialog",
         [](const auto& check) {
             TForm_Popup popup;
             popup.ShowText(false, true, true, false, false, false, QString(), QStringLiteral("Question"),
                            QStringLiteral("Dither?"));
             popup.show();
             check(&popup);
         }},
        {"print dialog, text of many pages",
         [](const auto& check) {
             TForm_Print print;
             print.setTextSource(manyLines(400));
             print.show();
             check(&print);
         }},
        {"print dialog, picture",
         [&](const auto& check) {
             TForm_Print print;
             print.setPictureSource(picture);
             print.show();
             check(&print);
         }},
        {"about box",
         [](const auto& check) {
             TForm_About about;
             about.show();
             check(&about);
         }},
        {"analysis window, RGB chart",
         [&](const auto& check) {
             TForm_AnalyzeBMP analysis;
             analysis.AnalyzeBitmap(picture);
             analysis.chartButton(TForm_AnalyzeBMP::cbRgbMap)->click();
             check(&analysis);
         }},
        {"analysis help",
         [&](const auto& check) {
             TForm_AnalyzeBMP analysis;
             analysis.AnalyzeBitmap(picture);
             bool opened = false;
             whenModal([&](QWidget* help) {
                 opened = true;
                 check(help);
                 help->close();
             });
             analysis.showHelp();
             EXPECT_TRUE(opened);
         }},
    };
    for (const auto& window : windows)
        window.open([&](QWidget* w) { checkControls(window.name, w); });
}

// The main window's menus: Alt and a letter opens each, one letter chooses
// each item, and no letter is used twice where it would be ambiguous.
TEST(KeyboardAccess, EveryMenuAndMenuItemHasItsOwnLetter)
{
    FakeDialogs dialogs;
    TForm_Main_Steganography window(&dialogs);
    QSet<QChar> menuLetters;
    QSet<QAction*> inMenus;
    for (QAction* menuAction : window.menuBar()->actions()) {
        const QString title = menuAction->text();
        const QString menuLetter = QKeySequence::mnemonic(title).toString();
        EXPECT_FALSE(menuLetter.isEmpty()) << title.toStdString() << " has no letter";
        const QChar letter = title.at(title.indexOf(QLatin1Char('&')) + 1).toUpper();
        EXPECT_FALSE(menuLetters.contains(letter)) << title.toStdString() << " repeats the letter of another menu";
        menuLetters.insert(letter);

        QSet<QChar> itemLetters;
        for (QAction* item : menuAction->menu()->actions()) {
            if (item->isSeparator())
                continue;
            inMenus.insert(item);
            const QString text = item->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_TRUE(amp >= 0 && amp + 1 < text.size())
                << title.toStdString() << " > " << text.toStdString() << " has no letter";
            const QChar itemLetter = text.at(amp + 1).toUpper();
            EXPECT_FALSE(itemLetters.contains(itemLetter))
                << title.toStdString() << " > " << text.toStdString() << " repeats a letter of its menu";
            itemLetters.insert(itemLetter);
        }
    }
    // Every command of the window sits in one of the menus.
    for (int command = 0; command <= int(MenuCommand::About); ++command)
        EXPECT_TRUE(inMenus.contains(window.commandAction(MenuCommand(command)))) << "command " << command;
}

// Alt+F opens the File menu and W chooses Open from Web, which asks for the
// address; keys only, as a keyboard user would.
TEST(KeyboardAccess, AltAndTheLettersRunAMenuCommand)
{
    FakeDialogs dialogs;
    dialogs.urlAnswers.push_back(std::nullopt); // the user then cancels
    TForm_Main_Steganography window(&dialogs);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    // QTest's own wait reports to QTest, not here: this one answers.
    ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, 2000));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_EQ(menu->title(), QStringLiteral("&File"));
    QTest::keyClick(menu, Qt::Key_W);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.calls.empty(); }, 2000)) << "W chose nothing";
    EXPECT_EQ(dialogs.calls.front().kind, QStringLiteral("url"));
}

// Enter does a window's main action and Escape its cancel, from a control
// that is no button. (The password, entry and message dialogs have their
// own tests of the same.)
TEST(KeyboardAccess, EnterAndEscapeAnswerTheWindows)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QImage picture = testing::gradientPicture(60, 40);
    const struct {
        const char* name;
        Qt::Key key;
        std::function<bool()> run; // true when the key did what it should
    } cases[] = {
        {"print dialog, Enter prints the page", Qt::Key_Return,
         [&] {
             TZQXPrintDialog print;
             const QString pdf = folder.filePath(QStringLiteral("enter.pdf"));
             print.form()->askPdfFileName = [&](QWidget*) { return pdf; };
             whenModal([](QWidget* modal) {
                 auto* form = static_cast<TForm_Print*>(modal);
                 testing::pressKeyWithFocusOn(testing::child<TZQXSuperSpin>(form, "Copies")->valueBox(), Qt::Key_Return);
             });
             return print.PrintBitmap(picture, QStringLiteral("title")) && QFile::exists(pdf);
         }},
        {"print dialog, Escape cancels", Qt::Key_Escape,
         [&] {
             TZQXPrintDialog print;
             bool asked = false;
             print.form()->askPdfFileName = [&](QWidget*) {
                 asked = true;
                 return QString();
             };
             whenModal([](QWidget* modal) {
                 auto* form = static_cast<TForm_Print*>(modal);
                 testing::pressKeyWithFocusOn(testing::child<TZQXSuperSpin>(form, "Copies")->valueBox(), Qt::Key_Escape);
             });
             const bool printed = print.PrintBitmap(picture, QStringLiteral("title"));
             return !printed && !asked && !print.form()->isVisible();
         }},
        {"analysis window, Escape hides it", Qt::Key_Escape,
         [&] {
             TForm_AnalyzeBMP analysis;
             analysis.AnalyzeBitmap(picture);
             QTest::keyClick(analysis.chartButton(TForm_AnalyzeBMP::cbRgbMap), Qt::Key_Escape);
             return !analysis.isVisible();
         }},
        {"about box, Enter closes it", Qt::Key_Return,
         [] {
             TForm_About about;
             whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
             return about.exec() == QDialog::Accepted;
         }},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.run()) << c.name;
}

// Tab walks the print dialog from top to bottom, every part of the number
// inputs included, and comes back to where it started, also after the page
// count renamed the page input (which makes its parts anew).
TEST(KeyboardAccess, TabWalksThePrintDialogInReadingOrder)
{
    TForm_Print print;
    print.setTextSource(manyLines(400));
    print.show();
    print.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&print));
    const auto control = [&](const char* name) { return testing::child<QWidget>(print, name); };
    const auto spin = [&](const char* name) { return testing::child<TZQXSuperSpin>(print, name); };
    spin("FontSize")->setValue(40); // more pages: the page input is made anew

    std::vector<QWidget*> expected = {control("Setup"), control("PrinterList")};
    for (TZQXSuperSpin* s : {spin("Copies"), spin("FontSize"), spin("SkinStyle"), spin("PageNumber")}) {
        const std::vector<QWidget*> parts = s->focusParts();
        ASSERT_EQ(parts.size(), 4u); // preset, up, down, value box
        expected.insert(expected.end(), parts.begin(), parts.end());
    }
    for (const char* name : {"CollatePages", "LineNumbers", "Portrait", "Landscape", "UpperLeft", "UpperCenter",
                             "UpperRight", "LowerLeft", "LowerCenter", "LowerRight"})
        expected.push_back(control(name));
    // Print All is greyed out only for a single page.
    for (const char* name : {"PrintAll", "PrintPage", "Cancel", "Copy"})
        expected.push_back(control(name));
    // The collate box is greyed out for one copy and Tab passes it by. Of the
    // two orientation buttons, as of radio buttons, Tab stops at the chosen
    // one and the arrow keys choose.
    std::erase_if(expected, [&](QWidget* w) {
        const bool otherOrientation = (w == control("Portrait") || w == control("Landscape"))
            && !static_cast<QAbstractButton*>(w)->isChecked();
        return !w->isEnabled() || !w->isVisible() || otherOrientation;
    });

    control("Setup")->setFocus(Qt::TabFocusReason);
    for (size_t i = 1; i <= expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* want = expected[i % expected.size()];
        ASSERT_EQ(QApplication::focusWidget(), want)
            << "Tab " << i << " went to " << describe(QApplication::focusWidget()).toStdString() << ", not "
            << describe(want).toStdString();
    }
}

} // namespace
} // namespace ostrel
