// SPDX-License-Identifier: Apache-2.0
// What every one of the small readers promises: a picture of its own
// default size for a missing file, the tag line first and "<TAG> End." last,
// and a usable picture for a file with no bytes at all.
#include "imageio/LoadResult.h"
#include "small_readers_support.h"

using namespace ostrel;
using namespace ostrel::testing;

namespace {

struct ReaderCase {
    const char* fileName;
    const char* tag;
    int width;
    int height;
    bool framedBlank; // false: the CAM reader labels its blank
};

const ReaderCase kReaders[] = {
    {"a.pcx", "PCX", 100, 100, true}, {"a.ico", "ICO", 32, 32, true},    {"a.cam", "CAM", 320, 240, false},
    {"a.mac", "MAC", 576, 720, true}, {"a.16k", "CGA", 320, 200, true},  {"a.320", "CGA", 320, 200, true},
    {"a.160", "CGA", 160, 100, true}, {"a.640", "CGA", 640, 200, true},  {"a.thn", "THN", 96, 96, true},
    {"a.tif", "TIF", 100, 100, true}, {"a.tiff", "TIF", 100, 100, true}, {"a.png", "PNG", 100, 100, true},
};

} // namespace

TEST(SmallReaders, MissingFileGivesEachReadersBlankAndReportFrame)
{
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.fileName);
        const LoadResult result = loadMissing(QString::fromLatin1(c.fileName));
        EXPECT_EQ(result.stop, LoadStop::Missing);
        ASSERT_EQ(result.picture.size(), QSize(c.width, c.height));
        EXPECT_EQ(result.picture.format(), kPictureFormat);
        if (c.framedBlank) {
            EXPECT_TRUE(isFramedBlank(result.picture, c.width, c.height));
        }
        ASSERT_GE(result.report.size(), 2);
        EXPECT_TRUE(result.report.front().startsWith(reportValueLine(QString::fromLatin1(c.tag), QString())));
        EXPECT_TRUE(result.report.front().endsWith(QString::fromLatin1(c.fileName)));
        EXPECT_EQ(result.report.back(), QString::fromLatin1(c.tag) + QStringLiteral(" End."));
    }
}

TEST(SmallReaders, EmptyFileEndsCleanlyWithAPicture)
{
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.fileName);
        const LoadResult result = loadBytes(QString::fromLatin1(c.fileName), QByteArray());
        EXPECT_NE(result.stop, LoadStop::Complete);
        EXPECT_NE(result.stop, LoadStop::Missing);
        EXPECT_EQ(result.picture.size(), QSize(c.width, c.height));
        EXPECT_EQ(result.picture.format(), kPictureFormat);
        ASSERT_FALSE(result.report.isEmpty());
        EXPECT_EQ(result.report.back(), QString::fromLatin1(c.tag) + QStringLiteral(" End."));
    }
}
