// SPDX-License-Identifier: Apache-2.0
// Both zoomable button classes: construction, floors, font and glyph scaling,
// and the icon they show.
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"
#include "toolkit/ZoomRules.h"

#include <QIcon>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

template <typename Button>
class ZoomButtonTest : public ::testing::Test {};

using ButtonTypes = ::testing::Types<TZQXZoomBitBtn, TZQXZoomSpeedButton>;
TYPED_TEST_SUITE(ZoomButtonTest, ButtonTypes);

TYPED_TEST(ZoomButtonTest, NewButtonShowsBlankGlyphAndKeepsItsFontSize)
{
    QWidget parent;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16); // 12 points at 96 dpi
    parent.setFont(font);
    TypeParam button(&parent);
    EXPECT_EQ(button.resource(), BMP_None);
    EXPECT_EQ(button.zoom(), 100);
    EXPECT_EQ(button.baseFontSize(), 12);
    EXPECT_EQ(button.glyph().size(), QSize(2, 2));
    EXPECT_EQ(button.font().pixelSize(), 16);
}

TYPED_TEST(ZoomButtonTest, FloorsOnZoomAndBaseFontSize)
{
    TypeParam button;
    button.setZoom(50);
    EXPECT_EQ(button.zoom(), 100);
    button.setZoom(-7);
    EXPECT_EQ(button.zoom(), 100);
    button.setBaseFontSize(3);
    EXPECT_EQ(button.baseFontSize(), 5);
    button.setBaseFontSize(5);
    EXPECT_EQ(button.baseFontSize(), 5);
}

TYPED_TEST(ZoomButtonTest, CaptionFontAndGlyphFollowTheZoom)
{
    struct Case {
        int base;
        int zoom;
        int points; // base × zoom div 100
        QSize glyph;
    };
    const Case cases[] = {
        {10, 100, 10, {32, 16}},
        {10, 150, 15, {48, 24}},
        {10, 125, 12, {40, 20}}, // 12.5 truncates
        {8, 200, 16, {64, 32}},
        {7, 133, 9, {43, 21}},   // 9.31 truncates; 42.56 and 21.28 round
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.base) + " at " + std::to_string(c.zoom));
        TypeParam button;
        button.setResource(BMP_Check);
        button.setBaseFontSize(c.base);
        button.setZoom(c.zoom);
        EXPECT_EQ(fontPointSize(button.font()), c.points);
        EXPECT_EQ(button.glyph().size(), c.glyph);
        // One cell of the two is shown.
        EXPECT_EQ(button.iconSize(), QSize(c.glyph.width() / 2, c.glyph.height()));
    }
}

TYPED_TEST(ZoomButtonTest, OrderOfSettingsDoesNotMatter)
{
    TypeParam first;
    first.setResource(BMP_Printer);
    first.setZoom(175);
    first.setBaseFontSize(9);
    TypeParam second;
    second.setBaseFontSize(9);
    second.setZoom(175);
    second.setResource(BMP_Printer);
    EXPECT_EQ(first.glyph(), second.glyph());
    EXPECT_EQ(first.font(), second.font());
    EXPECT_EQ(first.iconSize(), second.iconSize());
}

TYPED_TEST(ZoomButtonTest, IconIsTransparentAroundTheGlyphAndGreyWhenDisabled)
{
    TypeParam button;
    button.setResource(BMP_Cancel);
    const QSize cell = button.iconSize();
    const QImage normal = button.icon().pixmap(cell, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage disabled =
        button.icon().pixmap(cell, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(normal.size(), cell);
    // The corner is background; the middle of the cross is drawn in red.
    EXPECT_EQ(qAlpha(normal.pixel(0, cell.height() - 1)), 0);
    EXPECT_EQ(qAlpha(normal.pixel(0, 0)), 0);
    const QRgb centre = normal.pixel(cell.width() / 2, cell.height() / 2);
    EXPECT_EQ(qAlpha(centre), 255);
    EXPECT_EQ(qRed(centre), 255);
    EXPECT_EQ(qGreen(centre), 0);
    // The disabled picture comes from the right-hand cell, not from Qt's own
    // greying of the normal one.
    const QImage glyph = button.glyph().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(disabled.pixel(cell.width() / 2, cell.height() / 2),
              glyph.pixel(cell.width() + cell.width() / 2, cell.height() / 2));
}

} // namespace
} // namespace ostrel
