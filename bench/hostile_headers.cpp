// SPDX-License-Identifier: Apache-2.0
// Files whose headers claim a 16384 × 16384 picture (768 MiB in the working
// format) over a few bytes of data. Each must end (refused) in well under a
// tenth of a second without taking the memory its header asks for, while a
// large file that holds its pixels still loads whole. The counter peak_MiB is
// the largest resident size of a process that loads the file once: a child
// forked for that one load.
#include "imageio/GraphicsIOUnit.h"
#include "imageio/png.h"

#include <QByteArray>
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr uint32_t kClaimedSide = 16384;
constexpr uint32_t kLargeSide = 4096;

class Bytes {
public:
    Bytes& u8(unsigned v) { m_data.append(char(v & 0xFF)); return *this; }
    Bytes& u16le(unsigned v) { return u8(v).u8(v >> 8); }
    Bytes& u32le(uint32_t v) { return u16le(v & 0xFFFF).u16le(v >> 16); }
    Bytes& u32be(uint32_t v) { return u8(v >> 24).u8(v >> 16).u8(v >> 8).u8(v); }
    Bytes& text(const char* s) { m_data.append(s); return *this; }
    Bytes& append(const QByteArray& more) { m_data.append(more); return *this; }
    Bytes& padTo(qsizetype size) { m_data.append(std::max<qsizetype>(0, size - m_data.size()), '\0'); return *this; }
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

// 54 bytes: file and information headers of a bottom-up bitmap, no colour
// table, pixel rows (or run-length codes) after them.
Bytes bmpHeaders(uint32_t side, uint16_t bits, uint32_t compression, const QByteArray& pixels)
{
    Bytes file;
    file.text("BM").u32le(uint32_t(54 + pixels.size())).u32le(0).u32le(54);
    file.u32le(40).u32le(side).u32le(side).u16le(1).u16le(bits).u32le(compression);
    file.u32le(uint32_t(pixels.size())).u32le(0).u32le(0).u32le(0).u32le(0);
    return file.append(pixels);
}

QByteArray headerOnlyBmp() { return bmpHeaders(kClaimedSide, 24, 0, {}).data(); }

// A run-length file that ends its bitmap at once.
QByteArray headerOnlyRleBmp() { return bmpHeaders(kClaimedSide, 8, 1, QByteArray("\0\1", 2)).data(); }

// 14 bytes: a logical screen without a colour table, and the trailer.
QByteArray headerOnlyGif()
{
    return Bytes().text("GIF89a").u16le(kClaimedSide).u16le(kClaimedSide).u8(0).u8(0).u8(0).u8(0x3B).data();
}

// 128 bytes: an 8-bit, one-plane header.
QByteArray headerOnlyPcx()
{
    Bytes file;
    file.u8(10).u8(5).u8(1).u8(8).u16le(0).u16le(0).u16le(kClaimedSide - 1).u16le(kClaimedSide - 1);
    file.padTo(65).u8(1).u16le(kClaimedSide);
    return file.padTo(128).data();
}

void pngChunk(Bytes& file, const char* name, const QByteArray& data)
{
    const auto view = [](const QByteArray& bytes) {
        return ostrel::ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    };
    file.u32be(uint32_t(data.size())).text(name).append(data);
    file.u32be(ostrel::pngChunkCrc(view(QByteArray(name)), view(data)));
}

// 57 bytes: the signature, an RGB header, an empty image data chunk, the end.
QByteArray headerOnlyPng()
{
    Bytes file;
    file.append(QByteArray("\x89PNG\r\n\x1a\n", 8));
    pngChunk(file, "IHDR", Bytes().u32be(kClaimedSide).u32be(kClaimedSide).u8(8).u8(2).u8(0).u8(0).u8(0).data());
    pngChunk(file, "IDAT", {});
    pngChunk(file, "IEND", {});
    return file.data();
}

// 38 bytes: a little-endian header and a directory of width and length.
QByteArray headerOnlyTiff()
{
    Bytes file;
    file.text("II").u16le(42).u32le(8).u16le(2);
    file.u16le(256).u16le(3).u32le(1).u32le(kClaimedSide);
    file.u16le(257).u16le(3).u32le(1).u32le(kClaimedSide);
    return file.u32le(0).data();
}

// A 4096 × 4096 run-length bitmap of one colour: rows of 255-pixel runs,
// 147 KiB that fill 48 MiB.
QByteArray largeRleBmp()
{
    QByteArray codes;
    for (uint32_t y = 0; y < kLargeSide; ++y) {
        for (uint32_t x = 0; x < kLargeSide; x += 255)
            codes.append(char(std::min<uint32_t>(255, kLargeSide - x))).append('\0');
        codes.append(QByteArray("\0\0", 2));
    }
    codes.append(QByteArray("\0\1", 2));
    return bmpHeaders(kLargeSide, 8, 1, codes).data();
}

ostrel::LoadResult load(const char* name, const QByteArray& bytes)
{
    const ostrel::ByteView data(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    return ostrel::loadPictureBytes(QString::fromLatin1(name), data);
}

double peakMiBOfOneLoad(const char* name, const QByteArray& bytes)
{
    const pid_t child = fork();
    if (child == 0) {
        benchmark::DoNotOptimize(load(name, bytes));
        _exit(0);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return -1;
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void BM_LoadFile(benchmark::State& state, const char* name, QByteArray (*make)())
{
    const QByteArray bytes = make();
    state.counters["file_bytes"] = double(bytes.size());
    state.counters["peak_MiB"] = peakMiBOfOneLoad(name, bytes);
    int64_t pixels = 0;
    for (auto _ : state) {
        const ostrel::LoadResult result = load(name, bytes);
        pixels = int64_t(result.picture.width()) * result.picture.height();
        benchmark::DoNotOptimize(pixels);
    }
    state.counters["pixels"] = double(pixels);
}

} // namespace

BENCHMARK_CAPTURE(BM_LoadFile, header_only_bmp, "x.bmp", headerOnlyBmp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, header_only_rle_bmp, "x.bmp", headerOnlyRleBmp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, header_only_gif, "x.gif", headerOnlyGif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, header_only_pcx, "x.pcx", headerOnlyPcx)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, header_only_png, "x.png", headerOnlyPng)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, header_only_tiff, "x.tif", headerOnlyTiff)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadFile, large_rle_bmp_that_holds_its_pixels, "x.bmp", largeRleBmp)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
