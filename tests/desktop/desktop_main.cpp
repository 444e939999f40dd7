// SPDX-License-Identifier: Apache-2.0
// The window tests' own main: starts Xvfb on a free display and openbox on
// it, then runs the tests with Qt's xcb platform on that display. Where
// either program is missing or does not start, every test skips and says why.
#include "desktop/DesktopSession.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace ostrel::testing {

namespace {

QString g_unavailable;
QByteArray g_display;

xcb_connection_t* connection()
{
    static xcb_connection_t* c = nullptr;
    if (!c) {
        c = xcb_connect(g_display.constData(), nullptr);
    }
    return c;
}

xcb_window_t rootWindow(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(const char* name)
{
    xcb_connection_t* c = connection();
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

std::vector<uint32_t> windowList(xcb_window_t window, const char* property)
{
    xcb_connection_t* c = connection();
    std::vector<uint32_t> windows;
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom(property), XCB_ATOM_WINDOW, 0, 4096), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        windows.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return windows;
}

// True once openbox has announced itself on the root window.
bool windowManagerRunning()
{
    return !windowList(rootWindow(connection()), "_NET_SUPPORTING_WM_CHECK").empty();
}

class Desktop {
public:
    QString start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return QStringLiteral("Xvfb is not installed (Debian package xvfb)");
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (openbox.isEmpty())
            return QStringLiteral("openbox is not installed (Debian package openbox)");
        if (!m_home.isValid())
            return QStringLiteral("no temporary folder");
        // -displayfd: the server picks a free display number and writes it
        // on its standard output once it accepts connections.
        m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                              QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        if (!m_server.waitForStarted(5000))
            return QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        QByteArray number;
        QElapsedTimer clock;
        clock.start();
        while (!number.contains('\n')) {
            if (m_server.state() == QProcess::NotRunning || clock.elapsed() > 10000)
                return QStringLiteral("Xvfb gave no display: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
            m_server.waitForReadyRead(100);
            number += m_server.readAllStandardOutput();
        }
        g_display = ':' + number.trimmed();
        qputenv("DISPLAY", g_display);
        if (xcb_connection_has_error(connection()))
            return QStringLiteral("cannot connect to Xvfb on ") + QString::fromLatin1(g_display);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(g_display));
        // The window manager's defaults, not a user's settings.
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        m_manager.setProcessEnvironment(environment);
        m_manager.setProcessChannelMode(QProcess::MergedChannels);
        m_manager.start(openbox, {QStringLiteral("--sm-disable")});
        if (!m_manager.waitForStarted(5000))
            return QStringLiteral("openbox did not start: ") + m_manager.errorString();
        clock.restart();
        while (!windowManagerRunning()) {
            if (m_manager.state() == QProcess::NotRunning || clock.elapsed() > 10000)
                return QStringLiteral("openbox did not take the screen: ") + QString::fromLocal8Bit(m_manager.readAll());
            QThread::msleep(50);
        }
        return {};
    }

    ~Desktop()
    {
        for (QProcess* process : {&m_manager, &m_server}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(1000);
            }
        }
    }

private:
    QTemporaryDir m_home;
    QProcess m_server;
    QProcess m_manager;
};

} // namespace

const QString& desktopUnavailable()
{
    return g_unavailable;
}

uint32_t WindowManagerView::activeWindow()
{
    const std::vector<uint32_t> active = windowList(rootWindow(connection()), "_NET_ACTIVE_WINDOW");
    return active.empty() ? 0 : active.front();
}

std::vector<uint32_t> WindowManagerView::stacking()
{
    return windowList(rootWindow(connection()), "_NET_CLIENT_LIST_STACKING");
}

bool WindowManagerView::isMapped(uint32_t window)
{
    xcb_connection_t* c = connection();
    auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool mapped = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    free(reply);
    return mapped;
}

int WindowManagerView::stackingIndex(uint32_t window)
{
    const std::vector<uint32_t> order = stacking();
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == window)
            return int(i);
    }
    return -1;
}

} // namespace ostrel::testing

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<ostrel::testing::Desktop> desktop;
    // Listing the tests needs no screen.
    if (!::testing::GTEST_FLAG(list_tests)) {
        desktop = std::make_unique<ostrel::testing::Desktop>();
        ostrel::testing::g_unavailable = desktop->start();
    } else {
        ostrel::testing::g_unavailable = QStringLiteral("only listing the tests");
    }
    qputenv("QT_QPA_PLATFORM", ostrel::testing::g_unavailable.isEmpty() ? "xcb" : "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
