// SPDX-License-Identifier: Apache-2.0
#pragma once
// Shows that the program is working for as long as the object lives: the
// wait cursor where the window does not answer meanwhile, the busy cursor
// (arrow and hourglass) where it still does. Nothing without a widget
// application.
#include <QApplication>
#include <QCursor>

namespace ostrel {

class BusyCursor {
public:
    explicit BusyCursor(Qt::CursorShape shape = Qt::WaitCursor)
        : m_shown(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QApplication::setOverrideCursor(QCursor(shape));
    }
    ~BusyCursor()
    {
        if (m_shown)
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_shown;
};

} // namespace ostrel
