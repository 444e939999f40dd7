#include "detect/Detection.h"

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
    DetectionReport report;
    report.chiSquare = chiSquareAttack(picture);
    report.samplePairs = samplePairsAnalysis(picture);
    report.rs = rsAnalysis(picture);
    return report;
}

} // namespace ostrel
