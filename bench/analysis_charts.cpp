// SPDX-License-Identifier: Apache-2.0
// The analysis charts of the picture that holds all 16 777 216 colours,
// drawn at 1000 × 700 as the analysis window draws them: each is one walk of
// the colour tree. Every chart also reports the longest stretch between two
// calls of its yield callback, which bounds how long a button pressed during
// the drawing waits before the drawing stops.
#include "EveryColourPicture.h"
#include "GuiBenchmarkMain.h"
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"

#include <QElapsedTimer>

#include <algorithm>

using namespace ostrel;

namespace {

TZQXTColorSplayTree& everyColourTree()
{
    static TZQXTColorSplayTree tree = [] {
        TZQXTColorSplayTree counted;
        CountColorsQuiet(everyColourPicture(), &counted);
        return counted;
    }();
    return tree;
}

void BM_Chart(benchmark::State& state, ChartChoice choice)
{
    TZQXTColorSplayTree& tree = everyColourTree();
    QImage chart = allocatePicture(1000, 700);
    double longestGapMs = 0;
    for (auto _ : state) {
        QElapsedTimer sinceYield;
        sinceYield.start();
        const bool complete = drawAnalysisChart(chart, tree, choice, [&] {
            longestGapMs = std::max(longestGapMs, sinceYield.nsecsElapsed() / 1e6);
            sinceYield.restart();
            return true;
        });
        benchmark::DoNotOptimize(complete);
        benchmark::DoNotOptimize(chart.constBits());
    }
    state.counters["colours"] = tree.Count();
    state.counters["longest_yield_gap_ms"] = longestGapMs;
}

BENCHMARK_CAPTURE(BM_Chart, Bright, ChartChoice{AnalysisChart::Bright, false, DotStyle::Points})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, RgbPoints, ChartChoice{AnalysisChart::Rgb, false, DotStyle::Points})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, RgbBlocks, ChartChoice{AnalysisChart::Rgb, false, DotStyle::Blocks})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, RgbOutline, ChartChoice{AnalysisChart::Rgb, false, DotStyle::Outline})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, HsvPoints, ChartChoice{AnalysisChart::Hsv, false, DotStyle::Points})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, HsvBlocks, ChartChoice{AnalysisChart::Hsv, false, DotStyle::Blocks})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chart, HsvOutline, ChartChoice{AnalysisChart::Hsv, true, DotStyle::Outline})
    ->Unit(benchmark::kMillisecond);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN();
