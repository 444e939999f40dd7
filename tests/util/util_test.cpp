#include "util/ByteReader.h"
#include "util/Picture.h"
#include "util/StandardUnit.h"
#include "util/Text.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(ByteReader, ReadsLittleAndBigEndianAndFlagsTruncation)
{
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_EQ(reader.u16le(), 0x0201);
    EXPECT_EQ(reader.u16be(), 0x0304);
    EXPECT_FALSE(reader.truncated());
    EXPECT_EQ(reader.u32le(), 0u); // only one byte left
    EXPECT_TRUE(reader.truncated());
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(ByteReader, BytesAndSeekStayInside)
{
    const uint8_t bytes[] = {9, 8, 7};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_TRUE(reader.seek(3));
    EXPECT_FALSE(reader.seek(4));
    ByteReader second(bytes, sizeof bytes);
    EXPECT_EQ(second.bytes(2).size(), 2u);
    EXPECT_TRUE(second.bytes(2).empty());
    EXPECT_TRUE(second.truncated());
    ByteReader third(bytes, sizeof bytes);
    third.skip(2);
    EXPECT_EQ(third.u8OrZero(), 7);
    EXPECT_EQ(third.u8OrZero(), 0);
    EXPECT_FALSE(third.truncated());
}

TEST(PixelLimit, RefusesOverflowAndOversize)
{
    EXPECT_TRUE(pictureSizeAllowed(1, 1));
    EXPECT_TRUE(pictureSizeAllowed(16384, 16384));
    EXPECT_FALSE(pictureSizeAllowed(0, 5));
    EXPECT_FALSE(pictureSizeAllowed(3000000, 2000000));
    EXPECT_FALSE(pictureSizeAllowed(int64_t(1) << 40, int64_t(1) << 40));
    EXPECT_FALSE(pictureSizeAllowed(2147483647, 2147483647));
    EXPECT_TRUE(allocatePicture(3000000, 2000000).isNull());
    QImage picture = allocatePicture(7, 3);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
}

TEST(Text, GroupsDigitsWithCommas)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {9500, "9,500"}, {-87, "-87"}, {1234567, "1,234,567"}, {-1000, "-1,000"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(groupDigits(value), QString::fromLatin1(text)) << value;
}

TEST(Text, RoundsHalfToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(scaleByZoom(32, 150), 48);
    EXPECT_EQ(scaleByZoom(5, 150), 8); // 7.5 rounds to 8
    EXPECT_EQ(scaleByZoom(3, 150), 4); // 4.5 rounds to 4
}

TEST(Text, AnsiBytesFallBackToUtf8)
{
    EXPECT_EQ(toAnsiBytes(QStringLiteral("abc")), QByteArray("abc"));
    EXPECT_EQ(toAnsiBytes(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC")), QByteArray("caf\xE9 \x80"));
    const QString greek = QString::fromUtf8("\xCE\xB1\xCE\xB2");
    EXPECT_EQ(toAnsiBytes(greek), greek.toUtf8());
    EXPECT_EQ(fromStoredBytes(QByteArray("caf\xE9")), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(fromStoredBytes(greek.toUtf8()), greek);
    EXPECT_EQ(fromStoredBytes(QByteArray("\x80")), QString(QChar(0x20AC)));
}

TEST(Text, ExpandsTabsToMultiplesOfEight)
{
    EXPECT_EQ(expandTabs(QStringLiteral("a\tb")), QStringLiteral("a       b"));
    EXPECT_EQ(expandTabs(QStringLiteral("\t")), QString(8, QLatin1Char(' ')));
    EXPECT_EQ(expandTabs(QStringLiteral("12345678\tx")), QStringLiteral("12345678        x"));
}
