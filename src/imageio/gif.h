// SPDX-License-Identifier: Apache-2.0
#pragma once
// The GIF writer: one image with a global colour table taken from a palette
// record, so that a picture whose colours all stand in the palette comes back
// pixel for pixel. The reader is LoadGifFile (imageio/Readers.h).
#include "colour/PaletteTypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace ostrel {

// Writes `picture` as a GIF87a file (GIF89a when `transparent` is set, with
// the palette index nearest to `transparentColour` marked transparent).
// Every pixel becomes the index of its nearest colour among the palette's
// first `count` entries (a count below 2 counts as 2), with Floyd–Steinberg
// error diffusion when `dither` is set; `interlace` stores the rows in the
// four-pass order. `progress` is called with a percentage before each row.
// The caller's picture is never changed. The file is replaced atomically; on
// failure nothing is written, `error` names the file and the reason, and the
// result is false. A count above 256 means the picture has no palette and is
// refused.
bool SaveGifPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     bool dither, bool transparent, ColourValue transparentColour, bool interlace,
                     const TProgressProc& progress, QString* error);

// The main window's save: no dithering, no transparency, not interlaced.
bool SaveGifWithPalette(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                        QString* error);

// The bytes SaveGifPaletted would write, kept in memory; nothing (and the
// reason in `error`) when the picture is refused.
std::optional<QByteArray> encodeGifPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            bool dither, bool transparent, ColourValue transparentColour,
                                            bool interlace, const TProgressProc& progress, QString* error);

} // namespace ostrel
