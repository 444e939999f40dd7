// SPDX-License-Identifier: Apache-2.0
// OMF object files as a picture of their record dump.
#include "imageio/text.h"

#include "Readers.h"

namespace ostrel {

LoadResult LoadObjFile(const LoadInput& input)
{
    return dumpLoadResult(dumpObjFile(input.fileName, input.exists, input.data), input.exists);
}

} // namespace ostrel
