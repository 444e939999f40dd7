// SPDX-License-Identifier: Apache-2.0
// The stealth mode: changed blue values move by one instead of having their
// lowest bit replaced, in directions that keep neighbouring pairs balanced,
// pixels after the stream keep their values, and every decoder still reads
// the stream.
#include "EngineTestSupport.h"
#include "detect/Detection.h"
#include "engine/Decoder.h"
#include "engine/Encoder.h"
#include "engine/HiddenStream.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

std::vector<uint64_t> randomWords(size_t count, uint32_t seed)
{
    std::mt19937_64 rng(seed);
    std::vector<uint64_t> words(count);
    for (uint64_t& w : words)
        w = rng();
    return words;
}

bool directionBit(const std::vector<uint64_t>& words, size_t k)
{
    return k / 64 < words.size() && ((words[k / 64] >> (k % 64)) & 1);
}

// Whether moving the blue value at (x, y) up or down by one would turn its
// neighbouring pairs alike: when every neighbour, as it stands at that
// moment, is two or more away. Neighbours before it in the stream have
// already taken their final values, the ones after it not yet.
bool bothDirectionsAlike(const QImage& before, const QImage& after, int x, int y)
{
    const int value = before.constScanLine(y)[x * 3];
    const auto far = [&](const QImage& picture, int nx, int ny) {
        return nx < 0 || ny < 0 || nx >= picture.width() || ny >= picture.height()
            || std::abs(int(picture.constScanLine(ny)[nx * 3]) - value) >= 2;
    };
    return far(after, x - 1, y) && far(after, x, y - 1) && far(before, x + 1, y) && far(before, x, y + 1);
}

// Writes `payload` stealthily and checks every pixel against the rule:
// stream pixels carry the format's bits, a blue value moves by one only
// where its bit was wrong (0 up, 255 down, and in its random direction
// where both directions turn its pairs alike), green and red never change,
// and nothing after the stream changes.
void expectStealthyPixels(const QImage& before, const QImage& after, uint64_t key, const QByteArray& stream,
                          const std::vector<uint64_t>& directions)
{
    const int64_t pixels = int64_t(before.width()) * before.height();
    const int64_t streamPixels = stream.size() * 8;
    const std::vector<uint8_t> wanted = expectedCarrierBits(pixels, key, stream);
    int64_t k = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x, ++k) {
            const uint8_t* was = before.constScanLine(y) + x * 3;
            const uint8_t* now = after.constScanLine(y) + x * 3;
            ASSERT_EQ(now[1], was[1]) << k;
            ASSERT_EQ(now[2], was[2]) << k;
            if (k >= streamPixels || (was[0] & 1) == wanted[size_t(k)]) {
                ASSERT_EQ(now[0], was[0]) << "pixel " << k << " of " << streamPixels;
                continue;
            }
            ASSERT_EQ(std::abs(int(now[0]) - int(was[0])), 1) << "pixel " << k;
            if (was[0] == 0 || was[0] == 255 || bothDirectionsAlike(before, after, x, y)) {
                const bool up = was[0] == 0 || (was[0] != 255 && directionBit(directions, size_t(k)));
                ASSERT_EQ(int(now[0]), int(was[0]) + (up ? 1 : -1)) << "pixel " << k;
            }
        }
}

} // namespace

TEST(Stealth, RoundTripsFromAnEmptyPayloadToCapacity)
{
    // 64 x 40 pixels hold 320 bytes; the header of "s.bin" and the stamp
    // take 36 and the checksum 4, so 280 bytes fit.
    const uint64_t key = HashPassword("quiet");
    const std::vector<uint64_t> directions = randomWords(40, 1);
    for (int size : {0, 1, 100, 279, 280}) {
        SCOPED_TRACE(size);
        const QByteArray payload = randomBytes(size_t(size), uint32_t(size) + 2);
        const QImage before = randomPicture(64, 40, uint32_t(size) + 3);
        QImage picture = before;
        CarrierStyle style;
        style.stealth = true;
        style.directions = directions;
        const QByteArray header = payloadHeader("s.bin", kStamp.toLatin1(), uint32_t(size));
        const int64_t written =
            writeHiddenStream(picture, header, payload, uint32_t(key), uint32_t(key >> 32), style, {});
        EXPECT_EQ(written, header.size() + size + 4);
        expectStealthyPixels(before, picture, key, streamFor("s.bin", kStamp.toLatin1(), payload), directions);

        // The reader takes it exactly as a normal encode (which refuses an empty payload).
        QImage normal = before;
        writeHiddenStream(normal, header, payload, uint32_t(key), uint32_t(key >> 32), CarrierStyle{}, {});
        const HiddenPayload found = readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32));
        const HiddenPayload expected = readHiddenStream(normal, uint32_t(key), uint32_t(key >> 32));
        EXPECT_EQ(found.outcome, size == 0 ? HiddenPayload::Outcome::SizeNotPositive : HiddenPayload::Outcome::Intact);
        EXPECT_EQ(found.outcome, expected.outcome);
        EXPECT_EQ(found.payload, payload.isEmpty() ? QByteArray() : payload);
        EXPECT_EQ(found.name, QByteArray("s.bin"));
    }
}

// Blue values 0 and 255 can move only one way, whatever the direction says;
// the values between follow it.
TEST(Stealth, ValuesAtTheEndsMoveInward)
{
    const uint64_t key = HashPassword("ends");
    const QByteArray payload = randomBytes(40, 9);
    const QByteArray header = payloadHeader("e", kStamp.toLatin1(), uint32_t(payload.size()));
    const QByteArray stream = streamFor("e", kStamp.toLatin1(), payload);
    QImage before = allocatePicture(33, 25);
    const uint8_t blues[] = {0, 255, 0, 255, 128, 1, 254};
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            uint8_t* p = before.scanLine(y) + x * 3;
            p[0] = blues[size_t(x + y) % std::size(blues)];
            p[1] = uint8_t(x);
            p[2] = uint8_t(y);
        }
    for (uint64_t all : {uint64_t(0), ~uint64_t(0)}) {
        SCOPED_TRACE(all ? "all up" : "all down");
        const std::vector<uint64_t> directions(size_t(stream.size()) / 8 + 1, all);
        QImage picture = before;
        CarrierStyle style;
        style.stealth = true;
        style.directions = directions;
        writeHiddenStream(picture, header, payload, uint32_t(key), uint32_t(key >> 32), style, {});
        expectStealthyPixels(before, picture, key, stream, directions);
        EXPECT_EQ(readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32)).payload, payload);
    }
}

// A photograph-like picture whose upper half is a bright sky: smooth blue
// values with a little noise, about a third of them clipped at 255. Values
// at 255 can only move down, and moving down into 254 looks exactly like a
// replaced bit; unless the free moves around them lean the other way, the
// detectors of replaced bits see the sky (moves in random directions raise
// both estimates by 0.05 at a tenth of the capacity and by 0.15 at 40 %).
QImage skyPicture(int width, int height, uint32_t seed)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    std::normal_distribution<double> grain(0.0, 1.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = picture.scanLine(y) + x * 3;
            const double shade = y < height / 2 ? 248.0 + 12.0 * std::sin(x / 19.0 + y / 23.0)
                                                : 110.0 + 50.0 * std::sin(x / 31.0) * std::cos(y / 17.0);
            p[0] = uint8_t(std::clamp(std::lround(shade + grain(rng)), 0L, 255L));
            p[1] = uint8_t(x);
            p[2] = uint8_t(y);
        }
    return picture;
}

TEST(Stealth, ClippedSkyKeepsTheDetectorsEstimates)
{
    const uint64_t key = HashPassword("sky");
    const QImage before = skyPicture(320, 240, 5);
    const auto blueEstimates = [](const QImage& picture) {
        return std::pair(figure(samplePairsAnalysis(picture), Channel::Blue),
                         figure(rsAnalysis(picture), Channel::Blue));
    };
    const auto [cleanPairs, cleanGroups] = blueEstimates(before);
    for (double share : {0.1, 0.4}) {
        SCOPED_TRACE(share);
        const QByteArray payload = randomBytes(size_t(share * 320 * 240 / 8), 17);
        const QByteArray header = payloadHeader("sky.bin", kStamp.toLatin1(), uint32_t(payload.size()));
        const std::vector<uint64_t> directions = randomWords(size_t(320 * 240 / 64), 6);
        QImage picture = before;
        CarrierStyle style;
        style.stealth = true;
        style.directions = directions;
        writeHiddenStream(picture, header, payload, uint32_t(key), uint32_t(key >> 32), style, {});
        const auto [pairs, groups] = blueEstimates(picture);
        EXPECT_NEAR(pairs, cleanPairs, 0.02);
        EXPECT_NEAR(groups, cleanGroups, 0.02);
        EXPECT_EQ(readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32)).payload, payload);
    }
}

// Through the named entry point: directions from the system's random source
// (so both occur), the report says so, the ordinary decoder reads it, and a
// palette is refused before any pixel changes.
TEST(Stealth, EncodePayloadWithDrawsDirectionsAndRefusesPalettes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray payload = randomBytes(600, 11);
    const QString path = writeFile(dir.path(), QStringLiteral("quiet.bin"), payload);
    const uint64_t key = HashPassword("random source");
    QImage before = allocatePicture(80, 80);
    before.fill(QColor(90, 100, 128)); // blue 128 moves to 127 or 129

    EncodeOptions options;
    options.stealth = true;
    options.dateTimeText = kStamp;
    QImage picture = before;
    ReportList report;
    ASSERT_TRUE(encodePayloadWith(picture, path, uint32_t(key), uint32_t(key >> 32), options, {}, &report))
        << report.join('\n').toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral(
        "Stealth Mode: changed blue values move by one; pixels after the data keep their values")));
    int up = 0, down = 0, same = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            const int blue = picture.constScanLine(y)[x * 3];
            (blue == 129 ? up : blue == 127 ? down : same) += 1;
        }
    EXPECT_EQ(up + down + same, 6400);
    EXPECT_GT(up, 300); // about 1300 each of the 5200 stream pixels' changes
    EXPECT_GT(down, 300);
    QString outputPath;
    ASSERT_TRUE(decodePayloadInto(picture, dir.path() + "/out/", outputPath, nullptr, uint32_t(key),
                                  uint32_t(key >> 32)));
    EXPECT_EQ(readFile(outputPath), payload);

    options.palette[1] = colorValue(0, 0, 1);
    options.paletteCount = 2;
    picture = before;
    report.clear();
    EXPECT_FALSE(encodePayloadWith(picture, path, uint32_t(key), uint32_t(key >> 32), options, {}, &report));
    EXPECT_EQ(report.back(), QStringLiteral("ERROR: Stealth mode needs a true-colour picture, not a palette."));
    EXPECT_EQ(picture, before);
}
