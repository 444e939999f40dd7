// SPDX-License-Identifier: Apache-2.0
#pragma once
// The values options take, read from their text: checked once while the
// command line is read, and taken again from the same text by the command.
#include <QSize>
#include <QString>

#include <chrono>
#include <optional>

namespace ostrel::cli {

inline constexpr int kLongestTimeoutSeconds = 24 * 60 * 60;

// --timeout: whole seconds from 1 to a day.
std::optional<std::chrono::milliseconds> parseTimeout(const QString& text);

// A whole number from `low` to `high`.
std::optional<int> boundedNumber(const QString& text, int low, int high);

// --size: "WxH" with both sides positive and the picture within Ostrel's limit.
std::optional<QSize> parseChartSize(const QString& text);

// --kind and --dots: the position of the value in its list, or -1.
int chartKindIndex(const QString& text);
int chartDotsIndex(const QString& text);

} // namespace ostrel::cli
