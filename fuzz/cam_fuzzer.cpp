// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the CAM reader, with the thumbnails-only option
// taken from the size so that both paths are explored.
#include "ReaderFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::PictureLoadOptions options;
    options.CamThumbnailsOnly = size % 2 == 1;
    return ostrel::fuzzPictureReader("x.cam", data, size, options);
}
