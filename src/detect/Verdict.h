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

// "no sign of hidden data", "hidden data possible" or "hidden data likely".
QString verdictText(Verdict verdict);

// "Blue: hidden data likely (0.97)".
QString channelVerdictLine(const ChannelVerdict& verdict);

} // namespace ostrel
