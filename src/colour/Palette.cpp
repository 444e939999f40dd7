#include "colour/Palette.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ostrel {

const std::array<TColorValue, 16> kBaseColours = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

void InitPalette(TPaletteArray& palette)
{
    palette.fill(0);
    std::copy(kBaseColours.begin(), kBaseColours.end(), palette.begin());
}

bool PaletteContains(const TPaletteArray& palette, int32_t count, TColorValue colour)
{
    const int32_t n = std::clamp<int32_t>(count, 0, 255);
    return std::find(palette.begin(), palette.begin() + n, colour) != palette.begin() + n;
}

bool PaletteAdd(TPaletteArray& palette, int32_t& count, TColorValue colour)
{
    if (count >= 256)
        return false;
    if (count < 0)
        count = 0;
    if (std::find(palette.begin(), palette.begin() + count, colour) != palette.begin() + count)
        return false;
    palette[size_t(count)] = colour;
    ++count;
    return true;
}

namespace {

struct CensusEntry {
    TColorValue colour;
    int32_t count;
};

// A box of the colour cube with the census colours inside it, ascending.
// Sorted arrays stand in for a tree per box: the builder only ever appends in
// ascending order and walks.
struct ColorBox {
    TColorValue low = 0;
    TColorValue high = 0;
    std::vector<CensusEntry> colours;
};

// First in, first out, 260 slots of which at most 259 are used; a box added
// to a full queue is dropped. With at most 256 boxes wanted it never fills.
class BoxQueue {
public:
    static constexpr int kSlots = 260;

    bool empty() const { return m_head == m_tail; }
    int length() const { return (m_tail - m_head + kSlots) % kSlots; }
    ColorBox take()
    {
        ColorBox box = std::move(m_slots[m_head]);
        m_slots[m_head] = ColorBox();
        m_head = (m_head + 1) % kSlots;
        return box;
    }
    void add(ColorBox&& box)
    {
        if ((m_tail + 1) % kSlots == m_head)
            return;
        m_slots[m_tail] = std::move(box);
        m_tail = (m_tail + 1) % kSlots;
    }

private:
    std::array<ColorBox, kSlots> m_slots;
    int m_head = 0;
    int m_tail = 0;
};

struct Channels {
    int red, green, blue;
};

Channels channelsOf(TColorValue c) { return {redOf(c), greenOf(c), blueOf(c)}; }

// Each channel taken modulo 256, as the palette's colour values hold them.
TColorValue colourOf(int red, int green, int blue)
{
    return colorValue(uint8_t(red & 0xFF), uint8_t(green & 0xFF), uint8_t(blue & 0xFF));
}

struct ChannelRange {
    int low, high;
};

// Splits a box into the non-empty octants of its range, red halves varying
// fastest, then green, then blue, and deals out its colours. Every colour of
// the box lies in exactly one child.
std::vector<ColorBox> splitBox(const ColorBox& box)
{
    const Channels lo = channelsOf(box.low), hi = channelsOf(box.high);
    const Channels mid = {(lo.red + hi.red) / 2, (lo.green + hi.green) / 2, (lo.blue + hi.blue) / 2};
    const ChannelRange red[2] = {{lo.red, mid.red}, {mid.red + 1, hi.red}};
    const ChannelRange green[2] = {{lo.green, mid.green}, {mid.green + 1, hi.green}};
    const ChannelRange blue[2] = {{lo.blue, mid.blue}, {mid.blue + 1, hi.blue}};

    std::vector<ColorBox> children;
    int childOfOctant[8];
    for (int octant = 0; octant < 8; ++octant) {
        const ChannelRange& r = red[octant & 1];
        const ChannelRange& g = green[(octant >> 1) & 1];
        const ChannelRange& b = blue[(octant >> 2) & 1];
        childOfOctant[octant] = -1;
        if (r.high < r.low || g.high < g.low || b.high < b.low)
            continue;
        childOfOctant[octant] = int(children.size());
        ColorBox child;
        child.low = colourOf(r.low, g.low, b.low);
        child.high = colourOf(r.high, g.high, b.high);
        children.push_back(std::move(child));
    }
    for (const CensusEntry& entry : box.colours) {
        const Channels c = channelsOf(entry.colour);
        const int octant = int(c.red > mid.red) | int(c.green > mid.green) << 1 | int(c.blue > mid.blue) << 2;
        const int child = childOfOctant[octant];
        if (child >= 0)
            children[size_t(child)].colours.push_back(entry);
    }
    return children;
}

void splitPhase(BoxQueue& queue, int target, const TPaletteArray& palette, int32_t count)
{
    int attempts = 0;
    while (!queue.empty() && queue.length() < target && queue.length() >= attempts) {
        ++attempts;
        ColorBox box = queue.take();
        if (box.low == box.high) {
            queue.add(std::move(box));
            continue;
        }
        std::vector<ColorBox> children = splitBox(box);
        const int nonEmpty = int(std::count_if(children.begin(), children.end(),
                                               [](const ColorBox& child) { return !child.colours.empty(); }));
        if (nonEmpty == 0 || queue.length() + nonEmpty > target) {
            queue.add(std::move(box));
            continue;
        }
        for (ColorBox& child : children) {
            if (child.colours.empty())
                continue;
            if (child.colours.size() == 1) {
                const TColorValue only = child.colours.front().colour;
                if (PaletteContains(palette, count, only))
                    continue;
                child.low = child.high = only;
            }
            queue.add(std::move(child));
        }
        attempts = 0;
    }
}

// The colour a box contributes, given what the palette already holds.
TColorValue representative(const ColorBox& box, bool useAverage, const TPaletteArray& palette, int32_t count)
{
    const std::vector<CensusEntry>& colours = box.colours;
    const TColorValue first = colours.front().colour;
    TColorValue frequent = first, rare = first;
    int32_t most = colours.front().count, least = colours.front().count;
    int64_t sumRed = 0, sumGreen = 0, sumBlue = 0, total = 0;
    for (const CensusEntry& entry : colours) {
        if (entry.count > most) {
            most = entry.count;
            frequent = entry.colour;
        }
        if (entry.count < least) {
            least = entry.count;
            rare = entry.colour;
        }
        sumRed += int64_t(entry.count) * redOf(entry.colour);
        sumGreen += int64_t(entry.count) * greenOf(entry.colour);
        sumBlue += int64_t(entry.count) * blueOf(entry.colour);
        total += entry.count;
    }
    const size_t medianPosition = std::max<size_t>(1, colours.size() / 2);
    const TColorValue median = colours[medianPosition - 1].colour;
    TColorValue average = first;
    if (total > 0) {
        average = colorValue(uint8_t(std::clamp<int64_t>(sumRed / total, 0, 255)),
                             uint8_t(std::clamp<int64_t>(sumGreen / total, 0, 255)),
                             uint8_t(std::clamp<int64_t>(sumBlue / total, 0, 255)));
    }

    const TColorValue candidate = useAverage ? average : frequent;
    if (!PaletteContains(palette, count, candidate))
        return candidate;
    if (median != candidate && !PaletteContains(palette, count, median))
        return median;
    if (rare != candidate && !PaletteContains(palette, count, rare))
        return rare;
    return first;
}

} // namespace

// A box's own census is copied out of the source tree once and then dealt
// out to its octants at each split, so the source is only read.
void Palette_Build(TPaletteArray& palette, int32_t& count, int32_t maxColors, bool twins, bool useAverage,
                   const TZQXTColorSplayTree& tree)
{
    maxColors = std::clamp<int32_t>(maxColors, 2, 256);
    count = std::clamp<int32_t>(count, 0, 256);
    const int room = maxColors - count;
    const int target = std::max(0, twins ? (room + 1) / 2 : room);

    BoxQueue queue;
    ColorBox whole;
    whole.low = 0x000000;
    whole.high = 0xFFFFFF;
    whole.colours.reserve(size_t(tree.Count()));
    tree.ForEachAscending([&whole](int32_t key, int32_t value) {
        whole.colours.push_back({TColorValue(key), value});
    });
    queue.add(std::move(whole));

    splitPhase(queue, target, palette, count);

    while (!queue.empty()) {
        const ColorBox box = queue.take();
        // A box without colours (an empty census) has nothing to contribute.
        if (box.colours.empty())
            continue;
        const TColorValue chosen = representative(box, useAverage, palette, count);
        PaletteAdd(palette, count, chosen);
        if (twins)
            PaletteAdd(palette, count, chosen ^ 0x010000);
    }

    for (int grey = 0; grey < 256 && count < maxColors; ++grey)
        PaletteAdd(palette, count, colorValue(uint8_t(grey), uint8_t(grey), uint8_t(grey)));
}

} // namespace ostrel
