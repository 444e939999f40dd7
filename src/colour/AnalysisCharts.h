// SPDX-License-Identifier: Apache-2.0
#pragma once
// The three charts of a picture's colours that the analysis window shows and
// `ostrel-cli chart` writes: the brightness histogram ("Bright Map"), the
// colours placed in an RGB cube ("RGB Map") and the colours projected along
// the grey axis onto a hue hexagon ("HSV Map"). They draw into a 24-bit
// picture: dots are written straight into its rows, faces, labels, ramps and
// outlines go through a QPainter.
#include "colour/PaletteTypes.h"
#include "colour/ZQXSplayTree.h"

#include <QImage>
#include <QPoint>
#include <functional>
#include <vector>

class QPainter;

namespace ostrel {

enum class AnalysisChart { Bright, Rgb, Hsv };
enum class DotStyle { Points, Blocks, Outline };

struct ChartChoice {
    AnalysisChart chart = AnalysisChart::Bright;
    bool reverse = false;
    DotStyle dots = DotStyle::Points;
};

// Called at least every 5000 colours while a chart walks its tree, and where
// a window would show what is drawn so far. Returning false stops the
// drawing at once; the chart is then incomplete. The core never runs an
// event loop itself: the window's callback does.
using ChartYield = std::function<bool()>;

// Every this many colours a drawing loop calls its yield callback.
constexpr int kChartYieldColours = 5000;

// The first analysis of a picture shows small blocks when it has at most this
// many colours, single pixels otherwise.
constexpr int64_t kBlocksColourLimit = 100000;
inline DotStyle firstAnalysisDots(int64_t colours)
{
    return colours <= kBlocksColourLimit ? DotStyle::Blocks : DotStyle::Points;
}

// A 24-bit chart picture of that size, filled cyan with a one-pixel black
// border; null when the size is not allowed.
QImage newAnalysisChart(int width, int height);
void clearAnalysisChart(QImage& chart);

// The three charts. Each expects a cleared chart picture and walks the tree
// once without changing it (its cursor included). Each returns false when the
// yield callback stopped it.
bool DrawBrightnessChart(QImage& chart, const TZQXTColorSplayTree& tree, const ChartYield& yield = {});
bool DrawCubeChart(QImage& chart, const TZQXTColorSplayTree& tree, bool reverse, DotStyle dots,
                   const ChartYield& yield = {});
bool DrawHexagonChart(QImage& chart, const TZQXTColorSplayTree& tree, bool reverse, DotStyle dots,
                      const ChartYield& yield = {});

// Clears the chart and, when the tree holds any colour, draws the chosen chart.
bool drawAnalysisChart(QImage& chart, const TZQXTColorSplayTree& tree, const ChartChoice& choice,
                       const ChartYield& yield = {});

// The brightness level 0..255 of a colour: its distance from black divided
// by √3, rounded halves to even.
int brightnessLevel(ColourValue colour);

// A polygon that keeps one vertex per straight run: a point that continues
// the last segment's direction replaces the previous point.
class TObjectOutline {
public:
    TObjectOutline(QPainter* canvas, int capacity);
    ~TObjectOutline() { Clear(); }

    void Clear();
    // Points beyond the capacity are ignored, so a full outline keeps its shape.
    void AddPoint(int x, int y);
    // 1 outline only, 2 fill only, 3 fill then outline, with the canvas's pen
    // and brush; a clear brush skips the fill and a clear pen the outline.
    void Draw(int mode);

    const std::vector<QPoint>& points() const { return m_points; }
    int capacity() const { return m_capacity; }

private:
    QPainter* m_canvas;
    int m_capacity;
    std::vector<QPoint> m_points;
    QPoint m_lastDirection;
};

} // namespace ostrel
