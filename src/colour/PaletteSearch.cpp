#include "colour/PaletteSearch.h"

#include "util/Picture.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace ostrel {

namespace {

struct SearchEntry {
    TColorValue colour;
    uint8_t blue, green, red;
    uint8_t index;
};

bool accepts(TParityFilter filter, uint8_t blue)
{
    switch (filter) {
    case pfAny: return true;
    case pfEvenBlue: return (blue & 1) == 0;
    case pfOddBlue: return (blue & 1) == 1;
    default: return false;
    }
}

} // namespace

struct TPaletteSearch::Impl {
    TPaletteArray palette{};
    int n = 0;
    std::vector<SearchEntry> list;
};

TPaletteSearch::TPaletteSearch(const TPaletteArray& palette, int32_t count) : m_impl(new Impl)
{
    m_impl->palette = palette;
    m_impl->n = std::clamp<int32_t>(count, 2, 256);
    m_impl->list.reserve(m_impl->n);
    for (int i = 0; i < m_impl->n; ++i) {
        TColorValue c = palette[i];
        m_impl->list.push_back({c, blueOf(c), greenOf(c), redOf(c), uint8_t(i)});
    }
}

TPaletteSearch::~TPaletteSearch()
{
    m_impl->palette.fill(0);
    m_impl->list.clear();
    m_impl->n = 0;
    delete m_impl;
}

int TPaletteSearch::count() const { return m_impl->n; }

int TPaletteSearch::Search(TParityFilter filter, TTripleValue triple)
{
    const int blue = int(triple & 0xFF), green = int((triple >> 8) & 0xFF), red = int((triple >> 16) & 0xFF);
    int bestDistance = INT_MAX;
    int bestPosition = 0;
    std::vector<SearchEntry>& list = m_impl->list;
    for (int p = 0; p < m_impl->n; ++p) {
        const SearchEntry& e = list[p];
        if (!accepts(filter, e.blue))
            continue;
        const int dr = e.red - red, dg = e.green - green, db = e.blue - blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            bestPosition = p;
            if (d == 0)
                break;
        }
    }
    const int index = list[bestPosition].index;
    if (bestPosition > 0)
        std::swap(list[bestPosition - 1], list[bestPosition]);
    return index;
}

int TPaletteSearch::SearchColor(TColorValue colour, TParityFilter filter)
{
    return Search(filter, tripleOfColor(colour));
}

TTripleValue TPaletteSearch::NearestTriple(TParityFilter filter, TTripleValue triple)
{
    return tripleOfColor(m_impl->palette[Search(filter, triple)]);
}

int TPaletteSearch::NearestIndex(TTripleValue triple) { return Search(pfAny, triple); }
int TPaletteSearch::NearestIndexOfColor(TColorValue colour) { return SearchColor(colour, pfAny); }
TTripleValue TPaletteSearch::NearestTripleAny(TTripleValue triple) { return NearestTriple(pfAny, triple); }

void AddClampTriple(uint8_t* pixel, int deltaRed, int deltaGreen, int deltaBlue)
{
    pixel[0] = uint8_t(std::clamp(pixel[0] + deltaBlue, 0, 255));
    pixel[1] = uint8_t(std::clamp(pixel[1] + deltaGreen, 0, 255));
    pixel[2] = uint8_t(std::clamp(pixel[2] + deltaRed, 0, 255));
}

void RemapToPalette(QImage& picture, int x1, int y1, int x2, int y2, const TPaletteArray& palette, int32_t count,
                    bool dither, const TProgressProc& progress)
{
    if (picture.isNull())
        return;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, picture.width() - 1);
    y2 = std::min(y2, picture.height() - 1);
    if (x1 > x2 || y1 > y2)
        return;
    ensurePictureFormat(picture);
    if (count > 256)
        return;
    TPaletteSearch search(palette, count);
    for (int y = y1; y <= y2; ++y) {
        if (progress)
            progress(int32_t((int64_t(y - y1 + 1) * 100) / (y2 - y1 + 1)));
        uint8_t* row = picture.scanLine(y);
        uint8_t* below = y < y2 ? picture.scanLine(y + 1) : nullptr;
        for (int x = x1; x <= x2; ++x) {
            uint8_t* px = row + 3 * x;
            const TTripleValue old = tripleValue(px[0], px[1], px[2]);
            const TTripleValue now = search.NearestTripleAny(old);
            px[0] = uint8_t(now);
            px[1] = uint8_t(now >> 8);
            px[2] = uint8_t(now >> 16);
            if (!dither || old == now)
                continue;
            const int eB = int(old & 0xFF) - int(now & 0xFF);
            const int eG = int((old >> 8) & 0xFF) - int((now >> 8) & 0xFF);
            const int eR = int((old >> 16) & 0xFF) - int((now >> 16) & 0xFF);
            if (x < x2)
                AddClampTriple(px + 3, eR * 7 / 16, eG * 7 / 16, eB * 7 / 16);
            if (!below)
                continue;
            uint8_t* under = below + 3 * x;
            if (x > x1)
                AddClampTriple(under - 3, eR / 16, eG / 16, eB / 16);
            AddClampTriple(under, eR * 5 / 16, eG * 5 / 16, eB * 5 / 16);
            if (x < x2)
                AddClampTriple(under + 3, eR * 3 / 16, eG * 3 / 16, eB * 3 / 16);
        }
    }
}

} // namespace ostrel
