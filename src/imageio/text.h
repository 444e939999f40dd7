// SPDX-License-Identifier: Apache-2.0
#pragma once
// Pictures of text lines, shared by the text, EXE and OBJ loaders.
#include "imageio/LoadResult.h"
#include "imageio/MSDOSUnit.h"

#include <QImage>
#include <QStringList>

namespace ostrel {

// The picture DrawLinesAsPicture makes of `lines` on white, at a cost bounded
// by what can appear on it: only the lines that reach the 4096-pixel height
// limit are drawn, the others merely count towards the height and width, and
// no line is measured past the characters that could reach the width limit.
QImage textLinesPicture(const QStringList& lines);

// A dump drawn as a picture, its lines kept as the report.
LoadResult dumpLoadResult(MsdosDump dump, bool exists);

// Splits text at CR LF, LF or CR; a break at the very end starts no line.
QStringList splitTextLines(const QString& text);

// The lines of a text file's bytes, read as fromStoredBytes reads them and
// without a leading byte-order mark.
QStringList textFileLines(const QByteArray& bytes);

} // namespace ostrel
