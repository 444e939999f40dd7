// SPDX-License-Identifier: Apache-2.0
#include "colour/Palette.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

namespace ostrel {

const std::array<ColourValue, 16> kBaseColours = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

void InitPalette(TPaletteArray& palette)
{
    palette.fill(0);
    std::copy(kBaseColours.begin(), kBaseColours.end(), palette.begin());
}

bool PaletteContains(const TPaletteArray& palette, int32_t count, ColourValue colour)
{
    const int32_t n = std::clamp<int32_t>(count, 0, 255);
    return std::find(palette.begin(), palette.begin() + n, colour) != palette.begin() + n;
}

bool PaletteAdd(TPaletteArray& palette, int32_t& count, ColourValue colour)
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
    ColourValue colour;
    int32_t count;
};

// A box of the colour cube and the census colours inside it: a stretch of
// one shared array, ascending. A split rearranges its stretch into the
// stretches of its octants, each still ascending, so boxes need no storage of
// their own.
struct ColorBox {
    ColourValue low = 0;
    ColourValue high = 0;
    uint32_t begin = 0, end = 0;
    uint32_t size() const { return end - begin; }
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
        const ColorBox box = m_slots[m_head];
        m_head = (m_head + 1) % kSlots;
        return box;
    }
    void add(const ColorBox& box)
    {
        if ((m_tail + 1) % kSlots == m_head)
            return;
        m_slots[m_tail] = box;
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

Channels channelsOf(ColourValue c) { return {redOf(c), greenOf(c), blueOf(c)}; }

// Each channel taken modulo 256, as the palette's colour values hold them.
ColourValue colourOf(int red, int green, int blue)
{
    return colorValue(uint8_t(red & 0xFF), uint8_t(green & 0xFF), uint8_t(blue & 0xFF));
}

struct ChannelRange {
    int low, high;
};

// The octants of a box, red halves varying fastest, then green, then blue;
// an octant whose range is empty in some channel (the upper half of a
// channel one value wide) is not made.
struct Octants {
    Channels mid;
    bool made[8];
    ColourValue low[8], high[8];

    explicit Octants(const ColorBox& box)
    {
        const Channels lo = channelsOf(box.low), hi = channelsOf(box.high);
        mid = {(lo.red + hi.red) / 2, (lo.green + hi.green) / 2, (lo.blue + hi.blue) / 2};
        const ChannelRange red[2] = {{lo.red, mid.red}, {mid.red + 1, hi.red}};
        const ChannelRange green[2] = {{lo.green, mid.green}, {mid.green + 1, hi.green}};
        const ChannelRange blue[2] = {{lo.blue, mid.blue}, {mid.blue + 1, hi.blue}};
        for (int octant = 0; octant < 8; ++octant) {
            const ChannelRange& r = red[octant & 1];
            const ChannelRange& g = green[(octant >> 1) & 1];
            const ChannelRange& b = blue[(octant >> 2) & 1];
            made[octant] = r.low <= r.high && g.low <= g.high && b.low <= b.high;
            low[octant] = colourOf(r.low, g.low, b.low);
            high[octant] = colourOf(r.high, g.high, b.high);
        }
    }

    // The box's colours lie in its range, so the octant a colour falls in
    // by the midpoints is always one that was made.
    int of(ColourValue colour) const
    {
        const Channels c = channelsOf(colour);
        return int(c.red > mid.red) | int(c.green > mid.green) << 1 | int(c.blue > mid.blue) << 2;
    }
};

class BoxSplitter {
public:
    explicit BoxSplitter(const TZQXTColorSplayTree& tree)
    {
        m_colours.reserve(size_t(tree.Count()));
        tree.forEachAscending([this](int32_t key, int32_t value) {
            m_colours.push_back({ColourValue(key), value});
        });
    }

    ColorBox wholeCube() const { return {0x000000, 0xFFFFFF, 0, uint32_t(m_colours.size())}; }
    const CensusEntry* colours(const ColorBox& box) const { return m_colours.data() + box.begin; }

    // Splits the box when all its non-empty octants fit beside the `queued`
    // boxes within `target`, adding them to the queue: a one-colour octant as
    // a one-colour box unless the palette holds its colour already. The
    // octants are counted first, so a refused split moves nothing.
    bool split(const ColorBox& box, BoxQueue& queue, int target, const TPaletteArray& palette, int32_t count)
    {
        const Octants octants(box);
        uint32_t sizes[8] = {};
        for (uint32_t i = box.begin; i < box.end; ++i)
            ++sizes[octants.of(m_colours[i].colour)];
        const int nonEmpty = int(std::count_if(std::begin(sizes), std::end(sizes), [](uint32_t n) { return n > 0; }));
        if (nonEmpty == 0 || queue.length() + nonEmpty > target)
            return false;

        uint32_t next[8];
        uint32_t start = box.begin;
        for (int octant = 0; octant < 8; ++octant) {
            next[octant] = start;
            start += sizes[octant];
        }
        m_scratch.resize(box.size());
        for (uint32_t i = box.begin; i < box.end; ++i) {
            const CensusEntry& entry = m_colours[i];
            m_scratch[next[octants.of(entry.colour)]++ - box.begin] = entry;
        }
        std::copy(m_scratch.begin(), m_scratch.end(), m_colours.begin() + box.begin);

        start = box.begin;
        for (int octant = 0; octant < 8; ++octant) {
            ColorBox child = {octants.low[octant], octants.high[octant], start, start + sizes[octant]};
            start = child.end;
            if (!octants.made[octant] || child.size() == 0)
                continue;
            if (child.size() == 1) {
                const ColourValue only = m_colours[child.begin].colour;
                if (PaletteContains(palette, count, only))
                    continue;
                child.low = child.high = only;
            }
            queue.add(child);
        }
        return true;
    }

private:
    std::vector<CensusEntry> m_colours;
    std::vector<CensusEntry> m_scratch;
};

void splitPhase(BoxSplitter& splitter, BoxQueue& queue, int target, const TPaletteArray& palette, int32_t count)
{
    int attempts = 0;
    while (!queue.empty() && queue.length() < target && queue.length() >= attempts) {
        ++attempts;
        const ColorBox box = queue.take();
        if (box.low == box.high || !splitter.split(box, queue, target, palette, count)) {
            queue.add(box);
            continue;
        }
        attempts = 0;
    }
}

// The colour a box contributes, given what the palette already holds.
ColourValue representative(const CensusEntry* colours, uint32_t n, bool useAverage, const TPaletteArray& palette,
                           int32_t count)
{
    const ColourValue first = colours[0].colour;
    ColourValue frequent = first, rare = first;
    int32_t most = colours[0].count, least = colours[0].count;
    int64_t sumRed = 0, sumGreen = 0, sumBlue = 0, total = 0;
    for (const CensusEntry& entry : std::span(colours, n)) {
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
    const uint32_t medianPosition = std::max<uint32_t>(1, n / 2);
    const ColourValue median = colours[medianPosition - 1].colour;
    ColourValue average = first;
    if (total > 0) {
        average = colorValue(uint8_t(std::clamp<int64_t>(sumRed / total, 0, 255)),
                             uint8_t(std::clamp<int64_t>(sumGreen / total, 0, 255)),
                             uint8_t(std::clamp<int64_t>(sumBlue / total, 0, 255)));
    }

    const ColourValue candidate = useAverage ? average : frequent;
    if (!PaletteContains(palette, count, candidate))
        return candidate;
    if (median != candidate && !PaletteContains(palette, count, median))
        return median;
    if (rare != candidate && !PaletteContains(palette, count, rare))
        return rare;
    return first;
}

} // namespace

// The census is copied out of the source tree once, so the source is only
// read.
void Palette_Build(TPaletteArray& palette, int32_t& count, int32_t maxColours, bool twins, bool useAverage,
                   const TZQXTColorSplayTree& tree)
{
    maxColours = std::clamp<int32_t>(maxColours, 2, 256);
    count = std::clamp<int32_t>(count, 0, 256);
    const int room = maxColours - count;
    const int target = std::max(0, twins ? (room + 1) / 2 : room);

    BoxSplitter splitter(tree);
    BoxQueue queue;
    queue.add(splitter.wholeCube());

    splitPhase(splitter, queue, target, palette, count);

    while (!queue.empty()) {
        const ColorBox box = queue.take();
        // A box without colours (an empty census) has nothing to contribute.
        if (box.size() == 0)
            continue;
        const ColourValue chosen = representative(splitter.colours(box), box.size(), useAverage, palette, count);
        PaletteAdd(palette, count, chosen);
        if (twins)
            PaletteAdd(palette, count, chosen ^ 0x010000);
    }

    for (int grey = 0; grey < 256 && count < maxColours; ++grey)
        PaletteAdd(palette, count, colorValue(uint8_t(grey), uint8_t(grey), uint8_t(grey)));
}

} // namespace ostrel
