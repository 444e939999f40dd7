// SPDX-License-Identifier: Apache-2.0
#include "EngineTestSupport.h"
#include "engine/Decoder.h"
#include "engine/Encoder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace ostrel;
using namespace ostrel::test;

namespace {

// Soft gradients with noise, where the error diffusion has much to carry.
QImage gradientPicture(int width, int height)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = picture.scanLine(y) + x * 3;
            p[0] = uint8_t(x * 255 / width);
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t(128 + int(rng() % 64) - 32);
        }
    return picture;
}

} // namespace

TEST(PaletteEncode, EveryPixelBecomesAPaletteColourOfTheCarriedParity)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray payload = randomBytes(40, 1);
    const QString path = writeFile(dir.path(), QStringLiteral("pal.bin"), payload);
    const uint64_t key = HashPassword("palette");
    const QByteArray stream = streamFor("pal.bin", kStamp.toLatin1(), payload);

    struct Case {
        const char* what;
        bool twins, dither;
        QImage carrier;
    };
    const Case cases[] = {
        {"base colours", false, false, randomPicture(45, 27, 2)},
        {"base colours, dithered", false, true, gradientPicture(45, 27)},
        {"base colours and twins", true, false, gradientPicture(61, 19)},
        {"base colours and twins, dithered", true, true, randomPicture(61, 19, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int32_t count = 0;
        const TPaletteArray palette = basePalette(count, c.twins);
        const std::set<TripleValue> colours = [&] {
            std::set<TripleValue> set;
            for (int i = 0; i < count; ++i)
                set.insert(tripleOfColour(palette[size_t(i)]));
            return set;
        }();

        QImage picture = c.carrier;
        ReportList report;
        ASSERT_TRUE(encodePayloadStamped(picture, palette, count, {}, &report, uint32_t(key), uint32_t(key >> 32),
                                         path, c.dither, kStamp))
            << report.join('\n').toStdString();

        const std::vector<uint8_t> bits =
            expectedCarrierBits(int64_t(picture.width()) * picture.height(), key, stream);
        size_t k = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x, ++k) {
                const uint8_t* p = picture.constScanLine(y) + x * 3;
                ASSERT_TRUE(colours.count(tripleValue(p[0], p[1], p[2]))) << "pixel " << x << "," << y;
                ASSERT_EQ(p[0] & 1, bits[k]) << "pixel " << x << "," << y;
            }

        // The same pixels as choosing and diffusing one pixel at a time.
        QImage model = c.carrier;
        embedInPaletteByBits(model, palette, count, c.dither, key, stream);
        EXPECT_EQ(picture, model);

        QString outputPath;
        ASSERT_TRUE(decodePayloadInto(picture, dir.path() + "/out/", outputPath, nullptr, uint32_t(key),
                                      uint32_t(key >> 32)));
        EXPECT_EQ(readFile(outputPath), payload);
    }
}

TEST(PaletteEncode, APaletteOfOneParityIsRefused)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.path(), QStringLiteral("x.bin"), randomBytes(10, 4));
    TPaletteArray palette{};
    palette[0] = 0x000000;
    palette[1] = 0x800000; // navy: blue 0x80, even like black
    palette[2] = 0xFF0000; // odd blue, but beyond the count of 2
    QImage picture = randomPicture(40, 40, 5);
    const QImage before = picture;
    ReportList report;
    EXPECT_FALSE(encodePayloadStamped(picture, palette, 2, {}, &report, 1, 0, path, true, kStamp));
    EXPECT_EQ(report.back(), QStringLiteral("ERROR: The palette needs colours with both even and odd blue values."));
    EXPECT_EQ(picture, before);
}
