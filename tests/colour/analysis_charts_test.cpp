// SPDX-License-Identifier: Apache-2.0
// The analysis charts: brightness levels and bars, dot styles and their
// sizes, drawing order, the outline polygon, stopping through the yield
// callback, and golden pictures of every chart kind and dot style.
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"
#include "util/Picture.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace ostrel;

namespace {

// A tree holding the colours with the given pixel counts.
void fillTree(TZQXTColorSplayTree& tree, const std::vector<std::pair<ColourValue, int32_t>>& colours)
{
    tree.Clear();
    for (const auto& [colour, count] : colours)
        tree.SetCount(colour, count);
}

ColourValue pixelAt(const QImage& chart, int x, int y)
{
    const uchar* p = chart.constScanLine(y) + 3 * x;
    return colorValue(p[2], p[1], p[0]);
}

constexpr ColourValue kYellowValue = colorValue(255, 255, 0);
constexpr ColourValue kGreyValue = colorValue(128, 128, 128);
constexpr ColourValue kBlackValue = 0;

TEST(BrightnessLevel, DistanceFromBlackOverRootThree)
{
    struct Case {
        ColourValue colour;
        int level;
    };
    const Case cases[] = {
        {colorValue(0, 0, 0), 0},       {colorValue(255, 255, 255), 255}, {colorValue(128, 128, 128), 128},
        {colorValue(255, 0, 0), 147},   {colorValue(0, 0, 255), 147},     {colorValue(255, 255, 0), 208},
        {colorValue(1, 1, 1), 1},       {colorValue(0, 0, 1), 1}, // 0.577 rounds up
    };
    for (const Case& c : cases)
        EXPECT_EQ(brightnessLevel(c.colour), c.level) << std::hex << c.colour;
}

// The levels whose columns hold a bar above the axis, for a chart where
// each level is d pixels wide.
std::set<int> barLevels(const QImage& chart, int d)
{
    const int L = chart.width() / 2 - 128 * d, Y0 = chart.height() - 40;
    std::set<int> levels;
    for (int i = 0; i < 256; ++i)
        for (int y = 1; y < Y0; ++y) {
            const ColourValue p = pixelAt(chart, L + i * d, y);
            if (p == kYellowValue || p == kGreyValue) {
                levels.insert(i);
                break;
            }
        }
    return levels;
}

TEST(BrightnessChart, BarsStandAtTheLevelsOfThePixels)
{
    struct Case {
        const char* what;
        std::vector<std::pair<ColourValue, int32_t>> colours;
        std::set<int> levels;
    };
    const Case cases[] = {
        {"black and white", {{colorValue(0, 0, 0), 5}, {colorValue(255, 255, 255), 5}}, {0, 255}},
        {"grey", {{colorValue(128, 128, 128), 1}}, {128}},
        {"pure red", {{colorValue(255, 0, 0), 3}}, {147}},
        {"two colours of one level add up", {{colorValue(255, 0, 0), 1}, {colorValue(0, 255, 0), 1}}, {147}},
    };
    for (const Case& c : cases) {
        TZQXTColorSplayTree tree;
        fillTree(tree, c.colours);
        QImage chart = newAnalysisChart(600, 400); // d = 2
        ASSERT_TRUE(DrawBrightnessChart(chart, tree));
        EXPECT_EQ(barLevels(chart, 2), c.levels) << c.what;
    }
}

TEST(BrightnessChart, BarHeightIsAThousandTimesTheShareTimesDSquared)
{
    // One pixel in 1000 at level 0: 1000 × 0.001 × 2² = 4 pixels, plus the
    // bar's top edge one row higher.
    TZQXTColorSplayTree tree;
    fillTree(tree, {{colorValue(0, 0, 0), 1}, {colorValue(255, 255, 255), 999}});
    QImage chart = newAnalysisChart(600, 400);
    ASSERT_TRUE(DrawBrightnessChart(chart, tree));
    const int L = 300 - 256, Y0 = 360;
    EXPECT_EQ(pixelAt(chart, L, Y0 - 5), kGreyValue);
    EXPECT_NE(pixelAt(chart, L, Y0 - 6), kGreyValue);
    EXPECT_EQ(pixelAt(chart, L, Y0 - 1), kGreyValue);
}

TEST(BrightnessChart, BelowTwoHundredNinetySixPixelsNothingButEmptyRectangles)
{
    TZQXTColorSplayTree tree;
    fillTree(tree, {{colorValue(0, 0, 0), 1}, {colorValue(200, 10, 10), 1}, {colorValue(255, 255, 255), 2}});
    for (const int width : {41, 200, 295}) {
        QImage chart = newAnalysisChart(width, 300);
        const QImage cleared = chart.copy();
        ASSERT_TRUE(DrawBrightnessChart(chart, tree));
        EXPECT_EQ(chart, cleared) << width;
    }
    QImage chart = newAnalysisChart(296, 300);
    const QImage cleared = chart.copy();
    ASSERT_TRUE(DrawBrightnessChart(chart, tree));
    EXPECT_NE(chart, cleared) << "d = 1 at 296 pixels";
}

// Number of pixels of the colour in the chart.
int countPixels(const QImage& chart, ColourValue colour)
{
    int n = 0;
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x)
            n += pixelAt(chart, x, y) == colour;
    return n;
}

TEST(CubeChart, DotSizeFollowsTheChartWidth)
{
    // A colour that occurs nowhere else in the chart; its pixels show the dot.
    const ColourValue dot = colorValue(200, 60, 90);
    TZQXTColorSplayTree tree;
    fillTree(tree, {{dot, 1}});
    struct Case {
        int width;
        DotStyle dots;
        int pixels; // of the dot's colour
    };
    const Case cases[] = {
        {300, DotStyle::Points, 1},  {300, DotStyle::Blocks, 0},  {300, DotStyle::Outline, 0}, // h = 0
        {450, DotStyle::Blocks, 1},  {450, DotStyle::Outline, 1}, // h = 1: a lone pixel, a 3×3 outline
        {700, DotStyle::Blocks, 9},  {700, DotStyle::Outline, 9}, // h = 2: 3×3, 5×5 with a 3×3 inside
    };
    for (const Case& c : cases) {
        QImage chart = newAnalysisChart(c.width, 500);
        ASSERT_TRUE(DrawCubeChart(chart, tree, false, c.dots));
        EXPECT_EQ(countPixels(chart, dot), c.pixels) << c.width << " style " << int(c.dots);
    }
}

TEST(CubeChart, BlocksOfZeroHalfSizeDrawNothingAtAll)
{
    TZQXTColorSplayTree some, other;
    fillTree(some, {{colorValue(10, 20, 30), 1}, {colorValue(250, 100, 0), 4}});
    fillTree(other, {{colorValue(0, 0, 0), 1}});
    QImage a = newAnalysisChart(300, 400), b = newAnalysisChart(300, 400);
    ASSERT_TRUE(DrawCubeChart(a, some, false, DotStyle::Blocks));
    ASSERT_TRUE(DrawCubeChart(b, other, false, DotStyle::Blocks));
    EXPECT_EQ(a, b);
}

// Two colours one red step apart overlap as blocks; the one drawn last
// shows at the other's centre.
TEST(ChartOrder, CubeStaysDescendingAndHexagonReversesWithReverse)
{
    const ColourValue low = colorValue(100, 100, 100), high = colorValue(101, 100, 100);
    TZQXTColorSplayTree tree;
    fillTree(tree, {{low, 1}, {high, 1}});
    struct Case {
        AnalysisChart chart;
        bool reverse;
        ColourValue drawnLast;
    };
    const Case cases[] = {
        {AnalysisChart::Rgb, false, low},
        {AnalysisChart::Rgb, true, low},
        {AnalysisChart::Hsv, false, high},
        {AnalysisChart::Hsv, true, low},
    };
    for (const Case& c : cases) {
        QImage chart = allocatePicture(1200, 900);
        ASSERT_TRUE(drawAnalysisChart(chart, tree, {c.chart, c.reverse, DotStyle::Blocks}));
        const int lastPixels = countPixels(chart, c.drawnLast);
        const int firstPixels = countPixels(chart, c.drawnLast == low ? high : low);
        EXPECT_EQ(lastPixels, 49) << "chart " << int(c.chart) << " reverse " << c.reverse; // 7×7 whole
        EXPECT_LT(firstPixels, 49) << "chart " << int(c.chart) << " reverse " << c.reverse;
    }
}

TEST(CubeChart, ReverseTurnsTheCube)
{
    TZQXTColorSplayTree tree;
    fillTree(tree, {{colorValue(10, 20, 30), 1}});
    QImage front = newAnalysisChart(800, 600), back = newAnalysisChart(800, 600);
    ASSERT_TRUE(DrawCubeChart(front, tree, false, DotStyle::Points));
    ASSERT_TRUE(DrawCubeChart(back, tree, true, DotStyle::Points));
    EXPECT_NE(front, back);
    // A tall, narrow chart still holds the whole reversed cube: nothing grey
    // touches the left or right edge.
    QImage narrow = newAnalysisChart(420, 1000);
    ASSERT_TRUE(DrawCubeChart(narrow, tree, true, DotStyle::Points));
    for (int y = 0; y < narrow.height(); ++y) {
        EXPECT_NE(pixelAt(narrow, 1, y), kGreyValue) << y;
        EXPECT_NE(pixelAt(narrow, narrow.width() - 2, y), kGreyValue) << y;
    }
}

TEST(HexagonChart, GreysLieAtTheCentreAndPrimariesTowardsTheirCorners)
{
    const ColourValue grey = colorValue(77, 77, 77);
    TZQXTColorSplayTree tree;
    fillTree(tree, {{grey, 1}});
    QImage chart = newAnalysisChart(400, 300);
    ASSERT_TRUE(DrawHexagonChart(chart, tree, false, DotStyle::Points));
    EXPECT_EQ(pixelAt(chart, 200, 150), grey);
    // Green lies to the right at S = 135 pixels.
    const ColourValue green = colorValue(0, 255, 0);
    fillTree(tree, {{green, 1}});
    chart = newAnalysisChart(400, 300);
    ASSERT_TRUE(DrawHexagonChart(chart, tree, false, DotStyle::Points));
    EXPECT_EQ(pixelAt(chart, 335, 150), green);
}

TEST(Charts, TinyChartsWriteNothingOutsideThePicture)
{
    TZQXTColorSplayTree tree;
    std::vector<std::pair<ColourValue, int32_t>> colours;
    for (int i = 0; i < 4096; ++i)
        colours.push_back({ColourValue(i) * 4093u % 0x1000000u, 1});
    fillTree(tree, colours);
    for (const QSize size : {QSize(1, 1), QSize(2, 300), QSize(300, 2), QSize(40, 40), QSize(3000, 30)})
        for (const AnalysisChart kind : {AnalysisChart::Bright, AnalysisChart::Rgb, AnalysisChart::Hsv})
            for (const DotStyle dots : {DotStyle::Points, DotStyle::Blocks, DotStyle::Outline}) {
                QImage chart = allocatePicture(size.width(), size.height());
                EXPECT_TRUE(drawAnalysisChart(chart, tree, {kind, true, dots}));
                EXPECT_EQ(chart.size(), size);
            }
}

TEST(Charts, EmptyTreeLeavesOnlyTheClearedChart)
{
    TZQXTColorSplayTree empty;
    for (const AnalysisChart kind : {AnalysisChart::Bright, AnalysisChart::Rgb, AnalysisChart::Hsv}) {
        QImage chart = allocatePicture(200, 100);
        ASSERT_TRUE(drawAnalysisChart(chart, empty, {kind, false, DotStyle::Blocks}));
        EXPECT_EQ(countPixels(chart, colorValue(0, 255, 255)), 198 * 98);
        EXPECT_EQ(countPixels(chart, kBlackValue), 200 * 100 - 198 * 98);
    }
}

TEST(Charts, YieldRunsEveryFiveThousandColoursAndStopsTheDrawing)
{
    TZQXTColorSplayTree tree;
    std::vector<std::pair<ColourValue, int32_t>> colours;
    for (int i = 0; i < 23000; ++i)
        colours.push_back({ColourValue(i) * 613u, 1});
    fillTree(tree, colours);
    const ChartChoice choices[] = {{AnalysisChart::Bright, false, DotStyle::Points},
                                    {AnalysisChart::Rgb, false, DotStyle::Points},
                                    {AnalysisChart::Rgb, true, DotStyle::Outline},
                                    {AnalysisChart::Hsv, false, DotStyle::Blocks},
                                    {AnalysisChart::Hsv, true, DotStyle::Outline}};
    for (const ChartChoice& choice : choices) {
        int calls = 0;
        QImage whole = allocatePicture(500, 400);
        ASSERT_TRUE(drawAnalysisChart(whole, tree, choice, [&] { return ++calls > 0; }));
        EXPECT_GE(calls, 23000 / kChartYieldColours) << int(choice.chart);

        // Stopped at the first call: the drawing returns at once, unfinished.
        int stoppedCalls = 0;
        QImage stopped = allocatePicture(500, 400);
        EXPECT_FALSE(drawAnalysisChart(stopped, tree, choice, [&] { return ++stoppedCalls < 2; }))
            << int(choice.chart);
        EXPECT_EQ(stoppedCalls, 2);
        EXPECT_NE(stopped, whole) << int(choice.chart);
    }
}

TEST(ObjectOutline, CollinearStepsMerge)
{
    struct Case {
        const char* what;
        std::vector<QPoint> added;
        std::vector<QPoint> kept;
    };
    const Case cases[] = {
        {"a horizontal run", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{0, 0}, {3, 0}}},
        {"a diagonal of unequal steps", {{0, 0}, {2, 2}, {3, 3}}, {{0, 0}, {3, 3}}},
        {"a vertical run of long steps", {{0, 0}, {0, 5}, {0, 7}}, {{0, 0}, {0, 7}}},
        {"a repeated point", {{4, 4}, {4, 4}, {5, 4}}, {{4, 4}, {5, 4}}},
        {"turning back is a corner", {{0, 0}, {2, 0}, {1, 0}}, {{0, 0}, {2, 0}, {1, 0}}},
        {"same slope, reduced", {{0, 0}, {2, 1}, {4, 2}, {5, 2}}, {{0, 0}, {4, 2}, {5, 2}}},
        {"a square", {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}}, {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}}},
    };
    for (const Case& c : cases) {
        TObjectOutline outline(nullptr, 10);
        for (const QPoint& p : c.added)
            outline.AddPoint(p.x(), p.y());
        EXPECT_EQ(outline.points(), c.kept) << c.what;
    }
}

TEST(ObjectOutline, CapacityIsAtLeastSixteenAndNeverOverrun)
{
    TObjectOutline outline(nullptr, 3);
    EXPECT_EQ(outline.capacity(), 16);
    for (int i = 0; i < 40; ++i)
        outline.AddPoint(i, i % 2); // a zigzag: every point a corner
    ASSERT_EQ(outline.points().size(), 16u);
    EXPECT_EQ(outline.points().back(), QPoint(15, 1));
    outline.Clear();
    outline.AddPoint(1, 0);
    outline.AddPoint(2, 0);
    outline.AddPoint(3, 0); // the direction from before Clear is forgotten
    EXPECT_EQ(outline.points(), (std::vector<QPoint>{{1, 0}, {3, 0}}));
    outline.Draw(3); // no canvas: nothing happens
}

TEST(ObjectOutline, DrawModesFillAndOutline)
{
    const QColor pen(255, 0, 0), brush(0, 0, 255);
    struct Case {
        int mode;
        Qt::BrushStyle brushStyle;
        Qt::PenStyle penStyle;
        bool filled, outlined;
    };
    const Case cases[] = {
        {1, Qt::SolidPattern, Qt::SolidLine, false, true}, {2, Qt::SolidPattern, Qt::SolidLine, true, false},
        {3, Qt::SolidPattern, Qt::SolidLine, true, true},  {3, Qt::NoBrush, Qt::SolidLine, false, true},
        {3, Qt::SolidPattern, Qt::NoPen, true, false},
    };
    for (const Case& c : cases) {
        QImage canvas = allocateFilledPicture(30, 30, 255, 255, 255);
        {
            QPainter painter(&canvas);
            painter.setPen(QPen(pen, 1, c.penStyle));
            painter.setBrush(QBrush(brush, c.brushStyle));
            TObjectOutline outline(&painter, 10);
            for (const QPoint& p : {QPoint(5, 5), QPoint(25, 5), QPoint(25, 25), QPoint(5, 25), QPoint(5, 5)})
                outline.AddPoint(p.x(), p.y());
            outline.Draw(c.mode);
            EXPECT_EQ(painter.pen().style(), c.penStyle) << "pen restored after the fill";
        }
        EXPECT_EQ(canvas.pixelColor(15, 15) == brush, c.filled) << c.mode;
        EXPECT_EQ(canvas.pixelColor(15, 5) == pen, c.outlined) << c.mode;
    }
    // One point is no shape.
    QImage canvas = allocateFilledPicture(10, 10, 255, 255, 255);
    const QImage blank = canvas.copy();
    {
        QPainter painter(&canvas);
        painter.setPen(pen);
        painter.setBrush(brush);
        TObjectOutline outline(&painter, 10);
        outline.AddPoint(3, 3);
        outline.Draw(3);
    }
    EXPECT_EQ(canvas, blank);
}

// Golden pictures: every chart kind and dot style of two small fixtures at
// 600 × 420, compared pixel for pixel with references made once by this
// code and looked at by eye. To make them again after a deliberate change
// to the drawing (and then look at every one of them):
//   OSTREL_UPDATE_GOLDEN=1 test_colour --gtest_filter='ChartGolden.*'
// run from the build folder; the pictures land in tests/colour/golden/.

// Sixteen colours, 4 or 3 pixels each: the cube's corners, greys and a few
// mixtures, to see each one's place.
QImage cornersFixture()
{
    const ColourValue colours[16] = {
        colorValue(0, 0, 0),       colorValue(255, 255, 255), colorValue(255, 0, 0),    colorValue(0, 255, 0),
        colorValue(0, 0, 255),     colorValue(255, 255, 0),   colorValue(0, 255, 255),  colorValue(255, 0, 255),
        colorValue(64, 64, 64),    colorValue(128, 128, 128), colorValue(192, 192, 192), colorValue(255, 128, 0),
        colorValue(255, 128, 192), colorValue(0, 128, 128),   colorValue(32, 32, 160),  colorValue(160, 200, 40)};
    QImage picture = allocatePicture(8, 7);
    int index = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x, ++index) {
            const ColourValue c = colours[index % 16];
            uchar* p = picture.scanLine(y) + 3 * x;
            p[0] = blueOf(c);
            p[1] = greenOf(c);
            p[2] = redOf(c);
        }
    return picture;
}

// 2304 colours spread over the cube: red across, green down, blue mixed.
QImage gradientFixture()
{
    QImage picture = allocatePicture(48, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            uchar* p = picture.scanLine(y) + 3 * x;
            p[0] = uchar((x * y) % 256);
            p[1] = uchar(y * 5);
            p[2] = uchar(x * 5);
        }
    return picture;
}

struct GoldenCase {
    const char* name;
    ChartChoice choice;
};
const GoldenCase kGoldenCases[] = {
    {"bright", {AnalysisChart::Bright, false, DotStyle::Points}},
    {"rgb-points", {AnalysisChart::Rgb, false, DotStyle::Points}},
    {"rgb-blocks", {AnalysisChart::Rgb, false, DotStyle::Blocks}},
    {"rgb-outline", {AnalysisChart::Rgb, false, DotStyle::Outline}},
    {"rgb-reverse-blocks", {AnalysisChart::Rgb, true, DotStyle::Blocks}},
    {"hsv-points", {AnalysisChart::Hsv, false, DotStyle::Points}},
    {"hsv-blocks", {AnalysisChart::Hsv, false, DotStyle::Blocks}},
    {"hsv-outline", {AnalysisChart::Hsv, false, DotStyle::Outline}},
    {"hsv-reverse-outline", {AnalysisChart::Hsv, true, DotStyle::Outline}},
};

void checkGolden(const char* fixtureName, const QImage& fixture)
{
    const QString folder = QStringLiteral(OSTREL_SOURCE_DIR "/tests/colour/golden/");
    const bool update = qEnvironmentVariableIsSet("OSTREL_UPDATE_GOLDEN");
    TZQXTColorSplayTree tree;
    CountColorsQuiet(fixture, &tree);
    for (const GoldenCase& c : kGoldenCases) {
        QImage chart = allocatePicture(600, 420);
        ASSERT_TRUE(drawAnalysisChart(chart, tree, c.choice));
        const QString path = folder + QLatin1String(fixtureName) + QLatin1Char('-') + QLatin1String(c.name)
            + QStringLiteral(".png");
        if (update) {
            QDir().mkpath(folder);
            ASSERT_TRUE(chart.save(path)) << path.toStdString();
            continue;
        }
        QImage golden(path);
        ASSERT_FALSE(golden.isNull()) << "missing reference " << path.toStdString();
        golden = golden.convertToFormat(kPictureFormat);
        EXPECT_TRUE(chart == golden) << "chart differs from " << path.toStdString()
                                     << "; look at both before making the reference again";
    }
}

TEST(ChartGolden, Corners)
{
    checkGolden("corners", cornersFixture());
}

TEST(ChartGolden, Gradient)
{
    checkGolden("gradient", gradientFixture());
}

} // namespace
