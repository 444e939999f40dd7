// SPDX-License-Identifier: Apache-2.0
// The nearest-colour search: every answer, tie and reordering as the plain
// front-to-back scan gives them, and the edge cases of filters and counts.
#include "colour/PaletteSearch.h"

#include "colour/PaletteFixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace ostrel;
using namespace ostrel::colourtest;

namespace {

constexpr TripleValue tripleOfRgb(uint8_t red, uint8_t green, uint8_t blue) { return tripleValue(blue, green, red); }

TParityFilter anyFilter(std::mt19937& rng)
{
    // Mostly the three real filters, now and then a value that accepts nothing.
    const uint32_t pick = rng() % 16;
    return pick < 5 ? pfAny : pick < 10 ? pfEvenBlue : pick < 15 ? pfOddBlue : TParityFilter(pick % 2 ? 0 : 4);
}

struct PaletteKind {
    const char* what;
    int count;
    int levels; // values per channel; few levels make many ties and duplicates
    bool highBits;
};

// Compares whole sequences of answers: the list reorders after every search,
// so one wrong tie changes all later answers.
TEST(PaletteSearch, AnswersEveryQueryExactlyAsTheSequentialScan)
{
    const PaletteKind kinds[] = {
        {"full, fine", 256, 256, false},  {"full, coarse", 256, 4, false}, {"small", 9, 3, false},
        {"two entries", 2, 256, false},   {"count 1 counts as 2", 1, 8, false},
        {"count 300 counts as 256", 300, 6, false}, {"odd length", 77, 5, false},
        {"bits above the colour", 40, 4, true},
    };
    std::mt19937 rng(2024);
    for (const PaletteKind& kind : kinds) {
        for (int round = 0; round < 4; ++round) {
            TPaletteArray palette{};
            const uint32_t step = 255 / uint32_t(kind.levels - 1 > 0 ? kind.levels - 1 : 1);
            for (ColourValue& c : palette) {
                c = colorValue(uint8_t(rng() % uint32_t(kind.levels) * step), uint8_t(rng() % uint32_t(kind.levels) * step),
                               uint8_t(rng() % uint32_t(kind.levels) * step + rng() % 2));
                if (kind.highBits)
                    c |= (rng() % 256) << 24;
            }
            TPaletteSearch fast(palette, kind.count);
            SequentialPaletteSearch plain(palette, kind.count);
            for (int query = 0; query < 20000; ++query) {
                TripleValue triple;
                switch (rng() % 4) {
                case 0: // a palette colour, maybe with its blue bit flipped
                    triple = tripleOfColour(palette[rng() % 256]) ^ (rng() % 2);
                    break;
                case 1: // a repeated query, which may come from a cache
                    triple = 0x404040 + (rng() % 3);
                    break;
                default:
                    triple = rng() & 0xFFFFFF;
                }
                if (rng() % 8 == 0)
                    triple |= 0xFF000000; // above the three bytes: ignored
                const TParityFilter filter = anyFilter(rng);
                const int expected = plain.Search(filter, triple);
                const int got = fast.Search(filter, triple);
                ASSERT_EQ(got, expected) << kind.what << " round " << round << " query " << query << " triple "
                                         << std::hex << triple << " filter " << filter;
            }
        }
    }
}

// Q1 = (red 0, green 40, blue 0) has the unique nearest entry 5 (green 10,
// distance 900; entry 3 is at 1700). Q2 = black is equally near entries 3
// and 5 (distance 100) and nearer to nothing else, so it returns whichever
// stands first. Each search for Q1 moves entry 5 one place forward: from list
// position 5 to 4, still behind entry 3, then to 3, before it.
TEST(PaletteSearch, TheEntryFoundMovesOnePlaceForwardEachTime)
{
    const TPaletteArray palette = paletteOf({
        colorValue(200, 200, 200),
        colorValue(0, 200, 0),
        colorValue(200, 0, 0),
        colorValue(0, 0, 10),
        colorValue(150, 150, 0),
        colorValue(0, 10, 0),
    });
    const TripleValue q1 = tripleOfRgb(0, 40, 0), q2 = tripleOfRgb(0, 0, 0);
    struct Case {
        int searchesForQ1;
        int answerForQ2;
    };
    const Case cases[] = {{0, 3}, {1, 3}, {2, 5}, {3, 5}};
    for (const Case& c : cases) {
        TPaletteSearch search(palette, 6);
        for (int i = 0; i < c.searchesForQ1; ++i)
            ASSERT_EQ(search.Search(pfAny, q1), 5);
        EXPECT_EQ(search.Search(pfAny, q2), c.answerForQ2) << c.searchesForQ1;
    }
}

TEST(PaletteSearch, NoAcceptedEntryGivesTheIndexAtListPositionZero)
{
    // Blue values all even.
    const TPaletteArray palette = paletteOf({0x100000, 0x200000, 0x400000, 0x800000});
    TPaletteSearch search(palette, 4);
    EXPECT_EQ(search.Search(pfOddBlue, tripleOfRgb(0, 0, 0x40)), 0);
    // Moving entry 1 to the front changes what position 0 holds.
    EXPECT_EQ(search.Search(pfEvenBlue, tripleOfRgb(0, 0, 0x20)), 1);
    EXPECT_EQ(search.Search(pfOddBlue, tripleOfRgb(0, 0, 0x80)), 1);
    EXPECT_EQ(search.Search(TParityFilter(0), tripleOfRgb(0, 0, 0x80)), 1);
    EXPECT_EQ(search.Search(TParityFilter(9), tripleOfRgb(0, 0, 0x80)), 1);
    // Nothing was reordered by the searches that accepted nothing.
    EXPECT_EQ(search.Search(pfAny, tripleOfRgb(0, 0, 0x10)), 0);
}

TEST(PaletteSearch, ParityFiltersPickTheNearestOfTheWantedParity)
{
    // A colour and its twin, and a far colour.
    const TPaletteArray palette = paletteOf({0x000000, 0x506070, 0x516070});
    TPaletteSearch search(palette, 3);
    const TripleValue exactEven = tripleOfColour(0x506070);
    EXPECT_EQ(search.Search(pfEvenBlue, exactEven), 1);
    EXPECT_EQ(search.Search(pfOddBlue, exactEven), 2);
    EXPECT_EQ(search.Search(pfAny, exactEven), 1);
    EXPECT_EQ(search.NearestTriple(pfOddBlue, exactEven), tripleOfColour(0x516070));
    EXPECT_EQ(search.NearestTriple(pfEvenBlue, tripleOfColour(0x516070)), exactEven);
}

TEST(PaletteSearch, TheConvenienceFormsAgreeWithSearch)
{
    const TPaletteArray palette = paletteOf({0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000});
    TPaletteSearch search(palette, 5);
    EXPECT_EQ(search.NearestIndexOfColor(0x0000F0), 2);        // reddish
    EXPECT_EQ(search.NearestIndex(tripleOfRgb(0, 0xF0, 0)), 3); // greenish
    EXPECT_EQ(search.SearchColor(0xF00000, pfAny), 4);          // bluish
    EXPECT_EQ(search.NearestTripleAny(tripleOfRgb(0xEE, 0xEE, 0xEE)), tripleOfRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(search.count(), 5);
    EXPECT_EQ(TPaletteSearch(palette, 0).count(), 2);
    EXPECT_EQ(TPaletteSearch(palette, 16777216).count(), 256);
}

// Two entries equally near a colour from opposite sides, where the one
// standing first is nowhere nearer to that colour's neighbours than the
// other is: the first must still win the tie.
TEST(PaletteSearch, TiesFromOppositeSidesGoToTheFirstEntry)
{
    struct Case {
        ColourValue first, second;
        TripleValue query;
    };
    const Case cases[] = {
        {colorValue(14, 14, 14), colorValue(0, 0, 0), tripleOfRgb(7, 7, 7)},
        {colorValue(0, 0, 0), colorValue(14, 14, 14), tripleOfRgb(7, 7, 7)},
        {colorValue(1, 1, 1), colorValue(15, 15, 15), tripleOfRgb(8, 8, 8)},
        {colorValue(255, 0, 100), colorValue(225, 30, 70), tripleOfRgb(240, 15, 85)},
        {colorValue(55, 200, 31), colorValue(41, 186, 17), tripleOfRgb(48, 193, 24)},
    };
    for (const Case& c : cases) {
        TPaletteSearch search(paletteOf({c.first, c.second}), 2);
        EXPECT_EQ(search.Search(pfAny, c.query), 0) << std::hex << c.query;
    }
}

// Black is equally near entries 1 and 2; green 20 is nearest to entry 2.
// The same query answers 1, then 2 once entry 2 has overtaken entry 1: the
// answers are indexes, which callers see as a stable palette.
TEST(PaletteSearch, EquallyNearEntriesAreReturnedInTurn)
{
    const TPaletteArray palette = paletteOf({colorValue(255, 255, 255), colorValue(0, 0, 10), colorValue(0, 10, 0)});
    TPaletteSearch search(palette, 3);
    const TripleValue tie = tripleOfRgb(0, 0, 0), green = tripleOfRgb(0, 20, 0);
    std::vector<int> answers;
    for (TripleValue query : {tie, green, tie, green, tie})
        answers.push_back(search.Search(pfAny, query));
    EXPECT_EQ(answers, (std::vector<int>{1, 2, 1, 2, 2}));

    // Duplicate entries: the one standing first, which the first hit puts at
    // the front for good.
    TPaletteSearch duplicates(paletteOf({0x000000, 0x123456, 0x123456}), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(duplicates.Search(pfAny, tripleOfColour(0x123456)), 1);
}

} // namespace
