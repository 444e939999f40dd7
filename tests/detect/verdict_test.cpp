// SPDX-License-Identifier: Apache-2.0
// The words given to the detectors' numbers, at and around each threshold.
#include "detect/Verdict.h"

#include <gtest/gtest.h>

using namespace ostrel;

namespace {

// Blue alone set; red and green read as clean.
DetectionReport blueFigures(double chiSquare, double samplePairs, double rs)
{
    DetectionReport report;
    figure(report.chiSquare.probability, Channel::Blue) = chiSquare;
    figure(report.samplePairs, Channel::Blue) = samplePairs;
    figure(report.rs, Channel::Blue) = rs;
    return report;
}

TEST(Verdict, ThresholdsOfTheBlueChannel)
{
    struct Case {
        double chiSquare, samplePairs, rs;
        Verdict expected;
        const char* line;
    };
    const Case cases[] = {
        {0.00, 0.00, 0.01, Verdict::NoSign, "Blue: no sign of hidden data (0.01)"},
        // The cleanest photographs' worst.
        {0.00, 0.215, 0.218, Verdict::NoSign, "Blue: no sign of hidden data (0.22)"},
        {0.00, 0.25, 0.25, Verdict::Possible, "Blue: hidden data possible (0.25)"},
        {0.00, 0.45, 0.53, Verdict::Possible, "Blue: hidden data possible (0.49)"},
        {0.00, 0.50, 0.50, Verdict::Likely, "Blue: hidden data likely (0.50)"},
        {1.00, 0.963, 0.975, Verdict::Likely, "Blue: hidden data likely (0.97)"},
        // Overshoot and undershoot are shown within 0..1.
        {1.00, 1.00, 1.03, Verdict::Likely, "Blue: hidden data likely (1.00)"},
        {0.00, -0.004, -0.01, Verdict::NoSign, "Blue: no sign of hidden data (0.00)"},
        // A smooth histogram alone raises nothing; with a possible estimate it is likely.
        {1.00, 0.01, 0.00, Verdict::NoSign, "Blue: no sign of hidden data (0.01)"},
        {0.99, 0.30, 0.30, Verdict::Likely, "Blue: hidden data likely (0.30)"},
        {0.98, 0.30, 0.30, Verdict::Possible, "Blue: hidden data possible (0.30)"},
    };
    for (const Case& c : cases) {
        const ChannelVerdict verdict = judgeChannel(blueFigures(c.chiSquare, c.samplePairs, c.rs), Channel::Blue);
        EXPECT_EQ(verdict.verdict, c.expected) << c.line;
        EXPECT_EQ(channelVerdictLine(verdict), QLatin1String(c.line));
    }
}

TEST(Verdict, PictureVerdictIsTheStrongestChannel)
{
    DetectionReport report = blueFigures(0.0, 0.30, 0.30);
    figure(report.samplePairs, Channel::Red) = 0.9;
    figure(report.rs, Channel::Red) = 0.8;
    figure(report.samplePairs, Channel::Green) = 0.27;
    figure(report.rs, Channel::Green) = 0.27;
    ChannelVerdict picture = judgePicture(report);
    EXPECT_EQ(picture.channel, Channel::Red);
    EXPECT_EQ(picture.verdict, Verdict::Likely);
    EXPECT_EQ(channelVerdictLine(picture), QStringLiteral("Red: hidden data likely (0.85)"));

    // Same verdict: the larger estimate names the channel.
    figure(report.samplePairs, Channel::Red) = 0.26;
    figure(report.rs, Channel::Red) = 0.26;
    picture = judgePicture(report);
    EXPECT_EQ(picture.channel, Channel::Blue);
    EXPECT_EQ(picture.verdict, Verdict::Possible);

    EXPECT_EQ(verdictText(judgePicture(DetectionReport{}).verdict), QStringLiteral("no sign of hidden data"));
}

} // namespace
