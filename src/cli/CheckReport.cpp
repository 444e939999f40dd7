// SPDX-License-Identifier: Apache-2.0
#include "cli/CheckReport.h"

#include "detect/Verdict.h"
#include "util/Picture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace ostrel::cli {

namespace {

QString row(const char* name, const ChannelFigures& figures)
{
    QString line = QStringLiteral("%1").arg(QLatin1String(name), -22);
    for (Channel channel : kChannels) {
        // A clean picture's estimate a hair below zero reads as 0.00, not -0.00.
        const double value = std::fabs(figure(figures, channel)) < 0.005 ? 0.0 : figure(figures, channel);
        line += QStringLiteral("%1").arg(value, 7, 'f', 2);
    }
    return line;
}

QString prefixLine(const ChiSquareAttack& attack, int64_t total)
{
    const int64_t pixels = firstPrefixBelow(attack, Channel::Blue, kPrefixLevel);
    if (pixels < 0)
        return {};
    const double percent = 100.0 * double(pixels) / double(total);
    return QStringLiteral("Blue chi-square probability first falls below %1 after %2% of the pixels (%3 pixels).")
        .arg(kPrefixLevel)
        .arg(percent, 0, 'f', percent < 10.0 ? 1 : 0)
        .arg(pixels);
}

QString lowerName(Channel channel) { return QString::fromLatin1(channelName(channel)).toLower(); }

QJsonObject perChannel(const ChannelFigures& figures)
{
    QJsonObject object;
    for (Channel channel : kChannels)
        object.insert(lowerName(channel), figure(figures, channel));
    return object;
}

QJsonObject verdictObject(const ChannelVerdict& verdict)
{
    return {{QStringLiteral("channel"), lowerName(verdict.channel)},
            {QStringLiteral("verdict"), verdictText(verdict.verdict)},
            {QStringLiteral("estimate"), verdict.estimate}};
}

// The stronger of the replacement detectors' and the changes-of-one verdict.
Verdict overallVerdict(const DetectionReport& report)
{
    return std::max(judgePicture(report).verdict, judgeChangesOfOne(report.matching).verdict);
}

// The detectors of changes of one: the figures, the strongest step (where it
// is and how strong, whatever the verdict) and the verdict, whose rows are
// null when it found no sign.
QJsonObject matchingObject(const MatchingReport& matching)
{
    const MatchingVerdict verdict = judgeChangesOfOne(matching);
    return {{QStringLiteral("hcfCom"), perChannel(matching.hcfCom)},
            {QStringLiteral("blueHcfComAboveStep"), matching.blueHcfAboveEnd},
            {QStringLiteral("stepRows"), matching.end.rows},
            {QStringLiteral("stepStrength"), matching.end.strength},
            {QStringLiteral("verdict"), verdictText(verdict.verdict)},
            {QStringLiteral("changesStopAfterRow"),
             verdict.verdict == Verdict::NoSign ? QJsonValue() : QJsonValue(verdict.rows)}};
}

} // namespace

QString checkText(const QString& path, QSize size, const DetectionReport& report)
{
    QStringList lines;
    lines << QStringLiteral("%1: %2 pixels").arg(path, pictureSizeText(size.width(), size.height()));
    lines << QStringLiteral("%1%2%3%4").arg(QString(), -22).arg(QStringLiteral("Red"), 7).arg(QStringLiteral("Green"), 7).arg(QStringLiteral("Blue"), 7);
    lines << row("Chi-square probability", report.chiSquare.probability);
    lines << row("Sample pairs estimate", report.samplePairs);
    lines << row("RS estimate", report.rs);
    const QString prefix = prefixLine(report.chiSquare, int64_t(size.width()) * size.height());
    if (!prefix.isEmpty())
        lines << prefix;
    lines << row("HCF-COM calibrated", report.matching.hcfCom);
    for (Channel channel : kChannels)
        lines << channelVerdictLine(judgeChannel(report, channel));
    lines << matchingVerdictLine(judgeChangesOfOne(report.matching), size.height());
    lines << QStringLiteral("Verdict: ") + verdictText(overallVerdict(report));
    return lines.join(QLatin1Char('\n'));
}

QByteArray checkJson(const QString& path, QSize size, const DetectionReport& report)
{
    QJsonArray prefixes;
    for (const ChiSquarePrefix& prefix : report.chiSquare.prefixes) {
        QJsonObject entry = perChannel(prefix.probability);
        entry.insert(QStringLiteral("pixels"), double(prefix.pixels));
        prefixes.append(entry);
    }
    QJsonArray channels;
    for (Channel channel : kChannels) {
        const ChannelVerdict verdict = judgeChannel(report, channel);
        channels.append(QJsonObject{{QStringLiteral("channel"), lowerName(channel)},
                                    {QStringLiteral("chiSquare"), figure(report.chiSquare.probability, channel)},
                                    {QStringLiteral("samplePairs"), figure(report.samplePairs, channel)},
                                    {QStringLiteral("rs"), figure(report.rs, channel)},
                                    {QStringLiteral("verdict"), verdictText(verdict.verdict)},
                                    {QStringLiteral("estimate"), verdict.estimate}});
    }
    const int64_t drop = firstPrefixBelow(report.chiSquare, Channel::Blue, kPrefixLevel);
    const QJsonObject object{
        {QStringLiteral("file"), path},
        {QStringLiteral("width"), size.width()},
        {QStringLiteral("height"), size.height()},
        {QStringLiteral("channels"), channels},
        {QStringLiteral("chiSquarePrefixes"), prefixes},
        {QStringLiteral("blueChiSquareBelowHalfAfter"), drop < 0 ? QJsonValue() : QJsonValue(double(drop))},
        {QStringLiteral("verdict"), verdictObject(judgePicture(report))},
        {QStringLiteral("overallVerdict"), verdictText(overallVerdict(report))},
        {QStringLiteral("changesOfOne"), matchingObject(report.matching)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString checkText(const QString& path, const QImage& picture, const DetectionReport& report)
{
    return checkText(path, QSize(picture.width(), picture.height()), report);
}

QByteArray checkJson(const QString& path, const QImage& picture, const DetectionReport& report)
{
    return checkJson(path, QSize(picture.width(), picture.height()), report);
}

} // namespace ostrel::cli
