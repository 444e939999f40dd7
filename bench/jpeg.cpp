// SPDX-License-Identifier: Apache-2.0
// Loading a 12-megapixel JPEG: the reader against a bare libjpeg decode of
// the same bytes. The reader decodes straight into the picture's rows, so it
// should cost no more than libjpeg itself plus one pass over the pixels.
#include "../tests/imageio/jpeg_fixtures.h"
#include "imageio/GraphicsIOUnit.h"

#include "GuiBenchmarkMain.h"
#include "Readers.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Smooth colour fields with some fine detail, like a photograph.
QImage photograph()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const double u = x / 300.0, v = y / 240.0;
            const double detail = std::sin(x * 0.9) * std::cos(y * 1.3) * 12;
            row[3 * x + 0] = uchar(127 + 100 * std::sin(u + std::cos(v)) + detail);
            row[3 * x + 1] = uchar(127 + 100 * std::sin(v * 1.7 - u * 0.5) + detail);
            row[3 * x + 2] = uchar(127 + 100 * std::cos(u * 0.8 + v * 0.6) - detail);
        }
    }
    return picture;
}

const QByteArray& photoJpeg()
{
    static const QByteArray file = ostrel::testing::encodeJpeg(photograph(), ostrel::testing::JpegKind::Colour, 90);
    return file;
}

ostrel::ByteView viewOf(const QByteArray& bytes)
{
    return ostrel::ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

// libjpeg alone: the same settings, its own RGB output into a fresh buffer.
void BM_BareLibjpegDecode(benchmark::State& state)
{
    const QByteArray& file = photoJpeg();
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.constData()), file.size());
        jpeg_read_header(&info, TRUE);
        info.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&info);
        const size_t stride = size_t(info.output_width) * 3;
        auto* pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
        JSAMPROW rows[16];
        while (info.output_scanline < info.output_height) {
            const JDIMENSION first = info.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = pixels + (first + i) * stride;
            jpeg_read_scanlines(&info, rows, count);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels[stride]);
        std::free(pixels);
    }
    state.counters["MP"] = kWidth * kHeight / 1e6;
}
BENCHMARK(BM_BareLibjpegDecode)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_LoadJpegFile(benchmark::State& state)
{
    const QByteArray& file = photoJpeg();
    ostrel::LoadInput input{QStringLiteral("photo.jpg"), true, viewOf(file), {}};
    for (auto _ : state) {
        ostrel::LoadResult result = ostrel::LoadJpegFile(input);
        benchmark::DoNotOptimize(result.picture.constBits());
    }
}
BENCHMARK(BM_LoadJpegFile)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The whole way from a file name: reading the file, choosing the reader.
void BM_LoadPictureFileJpeg(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(photoJpeg()) != photoJpeg().size()) {
        state.SkipWithError("cannot write the test file");
        return;
    }
    out.close();
    for (auto _ : state) {
        ostrel::LoadResult result = ostrel::LoadPictureFileWithOptions(path);
        benchmark::DoNotOptimize(result.picture.constBits());
    }
}
BENCHMARK(BM_LoadPictureFileJpeg)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN()
