// SPDX-License-Identifier: Apache-2.0
// The calibrated HCF-COM of the adjacency histogram (Ker, "Steganalysis of
// LSB matching in grayscale images", IEEE Signal Processing Letters, 2005),
// per channel. One pass over the rows fills, for each channel, the histogram
// of horizontally adjacent pairs of the picture and of the picture halved by
// averaging 2×2 blocks; two-dimensional Fourier transforms of the six
// histograms give the figures.
#include "detect/Detection.h"

#include "ChannelPlanes.h"
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

struct Histograms {
    std::vector<uint32_t> full = std::vector<uint32_t>(size_t(kValues) * kValues);
    std::vector<uint32_t> halved = std::vector<uint32_t>(size_t(kValues) * kValues);
    int64_t fullPairs = 0;
    int64_t halvedPairs = 0;
};

void addPairs(const uint8_t* samples, int n, std::vector<uint32_t>& histogram)
{
    for (int x = 0; x + 1 < n; ++x)
        ++histogram[size_t(samples[x]) * kValues + samples[x + 1]];
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

ChannelFigures calibratedHcfCom(const QImage& input, int rows)
{
    ChannelFigures ratio{1.0, 1.0, 1.0};
    const QImage picture = inWorkingFormat(input);
    if (picture.isNull())
        return ratio;
    const int width = picture.width();
    const int height = rows < 0 ? picture.height() : std::min(rows, picture.height());
    const int halfWidth = width / 2;
    std::array<Histograms, kChannelCount> histograms;
    ChannelPlanes planes[2] = {ChannelPlanes(width), ChannelPlanes(width)};
    std::vector<uint8_t> halved(size_t(std::max(halfWidth, 1)));
    for (int y = 0; y < height; ++y) {
        ChannelPlanes& current = planes[y & 1];
        current.load(picture.constScanLine(y));
        for (Channel channel : kChannels) {
            Histograms& h = histograms[size_t(channel)];
            addPairs(current.channel(channel), width, h.full);
            if ((y & 1) == 0 || halfWidth < 2)
                continue;
            const uint8_t* above = planes[0].channel(channel);
            const uint8_t* below = current.channel(channel);
            for (int x = 0; x < halfWidth; ++x)
                halved[size_t(x)] = uint8_t((above[2 * x] + above[2 * x + 1] + below[2 * x] + below[2 * x + 1]) / 4);
            addPairs(halved.data(), halfWidth, h.halved);
        }
    }
    const int64_t fullPairs = int64_t(width - 1) * height;
    const int64_t halvedPairs = int64_t(std::max(halfWidth - 1, 0)) * (height / 2);
    if (fullPairs < kFewestPairs || halvedPairs < kFewestPairs / 4)
        return ratio;
    for (Channel channel : kChannels) {
        const Histograms& h = histograms[size_t(channel)];
        const double calibration = centreOfMass(h.halved);
        if (calibration > 0.0)
            figure(ratio, channel) = centreOfMass(h.full) / calibration;
    }
    return ratio;
}

} // namespace ostrel
