// SPDX-License-Identifier: Apache-2.0
// 96×96 thumbnails: a 264-byte header, then one byte per pixel in 3-3-2
// colour form, the bottom row first.
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <array>

namespace ostrel {

namespace {

constexpr int kThnSide = 96;
constexpr size_t kThnHeaderSize = 264;
constexpr size_t kThnFileSize = kThnHeaderSize + kThnSide * kThnSide; // 9480

constexpr std::array<uint8_t, 8> kLevel8 = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr std::array<uint8_t, 4> kLevel4 = {0, 85, 170, 255};

kit::Rgb thnColour(uint8_t code)
{
    return {kLevel8[code >> 5], kLevel8[(code >> 2) & 7], kLevel4[code & 3]};
}

} // namespace

LoadResult LoadThnFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "THN", kThnSide, kThnSide);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    if (input.data.size() != kThnFileSize) {
        run.value(QStringLiteral("Wrong File Size, Bytes expected"), qint64(kThnFileSize));
        return run.finish(input.data.size() < kThnFileSize ? LoadStop::Truncated : LoadStop::Corrupt);
    }
    QImage picture = allocatePicture(kThnSide, kThnSide, run.pixelLimit());
    if (picture.isNull())
        return run.finish(LoadStop::OverLimit);
    const uint8_t* source = input.data.data() + kThnHeaderSize;
    for (int y = kThnSide - 1; y >= 0; --y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < kThnSide; ++x)
            kit::putPixel(row, x, thnColour(*source++));
    }
    run.picture() = picture;
    return run.finish(LoadStop::Complete);
}

} // namespace ostrel
