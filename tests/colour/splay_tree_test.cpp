// SPDX-License-Identifier: Apache-2.0
// The colour splay tree: counts, walk order, splaying, and the bulk builds
// the census uses in place of one update per pixel.
#include "colour/ZQXSplayTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

using namespace ostrel;

namespace {

std::vector<std::pair<int32_t, int32_t>> walk(TZQXSplayBase& tree)
{
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (tree.First(); tree.HasCurrent(); tree.Next())
        pairs.emplace_back(tree.CurrentKey(), tree.CurrentValue());
    return pairs;
}

// The walk from the largest key down, reversed into ascending order.
std::vector<std::pair<int32_t, int32_t>> walkBackwards(TZQXSplayBase& tree)
{
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (tree.Last(); tree.HasCurrent(); tree.Prior())
        pairs.emplace_back(tree.CurrentKey(), tree.CurrentValue());
    std::reverse(pairs.begin(), pairs.end());
    return pairs;
}

TEST(SplayTree, EmptyTreeHasNoCursorAndReadsZero)
{
    TZQXTColorSplayTree tree;
    EXPECT_EQ(tree.Count(), 0);
    tree.First();
    EXPECT_FALSE(tree.HasCurrent());
    EXPECT_EQ(tree.CurrentKey(), 0u);
    EXPECT_EQ(tree.CurrentValue(), 0);
    tree.Last();
    EXPECT_FALSE(tree.HasCurrent());
    EXPECT_EQ(tree.Find(5), kNoNode);
    EXPECT_FALSE(tree.Contains(5));
}

TEST(SplayTree, UpdatesCountDistinctKeysAndKeepTheirValues)
{
    TZQXTColorSplayTree tree;
    tree.AddCount(0x123456, 1);
    tree.AddCount(0x123456, 1);
    tree.AddCount(0x123456, 1);
    EXPECT_EQ(tree.Count(), 1);
    EXPECT_EQ(tree.nodeValue(tree.Find(0x123456)), 3);

    // A value of 0 still makes the key present.
    tree.SetCount(0x000001, 0);
    EXPECT_EQ(tree.Count(), 2);
    EXPECT_TRUE(tree.Contains(0x000001));

    tree.SetCount(0x123456, 10);
    tree.AddCount(0x123456, -4);
    EXPECT_EQ(tree.nodeValue(tree.Find(0x123456)), 6);
    EXPECT_EQ(tree.Count(), 2);

    // Insert adds a zero value and never touches a present key.
    tree.Insert(0x000002);
    tree.Insert(0x123456);
    EXPECT_EQ(tree.Count(), 3);
    EXPECT_EQ(tree.nodeValue(tree.Find(0x000002)), 0);
    EXPECT_EQ(tree.nodeValue(tree.Find(0x123456)), 6);
}

TEST(SplayTree, KeysCompareAsSignedIntegers)
{
    TZQXIntegerSplayTree tree;
    for (int32_t key : {0, 7, int32_t(0x80000000), -1, 0x7FFFFFFF})
        tree.AddCount(key, 1);
    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {int32_t(0x80000000), 1}, {-1, 1}, {0, 1}, {7, 1}, {0x7FFFFFFF, 1}};
    EXPECT_EQ(walk(tree), expected);
}

TEST(SplayTree, EveryUpdateAndHitLeavesTheKeyAtTheRoot)
{
    TZQXTColorSplayTree tree;
    for (ColourValue key : {50u, 20u, 80u, 10u, 30u})
        tree.AddCount(key, 1);
    EXPECT_EQ(tree.rootKey(), 30);
    tree.AddCount(80, 1); // present
    EXPECT_EQ(tree.rootKey(), 80);
    tree.SetCount(10, 4);
    EXPECT_EQ(tree.rootKey(), 10);
    EXPECT_NE(tree.Find(50), kNoNode);
    EXPECT_EQ(tree.rootKey(), 50);
    // Insert and a miss do not splay.
    tree.Insert(60);
    EXPECT_EQ(tree.rootKey(), 50);
    EXPECT_EQ(tree.Find(55), kNoNode);
    EXPECT_EQ(tree.rootKey(), 50);
}

// Ascending updates build a path hanging to the left (each new key is
// splayed above the others); looking up its bottom key with bottom-up
// zig-zig steps folds the path: 1 at the root, 6 its right child, 4 and 7
// the children of 6, 2 and 5 those of 4, and 3 the right child of 2.
TEST(SplayTree, ZigZigStepsFoldAPathAsBottomUpSplaying)
{
    TZQXIntegerSplayTree tree;
    for (int32_t key = 1; key <= 7; ++key)
        tree.AddCount(key, key * 10);
    EXPECT_EQ(tree.rootKey(), 7);
    EXPECT_EQ(tree.height(), 7);
    ASSERT_NE(tree.Find(1), kNoNode);
    EXPECT_EQ(tree.rootKey(), 1);
    EXPECT_EQ(tree.height(), 5);
    // 5 is the right child of a left child: a zig-zag step, then a zig,
    // leaving 5 over 1 (with 4, 2, 3 below it) and 6 (with 7).
    ASSERT_NE(tree.Find(5), kNoNode);
    EXPECT_EQ(tree.rootKey(), 5);
    EXPECT_EQ(tree.height(), 5);
    const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 10}, {2, 20}, {3, 30}, {4, 40},
                                                               {5, 50}, {6, 60}, {7, 70}};
    EXPECT_EQ(walk(tree), expected);
}

TEST(SplayTree, AMissAndAWalkLeaveTheShapeAndTheCursorAlone)
{
    TZQXTColorSplayTree tree;
    for (ColourValue key : {5u, 3u, 9u, 1u, 7u})
        tree.AddCount(key, 1);
    tree.First();
    tree.Next(); // on 3
    const int32_t root = tree.rootKey();
    const int height = tree.height();
    EXPECT_EQ(tree.Find(4), kNoNode);
    EXPECT_EQ(tree.rootKey(), root);
    EXPECT_EQ(tree.height(), height);
    ASSERT_TRUE(tree.HasCurrent());
    EXPECT_EQ(tree.CurrentKey(), 3u);
    tree.Next();
    EXPECT_EQ(tree.CurrentKey(), 5u);
}

TEST(SplayTree, TheCursorStaysOnItsNodeThroughUpdatesAndClearResetsIt)
{
    TZQXTColorSplayTree tree;
    for (ColourValue key : {5u, 3u, 9u})
        tree.AddCount(key, 1);
    tree.First(); // on 3
    tree.AddCount(100, 1);
    tree.AddCount(3, 1);
    ASSERT_TRUE(tree.HasCurrent());
    EXPECT_EQ(tree.CurrentKey(), 3u);
    EXPECT_EQ(tree.CurrentValue(), 2);
    tree.Next();
    EXPECT_EQ(tree.CurrentKey(), 5u);
    tree.Clear();
    EXPECT_FALSE(tree.HasCurrent());
    EXPECT_EQ(tree.Count(), 0);
    tree.First();
    EXPECT_FALSE(tree.HasCurrent());
}

// A hundred thousand ascending keys make a path as deep as the tree is big;
// clearing and walking it must not recurse.
TEST(SplayTree, ADegeneratePathWalksAndClearsWithoutRecursion)
{
    TZQXIntegerSplayTree tree;
    constexpr int32_t kKeys = 100000;
    for (int32_t key = 0; key < kKeys; ++key)
        tree.AddCount(key, 1);
    EXPECT_EQ(tree.Count(), kKeys);
    int32_t visited = 0;
    for (tree.First(); tree.HasCurrent(); tree.Next())
        ASSERT_EQ(tree.CurrentKey(), visited++);
    EXPECT_EQ(visited, kKeys);
    tree.Clear();
    EXPECT_EQ(tree.Count(), 0);
    tree.AddCount(1, 1);
    EXPECT_EQ(tree.Count(), 1);
}

// Random updates and lookups against an ordered map: the walk in both
// directions, the count and the const walk always agree with it.
TEST(SplayTree, RandomUpdatesAgreeWithAnOrderedMap)
{
    std::mt19937 rng(11);
    TZQXIntegerSplayTree tree;
    std::map<int32_t, int32_t> model;
    for (int step = 0; step < 20000; ++step) {
        const int32_t key = int32_t(rng() % 3000) - 1500;
        const int32_t amount = int32_t(rng() % 7) - 3;
        switch (rng() % 4) {
        case 0:
            tree.SetValue(key, amount);
            model[key] = amount;
            break;
        case 1:
        case 2:
            tree.AddValue(key, amount);
            model[key] += amount;
            break;
        default:
            EXPECT_EQ(tree.Find(key) != kNoNode, model.count(key) == 1);
            break;
        }
    }
    const std::vector<std::pair<int32_t, int32_t>> expected(model.begin(), model.end());
    EXPECT_EQ(tree.Count(), int32_t(model.size()));
    EXPECT_EQ(walk(tree), expected);
    EXPECT_EQ(walkBackwards(tree), expected);
    std::vector<std::pair<int32_t, int32_t>> constWalk;
    static_cast<const TZQXIntegerSplayTree&>(tree).forEachAscending(
        [&](int32_t key, int32_t value) { constWalk.emplace_back(key, value); });
    EXPECT_EQ(constWalk, expected);
}

TEST(SplayTree, AscendingBulkBuildIsBalancedAndBehavesLikeUpdates)
{
    for (int n : {0, 1, 2, 3, 7, 8, 1000, 65537}) {
        std::vector<int32_t> keys, values;
        for (int i = 0; i < n; ++i) {
            keys.push_back(3 * i - 50);
            values.push_back(i + 1);
        }
        TZQXIntegerSplayTree tree;
        tree.AddValue(999999, 1); // replaced by the build
        tree.assignAscending(keys, values);
        ASSERT_EQ(tree.Count(), n);
        int log2 = 0;
        while ((1 << log2) <= n)
            ++log2;
        EXPECT_LE(tree.height(), log2) << n;
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (int i = 0; i < n; ++i)
            expected.emplace_back(keys[size_t(i)], values[size_t(i)]);
        EXPECT_EQ(walk(tree), expected);
        EXPECT_EQ(walkBackwards(tree), expected);
        // The built tree splays and grows like any other.
        if (n > 2) {
            ASSERT_NE(tree.Find(keys[1]), kNoNode);
            EXPECT_EQ(tree.rootKey(), keys[1]);
            tree.AddValue(keys[1] + 1, 5);
            EXPECT_EQ(tree.rootKey(), keys[1] + 1);
            EXPECT_EQ(tree.Count(), n + 1);
        }
    }
}

// The const walk reads a built tree from its pool and merges in keys added
// later; the cursor walk and the const walk must agree whichever keys come
// later and however many.
TEST(SplayTree, ConstWalkAgreesAfterKeysAreAddedToABuiltTree)
{
    std::mt19937 rng(5);
    for (int later : {0, 1, 16, 3000, 9000}) {
        std::vector<int32_t> keys, values;
        for (int32_t i = 0; i < 20000; ++i) {
            keys.push_back(4 * i);
            values.push_back(i % 7 + 1);
        }
        TZQXIntegerSplayTree tree;
        tree.assignAscending(keys, values);
        std::map<int32_t, int32_t> model;
        for (size_t i = 0; i < keys.size(); ++i)
            model[keys[i]] = values[i];
        for (int i = 0; i < later; ++i) {
            const int32_t key = int32_t(rng() % 100000) - 10000; // before, among and after the others
            tree.AddValue(key, 2);
            model[key] += 2;
        }
        std::vector<std::pair<int32_t, int32_t>> constWalk;
        static_cast<const TZQXIntegerSplayTree&>(tree).forEachAscending(
            [&](int32_t key, int32_t value) { constWalk.emplace_back(key, value); });
        const std::vector<std::pair<int32_t, int32_t>> expected(model.begin(), model.end());
        EXPECT_EQ(constWalk, expected) << later;
        EXPECT_EQ(walk(tree), expected) << later;

        // Both directions, whole and stopped after a few keys.
        const std::vector<std::pair<int32_t, int32_t>> descending(expected.rbegin(), expected.rend());
        for (const bool down : {false, true}) {
            const auto& order = down ? descending : expected;
            for (const size_t stopAfter : {size_t(0), size_t(1), size_t(777)}) { // 0: never stop
                std::vector<std::pair<int32_t, int32_t>> seen;
                const bool whole = static_cast<const TZQXIntegerSplayTree&>(tree).visitInOrder(
                    down, [&](int32_t key, int32_t value) {
                        seen.emplace_back(key, value);
                        return stopAfter == 0 || seen.size() < stopAfter;
                    });
                const size_t length = stopAfter == 0 ? order.size() : stopAfter;
                EXPECT_EQ(whole, stopAfter == 0) << later << " down " << down;
                EXPECT_EQ(seen, std::vector(order.begin(), order.begin() + std::ptrdiff_t(length)))
                    << later << " down " << down << " stop " << stopAfter;
            }
        }
    }
}

TEST(SplayTree, BulkBuildOfKeysOutOfOrderStillYieldsTheRightTree)
{
    const std::vector<int32_t> keys = {5, 1, 9, 1, 3};
    const std::vector<int32_t> values = {50, 10, 90, 11, 30};
    TZQXIntegerSplayTree tree;
    tree.assignAscending(keys, values);
    // A repeated key keeps its last value, as repeated SetValue calls would.
    const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 11}, {3, 30}, {5, 50}, {9, 90}};
    EXPECT_EQ(walk(tree), expected);

    tree.beginAscending(4);
    tree.appendAscending(2, 20);
    tree.appendAscending(2, 21);
    tree.endAscending();
    const std::vector<std::pair<int32_t, int32_t>> repeated = {{2, 21}};
    EXPECT_EQ(walk(tree), repeated);
}

TEST(SplayTree, ACopyIsIndependent)
{
    TZQXTColorSplayTree tree;
    tree.AddCount(1, 1);
    TZQXTColorSplayTree copy = tree;
    copy.AddCount(2, 1);
    tree.AddCount(1, 1);
    EXPECT_EQ(tree.Count(), 1);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.nodeValue(copy.Find(1)), 1);
}

} // namespace
