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

// The step search for changes of one, measured with bench/detectability.sh
// on the 37 photographs and drawn wallpapers of Debian's lomiri-wallpapers
// and gnome-backgrounds packages at about 2 megapixels, each as it is and
// turned upside down: clean, the strongest step was 49 (a photograph whose
// sky meets blue water), and none of the 74 reached 50. After --stealth at
// 1 %, 10 % and 50 % of the capacity most steps were far above 100. A step
// of 50 is "possible"; "likely" takes twice that, or 50 with blue's HCF-COM
// above the step at least 0.15 below red's and green's, which none of the
// clean ones was.
constexpr double kPossibleStep = 50.0;
constexpr double kLikelyStep = 100.0;
constexpr double kSmoothedBlue = -0.15;

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

MatchingVerdict judgeChangesOfOne(const MatchingReport& report)
{
    MatchingVerdict result;
    result.strength = report.end.strength;
    if (report.end.strength < kPossibleStep)
        return result;
    result.rows = report.end.rows;
    const bool smoothed = report.blueHcfAboveEnd <= kSmoothedBlue;
    result.verdict = report.end.strength >= kLikelyStep || smoothed ? Verdict::Likely : Verdict::Possible;
    return result;
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

QString matchingVerdictLine(const MatchingVerdict& verdict, int height)
{
    QString line = QStringLiteral("Changes of one: ") + verdictText(verdict.verdict);
    if (verdict.verdict != Verdict::NoSign)
        line += QStringLiteral(", seem to stop after row %1 of %2").arg(verdict.rows).arg(height);
    return line + QStringLiteral(" (step %1)").arg(verdict.strength, 0, 'f', 1);
}

} // namespace ostrel
