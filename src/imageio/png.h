// SPDX-License-Identifier: Apache-2.0
#pragma once
// PNG's chunk check, for code that writes PNG chunks, and the PNG writer.
// The reader is LoadPngFile (imageio/Readers.h).
#include "colour/PaletteTypes.h"
#include "util/ByteReader.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace ostrel {

// The CRC-32 that ends every chunk: over the chunk's 4-byte name and its data.
uint32_t pngChunkCrc(ByteView name, ByteView data);

// A lossless PNG of the picture, chosen as the BMP writer chooses: up to 256
// colours a paletted file (1, 4 or 8 bits, with 2, 16 or 256 palette entries
// whose entries from `count` on are black, each pixel the index of its
// nearest colour among them), more a 24-bit file. No chunk that could change
// how the colours are shown (gamma, colour profiles) is written, so every
// decoder reads back the very samples, lowest bits included. `progress`
// hears of each row of a paletted file's mapping. The file is replaced
// atomically; on failure `error` names the file and the reason.
bool savePngPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     const TProgressProc& progress, QString* error = nullptr);

// The bytes savePngPaletted would write; nothing (and the reason) when refused.
std::optional<QByteArray> encodePngPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            const TProgressProc& progress, QString* error = nullptr);

} // namespace ostrel
