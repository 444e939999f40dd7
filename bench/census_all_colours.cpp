// The census of a picture that holds every one of the 16 777 216 colours once
// (4096 × 4096): time, and the peak memory of the whole process, which must
// stay under 450 MB. Run it on its own so that no other benchmark's memory
// counts: bench_census_all_colours.
#include "colour/Census.h"
#include "util/Picture.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace ostrel;

namespace {

QImage everyColour()
{
    QImage picture = allocatePicture(4096, 4096);
    for (int y = 0; y < 4096; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < 4096; ++x) {
            const uint32_t colour = uint32_t(y) * 4096 + uint32_t(x);
            row[3 * x] = uint8_t(colour >> 16);
            row[3 * x + 1] = uint8_t(colour >> 8);
            row[3 * x + 2] = uint8_t(colour);
        }
    }
    return picture;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void BM_CensusEveryColour(benchmark::State& state)
{
    const QImage picture = everyColour();
    for (auto _ : state) {
        TZQXTColorSplayTree tree;
        CountColorsQuiet(picture, &tree);
        benchmark::DoNotOptimize(tree.Count());
        state.counters["colours"] = tree.Count();
    }
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_CensusEveryColour)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
