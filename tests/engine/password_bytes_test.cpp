// SPDX-License-Identifier: Apache-2.0
#include "engine/PasswordBytes.h"
#include "engine/TRandom.h"
#include "util/Text.h"

#include <QString>
#include <gtest/gtest.h>

#include <set>

using namespace ostrel;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Byte strings that are not UTF-8 keep every byte: strings that differ give
// different key bytes, and none of them collapses onto another one's key.
TEST(PasswordKeyBytes, BytesThatAreNotUtf8AreKeptOneForOne)
{
    const QByteArray notUtf8[] = {
        hex("FFFEFDFCFBFAF9F8"), // once read as eight U+FFFD, like the next
        hex("8081828384858687"),
        hex("C0"),             // a lead byte alone
        hex("C1"),
        hex("80"),             // a lone continuation byte
        hex("61FF62"),
        hex("61FE62"),
        hex("ED A0 80"),       // an encoded surrogate
        hex("F4 90 80 80"),    // past U+10FFFF
        hex("81 8D 8F 90 9D"), // the five codes Windows-1252 leaves unassigned
        hex("00FF"),
        hex("FF00"),
    };
    std::set<QByteArray> seen;
    for (const QByteArray& bytes : notUtf8) {
        SCOPED_TRACE(bytes.toHex(' ').toStdString());
        const QByteArray key = passwordKeyBytes(bytes);
        EXPECT_EQ(key, bytes);
        EXPECT_TRUE(seen.insert(key).second);
    }
    EXPECT_NE(HashPassword(passwordKeyBytes(hex("FFFEFDFCFBFAF9F8"))),
              HashPassword(passwordKeyBytes(hex("8081828384858687"))));
}

// Valid UTF-8 keeps the key bytes it had: its text in Windows-1252 where
// every character has a code, else its UTF-8 bytes.
TEST(PasswordKeyBytes, Utf8PasswordsKeepTheirKey)
{
    struct Case {
        QByteArray typed;
        QByteArray key;
    };
    const Case cases[] = {
        {"correct horse", "correct horse"},
        {"", ""},
        {"caf\xC3\xA9", "caf\xE9"},                     // é has a Windows-1252 code
        {"\xE2\x82\xAC" "5", "\x80" "5"},               // so has the euro sign
        {"\xE3\x83\xA1\xC3\xA9", "\xE3\x83\xA1\xC3\xA9"}, // a katakana letter has none: UTF-8
        {"\xC2\x81", "\x81"},                           // U+0081 stands for the unassigned 0x81
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toHex(' ').toStdString());
        EXPECT_EQ(passwordKeyBytes(c.typed), c.key);
        EXPECT_EQ(passwordKeyBytes(c.typed), toAnsiBytes(QString::fromUtf8(c.typed)));
    }
}

// The bytes are overwritten in place, not only let go of: the freed buffer
// would otherwise keep the password until something else reuses it.
TEST(WipeSecret, OverwritesTheBytesInPlace)
{
    QByteArray secret("hunter2 hunter2");
    const char* before = secret.constData();
    wipeSecret(secret);
    ASSERT_EQ(secret.constData(), before);
    EXPECT_EQ(secret, QByteArray(15, '\0'));
}

} // namespace
