// SPDX-License-Identifier: Apache-2.0
#pragma once
// What every picture reader returns: the picture, its diagnostic lines, and
// why it stopped. Readers are functions from bytes to a LoadResult; file
// input happens once, in the dispatcher.
#include "imageio/ReportText.h"
#include "util/ByteReader.h"
#include "util/Picture.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace ostrel {

enum class LoadStop {
    Complete,     // the whole picture was read
    Missing,      // the file does not exist: the reader's blank picture
    Truncated,    // the data ended early: what was drawn so far
    BadSignature, // not this format
    Corrupt,      // inconsistent data: what was drawn so far
    OverLimit,    // the sizes exceed the pixel limit or overflow
    Unsupported,  // a variant this reader does not handle
    Failed,       // nothing usable; the caller keeps its previous picture
};

struct PictureLoadOptions {
    bool JpegGrayscale = false;
    bool CamThumbnailsOnly = false;
    uint8_t CgaMode = 4;
    uint8_t CgaColour = 0;
    // The most pixels a picture of this load may have; larger ones end with
    // LoadStop::OverLimit. Fuzzers lower it to explore headers, not memory.
    int64_t PixelLimit = kDefaultPixelLimit;
    // Only a picture read to its end: a blank or half-drawn stand-in would
    // otherwise carry a payload or be saved as if it were the user's picture.
    // Anything less gives no picture, and the load's error text says why in
    // the user's words (an extension no reader takes, an empty file, the
    // reader's LoadStop).
    bool CompleteOnly = false;
};

// One reader's input.
struct LoadInput {
    QString fileName;      // full name, for the report and labels
    bool exists = false;   // false: `data` is empty and the reader gives its blank picture
    ByteView data;
    PictureLoadOptions options;
};

struct LoadResult {
    QImage picture;        // Format_BGR888; null only when stop == Failed
    QStringList report;    // the load report's lines
    LoadStop stop = LoadStop::Complete;
};

// Convenience for readers: appends to result.report.
inline void ReportLine(LoadResult& result, const QString& text) { result.report.append(text); }
inline void ReportValue(LoadResult& result, const QString& name, const QString& value)
{
    result.report.append(reportValueLine(name, value));
}
inline void ReportValue(LoadResult& result, const QString& name, qint64 value)
{
    result.report.append(reportValueLine(name, QString::number(value)));
}

} // namespace ostrel
