// SPDX-License-Identifier: Apache-2.0
#pragma once
// The BMP writers: a 24-bit file, or a 1-, 4- or 8-bit file whose colour
// table comes from a palette record, so that a picture whose colours all
// stand in the palette comes back pixel for pixel. The reader is LoadBmpFile
// (imageio/Readers.h).
//
// Every writer leaves the caller's picture unchanged and replaces the file
// atomically: on failure the previous file stays as it was, `error` (when
// given) names the file and the reason, and the result is false. An empty
// picture, or one too large for the format's 32-bit sizes, is refused.
#include "colour/PaletteTypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace ostrel {

class OpenFile;

// Where the rows of an uncompressed 24-bit file lie when they can be read as
// they are stored (each `stride` bytes, three a pixel, blue first): files of
// more than 64 KiB whose headers lie in their first 64 KiB, and whose rows
// all lie in the file (the last one's padding may be missing). Nothing for
// any other file, or when its first bytes cannot be read.
struct StoredBmpRows {
    int width = 0;
    int height = 0;
    bool topDown = false;
    qint64 dataStart = 0;
    qint64 stride = 0;
};
std::optional<StoredBmpRows> storedTrueColourRows(const OpenFile& file, const QString& path);
// The same from the file's first 64 KiB (or all of a smaller file) and its size.
std::optional<StoredBmpRows> storedTrueColourRows(const QByteArray& head, qint64 fileSize);

// The headers that start Write24BitBmp's file for a picture of that size;
// its rows follow, bottom row first, each padded with zeros to 4 bytes.
QByteArray trueColourBmpHeaders(int64_t width, int64_t height);

// A standard uncompressed bottom-up 24-bit file with a 40-byte information header.
bool Write24BitBmp(const QImage& picture, const QString& fileName, QString* error = nullptr);

// An indexed file: 1 bit with a 2-entry table when `tableSize` is at most 2,
// 4 bits with 16 entries when at most 16, otherwise 8 bits with 256 entries.
// The table holds the palette's first entries; each pixel is stored as the
// index of its nearest colour among them.
bool WriteIndexedBmp(const QImage& picture, const QString& fileName, const TPaletteArray& palette,
                     int32_t tableSize, QString* error = nullptr);

// Chooses the file by `count`: up to 2 colours a 1-bit file, up to 16 a 4-bit
// file, up to 256 an 8-bit file (palette entries from `count` on are written
// black), more a 24-bit file. A working copy of the picture is first mapped
// to the table's colours, with Floyd–Steinberg error diffusion when `dither`
// is set; `progress` hears of each row of that mapping.
bool SaveBmpPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     bool dither, const TProgressProc& progress, QString* error = nullptr);

// The main window's save: SaveBmpPaletted without dithering or progress.
bool SaveBmpWithPalette(const QImage& picture, const QString& fileName, const TPaletteArray& palette,
                        int32_t count, QString* error = nullptr);

// The bytes the writers above would put in the file, kept in memory; nothing
// (and the reason in `error`) when the picture is refused.
std::optional<QByteArray> encodeBmp24(const QImage& picture, QString* error = nullptr);
std::optional<QByteArray> encodeIndexedBmp(const QImage& picture, const TPaletteArray& palette, int32_t tableSize,
                                           QString* error = nullptr);
std::optional<QByteArray> encodeBmpPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            bool dither, const TProgressProc& progress, QString* error = nullptr);

} // namespace ostrel
