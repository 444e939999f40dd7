// SPDX-License-Identifier: Apache-2.0
#pragma once
// Small number and text helpers shared by every subsystem.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace ostrel {

// Ordered report lines; a null pointer means the caller keeps no report.
using ReportList = QStringList;

inline void AddReportLine(ReportList* report, const QString& line)
{
    if (report)
        report->append(line);
}

// Decimal with thousands separated by commas: 9500 -> "9,500", -87 -> "-87".
QString groupDigits(int64_t value);

// Rounds to the nearest integer, halves to even.
int64_t roundHalfEven(double value);

// base × zoom / 100 rounded to nearest with halves to even.
int scaleByZoom(int base, int zoom);

// The local date and time as text: the locale's short date, a blank and the
// long time, cut to at most 50 characters.
QString currentDateTimeText();

} // namespace ostrel
