// SPDX-License-Identifier: Apache-2.0
#pragma once
// A bounds-checked cursor over a byte buffer, shared by every file reader.
// Reading past the end never touches memory outside the buffer: the read
// yields 0 and sets a sticky `truncated()` flag that the reader must consult.
// Where a file format says that missing bytes count as zero, the reader says
// so by calling the *OrZero forms, which do not set the flag.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ostrel {

using ByteView = std::span<const uint8_t>;

class ByteReader {
public:
    explicit ByteReader(ByteView data) : m_data(data) {}
    ByteReader(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data), size) {}

    size_t size() const { return m_data.size(); }
    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_pos < m_data.size() ? m_data.size() - m_pos : 0; }
    bool atEnd() const { return remaining() == 0; }
    bool truncated() const { return m_truncated; }
    bool has(size_t n) const { return n <= remaining(); }
    ByteView data() const { return m_data; }

    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16le() { return static_cast<uint16_t>(take(2)); }
    uint16_t u16be() { return swap16(static_cast<uint16_t>(take(2))); }
    uint32_t u32le() { return static_cast<uint32_t>(take(4)); }
    uint32_t u32be() { return swap32(static_cast<uint32_t>(take(4))); }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }

    // The byte at the cursor, or 0 past the end without complaint: for formats
    // whose decoders treat a short file as padded with zeros.
    uint8_t u8OrZero()
    {
        if (atEnd())
            return 0;
        return m_data[m_pos++];
    }

    // n bytes starting at the cursor; an empty view (and the flag) when fewer remain.
    ByteView bytes(size_t n)
    {
        if (!has(n)) {
            markTruncated();
            return {};
        }
        ByteView view = m_data.subspan(m_pos, n);
        m_pos += n;
        return view;
    }

    // Whatever remains, at most n bytes; never sets the flag.
    ByteView upTo(size_t n)
    {
        size_t count = n < remaining() ? n : remaining();
        ByteView view = m_data.subspan(m_pos, count);
        m_pos += count;
        return view;
    }

    bool skip(size_t n)
    {
        if (!has(n)) {
            markTruncated();
            return false;
        }
        m_pos += n;
        return true;
    }

    bool seek(size_t position)
    {
        if (position > m_data.size()) {
            markTruncated();
            return false;
        }
        m_pos = position;
        return true;
    }

private:
    uint64_t take(size_t n)
    {
        if (!has(n)) {
            markTruncated();
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < n; ++i)
            value |= uint64_t(m_data[m_pos + i]) << (8 * i);
        m_pos += n;
        return value;
    }
    void markTruncated()
    {
        m_truncated = true;
        m_pos = m_data.size();
    }
    static uint16_t swap16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }
    static uint32_t swap32(uint32_t v) { return __builtin_bswap32(v); }

    ByteView m_data;
    size_t m_pos = 0;
    bool m_truncated = false;
};

} // namespace ostrel
