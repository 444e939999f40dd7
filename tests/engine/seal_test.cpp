// SPDX-License-Identifier: Apache-2.0
#include "EngineTestSupport.h"
#include "engine/Encoder.h"
#include "engine/Seal.h"
#include "engine/TRandom.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sodium.h>

#include <functional>

using namespace ostrel;
using namespace ostrel::test;

namespace {

QByteArray bytesOf(const SealSalt& salt)
{
    return QByteArray(reinterpret_cast<const char*>(salt.data()), qsizetype(salt.size()));
}

SealingKey keyOf(uint8_t fill)
{
    SealingKey key{};
    key.fill(fill);
    return key;
}

QByteArray littleEndian32(uint32_t value)
{
    QByteArray bytes;
    appendLittleEndian32(bytes, value);
    return bytes;
}

} // namespace

TEST(SealSalt, IsTheHashOfShapeRedAndGreenInCarrierOrder)
{
    const QImage picture = randomPicture(5, 3, 7); // odd width: rows are padded in memory
    QByteArray message("ostrel seal v1");
    message += littleEndian32(5) + littleEndian32(3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* pixel = picture.constScanLine(y) + x * 3; // blue, green, red
            message.append(char(pixel[2])).append(char(pixel[1]));
        }
    EXPECT_EQ(bytesOf(sealSalt(picture)), QCryptographicHash::hash(message, QCryptographicHash::Sha256));
}

TEST(SealSalt, FollowsRedGreenAndShapeButNeverBlue)
{
    struct Case {
        const char* what;
        std::function<QImage(QImage)> change;
        bool sameSalt;
    };
    const Case cases[] = {
        {"every blue byte replaced",
         [](QImage p) {
             for (int y = 0; y < p.height(); ++y)
                 for (int x = 0; x < p.width(); ++x)
                     p.scanLine(y)[x * 3] ^= uint8_t(0x5D + x + y);
             return p;
         },
         true},
        {"one red byte", [](QImage p) { p.scanLine(3)[4 * 3 + 2] ^= 1; return p; }, false},
        {"one green byte", [](QImage p) { p.scanLine(0)[0 * 3 + 1] ^= 0x80; return p; }, false},
        {"same bytes, rows of another length",
         [](QImage p) {
             QImage q = allocatePicture(p.height(), p.width());
             for (int i = 0; i < p.width() * p.height(); ++i)
                 std::copy_n(p.constScanLine(i / p.width()) + i % p.width() * 3, 3,
                             q.scanLine(i / q.width()) + i % q.width() * 3);
             return q;
         },
         false},
    };
    const QImage picture = randomPicture(6, 4, 11);
    const SealSalt original = sealSalt(picture);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sealSalt(c.change(picture)) == original, c.sameSalt);
    }
}

TEST(SealSalt, SurvivesAnEncodeIntoThePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString payload = writeFile(dir.path(), QStringLiteral("p.bin"), randomBytes(300, 3));
    QImage picture = randomPicture(64, 48, 5);
    const SealSalt before = sealSalt(picture);
    const QImage original = picture;
    ASSERT_TRUE(EncodePayloadTrueColor(picture, payload, nullptr, {}, 0x1234, 0x5678));
    ASSERT_TRUE(picture != original);
    EXPECT_EQ(sealSalt(picture), before);
}

TEST(SealKeyRules, OnlyTheTwoUnusableValuesAreMoved)
{
    const uint64_t top = uint64_t(1) << 63;
    const struct {
        uint64_t derived, key;
    } cases[] = {
        {0, 1}, {top, top + 1}, {1, 1}, {2, 2}, {top - 1, top - 1}, {top + 1, top + 1}, {~uint64_t(0), ~uint64_t(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.derived);
        EXPECT_EQ(formatKeyFromDerived(c.derived), c.key);
        EXPECT_TRUE(keyCanProduceBits(formatKeyFromDerived(c.derived)));
    }
}

TEST(SealKeyRules, FormatPasswordShiftsAndAddsToTheKey)
{
    const uint64_t keys[] = {0, 1, 47, 48, 49, uint64_t(1) << 63, (uint64_t(1) << 63) + 1, ~uint64_t(0) - 47,
                             ~uint64_t(0), 0x0123456789ABCDEFu};
    for (uint64_t key : keys) {
        SCOPED_TRACE(key);
        const QByteArray password = formatPasswordForKey(key);
        ASSERT_EQ(password.size(), 64);
        EXPECT_EQ(password.count('0') + password.count('1'), 64);
        EXPECT_EQ(HashPassword(password), key);
    }
}

TEST(SealDerivation, KeysDependOnEveryPasswordByteAndOnTheSalt)
{
    SealSalt salt{};
    for (size_t i = 0; i < salt.size(); ++i)
        salt[i] = uint8_t(i);
    SealSalt otherSalt = salt;
    otherSalt[15] ^= 1;
    SealSalt tailOnly = salt; // bytes past the 16 the derivation takes
    tailOnly[31] ^= 1;
    // The format's own key sees only a password's last 64 bytes; these two share them.
    const QByteArray longPassword = QByteArray(70, 'x');
    const QByteArray changedStart = QByteArray("y") + QByteArray(69, 'x');
    ASSERT_EQ(HashPassword(longPassword), HashPassword(changedStart));

    const auto keys = deriveSealKeys(longPassword, salt);
    ASSERT_TRUE(keys);
    const struct {
        const char* what;
        QByteArray password;
        SealSalt salt;
        bool same;
    } cases[] = {
        {"again", longPassword, salt, true},
        {"first byte changed", changedStart, salt, false},
        {"salt's 16th byte changed", longPassword, otherSalt, false},
        {"salt's last byte changed", longPassword, tailOnly, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto other = deriveSealKeys(c.password, c.salt);
        ASSERT_TRUE(other);
        EXPECT_EQ(other->formatKey == keys->formatKey, c.same);
        EXPECT_EQ(other->sealingKey == keys->sealingKey, c.same);
    }
}

// Pinned: pictures sealed by earlier builds must keep opening, so the
// derivation's parameters and the split of its output may never drift.
TEST(SealDerivation, MatchesThePinnedValue)
{
    SealSalt salt{};
    for (size_t i = 0; i < salt.size(); ++i)
        salt[i] = uint8_t(0xA0 + i);
    const auto keys = deriveSealKeys("correct horse", salt);
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->formatKey, 5565510315532871298u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(keys->sealingKey.data()), 32).toHex().toStdString(),
              "8b059e5727289e1a0aae452e63f5073e85f13634e5efbc2bf2b25323dfebc98f");
}

TEST(SealContainer, RoundTripsWithTheDescribedLayout)
{
    const struct {
        const char* what;
        SealedFile file;
    } cases[] = {
        {"plain", {"report.pdf", "2024-01-02 10:11:12", randomBytes(1000, 1)}},
        {"empty file", {"empty.txt", "2024-01-02 10:11:12", {}}},
        {"Windows-1252 name", {"caf\xE9 \xF1\xFC.txt", "02.01.2024 10:11", randomBytes(3, 2)}},
        {"UTF-8 name", {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x82\xAC.txt", "", randomBytes(9, 3)}},
        {"no name, no date", {"", "", randomBytes(1, 4)}},
        {"longest stored texts", {QByteArray(200, 'n'), QByteArray(50, 'd'), randomBytes(70000, 5)}},
    };
    const SealingKey key = keyOf(0x42);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto container = sealContainer(c.file, key);
        ASSERT_TRUE(container);
        EXPECT_TRUE(looksSealed(*container));
        ASSERT_EQ(size_t(container->size()),
                  kSealOverheadBytes + size_t(c.file.name.size() + c.file.dateTime.size() + c.file.bytes.size()));

        // Read with the cipher alone, as another program would.
        QByteArray plain(container->size() - qsizetype(kSealMagicBytes + kSealNonceBytes + kSealTagBytes), '\0');
        const auto* in = reinterpret_cast<const uint8_t*>(container->constData());
        ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                      reinterpret_cast<uint8_t*>(plain.data()), nullptr, nullptr, in + 32,
                      size_t(container->size()) - 32, reinterpret_cast<const uint8_t*>("OSTRSEAL"), 8, in + 8,
                      key.data()),
                  0);
        EXPECT_EQ(container->left(8), QByteArray("OSTRSEAL"));
        EXPECT_EQ(plain, plainLayout(c.file));

        const OpenedSeal opened = openContainer(*container, key);
        ASSERT_EQ(opened.status, SealOpenStatus::Opened);
        EXPECT_EQ(opened.file.name, c.file.name);
        EXPECT_EQ(opened.file.dateTime, c.file.dateTime);
        EXPECT_EQ(opened.file.bytes, c.file.bytes);
    }
}

TEST(SealContainer, EachSealTakesAFreshNonce)
{
    const SealedFile file{"a.txt", "now", "same bytes"};
    const auto first = sealContainer(file, keyOf(1));
    const auto second = sealContainer(file, keyOf(1));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->mid(8, 24), second->mid(8, 24));
    EXPECT_NE(*first, *second);
}

TEST(SealContainer, AnyChangedByteOrWrongKeyIsRefused)
{
    const SealingKey key = keyOf(7);
    const auto container = sealContainer({"n.txt", "d", "payload bytes"}, key);
    ASSERT_TRUE(container);
    for (qsizetype i = 0; i < container->size(); ++i) {
        for (uint8_t flip : {uint8_t(0x01), uint8_t(0x80)}) {
            SCOPED_TRACE(testing::Message() << "byte " << i << " xor " << int(flip));
            QByteArray changed = *container;
            changed[i] = char(changed[i] ^ flip);
            EXPECT_EQ(openContainer(changed, key).status,
                      size_t(i) < kSealMagicBytes ? SealOpenStatus::NotSealed : SealOpenStatus::Unauthentic);
        }
    }
    const struct {
        const char* what;
        QByteArray bytes;
        SealingKey key;
        SealOpenStatus status;
    } cases[] = {
        {"wrong key", *container, keyOf(8), SealOpenStatus::Unauthentic},
        {"last byte cut", container->chopped(1), key, SealOpenStatus::Unauthentic},
        {"byte appended", *container + 'x', key, SealOpenStatus::Unauthentic},
        {"shorter than any container", container->left(qsizetype(kSealOverheadBytes) - 1), key,
         SealOpenStatus::NotSealed},
        {"not a container", QByteArray("START of something else entirely, long enough to be one"), key,
         SealOpenStatus::NotSealed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(openContainer(c.bytes, c.key).status, c.status);
    }
}

TEST(SealContainer, AuthenticButInconsistentLengthsAreMalformed)
{
    const SealingKey key = keyOf(9);
    const struct {
        const char* what;
        QByteArray plain;
        SealOpenStatus status;
    } cases[] = {
        {"name longer than the rest", QByteArray("\x10\x00" "abc\x00", 6), SealOpenStatus::Malformed},
        {"date longer than the rest", QByteArray("\x01\x00" "a\x05" "abc", 7), SealOpenStatus::Malformed},
        {"no room for the date length", QByteArray("\x01\x00" "a", 3), SealOpenStatus::Malformed},
        {"exactly filled", QByteArray("\x01\x00" "a\x03" "abc", 7), SealOpenStatus::Opened},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(openContainer(containerOf(c.plain, key), key).status, c.status);
    }
}

TEST(SealContainer, RefusesTextsItsLengthFieldsCannotHold)
{
    EXPECT_FALSE(sealContainer({QByteArray(0x10000, 'n'), "", "x"}, keyOf(1)));
    EXPECT_FALSE(sealContainer({"n", QByteArray(256, 'd'), "x"}, keyOf(1)));
    EXPECT_TRUE(sealContainer({QByteArray(0xFFFF, 'n'), QByteArray(255, 'd'), ""}, keyOf(1)));
}
