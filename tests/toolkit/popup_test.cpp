// SPDX-License-Identifier: Apache-2.0
// The message and question window: button rows, the zoom rule on a given
// screen, fonts, the copy action, modal results and the shortcuts.
#include "ToolkitTestSupport.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZoomRules.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

using testing::pressKeyWithFocusOn;
using testing::ScreenSize;
using testing::whenModal;

std::vector<int> visibleLefts(const TForm_Popup& form)
{
    std::vector<int> lefts;
    for (int i = TForm_Popup::btnOk; i <= TForm_Popup::btnPrint; ++i)
        lefts.push_back(form.button(i)->isVisibleTo(&form) ? form.button(i)->x() : -1);
    return lefts;
}

TEST(PopupDialog, ButtonRowsForMessagesAndQuestions)
{
    TForm_Popup form;
    struct Case {
        const char* what;
        std::array<bool, 6> shown;
        std::vector<int> lefts;
    };
    const Case cases[] = {
        {"message with print", {true, false, false, false, true, true}, {2, -1, -1, -1, 91, 180}},
        {"message without print", {true, false, false, false, true, false}, {2, -1, -1, -1, 91, -1}},
        {"question", {false, true, true, false, false, false}, {-1, 2, 91, -1, -1, -1}},
        {"all six", {true, true, true, true, true, true}, {2, 91, 180, 269, 358, 447}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.ShowText(c.shown[0], c.shown[1], c.shown[2], c.shown[3], c.shown[4], c.shown[5],
                      QStringLiteral("title"), QStringLiteral("caption"), QStringLiteral("text"));
        EXPECT_EQ(visibleLefts(form), c.lefts);
    }
    for (int i = TForm_Popup::btnOk; i <= TForm_Popup::btnPrint; ++i) {
        EXPECT_EQ(form.button(i)->size(), QSize(89, 25));
        EXPECT_EQ(form.button(i)->y(), 2);
    }
    EXPECT_EQ(form.button(TForm_Popup::btnNo)->resource(), BMP_No);
    EXPECT_EQ(form.button(TForm_Popup::btnCopy)->resource(), BMP_Edit_Copy);
    EXPECT_EQ(form.button(TForm_Popup::btnPrint)->resource(), BMP_Printer);
    // Printing into a PDF file is always possible, so Print is always enabled.
    EXPECT_TRUE(form.button(TForm_Popup::btnPrint)->isEnabled());
    EXPECT_EQ(form.button(0), nullptr);
    EXPECT_EQ(form.button(7), nullptr);
}

TEST(PopupDialog, ZoomOnAGivenScreen)
{
    ScreenSize screen({1024, 768});
    TForm_Popup form;
    EXPECT_EQ(form.zoom(), 100);
    EXPECT_EQ(form.size(), QSize(400, 300));
    EXPECT_EQ(form.pos(), QPoint(312, 234));
    EXPECT_EQ(form.buttonBar()->height(), 29);
    EXPECT_EQ(form.statusStrip()->height(), 20);

    form.setZoom(150);
    EXPECT_EQ(form.zoom(), 150);
    for (int i = TForm_Popup::btnOk; i <= TForm_Popup::btnPrint; ++i) {
        EXPECT_EQ(form.button(i)->size(), QSize(134, 38));
        EXPECT_EQ(form.button(i)->zoom(), 150);
        EXPECT_EQ(fontPointSize(form.button(i)->font()), 15);
    }
    EXPECT_EQ(form.buttonBar()->height(), 42);
    EXPECT_EQ(form.statusStrip()->height(), 30);
    EXPECT_GE(form.width(), 600);
    EXPECT_GE(form.height(), 450);
    EXPECT_EQ(fontPointSize(form.textView()->font()), 18);
    // The text fills the room between the bar and the status strip.
    EXPECT_EQ(form.textView()->geometry(), QRect(0, 42, form.width(), form.height() - 42 - 30));

    form.ShowText(true, false, false, false, true, true, {}, {}, {});
    EXPECT_EQ(visibleLefts(form), (std::vector<int>{2, -1, -1, -1, 136, 270}));

    // Below 100 counts as 100, which is a change back from 150.
    form.setZoom(50);
    EXPECT_EQ(form.zoom(), 100);
    EXPECT_EQ(form.button(TForm_Popup::btnOk)->size(), QSize(89, 25));
    EXPECT_GE(form.width(), 600); // the window never shrinks with the zoom
}

TEST(PopupDialog, FontSizeFollowsZoomFromEitherSide)
{
    TZQXPopupDialog viaSize;
    viaSize.setZoom(150);
    viaSize.SetFontSize(12);
    EXPECT_EQ(fontPointSize(viaSize.form()->textView()->font()), 18);

    TZQXPopupDialog viaZoom;
    viaZoom.SetFontSize(12);
    viaZoom.setZoom(150);
    EXPECT_EQ(fontPointSize(viaZoom.form()->textView()->font()), 18);

    TZQXPopupDialog styled;
    styled.SetFont(QStringLiteral("Courier New"), 10, fsBold | fsUnderline, Qt::red, Qt::yellow);
    const QFont font = styled.form()->textView()->font();
    EXPECT_EQ(font.family(), QStringLiteral("Courier New"));
    EXPECT_EQ(fontPointSize(font), 10);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_FALSE(font.strikeOut());
    const QPalette colours = styled.form()->textView()->palette();
    EXPECT_EQ(colours.color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(colours.color(QPalette::Base), QColor(Qt::yellow));
}

TEST(PopupDialog, ResetPlacementUsesTheScreen)
{
    ScreenSize screen({1024, 768});
    TZQXPopupDialog dialog;
    dialog.form()->setWindowState(Qt::WindowMaximized);
    dialog.ResetPlacement();
    EXPECT_EQ(dialog.form()->windowState(), Qt::WindowNoState);
    EXPECT_EQ(dialog.form()->geometry(), QRect(256, 192, 512, 384));
}

TEST(PopupDialog, CopyTakesTheSelectionOrEverythingAndKeepsTheCaret)
{
    TForm_Popup form;
    form.ShowText(true, false, false, false, true, false, {}, QStringLiteral("Show Message"),
                  QStringLiteral("ENCODE Successful\r\nline two\r\n"));
    QPlainTextEdit* view = form.textView();

    QTextCursor caret = view->textCursor();
    caret.setPosition(3);
    view->setTextCursor(caret);
    QGuiApplication::clipboard()->clear();
    form.copyText();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ENCODE Successful\nline two\n"));
    EXPECT_EQ(view->textCursor().position(), 3);
    EXPECT_FALSE(view->textCursor().hasSelection());

    QTextCursor selection = view->textCursor();
    selection.setPosition(7);
    selection.setPosition(17, QTextCursor::KeepAnchor);
    view->setTextCursor(selection);
    form.copyText();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Successful"));
    EXPECT_EQ(view->textCursor().selectionStart(), 7);
    EXPECT_EQ(view->textCursor().selectionEnd(), 17);

    // The Copy button does the same and leaves the window open.
    QGuiApplication::clipboard()->clear();
    view->setTextCursor(caret);
    QTest::mouseClick(form.button(TForm_Popup::btnCopy), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ENCODE Successful\nline two\n"));
}

TEST(PopupDialog, QuestionAnswersByButtonAndCloseBox)
{
    struct Case {
        const char* what;
        std::function<void(TForm_Popup&)> act;
        bool answer;
    };
    const Case cases[] = {
        {"Yes", [](TForm_Popup& f) { QTest::mouseClick(f.button(TForm_Popup::btnYes), Qt::LeftButton); }, true},
        {"No", [](TForm_Popup& f) { QTest::mouseClick(f.button(TForm_Popup::btnNo), Qt::LeftButton); }, false},
        {"close box", [](TForm_Popup& f) { f.close(); }, false},
        {"Escape", [](TForm_Popup& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false},
        {"Enter on Yes", [](TForm_Popup& f) { pressKeyWithFocusOn(f.button(TForm_Popup::btnYes)); }, true},
        {"keypad Enter on No", [](TForm_Popup& f) { pressKeyWithFocusOn(f.button(TForm_Popup::btnNo), Qt::Key_Enter); },
         false},
    };
    TZQXPopupDialog dialog;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString caption;
        std::vector<int> lefts;
        bool yesFocused = false;
        whenModal([&](QWidget* modal) {
            auto* form = qobject_cast<TForm_Popup*>(modal);
            ASSERT_NE(form, nullptr);
            caption = form->windowTitle();
            lefts = visibleLefts(*form);
            yesFocused = form->focusWidget() == form->button(TForm_Popup::btnYes);
            c.act(*form);
        });
        EXPECT_EQ(dialog.AskYesNo(QStringLiteral("Reduce colours?")), c.answer);
        EXPECT_EQ(caption, QStringLiteral("YES/NO?"));
        EXPECT_EQ(lefts, (std::vector<int>{-1, 2, 91, -1, -1, -1}));
        EXPECT_TRUE(yesFocused);
        // The text is emptied and hidden when the window closes.
        EXPECT_TRUE(dialog.form()->textView()->toPlainText().isEmpty());
        EXPECT_FALSE(dialog.form()->textView()->isVisibleTo(dialog.form()));
    }
}

TEST(PopupDialog, MessageShowsTextAndKeepsTheTitleForPaper)
{
    TZQXPopupDialog dialog;
    QString caption;
    QString text;
    int result = -1;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Popup*>(modal);
        ASSERT_NE(form, nullptr);
        caption = form->windowTitle();
        text = form->textView()->toPlainText();
        QTest::mouseClick(form->button(TForm_Popup::btnOk), Qt::LeftButton);
        result = form->result();
    });
    dialog.form()->setWindowState(Qt::WindowMaximized);
    dialog.ShowTextMessage(QStringLiteral("DECODE Failed\r\nbad checksum"), true, QStringLiteral("Decode report"));
    EXPECT_EQ(caption, QStringLiteral("Show Message"));
    EXPECT_EQ(text, QStringLiteral("DECODE Failed\nbad checksum"));
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(dialog.form()->printTitle(), QStringLiteral("Decode report"));
    EXPECT_EQ(dialog.form()->windowState(), Qt::WindowNoState);
}

// Enter presses the button that has the focus and nothing else: there is no
// default button, so Enter in the text answers nothing. The window opens
// with its first button focused.
TEST(PopupDialog, EnterPressesTheFocusedButtonOnly)
{
    TZQXPopupDialog dialog;
    bool anyDefault = true;
    bool okFocused = false;
    bool openAfterEnterInText = false;
    bool openAfterEnterOnCopy = false;
    QGuiApplication::clipboard()->clear();
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Popup*>(modal);
        ASSERT_NE(form, nullptr);
        anyDefault = false;
        for (int i = TForm_Popup::btnOk; i <= TForm_Popup::btnPrint; ++i)
            anyDefault = anyDefault || form->button(i)->isDefault();
        okFocused = form->focusWidget() == form->button(TForm_Popup::btnOk);
        pressKeyWithFocusOn(form->textView());
        openAfterEnterInText = form->isVisible();
        pressKeyWithFocusOn(form->button(TForm_Popup::btnCopy));
        openAfterEnterOnCopy = form->isVisible();
        pressKeyWithFocusOn(form->button(TForm_Popup::btnOk));
    });
    dialog.ShowTextMessage(QStringLiteral("DECODE Successful"), false, QString());
    EXPECT_FALSE(anyDefault);
    EXPECT_TRUE(okFocused) << "a message opens with OK focused";
    EXPECT_TRUE(openAfterEnterInText);
    EXPECT_TRUE(openAfterEnterOnCopy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("DECODE Successful"));
    EXPECT_EQ(dialog.form()->result(), mrOk);
}

TEST(PopupShortcuts, WorkOnTheSharedInstanceAndDoNothingWithoutIt)
{
    // The application start-up made the shared instance.
    ASSERT_TRUE(PopupAvailable());
    PopupSetZoom(150);
    EXPECT_EQ(popupShared()->zoom(), 150);
    PopupSetFont(QStringLiteral("Courier New"), 12, fsBold, Qt::black, Qt::white);
    EXPECT_EQ(fontPointSize(popupShared()->form()->textView()->font()), 18);
    PopupSetZoom(100);

    QString shown;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Popup*>(modal);
        ASSERT_NE(form, nullptr);
        shown = form->textView()->toPlainText();
        EXPECT_FALSE(form->button(TForm_Popup::btnPrint)->isVisibleTo(form));
        form->close();
    });
    PopupShowError(QStringLiteral("File extension must be .BMP or .GIF"));
    EXPECT_EQ(shown, QStringLiteral("File extension must be .BMP or .GIF"));

    whenModal([](QWidget* modal) { QTest::mouseClick(static_cast<TForm_Popup*>(modal)->button(TForm_Popup::btnYes), Qt::LeftButton); });
    EXPECT_TRUE(PopupAskYesNo(QStringLiteral("Dither?")));

    popupFreeShared();
    EXPECT_FALSE(PopupAvailable());
    // None of these may block or fail; the question answers no.
    PopupResetPlacement();
    PopupSetZoom(200);
    PopupSetFont(QStringLiteral("Arial"), 10, {}, Qt::black, Qt::white);
    PopupShowMessage(QStringLiteral("x"), true, QStringLiteral("t"));
    PopupShowError(QStringLiteral("x"));
    EXPECT_FALSE(PopupAskYesNo(QStringLiteral("x")));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    popupCreateShared();
    EXPECT_TRUE(PopupAvailable());
}


// The instance made with the application must take the application's style
// and colours; one built while the application object was still being
// constructed painted its background black.
TEST(PopupShortcuts, SharedInstanceHasTheApplicationsColours)
{
    TZQXPopupDialog* dialog = popupShared();
    ASSERT_NE(dialog, nullptr);
    const QPalette app = QApplication::palette();
    EXPECT_EQ(dialog->form()->palette().color(QPalette::Window), app.color(QPalette::Window));
    EXPECT_EQ(dialog->form()->palette().color(QPalette::Button), app.color(QPalette::Button));
}

} // namespace
} // namespace ostrel
