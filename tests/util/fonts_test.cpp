// SPDX-License-Identifier: Apache-2.0
#include "util/Fonts.h"

#include <QFontMetricsF>
#include <QStringList>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

// The longest beginning that fits with the ellipsis, found one character at a
// time from the end.
QString elidedOneByOne(const QString& text, const QFontMetricsF& metrics, double width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    QString base = text;
    while (!base.isEmpty()) {
        base.chop(1);
        if (base.size() > 0 && base.back().isHighSurrogate())
            continue;
        if (metrics.horizontalAdvance(base + kEllipsis) <= width)
            return base + kEllipsis;
    }
    return QString(kEllipsis);
}

TEST(ElidedToWidth, KeepsTheLongestBeginningThatFits)
{
    installFontSubstitutes();
    const QFontMetricsF metrics(pictureFont(QStringLiteral("Arial"), 12, false));
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
    const QStringList texts = {
        QString(),
        QStringLiteral("a"),
        QStringLiteral("Thursday, December 10, 2026"),
        QStringLiteral("iiiiiiiiiiWWWWWWWWWWiiiiiiiiiiWWWWWWWWWW") + QString(300, QLatin1Char('m')),
        face + face + face + QStringLiteral("x") + face + face,
        QString(600, QLatin1Char('W')),
    };
    for (const QString& text : texts)
        for (double width : {0.0, 5.0, 20.0, 33.3, 100.0, 250.0, 4000.0}) {
            SCOPED_TRACE(QStringLiteral("%1 characters in %2").arg(text.size()).arg(width).toStdString());
            const QString cut = elidedToWidth(text, metrics, width);
            EXPECT_EQ(cut, elidedOneByOne(text, metrics, width));
            EXPECT_FALSE(cut != text && cut.size() > 1 && cut.at(cut.size() - 2).isHighSurrogate()) << "a character was split";
        }
}

} // namespace
} // namespace ostrel
