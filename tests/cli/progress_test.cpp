// SPDX-License-Identifier: Apache-2.0
// The terminal progress bar on a clock the test moves: when it shows, what
// it draws in a terminal of a given width, and that it always clears.
#include "cli/Progress.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrel::cli {
namespace {

using namespace std::chrono_literals;

class ProgressBarTest : public ::testing::Test {
protected:
    ProgressBar makeBar(int columns)
    {
        return ProgressBar("Encoding", columns, [this] { return m_now; },
                           [this](std::string_view text) { m_written += text; });
    }
    std::chrono::steady_clock::time_point m_now{};
    std::string m_written;
};

TEST_F(ProgressBarTest, WorkUnderASecondShowsNothing)
{
    {
        ProgressBar bar = makeBar(80);
        bar.update(-1);
        for (int percent = 0; percent <= 100; ++percent) {
            m_now += 9ms;
            bar.update(percent);
        }
    }
    EXPECT_EQ(m_written, "");
}

TEST_F(ProgressBarTest, LongWorkDrawsPercentRateAndBarThenClears)
{
    ProgressBar bar = makeBar(80);
    bar.update(-1);
    m_now += 500ms;
    bar.update(10);
    EXPECT_FALSE(bar.shown());
    m_now += 1500ms;
    bar.update(40); // 40 % in 2 s: 20 %/s, 3 s left
    ASSERT_TRUE(bar.shown());
    EXPECT_EQ(m_written, "\rEncoding [################                        ]  40%  20 %/s  3 s left\033[K");

    // Rows reported faster than the bar redraws are not drawn each.
    m_written.clear();
    for (int i = 0; i < 50; ++i) {
        m_now += 1ms;
        bar.update(41 + i / 10);
    }
    EXPECT_EQ(m_written, "");
    m_now += 100ms;
    bar.update(47);
    EXPECT_NE(m_written.find(" 47%"), std::string::npos) << m_written;

    m_written.clear();
    bar.update(100);
    EXPECT_EQ(m_written, "\r\033[K");
    EXPECT_FALSE(bar.shown());
    m_written.clear();
    bar.update(100);
    EXPECT_EQ(m_written, "");
}

TEST_F(ProgressBarTest, WorkEndingEarlyClearsItsBar)
{
    {
        ProgressBar bar = makeBar(80);
        m_now += 2s;
        bar.update(30);
        ASSERT_TRUE(bar.shown());
    }
    ASSERT_GE(m_written.size(), 4u);
    EXPECT_EQ(m_written.substr(m_written.size() - 4), "\r\033[K");
}

// The line never reaches the last column, so the cursor cannot wrap to a
// new line that "\r" would no longer reach.
TEST_F(ProgressBarTest, LineFitsTheTerminal)
{
    for (const int columns : {200, 80, 50, 30, 12}) {
        SCOPED_TRACE(columns);
        const ProgressBar bar = makeBar(columns);
        for (int percent : {0, 7, 99}) {
            const std::string line = bar.line(percent, 3s);
            EXPECT_LE(int(line.size()), columns - 1) << line;
            if (columns >= 50) {
                EXPECT_NE(line.find('['), std::string::npos) << line;
            }
            if (columns >= 30) {
                EXPECT_NE(line.find(std::to_string(percent) + "%"), std::string::npos) << line;
            }
        }
    }
}

} // namespace
} // namespace ostrel::cli
