// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXZoomBitBtn.h"

#include <QKeyEvent>

namespace ostrel {

TZQXZoomBitBtn::TZQXZoomBitBtn(QWidget* parent)
    : ZoomGlyphButton<QPushButton>(parent)
{
}

// Enter presses the button that has the focus, as Space does. Qt leaves
// Enter to a dialog's default button unless the focused one is an
// auto-default button, and auto-default buttons make the first of them the
// default when the dialog opens: the message and question dialogs would then
// answer on a stray Enter. A held key does not press again, so Enter held
// down to close one dialog cannot answer the next.
void TZQXZoomBitBtn::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || held != Qt::NoModifier) {
        ZoomGlyphButton<QPushButton>::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        click();
    event->accept();
}

} // namespace ostrel
