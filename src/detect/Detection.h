// SPDX-License-Identifier: Apache-2.0
#pragma once
// Three published detectors of least-significant-bit replacement, each run on
// the red, green and blue channels of a picture in the working format in one
// pass over its rows. They return numbers; Verdict.h turns them into words.
//
// Replacing the lowest bit of a sample moves values only inside their pair
// (2k, 2k+1). That evens out the counts of the two values of each pair (which
// the chi-square attack sees) and breaks the link between neighbouring
// samples' values and parities (which sample pairs analysis and RS analysis
// measure and turn into an estimate of how many samples were replaced).
#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

namespace ostrel {

class PixelRows;

enum class Channel { Red = 0, Green = 1, Blue = 2 };
constexpr int kChannelCount = 3;
constexpr std::array<Channel, kChannelCount> kChannels = {Channel::Red, Channel::Green, Channel::Blue};

// One number per channel, indexed by Channel.
using ChannelFigures = std::array<double, kChannelCount>;

inline double& figure(ChannelFigures& figures, Channel channel) { return figures[size_t(channel)]; }
inline double figure(const ChannelFigures& figures, Channel channel) { return figures[size_t(channel)]; }

// Each channel's figure from its own counts.
template <typename Counts, typename Estimate>
ChannelFigures figuresFromCounts(const std::array<Counts, kChannelCount>& counts, Estimate estimate)
{
    ChannelFigures result{};
    for (Channel channel : kChannels)
        figure(result, channel) = estimate(counts[size_t(channel)]);
    return result;
}

// "Red", "Green" or "Blue".
const char* channelName(Channel channel);

struct ChiSquarePrefix {
    int64_t pixels = 0; // the first `pixels` pixels in row order
    ChannelFigures probability{};
};

struct ChiSquareAttack {
    ChannelFigures probability{};         // over the whole picture
    std::vector<ChiSquarePrefix> prefixes; // growing prefixes; the last is the whole picture
};

// The chi-square attack of Westfeld and Pfitzmann ("Attacks on Steganographic
// Systems", 2000): for each channel the probability that the counts of the
// values 2k and 2k+1 have been evened out, over the whole picture and over
// `prefixSteps` growing prefixes of its pixels in row order (fewer for a
// picture of fewer pixels), so that the end of a payload written from the
// first pixel on shows as the point where the probability falls.
constexpr int kChiSquarePrefixSteps = 100;
ChiSquareAttack chiSquareAttack(const QImage& picture, int prefixSteps = kChiSquarePrefixSteps);
ChiSquareAttack chiSquareAttack(PixelRows& rows, int prefixSteps = kChiSquarePrefixSteps);

// The pixel count of the first prefix whose probability for the channel is
// below `level`, or -1 when none is.
int64_t firstPrefixBelow(const ChiSquareAttack& attack, Channel channel, double level = 0.5);

// The chi-square probability of one channel's value counts (256 of them):
// the upper tail of the chi-square distribution at the statistic of the pairs
// that hold enough samples for the test, 0 when fewer than two pairs do.
double chiSquareProbability(const uint32_t* counts);

// Sample pairs analysis of Dumitrescu, Wu and Wang ("Detection of LSB
// steganography via sample pair analysis", 2003), over horizontally and
// vertically adjacent samples: the estimated fraction of samples whose lowest
// bit was replaced, about 0 for none and 1 for every sample. Clean pictures
// may come out slightly below 0 and full replacement slightly above 1.
ChannelFigures samplePairsAnalysis(const QImage& picture);
ChannelFigures samplePairsAnalysis(PixelRows& rows);

// The pair counts behind it, per channel (indexed by Channel), and the
// estimate from them.
struct SamplePairCounts {
    int64_t x = 0;     // v even and u < v, or v odd and u > v
    int64_t y = 0;     // v even and u > v, or v odd and u < v
    int64_t gamma = 0; // u and v differ at most in the lowest bit
    int64_t pairs = 0;
};
std::array<SamplePairCounts, kChannelCount> samplePairCounts(const QImage& picture);
std::array<SamplePairCounts, kChannelCount> samplePairCounts(PixelRows& rows);
double samplePairsEstimate(const SamplePairCounts& counts);

// RS analysis of Fridrich, Goljan and Du ("Reliable detection of LSB
// steganography in color and grayscale images", 2001), on groups of four
// horizontally adjacent samples with the mask 0 1 1 0: the same estimate from
// the counts of regular and singular groups.
ChannelFigures rsAnalysis(const QImage& picture);
ChannelFigures rsAnalysis(PixelRows& rows);

// Regular minus singular groups, for the mask and its negative, on the
// picture as it is and with every lowest bit flipped; per channel, and the
// estimate from them.
struct RsGroupCounts {
    int64_t d0 = 0;
    int64_t dNegative0 = 0;
    int64_t d1 = 0;
    int64_t dNegative1 = 0;
};
std::array<RsGroupCounts, kChannelCount> rsGroupCounts(const QImage& picture);
std::array<RsGroupCounts, kChannelCount> rsGroupCounts(PixelRows& rows);
double rsEstimate(const RsGroupCounts& counts);

// Detectors of changes of one (LSB matching), which moves a sample up or
// down by one instead of replacing its lowest bit. That keeps the pairs of
// values (2k, 2k+1) as they were, so the three above cannot see it, but it
// adds noise: it smooths the histogram of neighbouring pairs, and where a
// payload is written from the first pixel on, the rows it covers are noisier
// than those after it.

// The calibrated centre of mass of the histogram characteristic function of
// the adjacency histogram (Ker, "Steganalysis of LSB matching in grayscale
// images", IEEE Signal Processing Letters, 2005). The adjacency histogram
// counts horizontally adjacent pairs of values (u, v); the centre of mass of
// the magnitudes of its two-dimensional Fourier transform,
//     C = Σ (k + l) |H(k, l)| / Σ |H(k, l)|  over 0 <= k, l <= 128,
// falls when added noise smooths the histogram. The same figure of the
// picture halved in both directions (each 2×2 block averaged, rounded down)
// hardly moves, because averaging four samples divides the noise, so the
// ratio of the two is about 1 for natural pictures and falls with changes of
// one. Per channel, over the rows [0, rows) (all rows when `rows` is -1);
// 1 where there are too few pixels to count.
ChannelFigures calibratedHcfCom(const QImage& picture, int rows = -1);
ChannelFigures calibratedHcfCom(PixelRows& rows, int count = -1);

// The uncalibrated centre of mass of one 256 × 256 adjacency histogram
// (counts[u * 256 + v]), 0 for an empty one.
double hcfCentreOfMass(const std::vector<double>& counts);

// Where a payload written from the first pixel on seems to end. Each row
// gets a noise figure of blue against red: over the pixels where red and
// green are smooth, the mean of the clipped magnitude of the horizontal
// high-pass residual (2s(x) − s(x−1) − s(x+1)) of blue minus green, less the
// same of red minus green. Green and red cancel most
// of what the picture's content gives to blue, and the payload's changes of
// one raise the figure of the rows it covers. A step search finds the row
// where the figure steps down most: for each candidate row the mean of the
// rows before it (at most `window` of them) less the mean of as many after
// it, in units of the figure's row-to-row noise. `rows` is the count of rows
// before the step (the changes seem to stop within row `rows` − 1), and
// `strength` that standardized step; rows is 0 and strength 0 for pictures
// too small to search.
struct PayloadEnd {
    int rows = 0;
    double strength = 0.0;
};
PayloadEnd payloadEnd(const QImage& picture);
PayloadEnd payloadEnd(PixelRows& rows);

// The per-row noise figure behind it, top row first.
std::vector<double> blueRowNoise(const QImage& picture);
std::vector<double> blueRowNoise(PixelRows& rows);

// The detectors of changes of one on one picture: the calibrated HCF-COM of
// each channel over the whole picture, the step search, and blue's
// calibrated HCF-COM over the rows above the step less the mean of red's and
// green's over the same rows (about 0 for natural pictures, below 0 where
// blue alone took changes of one).
struct MatchingReport {
    ChannelFigures hcfCom{};
    PayloadEnd end;
    double blueHcfAboveEnd = 0.0;
};
MatchingReport detectChangesOfOne(const QImage& picture);
MatchingReport detectChangesOfOne(PixelRows& rows);

// All of them on one picture.
struct DetectionReport {
    ChiSquareAttack chiSquare;
    ChannelFigures samplePairs{};
    ChannelFigures rs{};
    MatchingReport matching;
};

DetectionReport detectHiddenData(const QImage& picture);

// Each detector above also runs on rows visited from the top (a picture in
// memory, or a file read a band at a time), with the same results as on the
// whole picture. detectHiddenData takes every figure from one pass over the
// rows, and a second over the rows above the step of changes of one where
// it finds one (detectChangesOfOne does the same). Where the rows could not
// all be had (rows.intact() false afterwards) the report is void.
DetectionReport detectHiddenData(PixelRows& rows);

} // namespace ostrel
