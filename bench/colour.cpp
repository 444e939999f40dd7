// SPDX-License-Identifier: Apache-2.0
// The colour census, the palette builder and the palette search on a
// 12-megapixel photo-like picture: smooth plasma-like gradients with a little
// noise, about 2.9 million distinct colours. Beside the census (the work of
// ostrel-cli info), the detectors of hidden data that ostrel-cli check runs.
//
// bench_colour --write-photo=FILE.bmp saves that picture and exits, so whole
// programs can be timed on it (ostrel-cli info, against another tool's
// colour count, for instance).
#include "colour/ColourCount.h"
#include "colour/GraphicsToolsUnit.h"
#include "detect/Detection.h"
#include "util/Picture.h"
#include "util/PixelRows.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

QImage makePhoto(int width, int height)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-2, 2);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double u = x / double(width), v = y / double(height);
            const double red = 128 + 100 * std::sin(7 * u + 3 * std::sin(5 * v)) + 20 * std::cos(31 * u * v);
            const double green = 128 + 90 * std::sin(9 * v + 2 * std::cos(4 * u)) + 25 * std::sin(13 * (u + v));
            const double blue = 120 + 110 * std::cos(6 * (u - v) + std::sin(11 * u));
            row[3 * x + 0] = uint8_t(std::clamp(int(blue) + noise(rng), 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(int(green) + noise(rng), 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(int(red) + noise(rng), 0, 255));
        }
    }
    return picture;
}

const QImage& photo()
{
    static const QImage picture = makePhoto(kWidth, kHeight);
    return picture;
}

const TZQXTColorSplayTree& photoCensus()
{
    static const TZQXTColorSplayTree tree = [] {
        TZQXTColorSplayTree t;
        countColoursWithBase(photo(), t, {});
        return t;
    }();
    return tree;
}

// What check adds to loading: all detectors, and each on its own.
void BM_DetectPhoto12MP(benchmark::State& state)
{
    const QImage& picture = photo();
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            benchmark::DoNotOptimize(detectHiddenData(picture));
            break;
        case 1:
            benchmark::DoNotOptimize(chiSquareAttack(picture));
            break;
        case 2:
            benchmark::DoNotOptimize(samplePairsAnalysis(picture));
            break;
        case 3:
            benchmark::DoNotOptimize(rsAnalysis(picture));
            break;
        case 4:
            benchmark::DoNotOptimize(calibratedHcfCom(picture));
            break;
        case 5:
            benchmark::DoNotOptimize(payloadEnd(picture));
            break;
        }
    }
    static const char* const kLabels[] = {"all", "chi-square", "sample pairs", "RS", "HCF-COM", "payload end"};
    state.SetLabel(kLabels[state.range(0)]);
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_DetectPhoto12MP)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// What info counts: the colours and the save palette, by the census into a
// tree (0) and from rows visited once into a table of one bit per colour (1).
void BM_ColourCountPhoto12MP(benchmark::State& state)
{
    const QImage& picture = photo();
    for (auto _ : state) {
        if (state.range(0) == 0) {
            TZQXTColorSplayTree tree;
            benchmark::DoNotOptimize(countColoursWithBase(picture, tree, {}));
            benchmark::DoNotOptimize(savePaletteFromTree(tree));
        } else {
            PictureRows rows = PictureRows::readOnly(picture);
            benchmark::DoNotOptimize(countColoursOfRows(rows));
        }
    }
    state.SetLabel(state.range(0) == 0 ? "census" : "rows");
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_ColourCountPhoto12MP)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_CensusPhoto12MP(benchmark::State& state)
{
    const QImage& picture = photo();
    TZQXTColorSplayTree tree;
    for (auto _ : state) {
        CountColorsQuiet(picture, &tree);
        benchmark::DoNotOptimize(tree.Count());
    }
    state.counters["colours"] = tree.Count();
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_CensusPhoto12MP)->Unit(benchmark::kMillisecond);

// Smaller parts of the photograph: their blue planes are small enough to be
// sorted rather than counted in a table (see kSortBelow in the census).
void BM_CensusSquare(benchmark::State& state)
{
    const int side = int(state.range(0));
    const QImage picture = photo().copy(0, 0, side, side);
    TZQXTColorSplayTree tree;
    for (auto _ : state) {
        CountColorsQuiet(picture, &tree);
        benchmark::DoNotOptimize(tree.Count());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
}
BENCHMARK(BM_CensusSquare)->Arg(100)->Arg(320)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);

// What one splaying update per pixel costs, for comparison.
void BM_CensusBySplaying1MP(benchmark::State& state)
{
    const QImage picture = photo().copy(0, 0, 1000, 1000);
    for (auto _ : state) {
        TZQXTColorSplayTree tree;
        for (int y = 0; y < picture.height(); ++y) {
            const uint8_t* row = picture.constScanLine(y);
            for (int x = 0; x < picture.width(); ++x)
                tree.AddCount(colorValue(row[3 * x + 2], row[3 * x + 1], row[3 * x]), 1);
        }
        benchmark::DoNotOptimize(tree.Count());
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(BM_CensusBySplaying1MP)->Unit(benchmark::kMillisecond);

// The photograph reduced to 100 colours in diagonal stripes: few enough
// pairs of colours for the whole picture to be looked at.
const QImage& fewColourPhoto()
{
    static const QImage picture = [] {
        QImage p = allocatePicture(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = p.scanLine(y);
            for (int x = 0; x < kWidth; ++x) {
                const int shade = (x + y) / 7 % 100;
                row[3 * x + 0] = uint8_t(2 * shade + 3);
                row[3 * x + 1] = uint8_t(shade);
                row[3 * x + 2] = uint8_t(255 - shade);
            }
        }
        return p;
    }();
    return picture;
}

// How many colours a picture may have once encoded (the question a GIF save
// asks before any work), for the photograph (answered within a few pixels)
// and for a picture of 100 colours (answered from every pixel).
void BM_ColoursAfterEncoding12MP(benchmark::State& state)
{
    const QImage& picture = state.range(0) != 0 ? fewColourPhoto() : photo();
    for (auto _ : state)
        benchmark::DoNotOptimize(coloursWithBothBlueBits(picture));
    state.SetLabel(state.range(0) != 0 ? "100 colours" : "photograph");
}
BENCHMARK(BM_ColoursAfterEncoding12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PaletteBuildPhoto(benchmark::State& state)
{
    const TZQXTColorSplayTree& tree = photoCensus();
    for (auto _ : state) {
        TPaletteArray palette;
        int32_t count = 0;
        buildReductionPalette(tree, palette, count);
        benchmark::DoNotOptimize(palette);
    }
    state.counters["colours"] = tree.Count();
}
BENCHMARK(BM_PaletteBuildPhoto)->Unit(benchmark::kMillisecond);

// The reduction as the encoder's dithered path does it: build, then remap
// the whole picture with error diffusion.
void BM_ReducePhotoDithered(benchmark::State& state)
{
    const bool dither = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        QImage picture = photo().copy();
        TZQXTColorSplayTree tree;
        countColoursWithBase(picture, tree, {});
        state.ResumeTiming();
        TPaletteArray palette;
        int32_t count = 0;
        buildReductionPalette(tree, palette, count);
        RemapToPalette(picture, 0, 0, kWidth - 1, kHeight - 1, palette, count, dither, {});
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_ReducePhotoDithered)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

std::vector<TripleValue> photoTriples(size_t n)
{
    std::vector<TripleValue> triples;
    const QImage& picture = photo();
    std::mt19937 rng(3);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* px = picture.constScanLine(int(rng() % kHeight)) + 3 * (rng() % kWidth);
        triples.push_back(tripleValue(px[0], px[1], px[2]));
    }
    return triples;
}

TPaletteArray photoPalette()
{
    TPaletteArray palette;
    int32_t count = 0;
    buildReductionPalette(photoCensus(), palette, count);
    return palette;
}

// Either search over the photograph's own colours, each pixel asked for the
// parity of its own blue value as the encoder would.
template <class Search>
void BM_SearchParity(benchmark::State& state)
{
    const std::vector<TripleValue> triples = photoTriples(1 << 16);
    Search search(photoPalette(), 256);
    size_t i = 0;
    for (auto _ : state) {
        const TripleValue t = triples[i++ & (triples.size() - 1)];
        benchmark::DoNotOptimize(search.Search((t & 1) ? pfOddBlue : pfEvenBlue, t));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_SearchParity, TPaletteSearch);
BENCHMARK_TEMPLATE(BM_SearchParity, SequentialPaletteSearch);

// Exact matches: a picture already reduced to its palette, as the writers see it.
void BM_SearchExact(benchmark::State& state)
{
    const TPaletteArray palette = photoPalette();
    std::vector<TripleValue> triples;
    std::mt19937 rng(5);
    for (int i = 0; i < (1 << 16); ++i)
        triples.push_back(tripleOfColour(palette[rng() % 256]));
    TPaletteSearch search(palette, 256);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(search.NearestIndex(triples[i++ & (triples.size() - 1)]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SearchExact);

} // namespace

int main(int argc, char** argv)
{
    const QString writeOption = QStringLiteral("--write-photo=");
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(writeOption))
            return photo().save(argument.mid(writeOption.size()), "BMP") ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
