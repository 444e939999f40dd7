// SPDX-License-Identifier: Apache-2.0
// The calibrated HCF-COM of the adjacency histogram (Ker, "Steganalysis of
// LSB matching in grayscale images", IEEE Signal Processing Letters, 2005),
// per channel. One pass over the rows fills, for each channel, the histogram
// of horizontally adjacent pairs of the picture and of the picture halved by
// averaging 2×2 blocks; two-dimensional Fourier transforms of the six
// histograms give the figures.
#include "detect/Detection.h"
#include "RowCounters.h"
#include "WorkingPicture.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace ostrel {

namespace {

constexpr int kValues = 256;
constexpr int kHalf = kValues / 2; // the frequencies that count: 0..128
// A picture needs a few pairs per bin of its histogram to say anything.
constexpr int64_t kFewestPairs = 4096;

using Complex = std::complex<double>;

// In-place radix-2 transform of `n` values `stride` apart.
void fft(Complex* data, int n, int stride)
{
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[i * stride], data[j * stride]);
    }
    for (int length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * std::numbers::pi / length;
        const Complex step(std::cos(angle), std::sin(angle));
        for (int start = 0; start < n; start += length) {
            Complex w(1.0, 0.0);
            for (int k = 0; k < length / 2; ++k) {
                Complex& a = data[(start + k) * stride];
                Complex& b = data[(start + k + length / 2) * stride];
                const Complex t = w * b;
                b = a - t;
                a += t;
                w *= step;
            }
        }
    }
}

void addPairs(const uint8_t* samples, int n, std::vector<uint32_t>& histogram)
{
    for (int x = 0; x + 1 < n; ++x)
        ++histogram[size_t(samples[x]) * kValues + samples[x + 1]];
}

// Enough pairs in both histograms over rows [0, rows) for the figures to
// say anything.
bool enoughPairs(int width, int rows)
{
    const int64_t fullPairs = int64_t(width - 1) * rows;
    const int64_t halvedPairs = int64_t(std::max(width / 2 - 1, 0)) * (rows / 2);
    return fullPairs >= kFewestPairs && halvedPairs >= kFewestPairs / 4;
}

double centreOfMass(const std::vector<uint32_t>& histogram)
{
    return hcfCentreOfMass(std::vector<double>(histogram.begin(), histogram.end()));
}

} // namespace

double hcfCentreOfMass(const std::vector<double>& counts)
{
    if (counts.size() != size_t(kValues) * kValues)
        return 0.0;
    std::vector<Complex> h(counts.begin(), counts.end());
    // Rows first; of the columns only the frequencies 0..128 are needed.
    for (int u = 0; u < kValues; ++u)
        fft(h.data() + size_t(u) * kValues, kValues, 1);
    for (int l = 0; l <= kHalf; ++l)
        fft(h.data() + l, kValues, kValues);
    double weighted = 0.0, total = 0.0;
    for (int k = 0; k <= kHalf; ++k) {
        for (int l = 0; l <= kHalf; ++l) {
            const double magnitude = std::abs(h[size_t(k) * kValues + size_t(l)]);
            weighted += double(k + l) * magnitude;
            total += magnitude;
        }
    }
    return total > 0.0 ? weighted / total : 0.0;
}

HcfCounter::HcfCounter(int width) : m_width(width), m_halfWidth(width / 2), m_halvedRow(size_t(std::max(width / 2, 1)))
{
    for (Channel channel : kChannels) {
        m_full[size_t(channel)].assign(size_t(kValues) * kValues, 0);
        m_halved[size_t(channel)].assign(size_t(kValues) * kValues, 0);
    }
}

void HcfCounter::add(const RowView& view)
{
    for (Channel channel : kChannels) {
        addPairs(view.planes->channel(channel), m_width, m_full[size_t(channel)]);
        // The halved picture's row y / 2 comes from rows y − 1 and y.
        if ((view.y & 1) == 0 || m_halfWidth < 2)
            continue;
        const uint8_t* above = view.above->channel(channel);
        const uint8_t* below = view.planes->channel(channel);
        uint8_t* halved = m_halvedRow.data();
        for (int x = 0; x < m_halfWidth; ++x)
            halved[x] = uint8_t((above[2 * x] + above[2 * x + 1] + below[2 * x] + below[2 * x + 1]) / 4);
        addPairs(halved, m_halfWidth, m_halved[size_t(channel)]);
    }
}

ChannelFigures HcfCounter::ratio(int rows) const
{
    ChannelFigures ratio{1.0, 1.0, 1.0};
    if (!enoughPairs(m_width, rows))
        return ratio;
    for (Channel channel : kChannels) {
        const double calibration = centreOfMass(m_halved[size_t(channel)]);
        if (calibration > 0.0)
            figure(ratio, channel) = centreOfMass(m_full[size_t(channel)]) / calibration;
    }
    return ratio;
}

ChannelFigures calibratedHcfComAbove(PixelRows& rows, int count)
{
    const int height = std::min(count, rows.height());
    if (!hasPixels(rows) || !enoughPairs(rows.width(), height))
        return {1.0, 1.0, 1.0};
    HcfCounter counter(rows.width());
    feedRows(rows, height, counter);
    return counter.ratio(height);
}

ChannelFigures calibratedHcfCom(PixelRows& rows, int count)
{
    return calibratedHcfComAbove(rows, count < 0 ? rows.height() : count);
}

ChannelFigures calibratedHcfCom(const QImage& input, int rows)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows pictureRows = PictureRows::readOnly(picture);
    return calibratedHcfCom(pictureRows, rows);
}

} // namespace ostrel
