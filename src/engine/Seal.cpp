// SPDX-License-Identifier: Apache-2.0
#include "engine/Seal.h"

#include "util/Picture.h"

#include <openssl/evp.h>
#include <sodium.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace ostrel {

namespace {

constexpr char kSaltDomain[] = "ostrel seal v1";
constexpr size_t kSaltDomainBytes = sizeof kSaltDomain - 1;
constexpr unsigned long long kDerivationPasses = 3;
constexpr size_t kDerivationMemory = size_t(64) << 20;
constexpr size_t kDerivedBytes = 64;
constexpr size_t kSealingKeyOffset = 32;
constexpr uint64_t kDeadKey = uint64_t(1) << 63;

// libsodium picks its fastest routines once; every entry point here may be
// the first call of the process.
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// SHA-256 through libcrypto, which uses the processor's SHA instructions
// where it has them (several times faster than libsodium's portable code on
// the 24 MB of a 12-megapixel picture); libsodium's when libcrypto cannot
// give a context or is not wanted. Every libcrypto step is checked: a step
// that failed leaves the digest unusable, and failed() says so.
class Sha256 {
public:
    explicit Sha256(bool useLibcrypto) : m_context(useLibcrypto ? EVP_MD_CTX_new() : nullptr, &EVP_MD_CTX_free)
    {
        if (m_context && EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
            m_context.reset();
        if (!m_context)
            crypto_hash_sha256_init(&m_fallback);
    }

    void add(const uint8_t* data, size_t size)
    {
        if (m_context)
            m_failed |= EVP_DigestUpdate(m_context.get(), data, size) != 1;
        else
            crypto_hash_sha256_update(&m_fallback, data, size);
    }

    void addLittleEndian32(uint32_t value)
    {
        const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        add(bytes, sizeof bytes);
    }

    SealSalt finish()
    {
        SealSalt digest{};
        unsigned int size = 0;
        if (m_context)
            m_failed |= EVP_DigestFinal_ex(m_context.get(), digest.data(), &size) != 1 || size != digest.size();
        else
            crypto_hash_sha256_final(&m_fallback, digest.data());
        return digest;
    }

    bool failed() const { return m_failed; }

private:
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> m_context;
    crypto_hash_sha256_state m_fallback{};
    bool m_failed = false;
};

SealSalt hashShapeRedAndGreen(PixelRows& working, bool useLibcrypto, bool& failed)
{
    Sha256 hash(useLibcrypto);
    hash.add(reinterpret_cast<const uint8_t*>(kSaltDomain), kSaltDomainBytes);
    // The sides once: they are virtual calls the loops could not hoist.
    const int width = working.width(), height = working.height();
    hash.addLittleEndian32(uint32_t(width));
    hash.addLittleEndian32(uint32_t(height));
    std::vector<uint8_t> redGreen(size_t(width) * 2);
    for (int y = 0; y < height; ++y) {
        const uint8_t* pixel = working.row(y);
        uint8_t* out = redGreen.data();
        for (int x = 0; x < width; ++x, pixel += 3, out += 2) {
            out[0] = pixel[2];
            out[1] = pixel[1];
        }
        hash.add(redGreen.data(), redGreen.size());
    }
    const SealSalt salt = hash.finish();
    failed = hash.failed();
    return salt;
}

} // namespace

SealKeys::~SealKeys()
{
    sodium_memzero(sealingKey.data(), sealingKey.size());
    sodium_memzero(&formatKey, sizeof formatKey);
}

SealSalt sealSalt(const QImage& picture)
{
    const QImage working = inPictureFormat(picture);
    PictureRows rows = PictureRows::readOnly(working);
    return sealSalt(rows);
}

SealSalt sealSalt(PixelRows& rows)
{
    sodiumReady();
    bool failed = false;
    rows.passOnlyReads();
    const SealSalt salt = hashShapeRedAndGreen(rows, true, failed);
    // A salt from a failed digest would be whatever the buffer held, the same
    // for every picture; libsodium's digest cannot fail, so it is taken again.
    if (!failed)
        return salt;
    rows.passOnlyReads();
    return hashShapeRedAndGreen(rows, false, failed);
}

uint64_t formatKeyFromDerived(uint64_t derived)
{
    if (derived == 0)
        return 1;
    if (derived == kDeadKey)
        return kDeadKey + 1;
    return derived;
}

std::optional<SealKeys> deriveSealKeys(const QByteArray& password, const SealSalt& salt)
{
    static_assert(crypto_pwhash_SALTBYTES == 16);
    if (!sodiumReady())
        return std::nullopt;
    std::array<uint8_t, kDerivedBytes> derived{};
    if (crypto_pwhash(derived.data(), derived.size(), password.constData(), size_t(password.size()), salt.data(),
                      kDerivationPasses, kDerivationMemory, crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return std::nullopt;
    SealKeys keys;
    uint64_t first = 0;
    for (int i = 7; i >= 0; --i)
        first = (first << 8) | derived[size_t(i)];
    keys.formatKey = formatKeyFromDerived(first);
    std::copy_n(derived.begin() + kSealingKeyOffset, kSealingKeyBytes, keys.sealingKey.begin());
    sodium_memzero(derived.data(), derived.size());
    sodium_memzero(&first, sizeof first);
    return keys;
}

QString sealDerivationFailedText()
{
    return QStringLiteral("Not enough memory to derive the sealed key (it needs 64 MiB).");
}

QByteArray formatPasswordForKey(uint64_t key)
{
    const uint64_t bits = key + 48;
    QByteArray password(64, '0');
    for (int i = 0; i < 64; ++i)
        if ((bits >> (63 - i)) & 1)
            password[i] = '1';
    return password;
}

std::optional<QByteArray> sealContainer(const SealedFile& file, const SealingKey& key)
{
    if (file.name.size() > 0xFFFF || file.dateTime.size() > 0xFF || !sodiumReady())
        return std::nullopt;
    QByteArray plain;
    plain.reserve(2 + file.name.size() + 1 + file.dateTime.size() + file.bytes.size());
    plain.append(char(uint8_t(file.name.size()))).append(char(uint8_t(file.name.size() >> 8)));
    plain.append(file.name);
    plain.append(char(uint8_t(file.dateTime.size())));
    plain.append(file.dateTime);
    plain.append(file.bytes);

    QByteArray container(qsizetype(kSealMagicBytes + kSealNonceBytes) + plain.size() + qsizetype(kSealTagBytes),
                         Qt::Uninitialized);
    auto* out = reinterpret_cast<uint8_t*>(container.data());
    std::copy_n(kSealMagic, kSealMagicBytes, out);
    uint8_t* nonce = out + kSealMagicBytes;
    randombytes_buf(nonce, kSealNonceBytes);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kSealNonceBytes, &written,
                                               reinterpret_cast<const uint8_t*>(plain.constData()),
                                               size_t(plain.size()), out, kSealMagicBytes, nullptr, nonce,
                                               key.data());
    sodium_memzero(plain.data(), size_t(plain.size()));
    return container;
}

bool looksSealed(const QByteArray& bytes)
{
    return size_t(bytes.size()) >= kSealOverheadBytes && bytes.startsWith(QByteArray(kSealMagic, kSealMagicBytes));
}

OpenedSeal openContainer(const QByteArray& container, const SealingKey& key)
{
    OpenedSeal opened;
    if (!looksSealed(container) || !sodiumReady())
        return opened;
    const auto* in = reinterpret_cast<const uint8_t*>(container.constData());
    const uint8_t* nonce = in + kSealMagicBytes;
    const uint8_t* sealed = nonce + kSealNonceBytes;
    const size_t sealedSize = size_t(container.size()) - kSealMagicBytes - kSealNonceBytes;
    QByteArray plain(qsizetype(sealedSize - kSealTagBytes), Qt::Uninitialized);
    unsigned long long plainSize = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<uint8_t*>(plain.data()), &plainSize, nullptr,
                                                   sealed, sealedSize, in, kSealMagicBytes, nonce, key.data())
        != 0) {
        opened.status = SealOpenStatus::Unauthentic;
        return opened;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(plain.constData());
    const size_t size = size_t(plainSize);
    const size_t nameSize = size_t(p[0]) | size_t(p[1]) << 8;
    const size_t dateAt = 2 + nameSize;
    if (dateAt + 1 > size || dateAt + 1 + p[dateAt] > size) {
        sodium_memzero(plain.data(), size_t(plain.size()));
        opened.status = SealOpenStatus::Malformed;
        return opened;
    }
    const size_t dateSize = p[dateAt];
    const qsizetype bytesAt = qsizetype(dateAt + 1 + dateSize);
    opened.file.name = plain.mid(2, qsizetype(nameSize));
    opened.file.dateTime = plain.mid(qsizetype(dateAt + 1), qsizetype(dateSize));
    opened.file.bytes = plain.mid(bytesAt);
    opened.status = SealOpenStatus::Opened;
    sodium_memzero(plain.data(), size_t(plain.size()));
    return opened;
}

} // namespace ostrel
