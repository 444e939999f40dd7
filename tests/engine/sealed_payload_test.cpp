// SPDX-License-Identifier: Apache-2.0
#include "EngineTestSupport.h"
#include "engine/Decoder.h"
#include "engine/Encoder.h"
#include "engine/Seal.h"
#include "engine/SealedPayload.h"
#include "util/Text.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const QByteArray kPassword = "correct horse";
const QString kNoPayload = QStringLiteral("Image does NOT appear to contain encoded data.");

// Stream header and checksum around a sealed payload: "START\0", the name
// "sealed.ostrel" and its zero, an empty date-time and its zero, the size, the sum.
constexpr int64_t kOuterBytes = 6 + 14 + 1 + 4 + 4;

class SealedPayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_in = m_dir.path() + QStringLiteral("/in/");
        m_out = m_dir.path() + QStringLiteral("/out/");
    }

    bool seal(QImage& picture, const QString& name, const QByteArray& bytes, ReportList* report = nullptr,
              const QByteArray& password = kPassword)
    {
        return encodeSealedPayload(picture, writeFile(m_in, name, bytes), password, report, {}, kStamp);
    }

    bool decode(QImage& picture, const QByteArray& password, ReportList* report = nullptr, QString* path = nullptr)
    {
        QString outputPath;
        const bool ok = decodePayloadWithPassword(picture, m_out, outputPath, report, password);
        if (path)
            *path = outputPath;
        return ok;
    }

    // The container as any decoder of the format gets it, with the password seal-key prints.
    QByteArray containerThroughTheFormat(QImage picture, const SealKeys& keys)
    {
        const QString folder = m_dir.path() + QStringLiteral("/format/");
        QString path;
        const auto key = HashPassword(formatPasswordForKey(keys.formatKey));
        EXPECT_TRUE(decodePayloadInto(picture, folder, path, nullptr, uint32_t(key), uint32_t(key >> 32)));
        EXPECT_EQ(path, folder + QLatin1String(kSealedStreamName));
        return readFile(path);
    }

    QTemporaryDir m_dir;
    QString m_in, m_out;
};

} // namespace

TEST_F(SealedPayloadTest, RoundTripsUnderTheSealedNameWhileTheStreamShowsNone)
{
    struct Case {
        QString name;
        int payloadSize, width, height;
    };
    const Case cases[] = {
        {QStringLiteral("empty.txt"), 0, 40, 30},
        {QStringLiteral("report.pdf"), 1000, 320, 240},
        {QStringLiteral("caf\u00E9 \u00F1\u00FC.txt"), 8, 37, 33},                // Windows-1252 name, odd width
        {QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442 \u6587.dat"), 77, 9, 300}, // stored as UTF-8
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QByteArray payload = randomBytes(size_t(c.payloadSize), seed++);
        QImage picture = randomPicture(c.width, c.height, seed++);
        const QImage original = picture;
        ReportList report;
        ASSERT_TRUE(seal(picture, c.name, payload, &report)) << report.join('\n').toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("Sealed: %1 Bytes in a container of %2 Bytes that only the "
                                                   "password opens")
                                        .arg(c.payloadSize)
                                        .arg(int(kSealOverheadBytes) + toAnsiBytes(c.name).size() + 19
                                             + c.payloadSize)))
            << report.join('\n').toStdString();
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width * 3; ++x)
                ASSERT_EQ(picture.constScanLine(y)[x] | (x % 3 == 0), original.constScanLine(y)[x] | (x % 3 == 0))
                    << "only bit 0 of blue changes";

        QString path;
        ReportList decodeReport;
        ASSERT_TRUE(decode(picture, kPassword, &decodeReport, &path)) << decodeReport.join('\n').toStdString();
        EXPECT_EQ(path, m_out + c.name);
        EXPECT_EQ(readFile(path), payload);
        EXPECT_TRUE(decodeReport.contains(QStringLiteral("Filename: ") + c.name));
        EXPECT_TRUE(decodeReport.contains(QStringLiteral("Date/Time: ") + kStamp));

        // The stream itself names neither the file nor the time, and its
        // content opens only with the sealing key.
        const auto keys = deriveSealKeys(kPassword, sealSalt(picture));
        ASSERT_TRUE(keys);
        const QByteArray container = containerThroughTheFormat(picture, *keys);
        EXPECT_FALSE(container.contains(toAnsiBytes(c.name)));
        const OpenedSeal opened = openContainer(container, keys->sealingKey);
        ASSERT_EQ(opened.status, SealOpenStatus::Opened);
        EXPECT_EQ(opened.file.bytes, payload);
        QFile::remove(path);
    }
}

TEST_F(SealedPayloadTest, FillsThePictureToCapacityAndNoFurther)
{
    const QString name = QStringLiteral("full.bin"); // 8 bytes of name, 19 of date-time
    const int64_t capacity = 320 * 240 / 8 - kOuterBytes - int64_t(kSealOverheadBytes) - 8 - 19;
    for (const int64_t size : {capacity, capacity + 1}) {
        SCOPED_TRACE(size);
        QImage picture = randomPicture(320, 240, 5);
        const QImage original = picture;
        const QByteArray payload = randomBytes(size_t(size), 6);
        ReportList report;
        const bool fits = size == capacity;
        ASSERT_EQ(seal(picture, name, payload, &report), fits) << report.join('\n').toStdString();
        if (!fits) {
            EXPECT_EQ(report.last(), QStringLiteral("Insufficient Space to Encode File."));
            EXPECT_TRUE(picture == original);
            continue;
        }
        QString path;
        ASSERT_TRUE(decode(picture, kPassword, nullptr, &path));
        EXPECT_EQ(readFile(path), payload);
    }
}

TEST_F(SealedPayloadTest, OrdinaryPicturesStillDecodeWithTheirPassword)
{
    QImage picture = randomPicture(100, 80, 9);
    const uint64_t key = HashPassword(kPassword);
    const QByteArray payload = randomBytes(200, 10);
    ASSERT_TRUE(encodePayloadStamped(picture, TPaletteArray{}, kTrueColourCount, {}, nullptr, uint32_t(key),
                                     uint32_t(key >> 32), writeFile(m_in, QStringLiteral("plain.bin"), payload),
                                     false, kStamp));
    QString path;
    ReportList report;
    ASSERT_TRUE(decode(picture, kPassword, &report, &path));
    EXPECT_EQ(readFile(path), payload);
    EXPECT_TRUE(report.contains(QStringLiteral("Check Sum is OK")));
}

// A sealed name can hold any byte, NUL included (sealed by the tests' own
// container writer): the file is written under a name with those made '_'
// beside what was there, and the report shows the stored name escaped.
TEST_F(SealedPayloadTest, HostileSealedNamesGetASafeName)
{
    struct Case {
        QByteArray sealed;
        QString safe, shown;
    };
    const Case cases[] = {
        {QByteArray("evil\0.txt\xE2\x80\xAEgpj", 15), QStringLiteral("evil_.txt_gpj"),
         QStringLiteral("evil\\x00.txt\\u202egpj")},
        {"../../up\x1b]0;t\x07", QStringLiteral("up_]0;t_"), QStringLiteral("../../up\\x1b]0;t\\x07")},
        {"..", QStringLiteral("unnamed"), QStringLiteral("..")},
    };
    const QByteArray payload = randomBytes(40, 22);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.safe.toStdString());
        writeFile(m_out, QStringLiteral("evil"), "precious");
        QImage picture = randomPicture(120, 90, 21);
        ASSERT_TRUE(embedSealedByBits(picture, kPassword, {c.sealed, "now", payload}));

        ReportList report;
        QString path;
        ASSERT_TRUE(decode(picture, kPassword, &report, &path)) << report.join('\n').toStdString();
        EXPECT_EQ(path, m_out + c.safe);
        EXPECT_EQ(readFile(m_out + c.safe), payload);
        EXPECT_EQ(readFile(m_out + QStringLiteral("evil")), QByteArray("precious"));
        EXPECT_TRUE(report.contains(QStringLiteral("Filename: ") + c.shown)) << report.join('\n').toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("Saving To: ") + m_out + c.safe));
        QFile::remove(path);
    }
}

// Every way a sealed decode can fail ends with its reason and writes nothing.
TEST_F(SealedPayloadTest, FailuresWriteNothing)
{
    QImage sealed = randomPicture(120, 90, 11);
    ASSERT_TRUE(seal(sealed, QStringLiteral("secret.txt"), randomBytes(300, 12)));
    const auto keys = deriveSealKeys(kPassword, sealSalt(sealed));
    ASSERT_TRUE(keys);
    const QByteArray container = containerThroughTheFormat(sealed, *keys);

    // A container with one byte changed, hidden again with a correct stream
    // checksum: only the seal can tell.
    auto rehidden = [&](QByteArray bytes) {
        QImage picture = sealed;
        const QString path = writeFile(m_dir.path() + QStringLiteral("/tampered/"), QLatin1String(kSealedStreamName),
                                       bytes);
        EXPECT_TRUE(encodePayloadStamped(picture, TPaletteArray{}, kTrueColourCount, {}, nullptr,
                                         uint32_t(keys->formatKey), uint32_t(keys->formatKey >> 32), path, false,
                                         QString()));
        return picture;
    };
    QByteArray flippedCipher = container;
    flippedCipher[40] = char(flippedCipher[40] ^ 0x04);
    QByteArray flippedTag = container;
    flippedTag[flippedTag.size() - 1] = char(flippedTag[flippedTag.size() - 1] ^ 0x80);
    QImage flippedBit = sealed;
    flippedBit.scanLine(300 / 120)[300 % 120 * 3] ^= 1; // carried bit 300 lies inside the container

    const struct {
        const char* what;
        QImage picture;
        QByteArray password;
        QString lastLine;
    } cases[] = {
        {"container byte changed", rehidden(flippedCipher), kPassword,
         QStringLiteral("ERROR: The sealed file does not open: the picture has been changed.")},
        {"tag byte changed", rehidden(flippedTag), kPassword,
         QStringLiteral("ERROR: The sealed file does not open: the picture has been changed.")},
        {"carried bit changed", flippedBit, kPassword, QStringLiteral("ERROR: Check Sum Failed")},
        {"wrong password", sealed, "correct horse!", kNoPayload},
        {"unrelated picture", randomPicture(120, 90, 13), kPassword, kNoPayload},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture = c.picture;
        ReportList report;
        QString path;
        EXPECT_FALSE(decode(picture, c.password, &report, &path));
        ASSERT_FALSE(report.isEmpty());
        EXPECT_EQ(report.last(), c.lastLine);
        EXPECT_TRUE(entriesIn(m_out).isEmpty()) << entriesIn(m_out).join(' ').toStdString();
    }
}

TEST_F(SealedPayloadTest, RefusalsLeaveThePictureAlone)
{
    const QImage original = randomPicture(64, 48, 14);
    const struct {
        const char* what;
        QString payloadPath;
        QImage picture;
        QString lastLine;
    } cases[] = {
        {"no payload file", m_in + QStringLiteral("missing.bin"), original, QStringLiteral("File not Found")},
        {"name too long", writeFile(m_in, QString(201, QLatin1Char('n')), "x"), original,
         QStringLiteral("ERROR: File name longer than 200 Bytes cannot be stored.")},
        {"too small a picture", writeFile(m_in, QStringLiteral("a.bin"), "x"), randomPicture(8, 8, 15),
         QStringLiteral("Insufficient Space to Encode File.")},
        {"no picture", writeFile(m_in, QStringLiteral("b.bin"), "x"), QImage(), QStringLiteral("Bitmap Not Assigned")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture = c.picture;
        ReportList report;
        EXPECT_FALSE(encodeSealedPayload(picture, c.payloadPath, kPassword, &report, {}, kStamp));
        ASSERT_FALSE(report.isEmpty());
        EXPECT_EQ(report.last(), c.lastLine);
        EXPECT_TRUE(picture == c.picture);
    }
}
