// SPDX-License-Identifier: Apache-2.0
#include "colour/ZQXSplayTree.h"

#include <algorithm>

namespace ostrel {

void TZQXSplayBase::Clear()
{
    // The pool is one block, so releasing it costs no walk and no stack,
    // whatever the tree's shape.
    m_nodes.release();
    m_values.release();
    m_root = kNoNode;
    m_cursor = kNoNode;
    m_ascendingPrefix = 0;
}

// The end of the chain of `Down` links from n.
template <TSplayNode TZQXSplayBase::Node::*Down>
TSplayNode TZQXSplayBase::farthest(TSplayNode n) const
{
    if (n == kNoNode)
        return n;
    while (m_nodes[n].*Down != kNoNode)
        n = m_nodes[n].*Down;
    return n;
}

// The in-order neighbour on the `Down` side: the far end of that subtree's
// `Up` chain, or else the first ancestor reached from its `Up` side.
template <TSplayNode TZQXSplayBase::Node::*Down, TSplayNode TZQXSplayBase::Node::*Up>
TSplayNode TZQXSplayBase::neighbour(TSplayNode n) const
{
    if (m_nodes[n].*Down != kNoNode)
        return farthest<Up>(m_nodes[n].*Down);
    TSplayNode parent = m_nodes[n].parent;
    while (parent != kNoNode && m_nodes[parent].*Down == n) {
        n = parent;
        parent = m_nodes[n].parent;
    }
    return parent;
}

TSplayNode TZQXSplayBase::leftmost(TSplayNode n) const { return farthest<&Node::left>(n); }
TSplayNode TZQXSplayBase::rightmost(TSplayNode n) const { return farthest<&Node::right>(n); }
TSplayNode TZQXSplayBase::successor(TSplayNode n) const { return neighbour<&Node::right, &Node::left>(n); }
TSplayNode TZQXSplayBase::predecessor(TSplayNode n) const { return neighbour<&Node::left, &Node::right>(n); }

void TZQXSplayBase::First() { m_cursor = leftmost(m_root); }
void TZQXSplayBase::Last() { m_cursor = rightmost(m_root); }

void TZQXSplayBase::Next()
{
    if (m_cursor != kNoNode)
        m_cursor = successor(m_cursor);
}

void TZQXSplayBase::Prior()
{
    if (m_cursor != kNoNode)
        m_cursor = predecessor(m_cursor);
}

TSplayNode TZQXSplayBase::descend(int32_t key, TSplayNode& last) const
{
    last = kNoNode;
    TSplayNode n = m_root;
    while (n != kNoNode) {
        last = n;
        switch (CompareKeys(key, m_nodes[n].key)) {
        case scLess: n = m_nodes[n].left; break;
        case scGreater: n = m_nodes[n].right; break;
        case scEqual: return n;
        case scNone: return kNoNode;
        }
    }
    return kNoNode;
}

TSplayNode TZQXSplayBase::newNode(int32_t key, TSplayNode parent)
{
    const TSplayNode n = TSplayNode(m_nodes.size());
    if (m_ascendingPrefix == n && (n == 0 || key > m_nodes[n - 1].key))
        ++m_ascendingPrefix;
    m_nodes.push_back({key, parent, kNoNode, kNoNode});
    m_values.push_back(0);
    if (parent == kNoNode)
        m_root = n;
    else if (CompareKeys(key, m_nodes[parent].key) == scLess)
        m_nodes[parent].left = n;
    else
        m_nodes[parent].right = n;
    return n;
}

TSplayNode TZQXSplayBase::Find(int32_t key)
{
    TSplayNode last;
    const TSplayNode hit = descend(key, last);
    if (hit != kNoNode)
        splay(hit);
    return hit;
}

void TZQXSplayBase::Insert(int32_t key)
{
    TSplayNode last;
    if (descend(key, last) == kNoNode)
        newNode(key, last);
}

// A present key is splayed by the lookup; a new one is attached where the
// lookup ended and then splayed, which leaves the same shape as looking up,
// inserting and looking up again.
TSplayNode TZQXSplayBase::ensure(int32_t key)
{
    TSplayNode last;
    TSplayNode n = descend(key, last);
    if (n == kNoNode)
        n = newNode(key, last);
    splay(n);
    return n;
}

TSplayNode TZQXSplayBase::SetValue(int32_t key, int32_t value)
{
    const TSplayNode n = ensure(key);
    m_values[n] = value;
    return n;
}

TSplayNode TZQXSplayBase::AddValue(int32_t key, int32_t delta)
{
    const TSplayNode n = ensure(key);
    // Wraps like the 32-bit addition it stands for instead of being undefined.
    m_values[n] = int32_t(uint32_t(m_values[n]) + uint32_t(delta));
    return n;
}

// Lifts x one level, keeping every parent link exact.
void TZQXSplayBase::rotateUp(TSplayNode x)
{
    Node& nx = m_nodes[x];
    const TSplayNode p = nx.parent;
    Node& np = m_nodes[p];
    const TSplayNode g = np.parent;
    if (np.left == x) {
        np.left = nx.right;
        if (nx.right != kNoNode)
            m_nodes[nx.right].parent = p;
        nx.right = p;
    } else {
        np.right = nx.left;
        if (nx.left != kNoNode)
            m_nodes[nx.left].parent = p;
        nx.left = p;
    }
    np.parent = x;
    nx.parent = g;
    if (g == kNoNode)
        m_root = x;
    else if (m_nodes[g].left == p)
        m_nodes[g].left = x;
    else
        m_nodes[g].right = x;
}

void TZQXSplayBase::splay(TSplayNode x)
{
    while (m_nodes[x].parent != kNoNode) {
        const TSplayNode p = m_nodes[x].parent;
        const TSplayNode g = m_nodes[p].parent;
        if (g == kNoNode) {
            rotateUp(x);
        } else if ((m_nodes[p].left == x) == (m_nodes[g].left == p)) {
            rotateUp(p);
            rotateUp(x);
        } else {
            rotateUp(x);
            rotateUp(x);
        }
    }
}

// Nodes 0 .. n − 1 hold ascending keys; the middle of every range becomes the
// parent of the middles of its two halves. The ranges are visited in order,
// so the nodes are written front to back, and an explicit stack (at most 33
// deep) stands in for recursion.
void TZQXSplayBase::linkBalanced()
{
    m_cursor = kNoNode;
    const uint32_t n = uint32_t(m_nodes.size());
    const auto middle = [](uint32_t lo, uint32_t hi) { return lo + (hi - lo) / 2; };
    m_root = n == 0 ? kNoNode : middle(0, n);
    struct Range {
        uint32_t lo, hi;
        TSplayNode parent;
    };
    Range stack[40];
    int top = 0;
    Range current = {0, n, kNoNode};
    for (;;) {
        while (current.lo < current.hi) {
            stack[top++] = current;
            current = {current.lo, middle(current.lo, current.hi), middle(current.lo, current.hi)};
        }
        if (top == 0)
            break;
        const Range range = stack[--top];
        const uint32_t mid = middle(range.lo, range.hi);
        Node& node = m_nodes[mid];
        node.parent = range.parent;
        node.left = range.lo < mid ? middle(range.lo, mid) : kNoNode;
        node.right = mid + 1 < range.hi ? middle(mid + 1, range.hi) : kNoNode;
        current = {mid + 1, range.hi, mid};
    }
}

void TZQXSplayBase::beginAscending(size_t expected)
{
    Clear();
    m_outOfOrder = false;
    m_nodes.reserve(expected);
    m_values.reserve(expected);
}

void TZQXSplayBase::endAscending()
{
    if (m_outOfOrder) {
        const PodBuffer<Node> nodes = std::move(m_nodes);
        const PodBuffer<int32_t> values = std::move(m_values);
        Clear();
        for (size_t i = 0; i < nodes.size(); ++i)
            SetValue(nodes[i].key, values[i]);
        m_outOfOrder = false;
        return;
    }
    m_nodes.shrinkToFit();
    m_values.shrinkToFit();
    m_ascendingPrefix = m_nodes.size();
    linkBalanced();
}

void TZQXSplayBase::assignAscending(std::span<const int32_t> keys, std::span<const int32_t> values)
{
    const size_t n = std::min(keys.size(), values.size());
    beginAscending(n);
    for (size_t i = 0; i < n; ++i)
        appendAscending(keys[i], values[i]);
    endAscending();
}

int TZQXSplayBase::height() const
{
    int height = 0;
    for (TSplayNode n = leftmost(m_root); n != kNoNode; n = successor(n)) {
        if (m_nodes[n].left != kNoNode || m_nodes[n].right != kNoNode)
            continue;
        int depth = 1;
        for (TSplayNode up = m_nodes[n].parent; up != kNoNode; up = m_nodes[up].parent)
            ++depth;
        height = std::max(height, depth);
    }
    return height;
}

} // namespace ostrel
