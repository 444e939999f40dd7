// SPDX-License-Identifier: Apache-2.0
// The BMP writers: a 54-byte header (file header and 40-byte information
// header), a colour table for indexed files, and uncompressed rows padded to
// 4 bytes, bottom row first.
#include "imageio/bmp.h"

#include "colour/PaletteSearch.h"
#include "colour/PodBuffer.h"
#include "bmp_format.h"
#include "util/FileIO.h"
#include "util/Pages.h"
#include "util/Picture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace ostrel {

namespace {

using namespace bmp;

// Indexed depth classes: bits per pixel and colour table entries.
struct DepthClass {
    int bitsPerPixel;
    int tableSize;
};

DepthClass depthClassFor(int32_t tableSize)
{
    if (tableSize <= 2)
        return {1, 2};
    if (tableSize <= 16)
        return {4, 16};
    return {8, 256};
}

// The sizes of a file the writer makes: its pixels, and where they start
// after the headers and a colour table of `tableSize` entries.
uint64_t writtenImageSize(uint64_t width, uint64_t height, int bitsPerPixel)
{
    return rowStride(width, uint64_t(bitsPerPixel)) * height;
}
uint64_t writtenPixelOffset(int tableSize) { return kWrittenHeadersSize + uint64_t(tableSize) * 4; }

// One file to write: the picture in the working format, and for indexed
// files the palette whose first `tableSize` entries form the colour table.
struct BmpJob {
    QImage picture;
    int bitsPerPixel = 24;
    int tableSize = 0;
    TPaletteArray palette{};
    TProgressProc progress; // hears of each row of an indexed file's mapping

    uint64_t rowSize() const { return rowStride(uint64_t(picture.width()), uint64_t(bitsPerPixel)); }
    uint64_t fileSize() const
    {
        return writtenPixelOffset(tableSize)
            + writtenImageSize(uint64_t(picture.width()), uint64_t(picture.height()), bitsPerPixel);
    }
};

// Why the picture cannot be written, or nothing.
std::optional<QString> refusalReason(const QImage& picture, int bitsPerPixel, int tableSize)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return QStringLiteral("the picture is empty.");
    const uint64_t fileSize = writtenPixelOffset(tableSize)
        + writtenImageSize(uint64_t(picture.width()), uint64_t(picture.height()), bitsPerPixel);
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return QStringLiteral("the picture is too large for a BMP file.");
    return std::nullopt;
}

// The picture in the working format, sharing its pixels when it already is.
std::optional<BmpJob> prepareJob(const QImage& picture, int bitsPerPixel, int tableSize,
                                 const TPaletteArray& palette, const QString& fileName, QString* error)
{
    if (const std::optional<QString> reason = refusalReason(picture, bitsPerPixel, tableSize)) {
        if (error)
            *error = cannotWriteText(fileName, *reason);
        return std::nullopt;
    }
    BmpJob job{picture, bitsPerPixel, tableSize, palette, {}};
    if (job.picture.format() != kPictureFormat)
        job.picture = picture.convertToFormat(kPictureFormat);
    if (job.picture.isNull()) {
        if (error)
            *error = cannotWriteText(fileName, QStringLiteral("not enough memory."));
        return std::nullopt;
    }
    return job;
}

void putU16(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void putU32(uint8_t* at, uint32_t value)
{
    putU16(at, value & 0xFFFF);
    putU16(at + 2, value >> 16);
}

std::array<uint8_t, kWrittenHeadersSize> headersFor(int64_t width, int64_t height, int bitsPerPixel, int tableSize)
{
    const uint64_t imageSize = writtenImageSize(uint64_t(width), uint64_t(height), bitsPerPixel);
    const uint64_t pixelOffset = writtenPixelOffset(tableSize);
    std::array<uint8_t, kWrittenHeadersSize> bytes{};
    putU16(&bytes[0], kBitmapSignature);
    putU32(&bytes[2], uint32_t(pixelOffset + imageSize));
    putU32(&bytes[10], uint32_t(pixelOffset));
    putU32(&bytes[14], kInfoHeaderSize);
    putU32(&bytes[18], uint32_t(width));
    putU32(&bytes[22], uint32_t(height));
    putU16(&bytes[26], 1); // planes
    putU16(&bytes[28], uint32_t(bitsPerPixel));
    putU32(&bytes[30], kBiRgb);
    putU32(&bytes[34], uint32_t(imageSize));
    // resolution (38, 42) stays 0
    putU32(&bytes[46], uint32_t(tableSize));
    putU32(&bytes[50], uint32_t(tableSize));
    return bytes;
}

std::array<uint8_t, kWrittenHeadersSize> fileHeaders(const BmpJob& job)
{
    return headersFor(job.picture.width(), job.picture.height(), job.bitsPerPixel, job.tableSize);
}

// Zero bytes that pad a row to a multiple of four.
constexpr std::array<char, 4> kRowPadding{};

// The rows go from the picture to the sink as they lie, bottom row first,
// each with its padding: no copy of the picture is made.
bool writeTrueColourRows(const BmpJob& job, const ByteSink& sink)
{
    const qsizetype pixelBytes = qsizetype(job.picture.width()) * 3;
    const qsizetype padding = qsizetype(job.rowSize()) - pixelBytes;
    for (int y = job.picture.height() - 1; y >= 0; --y) {
        if (!sink.borrow(reinterpret_cast<const char*>(job.picture.constScanLine(y)), pixelBytes))
            return false;
        if (padding > 0 && !sink.borrow(kRowPadding.data(), padding))
            return false;
    }
    return true;
}

bool writeIndexedRows(const BmpJob& job, const ByteSink& sink)
{
    std::vector<uint8_t> table(size_t(job.tableSize) * 4, 0);
    for (int i = 0; i < job.tableSize; ++i) {
        const ColourValue c = job.palette[size_t(i)];
        table[size_t(i) * 4 + 0] = blueOf(c);
        table[size_t(i) * 4 + 1] = greenOf(c);
        table[size_t(i) * 4 + 2] = redOf(c);
    }
    if (!sink(reinterpret_cast<const char*>(table.data()), qsizetype(table.size())))
        return false;

    // Rows are mapped from the top, as the remapping walks them, so equally
    // near entries are settled as in every other writer; the file stores
    // them from the bottom, so the packed rows wait in memory (a third of
    // the picture at 8 bits, less at 4 and 1).
    const size_t rowSize = size_t(job.rowSize());
    const int width = job.picture.width(), height = job.picture.height();
    const int bits = job.bitsPerPixel;
    const int perByte = 8 / bits;
    PodBuffer<uint8_t> rows = PodBuffer<uint8_t>::zeroed(rowSize * size_t(height));
    populatePages(rows.data(), rows.size());
    mapPictureToIndices(job.picture, job.palette, job.tableSize, [&](int y, const uint8_t* indices) {
        if (job.progress)
            job.progress(int32_t(int64_t(y + 1) * 100 / height));
        uint8_t* row = rows.data() + size_t(height - 1 - y) * rowSize;
        if (bits == 8) {
            std::memcpy(row, indices, size_t(width));
            return;
        }
        // The leftmost pixel of a byte takes its most significant bits.
        for (int x = 0; x < width; ++x)
            row[x / perByte] |= uint8_t(indices[x] << (8 - bits * (x % perByte + 1)));
    });
    // Handed over as a chunk the sink may not keep: the rows end with this
    // call. A chunk this large goes to the file as it is, without a copy.
    return sink(reinterpret_cast<const char*>(rows.data()), qsizetype(rows.size()));
}

// The one routine behind files and in-memory encodings alike.
bool writeBmp(const BmpJob& job, const ByteSink& sink)
{
    const auto headers = fileHeaders(job);
    if (!sink(reinterpret_cast<const char*>(headers.data()), qsizetype(headers.size())))
        return false;
    return job.tableSize > 0 ? writeIndexedRows(job, sink) : writeTrueColourRows(job, sink);
}

bool saveJob(const std::optional<BmpJob>& job, const QString& fileName, QString* error)
{
    if (!job)
        return false;
    return reportInto(writeFileAtomicallyWith(fileName, [&](const ByteSink& sink) { return writeBmp(*job, sink); }),
                      error);
}

std::optional<QByteArray> encodeJob(const std::optional<BmpJob>& job)
{
    if (!job)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(qsizetype(job->fileSize()));
    writeBmp(*job, appendingTo(bytes));
    return bytes;
}

std::optional<BmpJob> trueColourJob(const QImage& picture, const QString& fileName, QString* error)
{
    return prepareJob(picture, 24, 0, TPaletteArray{}, fileName, error);
}

std::optional<BmpJob> indexedJob(const QImage& picture, const TPaletteArray& palette, int32_t tableSize,
                                 const QString& fileName, QString* error)
{
    const DepthClass depth = depthClassFor(tableSize);
    return prepareJob(picture, depth.bitsPerPixel, depth.tableSize, palette, fileName, error);
}

// The job for a palette of `count` colours: entries from `count` on become
// black, and a copy of the picture is mapped to the table's colours first.
std::optional<BmpJob> palettedJob(const QImage& picture, const TPaletteArray& palette, int32_t count, bool dither,
                                  const TProgressProc& progress, const QString& fileName, QString* error)
{
    if (count > 256)
        return trueColourJob(picture, fileName, error);
    TPaletteArray paletteCopy = palette;
    std::fill(paletteCopy.begin() + std::max(count, 0), paletteCopy.end(), ColourValue(0));
    const DepthClass depth = depthClassFor(count);
    std::optional<BmpJob> job =
        prepareJob(picture, depth.bitsPerPixel, depth.tableSize, paletteCopy, fileName, error);
    if (!job)
        return std::nullopt;
    // Only dithering needs a remapped copy: without it every pixel's index is
    // simply the search's answer for its colour. The copy is the writer's
    // own, never the caller's pixels.
    if (!dither) {
        job->progress = progress;
        return job;
    }
    if (job->picture.cacheKey() == picture.cacheKey())
        job->picture = picture.copy();
    if (job->picture.isNull()) {
        if (error)
            *error = cannotWriteText(fileName, QStringLiteral("not enough memory."));
        return std::nullopt;
    }
    RemapToPalette(job->picture, 0, 0, job->picture.width() - 1, job->picture.height() - 1, job->palette,
                   job->tableSize, dither, progress);
    return job;
}

} // namespace

QByteArray trueColourBmpHeaders(int64_t width, int64_t height)
{
    const auto bytes = headersFor(width, height, 24, 0);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

bool Write24BitBmp(const QImage& picture, const QString& fileName, QString* error)
{
    return saveJob(trueColourJob(picture, fileName, error), fileName, error);
}

bool WriteIndexedBmp(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t tableSize,
                     QString* error)
{
    return saveJob(indexedJob(picture, palette, tableSize, fileName, error), fileName, error);
}

bool SaveBmpPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     bool dither, const TProgressProc& progress, QString* error)
{
    return saveJob(palettedJob(picture, palette, count, dither, progress, fileName, error), fileName, error);
}

bool SaveBmpWithPalette(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                        QString* error)
{
    return SaveBmpPaletted(picture, fileName, palette, count, false, TProgressProc(), error);
}

std::optional<QByteArray> encodeBmp24(const QImage& picture, QString* error)
{
    return encodeJob(trueColourJob(picture, QString(), error));
}

std::optional<QByteArray> encodeIndexedBmp(const QImage& picture, const TPaletteArray& palette, int32_t tableSize,
                                           QString* error)
{
    return encodeJob(indexedJob(picture, palette, tableSize, QString(), error));
}

std::optional<QByteArray> encodeBmpPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            bool dither, const TProgressProc& progress, QString* error)
{
    return encodeJob(palettedJob(picture, palette, count, dither, progress, QString(), error));
}

} // namespace ostrel
