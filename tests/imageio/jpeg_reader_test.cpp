// SPDX-License-Identifier: Apache-2.0
// The JPEG reader: pixels equal to libjpeg's own command-line decoder (same
// library, same settings), grey and CMYK output, and a damaged file leaving
// the previous picture.
#include "imageio/GraphicsIOUnit.h"
#include "jpeg_fixtures.h"
#include "small_readers_support.h"
#include "text_printing.h"
#include "util/Picture.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

// libjpeg's decoder program, run on a file: its picture, or nothing when it
// rejects the file. Warnings (exit status 2) still give a picture.
struct ReferenceDecode {
    bool available = false;
    std::optional<QImage> picture;
};

ReferenceDecode decodeWithDjpeg(const QString& path, bool grey = false)
{
    ReferenceDecode reference;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (program.isEmpty())
        return reference;
    reference.available = true;
    QStringList arguments{QStringLiteral("-bmp")};
    if (grey)
        arguments << QStringLiteral("-grayscale");
    arguments << path;
    const ProcessRun run = runProcess(program, arguments, {.timeoutMs = 60000});
    const QImage picture = QImage::fromData(run.output, "BMP");
    if ((run.exitCode == 0 || run.exitCode == 2) && !picture.isNull())
        reference.picture = picture.convertToFormat(QImage::Format_RGB32);
    return reference;
}

class JpegFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_folder;
};

bool channelsEqual(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb rgb = picture.pixel(x, y);
            if (qRed(rgb) != qGreen(rgb) || qGreen(rgb) != qBlue(rgb))
                return false;
        }
    return true;
}

TEST(JpegReader, MissingFileGivesTheBlankPicture)
{
    const LoadResult result = loadMissing(QStringLiteral("gone.jpg"));
    EXPECT_EQ(result.stop, LoadStop::Missing);
    EXPECT_TRUE(isFramedBlank(result.picture, 100, 100));
    ASSERT_EQ(result.report.size(), 2);
    EXPECT_TRUE(result.report.front().startsWith(QStringLiteral("JPG ")));
    EXPECT_EQ(result.report.back(), QStringLiteral("JPG End."));
}

TEST_F(JpegFiles, ReportsSizeAndGreyFlag)
{
    const QString path = write(QStringLiteral("small.jpg"), encodeJpeg(photoLikePicture(33, 17), JpegKind::Colour));
    for (bool grey : {false, true}) {
        PictureLoadOptions options;
        options.JpegGrayscale = grey;
        const LoadResult result = LoadPictureFileWithOptions(path, options);
        EXPECT_EQ(result.stop, LoadStop::Complete);
        EXPECT_EQ(result.report, QStringList({reportValueLine(QStringLiteral("JPG"), path),
                                              reportValueLine(QStringLiteral("Width"), QStringLiteral("33")),
                                              reportValueLine(QStringLiteral("Height"), QStringLiteral("17")),
                                              reportValueLine(QStringLiteral("Load as Gray"), reportBool(grey)),
                                              QStringLiteral("JPG End.")}));
    }
}

// Every sample file either decodes to djpeg's pixels or, where djpeg
// rejects it too, ends cleanly with no picture.
TEST(JpegReader, SampleFilesMatchLibjpegsDecoder)
{
    OSTREL_CORPUS_OR_SKIP(files, "jpg", QStringList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}));
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult ours = LoadPictureFileWithOptions(path);
        EXPECT_EQ(ours.report.value(ours.report.size() - 1), QStringLiteral("JPG End."));
        const ReferenceDecode reference = decodeWithDjpeg(path);
        if (!reference.available)
            GTEST_SKIP() << "djpeg is not installed";
        if (!reference.picture) {
            EXPECT_EQ(ours.stop, LoadStop::Failed);
            EXPECT_TRUE(ours.picture.isNull());
            continue;
        }
        ASSERT_FALSE(ours.picture.isNull());
        EXPECT_EQ(ours.picture.format(), kPictureFormat);
        EXPECT_EQ(firstDifference(ours.picture, *reference.picture), "");
    }
}

// Grey output: equal channels, and djpeg's grey values, for colour, grey and
// CMYK files alike.
TEST_F(JpegFiles, GreyOutputMatchesLibjpegsGreyDecode)
{
    struct Case {
        const char* name;
        JpegKind kind;
    };
    PictureLoadOptions grey;
    grey.JpegGrayscale = true;
    for (const Case& c : {Case{"colour.jpg", JpegKind::Colour}, Case{"grey.jpg", JpegKind::Grey},
                          Case{"progressive.jpg", JpegKind::Progressive}}) {
        SCOPED_TRACE(c.name);
        const QString path = write(QString::fromLatin1(c.name), encodeJpeg(photoLikePicture(40, 30), c.kind));
        const LoadResult result = LoadPictureFileWithOptions(path, grey);
        ASSERT_EQ(result.stop, LoadStop::Complete);
        EXPECT_TRUE(channelsEqual(result.picture));
        const ReferenceDecode reference = decodeWithDjpeg(path, true);
        if (reference.picture) {
            EXPECT_EQ(firstDifference(result.picture, *reference.picture), "");
        }
    }
    // libjpeg cannot turn CMYK into grey itself; the reader does.
    const QString cmyk = write(QStringLiteral("cmyk.jpg"), encodeJpeg(photoLikePicture(24, 24), JpegKind::Cmyk));
    const LoadResult result = LoadPictureFileWithOptions(cmyk, grey);
    ASSERT_EQ(result.stop, LoadStop::Complete);
    EXPECT_TRUE(channelsEqual(result.picture));
}

// A grey file without the grey option still loads as 24 bits, three equal channels.
TEST_F(JpegFiles, GreyFileLoadsAsEqualChannels)
{
    const QString path = write(QStringLiteral("grey.jpg"), encodeJpeg(photoLikePicture(31, 9), JpegKind::Grey));
    const LoadResult result = LoadPictureFileWithOptions(path);
    ASSERT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.picture.format(), kPictureFormat);
    EXPECT_TRUE(channelsEqual(result.picture));
}

// CMYK and YCCK files show their real colours: the stored (Adobe, inverted)
// inks C, M, Y, K give red C×K/255, green M×K/255, blue Y×K/255.
TEST_F(JpegFiles, CmykAndYcckShowTheirColours)
{
    for (JpegKind kind : {JpegKind::Cmyk, JpegKind::Ycck}) {
        SCOPED_TRACE(kind == JpegKind::Cmyk ? "CMYK" : "YCCK");
        // Quality 100 without subsampling keeps the inks close to what was written.
        auto fullResolution = [](jpeg_compress_struct& info) {
            for (int c = 0; c < info.num_components; ++c)
                info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
        };
        const QString path = write(kind == JpegKind::Cmyk ? QStringLiteral("c.jpg") : QStringLiteral("y.jpg"),
                                   encodeJpeg(photoLikePicture(48, 32), kind, 100, fullResolution));
        const LoadResult result = LoadPictureFileWithOptions(path);
        ASSERT_EQ(result.stop, LoadStop::Complete);
        QImage expected(48, 32, QImage::Format_RGB32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 48; ++x) {
                const int k = cmykSample(x, y, 3);
                expected.setPixel(x, y, qRgb(cmykSample(x, y, 0) * k / 255, cmykSample(x, y, 1) * k / 255,
                                             cmykSample(x, y, 2) * k / 255));
            }
        EXPECT_EQ(firstDifference(result.picture, expected, 12), "");
        const ReferenceDecode reference = decodeWithDjpeg(path);
        if (reference.picture) {
            EXPECT_EQ(firstDifference(result.picture, *reference.picture), "");
        }
    }
}

// Files that cannot be decoded leave the caller's picture as it was.
TEST_F(JpegFiles, DamagedFileKeepsThePreviousPicture)
{
    const QByteArray good = encodeJpeg(photoLikePicture(20, 20), JpegKind::Colour);
    const qsizetype startOfScan = good.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(startOfScan, 0);
    struct Case {
        const char* what;
        QByteArray file;
    };
    const Case cases[] = {
        {"empty file", QByteArray()},
        {"not a JPEG", QByteArray("GIF89a and then some")},
        {"start marker only", QByteArray("\xFF\xD8", 2)},
        {"header without any scan", good.left(startOfScan)},
        {"frame of zero width", QByteArray(good).replace(QByteArray("\xFF\xC0\x00\x11\x08\x00\x14\x00\x14", 9),
                                                         QByteArray("\xFF\xC0\x00\x11\x08\x00\x14\x00\x00", 9))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture = photoLikePicture(7, 5).convertToFormat(kPictureFormat);
        const QImage before = picture.copy();
        const LoadResult result = LoadPictureFile(picture, write(QStringLiteral("bad.jpg"), c.file));
        EXPECT_EQ(result.stop, LoadStop::Failed);
        EXPECT_EQ(firstDifference(picture, before), "");
        EXPECT_EQ(result.report.back(), QStringLiteral("JPG End."));
    }
}

// A file cut short loads: the rows that arrived are decoded, libjpeg fills the rest.
TEST_F(JpegFiles, TruncatedFileLoadsWhatArrived)
{
    const QImage source = photoLikePicture(64, 64);
    const QByteArray whole = encodeJpeg(source, JpegKind::Colour);
    const LoadResult full = LoadPictureFileWithOptions(write(QStringLiteral("whole.jpg"), whole));
    const LoadResult cut = LoadPictureFileWithOptions(write(QStringLiteral("cut.jpg"), whole.left(whole.size() * 2 / 3)));
    ASSERT_EQ(cut.stop, LoadStop::Truncated);
    ASSERT_EQ(cut.picture.size(), QSize(64, 64));
    EXPECT_TRUE(cut.report.contains(QStringLiteral("Premature end of JPEG file")));
    EXPECT_EQ(firstDifference(cut.picture.copy(0, 0, 64, 16), full.picture.copy(0, 0, 64, 16)), "");
}

// A size over the pixel limit is refused before any pixel memory is taken.
TEST_F(JpegFiles, SizeOverThePixelLimitIsRefused)
{
    const QString path = write(QStringLiteral("big.jpg"), encodeJpeg(photoLikePicture(64, 40), JpegKind::Colour));
    PictureLoadOptions options;
    options.PixelLimit = 64 * 40 - 1;
    QImage picture = photoLikePicture(3, 3).convertToFormat(kPictureFormat);
    const QImage before = picture.copy();
    const LoadResult refused = LoadPictureFile(picture, path, options);
    options.PixelLimit = 64 * 40;
    const LoadResult allowed = LoadPictureFileWithOptions(path, options);
    EXPECT_EQ(refused.stop, LoadStop::Failed);
    EXPECT_EQ(firstDifference(picture, before), "");
    EXPECT_TRUE(refused.report.contains(QStringLiteral("Picture of 64 x 40 pixels is over the limit")));
    EXPECT_EQ(allowed.stop, LoadStop::Complete);
}

// A frame header that claims 4096 × 4096 pixels over the scan data of a
// 64 × 40 picture: libjpeg would decode it to a whole grey picture of 48 MiB;
// it is refused before the picture is made, and the caller keeps its own.
TEST_F(JpegFiles, SizeBeyondWhatTheScanDataCanCoverIsRefused)
{
    QByteArray file = encodeJpeg(photoLikePicture(64, 40), JpegKind::Colour);
    const qsizetype frame = file.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    for (qsizetype at : {frame + 5, frame + 7}) { // height, then width
        file[at] = char(0x10);
        file[at + 1] = char(0x00);
    }
    QImage picture = photoLikePicture(3, 3).convertToFormat(kPictureFormat);
    const QImage before = picture.copy();
    const LoadResult refused = LoadPictureFile(picture, write(QStringLiteral("claims.jpg"), file));
    EXPECT_EQ(refused.stop, LoadStop::Failed);
    EXPECT_EQ(firstDifference(picture, before), "");
}

// A progressive file that repeats one scan hundreds of times would make the
// decoder walk the picture once per scan; it is refused instead.
// Arithmetic coding needs almost no data for a flat picture, so a complete
// file loads at its full size; one whose data end before the end-of-image
// marker is held to what its data can cover, like a Huffman-coded one.
TEST_F(JpegFiles, ArithmeticCodedFilesAreBoundedWhenTheirDataEndEarly)
{
    const auto arithmetic = [](jpeg_compress_struct& info) { info.arith_code = TRUE; };
    QImage flat(1600, 1200, QImage::Format_RGB888);
    flat.fill(qRgb(90, 120, 150));
    const QByteArray flatFile = encodeJpeg(flat, JpegKind::Colour, 90, arithmetic);
    ASSERT_LT(flatFile.size(), 1000); // far less than a byte for each 512 pixels
    const LoadResult whole = LoadPictureFileWithOptions(write(QStringLiteral("flat.jpg"), flatFile));
    EXPECT_EQ(whole.stop, LoadStop::Complete);
    EXPECT_EQ(whole.picture.size(), QSize(1600, 1200));

    // A frame that claims 4096 × 4096 over a small picture's scan, its end cut off.
    QByteArray file = encodeJpeg(photoLikePicture(64, 40), JpegKind::Colour, 90, arithmetic);
    const qsizetype frame = file.indexOf(QByteArray("\xFF\xC9", 2)); // arithmetic, extended sequential
    ASSERT_GT(frame, 0);
    for (qsizetype at : {frame + 5, frame + 7}) {
        file[at] = char(0x10);
        file[at + 1] = char(0x00);
    }
    ASSERT_TRUE(file.endsWith(QByteArray("\xFF\xD9", 2)));
    file.chop(2);
    QImage picture = photoLikePicture(3, 3).convertToFormat(kPictureFormat);
    const QImage before = picture.copy();
    const LoadResult refused = LoadPictureFile(picture, write(QStringLiteral("claims.jpg"), file));
    EXPECT_EQ(refused.stop, LoadStop::Failed);
    EXPECT_EQ(firstDifference(picture, before), "");
}

TEST_F(JpegFiles, EndlessProgressiveScansAreRefused)
{
    const QByteArray progressive = encodeJpeg(photoLikePicture(16, 16), JpegKind::Progressive);
    const qsizetype lastScan = progressive.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype end = progressive.lastIndexOf(QByteArray("\xFF\xD9", 2));
    ASSERT_GT(lastScan, 0);
    const QByteArray scan = progressive.mid(lastScan, end - lastScan);
    // The same refinement scan 600 times: libjpeg only warns about each repeat.
    const QByteArray repeated = progressive.left(end) + scan.repeated(600) + QByteArray("\xFF\xD9", 2);
    const LoadResult result = LoadPictureFileWithOptions(write(QStringLiteral("scans.jpg"), repeated));
    EXPECT_EQ(result.stop, LoadStop::Failed);
    EXPECT_TRUE(result.report.contains(QStringLiteral("More than 500 progressive scans")));
    // The file as written, with its ten or so scans, is fine.
    EXPECT_EQ(LoadPictureFileWithOptions(write(QStringLiteral("ten.jpg"), progressive)).stop, LoadStop::Complete);
}

} // namespace
} // namespace ostrel::testing
