// Sample pairs analysis (Dumitrescu, Wu and Wang, "Detection of LSB
// steganography via sample pair analysis", IEEE Transactions on Signal
// Processing, 2003).
//
// For a pair (u, v) of neighbouring samples let X hold the pairs where v is
// even and u < v or v is odd and u > v, Y those where v is even and u > v or v
// is odd and u < v, and γ those where u and v differ at most in the lowest
// bit. In natural pictures X and Y are about equally large; replacing lowest
// bits moves pairs from X to Y. With P pairs in all, the fraction p of
// samples whose lowest bit was replaced is the smaller root of
//     (γ / 2) p² + (2|X| − |P|) p + |Y| − |X| = 0.
#include "detect/Detection.h"
#include "detect/Quadratic.h"
#include "detect/WorkingPicture.h"

#include <cmath>

namespace ostrel {

namespace {

inline void addPair(SamplePairCounts& counts, int u, int v)
{
    const bool vOdd = v & 1;
    counts.x += vOdd ? u > v : u < v;
    counts.y += vOdd ? u < v : u > v;
    counts.gamma += (u >> 1) == (v >> 1);
}

} // namespace

double samplePairsEstimate(const SamplePairCounts& counts)
{
    if (counts.pairs == 0)
        return 0.0;
    const double a = double(counts.gamma) / 2.0;
    const double b = 2.0 * double(counts.x) - double(counts.pairs);
    const double c = double(counts.y) - double(counts.x);
    // The paper takes the smaller root; both are positive when Y outweighs X,
    // and the one nearest zero is the same one.
    const double p = quadraticRoots(a, b, c).first;
    return std::isfinite(p) ? p : 1.0;
}

std::array<SamplePairCounts, kChannelCount> samplePairCounts(const QImage& input)
{
    std::array<SamplePairCounts, kChannelCount> counts{}; // by byte offset until the end
    const QImage picture = inWorkingFormat(input);
    if (picture.isNull())
        return counts;
    const int width = picture.width();
    const int height = picture.height();
    const uint8_t* above = nullptr;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.constScanLine(y);
        for (int offset = 0; offset < kChannelCount; ++offset) {
            SamplePairCounts& c = counts[size_t(offset)];
            const uint8_t* samples = row + offset;
            for (int x = 0; x + 1 < width; ++x)
                addPair(c, samples[3 * x], samples[3 * x + 3]);
            if (above) {
                const uint8_t* upper = above + offset;
                for (int x = 0; x < width; ++x)
                    addPair(c, upper[3 * x], samples[3 * x]);
            }
        }
        above = row;
    }
    const int64_t pairs = int64_t(width - 1) * height + int64_t(width) * (height - 1);
    for (SamplePairCounts& c : counts)
        c.pairs = pairs;
    return inChannelOrder(counts);
}

ChannelFigures samplePairsAnalysis(const QImage& picture)
{
    const std::array<SamplePairCounts, kChannelCount> counts = samplePairCounts(picture);
    ChannelFigures result{};
    for (Channel channel : kChannels)
        figure(result, channel) = samplePairsEstimate(counts[size_t(channel)]);
    return result;
}

} // namespace ostrel
