// SPDX-License-Identifier: Apache-2.0
#include "detect/Detection.h"
#include "RowCounters.h"
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

DetectionReport detectHiddenData(PixelRows& rows)
{
    DetectionReport report;
    if (!hasPixels(rows)) {
        report.samplePairs = samplePairsAnalysis(rows);
        report.rs = rsAnalysis(rows);
        report.matching = detectChangesOfOne(rows);
        return report;
    }
    const int width = rows.width();
    const int height = rows.height();
    ChiSquareCounter chiSquare(width, height, kChiSquarePrefixSteps);
    SamplePairCounter samplePairs(width);
    RsCounter rs(width);
    HcfCounter hcf(width);
    RowNoiseCounter noise(width, height);
    feedRows(rows, height, chiSquare, samplePairs, rs, hcf, noise);
    report.chiSquare = chiSquare.result();
    report.samplePairs =
        figuresFromCounts(samplePairs.result(height), [](const auto& counts) { return samplePairsEstimate(counts); });
    report.rs = figuresFromCounts(rs.result(), [](const auto& counts) { return rsEstimate(counts); });
    report.matching = matchingReport(hcf.ratio(height), noise.result(), rows);
    return report;
}

DetectionReport detectHiddenData(const QImage& picture)
{
    // Converted once for all of them when it comes in another format.
    const QImage working = inWorkingFormat(picture);
    PictureRows rows = PictureRows::readOnly(working);
    return detectHiddenData(rows);
}

} // namespace ostrel
