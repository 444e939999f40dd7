// SPDX-License-Identifier: Apache-2.0
// The paletted writers against each other and against the 24-bit path:
// - an 8-bit BMP and a GIF of the same 256-colour picture, saved to disk
//   (the two should cost about the same: both map pixels the same way);
// - a whole encode of an 8000×6000 carrier and its save as the command-line
//   program makes it, for a black carrier (which saves as an 8-bit BMP whose
//   colour table ends in black copies) and a random-colour one (24-bit BMP).
#include "colour/ColourCount.h"
#include "Carrier.h"
#include "engine/Encoder.h"
#include "imageio/bmp.h"
#include "imageio/gif.h"
#include "util/Picture.h"

#include "GuiBenchmarkMain.h"
#include "PayloadFormat.h"

#include <QTemporaryDir>

#include <optional>
#include <random>

using namespace ostrel;

namespace {

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

TPaletteArray benchPalette()
{
    TPaletteArray palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = colorValue(uint8_t(i), uint8_t(i * 7), uint8_t(255 - i));
    return palette;
}

// 4000×3000 pixels of the palette's colours in short runs, as a reduced photo has them.
const QImage& palettePicture()
{
    static const QImage picture = [] {
        const TPaletteArray palette = benchPalette();
        QImage p = allocatePicture(4000, 3000);
        std::mt19937 random(5);
        for (int y = 0; y < p.height(); ++y) {
            uint8_t* row = p.scanLine(y);
            for (int x = 0; x < p.width(); ++x) {
                const ColourValue c = palette[size_t((x / 8 + y + int(random() % 3)) & 0xFF)];
                row[3 * x] = blueOf(c);
                row[3 * x + 1] = greenOf(c);
                row[3 * x + 2] = redOf(c);
            }
        }
        return p;
    }();
    return picture;
}

// Saves the 256-colour picture with one of the paletted writers.
template <typename Save>
void BM_SavePaletted(benchmark::State& state, Save save, const char* fileName)
{
    const QString path = scratch().filePath(QString::fromLatin1(fileName));
    for (auto _ : state)
        if (!save(palettePicture(), path, benchPalette(), 256, nullptr))
            state.SkipWithError("save failed");
    state.SetItemsProcessed(state.iterations() * int64_t(palettePicture().width()) * palettePicture().height());
}
BENCHMARK_CAPTURE(BM_SavePaletted, Bmp, SaveBmpWithPalette, "paletted.bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SavePaletted, Gif, SaveGifWithPalette, "paletted.gif")->Unit(benchmark::kMillisecond);

constexpr int kBigWidth = 8000, kBigHeight = 6000;

const QImage& bigCarrier(bool random)
{
    static const QImage black = [] {
        QImage p = allocatePicture(kBigWidth, kBigHeight);
        p.fill(Qt::black);
        return p;
    }();
    static const QImage noise = [] {
        QImage p = allocatePicture(kBigWidth, kBigHeight);
        std::mt19937 rng(6);
        for (int y = 0; y < p.height(); ++y) {
            uint8_t* row = p.scanLine(y);
            for (int i = 0; i < p.width() * 3; ++i)
                row[i] = uint8_t(rng());
        }
        return p;
    }();
    return random ? noise : black;
}

// Encode and save as the command-line program does: the stream, then the
// picture's own palette when it has at most 256 colours (found without a
// census), then the file.
void BM_EncodeAndSaveBmp8000x6000(benchmark::State& state)
{
    const bool random = state.range(0) != 0;
    QByteArray stream = payloadHeader("payload.bin", "2024-01-02 10:11:12", 4096);
    stream.append(QByteArray(4096, 'x'));
    appendInt32(stream, addToChecksum(0, stream.constData(), size_t(stream.size())));
    const QString path = scratch().filePath(QStringLiteral("encoded.bmp"));
    for (auto _ : state) {
        state.PauseTiming();
        QImage picture = bigCarrier(random).copy();
        state.ResumeTiming();
        TRandom keystream(0x12345678u, 0x9ABCDEFu);
        CarrierWriter writer(picture, keystream, {});
        writer.writeBytes(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()));
        writer.finish();
        const std::optional<FewColours> few = fewColoursForSaving(picture, 256);
        const SavePalette save = few ? few->save : SavePalette{};
        if (!SaveBmpWithPalette(picture, path, save.palette, save.count, nullptr))
            state.SkipWithError("save failed");
    }
    state.SetLabel(random ? "random colours, 24-bit file" : "black, 8-bit file");
}
BENCHMARK(BM_EncodeAndSaveBmp8000x6000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN()
