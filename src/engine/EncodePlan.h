// SPDX-License-Identifier: Apache-2.0
#pragma once
// What an encode settles before it reads the payload or changes a pixel: the
// header bytes, the room the stream needs and the room the picture has,
// whether a palette can carry both bit values, and the report lines all of
// that implies.
#include "colour/PaletteTypes.h"
#include "util/PixelRows.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

struct EncodePlan {
    QByteArray header;         // magic, name, date-time text and payload size
    int64_t payloadSize = 0;
    int64_t streamLength = 0;  // header, payload and checksum, in bytes
    int64_t availableBits = 0; // one per pixel
    ReportList lines;          // for the run's report, in order; a refusal comes last
    bool accepted = false;
};

struct EncodeRequest {
    QString payloadPath; // full path, for messages
    QString fileName;    // the name stored: the path's last component
    QString dateTime;    // as it will be stored (see storableDateTime)
    int64_t payloadSize = 0;
    const TPaletteArray* palette = nullptr;
    int32_t paletteCount = kTrueColourCount; // palette mode when 256 or less
};

EncodePlan planEncode(const QImage& picture, const EncodeRequest& request);
EncodePlan planEncode(const PixelRows& rows, const EncodeRequest& request);

// The date-time text as stored: at most as many bytes as the reader takes
// and no zero byte, so the reader stays in step with the writer.
QString storableDateTime(QString text);

// The start of the hidden stream: magic, name, date-time and payload size.
QByteArray payloadHeader(const QByteArray& nameBytes, const QByteArray& dateTimeBytes, uint32_t payloadSize);

} // namespace ostrel
