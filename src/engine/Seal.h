// SPDX-License-Identifier: Apache-2.0
#pragma once
// Sealed payloads. The format's own key is a shift-and-add of the password,
// cheap to guess and confirmed by the first 48 carried bits. A sealed picture
// instead carries a container whose content only the password opens, and
// whose format key comes from a memory-hard derivation salted by the picture
// itself; every decoder of the format still reads the container out.
//
// Salt: SHA-256 of "ostrel seal v1", the width and height (32-bit little
// endian), then the red and green byte of every pixel in carrier order. Only
// blue bytes carry the stream, so encoder and decoder see the same salt.
//
// Derivation: Argon2id (3 passes, 64 MiB, one lane) of the password bytes
// with the salt's first 16 bytes, 64 bytes out: bytes 0..7 (little endian)
// give the format key, bytes 32..63 the sealing key.
//
// Container: "OSTRSEAL", a 24-byte random nonce, then XChaCha20-Poly1305 of
// [name length (16-bit little endian), name, date-time length (one byte),
// date-time, file bytes] with "OSTRSEAL" as associated data.
#include "util/PixelRows.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace ostrel {

inline constexpr char kSealMagic[] = "OSTRSEAL"; // its 8 letters, no zero byte
inline constexpr size_t kSealMagicBytes = sizeof kSealMagic - 1;
inline constexpr size_t kSealNonceBytes = 24;
inline constexpr size_t kSealTagBytes = 16;
inline constexpr size_t kSealingKeyBytes = 32;
// The smallest container: magic, nonce, the two length fields and the tag.
inline constexpr size_t kSealOverheadBytes = kSealMagicBytes + kSealNonceBytes + 2 + 1 + kSealTagBytes;

// The name and date-time the hidden stream shows for a sealed payload; the
// real ones travel inside the container.
inline constexpr char kSealedStreamName[] = "sealed.ostrel";

using SealSalt = std::array<uint8_t, 32>;
using SealingKey = std::array<uint8_t, kSealingKeyBytes>;

// The picture's salt; a picture not in the working format is read as if it were.
SealSalt sealSalt(const QImage& picture);
// The same over rows in the working format, in one pass from the top.
SealSalt sealSalt(PixelRows& rows);

struct SealKeys {
    uint64_t formatKey = 0; // never 0 and never 2^63, see formatKeyFromDerived
    SealingKey sealingKey{};

    SealKeys() = default;
    SealKeys(const SealKeys&) = default;
    SealKeys& operator=(const SealKeys&) = default;
    ~SealKeys();
};

// Nothing when the 64 MiB the derivation needs cannot be had.
std::optional<SealKeys> deriveSealKeys(const QByteArray& password, const SealSalt& salt);
// What to tell the user then.
QString sealDerivationFailedText();

// The derived 64-bit value as a key of the format's generator: 0 becomes 1
// (the generator seeds 0 as 1 anyway, so the stream is the same), and 2^63,
// the one key with no keystream, becomes 2^63 + 1. Every other value is kept.
uint64_t formatKeyFromDerived(uint64_t derived);

// A password of 64 characters "0" and "1" whose shift-and-add (HashPassword)
// is `key`: each character adds 48 or 49, so the bits read as a number are
// key + 48 modulo 2^64.
QByteArray formatPasswordForKey(uint64_t key);

struct SealedFile {
    QByteArray name;     // the bytes the format would store as the name
    QByteArray dateTime; // likewise for the date-time text
    QByteArray bytes;
};

// Nothing when the name is longer than 65535 bytes or the date-time longer than 255.
std::optional<QByteArray> sealContainer(const SealedFile& file, const SealingKey& key);

// Whether `bytes` start like a container and are long enough to be one.
bool looksSealed(const QByteArray& bytes);

enum class SealOpenStatus {
    Opened,
    NotSealed,     // no container magic, or too short to be one
    Unauthentic,   // wrong key, or a byte of the container changed
    Malformed,     // authentic, but its length fields run past its end
};

struct OpenedSeal {
    SealOpenStatus status = SealOpenStatus::NotSealed;
    SealedFile file;
};

OpenedSeal openContainer(const QByteArray& container, const SealingKey& key);

} // namespace ostrel
