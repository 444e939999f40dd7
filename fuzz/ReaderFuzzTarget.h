// SPDX-License-Identifier: Apache-2.0
#pragma once
// The body shared by the fuzz targets of the picture readers: run the reader
// that the file name's extension chooses, and stop on a broken promise.
#include "FuzzSupport.h"
#include "imageio/GraphicsIOUnit.h"

#include <algorithm>
#include <cstdlib>

namespace ostrel {

// The reader's result, once its promises are checked.
inline LoadResult loadCheckedPicture(const char* fileName, const uint8_t* data, size_t size,
                                     const PictureLoadOptions& options = {})
{
    prepareFuzzing();
    PictureLoadOptions limited = options;
    limited.PixelLimit = std::min(options.PixelLimit, kFuzzPixelLimit);
    LoadResult result = loadPictureBytes(QString::fromLatin1(fileName), ByteView(data, size), limited);
    // Every reader promises a picture in the working format and a closed report.
    if (result.picture.isNull() || result.picture.format() != kPictureFormat || result.report.isEmpty() ||
        !result.report.back().endsWith(QStringLiteral(" End.")))
        std::abort();
    return result;
}

inline int fuzzPictureReader(const char* fileName, const uint8_t* data, size_t size,
                             const PictureLoadOptions& options = {})
{
    loadCheckedPicture(fileName, data, size, options);
    return 0;
}

} // namespace ostrel
