// SPDX-License-Identifier: Apache-2.0
// Adaptive hiding of a 12-megapixel photo-like picture at 0.1 and 0.4 bits
// per pixel (Arg: tenths of a bit): the costs alone, a whole encode (costs,
// fit, derivation, trellis coding) and a whole decode through the decode
// every program runs (the plain, sealed and adaptive readings, so two
// derivations). The peak resident size of the process is reported as a
// counter, in bytes, beside the picture's 36 MB.
#include "GradientPhoto.h"
#include "engine/AdaptiveCost.h"
#include "engine/AdaptiveMode.h"
#include "engine/Decoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

using namespace ostrel;
using namespace ostrel::bench;

const QByteArray kBenchPassword = "adaptive benchmark";

double peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024;
}

struct AdaptiveFixture {
    QTemporaryDir dir;
    QString payload;
    QImage picture = gradientPhoto();

    explicit AdaptiveFixture(int64_t tenthsOfABit)
    {
        // The container adds 43 bytes and the name and date-time; the prefix 20.
        const int64_t bytes = int64_t(kPhotoWidth) * kPhotoHeight * tenthsOfABit / 80 - 200;
        payload = dir.filePath(QStringLiteral("payload.bin"));
        QFile file(payload);
        if (file.open(QIODevice::WriteOnly)) {
            QByteArray data(bytes, Qt::Uninitialized);
            for (qsizetype i = 0; i < data.size(); ++i)
                data[i] = char(i * 131 + (i >> 7));
            file.write(data);
        }
    }
};

void BM_HillCosts12MP(benchmark::State& state)
{
    const QImage& picture = gradientPhoto();
    for (auto _ : state)
        benchmark::DoNotOptimize(hillCosts(picture).data());
}
BENCHMARK(BM_HillCosts12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdaptiveEncode12MP(benchmark::State& state)
{
    AdaptiveFixture fixture(state.range(0));
    for (auto _ : state) {
        QImage picture = fixture.picture;
        if (!EncodeAdaptivePayload(picture, fixture.payload, kBenchPassword, nullptr, {}, QStringLiteral("now")))
            state.SkipWithError("the encode failed");
    }
    state.counters["peak_rss"] = peakResidentBytes();
}
BENCHMARK(BM_AdaptiveEncode12MP)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_AdaptiveDecode12MP(benchmark::State& state)
{
    AdaptiveFixture fixture(state.range(0));
    if (!EncodeAdaptivePayload(fixture.picture, fixture.payload, kBenchPassword, nullptr, {}, QStringLiteral("now")))
        state.SkipWithError("the encode failed");
    const QString out = fixture.dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        QString path;
        if (!DecodePayloadWithPassword(fixture.picture, out, path, nullptr, kBenchPassword))
            state.SkipWithError("the decode failed");
    }
    state.counters["peak_rss"] = peakResidentBytes();
}
BENCHMARK(BM_AdaptiveDecode12MP)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
