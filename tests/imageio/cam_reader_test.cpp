// SPDX-License-Identifier: Apache-2.0
#include "small_readers_support.h"

using namespace ostrel;
using namespace ostrel::testing;

namespace {

constexpr int kThumbWidth = 52;
constexpr int kThumbHeight = 36;
constexpr int kThumbBytes = kThumbWidth * kThumbHeight * 3;

struct Area {
    unsigned type;
    QByteArray data;
    uint32_t claimedLength = 0; // 0: the data's own length
};

// The signature, the area directory and the areas back to back.
Bytes camFile(const std::vector<Area>& areas)
{
    Bytes file;
    file.bytes({0x07, 0x20, 0x4D, 0x4D}).u16be(unsigned(areas.size()));
    for (const Area& area : areas)
        file.u16be(area.type).u32be(area.claimedLength ? area.claimedLength : uint32_t(area.data.size())).fill(10, 0);
    for (const Area& area : areas)
        file.append(area.data);
    return file;
}

QColor thumbColour(int x, int y) { return QColor(x * 4, y * 7, 200); }

// A 52×36 thumbnail whose every pixel differs from its neighbours.
QByteArray thumbnailData()
{
    Bytes data;
    for (int y = 0; y < kThumbHeight; ++y)
        for (int x = 0; x < kThumbWidth; ++x) {
            const QColor c = thumbColour(x, y);
            data.u8(c.red()).u8(c.green()).u8(c.blue());
        }
    return data;
}

// A main image area with a JPEG quantisation table marker in it.
QByteArray mainImageData()
{
    Bytes data;
    data.bytes({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00}).fill(64, 0x10).fill(100, 0x77);
    return data;
}

bool hasBlackIn(const QImage& picture, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixel(x, y) == qRgb(0, 0, 0))
                return true;
    return false;
}

} // namespace

TEST(CamReader, PaintsThumbnailInTheMiddleOfTheLabelledPicture)
{
    const Bytes file = camFile({{1, "hello"}, {2, thumbnailData()}, {3, mainImageData()}});
    for (bool thumbnailsOnly : {false, true}) {
        SCOPED_TRACE(thumbnailsOnly);
        PictureLoadOptions options;
        options.CamThumbnailsOnly = thumbnailsOnly;
        const LoadResult result = loadBytes(QStringLiteral("q.cam"), file, options);
        ASSERT_EQ(result.stop, LoadStop::Complete);
        const QImage& p = result.picture;
        ASSERT_EQ(p.size(), QSize(320, 240));
        for (int y = 0; y < kThumbHeight; y += 5)
            for (int x = 0; x < kThumbWidth; x += 3)
                ASSERT_EQ(pixel(p, 134 + x, 102 + y), thumbColour(x, y)) << x << "," << y;
        EXPECT_EQ(pixel(p, 134 + 51, 102 + 35), thumbColour(51, 35));
        EXPECT_EQ(pixel(p, 133, 102), QColor(255, 255, 255));
        EXPECT_EQ(pixel(p, 186, 138), QColor(255, 255, 255));
        EXPECT_TRUE(hasBlackIn(p, QRect(5, 5, 150, 14)));  // "CAM Read Incomplete"
        EXPECT_TRUE(hasBlackIn(p, QRect(5, 25, 150, 14))); // "Use Thumbnails Only"
        EXPECT_TRUE(hasLine(result, QStringLiteral("File Size = %1").arg(file.size())));
        EXPECT_EQ(hasLine(result, QStringLiteral("Main Image (Ignored)")), thumbnailsOnly);
        EXPECT_EQ(hasLine(result, QStringLiteral("Thumbnail (Ignored)")), !thumbnailsOnly);
        EXPECT_EQ(reportedValue(result, QStringLiteral("Image Area Start, Bytes Remain")).has_value(), !thumbnailsOnly);
        if (!thumbnailsOnly) {
            EXPECT_TRUE(
                reportedValue(result, QStringLiteral("Y")).value_or(QString()).startsWith(QStringLiteral("10 10")));
        }
    }
}

TEST(CamReader, FilesWithoutAUsableThumbnailKeepTheLabelledBlank)
{
    const QImage labelled = loadMissing(QStringLiteral("q.cam")).picture;
    Bytes badSignature = camFile({{2, thumbnailData()}});
    badSignature.put(3, 0x4E);
    Bytes cut = camFile({{2, thumbnailData()}});
    const QByteArray cutShort = cut.data().left(cut.size() - 1);
    Bytes manyAreas;
    manyAreas.bytes({0x07, 0x20, 0x4D, 0x4D}).u16be(65535).fill(40, 0xFF);
    expectUnusable(QStringLiteral("q.cam"),
        {
            {"wrong signature", badSignature, LoadStop::BadSignature},
            {"signature only in part", QByteArray("\x07\x20", 2), LoadStop::BadSignature},
            {"thumbnail of the wrong length", camFile({{2, thumbnailData().left(kThumbBytes - 3)}}),
                LoadStop::Unsupported},
            {"thumbnail cut short", cutShort, LoadStop::Truncated},
            {"area longer than the file", camFile({{2, "abc", kThumbBytes}}), LoadStop::Truncated},
            {"directory longer than the file", manyAreas, LoadStop::Truncated},
            {"unknown area only", camFile({{9, "xyz"}}), LoadStop::Unsupported},
            {"larger than any camera file", camFile({{2, thumbnailData()}}).data().leftJustified(10000001, '\0'),
                LoadStop::OverLimit},
        },
        labelled);
    const LoadResult bad = loadBytes(QStringLiteral("q.cam"), badSignature);
    EXPECT_TRUE(hasLine(bad, QStringLiteral("CAM File Signature Illegal: 07 20 4D 4E (expected 07 20 4D 4D)")));
}
