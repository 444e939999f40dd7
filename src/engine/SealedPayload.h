// SPDX-License-Identifier: Apache-2.0
#pragma once
// Hiding a sealed file, and reading a picture as a sealed one. The decode
// every program runs (decodePayloadWithPassword, Decoder.h) tries the
// password as the format defines it first and then as a sealed picture's.
#include "colour/PaletteTypes.h"
#include "engine/EncodePlan.h"
#include "engine/HiddenStream.h"
#include "engine/Seal.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace ostrel {

// The plan of a sealed encode of the file as it stands, from its size alone
// (see planEncodeOfFile).
EncodePlan planSealedEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText);
EncodePlan planSealedEncodeOfFile(const PixelRows& rows, const QString& payloadFileName, const QString& dateTimeText);

// Seals the payload file (its bytes, and the name and date-time bytes the
// format would store) under the key derived from `password` and the
// picture's salt, and hides the container in true colour under the derived
// format key. The stream itself shows the name "sealed.ostrel" and an empty
// date-time. Report lines as EncodePayload's, about the payload file, with
// one more saying it was sealed. With `stealth` the stream is written as
// EncodeOptions::stealth writes it. A run that fails leaves the pixels as they were.
bool encodeSealedPayload(QImage& picture, const QString& payloadFileName, const QByteArray& password,
                         ReportList* report, const TProgressProc& progress, const QString& dateTimeText,
                         bool stealth = false);
// The same over rows in the working format (a file a band at a time): one
// pass for the salt, one for the stream.
bool encodeSealedPayload(PixelRows& rows, const QString& payloadFileName, const QByteArray& password,
                         ReportList* report, const TProgressProc& progress, const QString& dateTimeText,
                         bool stealth = false);

// What a picture in the working format holds under a password's sealed keys.
struct SealedReading {
    enum class Outcome {
        NoData,           // no stream under the derived key
        DerivationFailed, // no memory for the derivation
        StreamBroken,     // a stream, but its size or checksum is wrong (see `stream`)
        SealBroken,       // an intact stream whose container does not open (see `sealStatus`)
        Opened,
    };
    Outcome outcome = Outcome::NoData;
    HiddenPayload stream; // the stream under the derived key
    SealOpenStatus sealStatus = SealOpenStatus::NotSealed;
    HiddenPayload opened; // when opened: the sealed name, date-time and bytes, as an intact payload
};

SealedReading readSealedStream(const QImage& picture, const QByteArray& password);
SealedReading readSealedStream(PixelRows& rows, const QByteArray& password);

// The report line of a container that did not open.
QString sealProblemLine(SealOpenStatus status);

} // namespace ostrel
