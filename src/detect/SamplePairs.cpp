// SPDX-License-Identifier: Apache-2.0
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
#include "Quadratic.h"
#include "RowCounters.h"
#include "WorkingPicture.h"

#include <algorithm>
#include <cmath>

namespace ostrel {

namespace {

// Over n pairs (u[i], v[i]). Branch-free, so that it runs as vector code.
using PairSums = SamplePairCounter::Sums;

// Sums of 16 bits let the vector code hold twice as many pairs per
// instruction as sums of 32; no chunk sums to more than it can hold.
constexpr int kChunk = 32767;

void addPairs(const uint8_t* u, const uint8_t* v, int n, PairSums& sums)
{
    for (int start = 0; start < n; start += kChunk) {
        const int end = std::min(n, start + kChunk);
        int16_t turn = 0, differing = 0, gamma = 0;
        for (int i = start; i < end; ++i) {
            const int16_t a = u[i], b = v[i];
            const int16_t rising = int16_t((b > a) - (b < a));
            turn = int16_t(turn + ((b & 1) ? -rising : rising));
            differing = int16_t(differing + (a != b));
            gamma = int16_t(gamma + ((a ^ b) < 2));
        }
        sums.turn += turn;
        sums.differing += differing;
        sums.gamma += gamma;
    }
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

void SamplePairCounter::add(const RowView& view)
{
    for (Channel channel : kChannels) {
        PairSums& s = m_sums[size_t(channel)];
        const uint8_t* samples = view.planes->channel(channel);
        addPairs(samples, samples + 1, m_width - 1, s);
        if (view.above)
            addPairs(view.above->channel(channel), samples, m_width, s);
    }
}

std::array<SamplePairCounts, kChannelCount> SamplePairCounter::result(int height) const
{
    const int64_t pairs = int64_t(m_width - 1) * height + int64_t(m_width) * (height - 1);
    std::array<SamplePairCounts, kChannelCount> counts{};
    for (Channel channel : kChannels) {
        const PairSums& s = m_sums[size_t(channel)];
        SamplePairCounts& c = counts[size_t(channel)];
        c.x = (s.differing + s.turn) / 2;
        c.y = (s.differing - s.turn) / 2;
        c.gamma = s.gamma;
        c.pairs = pairs;
    }
    return counts;
}

std::array<SamplePairCounts, kChannelCount> samplePairCounts(PixelRows& rows)
{
    if (!hasPixels(rows))
        return {};
    SamplePairCounter counter(rows.width());
    feedRows(rows, rows.height(), counter);
    return counter.result(rows.height());
}

std::array<SamplePairCounts, kChannelCount> samplePairCounts(const QImage& input)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return samplePairCounts(rows);
}

ChannelFigures samplePairsAnalysis(PixelRows& rows)
{
    return figuresFromCounts(samplePairCounts(rows), [](const auto& counts) { return samplePairsEstimate(counts); });
}

ChannelFigures samplePairsAnalysis(const QImage& picture)
{
    return figuresFromCounts(samplePairCounts(picture), [](const auto& counts) { return samplePairsEstimate(counts); });
}

} // namespace ostrel
