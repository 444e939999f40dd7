// SPDX-License-Identifier: Apache-2.0
// The sizes and places of the dialogs as functions of zoom and screen.
#include "toolkit/ZoomRules.h"

#include <gtest/gtest.h>

#include <climits>

namespace ostrel {
namespace {

TEST(PopupZoomRule, SizesAtZoom)
{
    struct Case {
        int zoom;
        int base;
        PopupZoomSizes sizes;
    };
    const Case cases[] = {
        {100, 12, {12, 89, 25, 20, 29}},
        {150, 12, {18, 134, 38, 30, 42}}, // 133.5 rounds to even 134; 37.5 to 38
        {250, 10, {25, 222, 62, 50, 66}}, // 222.5 to 222; 62.5 to 62
        {125, 12, {15, 111, 31, 25, 35}}, // 111.25, 31.25
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        const PopupZoomSizes s = popupZoomSizes(c.zoom, c.base);
        EXPECT_EQ(s.fontSize, c.sizes.fontSize);
        EXPECT_EQ(s.buttonWidth, c.sizes.buttonWidth);
        EXPECT_EQ(s.buttonHeight, c.sizes.buttonHeight);
        EXPECT_EQ(s.statusHeight, c.sizes.statusHeight);
        EXPECT_EQ(s.barHeight, c.sizes.barHeight);
    }
    EXPECT_EQ(zoomFloor(50), 100);
    EXPECT_EQ(zoomFloor(INT_MIN), 100);
    EXPECT_EQ(zoomFloor(101), 101);
}

TEST(PopupZoomRule, WindowOnlyGrowsWithinTheScreenAndIsCentred)
{
    struct Case {
        const char* what;
        int zoom;
        QRect window;
        QSize screen;
        QRect expected;
    };
    const Case cases[] = {
        {"grows to 600 x 450", 150, {0, 0, 400, 300}, {1024, 768}, {212, 159, 600, 450}},
        {"a larger window stays", 150, {5, 5, 700, 500}, {1024, 768}, {162, 134, 700, 500}},
        {"capped 50 and 80 short of the screen", 400, {0, 0, 400, 300}, {1024, 768}, {25, 40, 974, 688}},
        {"screen smaller than the window", 100, {0, 0, 400, 300}, {300, 200}, {0, 0, 400, 300}},
        {"one dimension grows", 200, {0, 0, 900, 300}, {1920, 1080}, {510, 240, 900, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(popupZoomedGeometry(c.zoom, c.window, c.screen), c.expected);
    }
}

TEST(PopupZoomRule, ResetPlacementAndButtonRow)
{
    EXPECT_EQ(popupResetGeometry({1024, 768}), QRect(256, 192, 512, 384));
    EXPECT_EQ(popupResetGeometry({640, 480}), QRect(200, 150, 400, 300));
    EXPECT_EQ(popupResetGeometry({2560, 1440}), QRect(640, 360, 1280, 720));

    const std::vector<int> widths(6, 89);
    EXPECT_EQ(popupButtonLefts({true, false, false, false, true, true}, widths),
              (std::vector<int>{2, -1, -1, -1, 91, 180}));
    EXPECT_EQ(popupButtonLefts({false, true, true, false, false, false}, widths),
              (std::vector<int>{-1, 2, 91, -1, -1, -1}));
    EXPECT_EQ(popupButtonLefts({true, true, true, true, true, true}, std::vector<int>(6, 134)),
              (std::vector<int>{2, 136, 270, 404, 538, 672}));
}

// An edit box whose height is its font size plus a fixed border, like a
// one-line edit.
int editHeightOf(int points)
{
    return points * 96 / 72 + 8;
}

// The fit loop as written out plainly, to hold the fast version against.
int plainTrialZoom(int zoom, int screenHeight)
{
    int z = zoom;
    for (;;) {
        const int bh = zoomScaled(25, z);
        const int height = 2 * (bh + 4) + editHeightOf(zoomScaled(14, z));
        if (z >= 10 && height >= screenHeight - 75)
            z -= 5;
        else
            return z;
    }
}

TEST(EnterDataZoomRule, SizesAndFitLoop)
{
    const EnterDataZoomSizes at100 = enterDataZoomSizes(100, {1024, 768}, {}, editHeightOf);
    EXPECT_EQ(at100.trialZoom, 100);
    EXPECT_EQ(at100.editFontSize, 14);
    EXPECT_EQ(at100.promptFontSize, 10);
    EXPECT_EQ(at100.buttonHeight, 25);
    EXPECT_EQ(at100.panelHeight, 29);
    EXPECT_EQ(at100.client, QSize(768, 58 + editHeightOf(14)));
    EXPECT_EQ(at100.topLeft, QPoint(128, (768 - at100.client.height()) / 2));
    EXPECT_EQ(enterDataZoomSizes(100, {1026, 768}, {}, editHeightOf).client.width(), 769);

    struct Case {
        int zoom;
        int screenHeight;
        int trial;
    };
    const Case cases[] = {
        {100, 768, 100},
        {400, 768, 400},
        {1000, 768, plainTrialZoom(1000, 768)}, // lowered until it fits
        {100, 170, plainTrialZoom(100, 170)},
        {100, 50, 5},    // nothing fits: stops after the first trial below 10
        {103, 50, 8},    // 103, 98, ..., 13, 8
        {100000, 900, plainTrialZoom(100000, 900)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.zoom) + " on a screen " + std::to_string(c.screenHeight) + " high");
        const EnterDataZoomSizes s = enterDataZoomSizes(c.zoom, {1024, c.screenHeight}, {}, editHeightOf);
        EXPECT_EQ(s.trialZoom, c.trial);
        if (c.trial >= 10) {
            EXPECT_LT(s.client.height(), c.screenHeight - 75);
        }
    }
    EXPECT_LT(plainTrialZoom(1000, 768), 1000);
    EXPECT_GT(plainTrialZoom(100, 170), 5);
}

TEST(EnterDataZoomRule, HugeZoomEndsQuicklyWithAFittingWindow)
{
    int passes = 0;
    const EnterDataZoomSizes s = enterDataZoomSizes(INT_MAX, {1024, 768}, {}, [&passes](int points) {
        ++passes;
        return editHeightOf(points);
    });
    EXPECT_LT(passes, 1000);
    EXPECT_LT(s.client.height(), 768 - 75);
    EXPECT_EQ((INT_MAX - s.trialZoom) % 5, 0); // still a step of 5 below the zoom
}

TEST(EnterDataZoomRule, ButtonsFillTheBar)
{
    struct Case {
        int barWidth;
        std::array<QRect, 4> rects;
    };
    const Case cases[] = {
        {768, {QRect(2, 2, 191, 25), QRect(193, 2, 191, 25), QRect(384, 2, 191, 25), QRect(575, 2, 191, 25)}},
        {769, {QRect(2, 2, 191, 25), QRect(193, 2, 191, 25), QRect(384, 2, 191, 25), QRect(575, 2, 192, 25)}},
        {771, {QRect(2, 2, 191, 25), QRect(193, 2, 191, 25), QRect(384, 2, 191, 25), QRect(575, 2, 194, 25)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.barWidth);
        EXPECT_EQ(enterDataButtonRects(c.barWidth, 25), c.rects);
    }
}

TEST(FontPoints, PixelsAtNinetySixDpi)
{
    struct Case {
        int points;
        int pixels;
    };
    const Case cases[] = {{8, 11}, {10, 13}, {12, 16}, {14, 19}, {15, 20}, {16, 21}, {18, 24}};
    for (const Case& c : cases) {
        QFont font;
        setFontPoints(font, c.points);
        EXPECT_EQ(font.pixelSize(), c.pixels) << c.points;
        EXPECT_EQ(fontPointSize(font), c.points) << c.points;
    }
}

} // namespace
} // namespace ostrel
