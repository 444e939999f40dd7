// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the JPEG reader, grey output for inputs of odd
// size so that both output paths are explored. A file libjpeg rejects gives
// no picture (the caller keeps its previous one); any other gives one.
#include "FuzzSupport.h"
#include "imageio/GraphicsIOUnit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    ostrel::PictureLoadOptions options;
    options.JpegGrayscale = size % 2 == 1;
    options.PixelLimit = ostrel::kFuzzPixelLimit;
    const ostrel::LoadResult result =
        ostrel::loadPictureBytes(QStringLiteral("x.jpg"), ostrel::ByteView(data, size), options);
    const bool failed = result.stop == ostrel::LoadStop::Failed;
    if (failed != result.picture.isNull())
        std::abort();
    if (!failed && result.picture.format() != ostrel::kPictureFormat)
        std::abort();
    if (result.report.isEmpty() || result.report.back() != QStringLiteral("JPG End."))
        std::abort();
    return 0;
}
