// SPDX-License-Identifier: Apache-2.0
#pragma once
// The detectors' inner loops run over one channel's samples of a row laid
// side by side, which the compiler turns into vector code; the rows of a
// picture hold the three channels interleaved.
#include "detect/Detection.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace ostrel {

class ChannelPlanes {
public:
    explicit ChannelPlanes(int width) : m_width(width), m_samples(size_t(width) * kChannelCount) {}

    // Splits a row of the working format into its channels.
    void load(const uint8_t* row)
    {
        uint8_t* red = m_samples.data() + size_t(Channel::Red) * size_t(m_width);
        uint8_t* green = m_samples.data() + size_t(Channel::Green) * size_t(m_width);
        uint8_t* blue = m_samples.data() + size_t(Channel::Blue) * size_t(m_width);
        for (int x = 0; x < m_width; ++x) {
            blue[x] = row[3 * x];
            green[x] = row[3 * x + 1];
            red[x] = row[3 * x + 2];
        }
    }

    const uint8_t* channel(Channel channel) const { return m_samples.data() + size_t(channel) * size_t(m_width); }

private:
    int m_width;
    std::vector<uint8_t> m_samples;
};

} // namespace ostrel
