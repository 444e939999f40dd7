// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

using namespace ostrel;
using namespace ostrel::testing;

namespace {

constexpr int kRowBytes = 72;
constexpr int kRows = 720;

struct MacBinaryFields {
    unsigned version = 0;
    unsigned nameLength = 8;
    uint32_t dataFork = 1000;
    uint32_t resourceFork = 0;
};

// A MacBinary header for "PICTURE1" of type PNTG by MPNT, then the 512-byte
// MacPaint header; the packed rows follow.
Bytes macBinary(const MacBinaryFields& fields = {})
{
    Bytes file;
    file.u8(fields.version).u8(fields.nameLength).text("PICTURE1").padTo(65);
    file.text("PNTG").text("MPNT").u8(1).u8(0).u16be(10).u16be(20).u16be(3).u8(0).u8(0);
    file.u32be(fields.dataFork).u32be(fields.resourceFork).u32be(0xA0000000).u32be(0xA0000001).u16be(0).u8(0);
    file.padTo(640);
    return file;
}

// One run of `count` (2..129) bytes of `value`.
void run(Bytes& file, int count, unsigned value)
{
    file.u8(255 - (count - 2)).u8(value);
}

// Rows of white, as runs of 72 zero bytes.
void whiteRows(Bytes& file, int rows)
{
    for (int i = 0; i < rows; ++i)
        run(file, kRowBytes, 0x00);
}

} // namespace

TEST(MacPaintReader, UnpacksRunsAndLiteralsAcrossRows)
{
    Bytes file = macBinary();
    run(file, kRowBytes, 0xFF); // row 0: black
    file.u8(kRowBytes - 1);     // row 1: literal bytes, alternate pixels
    file.fill(kRowBytes, 0xAA);
    file.u8(35).fill(36, 0x00); // row 2: half a row of literals, then a run that
    run(file, kRowBytes, 0xFF); //   runs on into the first half of row 3
    file.u8(35).fill(36, 0x01); // row 3: its second half, last pixel of each byte
    whiteRows(file, kRows - 4);
    const LoadResult result = loadBytes(QStringLiteral("p.mac"), file);
    ASSERT_EQ(result.stop, LoadStop::Complete);
    ASSERT_EQ(result.picture.size(), QSize(576, 720));
    const QImage& p = result.picture;
    const QColor black(0, 0, 0), white(255, 255, 255);
    EXPECT_EQ(pixel(p, 0, 0), black);
    EXPECT_EQ(pixel(p, 575, 0), black);
    EXPECT_EQ(pixel(p, 0, 1), black);
    EXPECT_EQ(pixel(p, 1, 1), white);
    EXPECT_EQ(pixel(p, 287, 2), white);
    EXPECT_EQ(pixel(p, 288, 2), black);
    EXPECT_EQ(pixel(p, 575, 2), black);
    EXPECT_EQ(pixel(p, 287, 3), black);
    EXPECT_EQ(pixel(p, 288, 3), white);
    EXPECT_EQ(pixel(p, 295, 3), black);
    EXPECT_EQ(pixel(p, 0, 719), white);
    EXPECT_TRUE(hasLine(result, QStringLiteral("Decompression OK")));
    EXPECT_EQ(reportedValue(result, QStringLiteral("File Name")), QStringLiteral("\"PICTURE1\""));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Type")), QStringLiteral("PNTG"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Creator")), QStringLiteral("MPNT"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("Window ID")), QStringLiteral("3"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("SizeOfDataFork")), QStringLiteral("1000"));
    EXPECT_EQ(reportedValue(result, QStringLiteral("SizeOf MacHeader")), QStringLiteral("640"));
}

TEST(MacPaintReader, FileWithoutMacBinaryHeaderStaysWhite)
{
    const struct {
        const char* what;
        MacBinaryFields fields;
    } cases[] = {
        {"version 1", {1, 8, 1000, 0}},
        {"no name", {0, 0, 1000, 0}},
        {"name too long", {0, 64, 1000, 0}},
        {"data fork of 2^23", {0, 8, 1u << 23, 0}},
        {"resource fork of 2^23", {0, 8, 1000, 1u << 23}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = macBinary(c.fields);
        run(file, kRowBytes, 0xFF);
        const LoadResult result = loadBytes(QStringLiteral("p.mac"), file);
        EXPECT_EQ(result.stop, LoadStop::BadSignature);
        EXPECT_EQ(result.picture.size(), QSize(576, 720));
        EXPECT_TRUE(isAllWhite(result.picture));
    }
    // The largest accepted values still load.
    Bytes edge = macBinary({0, 63, (1u << 23) - 1, (1u << 23) - 1});
    run(edge, kRowBytes, 0xFF);
    whiteRows(edge, kRows - 1);
    EXPECT_EQ(loadBytes(QStringLiteral("p.mac"), edge).stop, LoadStop::Complete);
}

TEST(MacPaintReader, ShortFilesEndCleanly)
{
    Bytes rowOnly = macBinary();
    run(rowOnly, kRowBytes, 0xFF);
    const LoadResult cut = loadBytes(QStringLiteral("p.mac"), rowOnly);
    EXPECT_EQ(cut.stop, LoadStop::Truncated);
    EXPECT_EQ(pixel(cut.picture, 10, 0), QColor(0, 0, 0));
    EXPECT_EQ(pixel(cut.picture, 10, 1), QColor(255, 255, 255));
    EXPECT_FALSE(hasLine(cut, QStringLiteral("Decompression OK")));

    // A run whose value byte is missing.
    Bytes cutRun = macBinary();
    cutRun.u8(200);
    EXPECT_EQ(loadBytes(QStringLiteral("p.mac"), cutRun).stop, LoadStop::Truncated);

    const LoadResult headerOnly = loadBytes(QStringLiteral("p.mac"), macBinary().data().left(100));
    EXPECT_EQ(headerOnly.stop, LoadStop::Truncated);
    EXPECT_TRUE(isAllWhite(headerOnly.picture));
    EXPECT_TRUE(hasLine(headerOnly, QStringLiteral("EOF encountered, only 100 of 128 read.")));
}
