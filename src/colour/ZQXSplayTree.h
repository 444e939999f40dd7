// SPDX-License-Identifier: Apache-2.0
#pragma once
// A self-adjusting search tree (bottom-up splay tree) from a signed 32-bit key
// to a signed 32-bit value. The program keeps colour censuses in it: key a
// colour value, value a number of pixels.
//
// Nodes live in a pool addressed by 32-bit handles rather than one heap block
// each: a census of all 16 777 216 colours then takes 20 bytes per colour.
// The handles stay valid until Clear, so the cursor survives updates.
#include "colour/PaletteTypes.h"
#include "colour/PodBuffer.h"

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ostrel {

using TSplayNode = uint32_t;
constexpr TSplayNode kNoNode = 0xFFFFFFFFu;

enum TSplayCompare : int32_t { scNone = 0, scEqual = 1, scLess = 2, scGreater = 3 };

class TZQXSplayBase {
public:
    TZQXSplayBase() = default;

    void Clear();
    int32_t Count() const { return int32_t(m_nodes.size()); }

    // On a hit the node is splayed to the root; a miss changes nothing.
    TSplayNode Find(int32_t key);
    bool Contains(int32_t key) { return Find(key) != kNoNode; }
    // Adds a node with value 0 for a key not yet present, without splaying.
    void Insert(int32_t key);
    // Both make the key present, splay it to the root and return its node.
    TSplayNode SetValue(int32_t key, int32_t value);
    TSplayNode AddValue(int32_t key, int32_t delta);

    // The cursor; walking never changes the tree's shape.
    void First();
    void Last();
    void Next();
    void Prior();
    bool HasCurrent() const { return m_cursor != kNoNode; }
    int32_t CurrentKey() const { return HasCurrent() ? m_nodes[m_cursor].key : 0; }
    int32_t CurrentValue() const { return HasCurrent() ? m_values[m_cursor] : 0; }

    int32_t nodeValue(TSplayNode node) const { return m_values[node]; }

    static TSplayCompare CompareKeys(int32_t a, int32_t b)
    {
        return a < b ? scLess : (a > b ? scGreater : scEqual);
    }

    // Calls visit(key, value) in ascending key order without touching the
    // cursor or the shape, so a tree can be read while it is shared as const.
    template <class Visit>
    void forEachAscending(Visit&& visit) const
    {
        visitInOrder(false, [&](int32_t key, int32_t value) {
            visit(key, value);
            return true;
        });
    }

    // Calls visit(key, value) in ascending or descending key order, like
    // forEachAscending, until it returns false; false when it was stopped.
    template <class Visit>
    bool visitInOrder(bool descending, Visit&& visit) const
    {
        const size_t tail = m_nodes.size() - m_ascendingPrefix;
        if (tail > kMergeableTail && tail > m_nodes.size() / 8) {
            if (descending) {
                for (TSplayNode n = rightmost(m_root); n != kNoNode; n = predecessor(n))
                    if (!visit(m_nodes[n].key, m_values[n]))
                        return false;
            } else {
                for (TSplayNode n = leftmost(m_root); n != kNoNode; n = successor(n))
                    if (!visit(m_nodes[n].key, m_values[n]))
                        return false;
            }
            return true;
        }
        // Nodes lie in the pool in the order they were made; when nearly all
        // were made in ascending order (a census plus a few later keys), the
        // pool read front to back (or back to front), merged with the few
        // others sorted, is the walk without its jumps around memory.
        std::vector<TSplayNode> later(tail);
        for (size_t i = 0; i < tail; ++i)
            later[i] = TSplayNode(m_ascendingPrefix + i);
        std::sort(later.begin(), later.end(),
                  [this](TSplayNode a, TSplayNode b) { return m_nodes[a].key < m_nodes[b].key; });
        if (descending)
            std::reverse(later.begin(), later.end());
        // Whether a node of the later ones comes before pool node n in the walk.
        auto before = [&](TSplayNode other, TSplayNode n) {
            return descending ? m_nodes[other].key > m_nodes[n].key : m_nodes[other].key < m_nodes[n].key;
        };
        size_t next = 0;
        for (size_t i = 0; i < m_ascendingPrefix; ++i) {
            const TSplayNode n = TSplayNode(descending ? m_ascendingPrefix - 1 - i : i);
            for (; next < tail && before(later[next], n); ++next)
                if (!visit(m_nodes[later[next]].key, m_values[later[next]]))
                    return false;
            if (!visit(m_nodes[n].key, m_values[n]))
                return false;
        }
        for (; next < tail; ++next)
            if (!visit(m_nodes[later[next]].key, m_values[later[next]]))
                return false;
        return true;
    }

    // Replaces the contents by the given pairs, whose keys must be strictly
    // ascending, as a balanced tree. The census builds its tree this way after
    // counting, instead of one splaying update per pixel. Keys out of order
    // fall back to one update per pair.
    void assignAscending(std::span<const int32_t> keys, std::span<const int32_t> values);
    // The same, one pair at a time: beginAscending (which empties the tree),
    // appendAscending for each pair, endAscending. `expected` is a capacity
    // hint; memory reserved beyond it is cheap because untouched pages of a
    // large block cost nothing, and endAscending gives back what is unused.
    void beginAscending(size_t expected);
    void appendAscending(int32_t key, int32_t value)
    {
        if (!m_nodes.empty() && key <= m_nodes[m_nodes.size() - 1].key)
            m_outOfOrder = true;
        m_nodes.push_back({key, kNoNode, kNoNode, kNoNode});
        m_values.push_back(value);
    }
    void endAscending();

    // Root-to-leaf depth of the deepest node; for tests of balance and splaying.
    int height() const;
    int32_t rootKey() const { return m_root == kNoNode ? 0 : m_nodes[m_root].key; }

private:
    struct Node {
        int32_t key;
        TSplayNode parent, left, right;
    };

    template <TSplayNode Node::*Down>
    TSplayNode farthest(TSplayNode n) const;
    template <TSplayNode Node::*Down, TSplayNode Node::*Up>
    TSplayNode neighbour(TSplayNode n) const;
    TSplayNode leftmost(TSplayNode n) const;
    TSplayNode rightmost(TSplayNode n) const;
    TSplayNode successor(TSplayNode n) const;
    TSplayNode predecessor(TSplayNode n) const;
    TSplayNode newNode(int32_t key, TSplayNode parent);
    // Descends to the key; returns the hit or kNoNode and the last node visited.
    TSplayNode descend(int32_t key, TSplayNode& last) const;
    TSplayNode ensure(int32_t key);
    void rotateUp(TSplayNode x);
    void splay(TSplayNode x);
    void linkBalanced();

    PodBuffer<Node> m_nodes;
    PodBuffer<int32_t> m_values;
    TSplayNode m_root = kNoNode;
    TSplayNode m_cursor = kNoNode;
    bool m_outOfOrder = false;
    // The first m_ascendingPrefix nodes of the pool hold ascending keys.
    size_t m_ascendingPrefix = 0;
    static constexpr size_t kMergeableTail = 4096;
};

class TZQXIntegerSplayTree : public TZQXSplayBase {
public:
    TSplayNode SetCount(int32_t key, int32_t value) { return SetValue(key, value); }
    TSplayNode AddCount(int32_t key, int32_t delta) { return AddValue(key, delta); }
};

// Keys are colour values (red in bits 0-7, green 8-15, blue 16-23).
class TZQXTColorSplayTree : public TZQXIntegerSplayTree {
public:
    TSplayNode SetCount(ColourValue key, int32_t value) { return SetValue(int32_t(key), value); }
    TSplayNode AddCount(ColourValue key, int32_t delta) { return AddValue(int32_t(key), delta); }
    ColourValue CurrentKey() const { return ColourValue(TZQXSplayBase::CurrentKey()); }
};

} // namespace ostrel
