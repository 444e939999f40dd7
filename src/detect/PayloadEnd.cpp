// SPDX-License-Identifier: Apache-2.0
// Where a payload of changes of one, written into blue from the first pixel
// on, seems to end: a noise figure per row of blue against red, and a search
// for the row where it steps down.
//
// A change of one in blue adds noise of variance 3 to the high-pass residual
// 2b(x) − b(x−1) − b(x+1) when half the pixels change. Counting only pixels
// where red and green are smooth and subtracting green's residual takes away
// most of the picture's texture, which the channels share; clipping keeps
// the rest of the edges from drowning the noise; red minus green, which the
// payload never touches, takes away what is left of the content's changes
// from row to row.
#include "detect/Detection.h"
#include "RowCounters.h"
#include "WorkingPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ostrel {

namespace {

// Residual magnitudes above this are texture, not noise of one.
constexpr int kClip = 6;
// The step compares at most this many rows on either side of it.
constexpr int kWindow = 64;
// A figure's row-to-row noise is never taken as smaller than this, so that a
// drawn picture whose rows are all alike does not divide by zero.
constexpr double kLeastNoise = 0.02;
constexpr int kFewestRows = 8;
constexpr int kFewestColumns = 16;

// Only where red and green are smooth: there a change of one stands out of
// the picture's own noise, and the texture of edges, which the channels do
// not share exactly, stays out of the figure.
constexpr int kSmooth = 2;

bool smooth(const uint8_t* s, int x) { return std::abs(2 * s[x] - s[x - 1] - s[x + 1]) <= kSmooth; }

int clippedResidual(const uint8_t* s, const uint8_t* g, int x)
{
    const int residual = (2 * s[x] - s[x - 1] - s[x + 1]) - (2 * g[x] - g[x - 1] - g[x + 1]);
    return std::min(std::abs(residual), kClip);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

RowNoiseCounter::RowNoiseCounter(int width, int height) : m_width(width)
{
    if (width >= 3)
        m_noise.reserve(size_t(height));
}

void RowNoiseCounter::add(const RowView& view)
{
    if (m_width < 3)
        return;
    const uint8_t* red = view.planes->channel(Channel::Red);
    const uint8_t* green = view.planes->channel(Channel::Green);
    const uint8_t* blue = view.planes->channel(Channel::Blue);
    int sum = 0;
    int count = 0;
    for (int x = 1; x + 1 < m_width; ++x) {
        if (!smooth(green, x) || !smooth(red, x))
            continue;
        ++count;
        sum += clippedResidual(blue, green, x) - clippedResidual(red, green, x);
    }
    m_noise.push_back(count > 0 ? double(sum) / double(count) : 0.0);
}

std::vector<double> blueRowNoise(PixelRows& rows)
{
    if (!hasPixels(rows) || rows.width() < 3)
        return {};
    RowNoiseCounter counter(rows.width(), rows.height());
    feedRows(rows, rows.height(), counter);
    return counter.result();
}

std::vector<double> blueRowNoise(const QImage& input)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return blueRowNoise(rows);
}

PayloadEnd payloadEndOfNoise(const std::vector<double>& noise, int width, int height)
{
    PayloadEnd end;
    if (width < kFewestColumns || height < kFewestRows || int(noise.size()) != height)
        return end;
    // The spread of a single row's figure about its neighbours', from the
    // median of the steps between rows, which a few edges do not inflate.
    std::vector<double> steps;
    steps.reserve(size_t(height));
    for (int y = 1; y < height; ++y)
        steps.push_back(std::fabs(noise[size_t(y)] - noise[size_t(y - 1)]));
    const double spread = std::max(1.4826 * median(steps) / std::sqrt(2.0), kLeastNoise);
    std::vector<double> sums(size_t(height) + 1, 0.0);
    for (int y = 0; y < height; ++y)
        sums[size_t(y) + 1] = sums[size_t(y)] + noise[size_t(y)];
    for (int rows = 2; rows <= height - 2; ++rows) {
        const int before = std::min(rows, kWindow);
        const int after = std::min(height - rows, kWindow);
        const double meanBefore = (sums[size_t(rows)] - sums[size_t(rows - before)]) / before;
        const double meanAfter = (sums[size_t(rows + after)] - sums[size_t(rows)]) / after;
        const double strength = (meanBefore - meanAfter) / (spread * std::sqrt(1.0 / before + 1.0 / after));
        if (strength > end.strength) {
            end.rows = rows;
            end.strength = strength;
        }
    }
    return end;
}

PayloadEnd payloadEnd(PixelRows& rows)
{
    if (rows.width() < kFewestColumns || rows.height() < kFewestRows)
        return {};
    return payloadEndOfNoise(blueRowNoise(rows), rows.width(), rows.height());
}

PayloadEnd payloadEnd(const QImage& input)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return payloadEnd(rows);
}

MatchingReport matchingReport(const ChannelFigures& hcfCom, const std::vector<double>& noise, PixelRows& rows)
{
    MatchingReport report;
    report.hcfCom = hcfCom;
    report.end = payloadEndOfNoise(noise, rows.width(), rows.height());
    if (report.end.rows > 0) {
        // A second pass, over the rows above the step only, which no figure
        // of the first could stand in for: where the step falls is known only
        // once every row has been seen.
        const ChannelFigures above = calibratedHcfComAbove(rows, report.end.rows);
        report.blueHcfAboveEnd = figure(above, Channel::Blue)
            - (figure(above, Channel::Red) + figure(above, Channel::Green)) / 2.0;
    }
    return report;
}

MatchingReport detectChangesOfOne(PixelRows& rows)
{
    if (!hasPixels(rows))
        return matchingReport({1.0, 1.0, 1.0}, {}, rows);
    HcfCounter hcf(rows.width());
    RowNoiseCounter noise(rows.width(), rows.height());
    feedRows(rows, rows.height(), hcf, noise);
    return matchingReport(hcf.ratio(rows.height()), noise.result(), rows);
}

MatchingReport detectChangesOfOne(const QImage& input)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return detectChangesOfOne(rows);
}

} // namespace ostrel
