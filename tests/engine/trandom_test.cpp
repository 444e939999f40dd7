// SPDX-License-Identifier: Apache-2.0
#include "engine/TRandom.h"

#include "RandomReference.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace ostrel;

namespace {

QByteArray bytes(const char* text) { return QByteArray(text); }

std::vector<int> referenceBits(uint64_t key, size_t count)
{
    RandomReference reference(uint32_t(key), uint32_t(key >> 32));
    std::vector<int> bits(count);
    for (int& bit : bits)
        bit = reference.NextBit();
    return bits;
}

// Keys at the edges of the seeding rules, one for each residue mod 8 (which
// picks both tap words), and a spread of ordinary ones.
std::vector<uint64_t> sampleKeys()
{
    std::vector<uint64_t> keys = {0,
                                  1,
                                  2,
                                  683,
                                  uint64_t(1) << 32,
                                  0xFFFFFFFFu,
                                  ~uint64_t(0),
                                  (uint64_t(1) << 63) + 1,
                                  uint64_t(1) << 62,
                                  uint64_t(3) << 62};
    for (uint64_t k = 3; k < 16; ++k)
        keys.push_back(k);
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 16; ++i)
        keys.push_back(rng());
    return keys;
}

} // namespace

TEST(HashPassword, KeysOfPasswords)
{
    struct Case {
        QByteArray password;
        uint64_t key;
    };
    const Case cases[] = {
        {bytes(""), 0},
        {bytes("a"), 97},
        {bytes("abc"), 683},
        {QByteArray("\xFF", 1), 255},                     // a high byte counts as 255, never as -1
        {QByteArray("\x80\xFF", 2), 128 * 2 + 255},       // and so does every byte from 128 up
        {QByteArray(64, '\x01'), ~uint64_t(0)},           // 2^64 - 1: every bit from one character
        {QByteArray(65, '\x01'), ~uint64_t(0)},           // the 65th byte from the end has shifted out
    };
    for (const Case& c : cases)
        EXPECT_EQ(HashPassword(c.password), c.key) << c.password.toHex().constData();
}

TEST(HashPassword, OnlyTheLastBytesCount)
{
    const QByteArray tail(63, 'x');
    // 'a' and 'c' differ above bit 0, which is all that remains of the 64th byte from the end.
    EXPECT_EQ(HashPassword("a" + tail), HashPassword("c" + tail));
    EXPECT_NE(HashPassword("a" + tail), HashPassword("b" + tail));
    EXPECT_EQ(HashPassword("anything before" + QByteArray(64, 'z')), HashPassword(QByteArray(64, 'z')));
    // One character one higher and the next two lower give the same key.
    EXPECT_EQ(HashPassword("ab"), HashPassword("b`"));
}

TEST(RandomSeed, WorkedValuesAndZeroRule)
{
    RandomReference empty(0, 0); // key 0 is seeded as 1
    EXPECT_EQ(empty.StateA(), 0x00000000BB40E64Du);
    EXPECT_EQ(empty.StateB(), 0x00000000544B2FBAu);
    EXPECT_EQ(empty.MaskA(), 0x2081002920810029u);
    EXPECT_EQ(empty.MaskB(), 0x0051082100510821u);

    // Only the whole key 0 is replaced: a zero low half with a high half is kept.
    RandomReference highOnly(0, 1);
    EXPECT_EQ(highOnly.StateA(), (uint64_t(1) << 32) * kSeedMultiplierA);
    EXPECT_EQ(highOnly.StateB(), (uint64_t(1) << 32) * kSeedMultiplierB);
}

TEST(TRandom, FirstBitsOfTheEmptyPassword)
{
    const int expected[32] = {0, 1, 0, 0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0, 1,
                              0, 1, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 0, 0, 1};
    RandomReference reference(0, 0);
    TRandom fast(0, 0);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(reference.NextBit(), expected[i]) << "reference bit " << i;
        EXPECT_EQ(fast.NextBit(), expected[i]) << "fast bit " << i;
    }
}

TEST(TRandom, OnlyKeyTwoToThe63IsUnusable)
{
    EXPECT_FALSE(keyCanProduceBits(uint64_t(1) << 63));
    for (uint64_t key : sampleKeys())
        EXPECT_TRUE(keyCanProduceBits(key)) << key;

    // Such a generator must give zeros instead of hanging.
    TRandom dead(0, 0x80000000u);
    uint64_t words[3] = {1, 1, 1};
    dead.fillBits(words, 3);
    EXPECT_EQ(words[0] | words[1] | words[2], 0u);
    EXPECT_EQ(dead.NextBit(), 0);
    RandomReference deadReference(0, 0x80000000u);
    EXPECT_EQ(deadReference.NextBit(), 0);
}

TEST(TRandom, NextBitMatchesTheReferenceOnManyKeys)
{
    for (uint64_t key : sampleKeys()) {
        const std::vector<int> expected = referenceBits(key, 20000);
        TRandom fast(uint32_t(key), uint32_t(key >> 32));
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(fast.NextBit(), expected[i]) << "key " << key << " bit " << i;
    }
}

TEST(TRandom, LongStreamsInWordsMatchTheReference)
{
    // Long enough to cross many refills of the sequence buffers.
    for (uint64_t key : {uint64_t(0), uint64_t(7), uint64_t(0xDEADBEEFCAFEF00Du)}) {
        const size_t wordCount = 6000;
        const std::vector<int> expected = referenceBits(key, wordCount * 64);
        TRandom fast(uint32_t(key), uint32_t(key >> 32));
        std::vector<uint64_t> words(wordCount);
        fast.fillBits(words.data(), words.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(int((words[i / 64] >> (i % 64)) & 1), expected[i]) << "key " << key << " bit " << i;
    }
}

class TRandomKernels : public ::testing::TestWithParam<TRandom::Kernel> {};

TEST_P(TRandomKernels, MixedSingleBitsAndOddChunksStayInStep)
{
    std::mt19937 rng(99);
    for (uint64_t key : {uint64_t(1), uint64_t(683), uint64_t(0x123456789ABCDEF0u), ~uint64_t(0)}) {
        const std::vector<int> expected = referenceBits(key, 200000);
        TRandom fast(uint32_t(key), uint32_t(key >> 32), GetParam());
        size_t at = 0;
        std::vector<uint64_t> chunk;
        while (at + 64 * 700 < expected.size()) {
            // A few single bits (leaving NextBit mid-word), then a chunk of an odd number of words.
            const int singles = int(rng() % 70);
            for (int i = 0; i < singles; ++i, ++at)
                ASSERT_EQ(fast.NextBit(), expected[at]) << "key " << key << " bit " << at;
            chunk.resize(rng() % 600 + 1);
            if (rng() % 2) {
                fast.fillBits(chunk.data(), chunk.size());
            } else {
                for (uint64_t& word : chunk)
                    word = fast.nextWord();
            }
            for (size_t i = 0; i < chunk.size() * 64; ++i, ++at)
                ASSERT_EQ(int((chunk[i / 64] >> (i % 64)) & 1), expected[at]) << "key " << key << " bit " << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothKernels, TRandomKernels,
                         ::testing::Values(TRandom::Kernel::Fastest, TRandom::Kernel::Portable));
