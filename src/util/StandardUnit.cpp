// SPDX-License-Identifier: Apache-2.0
#include "util/StandardUnit.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace ostrel {

QString groupDigits(int64_t value)
{
    bool negative = value < 0;
    uint64_t magnitude = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    QString digits = QString::number(magnitude);
    QString out;
    int lead = int(digits.size() % 3);
    for (int i = 0; i < digits.size(); ++i) {
        if (i > 0 && (i - lead) % 3 == 0)
            out.append(QLatin1Char(','));
        out.append(digits[i]);
    }
    return negative ? QLatin1Char('-') + out : out;
}

int64_t roundHalfEven(double value)
{
    return int64_t(std::nearbyint(value)); // the default rounding mode is to nearest, ties to even
}

int scaleByZoom(int base, int zoom)
{
    return int(roundHalfEven(double(base) * zoom / 100.0));
}

QString currentDateTimeText()
{
    QLocale locale;
    QDateTime now = QDateTime::currentDateTime();
    QString text = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(now.time(), QLocale::LongFormat);
    return text.left(50);
}

} // namespace ostrel
