// SPDX-License-Identifier: Apache-2.0
#include "imageio/ReportText.h"

#include "util/Text.h"

namespace ostrel {

namespace {
constexpr qsizetype kNameColumns = 35;
constexpr char kHexDigits[] = "0123456789ABCDEF";
} // namespace

QString reportValueLine(const QString& name, const QString& value)
{
    QString line = expandTabs(name) + QLatin1Char(' ');
    while (line.size() < kNameColumns)
        line.append(QLatin1Char('-'));
    return line + QLatin1Char(' ') + value;
}

QString hexNumber(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString hexBytes(ByteView bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()) * 3);
    for (uint8_t byte : bytes) {
        text.append(QLatin1Char(kHexDigits[byte >> 4]));
        text.append(QLatin1Char(kHexDigits[byte & 15]));
        text.append(QLatin1Char(' '));
    }
    return text;
}

} // namespace ostrel
