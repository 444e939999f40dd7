// SPDX-License-Identifier: Apache-2.0
#pragma once
// A picture in the working format (three bytes a pixel: blue, green, red) as
// rows visited from the top, so that work over a picture can run on the whole
// picture in memory or on a few rows of a file at a time, with the same code
// and the same result.
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace ostrel {

class PixelRows {
public:
    virtual ~PixelRows() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;

    // Row y (0 <= y < height), to read and, where the rows allow it, to
    // change. It becomes the current row; rows y - 1 and y + 1 stay reachable
    // through near() until the next call of row(). Going on to later rows is
    // cheap; asking for a row before y - 1 starts a new pass from there.
    virtual uint8_t* row(int y) = 0;
    // Row y within one of the current row (and inside the picture), with no
    // effect on which rows are kept.
    virtual uint8_t* near(int y) = 0;

    // The pass that the next call of row() begins (at row 0, or at any row
    // before the current one less one) only reads: rows kept for a file need
    // not be written out. The pass after it changes rows again.
    virtual void passOnlyReads() {}

    // False once a row could not be had (a file shortened or unreadable while
    // it was read); such rows read as zeros and the work's result is void.
    virtual bool intact() const { return true; }
};

// The rows of a picture in memory, which must be in the working format.
class PictureRows final : public PixelRows {
public:
    // Rows that may be changed: the picture's pixels are detached from any
    // copy once, here.
    explicit PictureRows(QImage& picture)
        : m_bits(picture.isNull() ? nullptr : picture.bits()), m_stride(size_t(picture.bytesPerLine())),
          m_width(picture.width()), m_height(picture.height())
    {
    }
    // Rows only read: the pixels stay shared with every copy of the picture,
    // and nothing may be written through them.
    static PictureRows readOnly(const QImage& picture) { return PictureRows(picture); }

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    uint8_t* row(int y) override { return m_bits + size_t(y) * m_stride; }
    uint8_t* near(int y) override { return m_bits + size_t(y) * m_stride; }

private:
    explicit PictureRows(const QImage& picture)
        : m_bits(const_cast<uint8_t*>(picture.constBits())), m_stride(size_t(picture.bytesPerLine())),
          m_width(picture.isNull() ? 0 : picture.width()), m_height(picture.isNull() ? 0 : picture.height())
    {
    }
    uint8_t* m_bits;
    size_t m_stride;
    int m_width, m_height;
};

} // namespace ostrel
