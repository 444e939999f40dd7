// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the MacPaint reader.
#include "ReaderFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return ostrel::fuzzPictureReader("x.mac", data, size);
}
