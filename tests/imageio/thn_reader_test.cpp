// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

using namespace ostrel;
using namespace ostrel::testing;

namespace {

constexpr int kHeader = 264;
constexpr int kSide = 96;

// A thumbnail whose pixel bytes are all `code`; tests set single bytes apart.
Bytes thumbnail(unsigned code = 0xFF)
{
    Bytes file;
    file.fill(kHeader, 0x55).fill(kSide * kSide, code);
    return file;
}

} // namespace

TEST(ThnReader, PaintsThreeThreeTwoColoursBottomRowFirst)
{
    // The first stored row is the picture's bottom row; the last byte is the top right pixel.
    Bytes file = thumbnail();
    file.put(kHeader + 0, 0xE0);                   // red at its top level
    file.put(kHeader + 1, 0x03);                   // blue at its top level
    file.put(kHeader + 2, 0xAE);                   // 101 011 10: levels 5, 3 and 2
    file.put(kHeader + kSide, 0x00);               // second stored row: one up from the bottom
    file.put(kHeader + kSide * kSide - 1, 0x1C);   // green at its top level
    const LoadResult result = loadBytes(QStringLiteral("t.thn"), file);
    ASSERT_EQ(result.stop, LoadStop::Complete);
    ASSERT_EQ(result.picture.size(), QSize(96, 96));
    EXPECT_EQ(pixel(result.picture, 0, 95), QColor(255, 0, 0));
    EXPECT_EQ(pixel(result.picture, 1, 95), QColor(0, 0, 255));
    EXPECT_EQ(pixel(result.picture, 2, 95), QColor(182, 109, 170));
    EXPECT_EQ(pixel(result.picture, 0, 94), QColor(0, 0, 0));
    EXPECT_EQ(pixel(result.picture, 95, 0), QColor(0, 255, 0));
    EXPECT_EQ(pixel(result.picture, 50, 50), QColor(255, 255, 255));
    EXPECT_EQ(reportedValue(result, QStringLiteral("File Size")), QStringLiteral("9480"));
}

TEST(ThnReader, AnyOtherSizeGivesTheBlank)
{
    const struct {
        int size;
        LoadStop stop;
    } cases[] = {{9479, LoadStop::Truncated}, {9481, LoadStop::Corrupt}, {264, LoadStop::Truncated}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        QByteArray file = thumbnail(0x00).data();
        file.resize(c.size, '\0');
        const LoadResult result = loadBytes(QStringLiteral("t.thn"), file);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_TRUE(isFramedBlank(result.picture, 96, 96));
        EXPECT_EQ(reportedValue(result, QStringLiteral("Wrong File Size, Bytes expected")), QStringLiteral("9480"));
    }
}
