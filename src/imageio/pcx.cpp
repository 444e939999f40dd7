// Placeholder until this format's reader is written: the labelled picture.
#include "colour/Drawing.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/Readers.h"

namespace ostrel {

LoadResult LoadPcxFile(const LoadInput& input)
{
    LoadResult result;
    result.picture = unsupportedPicture(input.fileName, upperExtension(input.fileName));
    result.stop = LoadStop::Unsupported;
    return result;
}

} // namespace ostrel
