#include "toolkit/WindowStacking.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
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
    }
    return result;
}

} // namespace ostrel
