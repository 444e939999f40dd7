// Feeds arbitrary bytes to the PNG chunk walk through the dispatcher.
#include "FuzzSupport.h"
#include "imageio/GraphicsIOUnit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    const ostrel::LoadResult result = ostrel::LoadPictureBytes(QStringLiteral("x.png"), ostrel::ByteView(data, size));
    // Every reader promises a picture in the working format.
    if (result.picture.isNull() || result.picture.format() != ostrel::kPictureFormat)
        std::abort();
    return 0;
}
