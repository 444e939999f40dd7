// SPDX-License-Identifier: Apache-2.0
#pragma once
// A real desktop for the window tests: an Xvfb server on a free display and
// the openbox window manager on it, both started by the test program before
// its application object connects, and the window manager's own view of the
// windows (_NET_ACTIVE_WINDOW, _NET_CLIENT_LIST_STACKING, map state) read
// over a connection of the test's own.
#include <QString>
#include <QWindow>

#include <cstdint>
#include <vector>

namespace ostrel::testing {

// Empty when Xvfb and openbox run and DISPLAY points at them, else why not;
// set once by the program's main before any test runs.
const QString& desktopUnavailable();

// The window manager's view of the screen.
class WindowManagerView {
public:
    // The client window the manager calls active, 0 when none.
    static uint32_t activeWindow();
    // The managed client windows, bottom first.
    static std::vector<uint32_t> stacking();
    static bool isMapped(uint32_t window);
    // Position in stacking(), -1 when the manager does not list it.
    static int stackingIndex(uint32_t window);
};

// The X window of a Qt window.
inline uint32_t xWindowOf(const QWindow* window)
{
    return window ? uint32_t(window->winId()) : 0;
}

} // namespace ostrel::testing
