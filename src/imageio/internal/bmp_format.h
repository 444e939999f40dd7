// SPDX-License-Identifier: Apache-2.0
#pragma once
// The numbers of the BMP file format that the reader and the writer share:
// signatures, header sizes, compression codes and the row layout. Icons
// store their images in the same layout. Internal to imageio.
#include <cstddef>
#include <cstdint>

namespace ostrel::bmp {

constexpr uint16_t kBitmapSignature = 0x4D42;      // "BM"
constexpr uint16_t kBitmapArraySignature = 0x4142; // "BA": an OS/2 array whose first entry is a bitmap
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kArrayHeaderSize = 14;

constexpr uint32_t kCoreHeaderSize = 12;    // OS/2 1.x: 16-bit sizes, 3-byte table entries
constexpr uint32_t kOs2MinHeaderSize = 16;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV2HeaderSize = 52;      // red, green and blue masks inside the header
constexpr uint32_t kV3HeaderSize = 56;      // and the alpha mask
constexpr uint32_t kOs2MaxHeaderSize = 64;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;

// What the writer puts before the colour table or the pixels: the file
// header and an information header.
constexpr size_t kWrittenHeadersSize = kFileHeaderSize + kInfoHeaderSize; // 54

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;
// OS/2 2.x gives two of the numbers other meanings.
constexpr uint32_t kOs2Huffman1D = 3;
constexpr uint32_t kOs2Rle24 = 4;

// The bytes one stored row of `width` pixels takes: the pixels' bits,
// padded to a multiple of four bytes.
constexpr uint64_t rowStride(uint64_t width, uint64_t bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

} // namespace ostrel::bmp
