// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers for driving the toolkit's modal windows from a test.
#include "toolkit/ZoomRules.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace ostrel::testing {

// Calls `action` with the innermost modal window as soon as one is showing,
// from inside its event loop. If none comes within a few seconds, or the
// action leaves it open, every modal window is closed so that a failing test
// cannot hang the run.
inline void whenModal(std::function<void(QWidget*)> action, QWidget* previous = nullptr)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, previous] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != previous) {
            timer->stop();
            action(modal);
        } else if (clock->elapsed() < 5000) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        while (QWidget* open = QApplication::activeModalWidget()) {
            if (open == previous)
                break;
            open->close();
        }
    });
    timer->start(10);
}

// Gives `widget` the keyboard focus, as a user who tabbed to it would, and
// presses `key` there (Return, or Enter on the keypad).
inline void pressKeyWithFocusOn(QWidget* widget, Qt::Key key = Qt::Key_Return)
{
    widget->setFocus(Qt::TabFocusReason);
    QWidget* focused = widget->window()->focusWidget();
    if (focused)
        QTest::keyClick(focused, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

// Empty when a text view shows its text whole: no line runs past the right
// edge or below the bottom (nothing to scroll to), and on the lines with a
// tab the text after the first tab starts at one x. Else what is wrong.
inline QString textFitProblem(QPlainTextEdit* view)
{
    QCoreApplication::processEvents();
    if (view->horizontalScrollBar()->maximum() > 0)
        return QStringLiteral("lines are cut at the right edge");
    if (view->verticalScrollBar()->maximum() > 0)
        return QStringLiteral("lines are cut at the bottom");
    int column = -1;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        const int tab = int(block.text().indexOf(QLatin1Char('\t')));
        if (tab < 0)
            continue;
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + tab + 1);
        const int x = view->cursorRect(cursor).left();
        if (column >= 0 && x != column)
            return QStringLiteral("the text after the tab does not line up on \"%1\"").arg(block.text());
        column = x;
    }
    return {};
}

// Puts a screen of this size in place of the primary screen for as long as
// the object lives.
class ScreenSize {
public:
    explicit ScreenSize(QSize size) { setToolkitScreenSizeOverride(size); }
    ~ScreenSize() { setToolkitScreenSizeOverride(QSize()); }
    ScreenSize(const ScreenSize&) = delete;
    ScreenSize& operator=(const ScreenSize&) = delete;
};

} // namespace ostrel::testing
