// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZoomRules.h"

#include "util/StandardUnit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdint>

namespace ostrel {

namespace {

QSize g_screenOverride;

// Glyphs and fonts beyond this are of no use on any screen, and the bound
// keeps every product below within int.
constexpr int64_t kLargestFontPixels = 4096;

// A zoom of a million percent is still far beyond any screen; the bound
// keeps sums of scaled sizes within int.
constexpr int64_t kLargestScaledSize = int64_t(1) << 20;

} // namespace

int zoomScaled(int base, int zoom)
{
    return static_cast<int>(std::min(roundHalfEven(zoom / 100.0 * base), kLargestScaledSize));
}

int fittedZoom(int zoom, int floor, int base, int limit, const std::function<bool(int)>& fits)
{
    int64_t z = zoom;
    if (base > 0) {
        // From here on base × zoom / 100 is at least limit + 1, so however it
        // is rounded it reaches limit.
        const int64_t hopeless = std::max<int64_t>((100 * (int64_t(limit) + 1) + base - 1) / base, floor);
        if (z > hopeless)
            z -= 5 * ((z - hopeless + 4) / 5);
    }
    while (z > floor && !fits(static_cast<int>(z)))
        z -= 5;
    return static_cast<int>(z);
}

int fontPointSize(const QFont& font)
{
    if (font.pixelSize() > 0)
        return static_cast<int>((int64_t(font.pixelSize()) * 72 + 48) / 96);
    return static_cast<int>(roundHalfEven(font.pointSizeF()));
}

void setFontPoints(QFont& font, int points)
{
    // Points to pixels at 96 dpi, rounded to nearest with halves up (the
    // integer MulDiv rounding), as pictureFont rounds them.
    const int64_t pixels = (int64_t(std::max(points, 1)) * 96 + 36) / 72;
    font.setPixelSize(static_cast<int>(std::clamp<int64_t>(pixels, 1, kLargestFontPixels)));
}

int zoomFloor(int percent)
{
    return std::max(percent, 100);
}

QSize toolkitScreenSize()
{
    if (g_screenOverride.isValid())
        return g_screenOverride;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->size();
    return {1024, 768};
}

void setToolkitScreenSizeOverride(const QSize& size)
{
    g_screenOverride = size;
}

PopupZoomSizes popupZoomSizes(int zoom, int baseFontSize)
{
    PopupZoomSizes sizes{};
    sizes.fontSize = zoomScaled(baseFontSize, zoom);
    sizes.buttonWidth = zoomScaled(89, zoom);
    sizes.buttonHeight = zoomScaled(25, zoom);
    sizes.statusHeight = zoomScaled(20, zoom);
    sizes.barHeight = sizes.buttonHeight + 4;
    return sizes;
}

QRect popupZoomedGeometry(int zoom, const QRect& window, const QSize& screen)
{
    const int wanted_w = std::min(zoomScaled(400, zoom), screen.width() - 50);
    const int wanted_h = std::min(zoomScaled(300, zoom), screen.height() - 80);
    int width = window.width();
    int height = window.height();
    if (wanted_w > width)
        width = std::min(wanted_w, screen.width());
    if (wanted_h > height)
        height = std::min(wanted_h, screen.height());
    const int left = std::max(0, (screen.width() - width) / 2);
    const int top = std::max(0, (screen.height() - height) / 2);
    return {left, top, width, height};
}

QRect popupResetGeometry(const QSize& screen)
{
    return {std::max(200, screen.width() / 4), std::max(150, screen.height() / 4),
            std::max(400, screen.width() / 2), std::max(300, screen.height() / 2)};
}

std::vector<int> popupButtonLefts(const std::vector<bool>& visible, const std::vector<int>& widths)
{
    std::vector<int> lefts(visible.size(), -1);
    int x = 2;
    for (size_t i = 0; i < visible.size() && i < widths.size(); ++i) {
        if (!visible[i])
            continue;
        lefts[i] = x;
        x += widths[i];
    }
    return lefts;
}

EnterDataZoomSizes enterDataZoomSizes(int zoom, const QSize& screen, const QSize& frameExtra,
                                      const std::function<int(int)>& editHeight)
{
    const auto sizesAt = [&](int z) {
        EnterDataZoomSizes sizes{};
        sizes.trialZoom = z;
        sizes.editFontSize = zoomScaled(14, z);
        sizes.promptFontSize = zoomScaled(10, z);
        sizes.buttonHeight = zoomScaled(25, z);
        sizes.panelHeight = sizes.buttonHeight + 4;
        sizes.editHeight = editHeight(sizes.editFontSize);
        sizes.client = QSize(screen.width() * 6 / 8, 2 * sizes.panelHeight + sizes.editHeight);
        return sizes;
    };
    const int limit = screen.height() - 75;
    // Buttons as high as the screen leave two panels taller than the limit.
    const int z = fittedZoom(zoom, 9, 25, screen.height(),
                             [&](int trial) { return sizesAt(trial).client.height() < limit; });
    EnterDataZoomSizes sizes = sizesAt(z);
    const int frameWidth = sizes.client.width() + frameExtra.width();
    const int frameHeight = sizes.client.height() + frameExtra.height();
    sizes.topLeft = QPoint(std::max(0, (screen.width() - frameWidth) / 2),
                           std::max(0, (screen.height() - frameHeight) / 2));
    return sizes;
}

std::array<QRect, 4> enterDataButtonRects(int barWidth, int buttonHeight)
{
    std::array<QRect, 4> rects;
    const int width = (barWidth - 4) / 4;
    int x = 2;
    for (QRect& rect : rects) {
        rect = QRect(x, 2, width, buttonHeight);
        x += width;
    }
    const int rest = barWidth - x - 2;
    if (rest > 0)
        rects[3].setWidth(rects[3].width() + rest);
    return rects;
}

} // namespace ostrel
