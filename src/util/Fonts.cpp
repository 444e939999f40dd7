#include "util/Fonts.h"

#include <QFontMetrics>
#include <QFontMetricsF>

namespace ostrel {

namespace {

template <class Metrics, class Width>
QString elided(const QString& text, const Metrics& metrics, Width width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    QString base = text;
    while (!base.isEmpty()) {
        base.chop(1);
        const QString candidate = base + kEllipsis;
        if (metrics.horizontalAdvance(candidate) <= width)
            return candidate;
    }
    return QString(kEllipsis);
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
    // Points at 96 dpi, rounded as the original platform does (MulDiv).
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
