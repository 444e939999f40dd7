// SPDX-License-Identifier: Apache-2.0
#pragma once
// Modal windows open in front of the window that asked for them. The shared
// dialogs have no parent widget, so nothing tells the window manager whose
// window they belong to: it stacks them as it likes, and a window that stays
// on top (the message window, the analysis window) hides them. Here the
// dialog becomes transient for its opener, takes the opener's stay-on-top
// layer while it runs, and the opener gets the focus back when it ends.
class QDialog;
class QWidget;

namespace ostrel {

// The window a dialog opened now belongs to: the innermost modal window,
// else the active window; null when there is none or it is `dialog` itself.
QWidget* currentOpener(const QWidget* dialog);

// Runs `dialog` modally in front of `opener` (currentOpener() when null) and
// returns its result.
int execInFront(QDialog* dialog, QWidget* opener = nullptr);

} // namespace ostrel
