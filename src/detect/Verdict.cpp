// SPDX-License-Identifier: Apache-2.0
#include "detect/Verdict.h"

#include <algorithm>

namespace ostrel {

namespace {

// Measured on 14 natural photographs scaled to about 2 megapixels: clean,
// the blue estimates (mean of the two estimators) ranged from 0.00 to 0.22,
// the highest in photographs with large clipped or flat areas; after an
// encode, which replaces every pixel's lowest blue bit, from 0.97 to 1.00.
// "Likely" sits halfway; "possible" just above the cleanest photographs'
// worst, so that none of them is flagged.
constexpr double kLikelyEstimate = 0.5;
constexpr double kPossibleEstimate = 0.25;
// The chi-square probability was 0.00 on every clean photograph and 1.00 on
// every encoded one, but a picture with a smooth histogram (a drawn
// gradient, a sky) scores high without any hidden data, so on its own it
// never raises a verdict; it only turns a possible estimate into a likely one.
constexpr double kEvenedProbability = 0.99;

} // namespace

double replacedFraction(const DetectionReport& report, Channel channel)
{
    const double mean = (figure(report.samplePairs, channel) + figure(report.rs, channel)) / 2.0;
    return std::clamp(mean, 0.0, 1.0);
}

ChannelVerdict judgeChannel(const DetectionReport& report, Channel channel)
{
    ChannelVerdict result;
    result.channel = channel;
    result.estimate = replacedFraction(report, channel);
    const bool evened = figure(report.chiSquare.probability, channel) >= kEvenedProbability;
    if (result.estimate >= kLikelyEstimate || (evened && result.estimate >= kPossibleEstimate))
        result.verdict = Verdict::Likely;
    else if (result.estimate >= kPossibleEstimate)
        result.verdict = Verdict::Possible;
    return result;
}

ChannelVerdict judgePicture(const DetectionReport& report)
{
    ChannelVerdict strongest = judgeChannel(report, kChannels[0]);
    for (Channel channel : kChannels) {
        const ChannelVerdict candidate = judgeChannel(report, channel);
        if (candidate.verdict > strongest.verdict
            || (candidate.verdict == strongest.verdict && candidate.estimate > strongest.estimate))
            strongest = candidate;
    }
    return strongest;
}

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NoSign:
        return QStringLiteral("no sign of hidden data");
    case Verdict::Possible:
        return QStringLiteral("hidden data possible");
    case Verdict::Likely:
        return QStringLiteral("hidden data likely");
    }
    return {};
}

QString channelVerdictLine(const ChannelVerdict& verdict)
{
    return QStringLiteral("%1: %2 (%3)")
        .arg(QLatin1String(channelName(verdict.channel)), verdictText(verdict.verdict))
        .arg(verdict.estimate, 0, 'f', 2);
}

} // namespace ostrel
