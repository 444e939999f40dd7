// SPDX-License-Identifier: Apache-2.0
#include "AdaptiveCost.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace ostrel {

const std::array<float, 256> kStoredCostValues = [] {
    std::array<float, 256> values{};
    for (int q = 0; q < 256; ++q)
        values[size_t(q)] = kDearestCost * std::exp2(float(q - 255) / float(kCostStepsPerOctave));
    return values;
}();

namespace {

constexpr int kSmallRadius = 1; // the 3×3 average of the residual
constexpr int kLargeRadius = 7; // the 15×15 average of the reciprocal
// Below this average residual a place counts as flat.
constexpr float kFlatResidual = 1.0f / kDearestCost;

int clampIndex(int i, int size) { return std::clamp(i, 0, size - 1); }

// The absolute KB residual of one channel into `plane` (W·H floats).
void kbResidual(const QImage& working, int channel, std::vector<float>& plane)
{
    const int width = working.width(), height = working.height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* above = working.constScanLine(clampIndex(y - 1, height)) + channel;
        const uint8_t* row = working.constScanLine(y) + channel;
        const uint8_t* below = working.constScanLine(clampIndex(y + 1, height)) + channel;
        float* out = plane.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const int l = 3 * clampIndex(x - 1, width), c = 3 * x, r = 3 * clampIndex(x + 1, width);
            const int corners = above[l] + above[r] + below[l] + below[r];
            const int sides = above[c] + below[c] + row[l] + row[r];
            out[x] = std::fabs(float(2 * sides - corners - 4 * row[c]) * 0.25f);
        }
    }
}

// The average over (2r+1)×(2r+1) pixels, in place: each row through a copy
// of itself, then down the columns with running sums; the rows whose
// original values are still needed wait in a ring of r + 1 rows.
void boxAverage(std::vector<float>& plane, int width, int height, int radius)
{
    const float scale = 1.0f / float(2 * radius + 1);
    std::vector<float> copy(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        float* row = plane.data() + size_t(y) * size_t(width);
        std::copy_n(row, width, copy.begin());
        float sum = 0;
        for (int k = -radius; k <= radius; ++k)
            sum += copy[size_t(clampIndex(k, width))];
        for (int x = 0; x < width; ++x) {
            row[x] = sum * scale;
            sum += copy[size_t(clampIndex(x + radius + 1, width))] - copy[size_t(clampIndex(x - radius, width))];
        }
    }
    const size_t w = size_t(width);
    const int ringRows = radius + 1;
    std::vector<float> ring(size_t(ringRows) * w);
    std::vector<double> sums(w, 0.0);
    auto original = [&](int y) -> const float* {
        return plane.data() + size_t(y) * w; // rows at or below the one being written
    };
    for (int k = -radius; k <= radius; ++k) {
        const float* row = original(clampIndex(k, height));
        for (size_t x = 0; x < w; ++x)
            sums[x] += row[x];
    }
    for (int y = 0; y < height; ++y) {
        float* row = plane.data() + size_t(y) * w;
        float* saved = ring.data() + size_t(y % ringRows) * w;
        std::copy_n(row, w, saved);
        for (size_t x = 0; x < w; ++x)
            row[x] = float(sums[x]) * scale;
        if (y + 1 == height)
            break;
        const int leaving = clampIndex(y - radius, height);
        const float* gone = ring.data() + size_t(leaving % ringRows) * w;
        // Below the row just written, since that was not the last.
        const float* coming = original(clampIndex(y + radius + 1, height));
        for (size_t x = 0; x < w; ++x)
            sums[x] += double(coming[x]) - double(gone[x]);
    }
}

} // namespace

std::vector<StoredCost> hillCosts(const QImage& working)
{
    const int width = working.width(), height = working.height();
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<StoredCost> costs;
    std::vector<float> plane;
    try {
        costs.resize(pixels * 3);
        plane.resize(pixels);
    } catch (const std::bad_alloc&) {
        return {};
    }
    for (int channel = 0; channel < 3; ++channel) {
        kbResidual(working, channel, plane);
        boxAverage(plane, width, height, kSmallRadius);
        for (float& value : plane)
            value = 1.0f / std::max(value, kFlatResidual);
        boxAverage(plane, width, height, kLargeRadius);
        for (size_t p = 0; p < pixels; ++p)
            costs[3 * p + size_t(channel)] = storedCost(std::min(plane[p], kDearestCost));
    }
    return costs;
}

} // namespace ostrel
