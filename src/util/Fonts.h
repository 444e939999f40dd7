#pragma once
// The program's fonts. The original faces are mapped to the metric-compatible
// Liberation families, so text keeps its size and layout.
#include <QFont>
#include <QString>

namespace ostrel {

// Registers "Courier New", "Arial", "Arial Narrow" and "MS Sans Serif" as substitutes for the
// Liberation families. Safe to call more than once; needs a QGuiApplication.
void installFontSubstitutes();

// A font of the given face at a size in points on a 96 dpi screen, as pixels,
// so that text drawn on pictures has the same height everywhere.
QFont pictureFont(const QString& family, int points, bool bold);

// Courier New 10 pt bold, the font of labelled and text pictures.
QFont courierBold10();

} // namespace ostrel
