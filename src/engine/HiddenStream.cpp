// SPDX-License-Identifier: Apache-2.0
#include "engine/HiddenStream.h"

#include "colour/PaletteSearch.h"
#include "Carrier.h"
#include "engine/TRandom.h"

#include "PayloadFormat.h"

#include <memory>

namespace ostrel {

namespace {

// The stream read through one carrier, keeping the running sum of every byte.
class StreamReader {
public:
    StreamReader(PixelRows& rows, TRandom& random) : m_carrier(rows, random) {}

    uint8_t byte()
    {
        const uint8_t b = m_carrier.readByte();
        m_sum += b;
        return b;
    }

    // Bytes up to a zero byte, at most `limit` of them; the byte that ends
    // the text (the zero, or the one after `limit` bytes) is consumed.
    QByteArray text(int limit)
    {
        QByteArray out;
        uint8_t b = byte();
        for (int i = 1; i <= limit && b != 0; ++i) {
            out.append(char(b));
            b = byte();
        }
        return out;
    }

    uint32_t int32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(byte()) << (8 * i);
        return value;
    }

    QByteArray bytes(qsizetype size)
    {
        QByteArray out(size, Qt::Uninitialized);
        m_carrier.readBytes(reinterpret_cast<uint8_t*>(out.data()), size_t(size));
        m_sum = addToChecksum(m_sum, out.constData(), size_t(size));
        return out;
    }

    uint32_t sum() const { return m_sum; }

private:
    CarrierReader m_carrier;
    uint32_t m_sum = 0;
};

// One stream byte for every eight pixels.
int64_t carrierBytes(const PixelRows& rows) { return int64_t(rows.width()) * rows.height() / 8; }

} // namespace

int64_t writeHiddenStream(QImage& picture, const QByteArray& header, const QByteArray& payload, uint32_t keyLow,
                          uint32_t keyHigh, const CarrierStyle& style, const TProgressProc& progress)
{
    PictureRows rows(picture);
    return writeHiddenStream(rows, header, payload, keyLow, keyHigh, style, progress);
}

int64_t writeHiddenStream(PixelRows& picture, const QByteArray& header, const QByteArray& payload, uint32_t keyLow,
                          uint32_t keyHigh, const CarrierStyle& style, const TProgressProc& progress)
{
    uint32_t checksum = addToChecksum(0, header.constData(), size_t(header.size()));
    checksum = addToChecksum(checksum, payload.constData(), size_t(payload.size()));
    QByteArray trailer;
    appendInt32(trailer, checksum);

    TRandom random(keyLow, keyHigh);
    std::unique_ptr<TPaletteSearch> search;
    if (style.palette && style.paletteCount <= 256)
        search = std::make_unique<TPaletteSearch>(*style.palette, style.paletteCount);
    CarrierWriter writer(picture, random, progress, search.get(), style.dither);
    if (style.stealth)
        writer.moveValuesBy(style.directions); // ignored in palette mode
    int64_t written = 0;
    const int64_t room = carrierBytes(picture);
    const QByteArray* const parts[] = {&header, &payload, &trailer};
    for (const QByteArray* part : parts) {
        writer.writeBytes(reinterpret_cast<const uint8_t*>(part->constData()), size_t(part->size()));
        written += part->size();
    }
    writer.finish();
    // Bits beyond the last pixel are dropped; so are the bytes they belong to.
    return std::min(written, room);
}

HiddenPayload readHiddenStream(const QImage& picture, uint32_t keyLow, uint32_t keyHigh)
{
    PictureRows rows = PictureRows::readOnly(picture);
    return readHiddenStream(rows, keyLow, keyHigh);
}

HiddenPayload readHiddenStream(PixelRows& picture, uint32_t keyLow, uint32_t keyHigh)
{
    HiddenPayload found;
    TRandom random(keyLow, keyHigh);
    StreamReader stream(picture, random);
    if (stream.text(kMagicReadLimit) != QByteArray(kPayloadMagic))
        return found;
    found.name = stream.text(kNameReadLimit);
    found.dateTime = stream.text(kDateTimeReadLimit);
    found.payloadSize = int32_t(stream.int32());
    const int64_t room =
        carrierBytes(picture) - payloadHeaderLength(found.name.size(), found.dateTime.size()) - kChecksumBytes;
    using Outcome = HiddenPayload::Outcome;
    if (room < found.payloadSize) {
        found.outcome = Outcome::SizeTooLarge;
        return found;
    }
    if (found.payloadSize <= 0) {
        found.outcome = Outcome::SizeNotPositive;
        return found;
    }
    QByteArray payload = stream.bytes(found.payloadSize);
    const uint32_t expected = stream.sum();
    if (stream.int32() != expected) {
        found.outcome = Outcome::ChecksumFailed;
        return found;
    }
    found.outcome = Outcome::Intact;
    found.payload = std::move(payload);
    return found;
}

} // namespace ostrel
