// SPDX-License-Identifier: Apache-2.0
#include "EngineTestSupport.h"
#include "data/TempPathUnit.h"
#include "engine/Decoder.h"
#include "engine/Encoder.h"
#include "support/Posix.h"
#include "util/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace ostrel;
using namespace ostrel::test;
using ostrel::testing::ScopedEnvironment;

namespace {

const QString kTimes = QString(QChar(0x00D7));

class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_in = m_dir.path() + QStringLiteral("/in/");
        m_out = m_dir.path() + QStringLiteral("/out/");
        QDir().mkpath(m_in);
        QDir().mkpath(m_out);
    }

    bool encode(QImage& picture, const QString& payloadPath, uint64_t key, ReportList* report = nullptr,
                const TProgressProc& progress = {})
    {
        const TPaletteArray none{};
        return encodePayloadStamped(picture, none, kTrueColourCount, progress, report, uint32_t(key),
                                    uint32_t(key >> 32), payloadPath, false, kStamp);
    }

    bool decode(QImage& picture, uint64_t key, ReportList* report = nullptr, QString* path = nullptr)
    {
        QString outputPath;
        const bool ok = decodePayloadInto(picture, m_out, outputPath, report, uint32_t(key), uint32_t(key >> 32));
        if (path)
            *path = outputPath;
        return ok;
    }

    QString sizeLine(const QImage& picture) const
    {
        return QStringLiteral("Image Size: %1%2%3 Pixels").arg(picture.width()).arg(kTimes).arg(picture.height());
    }

    QTemporaryDir m_dir;
    QString m_in, m_out;
    const uint64_t m_key = HashPassword("secret");
};

} // namespace

TEST_F(PayloadTest, RoundTripsByteForByteUnderItsName)
{
    struct Case {
        QString name;
        int payloadSize, width, height;
    };
    const Case cases[] = {
        {QStringLiteral("payload.bin"), 1000, 320, 240},
        {QStringLiteral("one.txt"), 1, 37, 23},                               // odd width: rows end mid-word
        {QStringLiteral("caf\u00E9 \u00F1\u00FC.txt"), 8, 9, 71},             // Windows-1252 name
        {QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442.txt"), 9, 1, 900}, // Cyrillic name; one pixel a row
        {QStringLiteral("\u6587\u4EF6 \u20AC.dat"), 777, 7000, 1},             // one long row
        {QStringLiteral("a b,c;d=e.f.g"), 4096, 512, 70},
        {QStringLiteral("wide.bin"), 9000, 40000, 2},                         // wider than 32768 columns
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QByteArray payload = randomBytes(size_t(c.payloadSize), seed++);
        const QString path = writeFile(m_in, c.name, payload);
        QImage picture = randomPicture(c.width, c.height, seed++);
        ReportList encodeReport;
        ASSERT_TRUE(encode(picture, path, m_key, &encodeReport));
        const int64_t stream = streamFor(toAnsiBytes(c.name), kStamp.toLatin1(), payload).size();
        EXPECT_EQ(encodeReport,
                  QStringList({QStringLiteral("Encoding: ") + path, QStringLiteral("Date/Time: ") + kStamp,
                               sizeLine(picture), QStringLiteral("File Size: %1 Bytes").arg(c.payloadSize),
                               QStringLiteral("Space Required: %1 Bits").arg(stream * 8),
                               QStringLiteral("Space Available: %1 Bits").arg(int64_t(c.width) * c.height),
                               QStringLiteral("File Encode: Successful, Bytes Encoded: %1").arg(stream)}));

        ReportList decodeReport;
        QString outputPath;
        ASSERT_TRUE(decode(picture, m_key, &decodeReport, &outputPath)) << decodeReport.join('\n').toStdString();
        EXPECT_EQ(outputPath, m_out + c.name);
        EXPECT_EQ(readFile(m_out + c.name), payload);
        EXPECT_EQ(decodeReport,
                  QStringList({sizeLine(picture), QStringLiteral("Image appears to contain encoded data."),
                               QStringLiteral("Filename: ") + c.name, QStringLiteral("Date/Time: ") + kStamp,
                               QStringLiteral("File Size: %1").arg(c.payloadSize),
                               QStringLiteral("Saving To: ") + m_out + c.name, QStringLiteral("Check Sum is OK")}));
    }
}

TEST_F(PayloadTest, TrueColourRunRewritesOnlyBitZeroOfBlueOfEveryPixel)
{
    const QByteArray payload = randomBytes(300, 5);
    const QString path = writeFile(m_in, QStringLiteral("bits.bin"), payload);
    // 101 columns so that rows and 64-pixel words never line up.
    const QImage before = randomPicture(101, 43, 6);
    QImage picture = before;
    ASSERT_TRUE(encode(picture, path, m_key));

    const std::vector<uint8_t> expected =
        expectedCarrierBits(101 * 43, m_key, streamFor("bits.bin", kStamp.toLatin1(), payload));
    size_t k = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x, ++k) {
            const uint8_t* now = picture.constScanLine(y) + x * 3;
            const uint8_t* was = before.constScanLine(y) + x * 3;
            ASSERT_EQ(now[0] & 1, expected[k]) << "pixel " << x << "," << y;
            ASSERT_EQ(now[0] >> 1, was[0] >> 1) << "pixel " << x << "," << y;
            ASSERT_EQ(now[1], was[1]);
            ASSERT_EQ(now[2], was[2]);
        }
}

TEST_F(PayloadTest, EmptyPasswordStartsWithTheFixedPattern)
{
    // The magic combined with the first 48 keystream bits of key 0, whatever the payload.
    const char* expected = "00010000" "00010001" "00101111" "11111011" "11100111" "11100010";
    for (int size : {1, 50}) {
        const QString path = writeFile(m_in, QStringLiteral("p%1").arg(size), randomBytes(size_t(size), 9));
        QImage picture = randomPicture(64, 16, 10);
        ASSERT_TRUE(encode(picture, path, HashPassword("")));
        const std::vector<uint8_t> bits = carrierBits(picture);
        for (int i = 0; i < 48; ++i)
            EXPECT_EQ(bits[i], expected[i] - '0') << "bit " << i;
    }
}

TEST_F(PayloadTest, DecodesWhatTheFormatDescribesBitByBit)
{
    // Written one pixel at a time from the layout alone, not by the encoder.
    const QByteArray payload = randomBytes(123, 11);
    QImage picture = randomPicture(77, 31, 12);
    embedByBits(picture, m_key, streamFor("model.dat", "yesterday", payload));
    ReportList report;
    ASSERT_TRUE(decode(picture, m_key, &report));
    EXPECT_EQ(readFile(m_out + "model.dat"), payload);
    EXPECT_TRUE(report.contains(QStringLiteral("Date/Time: yesterday")));
}

TEST_F(PayloadTest, CapacityOf320By240WithAnEightCharacterName)
{
    // Header 6 + 9 + 20 + 4 = 39 bytes, checksum 4: 9600 - 43 = 9557 bytes fit.
    const QString fits = writeFile(m_in, QStringLiteral("fits.txt"), randomBytes(9557, 13));
    const QString over = writeFile(m_in + "more/", QStringLiteral("over.txt"), randomBytes(9558, 14));
    QImage picture = randomPicture(320, 240, 15);
    ReportList report;
    EXPECT_TRUE(encode(picture, fits, m_key, &report));
    EXPECT_EQ(report.value(4), QStringLiteral("Space Required: 76800 Bits"));
    EXPECT_TRUE(decode(picture, m_key));
    EXPECT_EQ(readFile(m_out + "fits.txt"), readFile(fits));

    const QImage before = picture;
    report.clear();
    EXPECT_FALSE(encode(picture, over, m_key, &report));
    EXPECT_EQ(report.mid(4), QStringList({QStringLiteral("Space Required: 76808 Bits"),
                                          QStringLiteral("Space Available: 76800 Bits"),
                                          QStringLiteral("Insufficient Space to Encode File.")}));
    EXPECT_EQ(picture, before);
}

TEST_F(PayloadTest, RefusedDecodesReportWhyAndWriteNothing)
{
    const QByteArray payload = randomBytes(2000, 16);
    const QString path = writeFile(m_in, QStringLiteral("secret.doc"), payload);
    QImage encoded = randomPicture(200, 200, 17);
    ASSERT_TRUE(encode(encoded, path, m_key));
    // A stored size of 0, which the encoder no longer writes.
    QImage encodedEmpty = randomPicture(200, 200, 18);
    embedByBits(encodedEmpty, m_key, streamFor("empty.doc", kStamp.toLatin1(), QByteArray()));

    QImage flipped = encoded;
    const int64_t payloadBit = (6 + 11 + 20 + 4 + 5) * 8 + 3; // inside the payload's sixth byte
    flipped.scanLine(int(payloadBit / 200))[payloadBit % 200 * 3] ^= 1;
    // Cut to 40 rows the picture keeps the header but has room for only 1000 - 41 - 4 bytes.
    QImage cropped = encoded.copy(0, 0, 200, 40);

    const QString notEncoded = QStringLiteral("Image does NOT appear to contain encoded data.");
    struct Case {
        const char* what;
        QImage* picture;
        uint64_t key;
        QString lastLine;
        int lineCount;
    };
    QImage plain = randomPicture(200, 200, 19);
    QImage tiny = randomPicture(3, 2, 20); // smaller than the header: reading repeats the last row
    const Case cases[] = {
        {"wrong password", &encoded, HashPassword("Secret"), notEncoded, 2},
        {"never encoded", &plain, m_key, notEncoded, 2},
        {"tiny picture", &tiny, m_key, notEncoded, 2},
        {"one payload bit changed", &flipped, m_key, QStringLiteral("ERROR: Check Sum Failed"), 7},
        {"empty payload", &encodedEmpty, m_key, QStringLiteral("ERROR: Payload Size less than or equal to zero."), 7},
        {"size beyond the picture", &cropped, m_key, QStringLiteral("ERROR: Payload Size larger than File Size."), 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage before = *c.picture;
        ReportList report;
        EXPECT_FALSE(decode(*c.picture, c.key, &report));
        EXPECT_EQ(report.size(), c.lineCount) << report.join('\n').toStdString();
        EXPECT_EQ(report.value(0), sizeLine(*c.picture));
        EXPECT_EQ(report.back(), c.lastLine);
        EXPECT_EQ(*c.picture, before) << "the decoder changed pixels";
        EXPECT_TRUE(entriesIn(m_out).isEmpty()) << entriesIn(m_out).join(' ').toStdString();
    }
}

TEST_F(PayloadTest, ConvertsAPictureInAnotherFormatFirst)
{
    const QByteArray payload = randomBytes(64, 21);
    const QString path = writeFile(m_in, QStringLiteral("c.bin"), payload);
    QImage picture = randomPicture(40, 30, 22).convertToFormat(QImage::Format_RGB32);
    ReportList report;
    ASSERT_TRUE(encode(picture, path, m_key, &report));
    EXPECT_EQ(picture.format(), kPictureFormat);
    EXPECT_EQ(report.value(2), QStringLiteral("Converting to 24-Bit"));
    EXPECT_EQ(report.value(3), sizeLine(picture));

    QImage other = picture.convertToFormat(QImage::Format_ARGB32);
    report.clear();
    ASSERT_TRUE(decode(other, m_key, &report));
    EXPECT_EQ(report.value(0), QStringLiteral("Converting to 24-Bit"));
    EXPECT_EQ(report.value(1), sizeLine(other));
    EXPECT_EQ(readFile(m_out + "c.bin"), payload);
}

TEST_F(PayloadTest, EncoderRefusalsLeaveThePictureAlone)
{
    const QString path = writeFile(m_in, QStringLiteral("x.bin"), randomBytes(10, 23));
    const QString longName = writeFile(m_in, QString(201, QLatin1Char('n')), QByteArrayLiteral("abc"));
    ASSERT_FALSE(longName.isEmpty());
    QFile huge(m_in + QStringLiteral("huge.bin"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(int64_t(1) << 31)); // sparse: 2^31 bytes do not fit the signed size field
    huge.close();

    struct Case {
        const char* what;
        QString payload;
        uint64_t key;
        QString lastLine;
    };
    const Case cases[] = {
        {"missing file", m_in + "absent.bin", m_key, QStringLiteral("File not Found")},
        {"a folder", m_in, m_key, QStringLiteral("File not Found")},
        {"unusable key", path, uint64_t(1) << 63, unusableKeyLine()},
        {"name too long", longName, m_key, QStringLiteral("ERROR: File name longer than 200 Bytes cannot be stored.")},
        {"payload of 2^31 bytes", huge.fileName(), m_key,
         QStringLiteral("ERROR: %1 holds 2147483648 Bytes; at most 2147483647 Bytes can be hidden.")
             .arg(huge.fileName())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture = randomPicture(30, 20, 24);
        const QImage before = picture;
        ReportList report;
        EXPECT_FALSE(encode(picture, c.payload, c.key, &report));
        EXPECT_EQ(report.back(), c.lastLine);
        EXPECT_EQ(picture, before);
    }

    QImage none;
    ReportList report;
    EXPECT_FALSE(encode(none, path, m_key, &report));
    EXPECT_EQ(report.back(), QStringLiteral("Bitmap Not Assigned"));
}

TEST_F(PayloadTest, UnreadablePayloadIsReportedNotThrown)
{
    // Reading this file fails with an input/output error at its very first byte.
    const QString unreadable = QStringLiteral("/proc/self/mem");
    if (!QFileInfo(unreadable).isFile())
        GTEST_SKIP() << "no file that fails to read";
    QImage picture = randomPicture(30, 20, 25);
    const QImage before = picture;
    ReportList report;
    EXPECT_FALSE(encode(picture, unreadable, m_key, &report));
    EXPECT_TRUE(report.back().startsWith(QStringLiteral("ERROR: Cannot read /proc/self/mem: ")))
        << report.back().toStdString();
    EXPECT_EQ(picture, before);
}

TEST_F(PayloadTest, UnusableKeyIsRefusedBeforeAnyWork)
{
    QImage picture = randomPicture(30, 20, 26).convertToFormat(QImage::Format_RGB32);
    const QImage before = picture;
    ReportList report;
    QString outputPath = QStringLiteral("stale");
    EXPECT_FALSE(decodePayloadInto(picture, m_out + "never/", outputPath, &report, 0, 0x80000000u));
    EXPECT_EQ(report, QStringList({unusableKeyLine()}));
    EXPECT_TRUE(outputPath.isEmpty());
    EXPECT_EQ(picture, before); // not even converted
    EXPECT_FALSE(QFileInfo::exists(m_out + "never"));
}

TEST_F(PayloadTest, StoredNamesAreReducedToTheirLastComponent)
{
    struct Case {
        QString stored, usable;
    };
    const Case cases[] = {
        {QStringLiteral("plain.txt"), QStringLiteral("plain.txt")},
        {QStringLiteral("../../escape.txt"), QStringLiteral("escape.txt")},
        {QStringLiteral("..\\..\\windows.txt"), QStringLiteral("windows.txt")},
        {QStringLiteral("/etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("a\\b/c"), QStringLiteral("c")},
        {QStringLiteral("C:report.txt"), QStringLiteral("C:report.txt")},
        {QStringLiteral("..."), QStringLiteral("...")},
        {QStringLiteral(""), QStringLiteral("unnamed")},
        {QStringLiteral("."), QStringLiteral("unnamed")},
        {QStringLiteral(".."), QStringLiteral("unnamed")},
        {QStringLiteral("folder/"), QStringLiteral("unnamed")},
        {QStringLiteral("x\\.."), QStringLiteral("unnamed")},
        {QString::fromUtf16(u"evil\0.txt", 9), QStringLiteral("evil_.txt")},
        {QStringLiteral("bell\a\x1b[2Jname\r\n"), QStringLiteral("bell__[2Jname__")},
        {QString::fromUtf16(u"invoice\u202Efdp.exe"), QStringLiteral("invoice_fdp.exe")},
        {QString::fromUtf16(u"\u2066a\u2069\u200E\u200F\u061C\u0085"), QStringLiteral("_a_____")},
        {QStringLiteral("\x01"), QStringLiteral("_")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(usableStoredName(c.stored), c.usable) << c.stored.toStdString();
}

TEST_F(PayloadTest, HostileStoredNamesNeverLeaveTheFolder)
{
    const QByteArray payload = QByteArrayLiteral("pwned");
    struct Case {
        QByteArray stored;
        QString written; // empty: refused
    };
    const Case cases[] = {
        {"../outside.txt", QStringLiteral("outside.txt")},
        {"..\\..\\outside2.txt", QStringLiteral("outside2.txt")},
        {"..", QStringLiteral("unnamed")},
        {"", QStringLiteral("unnamed")},
        {"sub/", QStringLiteral("unnamed")},
        {"tab\there\x1b", QStringLiteral("tab_here_")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.constData());
        QImage picture = randomPicture(100, 40, 27);
        embedByBits(picture, m_key, streamFor(c.stored, "now", payload));
        ReportList report;
        ASSERT_TRUE(decode(picture, m_key, &report)) << report.join('\n').toStdString();
        EXPECT_EQ(entriesIn(m_out), QStringList{c.written});
        EXPECT_EQ(readFile(m_out + c.written), payload);
        EXPECT_TRUE(report.contains(QStringLiteral("Saving To: ") + m_out + c.written)) << report.join('\n').toStdString();
        QFile::remove(m_out + c.written);
        EXPECT_EQ(entriesIn(m_dir.path()), QStringList({"in", "out"}));
    }
}

TEST_F(PayloadTest, SavingReplacesFilesAndLinksButReportsWriteFailures)
{
    const QByteArray payload = randomBytes(50, 28);
    auto pictureHolding = [&](const QByteArray& name) {
        QImage picture = randomPicture(60, 30, 29);
        embedByBits(picture, m_key, streamFor(name, "now", payload));
        return picture;
    };

    // An older file of the same name is replaced.
    writeFile(m_out, QStringLiteral("same.bin"), QByteArrayLiteral("older and longer contents"));
    QImage same = pictureHolding("same.bin");
    EXPECT_TRUE(decode(same, m_key));
    EXPECT_EQ(readFile(m_out + "same.bin"), payload);

    // A link of that name pointing outside is replaced, not followed.
    const QString target = writeFile(m_dir.path() + "/elsewhere/", QStringLiteral("target"), "keep");
    ASSERT_TRUE(QFile::link(target, m_out + "linked.bin"));
    QImage linked = pictureHolding("linked.bin");
    EXPECT_TRUE(decode(linked, m_key));
    EXPECT_EQ(readFile(target), QByteArrayLiteral("keep"));
    EXPECT_FALSE(QFileInfo(m_out + "linked.bin").isSymLink());
    EXPECT_EQ(readFile(m_out + "linked.bin"), payload);

    // A folder in the way cannot be written over: false and a line naming the file.
    QDir().mkpath(m_out + "taken");
    QImage taken = pictureHolding("taken");
    ReportList report;
    EXPECT_FALSE(decode(taken, m_key, &report));
    EXPECT_EQ(report.value(report.size() - 2), QStringLiteral("Check Sum is OK"));
    EXPECT_TRUE(report.back().startsWith(QStringLiteral("ERROR: Cannot write ") + m_out + "taken"))
        << report.back().toStdString();
}

TEST_F(PayloadTest, DecodePayloadUsesTheDataFolderTree)
{
    const QByteArray payload = randomBytes(40, 30);
    QImage picture = randomPicture(60, 30, 31);
    embedByBits(picture, m_key, streamFor("tree.bin", "now", payload));

    clearDataFolders();
    ReportList report;
    QString outputPath;
    EXPECT_FALSE(DecodePayload(picture, outputPath, &report, uint32_t(m_key), uint32_t(m_key >> 32)));
    EXPECT_EQ(report, QStringList({QStringLiteral("Cannot create path: ") + decodeFolder()}));

    ASSERT_TRUE(createDataFoldersAt(m_dir.path() + "/DATA/"));
    report.clear();
    EXPECT_TRUE(DecodePayload(picture, outputPath, &report, uint32_t(m_key), uint32_t(m_key >> 32)));
    EXPECT_EQ(outputPath, decodeFolder() + "tree.bin");
    EXPECT_EQ(readFile(outputPath), payload);
    clearDataFolders();
}

// The tree in the temporary folder is checked again before a payload is
// written: swapped for a link to someone else's folder, it receives nothing,
// whether the picture is decoded by key or, as the desktop program does, by
// password.
TEST_F(PayloadTest, DecodePayloadWritesNothingIntoAReplacedPrivateFolder)
{
    const QByteArray payload = randomBytes(40, 32);
    QImage picture = randomPicture(60, 30, 33);
    embedByBits(picture, m_key, streamFor("secret.bin", "now", payload));
    using Decode = std::function<bool(QImage&, QString&, ReportList*)>;
    const std::pair<const char*, Decode> decoders[] = {
        {"by key",
         [&](QImage& p, QString& out, ReportList* r) { return DecodePayload(p, out, r, uint32_t(m_key), uint32_t(m_key >> 32)); }},
        {"by password",
         [](QImage& p, QString& out, ReportList* r) { return decodePayloadWithPassword(p, QString(), out, r, "secret"); }},
    };
    for (const auto& [name, decode] : decoders) {
        SCOPED_TRACE(name);
        const QString root = m_dir.path() + QLatin1Char('/') + QString::fromLatin1(name).replace(QLatin1Char(' '), QLatin1Char('-'));
        const QString blocked = writeFile(root + "/home/", QStringLiteral("ostrel"), "not a folder");
        const ScopedEnvironment dataHome("XDG_DATA_HOME", QFile::encodeName(QFileInfo(blocked).path()));
        const ScopedEnvironment temp("TMPDIR", QFile::encodeName(root + "/tmp"));
        QDir().mkpath(root + "/tmp");
        const bool created = CreateDataFolders();
        const QString own = root + QStringLiteral("/tmp/ostrel-%1").arg(::geteuid());
        const QString theirs = root + "/theirs";
        QDir().mkpath(theirs + "/DATA/STEGANOGRAPHY");
        const bool swapped = QDir().rename(own, root + "/cleaned") && QFile::link(theirs, own);

        ReportList report;
        QString outputPath;
        const bool decoded = decode(picture, outputPath, &report);
        clearDataFolders();
        ASSERT_TRUE(created && swapped);
        EXPECT_FALSE(decoded);
        ASSERT_FALSE(report.isEmpty());
        EXPECT_TRUE(report.back().contains(QStringLiteral("symbolic link"))) << report.back().toStdString();
        EXPECT_EQ(entriesIn(theirs + "/DATA/STEGANOGRAPHY"), QStringList());
    }
}

TEST_F(PayloadTest, ProgressIsCalledOncePerRow)
{
    const QString path = writeFile(m_in, QStringLiteral("p.bin"), randomBytes(20, 32));
    for (bool palette : {false, true}) {
        SCOPED_TRACE(palette ? "palette" : "true colour");
        QImage picture = randomPicture(100, 7, 33);
        std::vector<int32_t> seen;
        const TProgressProc progress = [&](int32_t value) { seen.push_back(value); };
        TPaletteArray colours{};
        std::copy(std::begin(kBaseColours), std::end(kBaseColours), colours.begin());
        ASSERT_TRUE(encodePayloadStamped(picture, colours, palette ? 16 : kTrueColourCount, progress, nullptr,
                                         uint32_t(m_key), uint32_t(m_key >> 32), path, false, kStamp));
        // (rows × 100 + 50) div 7 after each row, at most 100; -1 before the first.
        EXPECT_EQ(seen, (std::vector<int32_t>{-1, 21, 35, 50, 64, 78, 92, 100}));
    }
}

TEST_F(PayloadTest, LongDateTimeTextsAreCutSoTheyStayReadable)
{
    const QByteArray payload = randomBytes(30, 34);
    const QString path = writeFile(m_in, QStringLiteral("d.bin"), payload);
    // 30 CJK characters are 90 bytes of UTF-8; the reader takes at most 50.
    const QString longStamp = QString(30, QChar(0x6642));
    QImage picture = randomPicture(100, 100, 35);
    const TPaletteArray none{};
    ReportList report;
    ASSERT_TRUE(encodePayloadStamped(picture, none, kTrueColourCount, {}, &report, uint32_t(m_key),
                                     uint32_t(m_key >> 32), path, false, longStamp));
    EXPECT_EQ(report.value(1), QStringLiteral("Date/Time: ") + QString(16, QChar(0x6642)));
    ReportList decoded;
    ASSERT_TRUE(decode(picture, m_key, &decoded));
    EXPECT_TRUE(decoded.contains(QStringLiteral("Date/Time: ") + QString(16, QChar(0x6642))));
    EXPECT_EQ(readFile(m_out + "d.bin"), payload);
}
