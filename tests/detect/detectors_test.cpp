// SPDX-License-Identifier: Apache-2.0
// The three detectors of lowest-bit replacement: their arithmetic on small
// pictures whose counts are known by hand, and their estimates on pictures
// before and after lowest bits are replaced.
#include "detect/Detection.h"
#include "util/Picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

// A picture whose blue samples are `blue` in row order; red and green are one
// grey, which no detector can take for hidden data.
QImage blueSamples(int width, int height, const std::vector<int>& blue)
{
    QImage picture = allocateFilledPicture(width, height, 128, 128, 128);
    for (int i = 0; i < width * height; ++i)
        picture.scanLine(i / width)[3 * (i % width)] = uint8_t(blue[size_t(i)]);
    return picture;
}

// Smooth light falling across the picture with a little sensor noise: the
// neighbour statistics of a photograph without its irregular histogram.
QImage photoLike(int width, int height, uint32_t seed)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double base = 40.0 + 150.0 * x / width + 30.0 * std::sin(y * 0.05);
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = uint8_t(std::clamp(std::lround(base + 10.0 * c + noise(rng)), 0L, 255L));
        }
    }
    return picture;
}

// Replaces the lowest blue bit of a random `fraction` of the pixels by a
// random bit, as a payload spread over the picture would.
void replaceBlueBits(QImage& picture, double fraction, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::bernoulli_distribution chosen(fraction);
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (chosen(rng))
                row[3 * x] = uint8_t((row[3 * x] & ~1) | (rng() & 1));
        }
    }
}

TEST(ChiSquare, ProbabilityOfKnownCounts)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> pairs; // counts of 2k and 2k+1 for k = 0, 1, …
        double expected;
    };
    const Case cases[] = {
        // Every pair even: statistic 0, the counts are as replacement leaves them.
        {"even pairs", {{50, 50}, {30, 30}, {8, 8}}, 1.0},
        // Four pairs of 60 and 40: statistic 4 × 100 / 50 = 8 with 3 degrees of freedom.
        {"four uneven pairs", {{60, 40}, {60, 40}, {60, 40}, {60, 40}}, 0.0460117},
        // The same with a pair expecting 4.5 samples, too few to count.
        {"sparse pair left out", {{60, 40}, {60, 40}, {60, 40}, {60, 40}, {9, 0}}, 0.0460117},
        // Two pairs of 30 and 10: statistic 10 with 1 degree of freedom.
        {"two pairs", {{30, 10}, {10, 30}}, 0.0015654},
        // One usable pair is no test at all.
        {"one pair", {{30, 10}, {2, 2}}, 0.0},
        {"empty", {}, 0.0},
    };
    for (const Case& c : cases) {
        std::array<uint32_t, 256> counts{};
        for (size_t k = 0; k < c.pairs.size(); ++k) {
            counts[2 * k] = uint32_t(c.pairs[k].first);
            counts[2 * k + 1] = uint32_t(c.pairs[k].second);
        }
        EXPECT_NEAR(chiSquareProbability(counts.data()), c.expected, 1e-6) << c.what;
    }
}

TEST(ChiSquare, PictureCountsPerChannel)
{
    // Blue holds four pairs of 60 and 40 samples; red and green one grey.
    std::vector<int> blue;
    for (int k = 0; k < 4; ++k) {
        blue.insert(blue.end(), 60, 2 * k);
        blue.insert(blue.end(), 40, 2 * k + 1);
    }
    const QImage picture = blueSamples(40, 10, blue);
    const ChiSquareAttack attack = chiSquareAttack(picture);
    EXPECT_NEAR(figure(attack.probability, Channel::Blue), 0.0460117, 1e-6);
    EXPECT_EQ(figure(attack.probability, Channel::Red), 0.0);
    EXPECT_EQ(figure(attack.probability, Channel::Green), 0.0);
}

TEST(ChiSquare, PrefixesShowWhereReplacedBitsEnd)
{
    // Blue only of even values, so clean rows count as far from even; the
    // first 30 of 100 rows carry random lowest bits.
    const int width = 1000, height = 100;
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uint8_t((rng() % 64) & ~1u);
            row[3 * x + 1] = row[3 * x + 2] = uint8_t(rng() % 64);
            if (y < 30)
                row[3 * x] |= uint8_t(rng() & 1);
        }
    }
    const ChiSquareAttack attack = chiSquareAttack(picture, 100);
    ASSERT_EQ(attack.prefixes.size(), 100u);
    EXPECT_EQ(attack.prefixes.front().pixels, width * height / 100);
    EXPECT_EQ(attack.prefixes.back().pixels, width * height);
    EXPECT_EQ(attack.prefixes.back().probability, attack.probability);
    for (size_t i = 0; i < 30; ++i)
        EXPECT_GT(figure(attack.prefixes[i].probability, Channel::Blue), 0.5) << "prefix " << i;
    const int64_t drop = firstPrefixBelow(attack, Channel::Blue);
    EXPECT_GT(drop, 30 * width);
    EXPECT_LE(drop, 40 * width);
    // Green's random values are even in count from the start.
    EXPECT_EQ(firstPrefixBelow(attack, Channel::Green, 1e-9), -1);
}

TEST(ChiSquare, PrefixStepsOfTinyAndEmptyPictures)
{
    const QImage three = allocateFilledPicture(3, 1, 1, 2, 3);
    EXPECT_EQ(chiSquareAttack(three, 100).prefixes.size(), 3u);
    const ChiSquareAttack none = chiSquareAttack(QImage());
    EXPECT_TRUE(none.prefixes.empty());
    EXPECT_EQ(firstPrefixBelow(none, Channel::Blue), -1);
}

// Eight pairs along a line of nine samples: two in X, four in Y, two equal
// (γ = 2), so (2/2) p² + (4 − 8) p + 4 − 2 = 0 and p = 2 − √2.
const std::vector<int> kPairLine = {10, 20, 13, 13, 31, 31, 20, 41, 10};

TEST(SamplePairs, CountsAndEstimateOfKnownPairs)
{
    for (bool vertical : {false, true}) {
        const QImage picture = vertical ? blueSamples(1, 9, kPairLine) : blueSamples(9, 1, kPairLine);
        const auto counts = samplePairCounts(picture);
        const SamplePairCounts& blue = counts[size_t(Channel::Blue)];
        EXPECT_EQ(blue.x, 2) << vertical;
        EXPECT_EQ(blue.y, 4) << vertical;
        EXPECT_EQ(blue.gamma, 2) << vertical;
        EXPECT_EQ(blue.pairs, 8) << vertical;
        EXPECT_NEAR(figure(samplePairsAnalysis(picture), Channel::Blue), 2.0 - std::sqrt(2.0), 1e-12) << vertical;
        // The grey channels: every pair equal, so the roots are 0 and 2.
        EXPECT_EQ(counts[size_t(Channel::Red)].gamma, 8) << vertical;
        EXPECT_EQ(figure(samplePairsAnalysis(picture), Channel::Red), 0.0) << vertical;
    }
}

TEST(SamplePairs, BothDirectionsCounted)
{
    // 3 × 2 samples: 2 × 2 horizontal and 3 vertical pairs.
    const QImage picture = blueSamples(3, 2, {0, 0, 0, 0, 0, 0});
    const SamplePairCounts blue = samplePairCounts(picture)[size_t(Channel::Blue)];
    EXPECT_EQ(blue.pairs, 7);
    EXPECT_EQ(blue.gamma, 7);
}

TEST(SamplePairs, EstimateFromCounts)
{
    struct Case {
        SamplePairCounts counts;
        double expected;
    };
    const Case cases[] = {
        {{2, 4, 2, 8}, 2.0 - std::sqrt(2.0)},
        {{0, 0, 0, 0}, 0.0},   // no pairs
        {{3, 5, 0, 8}, 1.0},   // no γ: linear, (6 − 8) p + 2 = 0
        {{4, 6, 0, 8}, 1.0},   // no γ and 2|X| = |P|: no finite root, taken as full replacement
        {{3, 3, 2, 8}, 0.0},   // X and Y equal: clean
    };
    for (const Case& c : cases)
        EXPECT_NEAR(samplePairsEstimate(c.counts), c.expected, 1e-12)
            << c.counts.x << " " << c.counts.y << " " << c.counts.gamma << " " << c.counts.pairs;
}

TEST(RsAnalysis, CountsOfKnownGroups)
{
    // The group 0 2 3 5 (noise 5): F1 on the middle gives 0 3 2 5 (noise 7,
    // regular); F−1 gives 0 1 4 5 (noise 5, unusable). All bits flipped it is
    // 1 3 2 4 (noise 5); F1 then gives 1 2 3 4 (noise 3, singular) and F−1
    // gives 1 4 1 4 (noise 9, regular). A fifth sample makes no group.
    const QImage picture = blueSamples(5, 2, {0, 2, 3, 5, 9, 0, 2, 3, 5, 9});
    const RsGroupCounts blue = rsGroupCounts(picture)[size_t(Channel::Blue)];
    EXPECT_EQ(blue.d0, 2);
    EXPECT_EQ(blue.dNegative0, 0);
    EXPECT_EQ(blue.d1, -2);
    EXPECT_EQ(blue.dNegative1, 2);
    // Grey groups: F1 on 128 128 gives 129 129, which leaves the noise at 2.
    const RsGroupCounts red = rsGroupCounts(picture)[size_t(Channel::Red)];
    EXPECT_EQ(red.d0, 2);
    EXPECT_EQ(red.dNegative0, 2);
}

TEST(RsAnalysis, EstimateFromCounts)
{
    struct Case {
        RsGroupCounts counts;
        double expected;
    };
    const Case cases[] = {
        // 2z² + 5z + 2 = 0: roots −0.5 and −2; z = −0.5 gives p = 0.5.
        {{0, -2, 1, -8}, 0.5},
        // Linear: −3z + 1 = 0, z = 1/3, p = (1/3) / (1/3 − 1/2) = −2.
        {{1, 0, -1, 1}, -2.0},
        // 8z² + 6z + 4 has no real root; in p it is 36p² − 44p + 16, whose
        // turning point is p = 11/18.
        {{2, -2, 2, -16}, 11.0 / 18.0},
        // The mask and its negative agree: clean.
        {{5, 5, 3, 1}, 0.0},
        // No usable group at all.
        {{0, 0, 0, 0}, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(rsEstimate(c.counts), c.expected, 1e-12)
            << c.counts.d0 << " " << c.counts.dNegative0 << " " << c.counts.d1 << " " << c.counts.dNegative1;
}

// Both estimators on pictures before and after a share of their blue bits
// is replaced; red and green are never touched.
TEST(Estimators, FollowTheReplacedShare)
{
    struct Case {
        const char* what;
        double replaced;
        double low, high;
    };
    const Case cases[] = {
        {"clean", 0.0, -0.03, 0.03},
        {"a quarter", 0.25, 0.17, 0.33},
        {"half", 0.5, 0.42, 0.58},
        {"all", 1.0, 0.9, 1.1},
    };
    for (const Case& c : cases) {
        QImage picture = photoLike(400, 300, 11);
        replaceBlueBits(picture, c.replaced, 12);
        const DetectionReport report = detectHiddenData(picture);
        for (const auto& [name, figures] : {std::pair{"sample pairs", report.samplePairs}, std::pair{"RS", report.rs}}) {
            EXPECT_GE(figure(figures, Channel::Blue), c.low) << c.what << ", " << name;
            EXPECT_LE(figure(figures, Channel::Blue), c.high) << c.what << ", " << name;
            EXPECT_NEAR(figure(figures, Channel::Red), 0.0, 0.03) << c.what << ", " << name;
            EXPECT_NEAR(figure(figures, Channel::Green), 0.0, 0.03) << c.what << ", " << name;
        }
    }
}

TEST(Estimators, SmoothGradientIsClean)
{
    // Every value once per 16 columns, no noise at all.
    QImage picture = allocatePicture(4096, 8);
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = uint8_t(x / 16);
    }
    const DetectionReport report = detectHiddenData(picture);
    for (Channel channel : kChannels) {
        EXPECT_NEAR(figure(report.samplePairs, channel), 0.0, 0.02) << channelName(channel);
        EXPECT_NEAR(figure(report.rs, channel), 0.0, 0.02) << channelName(channel);
    }
}

TEST(Estimators, OtherFormatsAreReadAsTheirColours)
{
    QImage picture = photoLike(200, 100, 3);
    replaceBlueBits(picture, 1.0, 4);
    const QImage rgb32 = picture.convertToFormat(QImage::Format_RGB32);
    const DetectionReport working = detectHiddenData(picture);
    const DetectionReport converted = detectHiddenData(rgb32);
    EXPECT_EQ(working.samplePairs, converted.samplePairs);
    EXPECT_EQ(working.rs, converted.rs);
    EXPECT_EQ(working.chiSquare.probability, converted.chiSquare.probability);
}

} // namespace
