// SPDX-License-Identifier: Apache-2.0
// Every window that opens another, on a real X server with a real window
// manager: the new window is mapped, lies above its opener, has the keyboard
// focus, and Escape gives the focus back to the opener. What counts is the
// window manager's view (_NET_ACTIVE_WINDOW, _NET_CLIENT_LIST_STACKING).
#include "desktop/DesktopSession.h"
#include "shell/Autoform_AnalyzeBMP.h"
#include "shell/ShellDialogs.h"
#include "shell/SteganographyUnit.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace ostrel {
namespace {

using testing::WindowManagerView;
using testing::xWindowOf;

constexpr int kPatienceMs = 5000; // waits end as soon as the window manager agrees

// Lets events run until `done` holds or the patience runs out.
bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kPatienceMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

uint32_t xWindow(QWidget* widget)
{
    return xWindowOf(widget->window()->windowHandle());
}

// What the window manager showed while one window opened another.
struct Opening {
    bool openerActiveBefore = false;
    bool opened = false;
    bool mapped = false;
    bool above = false;
    bool focused = false;
    bool focusBack = false;
    QString newTitle;
};

// Makes `opener` the active window, calls `open` (which runs a modal
// window), looks at the window it opens, presses Escape there and checks the
// focus comes back.
Opening watchOpening(QWidget* opener, const std::function<void()>& open)
{
    Opening seen;
    opener->window()->raise();
    opener->window()->activateWindow();
    const uint32_t openerId = xWindow(opener);
    seen.openerActiveBefore = waitFor([&] { return WindowManagerView::activeWindow() == openerId; });

    QWidget* previous = QApplication::activeModalWidget();
    bool looked = false;
    auto* poll = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        if (looked || !modal || modal == previous) {
            if (clock.elapsed() > 2 * kPatienceMs)
                poll->stop();
            return;
        }
        looked = true;
        poll->stop();
        seen.opened = true;
        seen.newTitle = modal->windowTitle();
        const uint32_t id = xWindow(modal);
        seen.focused = waitFor([&] { return WindowManagerView::activeWindow() == id; });
        seen.mapped = WindowManagerView::isMapped(id);
        const int at = WindowManagerView::stackingIndex(id);
        seen.above = at >= 0 && at > WindowManagerView::stackingIndex(openerId);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : modal;
        QTest::keyClick(target, Qt::Key_Escape);
        // A window that Escape did not close must not hang the run.
        QTimer::singleShot(500, modal, [modal] {
            if (modal->isVisible())
                modal->close();
        });
    });
    poll->start(20);
    open();
    delete poll;
    seen.focusBack = waitFor([&] { return WindowManagerView::activeWindow() == openerId; });
    return seen;
}

bool wellOpened(const Opening& seen)
{
    return seen.openerActiveBefore && seen.opened && seen.mapped && seen.above && seen.focused && seen.focusBack;
}

// The window manager works on its own time, and on a loaded machine a request
// can cross one of the test's: a case counts as failed only when three tries
// in a row fail.
Opening watchOpeningPatiently(const std::function<QWidget*()>& opener, const std::function<void()>& open)
{
    Opening seen;
    for (int attempt = 0; attempt < 3 && !wellOpened(seen); ++attempt)
        seen = watchOpening(opener(), open);
    return seen;
}

void expectWellOpened(const Opening& seen, const char* name)
{
    SCOPED_TRACE(name);
    EXPECT_TRUE(seen.openerActiveBefore) << "the opener never became the active window";
    ASSERT_TRUE(seen.opened) << "no window opened";
    EXPECT_TRUE(seen.mapped) << seen.newTitle.toStdString() << " is not mapped";
    EXPECT_TRUE(seen.above) << seen.newTitle.toStdString() << " lies below its opener";
    EXPECT_TRUE(seen.focused) << seen.newTitle.toStdString() << " did not get the keyboard focus";
    EXPECT_TRUE(seen.focusBack) << "closing " << seen.newTitle.toStdString()
                                << " did not give the focus back to its opener";
}

class WindowStacking : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing::desktopUnavailable().isEmpty())
            GTEST_SKIP() << "no real desktop for the window tests: " << testing::desktopUnavailable().toStdString();
    }
};

// A small picture for the windows that print or analyse one.
QImage samplePicture()
{
    QImage picture(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixelColor(x, y, QColor(x * 4, y * 5, (x + y) * 2));
    }
    return picture;
}

TEST_F(WindowStacking, EveryOpenedWindowComesOnTopWithTheFocusAndGivesItBack)
{
    StandardShellDialogs dialogs;
    TForm_Main_Steganography main(&dialogs);
    QTemporaryDir folder;
    const QString pictureFile = folder.filePath(QStringLiteral("sample.bmp"));
    ASSERT_TRUE(samplePicture().save(pictureFile)); // the picture the main window prints
    main.openPictureFile(pictureFile);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    auto* analysis = new TForm_AnalyzeBMP(&main);

    struct Case {
        const char* name;
        std::function<QWidget*()> opener;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"main window -> print", [&] { return &main; }, [&] { main.Print1Click(); }},
        {"main window -> password", [&] { return &main; }, [&] { (void)dialogs.password(&main); }},
        {"main window -> about", [&] { return &main; }, [&] { main.About1Click(); }},
        {"main window -> enter data", [&] { return &main; }, [&] { (void)dialogs.webAddress(QString()); }},
        {"main window -> question", [&] { return &main; }, [&] { (void)dialogs.askYesNo(QStringLiteral("Go on?")); }},
        {"analysis window -> print",
         [&] {
             analysis->AnalyzeBitmap(samplePicture());
             EXPECT_TRUE(QTest::qWaitForWindowExposed(analysis));
             return analysis;
         },
         [&] { analysis->actionButton(TForm_AnalyzeBMP::abPrint)->click(); }},
        {"analysis window -> help", [&] { return analysis; }, [&] { analysis->showHelp(); }},
    };
    for (const Case& c : cases)
        expectWellOpened(watchOpeningPatiently(c.opener, c.open), c.name);
    analysis->hide();

    // The message window is modal itself: its print window opens from inside it.
    Opening fromMessage;
    bool messageShown = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() != nullptr; }));
        auto* message = qobject_cast<TForm_Popup*>(QApplication::activeModalWidget());
        ASSERT_NE(message, nullptr);
        messageShown = true;
        fromMessage = watchOpeningPatiently([message] { return message; },
                                            [message] { message->button(TForm_Popup::btnPrint)->click(); });
        message->close();
    });
    dialogs.showMessage(QStringLiteral("A report\nof two lines"), true, QStringLiteral("Report"));
    ASSERT_TRUE(messageShown);
    expectWellOpened(fromMessage, "message window -> print");
}

} // namespace
} // namespace ostrel
