// SPDX-License-Identifier: Apache-2.0
// The detectors over rows handed out a band at a time give, figure for
// figure, what they give over the whole picture, in one pass over the rows
// (two where the step of changes of one needs the rows above it again).
#include "detect/Detection.h"
#include "support/BandRows.h"
#include "util/Picture.h"
#include "util/PixelRows.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

using namespace ostrel;
using ostrel::testing::BandRows;

namespace {

QImage noise(int width, int height, uint32_t seed)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x)
            picture.scanLine(y)[x] = uint8_t(rng());
    return picture;
}

QImage photograph()
{
    const QImage photo(QStringLiteral(OSTREL_CORPUS_DIR "/jpg/pillow/junk_jpeg_header.jpg"));
    EXPECT_FALSE(photo.isNull());
    return inPictureFormat(photo);
}

// The photograph with a payload in blue: lowest bits replaced over the top
// half, and changes of one over the top third on top of that, so that every
// detector, the step search and the HCF-COM above the step have something
// to find.
QImage photographWithPayload()
{
    QImage picture = photograph();
    std::mt19937 rng(9);
    for (int y = 0; y < picture.height() / 2; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            uint8_t& blue = row[3 * x];
            blue = uint8_t((blue & ~1) | (rng() & 1));
            if (y < picture.height() / 3 && (rng() & 1))
                blue = uint8_t(blue == 255 ? 254 : blue == 0 ? 1 : blue + ((rng() & 2) ? 1 : -1));
        }
    }
    return picture;
}

struct PictureCase {
    const char* name;
    std::function<QImage()> make;
};

const PictureCase kPictures[] = {
    {"1x1", [] { return noise(1, 1, 1); }},
    {"2x2", [] { return noise(2, 2, 2); }},
    {"5x3, three rows", [] { return noise(5, 3, 3); }},
    {"17x9, odd width with row padding", [] { return noise(17, 9, 4); }},
    {"33x20", [] { return noise(33, 20, 5); }},
    {"640x480 noise", [] { return noise(640, 480, 6); }},
    {"photograph", photograph},
    {"photograph with a payload", photographWithPayload},
    {"photograph in another format", [] { return photograph().convertToFormat(QImage::Format_ARGB32); }},
    {"null", [] { return QImage(); }},
};

void expectSame(const ChannelFigures& whole, const ChannelFigures& rows, const std::string& what)
{
    for (Channel channel : kChannels)
        EXPECT_EQ(figure(whole, channel), figure(rows, channel)) << what << ", " << channelName(channel);
}

void expectSame(const DetectionReport& whole, const DetectionReport& rows)
{
    expectSame(whole.chiSquare.probability, rows.chiSquare.probability, "chi-square");
    ASSERT_EQ(whole.chiSquare.prefixes.size(), rows.chiSquare.prefixes.size());
    for (size_t i = 0; i < whole.chiSquare.prefixes.size(); ++i) {
        EXPECT_EQ(whole.chiSquare.prefixes[i].pixels, rows.chiSquare.prefixes[i].pixels);
        expectSame(whole.chiSquare.prefixes[i].probability, rows.chiSquare.prefixes[i].probability,
                   "prefix " + std::to_string(i));
    }
    expectSame(whole.samplePairs, rows.samplePairs, "sample pairs");
    expectSame(whole.rs, rows.rs, "RS");
    expectSame(whole.matching.hcfCom, rows.matching.hcfCom, "HCF-COM");
    EXPECT_EQ(whole.matching.end.rows, rows.matching.end.rows);
    EXPECT_EQ(whole.matching.end.strength, rows.matching.end.strength);
    EXPECT_EQ(whole.matching.blueHcfAboveEnd, rows.matching.blueHcfAboveEnd);
}

TEST(DetectorsOverRows, GiveTheWholePicturesFiguresInOneOrTwoPasses)
{
    for (const PictureCase& c : kPictures) {
        SCOPED_TRACE(c.name);
        const QImage picture = c.make();
        const DetectionReport whole = detectHiddenData(picture);
        BandRows rows(picture);
        expectSame(whole, detectHiddenData(rows));
        // A second pass only for the rows above a step, and only those.
        const int height = picture.isNull() ? 0 : picture.height();
        EXPECT_LE(rows.passes(), whole.matching.end.rows > 0 ? 2 : 1);
        EXPECT_LE(rows.rowsRead(), int64_t(height) + whole.matching.end.rows);
    }
}

TEST(DetectorsOverRows, EachOnItsOwnGivesTheWholePicturesFigures)
{
    for (const PictureCase& c : kPictures) {
        SCOPED_TRACE(c.name);
        const QImage picture = c.make();
        {
            BandRows rows(picture);
            const ChiSquareAttack whole = chiSquareAttack(picture, 7), banded = chiSquareAttack(rows, 7);
            expectSame(whole.probability, banded.probability, "chi-square");
            EXPECT_EQ(whole.prefixes.size(), banded.prefixes.size());
        }
        {
            BandRows rows(picture);
            const auto whole = samplePairCounts(picture), banded = samplePairCounts(rows);
            for (size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(whole[i].x, banded[i].x);
                EXPECT_EQ(whole[i].y, banded[i].y);
                EXPECT_EQ(whole[i].gamma, banded[i].gamma);
                EXPECT_EQ(whole[i].pairs, banded[i].pairs);
            }
        }
        {
            BandRows rows(picture);
            const auto whole = rsGroupCounts(picture), banded = rsGroupCounts(rows);
            for (size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(whole[i].d0, banded[i].d0);
                EXPECT_EQ(whole[i].dNegative0, banded[i].dNegative0);
                EXPECT_EQ(whole[i].d1, banded[i].d1);
                EXPECT_EQ(whole[i].dNegative1, banded[i].dNegative1);
            }
        }
        for (int count : {-1, 0, 101, 300}) {
            BandRows rows(picture);
            expectSame(calibratedHcfCom(picture, count), calibratedHcfCom(rows, count),
                       "HCF-COM over " + std::to_string(count) + " rows");
        }
        {
            BandRows rows(picture);
            EXPECT_EQ(blueRowNoise(picture), blueRowNoise(rows));
        }
        {
            BandRows rows(picture);
            const PayloadEnd whole = payloadEnd(picture), banded = payloadEnd(rows);
            EXPECT_EQ(whole.rows, banded.rows);
            EXPECT_EQ(whole.strength, banded.strength);
        }
        {
            BandRows rows(picture);
            const MatchingReport whole = detectChangesOfOne(picture), banded = detectChangesOfOne(rows);
            expectSame(whole.hcfCom, banded.hcfCom, "HCF-COM");
            EXPECT_EQ(whole.end.rows, banded.end.rows);
            EXPECT_EQ(whole.blueHcfAboveEnd, banded.blueHcfAboveEnd);
        }
    }
}

// The fixtures above must give the detectors something to find, or the
// comparison would not reach the second pass.
TEST(DetectorsOverRows, ThePayloadFixtureHasAStep)
{
    const DetectionReport report = detectHiddenData(photographWithPayload());
    EXPECT_GT(report.matching.end.rows, 0);
    EXPECT_GT(figure(report.samplePairs, Channel::Blue), 0.3);
}

TEST(DetectorsOverRows, TheWholePictureIsReadWhereItIsNotCopied)
{
    const QImage picture = photograph();
    const QImage copy = picture;
    detectHiddenData(picture);
    EXPECT_EQ(picture.constBits(), copy.constBits());
}

} // namespace
