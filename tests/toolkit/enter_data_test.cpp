// SPDX-License-Identifier: Apache-2.0
// The text-entry window: layout on given screens, the fit loop, button
// options, keyboard shortcuts, help and the shortcuts on the shared instance.
#include "ToolkitTestSupport.h"
#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZoomRules.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

using testing::pressKeyWithFocusOn;
using testing::ScreenSize;
using testing::whenModal;

std::vector<QRect> buttonRects(const TForm_EnterData& form)
{
    std::vector<QRect> rects;
    for (int i = TForm_EnterData::btnOk; i <= TForm_EnterData::btnInsert; ++i)
        rects.push_back(form.button(i)->geometry());
    return rects;
}

TEST(EnterDataDialog, LayoutOnScreensOfTwoWidths)
{
    {
        ScreenSize screen({1024, 768});
        TForm_EnterData form;
        EXPECT_EQ(form.zoom(), 100);
        EXPECT_EQ(form.width(), 768);
        EXPECT_EQ(fontPointSize(form.editBox()->font()), 14);
        EXPECT_EQ(fontPointSize(form.promptPanel()->font()), 10);
        EXPECT_EQ(form.promptPanel()->height(), 29);
        EXPECT_EQ(form.buttonBar()->height(), 29);
        EXPECT_EQ(form.buttonBar()->width(), 768);
        EXPECT_EQ(form.editBox()->geometry(), QRect(0, 30, 768, form.editBox()->sizeHint().height()));
        EXPECT_EQ(form.height(), 58 + form.editBox()->height());
        EXPECT_EQ(form.buttonBar()->y(), form.height() - 29);
        EXPECT_EQ(buttonRects(form), (std::vector<QRect>{QRect(2, 2, 191, 25), QRect(193, 2, 191, 25),
                                                         QRect(384, 2, 191, 25), QRect(575, 2, 191, 25)}));
        EXPECT_EQ(form.x(), 128);
    }
    {
        ScreenSize screen({1026, 768});
        TForm_EnterData form;
        EXPECT_EQ(form.buttonBar()->width(), 769);
        EXPECT_EQ(form.button(TForm_EnterData::btnInsert)->geometry(), QRect(575, 2, 192, 25));
    }
}

TEST(EnterDataDialog, ZoomScalesEverythingButTheWidth)
{
    ScreenSize screen({1024, 768});
    TForm_EnterData form;
    form.setZoom(200);
    EXPECT_EQ(form.zoom(), 200);
    EXPECT_EQ(form.width(), 768);
    EXPECT_EQ(fontPointSize(form.editBox()->font()), 28);
    EXPECT_EQ(fontPointSize(form.promptPanel()->font()), 20);
    EXPECT_EQ(form.promptPanel()->height(), 54);
    for (int i = TForm_EnterData::btnOk; i <= TForm_EnterData::btnInsert; ++i) {
        EXPECT_EQ(form.button(i)->height(), 50);
        EXPECT_EQ(form.button(i)->zoom(), 200);
        EXPECT_EQ(fontPointSize(form.button(i)->font()), 20);
    }
    form.setZoom(10);
    EXPECT_EQ(form.zoom(), 100);
    EXPECT_EQ(form.button(TForm_EnterData::btnOk)->height(), 25);
}

TEST(EnterDataDialog, LowScreenLowersTheButtonsZoomButNotTheDialogs)
{
    // 150 pixels high: at 100 % the window would not end 75 pixels short.
    ScreenSize screen({1024, 150});
    TForm_EnterData form;
    EXPECT_EQ(form.zoom(), 100);
    EXPECT_LT(form.height(), 150 - 75);
    // The buttons are lower, but their own zoom keeps its floor of 100, so
    // glyph and caption keep their size.
    EXPECT_EQ(form.button(TForm_EnterData::btnOk)->zoom(), 100);
    EXPECT_LT(fontPointSize(form.editBox()->font()), 14);
    EXPECT_LT(form.button(TForm_EnterData::btnOk)->height(), 25);
}

TEST(EnterDataDialog, ButtonOptionsEnableCancelCopyInsert)
{
    TZQXEnterDataDialog dialog;
    struct Case {
        int options;
        bool cancel, copy, insert;
    };
    const Case cases[] = {
        {0, false, false, false}, {1, true, false, false}, {2, false, true, false},
        {4, false, false, true},  {7, true, true, true},   {5, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        dialog.SetButtons(c.options);
        EXPECT_TRUE(dialog.form()->button(TForm_EnterData::btnOk)->isEnabled());
        EXPECT_EQ(dialog.form()->button(TForm_EnterData::btnCancel)->isEnabled(), c.cancel);
        EXPECT_EQ(dialog.form()->button(TForm_EnterData::btnCopy)->isEnabled(), c.copy);
        EXPECT_EQ(dialog.form()->button(TForm_EnterData::btnInsert)->isEnabled(), c.insert);
    }
}

TEST(EnterDataDialog, EndingTheRun)
{
    struct Case {
        const char* what;
        std::function<void(TForm_EnterData&)> act;
        bool accepted;
    };
    const Case cases[] = {
        {"Enter", [](TForm_EnterData& f) { QTest::keyClick(f.editBox(), Qt::Key_Return); }, true},
        {"OK", [](TForm_EnterData& f) { QTest::mouseClick(f.button(TForm_EnterData::btnOk), Qt::LeftButton); }, true},
        {"Escape", [](TForm_EnterData& f) { QTest::keyClick(f.editBox(), Qt::Key_Escape); }, false},
        {"Cancel", [](TForm_EnterData& f) { QTest::mouseClick(f.button(TForm_EnterData::btnCancel), Qt::LeftButton); },
         false},
        {"close box", [](TForm_EnterData& f) { f.close(); }, false},
        // Enter presses the focused button, not always OK.
        {"Enter on Cancel", [](TForm_EnterData& f) { pressKeyWithFocusOn(f.button(TForm_EnterData::btnCancel)); },
         false},
        {"keypad Enter on OK",
         [](TForm_EnterData& f) { pressKeyWithFocusOn(f.button(TForm_EnterData::btnOk), Qt::Key_Enter); }, true},
    };
    TZQXEnterDataDialog dialog;
    dialog.SetButtons(edCancel);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialog.SetText(QStringLiteral("http://example.org/a.gif"));
        bool caretAtEnd = false;
        whenModal([&](QWidget* modal) {
            auto* form = qobject_cast<TForm_EnterData*>(modal);
            ASSERT_NE(form, nullptr);
            caretAtEnd = form->focusWidget() == form->editBox() && !form->editBox()->hasSelectedText()
                && form->editBox()->cursorPosition() == form->editBox()->text().size();
            c.act(*form);
        });
        EXPECT_EQ(dialog.Execute(), c.accepted);
        EXPECT_TRUE(caretAtEnd);
    }
}

TEST(EnterDataDialog, KeyboardShortcutsWhateverTheButtons)
{
    TZQXEnterDataDialog dialog;
    TForm_EnterData* form = dialog.form();
    QStringList inserted;
    form->insertHook = [&inserted](const QString& text) { inserted << text; };
    dialog.SetButtons(edCancel); // Copy and Insert greyed, as the main window asks
    dialog.SetText(QStringLiteral("http://example.org/"));
    QLineEdit* edit = form->editBox();

    form->show();
    QApplication::setActiveWindow(form);
    edit->setFocus();
    edit->setSelection(0, 4);

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://example.org/"));

    // Ctrl+Shift+C is not the shortcut: the edit's own handling stays.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_NE(QGuiApplication::clipboard()->text(), QStringLiteral("http://example.org/"));

    QTest::keyClick(edit, Qt::Key_Insert);
    EXPECT_EQ(inserted, QStringList{QStringLiteral("http://example.org/")});
    QTest::keyClick(edit, Qt::Key_Insert, Qt::AltModifier);
    EXPECT_EQ(inserted.size(), 1);

    edit->setCursorPosition(3);
    QTest::keyClick(form->button(TForm_EnterData::btnOk), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form->focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("http://example.org/"));

    // The buttons, when enabled, do the same as the keys.
    dialog.SetButtons(edCancel | edCopy | edInsert);
    QGuiApplication::clipboard()->clear();
    edit->setSelection(0, 2);
    QTest::mouseClick(form->button(TForm_EnterData::btnCopy), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://example.org/"));
    QTest::mouseClick(form->button(TForm_EnterData::btnInsert), Qt::LeftButton);
    EXPECT_EQ(inserted.size(), 2);
    EXPECT_TRUE(form->isVisible()); // neither closes the window
    form->hide();
}

TEST(EnterDataDialog, HelpOpensOnTopAndLeavesTheTextAlone)
{
    TZQXEnterDataDialog dialog;
    dialog.SetText(QStringLiteral("typed so far"));
    QString helpCaption;
    QString helpText;
    QString helpTitle;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_EnterData*>(modal);
        ASSERT_NE(form, nullptr);
        whenModal(
            [&](QWidget* help) {
                auto* popup = qobject_cast<TForm_Popup*>(help);
                ASSERT_NE(popup, nullptr);
                helpCaption = popup->windowTitle();
                helpText = popup->textView()->toPlainText();
                helpTitle = popup->printTitle();
                QTest::mouseClick(popup->button(TForm_Popup::btnOk), Qt::LeftButton);
            },
            form);
        QTest::keyClick(form->editBox(), Qt::Key_F1);
        EXPECT_EQ(QApplication::activeModalWidget(), form);
        QTest::mouseClick(form->button(TForm_EnterData::btnOk), Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.GetText(), QStringLiteral("typed so far"));
    EXPECT_EQ(helpCaption, QStringLiteral("Show Message"));
    EXPECT_EQ(helpTitle, QStringLiteral("Help on Data Entry"));
    EXPECT_TRUE(helpText.startsWith(QStringLiteral("Help on Data Entry Popup\n\nF1\t: This HELP dialog.\n")));
    EXPECT_TRUE(helpText.endsWith(QStringLiteral("may be disabled.\n")));
}

TEST(EnterDataShortcuts, WorkOnTheSharedInstanceAndAreSafeWithoutIt)
{
    ASSERT_NE(enterDataShared(), nullptr);
    EnterDataSetText(QStringLiteral("http://"));
    QString prompt;
    bool copyEnabled = true;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_EnterData*>(modal);
        ASSERT_NE(form, nullptr);
        prompt = form->promptPanel()->text();
        copyEnabled = form->button(TForm_EnterData::btnCopy)->isEnabled();
        QTest::keyClicks(form->editBox(), QStringLiteral("example.org"));
        QTest::keyClick(form->editBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(EnterDataExecute(edCancel, QStringLiteral("Enter URL of Page to Fetch")));
    EXPECT_EQ(prompt, QStringLiteral("Enter URL of Page to Fetch"));
    EXPECT_FALSE(copyEnabled);
    // The text stays for the next run.
    EXPECT_EQ(EnterDataGetText(), QStringLiteral("http://example.org"));

    enterDataFreeShared();
    EXPECT_EQ(enterDataShared(), nullptr);
    EnterDataSetText(QStringLiteral("lost"));
    EXPECT_TRUE(EnterDataGetText().isEmpty());
    EXPECT_FALSE(EnterDataExecute(edCancel, QStringLiteral("prompt")));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    enterDataCreateShared();
    EXPECT_NE(enterDataShared(), nullptr);
}

} // namespace
} // namespace ostrel
