// SPDX-License-Identifier: Apache-2.0
#pragma once
// Turns a file name into a picture, choosing the reader by extension alone.
#include "imageio/LoadResult.h"

#include <QImage>
#include <QString>
#include <cstdint>

namespace ostrel {

// The loader code of an extension such as ".bmp" (upper-cased first); 0 when
// no reader handles it.
uint8_t PictureLoaderCode(const QString& extension);

// Whether the reader of this loader code may draw text into its picture (text
// files, program dumps, labelled camera files, the "not supported" picture);
// only those need fonts, and so a QGuiApplication.
bool pictureLoaderDrawsText(uint8_t code);

// The extension as the dispatcher sees it: from the last "." of the file
// name (not of a folder) on, upper-cased; empty when there is none.
QString upperExtension(const QString& fileName);

// Reads the file and runs the reader of its extension.
// `readError`, when given, says why the file could not be read (the result is
// then the reader's picture for a missing file). With options.CompleteOnly
// the result has a picture only when it was read whole; otherwise
// `readError` says why not.
LoadResult LoadPictureFileWithOptions(const QString& fileName, const PictureLoadOptions& options = {},
                                      QString* readError = nullptr);

// Why a reader stopped before the end, in the words a user knows; empty for
// LoadStop::Complete.
QString incompleteLoadReason(LoadStop stop);

// Runs the reader chosen by `fileName`'s extension over bytes already in memory.
LoadResult loadPictureBytes(const QString& fileName, ByteView data, const PictureLoadOptions& options = {});

// Replaces `picture` with the file's picture, in the working format; keeps
// the previous picture when the reader could not make one (a JPEG that fails
// to decode). Returns the reader's result without its picture.
LoadResult LoadPictureFile(QImage& picture, const QString& fileName, const PictureLoadOptions& options = {});

} // namespace ostrel
