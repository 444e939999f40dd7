// SPDX-License-Identifier: Apache-2.0
// Adaptive hiding of a 12-megapixel photo-like picture at 0.1 and 0.4 bits
// per pixel (Arg: tenths of a bit): the costs alone, a whole encode (costs,
// fit, derivation, trellis coding) and a whole decode through the decode
// every program runs (the plain, sealed and adaptive readings, so two
// derivations). Memory is reported as counters, in bytes: `added`, the
// most the run held above what the process held as it started (the picture
// to hide in already there, in its own copy), beside the picture's 36 MB;
// and `peak_rss`, the whole process's peak during the run.
#include "engine/AdaptiveMode.h"
#include "engine/Decoder.h"

#include "AdaptiveCost.h"
#include "GradientPhoto.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace ostrel;
using namespace ostrel::bench;

const QByteArray kBenchPassword = "adaptive benchmark";

// A field of /proc/self/status in bytes (VmRSS, VmHWM), 0 when unreadable.
double statusBytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() * 1024;
    return 0;
}

// Measures the resident memory a run adds: the process's peak is reset as it
// starts (Linux 4.0 on: "5" to clear_refs), read again as it ends.
class MemoryWatch {
public:
    MemoryWatch()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_start = statusBytes("VmRSS");
    }
    void report(benchmark::State& state) const
    {
        const double peak = statusBytes("VmHWM");
        state.counters["peak_rss"] = peak;
        state.counters["added"] = peak - m_start;
    }

private:
    double m_start = 0;
};

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
        state.PauseTiming();
        QImage picture = fixture.picture;
        picture.detach(); // the caller's own picture, as a program that loaded it has
        const MemoryWatch memory;
        state.ResumeTiming();
        if (!encodeAdaptivePayload(picture, fixture.payload, kBenchPassword, nullptr, {}, QStringLiteral("now")))
            state.SkipWithError("the encode failed");
        memory.report(state);
    }
}
BENCHMARK(BM_AdaptiveEncode12MP)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_AdaptiveDecode12MP(benchmark::State& state)
{
    AdaptiveFixture fixture(state.range(0));
    if (!encodeAdaptivePayload(fixture.picture, fixture.payload, kBenchPassword, nullptr, {}, QStringLiteral("now")))
        state.SkipWithError("the encode failed");
    const QString out = fixture.dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        state.PauseTiming();
        const MemoryWatch memory;
        state.ResumeTiming();
        QString path;
        if (!decodePayloadWithPassword(fixture.picture, out, path, nullptr, kBenchPassword))
            state.SkipWithError("the decode failed");
        memory.report(state);
    }
}
BENCHMARK(BM_AdaptiveDecode12MP)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
