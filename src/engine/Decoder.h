// SPDX-License-Identifier: Apache-2.0
#pragma once
// Gets a hidden file back out of a picture and writes it under its stored
// name into a folder.
#include "util/PixelRows.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

// Writes into the decode folder of the data folder tree. Returns true when the
// payload passed its checksum and was saved; `outputPath` then names the file.
// The picture's pixels are never changed (a picture not in the working format
// is converted first).
bool DecodePayload(QImage& picture, QString& outputPath, ReportList* report, uint32_t keyLow, uint32_t keyHigh);

// Whether a decode into a folder of the user's choosing may replace a file
// that is already there under the payload's name. The data folder is
// Ostrel's own, and its files are always replaced.
enum class ExistingFile { Replace, Keep };

// The report line of a decode that kept the file already at `path`.
QString existingFileKeptLine(const QString& path);

// The same into `folder`, which is created when missing.
bool decodePayloadInto(QImage& picture, const QString& folder, QString& outputPath, ReportList* report,
                       uint32_t keyLow, uint32_t keyHigh, ExistingFile existing = ExistingFile::Replace);

// Decodes with a password: first with its key as the format defines it and,
// when the picture shows no payload under that key, as the password of a
// sealed picture (SealedPayload.h), whose file is written under its sealed
// name only when the seal is intact, and last as the password of an adaptive
// picture (AdaptiveMode.h), whose file likewise. Into `folder` (created when missing), or
// into the decode folder of the data folder tree when `folder` is empty.
bool decodePayloadWithPassword(QImage& picture, const QString& folder, QString& outputPath, ReportList* report,
                               const QByteArray& password, ExistingFile existing = ExistingFile::Replace);
// The same over rows in the working format (a file a band at a time).
bool decodePayloadWithPassword(PixelRows& rows, const QString& folder, QString& outputPath, ReportList* report,
                               const QByteArray& password, ExistingFile existing = ExistingFile::Replace);

// The name a decoded file gets when its stored name leaves nothing usable.
inline constexpr const char* kUnnamedPayload = "unnamed";

// The name a decoded file is written under: the stored name reduced to its
// last path component ('/' and '\' both separate), with NUL, control
// characters and bidirectional controls turned into '_'; kUnnamedPayload
// when nothing usable remains ("", "." or ".."). What the picture stores is
// reported as it is (escaped), beside this name.
QString usableStoredName(const QString& storedName);

} // namespace ostrel
