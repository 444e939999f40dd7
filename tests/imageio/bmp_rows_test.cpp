// SPDX-License-Identifier: Apache-2.0
// Rows of a 24-bit BMP file a band at a time: the hidden stream written and
// read through them must give exactly what the whole picture in memory
// gives, for either row order, odd widths with padding and bands of three
// rows; a file shortened while it is read must show.
#include "imageio/bmp_test_support.h"

#include "Carrier.h"
#include "engine/Seal.h"
#include "engine/TRandom.h"
#include "imageio/BmpRows.h"
#include "Readers.h"
#include "util/FileIO.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace ostrel::testing {
namespace {

struct RowsCase {
    int width;
    int height;
    bool topDown;
    qint64 bandBytes; // 1: bands of three rows
};

const RowsCase kRowsCases[] = {
    {1, 1, false, 1},     {1, 1, true, 1},         {5, 7, false, 1},       {5, 7, true, 1},
    {3, 2, false, 1},     {33, 40, true, 1},       {33, 40, false, 1000},  {641, 97, false, 1},
    {641, 97, true, 1},   {1000, 300, false, BmpFileRows::kBandBytes}, {999, 301, true, 50000},
};

QImage noisePicture(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < width * 3; ++x)
            row[x] = uint8_t(random());
    }
    return picture;
}

qint64 strideOf(int width) { return (qint64(width) * 3 + 3) / 4 * 4; }

// The picture as a 24-bit file in either row order, its padding not zero.
QByteArray storedFile(const QImage& picture, bool topDown)
{
    QByteArray file = trueColourBmpHeaders(picture.width(), picture.height());
    if (topDown) {
        const int32_t negative = -picture.height();
        std::memcpy(file.data() + 22, &negative, 4);
    }
    const qint64 stride = strideOf(picture.width());
    for (int i = 0; i < picture.height(); ++i) {
        const int y = topDown ? i : picture.height() - 1 - i;
        QByteArray row(qsizetype(stride), char(0xA5));
        std::memcpy(row.data(), picture.constScanLine(y), size_t(picture.width()) * 3);
        file.append(row);
    }
    return file;
}

StoredBmpRows layoutOf(const QImage& picture, bool topDown)
{
    return {picture.width(), picture.height(), topDown, 54, strideOf(picture.width())};
}

class BmpRowsTest : public ::testing::TestWithParam<RowsCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const RowsCase& c = GetParam();
        m_picture = noisePicture(c.width, c.height, uint32_t(c.width * 7919 + c.height));
        m_path = m_dir.filePath(QStringLiteral("carrier.bmp"));
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(storedFile(m_picture, c.topDown));
        file.close();
        Result<OpenFile> opened = openRegularFile(m_path);
        ASSERT_TRUE(opened) << opened.error().toStdString();
        m_file.emplace(std::move(*opened));
    }

    BmpFileRows rows() { return BmpFileRows(*m_file, layoutOf(m_picture, GetParam().topDown), GetParam().bandBytes); }

    // What writing `stream` (with `directions`, when given, as changes of one)
    // gives through file rows, after an optional pass that only reads.
    QByteArray writtenThroughRows(const QByteArray& stream, const std::vector<uint64_t>* directions,
                                  bool readFirst = false)
    {
        BmpFileRows rows(*m_file, layoutOf(m_picture, GetParam().topDown), GetParam().bandBytes);
        const QString out = m_dir.filePath(QStringLiteral("out.bmp"));
        const Outcome written = writeFileAtomicallyPlaced(
            out,
            [&](const PlacedSink& sink) {
                rows.writeTo(sink);
                if (readFirst)
                    sealSalt(rows);
                TRandom random(0x1234567u, 0x89ABCDEu);
                CarrierWriter writer(rows, random, {});
                if (directions)
                    writer.moveValuesBy(*directions);
                writer.writeBytes(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()));
                writer.finish();
                return rows.finishWriting();
            });
        EXPECT_TRUE(written) << written.error().toStdString();
        EXPECT_TRUE(rows.intact());
        QFile file(out);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray writtenInMemory(const QByteArray& stream, const std::vector<uint64_t>* directions)
    {
        QImage picture = m_picture.copy();
        TRandom random(0x1234567u, 0x89ABCDEu);
        CarrierWriter writer(picture, random, {});
        if (directions)
            writer.moveValuesBy(*directions);
        writer.writeBytes(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()));
        writer.finish();
        return encodeBmp24(picture).value_or(QByteArray());
    }

    // A stream filling about half of the picture's room.
    QByteArray stream() const
    {
        std::mt19937 random(7);
        QByteArray bytes(qsizetype(std::max<int64_t>(int64_t(m_picture.width()) * m_picture.height() / 16, 1)),
                         Qt::Uninitialized);
        for (char& b : bytes)
            b = char(random());
        return bytes;
    }

    QTemporaryDir m_dir;
    QImage m_picture;
    QString m_path;
    std::optional<OpenFile> m_file;
};

TEST_P(BmpRowsTest, StreamWrittenThroughRowsGivesTheWholePicturesFile)
{
    const QByteArray bytes = stream();
    const QByteArray expected = writtenInMemory(bytes, nullptr);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(writtenThroughRows(bytes, nullptr), expected);
    // A pass that only reads (the sealed salt's) leaves nothing behind.
    EXPECT_EQ(writtenThroughRows(bytes, nullptr, true), expected);
}

TEST_P(BmpRowsTest, ChangesOfOneSeeTheSameNeighbours)
{
    // The moves look at the rows above and below; a band that lost one
    // would move values the other way.
    const QByteArray bytes = stream();
    std::mt19937_64 random(11);
    std::vector<uint64_t> directions(size_t(bytes.size() / 8 + 1));
    for (uint64_t& word : directions)
        word = random();
    const QByteArray expected = writtenInMemory(bytes, &directions);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(writtenThroughRows(bytes, &directions), expected);
}

TEST_P(BmpRowsTest, ReadingAndSaltMatchThePicture)
{
    BmpFileRows banded = rows();
    EXPECT_EQ(sealSalt(banded), sealSalt(m_picture));
    // Past the last pixel the reader keeps reading the last row.
    const size_t size = size_t(int64_t(m_picture.width()) * m_picture.height() / 8 + 24);
    std::vector<uint8_t> fromRows(size), fromPicture(size);
    TRandom first(99u, 7u), second(99u, 7u);
    CarrierReader(banded, first).readBytes(fromRows.data(), size);
    CarrierReader(m_picture, second).readBytes(fromPicture.data(), size);
    EXPECT_EQ(fromRows, fromPicture);
    EXPECT_TRUE(banded.intact());
}

INSTANTIATE_TEST_SUITE_P(Layouts, BmpRowsTest, ::testing::ValuesIn(kRowsCases));

TEST(BmpFileRows, AFileShortenedWhileReadShows)
{
    QTemporaryDir dir;
    const QImage picture = noisePicture(100, 200, 5);
    for (const bool topDown : {false, true}) {
        const QString path = dir.filePath(QStringLiteral("short.bmp"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(storedFile(picture, topDown));
        file.close();
        const Result<OpenFile> opened = openRegularFile(path);
        ASSERT_TRUE(opened);
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), 54 + 300 * 100), 0);
        BmpFileRows rows(*opened, layoutOf(picture, topDown), 1);
        bool zerosWhereMissing = true;
        for (int y = 0; y < picture.height(); ++y) {
            const uint8_t* row = rows.row(y);
            const int storedIndex = topDown ? y : picture.height() - 1 - y;
            if (storedIndex >= 100)
                zerosWhereMissing &= std::all_of(row, row + 300, [](uint8_t b) { return b == 0; });
        }
        EXPECT_FALSE(rows.intact()) << "top-down " << topDown;
        EXPECT_TRUE(zerosWhereMissing) << "top-down " << topDown;
    }
}

TEST(BmpFileRows, OnlyUncompressedTrueColourFilesWithAllTheirRowsAreReadInBands)
{
    const QImage picture = noisePicture(301, 100, 3); // rows of 904 bytes, 90 KiB
    const QByteArray bottomUp = storedFile(picture, false);
    const QByteArray head = bottomUp.left(64 * 1024);
    const std::optional<StoredBmpRows> layout = storedTrueColourRows(head, bottomUp.size());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->width, 301);
    EXPECT_EQ(layout->height, 100);
    EXPECT_FALSE(layout->topDown);
    EXPECT_EQ(layout->dataStart, 54);
    EXPECT_EQ(layout->stride, 904);
    const std::optional<StoredBmpRows> topDown = storedTrueColourRows(storedFile(picture, true).left(64 * 1024),
                                                                      bottomUp.size());
    ASSERT_TRUE(topDown);
    EXPECT_TRUE(topDown->topDown);
    // The last row's padding may be missing, as the reader allows; no more.
    EXPECT_TRUE(storedTrueColourRows(head, bottomUp.size() - 1));
    EXPECT_FALSE(storedTrueColourRows(head, bottomUp.size() - 5));
    // Small files are read whole anyway.
    const QImage small = noisePicture(20, 20, 4);
    const QByteArray smallFile = storedFile(small, false);
    EXPECT_FALSE(storedTrueColourRows(smallFile, smallFile.size()));
    // Other depths and codings are not rows as stored.
    QByteArray paletted = head;
    paletted[28] = 8;
    EXPECT_FALSE(storedTrueColourRows(paletted, bottomUp.size()));
    QByteArray compressed = head;
    compressed[30] = 1;
    EXPECT_FALSE(storedTrueColourRows(compressed, bottomUp.size()));
}

} // namespace
} // namespace ostrel::testing
