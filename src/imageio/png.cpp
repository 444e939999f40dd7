// SPDX-License-Identifier: Apache-2.0
// PNG: the chunk structure is walked and checked (order, lengths, CRC-32,
// header values); the image data are not decompressed. The picture is a
// white placeholder of the image's size, framed by a 2-pixel black pen.
#include "imageio/png.h"

#include "imageio/ReaderKit.h"
#include "imageio/Readers.h"
#include "util/ByteReader.h"
#include "util/Picture.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <array>

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
    else if (run.picture().width() != state.width || run.picture().height() != state.height)
        stop = LoadStop::OverLimit;
    return run.finish(stop);
}

} // namespace ostrel
