// SPDX-License-Identifier: Apache-2.0
// The detectors of changes of one: the HCF-COM's arithmetic on histograms
// whose transforms are known by hand, its calibrated figure before and after
// blue values move by one, the step search on pictures whose payload ends at
// a known row, and the words for what they find.
#include "detect/Detection.h"
#include "detect/Verdict.h"
#include "util/Picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

// Bands of even colour with faint sensor noise that the channels mostly
// share, as in a photograph's calm areas; from row `textureFrom` on every
// channel grows much rougher, as where a calm sky meets grass.
QImage calmPhoto(int width, int height, uint32_t seed, int textureFrom = -1)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    std::normal_distribution<double> shared(0.0, 0.7);
    std::normal_distribution<double> own(0.0, 0.3);
    std::normal_distribution<double> rough(0.0, 6.0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        const bool textured = textureFrom >= 0 && y >= textureFrom;
        for (int x = 0; x < width; ++x) {
            const double base = 50.0 + 12.0 * std::floor(10.0 * x / width) + 20.0 * std::floor(y * 4.0 / height);
            const double common = shared(rng) + (textured ? rough(rng) : 0.0);
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = uint8_t(std::clamp(std::lround(base + 8.0 * c + common + own(rng)), 0L, 255L));
        }
    }
    return picture;
}

// Writes random bits into blue from the first pixel on as a changes-of-one
// payload does: each of the first `pixels` pixels whose lowest bit differs
// from its bit moves up or down by one at random.
void moveBlueByOne(QImage& picture, int64_t pixels, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < pixels; ++i) {
        uint8_t& blue = picture.scanLine(int(i / picture.width()))[3 * (i % picture.width())];
        if ((blue & 1) == (rng() & 1))
            continue;
        const bool up = blue == 0 || (blue != 255 && (rng() & 1));
        blue = uint8_t(up ? blue + 1 : blue - 1);
    }
}

TEST(HcfCom, CentreOfMassOfKnownHistograms)
{
    struct Case {
        const char* what;
        std::vector<double> counts;
        double expected;
    };
    std::vector<double> single(256 * 256, 0.0);
    single[0] = 1000.0; // every pair (0, 0): a flat transform
    std::vector<double> shifted(256 * 256, 0.0);
    shifted[size_t(17) * 256 + 200] = 5.0; // a single pair anywhere: the same magnitudes
    const Case cases[] = {
        // |H| is the same at every frequency: the mean of k + l over 0..128 each.
        {"one bin", single, 128.0},
        {"one bin elsewhere", shifted, 128.0},
        // A histogram without any shape has its transform at frequency 0 alone.
        {"even", std::vector<double>(256 * 256, 3.0), 0.0},
        {"empty", std::vector<double>(256 * 256, 0.0), 0.0},
        {"wrong size", std::vector<double>(10, 1.0), 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(hcfCentreOfMass(c.counts), c.expected, 1e-9) << c.what;
}

// Changes of one smooth the blue histogram, which the calibrated figure sees;
// a clean picture's three channels, alike in their statistics, read alike.
TEST(HcfCom, CalibratedFigureFallsForBlueMovedByOne)
{
    QImage picture = calmPhoto(400, 300, 11);
    const ChannelFigures clean = calibratedHcfCom(picture);
    EXPECT_NEAR(figure(clean, Channel::Blue), figure(clean, Channel::Red), 0.03);
    EXPECT_NEAR(figure(clean, Channel::Blue), figure(clean, Channel::Green), 0.03);

    moveBlueByOne(picture, int64_t(picture.width()) * picture.height(), 12);
    const ChannelFigures moved = calibratedHcfCom(picture);
    EXPECT_EQ(figure(moved, Channel::Red), figure(clean, Channel::Red));
    EXPECT_LT(figure(moved, Channel::Blue), figure(clean, Channel::Blue) - 0.05);

    // Over the rows above a payload that fills half the picture, and over too
    // few pixels to say anything.
    picture = calmPhoto(400, 300, 11);
    moveBlueByOne(picture, 400 * 150, 13);
    const ChannelFigures top = calibratedHcfCom(picture, 150);
    EXPECT_LT(figure(top, Channel::Blue), figure(top, Channel::Red) - 0.05);
    const ChannelFigures tiny = calibratedHcfCom(picture, 2);
    for (Channel channel : kChannels)
        EXPECT_EQ(figure(tiny, channel), 1.0) << channelName(channel);
}

// The step search finds where a payload written from the first pixel on
// stops, within a few rows, at any payload; the words say so.
TEST(PayloadEnd, FindsTheRowWhereChangesStop)
{
    struct Case {
        int width, height;
        int64_t pixels; // changed from the first pixel on
        int rows;       // the rows they reach into
    };
    const Case cases[] = {
        {2000, 400, 2000 * 10 + 100, 11},   // as many rows as 1 % of a photograph's
        {2000, 400, 2000 * 40, 40},         // 10 %
        {2000, 400, 2000 * 200 + 300, 201}, // half, ending within a row
        {1600, 600, 1600 * 450, 450},
    };
    for (const Case& c : cases) {
        QImage picture = calmPhoto(c.width, c.height, uint32_t(c.rows));
        moveBlueByOne(picture, c.pixels, 7);
        const MatchingReport report = detectChangesOfOne(picture);
        EXPECT_NEAR(report.end.rows, c.rows, 2) << c.rows;
        const MatchingVerdict verdict = judgeChangesOfOne(report);
        EXPECT_NE(verdict.verdict, Verdict::NoSign) << c.rows << " step " << report.end.strength;
        EXPECT_TRUE(matchingVerdictLine(verdict, c.height)
                        .contains(QStringLiteral(", seem to stop after row %1 of %2 (step ").arg(verdict.rows).arg(c.height)))
            << matchingVerdictLine(verdict, c.height).toStdString();
    }
}

// Clean pictures give no sign: one calm throughout, one whose every channel
// turns rough at a row (a natural step in texture, which red shares), the
// same upside down, and pictures too small to search.
TEST(PayloadEnd, CleanPicturesShowNoStep)
{
    const QImage rough = calmPhoto(2000, 400, 3, 150);
    const QImage pictures[] = {calmPhoto(2000, 400, 2), rough, rough.mirrored(false, true),
                               calmPhoto(600, 6, 4), calmPhoto(10, 400, 4)};
    for (const QImage& picture : pictures) {
        const MatchingReport report = detectChangesOfOne(picture);
        const MatchingVerdict verdict = judgeChangesOfOne(report);
        EXPECT_EQ(verdict.verdict, Verdict::NoSign) << picture.width() << "x" << picture.height() << " step "
                                                    << report.end.strength << " at " << report.end.rows;
        EXPECT_EQ(verdict.rows, 0);
        EXPECT_TRUE(matchingVerdictLine(verdict, picture.height())
                        .startsWith(QStringLiteral("Changes of one: no sign of hidden data (step ")));
    }
}

// The thresholds: a step of 50 is possible, 100 likely, and 50 with blue
// smoother than red and green above it likely as well.
TEST(PayloadEnd, VerdictFromStepAndSmoothedBlue)
{
    struct Case {
        double strength, blueAbove;
        Verdict expected;
    };
    const Case cases[] = {
        {49.9, -0.5, Verdict::NoSign}, {50.0, 0.0, Verdict::Possible}, {99.0, -0.14, Verdict::Possible},
        {50.0, -0.15, Verdict::Likely}, {100.0, 0.2, Verdict::Likely},
    };
    for (const Case& c : cases) {
        MatchingReport report;
        report.end = {123, c.strength};
        report.blueHcfAboveEnd = c.blueAbove;
        const MatchingVerdict verdict = judgeChangesOfOne(report);
        EXPECT_EQ(verdict.verdict, c.expected) << c.strength << " " << c.blueAbove;
        EXPECT_EQ(verdict.rows, c.expected == Verdict::NoSign ? 0 : 123);
    }
}

} // namespace
