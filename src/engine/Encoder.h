// SPDX-License-Identifier: Apache-2.0
#pragma once
// Hides one file in a picture: the stream goes into bit 0 of the blue byte of
// every pixel, encrypted with the keystream of the password key, and every
// pixel after the stream takes a keystream bit alone.
//
// These entry points read the payload file and report; the work itself is
// planned by planEncode (EncodePlan.h) and done on the pixels by
// writeHiddenStream (HiddenStream.h).
#include "colour/PaletteTypes.h"
#include "engine/EncodePlan.h"
#include "engine/HiddenStream.h"
#include "engine/RunReport.h"
#include "util/StandardUnit.h"

#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

struct EncodeOptions {
    TPaletteArray palette{};
    int32_t paletteCount = kTrueColourCount; // palette mode when 256 or less
    bool dither = false;                    // palette mode only
    // True colour only: changed blue values move by one, in a direction from
    // the system's random source wherever the balance of neighbouring pairs
    // leaves it free, and pixels after the stream keep their values (see
    // CarrierStyle). Any decoder reads the result as usual.
    bool stealth = false;
    QString dateTimeText; // null: the clock's
};

// Writes a planned stream (with stealth, its free directions drawn from the
// system's random source) and reports how it went; true when the whole
// stream was written.
bool writePlannedStream(QImage& picture, const EncodePlan& plan, const QByteArray& payload, uint32_t keyLow,
                        uint32_t keyHigh, CarrierStyle style, const TProgressProc& progress, ReportList* report);
bool writePlannedStream(PixelRows& rows, const EncodePlan& plan, const QByteArray& payload, uint32_t keyLow,
                        uint32_t keyHigh, CarrierStyle style, const TProgressProc& progress, ReportList* report);

// Appends an account to `report` and returns true when the whole stream was
// written. A run that fails leaves the pixels as they were (a picture not in
// the working format is converted first).
// Why an empty payload file is refused (its stored size of 0 could never be
// read back); sealed payloads are not empty and are not refused.
QString nothingToHideText(const QString& payloadPath);

// The plan of a true-colour encode of the file as it stands, from its size
// alone: whether it fits is known before a password is asked or a byte read.
EncodePlan planEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText);
EncodePlan planEncodeOfFile(const PixelRows& rows, const QString& payloadFileName, const QString& dateTimeText);

bool encodePayloadWith(QImage& picture, const QString& payloadFileName, uint32_t keyLow, uint32_t keyHigh,
                       const EncodeOptions& options, const TProgressProc& progress, ReportList* report);
// The same over rows in the working format visited from the top (a file a
// band at a time): the same report, the same pixels.
bool encodePayloadWith(PixelRows& rows, const QString& payloadFileName, uint32_t keyLow, uint32_t keyHigh,
                       const EncodeOptions& options, const TProgressProc& progress, ReportList* report);

// Palette mode when paletteCount is 256 or less: every pixel becomes the
// nearest palette colour whose blue value has the carried bit's parity, with
// error diffusion when `dither` is set. Above 256 only bit 0 of blue changes.
bool EncodePayload(QImage& picture, const TPaletteArray& palette, int32_t paletteCount, const TProgressProc& progress,
                   ReportList* report, uint32_t keyLow, uint32_t keyHigh, const QString& payloadFileName, bool dither);

bool EncodePayloadTrueColor(QImage& picture, const QString& payloadFileName, ReportList* report,
                            const TProgressProc& progress, uint32_t keyLow, uint32_t keyHigh);

} // namespace ostrel
