// SPDX-License-Identifier: Apache-2.0
#pragma once
// The hidden stream over a picture's pixels, with no file in sight: writing a
// header and a payload (and their checksum) into bit 0 of the blue bytes, and
// reading them back with their checks. The named entry points of Encoder.h
// and Decoder.h read and write the files around these.
#include "colour/PaletteTypes.h"
#include "util/PixelRows.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <span>

namespace ostrel {

// How the stream's bits go into the pixels.
struct CarrierStyle {
    // Palette mode when the count is 256 or less: every pixel becomes the
    // nearest palette colour whose blue value has the carried bit's parity,
    // with error diffusion when `dither` is set.
    const TPaletteArray* palette = nullptr;
    int32_t paletteCount = kTrueColourCount;
    bool dither = false;
    // True colour only. A blue value whose lowest bit must change moves by
    // one instead of having the bit replaced: 0 always up and 255 down; the
    // others so that the neighbouring pairs stay as balanced as they were
    // (see ValueMover), and where that leaves the choice free, up when bit k
    // of the directions (bit k % 64 of word k / 64) is set for stream pixel
    // k, down when not. Pixels after the stream keep their values. Decoders
    // see the same bits either way.
    bool stealth = false;
    std::span<const uint64_t> directions;
};

// Writes header, payload and the checksum of both into a picture in the
// working format, then (unless stealthy) a keystream bit into every pixel
// left. Returns the number of stream bytes that found room.
int64_t writeHiddenStream(QImage& picture, const QByteArray& header, const QByteArray& payload, uint32_t keyLow,
                          uint32_t keyHigh, const CarrierStyle& style, const TProgressProc& progress);
// The same over rows visited from the top, which may be a band of a file at a time.
int64_t writeHiddenStream(PixelRows& rows, const QByteArray& header, const QByteArray& payload, uint32_t keyLow,
                          uint32_t keyHigh, const CarrierStyle& style, const TProgressProc& progress);

// What a picture holds for a key.
struct HiddenPayload {
    enum class Outcome {
        NoData,          // the magic is not there
        SizeTooLarge,    // the size field claims more than the picture holds
        SizeNotPositive, // the size field is 0 or negative
        ChecksumFailed,
        Intact,
    };
    Outcome outcome = Outcome::NoData;
    QByteArray name, dateTime; // as stored
    int32_t payloadSize = 0;
    QByteArray payload; // only when intact
};

// Reads the stream back from a picture in the working format; the payload is
// read only when its size fits the picture.
HiddenPayload readHiddenStream(const QImage& picture, uint32_t keyLow, uint32_t keyHigh);
HiddenPayload readHiddenStream(PixelRows& rows, uint32_t keyLow, uint32_t keyHigh);

} // namespace ostrel
