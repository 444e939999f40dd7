// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers of the engine tests: carriers, payload files, and a bit-at-a-time
// model of the hidden stream and its carrier layout, written from the format
// alone, to check the word-at-a-time engine against.
#include "colour/PaletteSearch.h"
#include "engine/Encoder.h"
#include "engine/Seal.h"
#include "engine/TRandom.h"

#include "RandomReference.h"
#include "util/Picture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <optional>
#include <random>
#include <sodium.h>
#include <vector>

namespace ostrel::test {

// EncodePayload with the date-time text given instead of read from the
// clock (a null text stamps an empty one), so that runs can be compared.
inline bool encodePayloadStamped(QImage& picture, const TPaletteArray& palette, int32_t paletteCount,
                                 const TProgressProc& progress, ReportList* report, uint32_t keyLow,
                                 uint32_t keyHigh, const QString& payloadFileName, bool dither,
                                 const QString& dateTimeText)
{
    EncodeOptions options;
    options.palette = palette;
    options.paletteCount = paletteCount;
    options.dither = dither;
    options.dateTimeText = dateTimeText.isNull() ? QStringLiteral("") : dateTimeText;
    return encodePayloadWith(picture, payloadFileName, keyLow, keyHigh, options, progress, report);
}

inline QByteArray randomBytes(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (char& b : bytes)
        b = char(rng());
    return bytes;
}

inline QImage randomPicture(int width, int height, uint32_t seed)
{
    QImage picture = allocatePicture(width, height);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int i = 0; i < width * 3; ++i)
            row[i] = uint8_t(rng());
    }
    return picture;
}

inline QString writeFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList entriesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

inline void appendLittleEndian32(QByteArray& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char(value >> (8 * i)));
}

// The whole hidden stream: magic, name, date-time, size, payload, checksum.
inline QByteArray streamFor(const QByteArray& name, const QByteArray& dateTime, const QByteArray& payload,
                            int64_t claimedSize = -1)
{
    QByteArray stream("START", 6);
    stream += name + QByteArray(1, '\0') + dateTime + QByteArray(1, '\0');
    appendLittleEndian32(stream, uint32_t(claimedSize < 0 ? payload.size() : claimedSize));
    stream += payload;
    uint32_t sum = 0;
    for (char c : stream)
        sum += uint8_t(c);
    appendLittleEndian32(stream, sum);
    return stream;
}

// Stream bit k, most significant bit of each byte first; zero past the end.
inline int streamBit(const QByteArray& stream, int64_t k)
{
    if (k >= stream.size() * 8)
        return 0;
    return (uint8_t(stream[qsizetype(k / 8)]) >> (7 - k % 8)) & 1;
}

// The bit every pixel must carry after an encode: stream bit XOR one NextBit.
inline std::vector<uint8_t> expectedCarrierBits(int64_t pixels, uint64_t key, const QByteArray& stream)
{
    RandomReference random(uint32_t(key), uint32_t(key >> 32));
    std::vector<uint8_t> bits(static_cast<size_t>(pixels));
    for (int64_t k = 0; k < pixels; ++k)
        bits[size_t(k)] = uint8_t(streamBit(stream, k) ^ random.NextBit());
    return bits;
}

// Bit 0 of blue of every pixel, in carrier order.
inline std::vector<uint8_t> carrierBits(const QImage& picture)
{
    std::vector<uint8_t> bits;
    bits.reserve(size_t(picture.width()) * size_t(picture.height()));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            bits.push_back(picture.constScanLine(y)[x * 3] & 1);
    return bits;
}

// Writes a stream into a true-colour picture one pixel at a time.
inline void embedByBits(QImage& picture, uint64_t key, const QByteArray& stream)
{
    const std::vector<uint8_t> bits =
        expectedCarrierBits(int64_t(picture.width()) * picture.height(), key, stream);
    size_t k = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x, ++k) {
            uint8_t& blue = picture.scanLine(y)[x * 3];
            blue = uint8_t((blue & 0xFE) | bits[k]);
        }
}

// Palette mode one pixel at a time: nearest colour of the carried parity,
// then Floyd-Steinberg shares 7, 1, 5, 3 (of 16) to the right, lower left,
// below and lower right.
inline void embedInPaletteByBits(QImage& picture, const TPaletteArray& palette, int32_t count, bool dither,
                                 uint64_t key, const QByteArray& stream)
{
    const int w = picture.width(), h = picture.height();
    const std::vector<uint8_t> bits = expectedCarrierBits(int64_t(w) * h, key, stream);
    TPaletteSearch search(palette, count);
    size_t k = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, ++k) {
            uint8_t* p = picture.scanLine(y) + x * 3;
            const int old[3] = {p[0], p[1], p[2]};
            const TripleValue t =
                search.NearestTriple(bits[k] ? pfOddBlue : pfEvenBlue, tripleValue(p[0], p[1], p[2]));
            p[0] = uint8_t(t);
            p[1] = uint8_t(t >> 8);
            p[2] = uint8_t(t >> 16);
            if (!dither)
                continue;
            const int eb = old[0] - p[0], eg = old[1] - p[1], er = old[2] - p[2];
            auto give = [&](int nx, int ny, int weight) {
                if (nx < 0 || nx >= w || ny >= h)
                    return;
                AddClampTriple(picture.scanLine(ny) + nx * 3, er * weight / 16, eg * weight / 16, eb * weight / 16);
            };
            give(x + 1, y, 7);
            give(x - 1, y + 1, 1);
            give(x, y + 1, 5);
            give(x + 1, y + 1, 3);
        }
}

// The 16 base colours (red in the low byte).
inline constexpr ColourValue kBaseColours[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

// The base colours in their order, and with `twins` each once more after
// them with the other blue parity, so that any colour can carry either bit.
inline TPaletteArray basePalette(int32_t& count, bool twins)
{
    TPaletteArray palette{};
    count = 0;
    for (ColourValue c : kBaseColours)
        palette[size_t(count++)] = c;
    if (twins)
        for (ColourValue c : kBaseColours)
            palette[size_t(count++)] = c ^ 0x010000;
    return palette;
}

// The plaintext of a container as the layout describes it, built by hand.
inline QByteArray plainLayout(const SealedFile& file)
{
    QByteArray plain;
    plain.append(char(file.name.size() & 0xFF)).append(char(file.name.size() >> 8));
    plain.append(file.name).append(char(file.dateTime.size())).append(file.dateTime).append(file.bytes);
    return plain;
}

// A container made directly with the cipher, for plaintexts the sealer never writes.
inline QByteArray containerOf(const QByteArray& plain, const SealingKey& key)
{
    QByteArray out(kSealMagic, kSealMagicBytes);
    const QByteArray nonce(kSealNonceBytes, '\x5A');
    out.append(nonce);
    QByteArray sealed(plain.size() + qsizetype(kSealTagBytes), Qt::Uninitialized);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(reinterpret_cast<uint8_t*>(sealed.data()), &written,
                                               reinterpret_cast<const uint8_t*>(plain.constData()),
                                               size_t(plain.size()), reinterpret_cast<const uint8_t*>(kSealMagic),
                                               kSealMagicBytes, nullptr,
                                               reinterpret_cast<const uint8_t*>(nonce.constData()), key.data());
    return out + sealed;
}

// Hides a sealed file one pixel at a time, with a container built by hand, so
// that any name bytes (a zero, a slash, controls) can be sealed; the picture
// must be in the working format. False when the keys cannot be derived.
inline bool embedSealedByBits(QImage& picture, const QByteArray& password, const SealedFile& file)
{
    const std::optional<SealKeys> keys = deriveSealKeys(password, sealSalt(picture));
    if (!keys)
        return false;
    const QByteArray container = containerOf(plainLayout(file), keys->sealingKey);
    embedByBits(picture, keys->formatKey, streamFor(kSealedStreamName, "", container));
    return true;
}

// The date and time the tests stamp into hidden streams: 19 characters.
inline const QString kStamp = QStringLiteral("2024-01-02 10:11:12");

} // namespace ostrel::test
