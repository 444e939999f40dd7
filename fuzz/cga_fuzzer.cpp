// Feeds arbitrary bytes to the CGA dump reader through the dispatcher. The
// first byte picks the video mode and colour (modes past 5 included), the
// rest is the dump.
#include "FuzzSupport.h"
#include "imageio/GraphicsIOUnit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    if (size == 0)
        return 0;
    ostrel::PictureLoadOptions options;
    options.CgaMode = data[0] % 7;
    options.CgaColour = data[0] >> 3;
    const ostrel::LoadResult result =
        ostrel::LoadPictureBytes(QStringLiteral("x.16k"), ostrel::ByteView(data + 1, size - 1), options);
    if (result.picture.isNull() || result.picture.format() != ostrel::kPictureFormat)
        std::abort();
    return 0;
}
