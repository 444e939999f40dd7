// SPDX-License-Identifier: Apache-2.0
#pragma once
// Rows of a picture handed out the way a file read a band at a time hands
// them out: only the current row and its two neighbours are held, in a ring
// of four rows, and a row that drops out of the ring is overwritten with
// garbage at once. Work that reads a row it was not promised reads garbage
// (and near() outside the promise fails the test), so its result differs
// from the whole picture's. Going back before the previous row starts a new
// pass, which is counted.
#include "util/PixelRows.h"
#include "util/Picture.h"

#include <QImage>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrel::testing {

class BandRows final : public PixelRows {
public:
    explicit BandRows(const QImage& picture)
        : m_picture(picture.isNull() ? QImage() : inPictureFormat(picture)), m_rowBytes(3 * size_t(m_picture.width()))
    {
        for (std::vector<uint8_t>& slot : m_slots)
            slot.assign(m_rowBytes + 1, 0);
    }

    int width() const override { return m_picture.isNull() ? 0 : m_picture.width(); }
    int height() const override { return m_picture.isNull() ? 0 : m_picture.height(); }

    uint8_t* row(int y) override
    {
        EXPECT_TRUE(y >= 0 && y < height()) << "row " << y;
        if (m_current < 0 || y < m_current - 1) {
            ++m_passes;
            for (int slot = 0; slot < kSlots; ++slot)
                poison(slot);
            m_held = {-1, -1, -1, -1};
        }
        m_current = y;
        for (int held = y - 1; held <= y + 1; ++held)
            if (held >= 0 && held < height())
                hold(held);
        // Whatever is not a neighbour any more is garbage now.
        for (int slot = 0; slot < kSlots; ++slot)
            if (m_held[size_t(slot)] >= 0 && (m_held[size_t(slot)] < y - 1 || m_held[size_t(slot)] > y + 1)) {
                poison(slot);
                m_held[size_t(slot)] = -1;
            }
        m_rowsRead += 1;
        return m_slots[size_t(y % kSlots)].data();
    }

    uint8_t* near(int y) override
    {
        EXPECT_TRUE(y >= m_current - 1 && y <= m_current + 1 && y >= 0 && y < height())
            << "row " << y << " is not near row " << m_current;
        return m_slots[size_t(((y % kSlots) + kSlots) % kSlots)].data();
    }

    int passes() const { return m_passes; }
    int64_t rowsRead() const { return m_rowsRead; }

private:
    static constexpr int kSlots = 4;

    void hold(int y)
    {
        const size_t slot = size_t(y % kSlots);
        if (m_held[slot] == y)
            return;
        std::memcpy(m_slots[slot].data(), m_picture.constScanLine(y), m_rowBytes);
        m_held[slot] = y;
    }

    void poison(int slot)
    {
        for (uint8_t& byte : m_slots[size_t(slot)]) {
            m_garbage = m_garbage * 1103515245u + 12345u;
            byte = uint8_t(m_garbage >> 24);
        }
    }

    QImage m_picture;
    size_t m_rowBytes;
    std::array<std::vector<uint8_t>, kSlots> m_slots;
    std::array<int, kSlots> m_held = {-1, -1, -1, -1};
    int m_current = -1;
    int m_passes = 0;
    int64_t m_rowsRead = 0;
    uint32_t m_garbage = 1;
};

} // namespace ostrel::testing
