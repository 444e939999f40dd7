// SPDX-License-Identifier: Apache-2.0
#pragma once
// Words for the detectors' numbers, with thresholds measured on natural
// photographs before and after hiding data in them (see the README).
#include "detect/Detection.h"

#include <QString>

namespace ostrel {

enum class Verdict { NoSign, Possible, Likely };

struct ChannelVerdict {
    Channel channel = Channel::Blue;
    Verdict verdict = Verdict::NoSign;
    double estimate = 0.0; // replaced fraction, both estimators together, 0..1
};

// The estimate both replacement estimators agree on (their mean, within 0..1).
double replacedFraction(const DetectionReport& report, Channel channel);

ChannelVerdict judgeChannel(const DetectionReport& report, Channel channel);

// The channel that shows the most: the strongest verdict, then the larger estimate.
ChannelVerdict judgePicture(const DetectionReport& report);

// The verdict of the detectors of changes of one, on blue, which a payload
// written from the first pixel on fills first: the step where its changes
// seem to stop, and how strong it is.
struct MatchingVerdict {
    Verdict verdict = Verdict::NoSign;
    int rows = 0;          // the rows above the step (0 with no sign)
    double strength = 0.0; // the standardized step
};

MatchingVerdict judgeChangesOfOne(const MatchingReport& report);

// "no sign of hidden data", "hidden data possible" or "hidden data likely".
QString verdictText(Verdict verdict);

// "Blue: hidden data likely (0.97)".
QString channelVerdictLine(const ChannelVerdict& verdict);

// "Changes of one: hidden data likely, seem to stop after row 118 of 1224
// (step 140.4)", or "Changes of one: no sign of hidden data (step 12.0)".
QString matchingVerdictLine(const MatchingVerdict& verdict, int height);

} // namespace ostrel
