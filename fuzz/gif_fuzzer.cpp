// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the GIF reader.
#include "ReaderFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return ostrel::fuzzPictureReader("x.gif", data, size);
}
