// SPDX-License-Identifier: Apache-2.0
#pragma once
// Steps and report lines that the encoder and the decoder share.
#include "util/PixelRows.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

// The line a refused key (see keyCanProduceBits) is reported with.
QString unusableKeyLine();
bool keyHalvesUsable(uint32_t keyLow, uint32_t keyHigh);

// Brings the picture to the working format, reporting "Converting to 24-Bit"
// when it had to; false (with a line) when memory ran out for the copy.
bool convertCarrier(QImage& picture, ReportList* report);

// Whether there is no carrier to work on (reported as "Bitmap Not Assigned").
bool carrierMissing(const QImage& picture);
bool carrierMissing(const PixelRows& rows);
// The carrier in the working format for the work that follows: a picture is
// converted (see convertCarrier); rows are in that format already.
bool inWorkingFormat(QImage& picture, ReportList* report);
bool inWorkingFormat(PixelRows& rows, ReportList* report);

// The first checks of an encode, a picture and a payload file that exists,
// then the picture brought to the working format; false (with a line) when
// one fails.
bool encodeInputsReady(QImage& picture, const QString& payloadFullPath, ReportList* report);
// The same for rows, which are in the working format already.
bool encodeInputsReady(PixelRows& rows, const QString& payloadFullPath, ReportList* report);

// Opens the payload file for reading; false (with a line naming the file and
// the reason) when it cannot be opened.
bool openPayload(QFile& file, ReportList* report);

// Reads exactly `size` bytes of an opened payload, the size it was planned
// with; false (with a line) when reading fails or the file changed size.
bool readPayload(QFile& file, int64_t size, QByteArray& bytes, ReportList* report);

// "Image Size: W×H Pixels"
QString imageSizeLine(const QImage& picture);
QString imageSizeLine(const PixelRows& rows);

} // namespace ostrel
