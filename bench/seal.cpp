// SPDX-License-Identifier: Apache-2.0
// What a password guesser pays per guess against an ordinary picture and
// against a sealed one, side by side, and what sealing adds to an encode and
// a decode of a 12-megapixel picture.
//
// An ordinary picture confirms a guess by its first 48 carried bits ("START"
// and its zero byte under the keystream), so a guess is a shift-and-add, a
// seed and a few generator steps: a guesser stops at the first wrong bit. A
// sealed picture needs the memory-hard derivation for every guess (its salt
// is the same for all guesses and is computed once).
#include "engine/Decoder.h"
#include "engine/Encoder.h"
#include "engine/Seal.h"
#include "engine/SealedPayload.h"
#include "engine/TRandom.h"
#include "util/Picture.h"

#include "RandomReference.h"

#include "GradientPhoto.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <random>

using namespace ostrel;

namespace {

constexpr int kWidth = bench::kPhotoWidth, kHeight = bench::kPhotoHeight;
using bench::noisePicture;
constexpr int kCandidateLength = 8;

// Candidate number i as eight lower-case letters, the shape of a word list entry.
void candidate(uint64_t i, QByteArray& out)
{
    for (int k = kCandidateLength - 1; k >= 0; --k) {
        out[k] = char('a' + i % 26);
        i /= 26;
    }
}

// The 48 keystream bits a key must produce for the picture to show "START"
// and its zero byte: here, those of the key of the one candidate that is right.
uint64_t carriedMagicKeystream(uint64_t key)
{
    RandomReference random(uint32_t(key), uint32_t(key >> 32));
    uint64_t bits = 0;
    for (int k = 0; k < 48; ++k)
        bits |= uint64_t(random.NextBit()) << k;
    return bits;
}

// One guess the way a guesser does it: the straightforward generator, bit by
// bit, giving up at the first bit that does not match.
bool guessStepwise(const QByteArray& password, uint64_t wanted)
{
    const uint64_t key = HashPassword(password);
    RandomReference random(uint32_t(key), uint32_t(key >> 32));
    for (int k = 0; k < 48; ++k)
        if (uint64_t(random.NextBit()) != ((wanted >> k) & 1))
            return false;
    return true;
}

// The same with the word-at-a-time generator, whose set-up is dearer.
bool guessWordwise(const QByteArray& password, uint64_t wanted)
{
    const uint64_t key = HashPassword(password);
    TRandom random(uint32_t(key), uint32_t(key >> 32));
    return (random.nextWord() & ((uint64_t(1) << 48) - 1)) == wanted;
}

constexpr uint64_t kRightCandidate = 123456; // the true password's place in the list

template <bool (*Guess)(const QByteArray&, uint64_t)>
void BM_GuessOrdinary(benchmark::State& state)
{
    QByteArray password(kCandidateLength, 'a');
    candidate(kRightCandidate, password);
    const uint64_t wanted = carriedMagicKeystream(HashPassword(password));
    uint64_t next = 0, found = 0;
    for (auto _ : state) {
        candidate(next, password);
        if (Guess(password, wanted))
            found += next == kRightCandidate ? 1 : 0;
        ++next;
    }
    if (next > kRightCandidate && found == 0)
        state.SkipWithError("the right password was not recognised");
    state.counters["guesses/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_GuessOrdinary, guessStepwise)->MinTime(1.0);
BENCHMARK_TEMPLATE(BM_GuessOrdinary, guessWordwise)->MinTime(1.0);

void BM_GuessSealed(benchmark::State& state)
{
    SealSalt salt{};
    salt.fill(0x5A);
    QByteArray password(kCandidateLength, 'a');
    uint64_t next = 0;
    for (auto _ : state) {
        candidate(next++, password);
        const auto keys = deriveSealKeys(password, salt);
        if (!keys) {
            state.SkipWithError("no memory for the derivation");
            break;
        }
        TRandom random(uint32_t(keys->formatKey), uint32_t(keys->formatKey >> 32));
        benchmark::DoNotOptimize(random.nextWord());
    }
    state.counters["guesses/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GuessSealed)->Unit(benchmark::kMillisecond)->Iterations(8);

// Both kinds of guess timed in the same run, so the machine's load of the
// moment weighs on both alike: the ratio is the figure that matters.
void BM_GuessRatio(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    QByteArray password(kCandidateLength, 'a');
    const uint64_t wanted = carriedMagicKeystream(HashPassword("not in the list"));
    SealSalt salt{};
    salt.fill(0xA5);
    constexpr uint64_t kOrdinaryGuesses = 1'000'000;
    double ordinarySeconds = 0, sealedSeconds = 0;
    uint64_t sealedGuesses = 0, next = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (uint64_t i = 0; i < kOrdinaryGuesses; ++i) {
            candidate(next++, password);
            benchmark::DoNotOptimize(guessStepwise(password, wanted));
        }
        const auto middle = Clock::now();
        benchmark::DoNotOptimize(deriveSealKeys(password, salt));
        const auto end = Clock::now();
        ordinarySeconds += std::chrono::duration<double>(middle - start).count();
        sealedSeconds += std::chrono::duration<double>(end - middle).count();
        ++sealedGuesses;
    }
    const double ordinaryRate = double(kOrdinaryGuesses * sealedGuesses) / ordinarySeconds;
    const double sealedRate = double(sealedGuesses) / sealedSeconds;
    state.counters["ordinary guesses/s"] = ordinaryRate;
    state.counters["sealed guesses/s"] = sealedRate;
    state.counters["ratio"] = ordinaryRate / sealedRate;
}
BENCHMARK(BM_GuessRatio)->Unit(benchmark::kMillisecond)->Iterations(5);

// The salt reads every red and green byte once.
void BM_SealSalt12MP(benchmark::State& state)
{
    const QImage picture = noisePicture();
    for (auto _ : state)
        benchmark::DoNotOptimize(sealSalt(picture));
    state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 2);
}
BENCHMARK(BM_SealSalt12MP)->Unit(benchmark::kMillisecond);

// Sealing and opening a payload of the picture's whole capacity.
void BM_SealContainer12MP(benchmark::State& state)
{
    SealedFile file{"payload.bin", "2024-01-02 10:11:12", QByteArray(kWidth * kHeight / 8 - 200, 'x')};
    SealingKey key{};
    const bool open = state.range(0) == 1;
    const QByteArray sealed = *sealContainer(file, key);
    for (auto _ : state) {
        if (open)
            benchmark::DoNotOptimize(openContainer(sealed, key));
        else
            benchmark::DoNotOptimize(sealContainer(file, key));
    }
    state.SetBytesProcessed(state.iterations() * file.bytes.size());
    state.SetLabel(open ? "open" : "seal");
}
BENCHMARK(BM_SealContainer12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Whole encodes and decodes of a 12-megapixel picture with a 1 MB payload,
// ordinary (argument 0) and sealed (argument 1), through the entry points the
// programs call: the sealed ones add the salt, the derivation and the cipher.
constexpr int kPayloadBytes = 1 << 20;

struct EncodeFixture {
    QTemporaryDir dir;
    QString payload;
    QImage picture = noisePicture();
    EncodeFixture()
    {
        payload = dir.filePath(QStringLiteral("payload.bin"));
        QFile file(payload);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(kPayloadBytes, 'p'));
    }
};

const QByteArray kBenchPassword = "correct horse";

bool encodeOnce(QImage& picture, const QString& payload, bool sealed)
{
    if (sealed)
        return encodeSealedPayload(picture, payload, kBenchPassword, nullptr, {}, QStringLiteral("now"));
    const uint64_t key = HashPassword(kBenchPassword);
    return encodePayloadWith(picture, payload, uint32_t(key), uint32_t(key >> 32), EncodeOptions{}, {}, nullptr);
}

void BM_Encode12MP(benchmark::State& state)
{
    EncodeFixture fixture;
    const bool sealed = state.range(0) == 1;
    for (auto _ : state)
        if (!encodeOnce(fixture.picture, fixture.payload, sealed))
            state.SkipWithError("the encode failed");
    state.SetLabel(sealed ? "sealed" : "ordinary");
}
BENCHMARK(BM_Encode12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Decode12MP(benchmark::State& state)
{
    EncodeFixture fixture;
    const bool sealed = state.range(0) == 1;
    if (!encodeOnce(fixture.picture, fixture.payload, sealed))
        state.SkipWithError("the encode failed");
    const QString out = fixture.dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        QString path;
        if (!decodePayloadWithPassword(fixture.picture, out, path, nullptr, kBenchPassword))
            state.SkipWithError("the decode failed");
    }
    state.SetLabel(sealed ? "sealed" : "ordinary");
}
BENCHMARK(BM_Decode12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
