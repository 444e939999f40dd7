// SPDX-License-Identifier: Apache-2.0
// RS analysis (Fridrich, Goljan and Du, "Reliable detection of LSB
// steganography in color and grayscale images", 2001).
//
// A group of four neighbouring samples has a noise f = Σ|x(i+1) − x(i)|. The
// flip F1 swaps 2k and 2k+1, the shifted flip F−1 swaps 2k−1 and 2k. Applied
// to the middle two samples (mask 0 1 1 0, or its negative) a flip makes the
// group regular when it raises f and singular when it lowers f. In natural
// pictures both flips raise f about equally often; replacing lowest bits
// pulls the counts for F1 together and drives those for F−1 apart. Measured
// on the picture (rate p/2 of flipped bits) and on the picture with every
// lowest bit flipped (rate 1 − p/2), the four differences d = R − S give
//     2(d1 + d0) z² + (d−0 − d−1 − d1 − 3 d0) z + d0 − d−0 = 0,
// whose root z nearest zero yields p = z / (z − 1/2).

#include "detect/Detection.h"
#include "Quadratic.h"
#include "RowCounters.h"
#include "WorkingPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ostrel {

namespace {

constexpr int kGroupSize = 4;

// Sums and samples of 16 bits let the vector code hold twice as many groups
// per instruction as 32 would; a noise is at most 3 × 256 and no chunk sums
// to more than it can hold.
using Sample = int16_t;
constexpr int kChunk = 32767;

inline Sample flip(Sample value) { return Sample(value ^ 1); }
inline Sample shiftedFlip(Sample value) { return Sample(((value + 1) ^ 1) - 1); }

inline Sample noise(Sample a, Sample b, Sample c, Sample d)
{
    return Sample(std::abs(b - a) + std::abs(c - b) + std::abs(d - c));
}

inline Sample sign(int value) { return Sample((value > 0) - (value < 0)); }

// Over `groups` groups of four samples side by side. Branch-free, so that it
// runs as vector code.
void addGroups(const uint8_t* samples, int groups, RsGroupCounts& counts)
{
    for (int start = 0; start < groups; start += kChunk) {
        const int end = std::min(groups, start + kChunk);
        Sample d0 = 0, dNegative0 = 0, d1 = 0, dNegative1 = 0;
        for (int g = start; g < end; ++g) {
            const Sample x0 = samples[4 * g], x1 = samples[4 * g + 1], x2 = samples[4 * g + 2], x3 = samples[4 * g + 3];
            const Sample f = noise(x0, x1, x2, x3);
            d0 = Sample(d0 + sign(noise(x0, flip(x1), flip(x2), x3) - f));
            dNegative0 = Sample(dNegative0 + sign(noise(x0, shiftedFlip(x1), shiftedFlip(x2), x3) - f));
            // Every bit flipped; the mask's flip then restores the middle samples.
            const Sample y0 = flip(x0), y1 = flip(x1), y2 = flip(x2), y3 = flip(x3);
            const Sample h = noise(y0, y1, y2, y3);
            d1 = Sample(d1 + sign(noise(y0, x1, x2, y3) - h));
            dNegative1 = Sample(dNegative1 + sign(noise(y0, shiftedFlip(y1), shiftedFlip(y2), y3) - h));
        }
        counts.d0 += d0;
        counts.dNegative0 += dNegative0;
        counts.d1 += d1;
        counts.dNegative1 += dNegative1;
    }
}

} // namespace

double rsEstimate(const RsGroupCounts& counts)
{
    const double d0 = double(counts.d0), d1 = double(counts.d1);
    const double dn0 = double(counts.dNegative0), dn1 = double(counts.dNegative1);
    const double a = 2.0 * (d1 + d0);
    const double b = dn0 - dn1 - d1 - 3.0 * d0;
    const double c = d0 - dn0;
    // Solved for p itself (z = p / (2(p − 1)) put into the equation): near
    // full replacement the roots in z run off to infinity and noise leaves
    // no real root, while in p they meet near 1, where the turning point
    // still lands.
    const auto [first, second] = quadraticRoots(a + 2.0 * b + 4.0 * c, -2.0 * b - 8.0 * c, 4.0 * c);
    // The paper's choice, the root z nearest zero, in terms of p.
    const auto zSize = [](double p) { return std::fabs(p / (p - 1.0)); };
    const double p = zSize(second) < zSize(first) ? second : first;
    return std::isfinite(p) ? p : 1.0;
}

void RsCounter::add(const RowView& view)
{
    const int groups = m_width / kGroupSize;
    for (Channel channel : kChannels)
        addGroups(view.planes->channel(channel), groups, m_counts[size_t(channel)]);
}

std::array<RsGroupCounts, kChannelCount> rsGroupCounts(PixelRows& rows)
{
    if (!hasPixels(rows))
        return {};
    RsCounter counter(rows.width());
    feedRows(rows, rows.height(), counter);
    return counter.result();
}

std::array<RsGroupCounts, kChannelCount> rsGroupCounts(const QImage& input)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return rsGroupCounts(rows);
}

ChannelFigures rsAnalysis(PixelRows& rows)
{
    return figuresFromCounts(rsGroupCounts(rows), [](const auto& counts) { return rsEstimate(counts); });
}

ChannelFigures rsAnalysis(const QImage& picture)
{
    return figuresFromCounts(rsGroupCounts(picture), [](const auto& counts) { return rsEstimate(counts); });
}

} // namespace ostrel
