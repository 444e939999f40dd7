// SPDX-License-Identifier: Apache-2.0
#include "util/Fonts.h"

#include <QFontMetrics>
#include <QFontMetricsF>

#include <algorithm>

namespace ostrel {

namespace {

// The first `count` characters, one fewer where that would split a
// surrogate pair.
QString prefixOf(const QString& text, qsizetype count)
{
    if (count > 0 && count < text.size() && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

// Only a prefix about as long as what fits is ever measured: the prefix
// doubles until it no longer fits, then a binary search finds the longest one
// that fits with the ellipsis. A text of any length costs a few measurements
// of about the width's worth of characters, not one per character.
template <class Metrics, class Width>
QString elided(const QString& text, const Metrics& metrics, Width width)
{
    qsizetype tooLong = 32;
    while (tooLong < text.size() && metrics.horizontalAdvance(prefixOf(text, tooLong)) <= width)
        tooLong *= 2;
    if (tooLong >= text.size() && metrics.horizontalAdvance(text) <= width)
        return text;
    tooLong = std::min(tooLong, text.size());
    qsizetype fits = 0; // with the ellipsis after it
    while (tooLong - fits > 1) {
        const qsizetype middle = fits + (tooLong - fits) / 2;
        if (metrics.horizontalAdvance(prefixOf(text, middle) + kEllipsis) <= width)
            fits = middle;
        else
            tooLong = middle;
    }
    return prefixOf(text, fits) + kEllipsis;
}

} // namespace

void installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
}

QFont pictureFont(const QString& family, int points, bool bold)
{
    installFontSubstitutes();
    QFont font(family);
    // Points at 96 dpi, rounded to nearest with halves up (the integer
    // MulDiv rounding), so text pictures come out the same pixel for pixel.
    font.setPixelSize((points * 96 + 36) / 72);
    font.setBold(bold);
    font.setStyleHint(family == QLatin1String("Courier New") ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

QFont courierBold10()
{
    return pictureFont(QStringLiteral("Courier New"), 10, true);
}

QString elidedToWidth(const QString& text, const QFontMetrics& metrics, int width)
{
    return elided(text, metrics, width);
}

QString elidedToWidth(const QString& text, const QFontMetricsF& metrics, double width)
{
    return elided(text, metrics, width);
}

} // namespace ostrel
