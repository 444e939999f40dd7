#include "util/Fonts.h"

namespace ostrel {

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

} // namespace ostrel
