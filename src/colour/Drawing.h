// SPDX-License-Identifier: Apache-2.0
#pragma once
// Drawing helpers shared by the picture readers: blank pictures and pictures
// of text lines.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QStringList>

class QPainter;

namespace ostrel {

// Pictures of text lines are at most this many pixels each way, and their
// first line starts this far from the top and left edges.
inline constexpr int kMaxTextPictureSide = 4096;
inline constexpr int kTextPictureMargin = 5;

// Draws text in the painter's font and pen with its top, not its baseline,
// at y: every labelled picture places its lines by their tops.
void drawTextTopAt(QPainter& painter, int x, int y, const QString& text);

// A white picture of the given size with a one-pixel black frame. Leaves the
// picture unchanged when either size is below 1 or the size is not allowed.
void MakeBlankPicture(QImage& picture, int width, int height);
QImage blankPicture(int width, int height);

// Draws the lines (tabs expanded) in Courier New 10 pt bold black on a
// picture of `colour`, kTextPictureMargin pixels from the top and left
// edges, at most kMaxTextPictureSide pixels each way. With no lines, a 10×10 picture of `colour`.
void DrawLinesAsPicture(QImage& picture, const QStringList* lines, QColor colour, const QFont* font = nullptr);

// The picture for a file that no reader handles: 320×200 blank, the file
// name at (5, 5) and "EXT not supported" at (5, 25).
QImage unsupportedPicture(const QString& fileName, const QString& upperExtension);

} // namespace ostrel
