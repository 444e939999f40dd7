// SPDX-License-Identifier: Apache-2.0
// The census of a picture that holds every one of the 16 777 216 colours once
// (4096 × 4096): time, and the peak memory of the whole process, which must
// stay under 450 MB. Run it on its own so that no other benchmark's memory
// counts: bench_census_all_colours.
#include "colour/Census.h"
#include "EveryColourPicture.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace ostrel;

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void BM_CensusEveryColour(benchmark::State& state)
{
    const QImage picture = everyColourPicture();
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
