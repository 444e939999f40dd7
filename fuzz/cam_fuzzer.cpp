// Feeds arbitrary bytes to the CAM reader through the dispatcher, with the
// thumbnails-only option taken from the size so both paths are explored.
#include "FuzzSupport.h"
#include "imageio/GraphicsIOUnit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    ostrel::PictureLoadOptions options;
    options.CamThumbnailsOnly = size % 2 == 1;
    const ostrel::LoadResult result =
        ostrel::LoadPictureBytes(QStringLiteral("x.cam"), ostrel::ByteView(data, size), options);
    if (result.picture.isNull() || result.picture.format() != ostrel::kPictureFormat)
        std::abort();
    return 0;
}
