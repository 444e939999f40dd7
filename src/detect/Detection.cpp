// SPDX-License-Identifier: Apache-2.0
#include "detect/Detection.h"

#include "WorkingPicture.h"

namespace ostrel {

const char* channelName(Channel channel)
{
    switch (channel) {
    case Channel::Red:
        return "Red";
    case Channel::Green:
        return "Green";
    case Channel::Blue:
        return "Blue";
    }
    return "";
}

DetectionReport detectHiddenData(const QImage& picture)
{
    // Converted once for all three when it comes in another format.
    const QImage working = inWorkingFormat(picture);
    DetectionReport report;
    report.chiSquare = chiSquareAttack(working);
    report.samplePairs = samplePairsAnalysis(working);
    report.rs = rsAnalysis(working);
    report.matching = detectChangesOfOne(working);
    return report;
}

} // namespace ostrel
