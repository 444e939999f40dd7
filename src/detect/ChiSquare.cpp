// SPDX-License-Identifier: Apache-2.0
// The chi-square attack of Westfeld and Pfitzmann ("Attacks on Steganographic
// Systems", 2000). Replacing lowest bits with bits of an evenly spread message
// makes the count of each even value 2k tend to the mean of the counts of 2k
// and 2k+1. The attack compares the even counts with those means and reports
// the upper tail of the chi-square distribution at the statistic: near 1
// when the counts are as even as replacement leaves them, near 0 otherwise.
#include "detect/Detection.h"
#include "RowCounters.h"
#include "WorkingPicture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrel {

namespace {

// The chi-square approximation needs a few samples in every category; pairs
// of values that expect fewer are left out of the statistic.
constexpr double kMinimumExpected = 5.0;

// Q(a, x) = Γ(a, x) / Γ(a): a series below a + 1 and a continued fraction
// (modified Lentz) above, the usual split for quick convergence on both sides.
double upperRegularizedGamma(double a, double x)
{
    if (x <= 0.0)
        return 1.0;
    const double logPrefactor = -x + a * std::log(x) - std::lgamma(a);
    constexpr double kEpsilon = 1e-15;
    constexpr double kTiny = 1e-300;
    if (x < a + 1.0) {
        double term = 1.0 / a;
        double sum = term;
        for (int n = 1; n < 10000; ++n) {
            term *= x / (a + n);
            sum += term;
            if (std::fabs(term) < std::fabs(sum) * kEpsilon)
                break;
        }
        return std::clamp(1.0 - sum * std::exp(logPrefactor), 0.0, 1.0);
    }
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kTiny)
            d = kTiny;
        c = b + an / c;
        if (std::fabs(c) < kTiny)
            c = kTiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < kEpsilon)
            break;
    }
    return std::clamp(std::exp(logPrefactor) * h, 0.0, 1.0);
}

using Histogram = std::array<uint32_t, 256>;

ChannelFigures probabilities(const std::array<Histogram, kChannelCount>& counts)
{
    return figuresFromCounts(counts, [](const Histogram& histogram) { return chiSquareProbability(histogram.data()); });
}

} // namespace

double chiSquareProbability(const uint32_t* counts)
{
    double statistic = 0.0;
    int categories = 0;
    for (int k = 0; k < 128; ++k) {
        const double expected = (double(counts[2 * k]) + double(counts[2 * k + 1])) / 2.0;
        if (expected < kMinimumExpected)
            continue;
        const double difference = double(counts[2 * k]) - expected;
        statistic += difference * difference / expected;
        ++categories;
    }
    if (categories < 2)
        return 0.0;
    return upperRegularizedGamma((categories - 1) / 2.0, statistic / 2.0);
}

ChiSquareCounter::ChiSquareCounter(int width, int height, int prefixSteps)
    : m_width(width), m_total(int64_t(width) * height)
{
    m_steps = std::clamp<int64_t>(prefixSteps, 1, std::max<int64_t>(m_total, 1));
    m_boundary = m_total * m_step / m_steps;
    m_attack.prefixes.reserve(size_t(m_steps));
}

void ChiSquareCounter::add(const RowView& view)
{
    Histogram& blue = m_counts[size_t(Channel::Blue)];
    Histogram& green = m_counts[size_t(Channel::Green)];
    Histogram& red = m_counts[size_t(Channel::Red)];
    const uint8_t* row = view.bytes;
    const int64_t rowStart = int64_t(view.y) * m_width;
    int x = 0;
    while (x < m_width) {
        // Up to the end of the row or the next prefix, whichever comes first.
        const int end = x + int(std::min<int64_t>(m_width - x, m_boundary - (rowStart + x)));
        for (; x < end; ++x) {
            ++blue[row[3 * x]];
            ++green[row[3 * x + 1]];
            ++red[row[3 * x + 2]];
        }
        const int64_t seen = rowStart + x;
        if (seen == m_boundary) {
            m_attack.prefixes.push_back({seen, probabilities(m_counts)});
            m_attack.probability = m_attack.prefixes.back().probability;
            ++m_step;
            m_boundary = m_step <= m_steps ? m_total * m_step / m_steps : std::numeric_limits<int64_t>::max();
        }
    }
}

ChiSquareAttack chiSquareAttack(PixelRows& rows, int prefixSteps)
{
    if (!hasPixels(rows))
        return {};
    ChiSquareCounter counter(rows.width(), rows.height(), prefixSteps);
    feedRows(rows, rows.height(), counter);
    return counter.result();
}

ChiSquareAttack chiSquareAttack(const QImage& input, int prefixSteps)
{
    const QImage picture = inWorkingFormat(input);
    PictureRows rows = PictureRows::readOnly(picture);
    return chiSquareAttack(rows, prefixSteps);
}

int64_t firstPrefixBelow(const ChiSquareAttack& attack, Channel channel, double level)
{
    for (const ChiSquarePrefix& prefix : attack.prefixes) {
        if (figure(prefix.probability, channel) < level)
            return prefix.pixels;
    }
    return -1;
}

} // namespace ostrel
