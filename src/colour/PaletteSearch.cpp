// SPDX-License-Identifier: Apache-2.0
#include "colour/PaletteSearch.h"

#include "colour/Census.h"
#include "colour/PodBuffer.h"
#include "util/Picture.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <cstdlib>
#include <vector>

namespace ostrel {

namespace {

constexpr int kMaxEntries = 256;
constexpr int kFilters = 3;

// A pixel's bytes as one number, with whatever lies above them dropped.
constexpr uint32_t kTripleMask = 0xFFFFFF;

// pfAny, pfEvenBlue, pfOddBlue as 0, 1, 2; −1 for a filter that accepts nothing.
int filterNumber(TParityFilter filter)
{
    switch (filter) {
    case pfAny: return 0;
    case pfEvenBlue: return 1;
    case pfOddBlue: return 2;
    default: return -1;
    }
}

bool accepts(int filter, uint8_t blue) { return filter == 0 || (blue & 1) == (filter == 2 ? 1 : 0); }

struct Rgb {
    int red, green, blue;
};

int distance(const Rgb& a, int red, int green, int blue)
{
    const int dr = a.red - red, dg = a.green - green, db = a.blue - blue;
    return dr * dr + dg * dg + db * db;
}

// For every cell of the colour cube (8 values a side) and filter, the
// entries that can be nearest to some colour in the cell, or tie for it:
// those whose smallest possible distance to the cell does not exceed the
// smallest largest possible distance of any entry. Any other entry is
// strictly farther than that entry from every colour of the cell. Lists are
// made on first use, sorted by that smallest distance.
//
// Most lists hold one to three entries, so a cell's slot holds up to seven
// of them itself (one byte each after a length byte); a search then touches
// one slot and no list elsewhere. Longer lists live in a pool with their
// smallest distances, so a search can stop once no later entry can come as
// near as the best found.
class CandidateGrid {
public:
    static constexpr int kShift = 3;
    static constexpr int kSide = 256 >> kShift;
    static constexpr int kCells = kSide * kSide * kSide;
    static constexpr int kInline = 7;
    static constexpr uint64_t kPooled = 0xFF; // length byte of a slot whose list is in the pool

    struct Candidate {
        int32_t nearest; // smallest possible distance to the cell
        int32_t index;
    };

    // `live` marks the entries that can ever be an answer (see TPaletteSearch::Impl).
    CandidateGrid(const Rgb* colours, const bool* live, int n) : m_colours(colours), m_live(live), m_n(n) {}

    // The slot of the colour's cell for the filter: a length byte (0 until
    // the list is made) and the entries, or kPooled and the pool offset.
    uint64_t lookup(int filter, int red, int green, int blue)
    {
        PodBuffer<uint64_t>& table = m_slots[filter];
        if (table.empty())
            table = PodBuffer<uint64_t>::zeroed(kCells);
        const int cell = ((red >> kShift) * kSide + (green >> kShift)) * kSide + (blue >> kShift);
        uint64_t& s = table[size_t(cell)];
        if (s == 0)
            s = build(filter, red >> kShift << kShift, green >> kShift << kShift, blue >> kShift << kShift);
        return s;
    }

    // A pooled list: its length, then the candidates.
    const Candidate* pooled(uint64_t slot) const { return m_pool.data() + (slot >> 8); }

private:
    // Smallest and largest squared distance from a value to lo..lo + 7, one channel.
    static int nearestIn(int value, int lo)
    {
        const int hi = lo + (1 << kShift) - 1;
        const int d = value < lo ? lo - value : (value > hi ? value - hi : 0);
        return d * d;
    }
    static int farthestIn(int value, int lo)
    {
        const int hi = lo + (1 << kShift) - 1;
        const int d = std::max(std::abs(value - lo), std::abs(value - hi));
        return d * d;
    }

    uint64_t build(int filter, int red, int green, int blue)
    {
        int nearest[kMaxEntries];
        int bound = INT_MAX;
        for (int i = 0; i < m_n; ++i) {
            const Rgb& c = m_colours[i];
            nearest[i] = INT_MAX;
            if (!m_live[i] || !accepts(filter, uint8_t(c.blue)))
                continue;
            nearest[i] = nearestIn(c.red, red) + nearestIn(c.green, green) + nearestIn(c.blue, blue);
            bound = std::min(bound, farthestIn(c.red, red) + farthestIn(c.green, green) + farthestIn(c.blue, blue));
        }
        Candidate found[kMaxEntries];
        int count = 0;
        for (int i = 0; i < m_n; ++i) {
            if (nearest[i] <= bound)
                found[count++] = {nearest[i], i};
        }
        std::sort(found, found + count, [](const Candidate& a, const Candidate& b) { return a.nearest < b.nearest; });
        if (count <= kInline) {
            uint64_t s = uint64_t(count);
            for (int k = 0; k < count; ++k)
                s |= uint64_t(found[k].index) << (8 * (k + 1));
            return s;
        }
        const uint64_t start = m_pool.size();
        m_pool.push_back({count, 0});
        m_pool.insert(m_pool.end(), found, found + count);
        return start << 8 | kPooled;
    }

    const Rgb* m_colours;
    const bool* m_live;
    int m_n;
    PodBuffer<uint64_t> m_slots[kFilters];
    std::vector<Candidate> m_pool;
};

} // namespace

// The list order only decides between equally near entries: the answer is
// the accepted entry of smallest distance, and among those the one standing
// first in the list. So the nearest distance is found from the cell's
// candidates, and ties are settled by the entries' current list positions.
//
// An entry that repeats the colour of an earlier entry is never an answer:
// it starts behind that entry and could only pass it by being chosen while
// directly behind it, which the earlier one, equally near and ahead, always
// prevents. Leaving such entries out of the candidates keeps the answers and
// spares palettes padded with one colour (the black tail of a BMP colour
// table) a scan of every copy. They keep their list places, which still
// count for the moves of the others.
struct TPaletteSearch::Impl {
    TPaletteArray palette{};
    int n = 0;
    Rgb colour[kMaxEntries] = {};            // by palette index
    bool live[kMaxEntries] = {};             // first entry of its colour
    uint8_t indexAt[kMaxEntries] = {};       // list position → palette index
    uint8_t positionOf[kMaxEntries] = {};    // palette index → list position
    bool anyAccepted[kFilters] = {};
    CandidateGrid grid{colour, live, 0};
    // pfAny answers of nearestIndexRow by pixel colour, made on first use:
    // kSole and the index, kTied, or 0 while not asked yet.
    static constexpr int kBlockBits = 12;
    static constexpr uint32_t kBlockSize = 1u << kBlockBits;
    static constexpr uint16_t kSole = 0x100, kTied = 0x200;
    std::vector<std::unique_ptr<uint16_t[]>> soleAnswers;

    // The answer's reordering: the entry found moves one place forward; at
    // the front it stays, which the same stores do without a branch that
    // pictures of few interleaved colours would keep guessing wrong.
    void chosen(int index)
    {
        const int position = positionOf[index];
        const int front = position - (position > 0);
        const uint8_t passed = indexAt[front];
        indexAt[front] = uint8_t(index);
        indexAt[position] = passed;
        positionOf[passed] = uint8_t(position);
        positionOf[index] = uint8_t(front);
    }

    int nearestAny(TripleValue triple)
    {
        bool tied = false;
        return nearest(0, triple, tied);
    }

    uint16_t knownAnswer(TripleValue triple)
    {
        const std::unique_ptr<uint16_t[]>& block = soleAnswers[triple >> kBlockBits];
        const uint16_t known = block ? block[triple & (kBlockSize - 1)] : 0;
        return known != 0 ? known : learnAnswer(triple);
    }

    // The kept answers of a row; false at its first tied colour.
    bool soleAnswersRow(const uint8_t* row, int width, uint8_t* indices)
    {
        for (int x = 0; x < width; ++x, row += 3) {
            const uint16_t known = knownAnswer(tripleValue(row[0], row[1], row[2]));
            if (known == kTied)
                return false;
            indices[x] = uint8_t(known);
        }
        return true;
    }

    void prepareAnswers()
    {
        if (soleAnswers.empty())
            soleAnswers.resize(size_t(1) << (24 - kBlockBits));
    }

    // Works out and keeps a colour's entry for soleAnswers.
    [[gnu::noinline]] uint16_t learnAnswer(TripleValue triple)
    {
        std::unique_ptr<uint16_t[]>& block = soleAnswers[triple >> kBlockBits];
        if (!block)
            block = std::make_unique<uint16_t[]>(kBlockSize); // zeroed
        bool tied = false;
        const int index = nearest(0, triple, tied);
        return block[triple & (kBlockSize - 1)] = tied ? kTied : uint16_t(kSole | index);
    }

    // The accepted entry nearest to the colour, ties to the smaller list
    // position; `tied` tells whether another entry was as near.
    int nearest(int filter, TripleValue triple, bool& tied)
    {
        const int r = int(triple >> 16), g = int((triple >> 8) & 0xFF), b = int(triple & 0xFF);
        int bestDistance = INT_MAX, bestIndex = 0;
        tied = false;
        const auto consider = [&](int candidate) {
            const int d = distance(colour[candidate], r, g, b);
            if (d > bestDistance)
                return;
            if (d == bestDistance) {
                tied = true;
                if (positionOf[candidate] > positionOf[bestIndex])
                    return;
            } else {
                tied = false;
            }
            bestDistance = d;
            bestIndex = candidate;
        };
        const uint64_t cell = grid.lookup(filter, r, g, b);
        if ((cell & 0xFF) != CandidateGrid::kPooled) {
            for (uint64_t rest = cell >> 8, k = cell & 0xFF; k > 0; --k, rest >>= 8)
                consider(int(rest & 0xFF));
        } else {
            const CandidateGrid::Candidate* candidates = grid.pooled(cell);
            for (int32_t k = 1; k <= candidates[0].nearest && candidates[k].nearest <= bestDistance; ++k)
                consider(candidates[k].index);
        }
        // Every list has an entry: the filter accepts at least one.
        return bestIndex;
    }
};

TPaletteSearch::TPaletteSearch(const TPaletteArray& palette, int32_t count) : m_impl(new Impl)
{
    Impl& s = *m_impl;
    s.palette = palette;
    s.n = std::clamp<int32_t>(count, 2, kMaxEntries);
    for (int i = 0; i < s.n; ++i) {
        const ColourValue c = palette[size_t(i)];
        s.colour[i] = {redOf(c), greenOf(c), blueOf(c)};
        s.indexAt[i] = uint8_t(i);
        s.positionOf[i] = uint8_t(i);
        s.live[i] = true;
        for (int j = 0; j < i && s.live[i]; ++j)
            s.live[i] = s.colour[j].red != s.colour[i].red || s.colour[j].green != s.colour[i].green
                || s.colour[j].blue != s.colour[i].blue;
        for (int filter = 0; filter < kFilters; ++filter)
            s.anyAccepted[filter] = s.anyAccepted[filter] || accepts(filter, blueOf(c));
    }
    s.grid = CandidateGrid(s.colour, s.live, s.n);
}

TPaletteSearch::~TPaletteSearch()
{
    m_impl->palette.fill(0);
    m_impl->n = 0;
    delete m_impl;
}

int TPaletteSearch::count() const { return m_impl->n; }

int TPaletteSearch::Search(TParityFilter filter, TripleValue triple)
{
    Impl& s = *m_impl;
    const int number = filterNumber(filter);
    if (number < 0 || !s.anyAccepted[number])
        return s.indexAt[0];
    triple &= kTripleMask;
    bool tied = false;
    const int index = s.nearest(number, triple, tied);
    s.chosen(index);
    return index;
}

// A colour with one nearest entry gets that entry whatever the list order, so
// its answer is kept; only the reordering is done again for each pixel. The
// answers live in a table over all 2^24 colours, in blocks of 4096 colours
// made when a colour in them turns up: a few blocks for a paletted picture.
void TPaletteSearch::nearestIndexRow(const uint8_t* row, int width, uint8_t* indices)
{
    Impl& s = *m_impl;
    s.prepareAnswers();
    for (int x = 0; x < width; ++x, row += 3) {
        const TripleValue triple = tripleValue(row[0], row[1], row[2]);
        const uint16_t known = s.knownAnswer(triple);
        const int index = known & Impl::kSole ? known & 0xFF : s.nearestAny(triple);
        s.chosen(index);
        indices[x] = uint8_t(index);
    }
}

// The list order decides only the answers of tied colours. Rows without any
// are mapped by looking their colours up, which spares every pixel the
// reordering (two dependent memory round trips, the whole cost of a mapping
// otherwise). From the first row with a tied colour on the order matters:
// the rows before it are searched again with reordering, their answers (the
// same as the ones already given) dropped, and every later row in full.
void mapPictureToIndices(const QImage& picture, const TPaletteArray& palette, int32_t count,
                         const std::function<void(int y, const uint8_t* indices)>& takeRow)
{
    TPaletteSearch search(palette, count);
    TPaletteSearch::Impl& s = *search.m_impl;
    s.prepareAnswers();
    const int width = picture.width(), height = picture.height();
    std::vector<uint8_t> indices(static_cast<size_t>(width));
    bool tied = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.constScanLine(y);
        if (!tied && !s.soleAnswersRow(row, width, indices.data())) {
            tied = true;
            for (int before = 0; before < y; ++before)
                search.nearestIndexRow(picture.constScanLine(before), width, indices.data());
        }
        if (tied)
            search.nearestIndexRow(row, width, indices.data());
        takeRow(y, indices.data());
    }
}

int TPaletteSearch::SearchColor(ColourValue colour, TParityFilter filter)
{
    return Search(filter, tripleOfColour(colour));
}

TripleValue TPaletteSearch::NearestTriple(TParityFilter filter, TripleValue triple)
{
    return tripleOfColour(m_impl->palette[size_t(Search(filter, triple))]);
}

int TPaletteSearch::NearestIndex(TripleValue triple) { return Search(pfAny, triple); }
int TPaletteSearch::NearestIndexOfColor(ColourValue colour) { return SearchColor(colour, pfAny); }
TripleValue TPaletteSearch::NearestTripleAny(TripleValue triple) { return NearestTriple(pfAny, triple); }

SequentialPaletteSearch::SequentialPaletteSearch(const TPaletteArray& palette, int32_t count)
{
    const int n = std::clamp<int32_t>(count, 2, kMaxEntries);
    for (int i = 0; i < n; ++i) {
        const ColourValue c = palette[size_t(i)];
        m_list.push_back({blueOf(c), greenOf(c), redOf(c), uint8_t(i)});
    }
}

int SequentialPaletteSearch::Search(TParityFilter filter, TripleValue triple)
{
    const int number = filterNumber(filter);
    const int b = int(triple & 0xFF), g = int((triple >> 8) & 0xFF), r = int((triple >> 16) & 0xFF);
    int bestDistance = INT_MAX;
    size_t best = 0;
    for (size_t p = 0; p < m_list.size(); ++p) {
        const Entry& e = m_list[p];
        if (number < 0 || !accepts(number, e.blue))
            continue;
        const int dr = e.red - r, dg = e.green - g, db = e.blue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
            if (d == 0)
                break;
        }
    }
    const int index = m_list[best].index;
    if (best > 0)
        std::swap(m_list[best - 1], m_list[best]);
    return index;
}

namespace {

// Floyd–Steinberg weights in sixteenths; division truncates toward zero, as
// the diffusion has always done (−5 × 7 / 16 = −2).
void diffuse(uint8_t* pixel, int eR, int eG, int eB, int sixteenths)
{
    AddClampTriple(pixel, eR * sixteenths / 16, eG * sixteenths / 16, eB * sixteenths / 16);
}

} // namespace

void RemapToPalette(QImage& picture, int x1, int y1, int x2, int y2, const TPaletteArray& palette, int32_t count,
                    bool dither, const TProgressProc& progress)
{
    if (ClipRectToBitmap(picture, x1, y1, x2, y2))
        return;
    ensurePictureFormat(picture);
    if (count > 256)
        return;
    TPaletteSearch search(palette, count);
    const int64_t rows = int64_t(y2) - y1 + 1;
    for (int y = y1; y <= y2; ++y) {
        if (progress)
            progress(int32_t((int64_t(y) - y1 + 1) * 100 / rows));
        uint8_t* row = picture.scanLine(y);
        uint8_t* below = y < y2 ? picture.scanLine(y + 1) : nullptr;
        for (int x = x1; x <= x2; ++x) {
            uint8_t* px = row + 3 * size_t(x);
            const TripleValue old = tripleValue(px[0], px[1], px[2]);
            const TripleValue now = search.NearestTripleAny(old) & kTripleMask;
            px[0] = uint8_t(now);
            px[1] = uint8_t(now >> 8);
            px[2] = uint8_t(now >> 16);
            if (old == now || !dither)
                continue;
            const int eB = int(old & 0xFF) - int(now & 0xFF);
            const int eG = int((old >> 8) & 0xFF) - int((now >> 8) & 0xFF);
            const int eR = int((old >> 16) & 0xFF) - int((now >> 16) & 0xFF);
            if (x < x2)
                diffuse(px + 3, eR, eG, eB, 7);
            if (!below)
                continue;
            uint8_t* under = below + 3 * size_t(x);
            if (x > x1)
                diffuse(under - 3, eR, eG, eB, 1);
            diffuse(under, eR, eG, eB, 5);
            if (x < x2)
                diffuse(under + 3, eR, eG, eB, 3);
        }
    }
}

} // namespace ostrel
