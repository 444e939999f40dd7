// SPDX-License-Identifier: Apache-2.0
// A 12-megapixel picture of 256 colours written as GIF and read back, beside
// Qt's own GIF reader on the same bytes. Two pictures: smooth bands with a
// little noise (as a reduced photograph compresses) and pure noise (the
// slowest case for the code table).
#include "GuiBenchmarkMain.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/gif.h"
#include "util/Picture.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>
#include <random>

using namespace ostrel;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

TPaletteArray benchPalette()
{
    TPaletteArray palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = colorValue(uint8_t(i), uint8_t(i * 7), uint8_t(255 - i));
    return palette;
}

QImage benchPicture(bool noise)
{
    const TPaletteArray palette = benchPalette();
    QImage picture = allocatePicture(kWidth, kHeight);
    std::mt19937 random(3);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const int smooth = int(128 + 60 * std::sin(x / 97.0) + 60 * std::cos(y / 61.0)) + int(random() % 5) - 2;
            const ColourValue colour = palette[size_t(noise ? random() & 255 : unsigned(smooth) & 255)];
            row[3 * x] = blueOf(colour);
            row[3 * x + 1] = greenOf(colour);
            row[3 * x + 2] = redOf(colour);
        }
    }
    return picture;
}

const QImage& picture(bool noise)
{
    static const QImage bands = benchPicture(false);
    static const QImage random = benchPicture(true);
    return noise ? random : bands;
}

const QByteArray& gifBytes(bool noise)
{
    auto make = [](bool n) {
        return encodeGifPaletted(picture(n), benchPalette(), 256, false, false, 0, false, TProgressProc(), nullptr)
            .value_or(QByteArray());
    };
    static const QByteArray bands = make(false);
    static const QByteArray random = make(true);
    return noise ? random : bands;
}

void setPictureCounters(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
    state.SetLabel(state.range(0) ? "noise" : "bands");
}

void BM_GifRead(benchmark::State& state)
{
    const QByteArray& bytes = gifBytes(state.range(0));
    const ByteView view(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    for (auto _ : state) {
        LoadResult result = loadPictureBytes(QStringLiteral("x.gif"), view);
        benchmark::DoNotOptimize(result.picture.constBits());
    }
    setPictureCounters(state);
}
BENCHMARK(BM_GifRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GifReadQt(benchmark::State& state)
{
    QBuffer buffer;
    buffer.setData(gifBytes(state.range(0)));
    for (auto _ : state) {
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
        buffer.close();
    }
    setPictureCounters(state);
}
BENCHMARK(BM_GifReadQt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GifEncode(benchmark::State& state)
{
    const QImage& source = picture(state.range(0));
    const TPaletteArray palette = benchPalette();
    for (auto _ : state) {
        std::optional<QByteArray> bytes =
            encodeGifPaletted(source, palette, 256, false, false, 0, false, TProgressProc(), nullptr);
        benchmark::DoNotOptimize(bytes->constData());
    }
    setPictureCounters(state);
}
BENCHMARK(BM_GifEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole save as the main window does it, temporary file and rename included.
void BM_GifSaveFile(benchmark::State& state)
{
    const QImage& source = picture(state.range(0));
    const TPaletteArray palette = benchPalette();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.gif"));
    for (auto _ : state) {
        QString error;
        if (!SaveGifWithPalette(source, path, palette, 256, &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    setPictureCounters(state);
}
BENCHMARK(BM_GifSaveFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN()
