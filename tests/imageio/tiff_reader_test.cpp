// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <QStandardPaths>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

enum : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct TiffTag {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values; // rationals as numerator, denominator pairs
    QByteArray text = {};
};

struct TiffShape {
    bool bigEndian = false;
    const char* order = nullptr; // the two signature bytes; default from the byte order
    unsigned magic = 42;
    unsigned claimedEntries = 0; // 0: the real count
};

// A TIFF with one directory at offset 8, its values after it.
Bytes tiffFile(const std::vector<TiffTag>& tags, const TiffShape& shape = {})
{
    Bytes file;
    auto u16 = [&](Bytes& b, unsigned v) -> Bytes& { return shape.bigEndian ? b.u16be(v) : b.u16le(v); };
    auto u32 = [&](Bytes& b, uint32_t v) -> Bytes& { return shape.bigEndian ? b.u32be(v) : b.u32le(v); };
    file.text(shape.order ? shape.order : shape.bigEndian ? "MM" : "II");
    u16(file, shape.magic);
    u32(file, 8);
    u16(file, shape.claimedEntries ? shape.claimedEntries : unsigned(tags.size()));
    Bytes values;
    const uint32_t valuesStart = 8 + 2 + 12 * uint32_t(tags.size()) + 4;
    for (const TiffTag& t : tags) {
        Bytes data;
        uint32_t count = 0;
        if (t.type == kAscii) {
            data.append(t.text);
            count = uint32_t(t.text.size());
        } else {
            for (uint32_t v : t.values)
                t.type == kByte ? data.u8(v) : t.type == kShort ? u16(data, v) : u32(data, v);
            count = uint32_t(t.type == kRational ? t.values.size() / 2 : t.values.size());
        }
        u16(file, t.tag);
        u16(file, t.type);
        u32(file, count);
        if (data.size() <= 4) {
            file.append(data).fill(4 - data.size(), 0);
        } else {
            u32(file, valuesStart + uint32_t(values.size()));
            values.append(data);
        }
    }
    u32(file, 0);
    file.append(values);
    return file;
}

bool notDecoded(const LoadResult& result)
{
    return std::any_of(result.report.begin(), result.report.end(),
                       [](const QString& line) { return line.startsWith(QLatin1String("Image Data Not Decoded: ")); });
}

std::vector<TiffTag> sizeTags(uint32_t width, uint32_t height, uint16_t type = kShort)
{
    return {{256, type, {width}}, {257, type, {height}}};
}

} // namespace

// Grey, paletted, bilevel, 16-bit and alpha files written by Qt's TIFF
// writer: opaque pixels come as they are, transparent ones over white.
TEST(TiffReader, FilesDecodeToTheirPixels)
{
    if (!QImageWriter::supportedImageFormats().contains("tiff"))
        GTEST_SKIP() << "Qt's TIFF plug-in is not installed";
    for (const StoredPictureCase& c : storedPictureCases(false)) {
        SCOPED_TRACE(c.what);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(c.file.save(&buffer, "TIFF"));
        const LoadResult result = loadBytes(QStringLiteral("v.tif"), bytes);
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_FALSE(notDecoded(result));
        EXPECT_EQ(firstDifference(result.picture, c.expected.convertToFormat(QImage::Format_RGB32)), "");
        EXPECT_TRUE(hasLine(result, QStringLiteral(".TIF Decode Complete")));
    }
}

// A hand-made 4×2 grey file whose one strip lies at `stripAt`: decoded when
// the strip is there, refused (with the placeholder kept) when it is not.
TEST(TiffReader, StripsOutsideTheFileAreRefused)
{
    const auto greyFile = [](uint32_t stripAt) {
        return tiffFile({{256, kShort, {4}}, {257, kShort, {2}}, {258, kShort, {8}}, {259, kShort, {1}},
                         {262, kShort, {1}}, {273, kLong, {stripAt}}, {277, kShort, {1}}, {278, kShort, {2}},
                         {279, kLong, {8}}});
    };
    const uint32_t stripAt = uint32_t(greyFile(0).size());
    const QByteArray strip("\x00\x40\x80\xff\x01\x02\x03\x04", 8);
    const LoadResult decoded = loadBytes(QStringLiteral("g.tif"), greyFile(stripAt) + strip);
    EXPECT_EQ(decoded.stop, LoadStop::Complete);
    QImage expected(4, 2, QImage::Format_RGB32);
    for (int i = 0; i < 8; ++i)
        expected.setPixel(i % 4, i / 4, qRgb(uint8_t(strip[i]), uint8_t(strip[i]), uint8_t(strip[i])));
    EXPECT_EQ(firstDifference(decoded.picture, expected), "");

    for (const QByteArray& file : {QByteArray(greyFile(stripAt)) + strip.left(3), QByteArray(greyFile(0x7FFFFF00))}) {
        const LoadResult refused = loadBytes(QStringLiteral("g.tif"), file);
        EXPECT_EQ(refused.stop, LoadStop::Corrupt);
        EXPECT_TRUE(notDecoded(refused));
        EXPECT_TRUE(isFramedBlank(refused.picture, 4, 2));
    }
}

TEST(TiffReader, PlaceholderTakesTheSizeTags)
{
    const struct {
        const char* what;
        QByteArray file;
        int width, height;
    } cases[] = {
        {"little-endian shorts", tiffFile(sizeTags(800, 600)), 800, 600},
        {"big-endian shorts", tiffFile(sizeTags(800, 600), {true}), 800, 600},
        {"big-endian longs", tiffFile(sizeTags(70, 1, kLong), {true}), 70, 1},
        {"width above 32767", tiffFile(sizeTags(40000, 3, kLong)), 32767, 3},
        {"height 0 keeps one row", tiffFile(sizeTags(5, 0)), 5, 1},
        {"width only", tiffFile({{256, kShort, {30}}}), 30, 100},
        {"size tags of another type are passed over", tiffFile({{256, kByte, {30}}, {257, kRational, {40, 1}}}), 100,
            100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("t.tif"), c.file);
        // A directory without strips is sized but cannot be decoded.
        EXPECT_EQ(result.stop, LoadStop::Corrupt);
        EXPECT_TRUE(notDecoded(result));
        EXPECT_TRUE(isFramedBlank(result.picture, c.width, c.height));
        EXPECT_TRUE(hasLine(result, QStringLiteral(".TIF Decode Complete")));
    }
}

TEST(TiffReader, ReportsTheDirectory)
{
    const std::vector<TiffTag> tags = {
        {256, kShort, {4}},
        {257, kLong, {2}},
        {258, kShort, {8, 8, 8}},
        {259, kShort, {5}},
        {262, kShort, {2}},
        {270, kAscii, {}, QByteArray("two\0lines", 9)},
        {282, kRational, {72, 1}},
        {320, kShort, {1, 2, 3, 4, 5, 6}},
        {33432, kAscii, {}, QByteArray("me", 2)},
        {40000, kShort, {1}},
    };
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        const LoadResult result = loadBytes(QStringLiteral("t.tiff"), tiffFile(tags, {big}));
        ASSERT_EQ(result.stop, LoadStop::Corrupt); // no strips to decode
        const std::pair<const char*, QString> lines[] = {
            {"TIF Signature", big ? QStringLiteral("MM") : QStringLiteral("II")},
            {"First IFD Address", QStringLiteral("8")},
            {"Directory Entries", QStringLiteral("10")},
            {"Width", QStringLiteral("4")},
            {"Height", QStringLiteral("2")},
            {"BitsPerSample", QStringLiteral("8 8 8 Count = 3")},
            {"Compression", QStringLiteral("5 LZW")},
            {"PhotometricInterpretation", QStringLiteral("2 RGB")},
            {"ImageDescription", QStringLiteral("two\r\nlines")},
            {"XResolution", QStringLiteral("72/1")},
            {"ColorMap", QStringLiteral("1 2 3 4 5 6 Count = 6 should be (3*2^BitsPerSample)")},
            {"Copyright", QStringLiteral("me")},
            {"40000", QStringLiteral("Type(Unsigned Short (16-bit))*")},
            {"Next IFD Address", QStringLiteral("0")},
        };
        for (const auto& [name, value] : lines)
            EXPECT_EQ(reportedValue(result, QString::fromLatin1(name)), value) << name;
        EXPECT_TRUE(isFramedBlank(result.picture, 4, 2));
    }
    const LoadResult unknown = loadBytes(QStringLiteral("t.tif"), tiffFile({{259, kShort, {99}}, {262, kShort, {7}}}));
    EXPECT_EQ(reportedValue(unknown, QStringLiteral("Compression")), QStringLiteral("99 <unknown>"));
    EXPECT_EQ(reportedValue(unknown, QStringLiteral("PhotometricInterpretation")), QStringLiteral("7 <unknown>"));
}

TEST(TiffReader, ProblemsAreRecordedAndTheWalkGoesOn)
{
    const std::vector<TiffTag> tags = sizeTags(30, 20);
    Bytes valuesOutside = tiffFile({{256, kShort, {30}}, {258, kShort, {8, 8, 8}}, {257, kShort, {20}}});
    valuesOutside.put(8 + 2 + 12 + 8, 0xF0); // BitsPerSample's value offset now points far past the end
    const struct {
        const char* what;
        QByteArray file;
        LoadStop stop;
        const char* problem;
        int width, height;
    } cases[] = {
        {"byte order XX", tiffFile(tags, {false, "XX"}), LoadStop::BadSignature, "Illegal Signature: \"XX\"", 30, 20},
        {"BigTIFF", tiffFile(tags, {false, nullptr, 43}), LoadStop::BadSignature,
         "Illegal Special Code (should be 42) = 43", 30, 20},
        {"directory longer than the file", tiffFile(tags, {false, nullptr, 42, 300}), LoadStop::Truncated,
         "Directory Extends Past End of File", 30, 20},
        {"values outside the file", valuesOutside, LoadStop::Corrupt, "Tag Values Outside the File", 30, 20},
        {"more pixels than the limit", tiffFile(sizeTags(32767, 32767)), LoadStop::OverLimit,
         "Picture Size Over Limit = 32767\u00d732767", 100, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("t.tif"), c.file);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_TRUE(hasLine(result, QString::fromUtf8(c.problem)));
        EXPECT_TRUE(hasLine(result, QStringLiteral(".TIF Decode Complete")));
        EXPECT_TRUE(isFramedBlank(result.picture, c.width, c.height));
    }
}

// Many tags may point at the same long array; the report lists a bounded
// number of values over the whole directory and still gives every count.
TEST(TiffReader, ReportStaysBoundedForSharedLongArrays)
{
    constexpr unsigned kEntries = 2000;
    constexpr uint32_t kCount = 1024;
    const uint32_t arrayAt = 8 + 2 + 12 * kEntries + 4;
    Bytes file;
    file.text("II").u16le(42).u32le(8).u16le(kEntries);
    for (unsigned i = 0; i < kEntries; ++i)
        file.u16le(273).u16le(kLong).u32le(kCount).u32le(arrayAt);
    file.u32le(0);
    for (uint32_t i = 0; i < kCount; ++i)
        file.u32le(i);
    const LoadResult result = loadBytes(QStringLiteral("t.tif"), file);
    EXPECT_EQ(result.stop, LoadStop::Corrupt); // no size, so nothing to decode
    qsizetype characters = 0;
    for (const QString& line : result.report)
        characters += line.size();
    EXPECT_LT(characters, 4 * 1024 * 1024);
    EXPECT_TRUE(result.report.front().startsWith(QStringLiteral("TIF")));
    const QString last = reportValueLine(QStringLiteral("StripOffsets"), QStringLiteral(" Count = 1024"));
    EXPECT_EQ(result.report.filter(QStringLiteral("StripOffsets")).back(), last);
    EXPECT_TRUE(result.report.filter(QStringLiteral("StripOffsets")).front().startsWith(
        reportValueLine(QStringLiteral("StripOffsets"), QStringLiteral("0 1 2 3"))));
}

TEST(TiffReader, UnreadableHeadersGiveTheBlank)
{
    Bytes farDirectory;
    farDirectory.text("II").u16le(42).u32le(0x7FFFFFF0);
    expectUnusable(QStringLiteral("t.tif"), {
        {"header cut short", QByteArray("II*\0", 4), LoadStop::Truncated},
        {"directory past the end", farDirectory, LoadStop::Truncated},
        {"entry count cut short", tiffFile(sizeTags(9, 9)).data().left(9), LoadStop::Truncated},
    }, framedBlank(100, 100));
}

// Files written by other programs: every one ends cleanly, and every one we
// call complete (fuzzers' finds aside) shows ImageMagick's pixels of its first image over white.
TEST(TiffReader, CorpusFilesMatchAnIndependentDecoder)
{
    OSTREL_CORPUS_OR_SKIP(files, "tif", (QStringList{QStringLiteral("*.tif"), QStringLiteral("*.tiff")}));
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "TIF");
        // Fuzzers' finds need only end cleanly: how decoders read damaged data differs.
        const QString name = QFileInfo(path).fileName();
        const bool fuzzFind = name.startsWith(QLatin1String("clusterfuzz")) || name.startsWith(QLatin1String("crash"))
            || name.startsWith(QLatin1String("oom"));
        if (result.stop != LoadStop::Complete || fuzzFind)
            continue;
        const std::optional<QImage> theirs = decodeWithTool(
            QStringLiteral("convert"),
            {path + QStringLiteral("[0]"), QStringLiteral("-background"), QStringLiteral("white"),
             QStringLiteral("-alpha"), QStringLiteral("remove"), QStringLiteral("-alpha"), QStringLiteral("off"),
             QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("ppm:-")});
        // ImageMagick 6 truncates 16-bit samples and blends to 8 bits
        // where libtiff rounds, and converts CMYK with its own rounding.
        if (theirs) {
            EXPECT_EQ(firstDifference(result.picture, *theirs, 1), "");
        }
    }
}

// No TIFF coding spends less than a bit on a row, so a directory that asks
// for more rows than the file has bits is refused before the placeholder is
// made; a file with room for the rows gets its placeholder.
TEST(TiffReader, SizesBeyondWhatTheFileCanHoldAreRefused)
{
    const LoadResult refused = loadBytes(QStringLiteral("t.tif"), tiffFile(sizeTags(4096, 4096)));
    EXPECT_EQ(refused.stop, LoadStop::Truncated);
    EXPECT_TRUE(isFramedBlank(refused.picture, 100, 100));
    EXPECT_TRUE(hasLine(refused, QStringLiteral(".TIF Decode Complete")));

    const LoadResult placeholder = loadBytes(QStringLiteral("t.tif"), tiffFile(sizeTags(4096, 4096)).fill(512, 0));
    EXPECT_EQ(placeholder.stop, LoadStop::Corrupt); // sized, then refused by the decoder
    EXPECT_TRUE(notDecoded(placeholder));
    EXPECT_TRUE(isFramedBlank(placeholder.picture, 4096, 4096));
}
