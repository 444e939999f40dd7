// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's fonts. The faces it names (Courier New, Arial, Times New Roman)
// are mapped to the metric-compatible Liberation families, which every
// machine can have, so text keeps its size and layout.
#include <QChar>
#include <QFont>
#include <QString>

class QFontMetrics;
class QFontMetricsF;

namespace ostrel {

// Registers "Courier New", "Arial", "Arial Narrow" and "MS Sans Serif" as substitutes for the
// Liberation families. Safe to call more than once; needs a QGuiApplication.
void installFontSubstitutes();

// A font of the given face at a size in points on a 96 dpi screen, as pixels,
// so that text drawn on pictures has the same height everywhere.
QFont pictureFont(const QString& family, int points, bool bold);

// Courier New 10 pt bold, the font of labelled and text pictures.
QFont courierBold10();

// The mark that ends a text cut short.
inline constexpr QChar kEllipsis{0x2026};

// The text whole when it fits in `width`, otherwise as many of its first
// characters as fit followed by an ellipsis (the ellipsis alone when none
// do). Measured in whole pixels for widgets, in fractions for pages.
QString elidedToWidth(const QString& text, const QFontMetrics& metrics, int width);
QString elidedToWidth(const QString& text, const QFontMetricsF& metrics, double width);

} // namespace ostrel
