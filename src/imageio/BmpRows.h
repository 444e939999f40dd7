// SPDX-License-Identifier: Apache-2.0
#pragma once
// The rows of an uncompressed 24-bit BMP file, read a band at a time, so that
// work over a picture of any size needs only a few megabytes. Changed rows
// can go out as the file Write24BitBmp would write for the changed picture.
#include "imageio/bmp.h"
#include "util/FileIO.h"
#include "util/PixelRows.h"
#include "util/StandardUnit.h"

#include <cstdint>
#include <memory>

namespace ostrel {

class BmpFileRows final : public PixelRows {
public:
    // About this many bytes of rows are held at once, and never fewer than three rows.
    static constexpr qint64 kBandBytes = qint64(4) << 20;

    BmpFileRows(const OpenFile& file, const StoredBmpRows& layout, qint64 bandBytes = kBandBytes);
    ~BmpFileRows() override;
    BmpFileRows(const BmpFileRows&) = delete;
    BmpFileRows& operator=(const BmpFileRows&) = delete;

    int width() const override { return m_layout.width; }
    int height() const override { return m_layout.height; }
    // Row 0, or a row before the current one less one, begins a new pass,
    // which reads the rows as the file holds them.
    uint8_t* row(int y) override;
    uint8_t* near(int y) override;
    void passOnlyReads() override { m_nextPassReads = true; }
    bool intact() const override { return m_intact; }

    // Rows that a pass which changes rows leaves behind go to `sink`, as rows
    // of the 24-bit file Write24BitBmp writes (bottom row first, padding
    // zero); set before the first row is asked for.
    void writeTo(const PlacedSink& sink) { m_sink = &sink; }
    // Ends the pass: the held rows, then every row the pass did not reach
    // (as the file holds it), then the headers go to the sink. False when
    // the sink refused a write.
    bool finishWriting();

    // Hears how far the reading has come (0 to 99, never going back, over
    // all passes), each time a band is read.
    void reportTo(TProgressProc progress) { m_progress = std::move(progress); }

private:
    uint8_t* slot(int y) const { return m_band + size_t(m_hi - 1 - y) * size_t(m_layout.stride); }
    void beginPass(int y);
    void endPass();
    void slideTo(int y);
    void readRows(int first, int end);
    void writeRows(int first, int end);
    void copyUnreached(int end);
    void reportReach();

    const OpenFile& m_file;
    StoredBmpRows m_layout;
    int m_capacity;            // rows the band holds
    uint8_t* m_band = nullptr; // rows [m_lo, m_hi), the last one first, as a bottom-up file stores them
    int m_lo = 0, m_hi = 0;
    int m_current = -1;
    bool m_nextPassReads = false;
    bool m_writing = false;
    bool m_intact = true;
    bool m_sinkFailed = false;
    const PlacedSink* m_sink = nullptr;
    TProgressProc m_progress;
    int32_t m_reported = -1;
};

} // namespace ostrel
