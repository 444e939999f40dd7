#pragma once
// The hidden stream over a picture's pixels, with no file in sight: writing a
// header and a payload (and their checksum) into bit 0 of the blue bytes, and
// reading them back with their checks. The named entry points of Encoder.h
// and Decoder.h read and write the files around these.
#include "colour/PaletteTypes.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace ostrel {

// How the stream's bits go into the pixels.
struct CarrierStyle {
    // Palette mode when the count is 256 or less: every pixel becomes the
    // nearest palette colour whose blue value has the carried bit's parity,
    // with error diffusion when `dither` is set.
    const TPaletteArray* palette = nullptr;
    int32_t paletteCount = kTrueColorCount;
    bool dither = false;
};

// Writes header, payload and the checksum of both into a picture in the
// working format, then a keystream bit into every pixel left. Returns the number of stream bytes that found room.
int64_t WriteHiddenStream(QImage& picture, const QByteArray& header, const QByteArray& payload, uint32_t keyLow,
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
HiddenPayload ReadHiddenStream(const QImage& picture, uint32_t keyLow, uint32_t keyHigh);

} // namespace ostrel
