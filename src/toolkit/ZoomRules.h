// SPDX-License-Identifier: Apache-2.0
#pragma once
// Sizes and places of the toolkit's dialogs as pure functions of the zoom and
// the screen size, so that every rule can be checked for any screen.
#include <QFont>
#include <QRect>
#include <QSize>

#include <array>
#include <functional>
#include <vector>

namespace ostrel {

// Font sizes are points on a 96 dpi screen; Qt fonts here carry pixels so
// that text has the same size on every screen.
int fontPointSize(const QFont& font);
void setFontPoints(QFont& font, int points);

// Values below 100 count as 100.
int zoomFloor(int percent);

// base × zoom / 100, halves to even, bounded far beyond any screen.
int zoomScaled(int base, int zoom);

// The zoom a window fits the screen at: `zoom` itself or the first of
// zoom - 5, zoom - 10, ... that `fits` accepts, or else the first at or below
// `floor`. `fits` must refuse every zoom at which `base` pixels, scaled by
// it, reach `limit`: such zooms are passed over in one jump, so a huge zoom
// ends as quickly as a small one and `fits` only sees zooms near the screen's size.
int fittedZoom(int zoom, int floor, int base, int limit, const std::function<bool(int)>& fits);

// The primary screen's size, which every zoom rule works from; 1024 x 768
// when there is no screen. Tests may put another size in its place.
QSize toolkitScreenSize();
void setToolkitScreenSizeOverride(const QSize& size); // an invalid size removes it

// The message window's sizes at zoom Z (already floored).
struct PopupZoomSizes {
    int fontSize;
    int buttonWidth;
    int buttonHeight;
    int statusHeight;
    int barHeight;
};
PopupZoomSizes popupZoomSizes(int zoom, int baseFontSize);

// The window after a zoom change: it only grows, to at most the screen, and
// is then centred.
QRect popupZoomedGeometry(int zoom, const QRect& window, const QSize& screen);

// The window's place after ResetPlacement.
QRect popupResetGeometry(const QSize& screen);

// Left edges of the visible buttons laid out from x = 2; hidden ones take no
// room and keep their place (-1 here).
std::vector<int> popupButtonLefts(const std::vector<bool>& visible, const std::vector<int>& widths);

// The entry window's sizes at zoom Z (already floored). editHeight gives the
// edit box's height for an edit font of so many points.
struct EnterDataZoomSizes {
    int trialZoom;    // the percent the buttons carry after the fit loop
    int editFontSize;   // points
    int promptFontSize; // points
    int buttonHeight;
    int panelHeight;
    int editHeight;
    QSize client;
    QPoint topLeft; // of the frame, given its extra size over the client
};
EnterDataZoomSizes enterDataZoomSizes(int zoom, const QSize& screen, const QSize& frameExtra,
                                      const std::function<int(int)>& editHeight);

// The four buttons across a bar of that width: OK, Cancel, Copy, Insert.
std::array<QRect, 4> enterDataButtonRects(int barWidth, int buttonHeight);

} // namespace ostrel
