// SPDX-License-Identifier: Apache-2.0
// CGA video-buffer dumps (".16K", ".320", ".160", ".640"): up to 16 KiB of
// video memory, painted in one of six video modes.
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <algorithm>
#include <array>

namespace ostrel {

namespace {

constexpr size_t kVideoMemorySize = 16384;
// Modes 1 to 5 keep even scan lines from offset 0 and odd ones from here.
constexpr size_t kOddBankOffset = 8192;
constexpr int kInterlacedRowBytes = 80;
// Mode 0 uses 160 bytes a row, of which only the even ones hold pixels.
constexpr int kLowResRowBytes = 160;

constexpr std::array<kit::Rgb, 16> kCgaColours = {{
    {0, 0, 0}, {0, 0, 192}, {0, 192, 0}, {0, 192, 192}, {192, 0, 0}, {192, 0, 192}, {192, 192, 0},
    {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255}, {255, 0, 0},
    {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
}};

struct CgaMode {
    int width;
    int height;
    int bitsPerPixel;
    std::array<kit::Rgb, 4> colours; // modes 1 to 5
};

constexpr std::array<CgaMode, 6> kModes = {{
    {160, 100, 4, {}},
    {320, 200, 2, {{{0, 0, 0}, {0, 192, 0}, {192, 0, 0}, {192, 192, 192}}}},
    {320, 200, 2, {{{0, 0, 0}, {0, 192, 192}, {192, 0, 192}, {192, 192, 192}}}},
    {320, 200, 2, {{{0, 0, 0}, {0, 255, 0}, {255, 0, 0}, {255, 255, 0}}}},
    {320, 200, 2, {{{0, 0, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 255}}}},
    {640, 200, 1, {{{0, 0, 0}, {255, 255, 255}}}},
}};

// The number of bytes of video memory a mode paints from.
size_t bytesUsed(int mode)
{
    if (mode == 0)
        return size_t(kModes[0].height - 1) * kLowResRowBytes + kLowResRowBytes - 1;
    return kOddBankOffset + size_t(kModes[mode].height / 2) * kInterlacedRowBytes;
}

std::array<kit::Rgb, 16> modePalette(int mode, int colour)
{
    std::array<kit::Rgb, 16> palette = kCgaColours;
    if (mode == 0)
        return palette;
    std::copy(kModes[mode].colours.begin(), kModes[mode].colours.end(), palette.begin());
    if (mode == 5) {
        // Colour 0 would make the foreground as black as the background (the
        // ".640" files ask for it), so it keeps the white foreground.
        if (colour != 0)
            palette[1] = kCgaColours[colour];
    } else {
        palette[0] = kCgaColours[colour];
    }
    return palette;
}

void paintLowRes(QImage& picture, const uint8_t* memory, const std::array<kit::Rgb, 16>& palette)
{
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* source = memory + size_t(y) * kLowResRowBytes;
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); x += 2) {
            const uint8_t byte = source[x]; // byte x (even) holds pixels x and x + 1
            kit::putPixel(row, x, palette[byte >> 4]);
            kit::putPixel(row, x + 1, palette[byte & 0x0F]);
        }
    }
}

void paintInterlaced(QImage& picture, const uint8_t* memory, int bitsPerPixel,
                     const std::array<kit::Rgb, 16>& palette)
{
    const int pixelsPerByte = 8 / bitsPerPixel;
    const unsigned mask = (1u << bitsPerPixel) - 1;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* source = memory + (y & 1) * kOddBankOffset + size_t(y / 2) * kInterlacedRowBytes;
        uint8_t* row = picture.scanLine(y);
        int x = 0;
        for (int column = 0; column < kInterlacedRowBytes; ++column) {
            unsigned byte = source[column];
            // the most significant bits are the leftmost pixel
            for (int k = 0; k < pixelsPerByte; ++k, ++x) {
                byte <<= bitsPerPixel;
                kit::putPixel(row, x, palette[(byte >> 8) & mask]);
            }
        }
    }
}

} // namespace

LoadResult LoadCgaFile(const LoadInput& input, uint8_t mode, uint8_t colour)
{
    if (mode >= kModes.size()) {
        kit::ReaderRun run(input, "CGA", 320, 200);
        run.value(QStringLiteral("Mode"), qint64(mode));
        return run.finish(LoadStop::Unsupported);
    }
    const CgaMode& layout = kModes[mode];
    kit::ReaderRun run(input, "CGA", layout.width, layout.height);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    run.value(QStringLiteral("Mode"), qint64(mode));
    run.value(QStringLiteral("Colour"), qint64(colour & 0x0F));

    QImage picture = allocatePicture(layout.width, layout.height, run.pixelLimit());
    if (picture.isNull())
        return run.finish(LoadStop::OverLimit);
    // Memory the file does not cover reads as zero.
    std::array<uint8_t, kVideoMemorySize> memory{};
    const size_t present = std::min(input.data.size(), kVideoMemorySize);
    std::copy_n(input.data.begin(), present, memory.begin());

    const auto palette = modePalette(mode, colour & 0x0F);
    if (mode == 0)
        paintLowRes(picture, memory.data(), palette);
    else
        paintInterlaced(picture, memory.data(), layout.bitsPerPixel, palette);
    run.picture() = picture;
    if (present < bytesUsed(mode)) {
        run.shortRead(present, bytesUsed(mode));
        return run.finish(LoadStop::Truncated);
    }
    return run.finish(LoadStop::Complete);
}

} // namespace ostrel
