// SPDX-License-Identifier: Apache-2.0
// TIFF: the header and the first image file directory are walked and
// reported, then libtiff decodes that directory's image. A file that fails
// either keeps the white placeholder of the image's size and a stop other
// than complete.
#include "util/ByteReader.h"
#include "util/Picture.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <memory>
#include <new>
#include <tiffio.h>

namespace ostrel {

namespace {

constexpr uint16_t kTiffMagic = 42;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kImageWidthTag = 256;
constexpr uint16_t kImageLengthTag = 257;
constexpr uint32_t kMaxSide = 32767;
// Values (or text bytes) listed per tag, and over the whole directory, so a
// directory of many tags all pointing at the same long array cannot blow the
// report up; the count is always reported in full.
constexpr uint32_t kMaxValuesShown = 1024;
constexpr uint32_t kMaxTextShown = 65536;
constexpr uint32_t kDirectoryShownBudget = 262144;

enum FieldType : uint16_t {
    kByte = 1, kAscii, kShort, kLong, kRational, kSByte, kUndefined, kSShort, kSLong, kSRational, kFloat, kDouble
};

constexpr std::array<const char*, 12> kTypeNames = {
    "Unsigned Byte", "ASCII", "Unsigned Short (16-bit)", "Unsigned Long (32-bit)", "Unsigned Rational (Long/Long)",
    "Signed Byte", "Undefined Byte", "Signed Short (16-bit)", "Signed Long (32-bit)", "Signed Rational",
    "Single Precision Float (32-bit)", "Double Precision Float (64-bit)",
};

QString typeName(uint16_t type)
{
    return type >= 1 && type <= kTypeNames.size() ? QString::fromLatin1(kTypeNames[type - 1]) : QStringLiteral("-?-");
}

uint32_t typeSize(uint16_t type)
{
    switch (type) {
    case kShort: case kSShort: return 2;
    case kLong: case kSLong: case kFloat: return 4;
    case kRational: case kSRational: case kDouble: return 8;
    default: return 1;
    }
}

struct TagName {
    uint16_t tag;
    const char* name;
};

constexpr TagName kTagNames[] = {
    {254, "NewSubfileType"}, {255, "SubfileType"}, {256, "Width"}, {257, "Height"}, {258, "BitsPerSample"},
    {259, "Compression"}, {262, "PhotometricInterpretation"}, {263, "Thresholding"},
    {264, "CellWidth (threshold=2)"}, {265, "CellLength (threshold=2)"}, {266, "FillOrder"},
    {269, "DocumentName"}, {270, "ImageDescription"}, {271, "Make (scanner)"}, {272, "Model (scanner)"},
    {273, "StripOffsets"}, {274, "Orientation"}, {277, "SamplesPerPixel"}, {278, "RowsPerStrip"},
    {279, "StripByteCounts"}, {280, "MinSampleValue"}, {281, "MaxSampleValue"}, {282, "XResolution"},
    {283, "YResolution"}, {284, "PlanarConfiguration"}, {285, "PageName"}, {286, "XPosition"},
    {287, "YPosition"}, {288, "FreeOffsets"}, {289, "FreeByteCounts"}, {290, "GrayResponseUnit"},
    {291, "GrayResponseCurve"}, {292, "T4Options"}, {293, "T6Options"}, {296, "ResolutionUnit"},
    {297, "PageNumber"}, {301, "TransferFunction"}, {305, "Software"}, {306, "DateTime"},
    {316, "HostComputer"}, {317, "Predictor"}, {318, "WhitePoint"}, {319, "PrimaryChromaticities"},
    {320, "ColorMap"}, {321, "HaltoneHints"}, {322, "TileWidth"}, {323, "TileLength"}, {324, "TileOffsets"},
    {325, "TileByteCounts"}, {332, "InkSet"}, {333, "InkNames"}, {334, "NumberOfInks"}, {336, "DotRange"},
    {337, "TargetPrinter"}, {338, "ExtraSamples"}, {33432, "Copyright"}, {33723, "IPTC_NAA"},
    {34377, "PhotoShop data"},
};

const char* tagName(uint16_t tag)
{
    for (const TagName& entry : kTagNames)
        if (entry.tag == tag)
            return entry.name;
    return nullptr;
}

struct CodeName {
    uint32_t code;
    const char* name;
};

constexpr CodeName kCompressionNames[] = {
    {1, "Uncompressed"}, {2, "CCITT ID"}, {3, "Group 3 Fax"}, {4, "Group 4 Fax"}, {5, "LZW"}, {6, "JPEG"},
    {32773, "PackBits"},
};
constexpr CodeName kPhotometricNames[] = {
    {0, "WhiteIsZero"}, {1, "BlackIsZero"}, {2, "RGB"}, {3, "RGB Palette"}, {4, "Transparency Mask"},
    {5, "CMYK"}, {6, "YCbCr"}, {8, "CIELab"},
};

template <size_t N>
QString codeName(const CodeName (&table)[N], uint32_t code)
{
    for (const CodeName& entry : table)
        if (entry.code == code)
            return QString::fromLatin1(entry.name);
    return QStringLiteral("<unknown>");
}

// Reads at absolute offsets in the file's byte order. A read of the
// directory itself that comes up short ends the walk.
class TiffReader {
public:
    explicit TiffReader(ByteView data) : m_data(data) {}

    bool bigEndian = false;

    bool within(uint64_t offset, uint64_t count) const
    {
        return offset <= m_data.size() && count <= m_data.size() - offset;
    }

    // Zero (and nothing else) when the bytes lie outside the file.
    uint32_t number(uint64_t offset, uint32_t size) const
    {
        if (!within(offset, size))
            return 0;
        ByteReader reader(m_data);
        reader.seek(size_t(offset));
        switch (size) {
        case 1: return reader.u8();
        case 2: return bigEndian ? reader.u16be() : reader.u16le();
        default: return bigEndian ? reader.u32be() : reader.u32le();
        }
    }

    ByteView bytes(uint64_t offset, uint64_t count) const
    {
        return within(offset, count) ? m_data.subspan(size_t(offset), size_t(count)) : ByteView();
    }

    size_t size() const { return m_data.size(); }

private:
    ByteView m_data;
};

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t valuesAt = 0; // the value field itself, or the offset it holds
};

QString valueText(const TiffReader& reader, const Entry& entry, uint32_t index)
{
    const uint64_t at = entry.valuesAt + uint64_t(index) * typeSize(entry.type);
    switch (entry.type) {
    case kSByte: return QString::number(int8_t(reader.number(at, 1)));
    case kShort: return QString::number(reader.number(at, 2));
    case kSShort: return QString::number(int16_t(reader.number(at, 2)));
    case kLong: return QString::number(reader.number(at, 4));
    case kSLong: return QString::number(int32_t(reader.number(at, 4)));
    case kRational:
        return QString::number(reader.number(at, 4)) + QLatin1Char('/') + QString::number(reader.number(at + 4, 4));
    case kSRational:
        return QString::number(int32_t(reader.number(at, 4))) + QLatin1Char('/') +
               QString::number(int32_t(reader.number(at + 4, 4)));
    case kFloat: {
        const uint32_t bits = reader.number(at, 4);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return QString::number(value);
    }
    case kDouble: {
        uint64_t bits = uint64_t(reader.number(at, 4)) << 32 | reader.number(at + 4, 4);
        if (!reader.bigEndian)
            bits = bits >> 32 | bits << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return QString::number(value);
    }
    default: return QString::number(reader.number(at, 1));
    }
}

// ASCII values: each NUL ends a line.
QString asciiText(ByteView bytes)
{
    QString text;
    for (uint8_t byte : bytes) {
        if (byte == 0)
            text.append(QStringLiteral("\r\n"));
        else
            text.append(QChar(byte));
    }
    return text;
}

// The entry's values as report text, listing at most `shown` of them (text bytes for ASCII).
QString entryValues(const TiffReader& reader, const Entry& entry, uint32_t shown)
{
    const uint16_t tag = entry.tag;
    if (entry.type == kAscii)
        return asciiText(reader.bytes(entry.valuesAt, shown));
    if (entry.count == 1) {
        const QString value = valueText(reader, entry, 0);
        if (tag == 259)
            return value + QLatin1Char(' ')
                + codeName(kCompressionNames, reader.number(entry.valuesAt, typeSize(entry.type)));
        if (tag == 262)
            return value + QLatin1Char(' ')
                + codeName(kPhotometricNames, reader.number(entry.valuesAt, typeSize(entry.type)));
        return value;
    }
    QStringList values;
    for (uint32_t i = 0; i < shown; ++i)
        values.append(valueText(reader, entry, i));
    QString text = values.join(QLatin1Char(' ')) + QStringLiteral(" Count = ") + QString::number(entry.count);
    if (tag == 291)
        text += QStringLiteral(" should be 2^BitsPerSample");
    else if (tag == 320)
        text += QStringLiteral(" should be (3*2^BitsPerSample)");
    return text;
}

struct Walk {
    QStringList problems;
    int64_t width = -1;  // -1: no tag gave it
    int64_t height = -1;
    bool signatureBad = false;
    bool cutShort = false;
    bool valuesOutside = false;
    uint32_t shownBudget = kDirectoryShownBudget;
};

void walkEntry(kit::ReaderRun& run, const TiffReader& reader, const Entry& entry, Walk& walk)
{
    const char* name = tagName(entry.tag);
    if (!name) {
        run.value(QString::number(entry.tag), QStringLiteral("Type(") + typeName(entry.type) + QStringLiteral(")*"));
        return;
    }
    const uint32_t tagLimit = std::min(entry.count, entry.type == kAscii ? kMaxTextShown : kMaxValuesShown);
    const uint64_t tagBytes = entry.type == kAscii ? tagLimit : uint64_t(tagLimit) * typeSize(entry.type);
    if (tagBytes > 0 && !reader.within(entry.valuesAt, tagBytes))
        walk.valuesOutside = true;
    const uint32_t shown = std::min(tagLimit, walk.shownBudget);
    walk.shownBudget -= shown;
    run.value(QString::fromLatin1(name), entryValues(reader, entry, shown));
    const bool sizeTag = entry.tag == kImageWidthTag || entry.tag == kImageLengthTag;
    if (!sizeTag || (entry.type != kShort && entry.type != kLong) || entry.count < 1)
        return;
    // A zero side would leave no picture at all; one pixel keeps it usable.
    const int64_t side = std::clamp<int64_t>(reader.number(entry.valuesAt, typeSize(entry.type)), 1, kMaxSide);
    (entry.tag == kImageWidthTag ? walk.width : walk.height) = side;
}

void walkDirectory(kit::ReaderRun& run, const TiffReader& reader, Walk& walk)
{
    const uint64_t directory = reader.number(4, 4);
    run.value(QStringLiteral("First IFD Address"), qint64(directory));
    if (!reader.within(directory, 2)) {
        walk.cutShort = true;
        return;
    }
    const uint16_t entries = uint16_t(reader.number(directory, 2));
    run.value(QStringLiteral("Directory Entries"), entries);
    for (uint32_t k = 0; k < entries; ++k) {
        const uint64_t at = directory + 2 + uint64_t(k) * kEntrySize;
        if (!reader.within(at, kEntrySize)) {
            walk.cutShort = true;
            return;
        }
        Entry entry;
        entry.tag = uint16_t(reader.number(at, 2));
        entry.type = uint16_t(reader.number(at + 2, 2));
        entry.count = reader.number(at + 4, 4);
        const bool inline4 = uint64_t(entry.count) * typeSize(entry.type) <= 4;
        entry.valuesAt = inline4 ? at + 8 : reader.number(at + 8, 4);
        walkEntry(run, reader, entry, walk);
    }
    const uint64_t next = directory + 2 + uint64_t(entries) * kEntrySize;
    if (!reader.within(next, 4)) {
        walk.cutShort = true;
        return;
    }
    run.value(QStringLiteral("Next IFD Address"), qint64(reader.number(next, 4)));
}

// The most pixels a file of `fileSize` bytes can describe. No TIFF coding
// spends less than a bit on a row (the fax codes come closest), and none
// gives more than 4096 pixels for a bit (LZW over 1-bit pixels comes closest).
int64_t fillablePixels(int64_t width, uint64_t fileSize)
{
    constexpr uint64_t kMostPixelsPerBit = 4096;
    return kit::pixelsFrom(fileSize * 8, std::max(uint64_t(width), kMostPixelsPerBit));
}


// ---------------------------------------------------------------------------
// Pixels, through libtiff

// The file's bytes as libtiff's stream, read-only.
struct MemoryStream {
    ByteView data;
    uint64_t position = 0;
    char message[160] = {};
};

tmsize_t streamRead(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    if (size < 0 || stream->position > stream->data.size())
        return -1;
    const uint64_t count = std::min<uint64_t>(uint64_t(size), stream->data.size() - stream->position);
    std::memcpy(buffer, stream->data.data() + stream->position, size_t(count));
    stream->position += count;
    return tmsize_t(count);
}

tmsize_t streamWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t streamSeek(thandle_t handle, toff_t offset, int whence)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = stream->position;
    else if (whence == SEEK_END)
        base = stream->data.size();
    if (offset > std::numeric_limits<uint64_t>::max() - base)
        return toff_t(-1);
    stream->position = base + offset;
    return stream->position;
}

int streamClose(thandle_t) { return 0; }
toff_t streamSize(thandle_t handle) { return static_cast<MemoryStream*>(handle)->data.size(); }
int streamMap(thandle_t, void**, toff_t*) { return 0; }
void streamUnmap(thandle_t, void*, toff_t) {}

// libtiff's complaints go to the stream's message, never to the terminal.
int keepError(TIFF*, void* user, const char*, const char* format, va_list arguments)
{
    auto* stream = static_cast<MemoryStream*>(user);
    if (stream->message[0] == '\0')
        std::vsnprintf(stream->message, sizeof stream->message, format, arguments);
    return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// The most one allocation of libtiff's may take: enough for any strip or
// tile of a picture within the pixel limit at 16-bit RGBA.
tmsize_t singleAllocationLimit(int64_t pixelLimit)
{
    constexpr int64_t kBytesPerPixel = 8;
    constexpr int64_t kCeiling = int64_t(1) << 31;
    return tmsize_t(std::min(kCeiling, std::max<int64_t>(pixelLimit, 1 << 16) * kBytesPerPixel));
}

struct Decoded {
    LoadStop stop = LoadStop::Complete;
    QImage picture;
    QString reason;
};

// libtiff gives premultiplied RGBA (unassociated alpha is multiplied in);
// over white each channel gains what alpha leaves uncovered.
void storeRaster(const uint32_t* raster, QImage& picture)
{
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        const uint32_t* source = raster + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = source[x];
            const uint32_t uncovered = 255 - TIFFGetA(pixel);
            kit::putPixel(row, x,
                          {uint8_t(std::min<uint32_t>(255, TIFFGetR(pixel) + uncovered)),
                           uint8_t(std::min<uint32_t>(255, TIFFGetG(pixel) + uncovered)),
                           uint8_t(std::min<uint32_t>(255, TIFFGetB(pixel) + uncovered))});
        }
    }
}

// A strip or tile that does not lie wholly in the file is refused before
// libtiff reads any: its reading of short strips writes past the buffer it
// made for them (seen with libtiff 4.5 under AddressSanitizer).
std::optional<QString> strileOutsideData(TIFF* tiff, uint64_t dataSize)
{
    const uint32_t count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    const char* kind = TIFFIsTiled(tiff) ? "tile" : "strip";
    for (uint32_t i = 0; i < count; ++i) {
        int error = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, i, &error);
        const uint64_t size = error ? 0 : TIFFGetStrileByteCountWithErr(tiff, i, &error);
        if (error || size == 0 || offset > dataSize || size > dataSize - offset)
            return QStringLiteral("%1 %2 of %3 lies outside the file").arg(QLatin1String(kind)).arg(i + 1).arg(count);
    }
    return std::nullopt;
}

Decoded decodeFirstImage(ByteView data, int64_t pixelLimit)
{
    MemoryStream stream{data};
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options)
        return {LoadStop::Failed, {}, QStringLiteral("not enough memory")};
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), singleAllocationLimit(pixelLimit));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, nullptr);
    // "m": no memory mapping; the stream already is memory.
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpenExt("picture", "rm", &stream, streamRead, streamWrite,
                                                             streamSeek, streamClose, streamSize, streamMap,
                                                             streamUnmap, options.get()));
    const auto failure = [&](LoadStop stop) {
        return Decoded{stop, {}, QString::fromLatin1(stream.message[0] ? stream.message : "cannot decode")};
    };
    if (!tiff)
        return failure(LoadStop::Corrupt);
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
        return failure(LoadStop::Corrupt);
    if (!pictureSizeAllowed(width, height, pixelLimit))
        return {LoadStop::OverLimit, {}, QStringLiteral("Picture Size Over Limit = %1%2%3").arg(width).arg(QChar(0x00D7)).arg(height)};
    if (const std::optional<QString> outside = strileOutsideData(tiff.get(), data.size()))
        return {LoadStop::Corrupt, {}, *outside};
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tiff.get(), why)) {
        // The library's reason, cut to the room kept for it.
        const size_t length = std::min(std::strlen(why), sizeof stream.message - 1);
        std::memcpy(stream.message, why, length);
        stream.message[length] = '\0';
        return failure(LoadStop::Unsupported);
    }
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t(width) * height]);
    QImage picture = allocatePicture(width, height, pixelLimit);
    if (!raster || picture.isNull())
        return {LoadStop::OverLimit, {}, QStringLiteral("not enough memory")};
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.get(), ORIENTATION_TOPLEFT, 1))
        return failure(LoadStop::Corrupt);
    storeRaster(raster.get(), picture);
    return {LoadStop::Complete, std::move(picture), {}};
}

} // namespace

LoadResult LoadTiffFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "TIF", 100, 100);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    TiffReader reader(input.data);
    if (!reader.within(0, 8)) {
        run.shortRead(input.data.size(), 8);
        return run.finish(LoadStop::Truncated);
    }

    Walk walk;
    const QString signature = QString::fromLatin1(reinterpret_cast<const char*>(input.data.data()), 2);
    run.value(QStringLiteral("TIF Signature"), signature);
    if (signature == QLatin1String("MM")) {
        reader.bigEndian = true;
    } else if (signature != QLatin1String("II")) {
        // Walked on in little-endian order, the order a reader starts with.
        walk.problems.append(QStringLiteral("Illegal Signature: \"") + signature + QLatin1Char('"'));
        walk.signatureBad = true;
    }
    const uint16_t magic = uint16_t(reader.number(2, 2));
    if (magic != kTiffMagic) {
        walk.problems.append(QStringLiteral("Illegal Special Code (should be 42) = ") + QString::number(magic));
        walk.signatureBad = true;
    }
    walkDirectory(run, reader, walk);
    if (walk.cutShort)
        walk.problems.append(QStringLiteral("Directory Extends Past End of File"));
    if (walk.valuesOutside)
        walk.problems.append(QStringLiteral("Tag Values Outside the File"));

    LoadStop stop = LoadStop::Complete;
    if (walk.width > 0 || walk.height > 0) {
        QImage& picture = run.picture();
        const int64_t width = walk.width > 0 ? walk.width : picture.width();
        const int64_t height = walk.height > 0 ? walk.height : picture.height();
        const std::optional<LoadStop> sizeStop =
            run.sizeStop(width, height, [&] { return fillablePixels(width, input.data.size()); });
        if (sizeStop == LoadStop::OverLimit)
            walk.problems.append(
                QStringLiteral("Picture Size Over Limit = %1%2%3").arg(width).arg(QChar(0x00D7)).arg(height));
        if (sizeStop)
            stop = *sizeStop;
        else
            picture = blankPicture(int(width), int(height));
    }
    if (stop == LoadStop::Complete) {
        if (walk.signatureBad)
            stop = LoadStop::BadSignature;
        else if (walk.cutShort)
            stop = LoadStop::Truncated;
        else if (walk.valuesOutside)
            stop = LoadStop::Corrupt;
    }
    // Only a sound directory is decoded; the placeholder stays when libtiff fails.
    if (stop == LoadStop::Complete) {
        Decoded decoded = decodeFirstImage(input.data, run.pixelLimit());
        stop = decoded.stop;
        if (stop == LoadStop::Complete)
            run.picture() = std::move(decoded.picture);
        else
            walk.problems.append(QStringLiteral("Image Data Not Decoded: ") + decoded.reason);
    }
    for (const QString& problem : walk.problems)
        run.line(problem);
    run.line(QStringLiteral(".TIF Decode Complete"));
    return run.finish(stop);
}

} // namespace ostrel
