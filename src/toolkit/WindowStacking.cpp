// SPDX-License-Identifier: Apache-2.0
#include "toolkit/WindowStacking.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace ostrel {

QWidget* currentOpener(const QWidget* dialog)
{
    QWidget* opener = QApplication::activeModalWidget();
    if (!opener || opener == dialog)
        opener = QApplication::activeWindow();
    if (!opener || opener == dialog || !opener->isVisible())
        return nullptr;
    return opener->window();
}

int execInFront(QDialog* dialog, QWidget* opener)
{
    QPointer<QWidget> owner = opener ? opener->window() : currentOpener(dialog);
    if (owner == dialog)
        owner = nullptr;
    // Only while hidden: changing the flags of a shown window hides it.
    const bool raisedToTop = owner && !dialog->isVisible() && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)
        && !dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (raisedToTop)
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!dialog->parentWidget()) {
        dialog->winId(); // makes the window handle the transient parent is set on
        dialog->windowHandle()->setTransientParent(owner ? owner->windowHandle() : nullptr);
    }

    const int result = dialog->exec();

    if (raisedToTop)
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    // Some window managers hand the focus to another window when a dialog
    // closes (openbox skips tool windows such as the analysis window).
    if (owner && owner->isVisible()) {
        owner->raise();
        owner->activateWindow();
        // The window manager may still be busy with the closed dialog and hand
        // the focus elsewhere after this request: it is asked once more when
        // that has settled, unless the owner has the focus by then.
        QTimer::singleShot(150, owner, [owner] {
            if (owner && owner->isVisible() && QApplication::activeWindow() != owner) {
                owner->raise();
                owner->activateWindow();
            }
        });
    }
    return result;
}

} // namespace ostrel
