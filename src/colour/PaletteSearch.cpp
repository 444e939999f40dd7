#include "colour/PaletteSearch.h"

#include "colour/Census.h"
#include "util/Picture.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ostrel {

namespace {

constexpr int kMaxEntries = 256;
constexpr int kLanes = 8;

// A pixel's bytes as one number, with whatever lies above them dropped.
constexpr uint32_t kTripleMask = 0xFFFFFF;

// Each entry carries one bit per filter that accepts it; padding entries
// carry none.
constexpr uint32_t kAcceptAny = 1, kAcceptEven = 2, kAcceptOdd = 4;

uint32_t acceptBits(uint8_t blue) { return kAcceptAny | ((blue & 1) ? kAcceptOdd : kAcceptEven); }

// The accept bit a filter asks for; 0 for a filter that accepts nothing.
uint32_t filterBit(TParityFilter filter)
{
    switch (filter) {
    case pfAny: return kAcceptAny;
    case pfEvenBlue: return kAcceptEven;
    case pfOddBlue: return kAcceptOdd;
    default: return 0;
    }
}

// The list in the form the distance scan reads: red and green as pairs of
// 16-bit values, blue paired with zero, so one multiply-add gives r² + g²
// and another b². Its length is padded to whole groups of kLanes.
struct ScanList {
    alignas(32) int16_t redGreen[2 * kMaxEntries] = {};
    alignas(32) int16_t blueZero[2 * kMaxEntries] = {};
    alignas(32) uint32_t accept[kMaxEntries] = {};
    int padded = 0;
};

// Entries are compared as distance << 8 | position: a distance is at most
// 3 × 255², so this fits in 26 bits, and the smallest such pair is exactly
// what a front-to-back scan that keeps the first strictly smaller distance
// returns (its early stop at a distance of 0 included). A rejected entry
// counts as UINT32_MAX. `second` is the next smallest pair, which tells
// whether the nearest entry is the only one at its distance.
struct Nearest {
    uint32_t best = UINT32_MAX;
    uint32_t second = UINT32_MAX;
    bool found() const { return best != UINT32_MAX; }
    bool unique() const { return found() && (second == UINT32_MAX || (second >> 8) != (best >> 8)); }
    int position() const { return found() ? int(best & 0xFF) : 0; }
    void take(uint32_t pair)
    {
        second = std::min(second, std::max(best, pair));
        best = std::min(best, pair);
    }
};

Nearest scanPortable(const ScanList& list, int r, int g, int b, uint32_t wanted)
{
    Nearest nearest;
    for (int p = 0; p < list.padded; ++p) {
        const int dr = list.redGreen[2 * p] - r, dg = list.redGreen[2 * p + 1] - g;
        const int db = list.blueZero[2 * p] - b;
        const uint32_t distance = uint32_t(dr * dr + dg * dg + db * db);
        nearest.take((list.accept[p] & wanted) ? (distance << 8 | uint32_t(p)) : UINT32_MAX);
    }
    return nearest;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define OSTREL_SCAN_AVX2 1

__attribute__((target("avx2"))) Nearest scanAvx2(const ScanList& list, int r, int g, int b, uint32_t wanted)
{
    const __m256i target = _mm256_set1_epi32(int32_t(uint32_t(g) << 16 | uint32_t(r)));
    const __m256i targetBlue = _mm256_set1_epi32(b);
    const __m256i want = _mm256_set1_epi32(int32_t(wanted));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i step = _mm256_set1_epi32(kLanes);
    __m256i position = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i best = _mm256_set1_epi32(-1), second = best;
    for (int p = 0; p < list.padded; p += kLanes) {
        const __m256i rg = _mm256_sub_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(list.redGreen + 2 * p)), target);
        const __m256i bz = _mm256_sub_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(list.blueZero + 2 * p)), targetBlue);
        const __m256i distance = _mm256_add_epi32(_mm256_madd_epi16(rg, rg), _mm256_madd_epi16(bz, bz));
        const __m256i accepted = _mm256_and_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(list.accept + p)), want);
        const __m256i pair = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(distance, 8), position),
                                             _mm256_cmpeq_epi32(accepted, zero));
        second = _mm256_min_epu32(second, _mm256_max_epu32(best, pair));
        best = _mm256_min_epu32(best, pair);
        position = _mm256_add_epi32(position, step);
    }
    alignas(32) uint32_t bests[kLanes], seconds[kLanes];
    _mm256_store_si256(reinterpret_cast<__m256i*>(bests), best);
    _mm256_store_si256(reinterpret_cast<__m256i*>(seconds), second);
    Nearest nearest;
    for (int lane = 0; lane < kLanes; ++lane) {
        nearest.take(bests[lane]);
        nearest.take(seconds[lane]);
    }
    return nearest;
}
#endif

using ScanFunction = Nearest (*)(const ScanList&, int, int, int, uint32_t);

ScanFunction chooseScan()
{
#if defined(OSTREL_SCAN_AVX2)
    if (__builtin_cpu_supports("avx2"))
        return scanAvx2;
#endif
    return scanPortable;
}

// Triple → the first list position holding that triple. Open addressing over
// four times as many slots as a palette can have entries, so probes are short.
class ExactTable {
public:
    // Stores the position unless the triple is already there (an earlier position).
    void addIfAbsent(uint32_t triple, int position)
    {
        const int slot = find(triple);
        if (m_used[slot])
            return;
        m_used[slot] = true;
        m_triple[slot] = triple;
        m_position[slot] = int16_t(position);
    }
    int16_t* positionOf(uint32_t triple)
    {
        const int slot = find(triple);
        return m_used[slot] ? &m_position[slot] : nullptr;
    }

private:
    static constexpr int kSlots = 4 * kMaxEntries;
    int find(uint32_t triple) const
    {
        int slot = int((triple * 0x9E3779B1u) >> 22) & (kSlots - 1);
        while (m_used[slot] && m_triple[slot] != triple)
            slot = (slot + 1) & (kSlots - 1);
        return slot;
    }

    bool m_used[kSlots] = {};
    uint32_t m_triple[kSlots] = {};
    int16_t m_position[kSlots] = {};
};

// Answers that no reordering of the list can change: (triple, filter) whose
// nearest accepted entry is strictly nearer than every other accepted entry.
// Ties are never stored, since their answer depends on the list order.
class UniqueAnswers {
public:
    UniqueAnswers() { std::fill(std::begin(m_key), std::end(m_key), kEmpty); }
    // The palette index, or −1.
    int find(uint32_t triple, uint32_t wanted) const
    {
        const uint32_t key = keyOf(triple, wanted);
        const int slot = slotOf(key);
        return m_key[slot] == key ? m_index[slot] : -1;
    }
    void store(uint32_t triple, uint32_t wanted, uint8_t index)
    {
        const uint32_t key = keyOf(triple, wanted);
        const int slot = slotOf(key);
        m_key[slot] = key;
        m_index[slot] = index;
    }

private:
    static constexpr int kBits = 14;
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static uint32_t keyOf(uint32_t triple, uint32_t wanted) { return triple << 3 | wanted; }
    static int slotOf(uint32_t key) { return int((key * 0x9E3779B1u) >> (32 - kBits)); }

    uint32_t m_key[1 << kBits];
    uint8_t m_index[1 << kBits] = {};
};

} // namespace

// The search list is held as parallel arrays so that the distance scan runs
// over all entries at once; entries keep their palette index when the list
// reorders.
struct TPaletteSearch::Impl {
    TPaletteArray palette{};
    int n = 0;
    ScanList scan;
    ScanFunction scanFunction = scanPortable;
    uint32_t triple[kMaxEntries] = {};
    uint8_t index[kMaxEntries] = {};
    uint8_t positionOfIndex[kMaxEntries] = {};
    ExactTable exact;
    UniqueAnswers answers;

    void setEntry(int position, TColorValue colour)
    {
        scan.redGreen[2 * position] = redOf(colour);
        scan.redGreen[2 * position + 1] = greenOf(colour);
        scan.blueZero[2 * position] = blueOf(colour);
        scan.blueZero[2 * position + 1] = 0;
    }

    // Moves the entry at `position` one place forward, keeping the exact
    // table's "first position of each triple" and the index → position map
    // true.
    void moveForward(int position)
    {
        const int front = position - 1;
        const uint32_t behind = triple[front], found = triple[position];
        if (behind != found) {
            int16_t* behindFirst = exact.positionOf(behind);
            if (*behindFirst == front)
                *behindFirst = int16_t(position);
            int16_t* foundFirst = exact.positionOf(found);
            if (*foundFirst == position)
                *foundFirst = int16_t(front);
        }
        std::swap(scan.redGreen[2 * front], scan.redGreen[2 * position]);
        std::swap(scan.redGreen[2 * front + 1], scan.redGreen[2 * position + 1]);
        std::swap(scan.blueZero[2 * front], scan.blueZero[2 * position]);
        std::swap(scan.accept[front], scan.accept[position]);
        std::swap(triple[front], triple[position]);
        std::swap(index[front], index[position]);
        positionOfIndex[index[front]] = uint8_t(front);
        positionOfIndex[index[position]] = uint8_t(position);
    }
};

TPaletteSearch::TPaletteSearch(const TPaletteArray& palette, int32_t count) : m_impl(new Impl)
{
    Impl& s = *m_impl;
    s.palette = palette;
    s.n = std::clamp<int32_t>(count, 2, kMaxEntries);
    s.scanFunction = chooseScan();
    for (int i = 0; i < s.n; ++i) {
        const TColorValue c = palette[size_t(i)];
        s.setEntry(i, c);
        s.scan.accept[i] = acceptBits(blueOf(c));
        s.triple[i] = tripleOfColor(c) & kTripleMask;
        s.index[i] = uint8_t(i);
        s.positionOfIndex[i] = uint8_t(i);
        s.exact.addIfAbsent(s.triple[i], i);
    }
    // Padding is accepted by no filter, so it never wins.
    s.scan.padded = (s.n + kLanes - 1) / kLanes * kLanes;
    for (int i = s.n; i < s.scan.padded; ++i)
        s.scan.accept[i] = 0;
}

TPaletteSearch::~TPaletteSearch()
{
    m_impl->palette.fill(0);
    m_impl->n = 0;
    delete m_impl;
}

int TPaletteSearch::count() const { return m_impl->n; }

int TPaletteSearch::Search(TParityFilter filter, TTripleValue triple)
{
    Impl& s = *m_impl;
    const uint32_t wanted = filterBit(filter);
    if (wanted == 0)
        return s.index[0];
    triple &= kTripleMask;
    const int b = int(triple & 0xFF), g = int((triple >> 8) & 0xFF), r = int(triple >> 16);

    int position;
    const int16_t* exact = (acceptBits(uint8_t(b)) & wanted) ? s.exact.positionOf(triple) : nullptr;
    const int known = exact ? -1 : s.answers.find(triple, wanted);
    if (exact) {
        position = *exact;
    } else if (known >= 0) {
        position = s.positionOfIndex[known];
    } else {
        const Nearest nearest = s.scanFunction(s.scan, r, g, b, wanted);
        position = nearest.position();
        if (nearest.unique())
            s.answers.store(triple, wanted, s.index[position]);
    }
    const int index = s.index[position];
    if (position > 0)
        s.moveForward(position);
    return index;
}

int TPaletteSearch::SearchColor(TColorValue colour, TParityFilter filter)
{
    return Search(filter, tripleOfColor(colour));
}

TTripleValue TPaletteSearch::NearestTriple(TParityFilter filter, TTripleValue triple)
{
    return tripleOfColor(m_impl->palette[size_t(Search(filter, triple))]);
}

int TPaletteSearch::NearestIndex(TTripleValue triple) { return Search(pfAny, triple); }
int TPaletteSearch::NearestIndexOfColor(TColorValue colour) { return SearchColor(colour, pfAny); }
TTripleValue TPaletteSearch::NearestTripleAny(TTripleValue triple) { return NearestTriple(pfAny, triple); }

TSequentialPaletteSearch::TSequentialPaletteSearch(const TPaletteArray& palette, int32_t count)
{
    const int n = std::clamp<int32_t>(count, 2, kMaxEntries);
    for (int i = 0; i < n; ++i) {
        const TColorValue c = palette[size_t(i)];
        m_list.push_back({blueOf(c), greenOf(c), redOf(c), uint8_t(i)});
    }
}

int TSequentialPaletteSearch::Search(TParityFilter filter, TTripleValue triple)
{
    const uint32_t wanted = filterBit(filter);
    const int b = int(triple & 0xFF), g = int((triple >> 8) & 0xFF), r = int((triple >> 16) & 0xFF);
    int bestDistance = INT_MAX;
    size_t best = 0;
    for (size_t p = 0; p < m_list.size(); ++p) {
        const Entry& e = m_list[p];
        if ((acceptBits(e.blue) & wanted) == 0)
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

void AddClampTriple(uint8_t* pixel, int deltaRed, int deltaGreen, int deltaBlue)
{
    pixel[0] = uint8_t(std::clamp(pixel[0] + deltaBlue, 0, 255));
    pixel[1] = uint8_t(std::clamp(pixel[1] + deltaGreen, 0, 255));
    pixel[2] = uint8_t(std::clamp(pixel[2] + deltaRed, 0, 255));
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
            const TTripleValue old = tripleValue(px[0], px[1], px[2]);
            const TTripleValue now = search.NearestTripleAny(old) & kTripleMask;
            px[0] = uint8_t(now);
            px[1] = uint8_t(now >> 8);
            px[2] = uint8_t(now >> 16);
            if (!dither || old == now)
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
