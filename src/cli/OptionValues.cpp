// SPDX-License-Identifier: Apache-2.0
#include "cli/OptionValues.h"

#include "util/Picture.h"

#include <QStringList>

namespace ostrel::cli {

std::optional<std::chrono::milliseconds> parseTimeout(const QString& text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds <= 0 || seconds > kLongestTimeoutSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(int64_t(seconds) * 1000);
}

std::optional<int> boundedNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<QSize> parseChartSize(const QString& text)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    if (parts.size() != 2)
        return std::nullopt;
    bool wide = false, high = false;
    const int width = parts[0].toInt(&wide), height = parts[1].toInt(&high);
    if (!wide || !high || !pictureSizeAllowed(width, height))
        return std::nullopt;
    return QSize(width, height);
}

// In the order of AnalysisChart and DotStyle.
int chartKindIndex(const QString& text)
{
    static const QStringList kKinds = {QStringLiteral("bright"), QStringLiteral("rgb"), QStringLiteral("hsv")};
    return int(kKinds.indexOf(text));
}

int chartDotsIndex(const QString& text)
{
    static const QStringList kDots = {QStringLiteral("points"), QStringLiteral("blocks"), QStringLiteral("outline")};
    return int(kDots.indexOf(text));
}

} // namespace ostrel::cli
