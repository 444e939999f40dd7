// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the TIFF directory walk and libtiff.
#include "ReaderFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return ostrel::fuzzPictureReader("x.tif", data, size);
}
