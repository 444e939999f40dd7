// SPDX-License-Identifier: Apache-2.0
#pragma once
// Adaptive hiding, Ostrel's own format: changes of one in all three channels,
// where the picture's texture hides them best, at places scattered by a key
// from the password. The blue-bit format's decoders do not read it; Ostrel's
// decode tries it after the other readings.
//
// Positions: the bytes of the picture, as in AdaptiveCost.h (N = 3·W·H). Each
// carries the lowest bit of its value; a change moves the value by one, up or
// down (up from 0, down from 255, elsewhere at random).
//
// Order: the positions are visited in a scattered order, a bijection of
// [0, N) computed from the rank (a four-round Feistel network over the
// smallest even power of two not below N, repeated until it lands inside).
// Its key is the keyed BLAKE2b hash (libsodium's generic hash) of the
// password under the key "ostrel adaptive v1 order", so it costs nothing to
// find, but tells nothing by itself.
//
// Prefix, ranks 0 .. 159: 20 bytes, each least significant bit first:
//   16 random bytes, the salt;
//   the carried length L (32-bit little endian) XOR the low 32 bits of the
//   derived format key.
// Each bit is written as the lowest bit of its position by a change of one
// where it differs. Salt and masked length look like noise.
//
// Keys: the seal's derivation (Seal.h: Argon2id, 3 passes, 64 MiB) of the
// password and the salt: the sealing key seals the file, the format key's low
// 32 bits mask L and its high 32 bits seed H-hat.
//
// Carried: the sealed container (Seal.h) without its 8-byte magic: nonce,
// then the authenticated ciphertext of name, date-time and file; L bytes,
// 8·L message bits, each byte least significant bit first. L is at least 43
// (an empty file with no name) and 8·L + 160 at most 0.4 bits per pixel.
//
// Coding: the ranks from 160 on (n = N - 160 positions) carry the message
// bits through syndrome-trellis codes (SyndromeTrellis.h, height 7), cut into
// G = min(ceil(n / 2^19), 8·L) groups coded alone: group g takes the message
// bits [g·m/G, (g+1)·m/G) and the ranks [160 + g·n/G, 160 + (g+1)·n/G).
// Each position's cost is its HILL cost (AdaptiveCost.h).
//
// Reading: the order, the prefix, one derivation, the length check, the
// syndromes, and the container's authentication. A wrong password, another
// size, or a lowest bit changed anywhere (every byte is in reach) reads as no
// data; an edit that keeps every lowest bit (a value moved by two) changes
// nothing that is carried, and the file reads as it was hidden.
#include "colour/PaletteTypes.h"
#include "engine/EncodePlan.h"
#include "engine/HiddenStream.h"
#include "engine/Seal.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

// The most that is ever carried, in bits per pixel (prefix included).
inline constexpr double kAdaptiveMostBitsPerPixel = 0.4;
// The most the expected change may cost on average: above it the changes
// would have to go where the picture is smooth (an average KB residual of
// about one grey level around the change and less), where they show.
inline constexpr double kAdaptiveDearestChange = 1.0;

// How a carried length fits a picture's costs, from simulated embedding at
// the rate the codes reach in the limit (a few percent below what the codes
// of height 7 do).
struct AdaptiveFit {
    double bitsPerPixel = 0;      // carried bits and prefix per pixel
    double changedShare = 0;      // expected share of the colour values changed
    double costPerChange = 0;     // expected average cost of a change
    int64_t mostCarriedBytes = 0; // the most that fits by both rules
    bool fits = false;
};

// The container bytes carried for a file of `fileBytes` with that name and date-time.
int64_t adaptiveCarriedBytes(int64_t fileBytes, int64_t nameBytes, int64_t dateTimeBytes);

// The plan of an adaptive encode of the file as it stands: the HILL costs of
// the picture and whether the file fits, with the lines to report.
EncodePlan planAdaptiveEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText);

// Seals the payload file under a key from the password and a fresh salt and
// hides the container adaptively. Report lines as encodeSealedPayload's, with
// the fit. A run that fails leaves the pixels as they were; the picture is in
// the working format afterwards.
bool encodeAdaptivePayload(QImage& picture, const QString& payloadFileName, const QByteArray& password,
                           ReportList* report, const TProgressProc& progress, const QString& dateTimeText);

struct AdaptiveReading {
    enum class Outcome {
        NoData,           // nothing under this password, or a picture changed since
        DerivationFailed, // no memory for the derivation
        Damaged,          // authentic, but its length fields run past its end
        Opened,
    };
    Outcome outcome = Outcome::NoData;
    HiddenPayload opened;   // when opened: name, date-time and bytes, as an intact payload
    int keyDerivations = 0; // memory-hard derivations the reading ran
};

AdaptiveReading readAdaptiveStream(const QImage& picture, const QByteArray& password);
// The same over rows in the working format: a pass for the prefix and, when
// the prefix promises a file for this password, one for every lowest bit.
AdaptiveReading readAdaptiveStream(PixelRows& rows, const QByteArray& password);

} // namespace ostrel
