// SPDX-License-Identifier: Apache-2.0
#pragma once
// A progress bar on the terminal for work that turns out long: nothing for
// the first second, then "Encoding [#####     ]  48%  21 %/s  3 s left" on
// one line redrawn in place, cleared when the work ends.
#include "colour/PaletteTypes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ostrel::cli {

class ProgressBar {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Output = std::function<void(std::string_view)>;

    // Work shorter than this shows no bar at all.
    static constexpr std::chrono::milliseconds kShowAfter{1000};
    // A bar is drawn at most this often, so per-row reports cost nothing.
    static constexpr std::chrono::milliseconds kRedrawEvery{100};

    // `columns`: the terminal's width; the line stays one column short of
    // it, so the cursor never wraps.
    ProgressBar(std::string what, int columns, Clock clock, Output output);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    // Work that ends without reaching 100 % (a failure) clears its bar too.
    ~ProgressBar() { clear(); }

    // The share done, 0..100; -1 says the work starts. 100 clears the bar.
    void update(int32_t percent);
    bool shown() const { return m_shown; }

    // The line drawn for `percent` done after `elapsed`, without the
    // carriage return that puts it in place.
    std::string line(int32_t percent, std::chrono::duration<double> elapsed) const;

private:
    void clear();

    std::string m_what;
    int m_columns;
    Clock m_clock;
    Output m_output;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw{};
    int32_t m_lastPercent = -1;
    bool m_shown = false;
};

// A progress callback drawing a bar on standard error when it is a
// terminal; an empty callback otherwise.
TProgressProc terminalProgressBar(const char* what);

} // namespace ostrel::cli
