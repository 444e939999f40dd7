// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the CGA dump reader. The first byte picks the
// video mode and colour (modes past 5 included), the rest is the dump.
#include "ReaderFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ostrel::PictureLoadOptions options;
    options.CgaMode = data[0] % 7;
    options.CgaColour = data[0] >> 3;
    return ostrel::fuzzPictureReader("x.16k", data + 1, size - 1, options);
}
