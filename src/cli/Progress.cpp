// SPDX-License-Identifier: Apache-2.0
#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ostrel::cli {

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kLongestBar = 40;
constexpr int kShortestBar = 10;
constexpr std::string_view kClearLine = "\r\033[K";

int terminalColumns(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}

} // namespace

ProgressBar::ProgressBar(std::string what, int columns, Clock clock, Output output)
    : m_what(std::move(what)), m_columns(columns), m_clock(std::move(clock)), m_output(std::move(output)),
      m_start(m_clock())
{
}

std::string ProgressBar::line(int32_t percent, std::chrono::duration<double> elapsed) const
{
    percent = std::clamp<int32_t>(percent, 0, 100);
    std::string figures = std::to_string(percent) + "%";
    figures.insert(0, size_t(std::max<int>(0, 4 - int(figures.size()))), ' ');
    const double seconds = elapsed.count();
    if (percent > 0 && seconds > 0) {
        const double rate = percent / seconds;
        const long left = std::lround((100 - percent) / rate);
        figures += "  " + std::to_string(std::lround(rate)) + " %/s  " + std::to_string(left) + " s left";
    }
    // What fits: the name, a bar as wide as the rest allows, the figures;
    // on a very narrow terminal the bar goes first, then the figures' tail.
    const int room = m_columns - 1;
    const int barWidth = std::min(kLongestBar, room - int(m_what.size()) - 4 - int(figures.size()));
    std::string text = m_what;
    if (barWidth >= kShortestBar) {
        const int filled = barWidth * percent / 100;
        text += " [" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), ' ') + "]";
    }
    text += " " + figures;
    if (room > 0 && int(text.size()) > room)
        text.resize(size_t(room));
    return text;
}

void ProgressBar::update(int32_t percent)
{
    if (percent < 0)
        return;
    if (percent >= 100) {
        clear();
        return;
    }
    const auto now = m_clock();
    if (now - m_start < kShowAfter)
        return;
    if (m_shown && (percent == m_lastPercent || now - m_lastDraw < kRedrawEvery))
        return;
    m_output("\r" + line(percent, now - m_start) + "\033[K");
    m_shown = true;
    m_lastDraw = now;
    m_lastPercent = percent;
}

void ProgressBar::clear()
{
    if (!m_shown)
        return;
    m_output(kClearLine);
    m_shown = false;
}

TProgressProc terminalProgressBar(const char* what)
{
    if (!::isatty(STDERR_FILENO))
        return {};
    // Shared by every copy of the callback; the last one to go clears the bar.
    auto bar = std::make_shared<ProgressBar>(
        what, terminalColumns(STDERR_FILENO), [] { return std::chrono::steady_clock::now(); },
        [](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        });
    return [bar](int32_t percent) { bar->update(percent); };
}

} // namespace ostrel::cli
