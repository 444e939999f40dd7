// SPDX-License-Identifier: Apache-2.0
// The keystream per bit, the straightforward generator against the word-at-a-time
// one, and a whole 12-megapixel carrier encoded and decoded in memory beside a
// plain copy of its pixels.
#include "Carrier.h"
#include "engine/Encoder.h"
#include "engine/HiddenStream.h"
#include "engine/TRandom.h"
#include "util/Picture.h"

#include "PayloadFormat.h"
#include "RandomReference.h"

#include "GradientPhoto.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

constexpr uint32_t kKeyLow = 0x9E3779B9u, kKeyHigh = 0x7F4A7C15u;
constexpr int kWidth = bench::kPhotoWidth, kHeight = bench::kPhotoHeight;
using bench::noisePicture;

// The header and payload of a stream that fills the picture with its checksum.
struct StreamParts {
    QByteArray header, payload;
};

StreamParts fullStreamParts()
{
    const int64_t capacity = int64_t(kWidth) * kHeight / 8;
    const int64_t payloadSize =
        capacity - payloadHeader("payload.bin", "2024-01-02 10:11:12", 0).size() - kChecksumBytes;
    StreamParts parts{payloadHeader("payload.bin", "2024-01-02 10:11:12", uint32_t(payloadSize)), {}};
    std::mt19937 rng(2);
    parts.payload.reserve(qsizetype(payloadSize));
    for (int64_t i = 0; i < payloadSize; ++i)
        parts.payload.append(char(rng()));
    return parts;
}

// The whole stream: header, payload and checksum.
QByteArray fullStream()
{
    const StreamParts parts = fullStreamParts();
    QByteArray stream = parts.header + parts.payload;
    appendInt32(stream, addToChecksum(0, stream.constData(), size_t(stream.size())));
    return stream;
}

void embed(QImage& picture, const QByteArray& stream)
{
    TRandom random(kKeyLow, kKeyHigh);
    CarrierWriter writer(picture, random, {});
    writer.writeBytes(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()));
    writer.finish();
}

void BM_KeystreamReference(benchmark::State& state)
{
    RandomReference random(kKeyLow, kKeyHigh);
    for (auto _ : state)
        benchmark::DoNotOptimize(random.NextBit());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeystreamReference);

void BM_KeystreamNextBit(benchmark::State& state)
{
    TRandom random(kKeyLow, kKeyHigh);
    for (auto _ : state)
        benchmark::DoNotOptimize(random.NextBit());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeystreamNextBit);

// Items are bits.
void BM_KeystreamWords(benchmark::State& state)
{
    const auto kernel = state.range(0) ? TRandom::Kernel::Portable : TRandom::Kernel::Fastest;
    TRandom random(kKeyLow, kKeyHigh, kernel);
    std::vector<uint64_t> words(4096);
    for (auto _ : state) {
        random.fillBits(words.data(), words.size());
        benchmark::DoNotOptimize(words.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(words.size()) * 64);
    state.SetLabel(kernel == TRandom::Kernel::Portable ? "portable" : "fastest");
}
BENCHMARK(BM_KeystreamWords)->Arg(0)->Arg(1);

void BM_Seed(benchmark::State& state)
{
    for (auto _ : state) {
        TRandom random(kKeyLow, kKeyHigh);
        benchmark::DoNotOptimize(random.NextBit());
    }
}
BENCHMARK(BM_Seed);

// The yardstick: one copy of the picture's pixels.
void BM_CopyPixels12MP(benchmark::State& state)
{
    const QImage picture = noisePicture();
    std::vector<uint8_t> copy(size_t(picture.sizeInBytes()), 1);
    for (auto _ : state) {
        std::memcpy(copy.data(), picture.constBits(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}
BENCHMARK(BM_CopyPixels12MP)->Unit(benchmark::kMillisecond);

// Keystream, stream bits and the lowest-blue-bit pass over every pixel.
void BM_EncodeTrueColour12MP(benchmark::State& state)
{
    QImage picture = noisePicture();
    const QByteArray stream = fullStream();
    for (auto _ : state) {
        embed(picture, stream);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}
BENCHMARK(BM_EncodeTrueColour12MP)->Unit(benchmark::kMillisecond);

// Reading a stream that fills the whole picture back, with its running sum.
void BM_DecodeTrueColour12MP(benchmark::State& state)
{
    QImage picture = noisePicture();
    const QByteArray stream = fullStream();
    embed(picture, stream);
    QByteArray decoded(stream.size(), Qt::Uninitialized);
    for (auto _ : state) {
        TRandom random(kKeyLow, kKeyHigh);
        CarrierReader reader(picture, random);
        reader.readBytes(reinterpret_cast<uint8_t*>(decoded.data()), size_t(decoded.size()));
        benchmark::DoNotOptimize(addToChecksum(0, decoded.constData(), size_t(decoded.size())));
    }
    if (decoded != stream)
        state.SkipWithError("the stream did not come back");
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}
BENCHMARK(BM_DecodeTrueColour12MP)->Unit(benchmark::kMillisecond);

// The same two through the stream layer the named entry points use, which
// adds the checksum and the header checks to the carrier's work.
void BM_WriteHiddenStream12MP(benchmark::State& state)
{
    QImage picture = noisePicture();
    const auto [header, payload] = fullStreamParts();
    for (auto _ : state) {
        writeHiddenStream(picture, header, payload, kKeyLow, kKeyHigh, CarrierStyle{}, {});
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}
BENCHMARK(BM_WriteHiddenStream12MP)->Unit(benchmark::kMillisecond);

// A stand-in for a photograph with a bright sky: smooth shading with a
// little grain, the upper half about a third clipped at 255.
QImage skyPicture()
{
    QImage picture = allocatePicture(kWidth, kHeight);
    std::mt19937 rng(2);
    std::normal_distribution<double> grain(0.0, 1.0);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const double shade = y < kHeight / 2 ? 248.0 + 12.0 * std::sin(x / 190.0 + y / 230.0)
                                                 : 110.0 + 50.0 * std::sin(x / 310.0) * std::cos(y / 170.0);
            const long blue = std::clamp(std::lround(shade + grain(rng)), 0L, 255L);
            row[3 * x] = uint8_t(blue);
            row[3 * x + 1] = uint8_t(blue * 3 / 4);
            row[3 * x + 2] = uint8_t(blue / 2);
        }
    }
    return picture;
}

// The stealth mode over the same full stream: each changed blue value moves
// by one. Set beside BM_WriteHiddenStream12MP. Moves while the forced ones
// at 0 and 255 are being paid back cost more; in noise that is nearly all of
// them, in the sky picture the ones near its clipped part.
void writeStealthily(benchmark::State& state, const QImage& carrier)
{
    const auto [header, payload] = fullStreamParts();
    std::vector<uint64_t> directions(size_t(header.size() + payload.size() + kChecksumBytes) / 8 + 1);
    std::mt19937_64 rng(3);
    for (uint64_t& word : directions)
        word = rng();
    CarrierStyle style;
    style.stealth = true;
    style.directions = directions;
    QImage picture = carrier;
    for (auto _ : state) {
        // From the same carrier each time, so about half the values move as in a real run.
        state.PauseTiming();
        std::memcpy(picture.bits(), carrier.constBits(), size_t(carrier.sizeInBytes()));
        state.ResumeTiming();
        writeHiddenStream(picture, header, payload, kKeyLow, kKeyHigh, style, {});
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}

void BM_WriteHiddenStreamStealth12MP(benchmark::State& state) { writeStealthily(state, noisePicture()); }
BENCHMARK(BM_WriteHiddenStreamStealth12MP)->Unit(benchmark::kMillisecond);

void BM_WriteHiddenStreamStealthSky12MP(benchmark::State& state) { writeStealthily(state, skyPicture()); }
BENCHMARK(BM_WriteHiddenStreamStealthSky12MP)->Unit(benchmark::kMillisecond);

void BM_ReadHiddenStream12MP(benchmark::State& state)
{
    QImage picture = noisePicture();
    embed(picture, fullStream());
    for (auto _ : state) {
        const HiddenPayload found = readHiddenStream(picture, kKeyLow, kKeyHigh);
        if (found.outcome != HiddenPayload::Outcome::Intact)
            state.SkipWithError("the stream did not come back");
        benchmark::DoNotOptimize(found.payload.constData());
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}
BENCHMARK(BM_ReadHiddenStream12MP)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
