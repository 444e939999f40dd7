// SPDX-License-Identifier: Apache-2.0
#pragma once
// The detectors as counters fed one row at a time from the top, so that all
// of them take their figures from one pass over the rows of a picture in
// memory or of a file read a band at a time. Each keeps a few rows' worth of
// state and, at most, a figure per row; none holds the picture.
#include "ChannelPlanes.h"
#include "detect/Detection.h"
#include "util/PixelRows.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ostrel {

// One row as the counters see it.
struct RowView {
    int y = 0;
    const uint8_t* bytes = nullptr;        // blue, green, red
    const ChannelPlanes* planes = nullptr; // the row's channels side by side
    const ChannelPlanes* above = nullptr;  // row y − 1's, none on the top row
};

class ChiSquareCounter {
public:
    static constexpr bool kNeedsPlanes = false;
    ChiSquareCounter(int width, int height, int prefixSteps);
    void add(const RowView& row);
    ChiSquareAttack result() { return std::move(m_attack); }

private:
    using Histogram = std::array<uint32_t, 256>;
    int m_width;
    int64_t m_steps;
    int64_t m_total;
    int64_t m_step = 1;
    int64_t m_boundary;
    std::array<Histogram, kChannelCount> m_counts{};
    ChiSquareAttack m_attack;
};

class SamplePairCounter {
public:
    static constexpr bool kNeedsPlanes = true;
    explicit SamplePairCounter(int width) : m_width(width) {}
    void add(const RowView& row);
    std::array<SamplePairCounts, kChannelCount> result(int height) const;

    // X − Y as "turn", X + Y as "differing" (every pair of unequal samples
    // is in one of the two) and γ.
    struct Sums {
        int64_t turn = 0;
        int64_t differing = 0;
        int64_t gamma = 0;
    };

private:
    int m_width;
    std::array<Sums, kChannelCount> m_sums{};
};

class RsCounter {
public:
    static constexpr bool kNeedsPlanes = true;
    explicit RsCounter(int width) : m_width(width) {}
    void add(const RowView& row);
    const std::array<RsGroupCounts, kChannelCount>& result() const { return m_counts; }

private:
    int m_width;
    std::array<RsGroupCounts, kChannelCount> m_counts{};
};

// The adjacency histograms of the picture and of the picture halved in 2×2
// blocks; the halved picture's row comes with every odd row.
class HcfCounter {
public:
    static constexpr bool kNeedsPlanes = true;
    explicit HcfCounter(int width);
    void add(const RowView& row);
    // The ratios once rows [0, rows) have been added.
    ChannelFigures ratio(int rows) const;

private:
    int m_width;
    int m_halfWidth;
    std::array<std::vector<uint32_t>, kChannelCount> m_full;
    std::array<std::vector<uint32_t>, kChannelCount> m_halved;
    std::vector<uint8_t> m_halvedRow;
};

class RowNoiseCounter {
public:
    static constexpr bool kNeedsPlanes = true;
    RowNoiseCounter(int width, int height);
    void add(const RowView& row);
    std::vector<double> result() { return std::move(m_noise); }

private:
    int m_width;
    std::vector<double> m_noise;
};

// The step search over the rows' noise figures of a picture of that size.
PayloadEnd payloadEndOfNoise(const std::vector<double>& noise, int width, int height);

// The detectors of changes of one from the first pass's figures; a second
// pass over the rows above the step, where it finds one, gives blue's
// HCF-COM there.
MatchingReport matchingReport(const ChannelFigures& hcfCom, const std::vector<double>& noise, PixelRows& rows);

// The calibrated HCF-COM over rows [0, rows), which needs a pass of its own
// when a picture has enough pixels above that row to count.
ChannelFigures calibratedHcfComAbove(PixelRows& rows, int count);

// Feeds rows [0, count) to every counter from the top, splitting each row
// into its channels once for all of them.
template <class... Counters>
void feedRows(PixelRows& rows, int count, Counters&... counters)
{
    constexpr bool kNeedsPlanes = (Counters::kNeedsPlanes || ...);
    const int width = rows.width();
    ChannelPlanes planes[2] = {ChannelPlanes(kNeedsPlanes ? width : 0), ChannelPlanes(kNeedsPlanes ? width : 0)};
    for (int y = 0; y < count; ++y) {
        ChannelPlanes& current = planes[y & 1];
        RowView view;
        view.y = y;
        view.bytes = rows.row(y);
        if constexpr (kNeedsPlanes) {
            current.load(view.bytes);
            view.planes = &current;
            view.above = y > 0 ? &planes[(y + 1) & 1] : nullptr;
        }
        (counters.add(view), ...);
    }
}

inline bool hasPixels(const PixelRows& rows) { return rows.width() > 0 && rows.height() > 0; }

} // namespace ostrel
