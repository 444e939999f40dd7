// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

#include <QFileInfo>
#include <QHash>
#include <functional>

using namespace ostrel;
using namespace ostrel::testing;

namespace {

struct PcxLayout {
    unsigned version = 5;
    unsigned bits = 1;
    unsigned planes = 1;
    int width = 18;
    int height = 3;
    unsigned bytesPerLinePerPlane = 0; // 0: just enough for the width
    unsigned xMin = 0, yMin = 0;
    unsigned manufacturer = 10, encoding = 1;
};

unsigned lineBytes(const PcxLayout& layout)
{
    return layout.bytesPerLinePerPlane ? layout.bytesPerLinePerPlane : (layout.width * layout.bits + 7) / 8;
}

// Header colour map entry i of the test files.
QColor headerColour(int i) { return QColor(i * 10, 255 - i * 10, i); }

Bytes pcxHeader(const PcxLayout& layout)
{
    Bytes file;
    file.u8(layout.manufacturer).u8(layout.version).u8(layout.encoding).u8(layout.bits);
    file.u16le(layout.xMin)
        .u16le(layout.yMin)
        .u16le(layout.xMin + layout.width - 1)
        .u16le(layout.yMin + layout.height - 1);
    file.u16le(72).u16le(72);
    for (int i = 0; i < 16; ++i)
        file.u8(headerColour(i).red()).u8(headerColour(i).green()).u8(headerColour(i).blue());
    file.u8(0).u8(layout.planes).u16le(lineBytes(layout)).u16le(1);
    return file.padTo(128);
}

// Run-length codes bytes one by one: those that look like run counts go as runs of one.
void encodeBytes(Bytes& file, const QByteArray& bytes)
{
    for (char c : bytes) {
        const unsigned byte = uint8_t(c);
        if (byte >= 0xC0)
            file.u8(0xC1);
        file.u8(byte);
    }
}

// One scan line of all planes: plane p holds bits p·b .. p·b + b − 1 of each value, most significant pixel first.
QByteArray packLine(const PcxLayout& layout, const std::vector<uint32_t>& values)
{
    const unsigned stride = lineBytes(layout);
    QByteArray line(qsizetype(stride) * layout.planes, '\0');
    const unsigned perByte = 8 / layout.bits;
    const uint32_t mask = (1u << layout.bits) - 1;
    for (unsigned p = 0; p < layout.planes; ++p)
        for (size_t x = 0; x < values.size() && x / perByte < stride; ++x) {
            const unsigned part = (values[x] >> (p * layout.bits)) & mask;
            const unsigned shift = 8 - layout.bits * (x % perByte + 1);
            line[p * stride + x / perByte] = char(uint8_t(line[p * stride + x / perByte]) | part << shift);
        }
    return line;
}

using ValueAt = std::function<uint32_t(int x, int y)>;

Bytes pcxFile(const PcxLayout& layout, const ValueAt& value)
{
    Bytes file = pcxHeader(layout);
    for (int y = 0; y < layout.height; ++y) {
        std::vector<uint32_t> values(layout.width);
        for (int x = 0; x < layout.width; ++x)
            values[x] = value(x, y);
        encodeBytes(file, packLine(layout, values));
    }
    return file;
}

// A 256-colour palette after the image data, behind its marker byte.
void appendVgaPalette(Bytes& file, unsigned marker = 12)
{
    file.u8(marker);
    for (int i = 0; i < 256; ++i)
        file.u8(i).u8(255 - i).u8(i / 2);
}

QColor cube(int i)
{
    return i < 216 ? QColor(51 * (i / 36), 51 * (i / 6 % 6), 51 * (i % 6)) : QColor(0, 0, 0);
}

const QColor kEga[16] = {
    {0, 0, 0},       {0, 0, 192},   {0, 192, 0},   {0, 192, 192},   {192, 0, 0},     {192, 0, 192},
    {192, 192, 0},   {128, 128, 128}, {192, 192, 192}, {0, 0, 255},   {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

} // namespace

TEST(PcxReader, PalettesByVersionDepthAndPlanes)
{
    const struct {
        const char* what;
        PcxLayout layout;
        unsigned levels; // pixel values used: 0 .. levels − 1
        bool vgaPalette;
        std::function<QColor(uint32_t)> colour;
    } cases[] = {
        {"1 bit", {3, 1, 1}, 2, false, [](uint32_t v) { return v ? QColor(255, 255, 255) : QColor(0, 0, 0); }},
        {"2 bits ignore the header map", {5, 2, 1}, 4, false,
         [](uint32_t v) {
             const QColor cga[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 255}, {255, 255, 255}};
             return cga[v];
         }},
        {"4 bits, one plane", {5, 4, 1}, 16, false, [](uint32_t v) { return kEga[v]; }},
        {"4 planes of 1 bit, version 5: header map", {5, 1, 4}, 16, false, [](uint32_t v) { return headerColour(v); }},
        {"4 planes of 1 bit, version 3: 16 default colours", {3, 1, 4}, 16, false, [](uint32_t v) { return kEga[v]; }},
        {"2 planes of 2 bits, version 5: header map", {5, 2, 2}, 16, false, [](uint32_t v) { return headerColour(v); }},
        {"3 planes of 1 bit, version 2", {2, 1, 3}, 8, false, [](uint32_t v) { return kEga[v]; }},
        {"8 bits, version 5 with palette", {5, 8, 1}, 256, true, [](uint32_t v) { return QColor(v, 255 - v, v / 2); }},
        {"8 bits, version 3 ignores the palette", {3, 8, 1}, 256, true, [](uint32_t v) { return cube(v); }},
        {"8 bits, version 5 without palette", {5, 8, 1}, 256, false, [](uint32_t v) { return cube(v); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ValueAt value = [&](int x, int y) { return uint32_t(x * 7 + y * 3) % c.levels; };
        Bytes file = pcxFile(c.layout, value);
        if (c.vgaPalette)
            appendVgaPalette(file);
        const LoadResult result = loadBytes(QStringLiteral("p.pcx"), file);
        ASSERT_EQ(result.stop, LoadStop::Complete);
        ASSERT_EQ(result.picture.size(), QSize(c.layout.width, c.layout.height));
        for (int y = 0; y < c.layout.height; ++y)
            for (int x = 0; x < c.layout.width; ++x)
                ASSERT_EQ(pixel(result.picture, x, y), c.colour(value(x, y))) << x << "," << y;
        EXPECT_TRUE(hasLine(result, QStringLiteral("PCX Decompression OK")));
        EXPECT_EQ(hasLine(result, QStringLiteral("Palette Found")), c.vgaPalette && c.layout.version == 5);
    }
}

TEST(PcxReader, ThreeBytePlanesAreTrueColour)
{
    for (unsigned planes : {3u, 4u}) {
        SCOPED_TRACE(planes);
        const PcxLayout layout{5, 8, planes, 9, 4};
        // plane 0 red, 1 green, 2 blue (3 alpha, unused)
        const ValueAt value
            = [](int x, int y) { return uint32_t(x * 20 | (y * 50) << 8 | (x + y) * 9 << 16 | 0x80u << 24); };
        const LoadResult result = loadBytes(QStringLiteral("p.pcx"), pcxFile(layout, value));
        ASSERT_EQ(result.stop, LoadStop::Complete);
        for (int y = 0; y < layout.height; ++y)
            for (int x = 0; x < layout.width; ++x)
                ASSERT_EQ(pixel(result.picture, x, y), QColor(x * 20, y * 50, (x + y) * 9)) << x << "," << y;
    }
}

TEST(PcxReader, RunsEndAtTheLineAndLinesStartAfresh)
{
    const PcxLayout layout{5, 8, 1, 3, 2};
    Bytes file = pcxHeader(layout);
    file.bytes({0xC0, 0x55, 0xC5, 0x07}); // an empty run, then 5 × 7 of which 2 do not fit
    file.bytes({0x01, 0xC1, 0xC8, 0x02}); // a literal, a run of one byte that looks like a count, a literal
    const LoadResult result = loadBytes(QStringLiteral("p.pcx"), file);
    ASSERT_EQ(result.stop, LoadStop::Complete) << result.report.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(pixel(result.picture, 2, 0), cube(7));
    EXPECT_EQ(pixel(result.picture, 0, 1), cube(1));
    EXPECT_EQ(pixel(result.picture, 1, 1), cube(0xC8));
    EXPECT_EQ(pixel(result.picture, 2, 1), cube(2));
}

TEST(PcxReader, HeadersThatCannotBeReadGiveTheBlank)
{
    PcxLayout huge;
    huge.width = 65535;
    huge.height = 65535;
    PcxLayout reversed; // Ymax below Ymin: the height wraps to 65535 rows
    reversed.yMin = 5;
    reversed.height = -1;
    reversed.width = 65000;
    PcxLayout noWidth;
    noWidth.xMin = 1;
    noWidth.width = 0;
    expectUnusable(QStringLiteral("p.pcx"), {
        {"manufacturer 11", pcxHeader({5, 1, 1, 8, 8, 0, 0, 0, 11, 1}), LoadStop::BadSignature},
        {"encoding 0", pcxHeader({5, 1, 1, 8, 8, 0, 0, 0, 10, 0}), LoadStop::BadSignature},
        {"header cut short", pcxHeader({}).data().left(127), LoadStop::Truncated},
        {"more pixels than the limit", pcxHeader(huge), LoadStop::OverLimit},
        {"wrapped height", pcxHeader(reversed), LoadStop::OverLimit},
        {"width 0", pcxHeader(noWidth), LoadStop::Corrupt},
    }, framedBlank(100, 100));
}

TEST(PcxReader, DamagedDataKeepsWhatWasDecoded)
{
    const ValueAt black = [](int, int) { return 0u; };
    // Data for the first of three rows only.
    const PcxLayout rows{5, 8, 1, 4, 3};
    QByteArray cut = pcxFile(rows, black).data();
    cut.chop(8);
    const LoadResult truncated = loadBytes(QStringLiteral("p.pcx"), cut);
    EXPECT_EQ(truncated.stop, LoadStop::Truncated);
    EXPECT_EQ(pixel(truncated.picture, 3, 0), QColor(0, 0, 0));
    EXPECT_EQ(pixel(truncated.picture, 0, 1), QColor(255, 255, 255));
    EXPECT_TRUE(hasLine(truncated, QStringLiteral("EOF encountered, only 0 of 4 read.")));

    // Planes of 2 bytes for a picture 10 pixels wide: the rest of each row stays white.
    PcxLayout narrow{5, 8, 1, 10, 2, 2};
    const LoadResult short_ = loadBytes(QStringLiteral("p.pcx"), pcxFile(narrow, black));
    EXPECT_EQ(short_.stop, LoadStop::Corrupt);
    EXPECT_EQ(pixel(short_.picture, 1, 1), QColor(0, 0, 0));
    EXPECT_EQ(pixel(short_.picture, 2, 1), QColor(255, 255, 255));

    // Window origin away from 0: sized from the window, drawn from the left edge.
    PcxLayout moved{3, 1, 1, 10, 2};
    moved.xMin = 100;
    moved.yMin = 7;
    const LoadResult shifted
        = loadBytes(QStringLiteral("p.pcx"), pcxFile(moved, [](int x, int) { return uint32_t(x == 0); }));
    EXPECT_EQ(shifted.stop, LoadStop::Complete);
    EXPECT_EQ(shifted.picture.size(), QSize(10, 2));
    EXPECT_EQ(pixel(shifted.picture, 0, 0), QColor(255, 255, 255));
    EXPECT_EQ(pixel(shifted.picture, 1, 0), QColor(0, 0, 0));
}

// Plane combinations whose pixel values exceed 8 bits still index the palette.
TEST(PcxReader, WidePixelValuesStayInsideThePalette)
{
    const PcxLayout layouts[] = {{5, 8, 2, 5, 2}, {5, 4, 4, 5, 2}, {5, 2, 8, 5, 2}, {3, 8, 2, 5, 2}};
    for (const PcxLayout& layout : layouts) {
        SCOPED_TRACE(::testing::Message() << layout.bits << " bits x " << layout.planes << " planes");
        const LoadResult result
            = loadBytes(QStringLiteral("p.pcx"), pcxFile(layout, [](int x, int y) { return 0xFFFFFFFFu - x - y; }));
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(result.picture.size(), QSize(5, 2));
    }
}

// Files written by another program, checked against its own decoder.
TEST(PcxReader, CorpusFilesLoadAndValidOnesMatchAnIndependentDecoder)
{
    OSTREL_CORPUS_OR_SKIP(files, "pcx", QStringList{QStringLiteral("*.pcx")});
    const QStringList valid
        = {QStringLiteral("pil184.pcx"), QStringLiteral("odd_stride.pcx"), QStringLiteral("p_4_planes.pcx")};
    int compared = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "PCX");
        if (!valid.contains(QFileInfo(path).fileName()))
            continue;
        EXPECT_EQ(result.stop, LoadStop::Complete);
        const std::optional<QImage> theirs = decodeWithTool(QStringLiteral("pcxtoppm"), {path});
        if (!theirs)
            continue;
        EXPECT_EQ(firstDifference(result.picture, *theirs), "");
        ++compared;
    }
    if (compared == 0)
        GTEST_SKIP() << "pcxtoppm is not installed";
}

// Another program writes the pictures; where the file keeps its colours we
// must show exactly them, and where this reader uses its own default palette
// (one plane of 2 or 4 bits) the same pixels must share a colour.
TEST(PcxReader, FilesWrittenByAnotherEncoderRoundTrip)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto pictureOf = [](int colours, bool blackAndWhite) {
        QImage picture(23, 7, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const int i = (x * 5 + y * 3) % colours;
                picture.setPixel(x, y, blackAndWhite ? (i ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                                                     : qRgb(i * 37 % 256, i * 91 % 256, 255 - i * 13 % 256));
            }
        return picture;
    };
    auto samePartition = [](const QImage& a, const QImage& b) {
        QHash<QRgb, QRgb> forward, backward;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                if (forward.value(p, q) != q || backward.value(q, p) != p)
                    return false;
                forward[p] = q;
                backward[q] = p;
            }
        return true;
    };
    const struct {
        const char* what;
        int colours;
        bool blackAndWhite;
        QStringList options;
        bool exactColours;
    } cases[] = {
        {"1 plane of 1 bit", 2, true, {}, true},
        {"2 planes of 1 bit", 4, false, {}, true},
        {"4 planes of 1 bit", 16, false, {}, true},
        {"4 planes, forced", 5, false, {QStringLiteral("-planes=4")}, true},
        {"8 bits with palette", 40, false, {QStringLiteral("-8bit")}, true},
        {"24 bits", 40, false, {QStringLiteral("-24bit")}, true},
        {"packed 2 bits", 4, false, {QStringLiteral("-packed")}, false},
        {"packed 4 bits", 16, false, {QStringLiteral("-packed")}, false},
    };
    int compared = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage source = pictureOf(c.colours, c.blackAndWhite);
        const QString ppm = folder.filePath(QStringLiteral("in.ppm"));
        ASSERT_TRUE(source.save(ppm, "PPM"));
        const std::optional<QByteArray> pcx = runTool(QStringLiteral("ppmtopcx"), QStringList(c.options) << ppm);
        if (!pcx)
            continue;
        const LoadResult result = loadBytes(QStringLiteral("p.pcx"), *pcx);
        ASSERT_EQ(result.stop, LoadStop::Complete);
        if (c.exactColours)
            EXPECT_EQ(firstDifference(result.picture, source), "");
        else
            EXPECT_TRUE(samePartition(result.picture.convertToFormat(QImage::Format_RGB32), source));
        ++compared;
    }
    if (compared == 0)
        GTEST_SKIP() << "ppmtopcx is not installed";
}

// Run-length lines give at most 63 bytes for two, so a header asking for more
// lines than the file can give is refused before the picture is made.
TEST(PcxReader, PicturesLargerThanTheirDataCanFillAreRefused)
{
    const PcxLayout large{5, 8, 1, 4096, 4096};
    Bytes oneLine = pcxHeader(large);
    for (int x = 0; x < 4096; x += 63)
        oneLine.u8(0xC0 | std::min(63, 4096 - x)).u8(7);
    expectUnusable(QStringLiteral("p.pcx"), {
        {"header only", pcxHeader(large), LoadStop::Truncated},
        {"one line of data", oneLine, LoadStop::Truncated},
    }, framedBlank(100, 100));

    const PcxLayout filled{5, 8, 1, 2200, 2200};
    Bytes whole = pcxHeader(filled);
    for (int y = 0; y < filled.height; ++y)
        for (int x = 0; x < filled.width; x += 63)
            whole.u8(0xC0 | std::min(63, filled.width - x)).u8(7);
    const LoadResult result = loadBytes(QStringLiteral("p.pcx"), whole);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    ASSERT_EQ(result.picture.size(), QSize(2200, 2200));
    EXPECT_EQ(pixel(result.picture, 2199, 2199), pixel(result.picture, 0, 0));
}
