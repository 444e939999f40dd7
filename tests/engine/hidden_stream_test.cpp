// SPDX-License-Identifier: Apache-2.0
// The engine below the file-reading entry points: the plan of an encode, and
// the stream written into and read from pixels in memory, with no file.
#include "EngineTestSupport.h"
#include "engine/EncodePlan.h"
#include "engine/HiddenStream.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const QString kTimes = QString(QChar(0x00D7));

EncodeRequest requestFor(const QString& name, int64_t size)
{
    EncodeRequest request;
    request.payloadPath = QStringLiteral("/in/") + name;
    request.fileName = name;
    request.dateTime = kStamp;
    request.payloadSize = size;
    return request;
}

} // namespace

TEST(EncodePlan, LinesAndRefusalsOfEachKind)
{
    TPaletteArray evenOnly{};
    evenOnly[1] = colorValue(0, 0, 128);
    TPaletteArray bothParities = evenOnly;
    bothParities[2] = colorValue(0, 0, 129);
    const QString size320 = QStringLiteral("Image Size: 320") + kTimes + QStringLiteral("240 Pixels");
    struct Case {
        const char* what;
        QString name;
        int64_t size;
        const TPaletteArray* palette;
        int32_t count;
        bool accepted;
        QStringList lines;
    };
    const Case cases[] = {
        // Header 6 + 9 + 20 + 4 = 39 bytes and a checksum of 4: 9600 - 43 = 9557 bytes fit.
        {"the largest payload", "fits.txt", 9557, nullptr, kTrueColourCount, true,
         {size320, "File Size: 9557 Bytes", "Space Required: 76800 Bits", "Space Available: 76800 Bits"}},
        {"one byte more", "over.txt", 9558, nullptr, kTrueColourCount, false,
         {size320, "File Size: 9558 Bytes", "Space Required: 76808 Bits", "Space Available: 76800 Bits",
          "Insufficient Space to Encode File."}},
        {"an empty payload", "fits.txt", 0, nullptr, kTrueColourCount, true,
         {size320, "File Size: 0 Bytes", "Space Required: 344 Bits", "Space Available: 76800 Bits"}},
        {"a palette of both parities", "fits.txt", 10, &bothParities, 3, true,
         {size320, "File Size: 10 Bytes", "Space Required: 424 Bits", "Space Available: 76800 Bits"}},
        {"a palette of one parity", "fits.txt", 10, &evenOnly, 2, false,
         {"ERROR: The palette needs colours with both even and odd blue values."}},
        {"a name the reader cannot take", QString(201, QLatin1Char('n')), 10, nullptr, kTrueColourCount, false,
         {"ERROR: File name longer than 200 Bytes cannot be stored."}},
        {"a size the field cannot hold", "fits.txt", int64_t(1) << 31, nullptr, kTrueColourCount, false,
         {"ERROR: /in/fits.txt holds 2147483648 Bytes; at most 2147483647 Bytes can be hidden."}},
    };
    const QImage picture = randomPicture(320, 240, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EncodeRequest request = requestFor(c.name, c.size);
        request.palette = c.palette;
        request.paletteCount = c.count;
        const EncodePlan plan = planEncode(picture, request);
        EXPECT_EQ(plan.accepted, c.accepted);
        EXPECT_EQ(plan.lines, c.lines);
        if (c.accepted) {
            EXPECT_EQ(plan.header, streamFor(c.name.toLatin1(), kStamp.toLatin1(), QByteArray(), c.size)
                                       .left(plan.header.size()));
            EXPECT_EQ(plan.streamLength, plan.header.size() + c.size + 4);
        }
    }
}

TEST(EncodePlan, StoredDateTimeTextsFitTheReader)
{
    EXPECT_EQ(storableDateTime(kStamp), kStamp);
    EXPECT_EQ(storableDateTime(QStringLiteral("a") + QChar(0) + QStringLiteral("b")), QStringLiteral("ab"));
    // 30 CJK characters are 90 bytes of UTF-8; the reader takes at most 50.
    EXPECT_EQ(storableDateTime(QString(30, QChar(0x6642))), QString(16, QChar(0x6642)));
}

// What the writer puts into the pixels is the format, bit for bit, and the
// reader gets every field back; damaged or foreign pictures end in their own
// outcome.
TEST(HiddenStream, WritesTheFormatAndReadsItBack)
{
    const uint64_t key = HashPassword("stream");
    const QByteArray payload = randomBytes(500, 2);
    const QByteArray header = payloadHeader("in memory.bin", kStamp.toLatin1(), uint32_t(payload.size()));
    const QImage before = randomPicture(123, 45, 3); // rows and 64-pixel words never line up
    QImage picture = before;
    const int64_t written =
        writeHiddenStream(picture, header, payload, uint32_t(key), uint32_t(key >> 32), CarrierStyle{}, {});
    const QByteArray stream = streamFor("in memory.bin", kStamp.toLatin1(), payload);
    EXPECT_EQ(written, stream.size());
    EXPECT_EQ(carrierBits(picture), expectedCarrierBits(123 * 45, key, stream));

    const HiddenPayload found = readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32));
    EXPECT_EQ(found.outcome, HiddenPayload::Outcome::Intact);
    EXPECT_EQ(found.name, QByteArray("in memory.bin"));
    EXPECT_EQ(found.dateTime, kStamp.toLatin1());
    EXPECT_EQ(found.payloadSize, payload.size());
    EXPECT_EQ(found.payload, payload);

    using Outcome = HiddenPayload::Outcome;
    QImage flipped = picture;
    flipped.scanLine(10)[40 * 3] ^= 1; // pixel 1270: inside the payload
    QImage zeroSize = before;
    embedByBits(zeroSize, key, streamFor("z", "now", QByteArray()));
    QImage claimsTooMuch = before;
    embedByBits(claimsTooMuch, key, streamFor("big", "now", QByteArray(10, 'x'), 123 * 45 / 8));
    struct Case {
        const char* what;
        const QImage* picture;
        uint64_t key;
        Outcome outcome;
    };
    const Case cases[] = {
        {"another password", &picture, HashPassword("Stream"), Outcome::NoData},
        {"a picture without data", &before, key, Outcome::NoData},
        {"one flipped bit", &flipped, key, Outcome::ChecksumFailed},
        {"an empty payload", &zeroSize, key, Outcome::SizeNotPositive},
        {"a size larger than the picture", &claimsTooMuch, key, Outcome::SizeTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HiddenPayload other = readHiddenStream(*c.picture, uint32_t(c.key), uint32_t(c.key >> 32));
        EXPECT_EQ(other.outcome, c.outcome);
        EXPECT_TRUE(other.payload.isEmpty());
    }
}

TEST(HiddenStream, PaletteModeMatchesTheModelAndReadsBack)
{
    int32_t count = 0;
    const TPaletteArray palette = basePalette(count, true);
    const uint64_t key = HashPassword("palette");
    const QByteArray payload = randomBytes(60, 4);
    const QByteArray header = payloadHeader("p.bin", kStamp.toLatin1(), uint32_t(payload.size()));
    for (bool dither : {false, true}) {
        SCOPED_TRACE(dither ? "dithered" : "nearest");
        const QImage carrier = randomPicture(50, 30, 5);
        QImage picture = carrier;
        CarrierStyle style;
        style.palette = &palette;
        style.paletteCount = count;
        style.dither = dither;
        writeHiddenStream(picture, header, payload, uint32_t(key), uint32_t(key >> 32), style, {});
        QImage model = carrier;
        embedInPaletteByBits(model, palette, count, dither, key, streamFor("p.bin", kStamp.toLatin1(), payload));
        EXPECT_EQ(picture, model);
        EXPECT_EQ(readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32)).payload, payload);
    }
}
