// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

// The published CRC-32, bit by bit.
uint32_t crc32(const QByteArray& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

QByteArray chunk(const char* name, const QByteArray& data, bool goodCrc = true)
{
    Bytes out;
    out.u32be(uint32_t(data.size())).text(name).append(data);
    out.u32be(crc32(QByteArray(name) + data) ^ (goodCrc ? 0u : 1u));
    return out;
}

struct Header {
    uint32_t width = 3, height = 2;
    unsigned depth = 8, colourType = 3, compression = 0, filter = 0, interlace = 0;
};

QByteArray ihdr(const Header& h)
{
    Bytes data;
    data.u32be(h.width).u32be(h.height).u8(h.depth).u8(h.colourType).u8(h.compression).u8(h.filter).u8(h.interlace);
    return chunk("IHDR", data);
}

// A chunk of that name with small contents that suit it.
QByteArray namedChunk(const QString& name)
{
    if (name == QLatin1String("IHDR"))
        return ihdr({});
    if (name == QLatin1String("PLTE"))
        return chunk("PLTE", QByteArray(6, '\x40'));
    if (name == QLatin1String("IEND"))
        return chunk("IEND", {});
    return chunk(name.toLatin1().constData(), QByteArray("abcd"));
}

QByteArray pngOf(const QString& names)
{
    QByteArray file = kSignature;
    for (const QString& name : names.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        file += namedChunk(name);
    return file;
}

const QString kNotDecoded = QStringLiteral("ERROR: Image Data Not Decoded: ");

// The chunk walk's problem lines (those that begin with "ERROR:"), without
// the line of image data the decoder could not decode.
QStringList problems(const LoadResult& result)
{
    QStringList found;
    for (const QString& line : result.report)
        if (line.startsWith(QLatin1String("ERROR:")) && !line.startsWith(kNotDecoded))
            found.append(line);
    return found;
}

bool notDecoded(const LoadResult& result)
{
    return std::any_of(result.report.begin(), result.report.end(),
                       [](const QString& line) { return line.startsWith(kNotDecoded); });
}

QByteArray pngFile(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, "PNG"));
    return bytes;
}

// The file with its first IDAT chunk's data replaced (and its CRC made good).
QByteArray withImageData(const QByteArray& file, const QByteArray& data)
{
    const qsizetype at = file.indexOf("IDAT") - 4;
    const uint32_t length = qFromBigEndian<uint32_t>(file.constData() + at);
    return file.left(at) + chunk("IDAT", data) + file.mid(at + 12 + length);
}

QByteArray firstImageData(const QByteArray& file)
{
    const qsizetype at = file.indexOf("IDAT") - 4;
    return file.mid(at + 8, qFromBigEndian<uint32_t>(file.constData() + at));
}

} // namespace

// Grey, paletted, 16-bit and alpha files: opaque pixels come as they are,
// transparent ones are shown over white.
TEST(PngReader, ValidFilesDecodeToTheirPixels)
{
    for (const StoredPictureCase& c : storedPictureCases(true)) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("v.png"), pngFile(c.file));
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(result.picture.format(), kPictureFormat);
        EXPECT_EQ(firstDifference(result.picture, c.expected.convertToFormat(QImage::Format_RGB32)), "");
        EXPECT_TRUE(problems(result).isEmpty());
        EXPECT_FALSE(notDecoded(result));
    }
}

// A file whose chunks are in order but whose image data libpng cannot
// decode keeps the framed placeholder and is not complete.
TEST(PngReader, UndecodableImageDataKeepsThePlaceholder)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QByteArray good = pngFile(picture);
    const QByteArray data = firstImageData(good);
    const struct {
        const char* what;
        QByteArray file;
    } cases[] = {
        {"image data cut short", withImageData(good, data.left(data.size() / 2))},
        {"not deflate data", withImageData(good, QByteArray("abcd"))},
        {"deflate data with a bad checksum", withImageData(good, data.left(data.size() - 1) + char(data.back() ^ 1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("u.png"), c.file);
        EXPECT_EQ(result.stop, LoadStop::Corrupt);
        EXPECT_TRUE(isFramedBlank(result.picture, 40, 30, 2));
        EXPECT_TRUE(notDecoded(result));
        EXPECT_TRUE(problems(result).isEmpty());
        EXPECT_EQ(result.report.at(result.report.size() - 2), QStringLiteral(".PNG Decode Complete"));
    }
}

TEST(PngReader, ReportOfAValidFile)
{
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const LoadResult result = loadBytes(QStringLiteral("v.png"), pngFile(picture));
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_TRUE(problems(result).isEmpty());
    EXPECT_EQ(reportedValue(result, QStringLiteral("Size")), QStringLiteral("640\u00d7480"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Palette Length")), QStringLiteral("-1"));
    EXPECT_EQ(result.report.at(result.report.size() - 2), QStringLiteral(".PNG Decode Complete"));
}

TEST(PngReader, HeaderValues)
{
    const struct {
        const char* what;
        Header header;
        const char* problem; // nullptr: none
        int width, height;
    } cases[] = {
        {"width 0 counts as 1", {0, 5, 8, 2}, nullptr, 1, 5},
        {"grey of 16 bits", {3, 2, 16, 0}, nullptr, 3, 2},
        {"palette of 4 bits", {3, 2, 4, 3}, nullptr, 3, 2},
        {"grey of 3 bits", {3, 2, 3, 0}, "ERROR: Bit Depth must be 1, 2, 3, 8, 16", 3, 2},
        {"colour of 4 bits", {3, 2, 4, 2}, "ERROR: Bit Depth must be 8, 16", 3, 2},
        {"grey-alpha of 0 bits", {3, 2, 0, 4}, "ERROR: Bit Depth must be 8, 16", 3, 2},
        {"palette of 16 bits", {3, 2, 16, 3}, "ERROR: Bit Depth must be 1, 2, 4, 8", 3, 2},
        {"colour type 1", {3, 2, 8, 1}, "ERROR: Color Type must be 0, 2, 3, 4, 6", 3, 2},
        {"compression 1", {3, 2, 8, 2, 1}, "ERROR: Compression must be 0", 3, 2},
        {"filter method 1", {3, 2, 8, 2, 0, 1}, "ERROR: Filter Method must be 0", 3, 2},
        {"interlace 2", {3, 2, 8, 2, 0, 0, 2}, "ERROR: Interlace must be 0 or 1", 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("h.png"),
            kSignature + ihdr(c.header) + namedChunk(QStringLiteral("IDAT")) + namedChunk(QStringLiteral("IEND")));
        const QStringList expected = c.problem ? QStringList{QString::fromLatin1(c.problem)} : QStringList();
        EXPECT_EQ(problems(result), expected);
        // The image data "abcd" pass the walk but cannot be decoded.
        EXPECT_EQ(result.stop, LoadStop::Corrupt);
        EXPECT_EQ(notDecoded(result), !c.problem);
        EXPECT_TRUE(isFramedBlank(result.picture, c.width, c.height, 2));
    }
}

// The chunks allowed at each point of the walk; the walk stops at the first problem.
TEST(PngReader, ChunkOrder)
{
    const struct {
        const char* chunks;
        const char* problem; // nullptr: none
    } cases[] = {
        {"IHDR IDAT IEND", nullptr},
        {"fAKE IHDR IDAT IEND", nullptr},
        {"IHDR gAMA cHRM sRGB iCCP sBIT PLTE bKGD tRNS hIST pHYs sPLT IDAT IDAT tIME tEXt zTXt iTXt IEND", nullptr},
        {"IHDR PLTE PLTE IDAT IEND", nullptr},
        {"IHDR hIST tRNS IDAT IEND", nullptr},
        {"IHDR tIME IDAT tIME IEND", "ERROR: Bad Chunk Name"},
        {"IHDR IDAT tEXt IDAT IEND", nullptr},
        {"IHDR IDAT IEND fAKE", nullptr},
        {"PLTE IHDR IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR IHDR IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR gAMA gAMA IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR pHYs pHYs IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR PLTE gAMA IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR bKGD PLTE IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR bKGD bKGD IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR tRNS tRNS IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR hIST hIST IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR tRNS PLTE IDAT IEND", "ERROR: Bad Chunk Name"},
        {"IHDR IDAT PLTE IEND", "ERROR: Bad Chunk Name"},
        {"IHDR IDAT pHYs IEND", "ERROR: Bad Chunk Name"},
        {"IHDR IDAT IEND tEXt", "ERROR: Bad Chunk Name"},
        {"IHDR IEND", "ERROR: Missing Image Data"},
        {"IHDR IDAT", "ERROR: Missing End Chunk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chunks);
        const LoadResult result = loadBytes(QStringLiteral("o.png"), pngOf(QString::fromLatin1(c.chunks)));
        const QStringList expected = c.problem ? QStringList{QString::fromLatin1(c.problem)} : QStringList();
        EXPECT_EQ(problems(result), expected);
        EXPECT_EQ(result.stop, LoadStop::Corrupt);
        EXPECT_EQ(notDecoded(result), !c.problem);
    }
    // A chunk out of place before the header stops the walk before the picture is sized.
    const LoadResult early = loadBytes(QStringLiteral("o.png"), pngOf(QStringLiteral("PLTE IHDR IDAT IEND")));
    EXPECT_TRUE(isFramedBlank(early.picture, 100, 100));
    EXPECT_FALSE(reportedValue(early, QStringLiteral("Size")).has_value());
}

TEST(PngReader, DamagedChunks)
{
    const QByteArray head = kSignature + ihdr({});
    const QByteArray idat = namedChunk(QStringLiteral("IDAT")), iend = namedChunk(QStringLiteral("IEND"));
    QByteArray badSignature = head + idat + iend;
    badSignature[1] = 'p';
    const QByteArray cutIdat = (head + idat).left(head.size() + idat.size() - 1);
    const struct {
        const char* what;
        QByteArray file;
        QStringList problems;
        LoadStop stop;
    } cases[] = {
        {"bad signature", badSignature, {QStringLiteral("ERROR: Bad Signature")}, LoadStop::BadSignature},
        {"bad CRC of the data", head + chunk("IDAT", "abcd", false) + iend, {QStringLiteral("ERROR: Bad CRC Value")},
            LoadStop::Corrupt},
        {"bad CRC of an unknown chunk", head + chunk("fAKE", "x", false) + idat + iend,
            {QStringLiteral("ERROR: Bad CRC Value")}, LoadStop::Corrupt},
        {"header of 12 bytes", kSignature + chunk("IHDR", QByteArray(12, '\1')) + idat + iend,
            {QStringLiteral("ERROR: Bad Header Length (should be 13) = 12")}, LoadStop::Corrupt},
        {"palette of 4 bytes", head + chunk("PLTE", "abcd") + idat + iend,
            {QStringLiteral("ERROR: Palette Length Corrupted")}, LoadStop::Corrupt},
        {"palette in grey", kSignature + ihdr({3, 2, 8, 0}) + namedChunk(QStringLiteral("PLTE")) + idat + iend,
            {QStringLiteral("ERROR: Palette Forbidden for this color type")}, LoadStop::Corrupt},
        {"end chunk with data", head + idat + chunk("IEND", "x"), {QStringLiteral("ERROR: Bad End Length")},
            LoadStop::Corrupt},
        {"image data cut short", cutIdat, {QStringLiteral("ERROR: Unexpected End of File")}, LoadStop::Truncated},
        {"chunk longer than the file", head + Bytes().u32be(0x7FFFFFFF).text("IDAT").data(),
            {QStringLiteral("ERROR: Unexpected End of File")}, LoadStop::Truncated},
        {"stray bytes after the end", pngFile(QImage(3, 2, QImage::Format_RGB32)) + QByteArray("xy"), {},
            LoadStop::Complete},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(QStringLiteral("d.png"), c.file);
        EXPECT_EQ(problems(result), c.problems);
        EXPECT_EQ(result.stop, c.stop);
    }
    const LoadResult palette = loadBytes(QStringLiteral("d.png"), pngOf(QStringLiteral("IHDR PLTE IDAT IEND")));
    EXPECT_EQ(reportedValue(palette, QStringLiteral("Palette Length")), QStringLiteral("6"));

    const LoadResult tooShort = loadBytes(QStringLiteral("d.png"), kSignature.left(5));
    EXPECT_EQ(tooShort.stop, LoadStop::Truncated);
    EXPECT_TRUE(isFramedBlank(tooShort.picture, 100, 100));
}

TEST(PngReader, SizeOverThePixelLimitKeepsTheBlank)
{
    const LoadResult result = loadBytes(QStringLiteral("big.png"),
        kSignature + ihdr({100000, 100000, 8, 2}) + namedChunk(QStringLiteral("IDAT"))
            + namedChunk(QStringLiteral("IEND")));
    EXPECT_EQ(result.stop, LoadStop::OverLimit);
    EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Size")), QStringLiteral("100000\u00d7100000"));
}

// Deflate expands no byte to more than 1032, so a header whose rows need
// more than that of the file is refused before its placeholder is made.
TEST(PngReader, SizesBeyondWhatTheImageDataCanHoldAreRefused)
{
    const QByteArray tail = chunk("IDAT", QByteArray("abcd")) + chunk("IEND", {});
    const LoadResult refused = loadBytes(QStringLiteral("big.png"), kSignature + ihdr({4096, 4096, 8, 2}) + tail);
    EXPECT_EQ(refused.stop, LoadStop::Truncated);
    EXPECT_TRUE(isFramedBlank(refused.picture, 100, 100));

    // 2200 rows of 276 bytes (a filter byte and 2200 one-bit pixels) deflate at best to 589 bytes: this file.
    const QByteArray fits = kSignature + ihdr({2200, 2200, 1, 0}) + chunk("IDAT", QByteArray(589 - 57, 'x')) +
                            chunk("IEND", {});
    ASSERT_EQ(fits.size(), 589);
    const LoadResult placeholder = loadBytes(QStringLiteral("fits.png"), fits);
    EXPECT_EQ(placeholder.stop, LoadStop::Corrupt); // sized, then refused by the decoder
    EXPECT_TRUE(notDecoded(placeholder));
    EXPECT_TRUE(isFramedBlank(placeholder.picture, 2200, 2200, 2));
}

// netpbm's pixels for a PNG file, shown over white as ours are, with
// 16-bit samples rounded to 8 bits. (ImageMagick 6 truncates when it cuts
// samples and blends to 8 bits, so it would differ by one here and there.)
std::optional<QImage> netpbmOverWhite(const QString& path)
{
    return decodeWithTool(QStringLiteral("sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("pngtopam -mix -background=white \"$1\" | pamdepth 255 | pamtopnm"),
                           QStringLiteral("sh"), path});
}

// PngSuite: every deliberately broken x*.png records its own problem; every
// other file walks cleanly and decodes to netpbm's pixels. Files of the
// other collections may be refused, but what we call complete must match too.
TEST(PngReader, PngSuite)
{
    OSTREL_CORPUS_OR_SKIP(files, "png", QStringList{QStringLiteral("*.png")});
    if (QStandardPaths::findExecutable(QStringLiteral("pngtopam")).isEmpty())
        GTEST_SKIP() << "netpbm's pngtopam is not installed";
    const QString badSignature = QStringLiteral("ERROR: Bad Signature");
    const QString badCrc = QStringLiteral("ERROR: Bad CRC Value");
    const QString colourType = QStringLiteral("ERROR: Color Type must be 0, 2, 3, 4, 6");
    const QString colourDepth = QStringLiteral("ERROR: Bit Depth must be 8, 16");
    const QHash<QString, QString> brokenFiles = {
        {QStringLiteral("xs1n0g01.png"), badSignature}, {QStringLiteral("xs2n0g01.png"), badSignature},
        {QStringLiteral("xs4n0g01.png"), badSignature}, {QStringLiteral("xs7n0g01.png"), badSignature},
        {QStringLiteral("xcrn0g04.png"), badSignature}, {QStringLiteral("xlfn0g04.png"), badSignature},
        {QStringLiteral("xhdn0g08.png"), badCrc},       {QStringLiteral("xcsn0g01.png"), badCrc},
        {QStringLiteral("xc1n0g08.png"), colourType},   {QStringLiteral("xc9n2c08.png"), colourType},
        {QStringLiteral("xd0n2c08.png"), colourDepth},  {QStringLiteral("xd3n2c08.png"), colourDepth},
        {QStringLiteral("xd9n2c08.png"), colourDepth},
        {QStringLiteral("xdtn0g01.png"), QStringLiteral("ERROR: Missing Image Data")},
    };
    int suiteFiles = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "PNG");
        if (!path.contains(QLatin1String("/pngsuite/"))) {
            if (result.stop == LoadStop::Complete) {
                EXPECT_EQ(firstDifference(result.picture, netpbmOverWhite(path).value_or(QImage())), "");
            }
            continue;
        }
        ++suiteFiles;
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith(QLatin1Char('x'))) {
            ASSERT_TRUE(brokenFiles.contains(name)) << "a broken file this test does not know";
            EXPECT_EQ(problems(result), QStringList{brokenFiles.value(name)});
            EXPECT_NE(result.stop, LoadStop::Complete);
            continue;
        }
        EXPECT_EQ(problems(result), QStringList());
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(firstDifference(result.picture, netpbmOverWhite(path).value_or(QImage())), "");
    }
    if (suiteFiles == 0)
        GTEST_SKIP() << "PngSuite is not present";
}
