// SPDX-License-Identifier: Apache-2.0
// MS-DOS and Windows executables as a picture of their header dump.
#include "imageio/text.h"

#include "Readers.h"

namespace ostrel {

LoadResult LoadExeFile(const LoadInput& input)
{
    return dumpLoadResult(dumpExeFile(input.fileName, input.exists, input.data), input.exists);
}

} // namespace ostrel
