// SPDX-License-Identifier: Apache-2.0
// PNG: the chunk structure is walked and checked (order, lengths, CRC-32,
// header values) for the load report, then libpng decodes the pixels. A file
// that fails either gets a white placeholder of the image's size, framed by
// a 2-pixel black pen, and a stop other than complete.
#include "imageio/png.h"

#include "colour/PaletteSearch.h"
#include "colour/PodBuffer.h"
#include "util/ByteReader.h"
#include "util/FileIO.h"
#include "util/Pages.h"
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <optional>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>

namespace ostrel {

namespace {

constexpr uint32_t kHeaderLength = 13;

// The reader's table of known chunks; the order gives each its bit.
enum Chunk : int {
    IHDR, PLTE, bKGD, IDAT, IEND, cHRM, gAMA, iCCP, sBIT, sRGB, hIST, tRNS, pHYs, sPLT, tIME, iTXt, tEXt, zTXt,
    kChunkCount
};
constexpr std::array<const char*, kChunkCount> kChunkNames = {
    "IHDR", "PLTE", "bKGD", "IDAT", "IEND", "cHRM", "gAMA", "iCCP", "sBIT",
    "sRGB", "hIST", "tRNS", "pHYs", "sPLT", "tIME", "iTXt", "tEXt", "zTXt",
};

using ChunkSet = uint32_t;
constexpr ChunkSet bit(Chunk chunk) { return ChunkSet(1) << chunk; }
constexpr ChunkSet kAllChunks = (ChunkSet(1) << kChunkCount) - 1;
// Chunks that must come before the palette and the image data.
constexpr ChunkSet kEarlyChunks = bit(IHDR) | bit(cHRM) | bit(gAMA) | bit(iCCP) | bit(sBIT) | bit(sRGB);
constexpr ChunkSet kAfterImageData = bit(IDAT) | bit(IEND) | bit(tIME) | bit(iTXt) | bit(tEXt) | bit(zTXt);

int chunkIndex(ByteView name)
{
    for (int i = 0; i < kChunkCount; ++i)
        if (std::equal(name.begin(), name.end(), kChunkNames[i], kChunkNames[i] + 4))
            return i;
    return -1;
}

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

uint32_t updateCrc(uint32_t crc, ByteView bytes)
{
    for (uint8_t byte : bytes)
        crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc;
}

struct PngState {
    QStringList problems;
    ChunkSet allowed = bit(IHDR);
    bool sawImageData = false;
    bool sawEnd = false;
    bool cutShort = false;
    bool beyondData = false; // the header asks for more pixels than the file could hold
    int64_t paletteLength = -1;
    uint8_t bitDepth = 0, colourType = 0, compression = 0, filterMethod = 0, interlace = 0;
    int64_t width = 0, height = 0;
};

void checkBitDepth(PngState& state)
{
    const uint8_t depth = state.bitDepth;
    switch (state.colourType) {
    case 0:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
            state.problems.append(QStringLiteral("ERROR: Bit Depth must be 1, 2, 3, 8, 16"));
        break;
    case 2: case 4: case 6:
        if (depth != 8 && depth != 16)
            state.problems.append(QStringLiteral("ERROR: Bit Depth must be 8, 16"));
        break;
    case 3:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8)
            state.problems.append(QStringLiteral("ERROR: Bit Depth must be 1, 2, 4, 8"));
        break;
    default:
        state.problems.append(QStringLiteral("ERROR: Color Type must be 0, 2, 3, 4, 6"));
        break;
    }
}

// The placeholder: white, framed by a 2-pixel pen that lies inside the picture.
QImage placeholderPicture(int64_t width, int64_t height, int64_t limit)
{
    QImage picture = allocateFilledPicture(width, height, 255, 255, 255, limit);
    if (picture.isNull())
        return picture;
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const int w = picture.width(), h = picture.height();
    const int side = 2;
    painter.drawRect(0, 0, w, std::min(side, h));
    painter.drawRect(0, std::max(0, h - side), w, std::min(side, h));
    painter.drawRect(0, 0, std::min(side, w), h);
    painter.drawRect(std::max(0, w - side), 0, std::min(side, w), h);
    return picture;
}

// The most pixels the image data of a file of `fileSize` bytes can hold:
// deflate expands no byte to more than 1032, and every row of the filtered
// image takes a filter byte and its pixels' bits.
int64_t fillablePixels(const PngState& state, uint64_t fileSize)
{
    constexpr uint64_t kMaxDeflateRatio = 1032;
    uint64_t bitsPerPixel = uint64_t(state.bitDepth) * uint64_t(kit::pngChannels(state.colourType));
    if (bitsPerPixel == 0)
        bitsPerPixel = 1;
    const uint64_t rowBytes = 1 + (uint64_t(state.width) * bitsPerPixel + 7) / 8;
    const uint64_t rows = std::min(fileSize * kMaxDeflateRatio / rowBytes, uint64_t(state.height));
    return kit::pixelsFrom(rows, uint64_t(state.width));
}

void readHeader(kit::ReaderRun& run, ByteView data, PngState& state, uint64_t fileSize)
{
    if (data.size() != kHeaderLength) {
        state.problems.append(
            QStringLiteral("ERROR: Bad Header Length (should be 13) = ") + QString::number(data.size()));
        return;
    }
    ByteReader reader(data);
    state.width = std::max<int64_t>(1, reader.u32be());
    state.height = std::max<int64_t>(1, reader.u32be());
    state.bitDepth = reader.u8();
    state.colourType = reader.u8();
    state.compression = reader.u8();
    state.filterMethod = reader.u8();
    state.interlace = reader.u8();
    run.value(QStringLiteral("Size"), QStringLiteral("%1%2%3").arg(state.width).arg(QChar(0x00D7)).arg(state.height));
    run.value(QStringLiteral("Bit Depth"), state.bitDepth);
    run.value(QStringLiteral("Color Type"), state.colourType);
    run.value(QStringLiteral("Compression"), state.compression);
    run.value(QStringLiteral("Filter Method"), state.filterMethod);
    run.value(QStringLiteral("Interlace"), state.interlace);
    if (state.compression != 0)
        state.problems.append(QStringLiteral("ERROR: Compression must be 0"));
    if (state.filterMethod != 0)
        state.problems.append(QStringLiteral("ERROR: Filter Method must be 0"));
    if (state.interlace > 1)
        state.problems.append(QStringLiteral("ERROR: Interlace must be 0 or 1"));
    checkBitDepth(state);

    if (run.sizeStop(state.width, state.height, [&] { return fillablePixels(state, fileSize); }) ==
        LoadStop::Truncated) {
        state.beyondData = true;
        state.allowed = kAllChunks & ~bit(IHDR);
        return;
    }
    QImage placeholder = placeholderPicture(state.width, state.height, run.pixelLimit());
    if (placeholder.isNull())
        run.line(
            QStringLiteral("Picture Size Over Limit = %1%2%3").arg(state.width).arg(QChar(0x00D7)).arg(state.height));
    else
        run.picture() = std::move(placeholder);
    state.allowed = kAllChunks & ~bit(IHDR);
}

// Applies one known chunk to the walk: its checks and the chunks allowed after it.
void applyChunk(kit::ReaderRun& run, Chunk chunk, ByteView data, PngState& state, uint64_t fileSize)
{
    switch (chunk) {
    case IHDR:
        readHeader(run, data, state, fileSize);
        return;
    case PLTE:
        state.paletteLength = int64_t(data.size());
        if (data.size() % 3 != 0)
            state.problems.append(QStringLiteral("ERROR: Palette Length Corrupted"));
        else if (state.colourType != 2 && state.colourType != 3 && state.colourType != 6)
            state.problems.append(QStringLiteral("ERROR: Palette Forbidden for this color type"));
        state.allowed &= ~kEarlyChunks;
        return;
    case bKGD:
        state.allowed &= ~(kEarlyChunks | bit(PLTE) | bit(bKGD));
        return;
    case IDAT:
        state.sawImageData = true;
        state.allowed &= kAfterImageData;
        return;
    case IEND:
        if (!data.empty())
            state.problems.append(QStringLiteral("ERROR: Bad End Length"));
        state.sawEnd = true;
        state.allowed = 0;
        return;
    case hIST:
    case tRNS:
        state.allowed &= ~(kEarlyChunks | bit(PLTE) | bit(chunk));
        return;
    case cHRM: case gAMA: case iCCP: case sBIT: case sRGB: case pHYs: case tIME:
        state.allowed &= ~bit(chunk);
        return;
    default: // sPLT and the text chunks may come any number of times
        return;
    }
}

// Walks the chunks until the data end or a problem is recorded.
void walkChunks(kit::ReaderRun& run, ByteReader& reader, PngState& state)
{
    while (!reader.atEnd() && state.problems.isEmpty()) {
        const uint32_t length = reader.u32be();
        const ByteView name = reader.bytes(4);
        const ByteView data = reader.bytes(length);
        const uint32_t storedCrc = reader.u32be();
        if (reader.truncated()) {
            // Stray bytes after the end chunk are left alone.
            state.cutShort = !state.sawEnd;
            return;
        }
        const int index = chunkIndex(name);
        if (index >= 0) {
            if (!(state.allowed & bit(Chunk(index)))) {
                state.problems.append(QStringLiteral("ERROR: Bad Chunk Name"));
                return;
            }
            applyChunk(run, Chunk(index), data, state, reader.size());
        }
        if (pngChunkCrc(name, data) != storedCrc)
            state.problems.append(QStringLiteral("ERROR: Bad CRC Value"));
    }
}


// ---------------------------------------------------------------------------
// Pixels, through libpng

// Ancillary chunks libpng would otherwise keep in memory; none changes a
// pixel we show, so they are skipped unread.
constexpr png_byte kIgnoredChunks[] = {
    'i', 'C', 'C', 'P', '\0', 's', 'P', 'L', 'T', '\0', 't', 'E', 'X', 't', '\0', 'z', 'T', 'X', 't', '\0',
    'i', 'T', 'X', 't', '\0', 'e', 'X', 'I', 'f', '\0', 'h', 'I', 'S', 'T', '\0', 't', 'I', 'M', 'E', '\0',
};
// The most memory one ancillary chunk may take, and how many may be kept.
constexpr png_alloc_size_t kChunkMemoryLimit = png_alloc_size_t(1) << 23;
constexpr png_uint_32 kChunkCacheLimit = 1000;

// One decode: the bytes, the picture the rows go to (already of the
// header's size), and libpng's reason when it fails. Plain data only, since
// libpng's errors leave decodeWithLibpng by longjmp.
struct PngDecodeJob {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    uint8_t* pictureBits = nullptr;
    size_t pictureStride = 0;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    uint8_t* rowBuffer = nullptr;   // the decoded rows: one, or all of an interlaced image
    png_bytep* rowPointers = nullptr;
    char message[160] = {};
};

void readFromMemory(png_structp png, png_bytep out, size_t count)
{
    auto* job = static_cast<PngDecodeJob*>(png_get_io_ptr(png));
    if (count > job->size - job->position)
        png_error(png, "unexpected end of file");
    std::memcpy(out, job->data + job->position, count);
    job->position += count;
}

[[noreturn]] void decodingFailed(png_structp png, png_const_charp message)
{
    auto* job = static_cast<PngDecodeJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// 16-bit samples to 8 bits, rounded to the nearest (v / 257).
inline uint8_t roundTo8(uint32_t sample16) { return uint8_t((sample16 * 255 + 32895) >> 16); }

// One decoded row (RGB or RGBA, 8 or 16 bits a sample, big-endian) into a
// row of the picture. Transparent pixels are shown over white.
void storeRow(const uint8_t* source, uint8_t* target, png_uint_32 width, int channels, int bitDepth)
{
    const bool alpha = channels == 4;
    if (bitDepth == 8) {
        for (png_uint_32 x = 0; x < width; ++x, source += channels, target += 3) {
            uint32_t r = source[0], g = source[1], b = source[2];
            if (alpha) {
                const uint32_t a = source[3], white = 255 * (255 - a);
                r = (r * a + white + 127) / 255;
                g = (g * a + white + 127) / 255;
                b = (b * a + white + 127) / 255;
            }
            target[0] = uint8_t(b);
            target[1] = uint8_t(g);
            target[2] = uint8_t(r);
        }
        return;
    }
    for (png_uint_32 x = 0; x < width; ++x, source += 2 * channels, target += 3) {
        uint64_t rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = uint32_t(source[2 * c]) << 8 | source[2 * c + 1];
        if (alpha) {
            const uint64_t a = uint32_t(source[6]) << 8 | source[7], white = 65535 * (65535 - a);
            for (uint64_t& sample : rgb)
                sample = (sample * a + white + 32767) / 65535;
        }
        target[0] = roundTo8(uint32_t(rgb[2]));
        target[1] = roundTo8(uint32_t(rgb[1]));
        target[2] = roundTo8(uint32_t(rgb[0]));
    }
}

// Every pixel format becomes RGB or RGBA: palettes and grey expand, a tRNS
// colour becomes alpha. Samples with alpha stay 16-bit so that they are laid
// over white at full precision; opaque ones are rounded to 8 bits by libpng
// (the same rounding), which halves the rows an interlaced image keeps in
// memory until its last pass.
void chooseTransforms(png_structp png, png_infop info)
{
    const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    if (!alpha)
        png_set_scale_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

void storeAllRows(PngDecodeJob& job, png_structp png, png_infop info)
{
    const int channels = png_get_channels(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    for (png_uint_32 y = 0; y < job.height; ++y)
        storeRow(job.rowPointers ? job.rowPointers[y] : job.rowBuffer, job.pictureBits + y * job.pictureStride,
                 job.width, channels, bitDepth);
}

// Decodes into the job's picture; false with job.message on any failure.
// libpng leaves by longjmp, so this frame holds nothing with a destructor and
// every allocation lives in the job.
bool decodeWithLibpng(PngDecodeJob& job)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, decodingFailed, ignoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(job.rowPointers);
        std::free(job.rowBuffer);
        job.rowPointers = nullptr;
        job.rowBuffer = nullptr;
        return false;
    }
    png_set_read_fn(png, &job, readFromMemory);
    png_set_user_limits(png, job.width, job.height);
    png_set_chunk_malloc_max(png, kChunkMemoryLimit);
    png_set_chunk_cache_max(png, kChunkCacheLimit);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, int(sizeof kIgnoredChunks / 5));
    png_read_info(png, info);
    if (png_get_image_width(png, info) != job.width || png_get_image_height(png, info) != job.height)
        png_error(png, "image size differs from the header");
    chooseTransforms(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    job.rowBuffer = static_cast<uint8_t*>(std::malloc(rowBytes * (interlaced ? job.height : 1)));
    if (interlaced && job.rowBuffer)
        job.rowPointers = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * job.height));
    if (!job.rowBuffer || (interlaced && !job.rowPointers))
        png_error(png, "not enough memory");
    if (interlaced) {
        for (png_uint_32 y = 0; y < job.height; ++y)
            job.rowPointers[y] = job.rowBuffer + size_t(y) * rowBytes;
        png_read_image(png, job.rowPointers);
        storeAllRows(job, png, info);
    } else {
        const int channels = png_get_channels(png, info);
        const int bitDepth = png_get_bit_depth(png, info);
        for (png_uint_32 y = 0; y < job.height; ++y) {
            png_read_row(png, job.rowBuffer, nullptr);
            storeRow(job.rowBuffer, job.pictureBits + y * job.pictureStride, job.width, channels, bitDepth);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(job.rowPointers);
    std::free(job.rowBuffer);
    job.rowPointers = nullptr;
    job.rowBuffer = nullptr;
    return true;
}

// The pixels into `picture` (of the header's size); libpng's reason when it fails.
std::optional<QString> decodePixels(ByteView data, QImage& picture)
{
    PngDecodeJob job;
    job.data = data.data();
    job.size = data.size();
    job.pictureBits = picture.bits();
    job.pictureStride = size_t(picture.bytesPerLine());
    job.width = png_uint_32(picture.width());
    job.height = png_uint_32(picture.height());
    if (decodeWithLibpng(job))
        return std::nullopt;
    return QString::fromLatin1(job.message[0] ? job.message : "not enough memory");
}

// ---------------------------------------------------------------------------
// Writing, through libpng

// One file to write, all plain data: libpng's errors leave encodeWithLibpng
// by longjmp.
struct PngEncodeJob {
    const uint8_t* pixels = nullptr; // the working format's rows
    size_t stride = 0;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 8;              // of an indexed file
    int tableSize = 0;             // 0: a 24-bit file
    png_color table[256] = {};
    const uint8_t* indices = nullptr; // an indexed file's packed rows
    size_t indexStride = 0;
    const ByteSink* sink = nullptr;
    bool sinkFailed = false;
    uint8_t* rowBuffer = nullptr;
};

// libpng's output goes on to the sink as it is made; a failed write ends
// the encoding through libpng's own error path.
void writeToSink(png_structp png, png_bytep data, size_t size)
{
    auto* job = static_cast<PngEncodeJob*>(png_get_io_ptr(png));
    if (!(*job->sink)(reinterpret_cast<const char*>(data), qsizetype(size))) {
        job->sinkFailed = true;
        png_error(png, "writing failed");
    }
}

void flushNothing(png_structp) {}

[[noreturn]] void encodingFailed(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool encodeWithLibpng(PngEncodeJob& job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, encodingFailed, ignoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::free(job.rowBuffer);
        job.rowBuffer = nullptr;
        return false;
    }
    png_set_write_fn(png, &job, writeToSink, flushNothing);
    const bool indexed = job.tableSize > 0;
    png_set_IHDR(png, info, job.width, job.height, indexed ? job.bitDepth : 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed)
        png_set_PLTE(png, info, job.table, job.tableSize);
    png_write_info(png, info);
    if (indexed) {
        for (png_uint_32 y = 0; y < job.height; ++y)
            png_write_row(png, job.indices + size_t(y) * job.indexStride);
    } else {
        job.rowBuffer = static_cast<uint8_t*>(std::malloc(size_t(job.width) * 3));
        if (!job.rowBuffer)
            png_error(png, "not enough memory");
        for (png_uint_32 y = 0; y < job.height; ++y) {
            const uint8_t* bgr = job.pixels + size_t(y) * job.stride;
            for (png_uint_32 x = 0; x < job.width; ++x) {
                job.rowBuffer[3 * x] = bgr[3 * x + 2];
                job.rowBuffer[3 * x + 1] = bgr[3 * x + 1];
                job.rowBuffer[3 * x + 2] = bgr[3 * x];
            }
            png_write_row(png, job.rowBuffer);
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::free(job.rowBuffer);
    job.rowBuffer = nullptr;
    return true;
}

bool emptyPicture(const QImage& picture)
{
    return picture.isNull() || picture.width() < 1 || picture.height() < 1;
}

// The file, handed to `sink` as libpng makes it. On a failure other than
// the sink's own, `error` says why. PNG's sides are 31-bit; the working
// picture's never exceed that.
bool encodePng(const QImage& source, const TPaletteArray& palette, int32_t count, const TProgressProc& progress,
               const QString& fileName, QString* error, const ByteSink& sink)
{
    const auto refuse = [&](const QString& reason) {
        if (error)
            *error = cannotWriteText(fileName, reason);
        return false;
    };
    if (emptyPicture(source))
        return refuse(QStringLiteral("the picture is empty."));
    const QImage picture = source.format() == kPictureFormat ? source : source.convertToFormat(kPictureFormat);
    if (picture.isNull())
        return refuse(QStringLiteral("not enough memory."));
    PngEncodeJob job;
    job.pixels = picture.constBits();
    job.stride = size_t(picture.bytesPerLine());
    job.width = png_uint_32(picture.width());
    job.height = png_uint_32(picture.height());
    job.sink = &sink;
    PodBuffer<uint8_t> indices;
    if (count <= 256) {
        // The BMP writer's depth classes: 2, 16 or 256 entries.
        job.tableSize = count <= 2 ? 2 : count <= 16 ? 16 : 256;
        job.bitDepth = count <= 2 ? 1 : count <= 16 ? 4 : 8;
        TPaletteArray table = palette;
        std::fill(table.begin() + std::max(count, 0), table.end(), ColourValue(0));
        for (int i = 0; i < job.tableSize; ++i)
            job.table[i] = {redOf(table[size_t(i)]), greenOf(table[size_t(i)]), blueOf(table[size_t(i)])};
        const int perByte = 8 / job.bitDepth;
        job.indexStride = (size_t(job.width) + size_t(perByte) - 1) / size_t(perByte);
        indices = PodBuffer<uint8_t>::zeroed(job.indexStride * job.height);
        populatePages(indices.data(), indices.size());
        const int height = picture.height();
        mapPictureToIndices(picture, table, job.tableSize, [&](int y, const uint8_t* rowIndices) {
            if (progress)
                progress(int32_t(int64_t(y + 1) * 100 / height));
            uint8_t* row = indices.data() + size_t(y) * job.indexStride;
            // The leftmost pixel of a byte takes its most significant bits.
            for (png_uint_32 x = 0; x < job.width; ++x)
                row[x / perByte] |= uint8_t(rowIndices[x] << (8 - job.bitDepth * (int(x) % perByte + 1)));
        });
        job.indices = indices.data();
    }
    if (!encodeWithLibpng(job))
        return job.sinkFailed ? false : refuse(QStringLiteral("not enough memory."));
    return true;
}

} // namespace

uint32_t pngChunkCrc(ByteView name, ByteView data)
{
    return updateCrc(updateCrc(0xFFFFFFFFu, name), data) ^ 0xFFFFFFFFu;
}

LoadResult LoadPngFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "PNG", 100, 100);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    ByteReader reader(input.data);
    const ByteView signature = reader.bytes(kit::kPngSignature.size());
    if (reader.truncated()) {
        run.shortRead(input.data.size(), kit::kPngSignature.size());
        return run.finish(LoadStop::Truncated);
    }
    PngState state;
    const bool signatureGood = std::equal(signature.begin(), signature.end(), kit::kPngSignature.begin());
    if (!signatureGood)
        state.problems.append(QStringLiteral("ERROR: Bad Signature"));
    walkChunks(run, reader, state);

    // A file can end without anything being out of order yet still lack its
    // image data or its end; those are problems of the file too.
    if (state.problems.isEmpty()) {
        if (state.cutShort)
            state.problems.append(QStringLiteral("ERROR: Unexpected End of File"));
        else if (!state.sawImageData)
            state.problems.append(QStringLiteral("ERROR: Missing Image Data"));
        else if (!state.sawEnd)
            state.problems.append(QStringLiteral("ERROR: Missing End Chunk"));
    }
    // Only a sound structure is decoded, into the placeholder of its size;
    // a failed decode puts the placeholder back.
    const bool pictureSized = run.picture().width() == state.width && run.picture().height() == state.height;
    if (signatureGood && state.problems.isEmpty() && !state.beyondData && pictureSized) {
        if (const std::optional<QString> failure = decodePixels(input.data, run.picture())) {
            state.problems.append(QStringLiteral("ERROR: Image Data Not Decoded: ") + *failure);
            run.picture() = placeholderPicture(state.width, state.height, run.pixelLimit());
        }
    }

    run.value(QStringLiteral("Palette Length"), state.paletteLength);
    run.value(QStringLiteral("Interlace"), state.interlace);
    run.value(QStringLiteral("Filter Method"), state.filterMethod);
    run.value(QStringLiteral("Compression"), state.compression);
    run.value(QStringLiteral("Bit Depth"), state.bitDepth);
    for (const QString& problem : state.problems)
        run.line(problem);
    run.line(QStringLiteral(".PNG Decode Complete"));

    LoadStop stop = LoadStop::Complete;
    if (!signatureGood)
        stop = LoadStop::BadSignature;
    else if (state.cutShort)
        stop = LoadStop::Truncated;
    else if (!state.problems.isEmpty())
        stop = LoadStop::Corrupt;
    else if (state.beyondData)
        stop = LoadStop::Truncated;
    else if (!pictureSized)
        stop = LoadStop::OverLimit;
    return run.finish(stop);
}

} // namespace ostrel

namespace ostrel {

bool savePngPaletted(const QImage& picture, const QString& fileName, const TPaletteArray& palette, int32_t count,
                     const TProgressProc& progress, QString* error)
{
    if (emptyPicture(picture)) {
        if (error)
            *error = cannotWriteText(fileName, QStringLiteral("the picture is empty."));
        return false;
    }
    QString refusal;
    const Outcome written = writeFileAtomicallyWith(fileName, [&](const ByteSink& sink) {
        return encodePng(picture, palette, count, progress, fileName, &refusal, sink);
    });
    if (!written && error)
        *error = refusal.isEmpty() ? written.error() : refusal;
    return written.ok();
}

std::optional<QByteArray> encodePngPaletted(const QImage& picture, const TPaletteArray& palette, int32_t count,
                                            const TProgressProc& progress, QString* error)
{
    QByteArray bytes;
    if (!encodePng(picture, palette, count, progress, QString(), error, appendingTo(bytes)))
        return std::nullopt;
    return bytes;
}

} // namespace ostrel
