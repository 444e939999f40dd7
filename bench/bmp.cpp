// SPDX-License-Identifier: Apache-2.0
// Loading and saving a 12-megapixel 24-bit BMP, against a plain copy of its
// bytes: the 24-bit path should run close to the speed of memory and disk.
#include "GradientPhoto.h"
#include "colour/PaletteTypes.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/bmp.h"
#include "util/FileIO.h"
#include "util/Picture.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

const QImage& photo()
{
    return ostrel::bench::gradientPhoto();
}

const QByteArray& photoFile()
{
    static const QByteArray bytes = *ostrel::encodeBmp24(photo());
    return bytes;
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

void setBytes(benchmark::State& state) { state.SetBytesProcessed(int64_t(state.iterations()) * photoFile().size()); }

void BM_MemcpyOfTheFileBytes(benchmark::State& state)
{
    const QByteArray& source = photoFile();
    std::vector<char> target(size_t(source.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), source.constData(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    setBytes(state);
}
BENCHMARK(BM_MemcpyOfTheFileBytes)->Unit(benchmark::kMillisecond);

void BM_LoadBmp24FromMemory(benchmark::State& state)
{
    const QByteArray& file = photoFile();
    const ostrel::ByteView bytes(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    for (auto _ : state) {
        ostrel::LoadResult result = ostrel::loadPictureBytes(QStringLiteral("photo.bmp"), bytes);
        benchmark::DoNotOptimize(result.picture.constBits());
    }
    setBytes(state);
}
BENCHMARK(BM_LoadBmp24FromMemory)->Unit(benchmark::kMillisecond);

void BM_EncodeBmp24InMemory(benchmark::State& state)
{
    for (auto _ : state) {
        std::optional<QByteArray> bytes = ostrel::encodeBmp24(photo());
        benchmark::DoNotOptimize(bytes->constData());
    }
    setBytes(state);
}
BENCHMARK(BM_EncodeBmp24InMemory)->Unit(benchmark::kMillisecond);

void BM_CopyFileBytesToDisk(benchmark::State& state)
{
    const QString path = scratch().filePath(QStringLiteral("copy.bmp"));
    for (auto _ : state)
        if (const ostrel::Outcome written = ostrel::writeFileAtomically(path, photoFile()); !written)
            state.SkipWithError(written.error().toStdString().c_str());
    setBytes(state);
}
BENCHMARK(BM_CopyFileBytesToDisk)->Unit(benchmark::kMillisecond);

void BM_SaveBmp24ToDisk(benchmark::State& state)
{
    const QString path = scratch().filePath(QStringLiteral("saved.bmp"));
    for (auto _ : state)
        ostrel::Write24BitBmp(photo(), path);
    setBytes(state);
}
BENCHMARK(BM_SaveBmp24ToDisk)->Unit(benchmark::kMillisecond);

void BM_ReadFileBytesFromDisk(benchmark::State& state)
{
    const QString path = scratch().filePath(QStringLiteral("read.bmp"));
    if (const ostrel::Outcome written = ostrel::writeFileAtomically(path, photoFile()); !written)
        state.SkipWithError(written.error().toStdString().c_str());
    for (auto _ : state) {
        ostrel::Result<QByteArray> bytes = ostrel::readWholeFile(path);
        benchmark::DoNotOptimize(bytes->constData());
    }
    setBytes(state);
}
BENCHMARK(BM_ReadFileBytesFromDisk)->Unit(benchmark::kMillisecond);

void BM_LoadBmp24FromDisk(benchmark::State& state)
{
    const QString path = scratch().filePath(QStringLiteral("load.bmp"));
    if (const ostrel::Outcome written = ostrel::writeFileAtomically(path, photoFile()); !written)
        state.SkipWithError(written.error().toStdString().c_str());
    for (auto _ : state) {
        ostrel::LoadResult result = ostrel::LoadPictureFileWithOptions(path);
        benchmark::DoNotOptimize(result.picture.constBits());
    }
    setBytes(state);
}
BENCHMARK(BM_LoadBmp24FromDisk)->Unit(benchmark::kMillisecond);

// The 8-bit save maps every pixel through the palette search: a picture of
// 256 colours in runs of 8, as a reduced photo has them.
void BM_SaveBmp8WithPalette(benchmark::State& state)
{
    ostrel::TPaletteArray palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = ostrel::colorValue(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
    QImage picture(kWidth, kHeight, ostrel::kPictureFormat);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const ostrel::ColourValue c = palette[size_t((x / 8 + y) & 0xFF)];
            row[3 * x] = ostrel::blueOf(c);
            row[3 * x + 1] = ostrel::greenOf(c);
            row[3 * x + 2] = ostrel::redOf(c);
        }
    }
    const QString path = scratch().filePath(QStringLiteral("indexed.bmp"));
    for (auto _ : state)
        ostrel::SaveBmpWithPalette(picture, path, palette, 256);
}
BENCHMARK(BM_SaveBmp8WithPalette)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
