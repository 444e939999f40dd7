// SPDX-License-Identifier: Apache-2.0
#pragma once
// The hidden stream: "START" and a zero byte, the file name and a zero byte,
// the date-time text and a zero byte, the payload size (4 bytes, least
// significant first), the payload, and a 4-byte sum of all bytes before it.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace ostrel {

inline constexpr char kPayloadMagic[] = "START";
// The longest texts the reader takes before it gives up looking for the zero byte.
inline constexpr int kMagicReadLimit = 10;
inline constexpr int kNameReadLimit = 200;
inline constexpr int kDateTimeReadLimit = 50;
inline constexpr int kSizeFieldBytes = 4;
inline constexpr int kChecksumBytes = 4;
// The size field is signed on the reading side.
inline constexpr int64_t kLargestPayload = 0x7FFFFFFF;

// Bytes before the payload for a name and a date-time text of these lengths.
constexpr int64_t payloadHeaderLength(int64_t nameBytes, int64_t dateTimeBytes)
{
    return int64_t(sizeof kPayloadMagic) + nameBytes + 1 + dateTimeBytes + 1 + kSizeFieldBytes;
}

// The running sum of the stream: every byte as 0..255, wrapping at 2^32.
inline uint32_t addToChecksum(uint32_t sum, const char* data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        sum += uint8_t(data[i]);
    return sum;
}

inline void appendInt32(QByteArray& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char(uint8_t(value >> (8 * i))));
}

} // namespace ostrel
