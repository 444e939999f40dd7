// SPDX-License-Identifier: Apache-2.0
#include "engine/AdaptiveMode.h"
#include "engine/Decoder.h"

#include "AdaptiveCost.h"
#include "AdaptiveEarlierPicture.h"
#include "EngineTestSupport.h"
#include "SyndromeTrellis.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace ostrel;
using namespace ostrel::test;

namespace {

const QByteArray kPassword = "adaptive horse";
const QString kNoPayload = QStringLiteral("Image does NOT appear to contain encoded data.");

// H as a dense matrix, built from its description: block b holds the columns
// [floor(b·n/m), floor((b+1)·n/m)) and puts their H-hat columns into rows
// b .. b + h - 1, cut at row m.
std::vector<std::vector<uint8_t>> denseMatrix(size_t columns, size_t bits, const std::vector<uint32_t>& submatrix,
                                              int height)
{
    std::vector<std::vector<uint8_t>> h(bits, std::vector<uint8_t>(columns, 0));
    for (size_t b = 0; b < bits; ++b) {
        const size_t start = b * columns / bits, end = (b + 1) * columns / bits;
        for (size_t c = start; c < end; ++c)
            for (int r = 0; r < height && b + size_t(r) < bits; ++r)
                h[b + size_t(r)][c] = uint8_t((submatrix[c - start] >> r) & 1);
    }
    return h;
}

std::vector<uint8_t> syndrome(const std::vector<std::vector<uint8_t>>& h, const std::vector<uint8_t>& y)
{
    std::vector<uint8_t> s(h.size(), 0);
    for (size_t r = 0; r < h.size(); ++r)
        for (size_t c = 0; c < y.size(); ++c)
            s[r] ^= uint8_t(h[r][c] & y[c]);
    return s;
}

struct TrellisCase {
    size_t columns, bits;
    int height;
};

// One random input of the coder: its H-hat, cover bits, costs (from
// `cost`) and message.
struct TrellisInput {
    std::vector<uint32_t> submatrix;
    std::vector<uint8_t> cover, message;
    std::vector<float> costs;
};

template <typename Cost>
TrellisInput randomTrellisInput(std::mt19937& rng, const TrellisCase& c, Cost cost)
{
    TrellisInput input;
    input.submatrix = trellisSubmatrix(rng(), widestTrellisBlock(c.columns, c.bits), c.height);
    input.cover.resize(c.columns);
    input.costs.resize(c.columns);
    input.message.resize(c.bits);
    for (size_t j = 0; j < c.columns; ++j) {
        input.cover[j] = uint8_t(rng() & 1);
        input.costs[j] = cost();
    }
    for (uint8_t& bit : input.message)
        bit = uint8_t(rng() & 1);
    return input;
}

// The trellis against trying every stego vector: its answer has the message
// as syndrome and costs exactly the least any answer costs.
TEST(SyndromeTrellis, FindsTheCheapestVectorWithTheMessageAsSyndrome)
{
    const TrellisCase cases[] = {{6, 1, 1}, {8, 2, 3}, {10, 3, 4}, {12, 4, 7}, {13, 5, 3}, {14, 3, 7}, {11, 11, 2}};
    std::mt19937 rng(7);
    for (const TrellisCase& c : cases) {
        for (int trial = 0; trial < 12; ++trial) {
            SCOPED_TRACE(testing::Message() << c.columns << " columns, " << c.bits << " bits, height " << c.height
                                            << ", trial " << trial);
            // Ties and free changes too: small whole costs, sometimes 0.
            const auto [submatrix, cover, message, costs] = randomTrellisInput(
                rng, c, [&] { return trial % 2 ? float(rng() % 4) : float(rng() % 1000) / 37.0f; });
            const auto h = denseMatrix(c.columns, c.bits, submatrix, c.height);

            double least = std::numeric_limits<double>::infinity();
            for (uint32_t flips = 0; flips < (1u << c.columns); ++flips) {
                std::vector<uint8_t> y(cover);
                double cost = 0;
                for (size_t j = 0; j < c.columns; ++j)
                    if ((flips >> j) & 1) {
                        y[j] ^= 1;
                        cost += costs[j];
                    }
                if (syndrome(h, y) == message)
                    least = std::min(least, cost);
            }

            const TrellisResult coded =
                trellisEmbed(cover.data(), costs.data(), c.columns, message.data(), c.bits, submatrix, c.height);
            ASSERT_EQ(coded.stego.size(), c.columns);
            EXPECT_EQ(syndrome(h, coded.stego), message);
            EXPECT_EQ(trellisExtract(coded.stego.data(), c.columns, c.bits, submatrix), message);
            double paid = 0;
            for (size_t j = 0; j < c.columns; ++j)
                paid += coded.stego[j] != cover[j] ? costs[j] : 0.0;
            EXPECT_NEAR(paid, least, 1e-3);
            EXPECT_NEAR(coded.cost, least, 1e-3);
        }
    }
}

// A plain Viterbi search, one state at a time, with the same arithmetic and
// ties (keep unless taking y = 1 is strictly cheaper) as the coder is meant to
// have: its stego vector and cost, for comparison with the vectorised coder.
TrellisResult plainViterbi(const std::vector<uint8_t>& cover, const std::vector<float>& costs,
                           const std::vector<uint8_t>& message, const std::vector<uint32_t>& submatrix, int height)
{
    const size_t columns = cover.size(), bits = message.size(), states = size_t(1) << height;
    const float unreachable = std::numeric_limits<float>::infinity();
    std::vector<float> cost(states, unreachable), next(states);
    cost[0] = 0;
    std::vector<std::vector<uint8_t>> took(columns, std::vector<uint8_t>(states));
    TrellisResult result;
    for (size_t b = 0, j = 0; b < bits; ++b) {
        const size_t start = j;
        for (; j < (b + 1) * columns / bits; ++j) {
            for (size_t u = 0; u < states; ++u) {
                const float stay = cost[u] + (cover[j] ? costs[j] : 0.0f);
                const float move = cost[u ^ submatrix[j - start]] + (cover[j] ? 0.0f : costs[j]);
                took[j][u] = move < stay;
                next[u] = move < stay ? move : stay;
            }
            cost.swap(next);
        }
        float lowest = unreachable;
        for (size_t u = 0; u < states / 2; ++u)
            lowest = std::min(lowest, next[u] = cost[2 * u + message[b]]);
        for (size_t u = 0; u < states; ++u)
            next[u] = u < states / 2 ? next[u] - lowest : unreachable;
        result.cost += double(lowest);
        cost.swap(next);
    }
    size_t state = size_t(std::min_element(cost.begin(), cost.begin() + std::ptrdiff_t(states / 2)) - cost.begin());
    result.cost += double(cost[state]);
    result.stego.assign(columns, 0);
    for (size_t b = bits; b-- > 0;) {
        state = (state << 1) | message[b];
        const size_t start = b * columns / bits;
        for (size_t j = (b + 1) * columns / bits; j-- > start;)
            if ((result.stego[j] = took[j][state]))
                state ^= submatrix[j - start];
    }
    return result;
}

// The coder against the plain search on inputs too large to try every
// vector: every height, every pattern of H-hat's low bits (which pick the
// coder's permutation of states), many ties, and rates from 1/2 to 1/40.
TEST(SyndromeTrellis, AgreesWithAPlainViterbiSearch)
{
    const TrellisCase cases[] = {{400, 200, 1}, {500, 120, 2}, {2000, 50, 3}, {3000, 300, 5}, {4000, 100, 7}};
    std::mt19937 rng(19);
    for (const TrellisCase& c : cases) {
        for (int trial = 0; trial < 3; ++trial) {
            SCOPED_TRACE(testing::Message() << c.columns << " columns, " << c.bits << " bits, height " << c.height
                                            << ", trial " << trial);
            const auto [submatrix, cover, message, costs] = randomTrellisInput(rng, c, [&] {
                return trial == 0 ? float(rng() % 3) : std::exp(float(rng() % 2000) / 200.0f - 5.0f);
            });
            const TrellisResult expected = plainViterbi(cover, costs, message, submatrix, c.height);
            const TrellisResult coded =
                trellisEmbed(cover.data(), costs.data(), c.columns, message.data(), c.bits, submatrix, c.height);
            EXPECT_EQ(coded.stego, expected.stego);
            EXPECT_EQ(coded.cost, expected.cost);
            EXPECT_EQ(trellisExtract(coded.stego.data(), c.columns, c.bits, submatrix), message);
        }
    }
}

// Flat areas are dear, noisy ones cheap; a flat picture costs the most everywhere.
TEST(AdaptiveCost, TextureIsCheapAndFlatnessDear)
{
    QImage picture = allocateFilledPicture(64, 32, 120, 120, 120);
    std::mt19937 rng(3);
    for (int y = 0; y < 32; ++y)
        for (int x = 32; x < 64 * 3 / 3; ++x)
            for (int c = 0; c < 3; ++c)
                picture.scanLine(y)[3 * x + c] = uint8_t(rng());
    const std::vector<StoredCost> costs = hillCosts(picture);
    ASSERT_EQ(costs.size(), size_t(64 * 32 * 3));
    auto at = [&](int x, int y, int c) { return costValue(costs[size_t(3 * (y * 64 + x) + c)]); };
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(at(2, 16, c), kDearestCost, kDearestCost / 128) << c; // kept to 8 bits
        EXPECT_LT(at(60, 16, c), 0.1f) << c;
        EXPECT_GT(at(30, 16, c), at(34, 16, c)) << c; // nearer the flat side, dearer
    }
}

class AdaptiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_in = m_dir.path() + QStringLiteral("/in/");
        m_out = m_dir.path() + QStringLiteral("/out/");
    }

    QString payloadFile(const QByteArray& bytes, const QString& name = QStringLiteral("notes.txt"))
    {
        return writeFile(m_in, name, bytes);
    }

    bool hide(QImage& picture, const QByteArray& bytes, ReportList* report = nullptr)
    {
        return encodeAdaptivePayload(picture, payloadFile(bytes), kPassword, report, {}, kStamp);
    }

    bool decode(QImage picture, const QByteArray& password, ReportList* report = nullptr, QString* path = nullptr)
    {
        QString outputPath;
        const bool ok = decodePayloadWithPassword(picture, m_out, outputPath, report, password);
        if (path)
            *path = outputPath;
        return ok;
    }

    // The largest file the plan takes for this picture.
    int64_t mostAccepted(const QImage& picture)
    {
        int64_t low = 0, high = int64_t(picture.width()) * picture.height();
        while (low < high) {
            const int64_t middle = (low + high + 1) / 2;
            if (planAdaptiveEncodeOfFile(picture, payloadFile(QByteArray(middle, 'x')), kStamp).accepted)
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    }

    QTemporaryDir m_dir;
    QString m_in, m_out;
};

// Every size from nothing to the most the picture takes comes back byte for
// byte through the decode every program runs; one more byte is refused with
// what fits, and leaves the picture as it was.
TEST_F(AdaptiveTest, RoundTripsUpToTheRefusedSize)
{
    const QImage carrier = randomPicture(96, 80, 11);
    const int64_t most = mostAccepted(carrier);
    // Noise is all texture, so the rate decides: 0.4 bits per pixel less the
    // 160-bit prefix, and the container around the file (nonce 24, tag 16,
    // name and date-time with their lengths).
    const int64_t byRate = (96 * 80 * 2 / 5 - 160) / 8 - 24 - 16 - 2 - 9 - 1 - int64_t(kStamp.size());
    EXPECT_EQ(most, byRate);
    for (const int64_t size : {int64_t(0), int64_t(1), int64_t(57), most}) {
        SCOPED_TRACE(size);
        QImage picture = carrier;
        const QByteArray bytes = randomBytes(size_t(size), uint32_t(size) + 1);
        ReportList report;
        ASSERT_TRUE(hide(picture, bytes, &report)) << report.join(QLatin1Char('\n')).toStdString();
        QString path;
        ReportList decodeReport;
        ASSERT_TRUE(decode(picture, kPassword, &decodeReport, &path))
            << decodeReport.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(path, m_out + QStringLiteral("notes.txt"));
        EXPECT_EQ(readFile(path), bytes);
        EXPECT_TRUE(decodeReport.contains(QStringLiteral("Date/Time: ") + kStamp));
    }

    QImage picture = carrier;
    ReportList report;
    EXPECT_FALSE(hide(picture, QByteArray(most + 1, 'x'), &report));
    EXPECT_EQ(picture, carrier);
    ASSERT_FALSE(report.isEmpty());
    EXPECT_TRUE(report.last().startsWith(QStringLiteral("ERROR: The picture has too little texture for this file: "
                                                        "adaptive hiding takes at most %1 Bytes")
                                             .arg(most)))
        << report.last().toStdString();
}

// Changes are of one, in all three channels, never past 0 or 255, and few.
TEST_F(AdaptiveTest, ChangesValuesByOneInEveryChannelWithinTheirRange)
{
    QImage carrier = randomPicture(120, 100, 5);
    // Clipped values in a band, where only one direction is open.
    for (int y = 40; y < 60; ++y)
        for (int i = 0; i < 120 * 3; ++i)
            carrier.scanLine(y)[i] = (i + y) % 2 ? 0 : 255;
    QImage picture = carrier;
    ASSERT_TRUE(hide(picture, randomBytes(200, 9)));
    int changed[3] = {0, 0, 0};
    for (int y = 0; y < 100; ++y)
        for (int i = 0; i < 120 * 3; ++i) {
            const int before = carrier.constScanLine(y)[i], after = picture.constScanLine(y)[i];
            ASSERT_LE(std::abs(after - before), 1) << i << "," << y;
            changed[i % 3] += after != before;
        }
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(changed[c], 100) << c;
        // About 2,000 bits into 36,000 values: far fewer changes than bits.
        EXPECT_LT(changed[c], 700) << c;
    }
}

// A wrong password costs one derivation and reads as nothing at all, in the
// same words as the other readings; nothing is written.
TEST_F(AdaptiveTest, WrongPasswordFindsNoDataAfterOneDerivation)
{
    QImage picture = randomPicture(64, 64, 21);
    ASSERT_TRUE(hide(picture, "the plans"));
    const AdaptiveReading reading = readAdaptiveStream(picture, "adaptive hors");
    EXPECT_EQ(reading.outcome, AdaptiveReading::Outcome::NoData);
    EXPECT_EQ(reading.keyDerivations, 1);
    ReportList report;
    EXPECT_FALSE(decode(picture, "adaptive hors", &report));
    EXPECT_TRUE(report.contains(kNoPayload)) << report.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(entriesIn(m_out).isEmpty());
    EXPECT_EQ(readAdaptiveStream(picture, kPassword).outcome, AdaptiveReading::Outcome::Opened);
}

// Any lowest bit changed, wherever it is, and a crop, make the file
// unreadable, never wrong; a value moved by two keeps every carried bit.
TEST_F(AdaptiveTest, EditedPictureGivesNoFile)
{
    QImage hidden = randomPicture(64, 48, 33);
    ASSERT_TRUE(hide(hidden, randomBytes(60, 4)));
    ASSERT_EQ(readAdaptiveStream(hidden, kPassword).outcome, AdaptiveReading::Outcome::Opened);
    std::mt19937 rng(8);
    for (int trial = 0; trial < 6; ++trial) {
        const int x = int(rng() % 64), y = int(rng() % 48), c = int(rng() % 3);
        SCOPED_TRACE(testing::Message() << x << "," << y << " channel " << c);
        QImage edited = hidden;
        edited.scanLine(y)[3 * x + c] ^= 1;
        EXPECT_EQ(readAdaptiveStream(edited, kPassword).outcome, AdaptiveReading::Outcome::NoData);
    }
    EXPECT_EQ(readAdaptiveStream(hidden.copy(0, 0, 63, 48), kPassword).outcome, AdaptiveReading::Outcome::NoData);
    EXPECT_EQ(readAdaptiveStream(hidden.copy(0, 1, 64, 47), kPassword).outcome, AdaptiveReading::Outcome::NoData);
    QImage moved = hidden;
    uint8_t& value = moved.scanLine(10)[30];
    value = uint8_t(value < 128 ? value + 2 : value - 2);
    EXPECT_EQ(readAdaptiveStream(moved, kPassword).outcome, AdaptiveReading::Outcome::Opened);
    ReportList report;
    QImage edited = hidden;
    edited.scanLine(5)[7] ^= 1;
    EXPECT_FALSE(decode(edited, kPassword, &report));
    EXPECT_TRUE(report.contains(kNoPayload));
    EXPECT_TRUE(entriesIn(m_out).isEmpty());
}

// Pictures hidden by an earlier encoder still open: the order, the prefix,
// the groups and H-hat are the format, however they are computed.
TEST_F(AdaptiveTest, OpensAPictureHiddenByAnEarlierEncoder)
{
    QImage picture = randomPicture(440, 400, 2024);
    const size_t rowBytes = 440 * 3;
    for (const EarlierChange& change : kEarlierAdaptiveChanges) {
        uint8_t& value = picture.scanLine(int(size_t(change.position) / rowBytes))[size_t(change.position) % rowBytes];
        value = uint8_t(value + change.change);
    }
    QString path;
    ReportList report;
    ASSERT_TRUE(decode(picture, "an older picture", &report, &path)) << report.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(path, m_out + QStringLiteral("kept.bin"));
    EXPECT_EQ(readFile(path), randomBytes(300, 77));
    EXPECT_TRUE(report.contains(QStringLiteral("Date/Time: ") + kStamp));
}

// A photograph's flat sky is dear and its texture cheap: what fits is set by
// the cheap part, however dear the rest, not by the mean of all costs.
TEST_F(AdaptiveTest, TexturedPartCarriesBesideAFlatSky)
{
    QImage carrier = randomPicture(160, 160, 5);
    for (int y = 0; y < 120; ++y) // three quarters of it flat
        std::memset(carrier.scanLine(y), 200, size_t(carrier.bytesPerLine()));
    const int64_t most = mostAccepted(carrier);
    EXPECT_GT(most, 100) << "the textured quarter alone takes more than this";
    QImage picture = carrier;
    const QByteArray bytes = randomBytes(size_t(most), 3);
    ASSERT_TRUE(hide(picture, bytes));
    QString path;
    ASSERT_TRUE(decode(picture, kPassword, nullptr, &path));
    EXPECT_EQ(readFile(path), bytes);
}

// A smooth picture is refused, whatever its size, with what would fit.
TEST_F(AdaptiveTest, RefusesPicturesWithTooLittleTexture)
{
    QImage carrier = allocatePicture(200, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x) {
            uint8_t* p = carrier.scanLine(y) + 3 * x;
            p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = 90;
        }
    const EncodePlan plan = planAdaptiveEncodeOfFile(carrier, payloadFile("a short note"), kStamp);
    EXPECT_FALSE(plan.accepted);
    ASSERT_FALSE(plan.lines.isEmpty());
    EXPECT_TRUE(plan.lines.last().contains(QStringLiteral("takes at most 0 Bytes"))) << plan.lines.last().toStdString();
    QImage picture = carrier;
    EXPECT_FALSE(hide(picture, "a short note"));
    EXPECT_EQ(picture, carrier);
}

} // namespace
