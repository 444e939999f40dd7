// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the BMP reader. A picture it reads whole must
// also survive the 24-bit writer and come back unchanged.
#include "ReaderFuzzTarget.h"
#include "imageio/bmp.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A header may ask for any size up to the limit and the reader then fills
    // it; a smaller limit keeps the fuzzer exploring headers, not memory.
    ostrel::PictureLoadOptions options;
    options.PixelLimit = int64_t(1) << 20;
    const ostrel::LoadResult result = ostrel::loadCheckedPicture("x.bmp", data, size, options);
    if (result.stop != ostrel::LoadStop::Complete || result.picture.width() * result.picture.height() > (1 << 16))
        return 0;
    const std::optional<QByteArray> written = ostrel::encodeBmp24(result.picture);
    if (!written)
        std::abort();
    const ostrel::LoadResult reread = ostrel::loadPictureBytes(
        QStringLiteral("x.bmp"),
        ostrel::ByteView(reinterpret_cast<const uint8_t*>(written->constData()), size_t(written->size())));
    if (reread.stop != ostrel::LoadStop::Complete || reread.picture != result.picture)
        std::abort();
    return 0;
}
