// SPDX-License-Identifier: Apache-2.0
#include "imageio/BmpRows.h"

#include "util/Pages.h"

#include "bmp_format.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace ostrel {

namespace {

// A 24-bit file as the writer makes it has no colour table.
constexpr qint64 kWrittenDataStart = qint64(bmp::kWrittenHeadersSize);

size_t pageSize() { return size_t(::sysconf(_SC_PAGESIZE)); }

} // namespace

BmpFileRows::BmpFileRows(const OpenFile& file, const StoredBmpRows& layout, qint64 bandBytes)
    : m_file(file), m_layout(layout),
      m_capacity(int(std::clamp<qint64>(bandBytes / std::max<qint64>(layout.stride, 1), 3, std::max(layout.height, 3))))
{
    const size_t bytes = (size_t(m_capacity) * size_t(layout.stride) + pageSize() - 1) / pageSize() * pageSize();
    m_band = static_cast<uint8_t*>(std::aligned_alloc(pageSize(), bytes));
    if (!m_band)
        throw std::bad_alloc();
    populatePages(m_band, bytes);
}

BmpFileRows::~BmpFileRows() { std::free(m_band); }

uint8_t* BmpFileRows::row(int y)
{
    if (m_current < 0 || y == 0 || y < m_current - 1)
        beginPass(y);
    else if (y >= m_hi || (y + 1 < height() && y + 1 >= m_hi))
        slideTo(y);
    m_current = y;
    return slot(y);
}

uint8_t* BmpFileRows::near(int y) { return slot(y); }

void BmpFileRows::beginPass(int y)
{
    endPass();
    m_writing = m_sink != nullptr && !m_nextPassReads;
    m_nextPassReads = false;
    m_lo = m_hi = std::max(y - 1, 0);
    m_hi = std::min(m_lo + m_capacity, height());
    readRows(m_lo, m_hi);
}

void BmpFileRows::endPass()
{
    if (m_current < 0 || !m_writing)
        return;
    writeRows(m_lo, m_hi);
    copyUnreached(height());
    m_writing = false;
}

// Rows before y - 1 are done: they go out, and the rows from the last one
// held on come in after y - 1 and y.
void BmpFileRows::slideTo(int y)
{
    if (y - 1 >= m_hi) {
        // A jump ahead: nothing held is kept, and the rows skipped keep what
        // the file holds.
        if (m_writing) {
            writeRows(m_lo, m_hi);
            copyUnreached(y - 1);
        }
        m_lo = y - 1;
        m_hi = std::min(m_lo + m_capacity, height());
        readRows(m_lo, m_hi);
        return;
    }
    const int keepFrom = std::max(y - 1, m_lo);
    if (m_writing)
        writeRows(m_lo, keepFrom);
    const int kept = m_hi - keepFrom;
    const int oldHi = m_hi;
    const int newHi = std::min(keepFrom + m_capacity, height());
    // The kept rows are the band's first, so stored last: they move to the
    // end of the band.
    const size_t stride = size_t(m_layout.stride);
    std::memmove(m_band + size_t(newHi - oldHi) * stride, m_band, size_t(kept) * stride);
    m_lo = keepFrom;
    m_hi = newHi;
    readRows(oldHi, m_hi);
}

// Rows [first, end) from the file into their places in the band.
void BmpFileRows::reportReach()
{
    if (!m_progress)
        return;
    const int32_t percent = int32_t(std::min<int64_t>(int64_t(m_hi) * 100 / height(), 99));
    if (percent > m_reported)
        m_progress(m_reported = percent);
}

void BmpFileRows::readRows(int first, int end)
{
    if (first >= end)
        return;
    const size_t stride = size_t(m_layout.stride);
    const int h = height();
    std::vector<iovec> vectors;
    qint64 offset = 0;
    if (m_layout.topDown) {
        for (int y = first; y < end; ++y)
            vectors.push_back({slot(y), stride});
        offset = m_layout.dataStart + qint64(first) * m_layout.stride;
    } else {
        // Stored bottom row first, as the band holds them: one block.
        vectors.push_back({slot(end - 1), size_t(end - first) * stride});
        offset = m_layout.dataStart + qint64(h - end) * m_layout.stride;
    }
    const size_t wanted = size_t(end - first) * stride;
    const size_t got = readVectorsAt(m_file, vectors, offset);
    reportReach();
    if (got == wanted)
        return;
    // The file's last row may lack its padding; anything more missing means
    // the file was shortened while it was read.
    const bool endsWithLastRow = m_layout.topDown ? end == h : first == 0;
    const size_t padding = stride - size_t(m_layout.width) * 3;
    if (!(endsWithLastRow && wanted - got <= padding))
        m_intact = false;
    // What was not read is zeros, whatever part of the band it fell in.
    size_t done = got;
    for (int i = 0; i < end - first && done < wanted; ++i) {
        const int y = m_layout.topDown ? first + i : end - 1 - i;
        const size_t rowDone = std::min(done - std::min(done, size_t(i) * stride), stride);
        if (rowDone < stride)
            std::memset(slot(y) + rowDone, 0, stride - rowDone);
    }
}

// Rows [first, end) of the band go to their places in the written file.
void BmpFileRows::writeRows(int first, int end)
{
    if (first >= end || m_sinkFailed)
        return;
    const size_t stride = size_t(m_layout.stride);
    const size_t pixelBytes = size_t(m_layout.width) * 3;
    for (int y = first; y < end; ++y)
        std::memset(slot(y) + pixelBytes, 0, stride - pixelBytes);
    const qint64 offset = kWrittenDataStart + qint64(height() - end) * m_layout.stride;
    if (!(*m_sink)(offset, reinterpret_cast<const char*>(slot(end - 1)), qsizetype(size_t(end - first) * stride)))
        m_sinkFailed = true;
}

// Rows from the band's end to `end` that a pass did not reach (changes of one
// leave the rows after the stream alone) go out as the file holds them.
void BmpFileRows::copyUnreached(int end)
{
    while (m_hi < end && !m_sinkFailed) {
        m_lo = m_hi;
        m_hi = std::min(m_lo + m_capacity, end);
        readRows(m_lo, m_hi);
        writeRows(m_lo, m_hi);
    }
}

bool BmpFileRows::finishWriting()
{
    if (m_current < 0)
        beginPass(0);
    endPass();
    if (m_sinkFailed || !m_sink)
        return false;
    const QByteArray headers = trueColourBmpHeaders(width(), height());
    return (*m_sink)(0, headers.constData(), headers.size());
}

} // namespace ostrel
