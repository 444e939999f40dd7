// SPDX-License-Identifier: Apache-2.0
#include "util/Text.h"

#include <QStringDecoder>
#include <array>

namespace ostrel {

namespace {

// Bytes 0x80..0x9F; the other bytes are their own Unicode code points.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int windows1252Byte(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == ch)
            return int(0x80 + i);
    return -1;
}

} // namespace

char16_t windows1252Char(uint8_t byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

QByteArray toAnsiBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) {
        int b = windows1252Byte(ch.unicode());
        if (b < 0)
            return text.toUtf8();
        bytes.append(char(b));
    }
    return bytes;
}

QString fromWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(QChar(windows1252Char(uint8_t(c))));
    return text;
}

QString fromStoredBytes(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return fromWindows1252(bytes);
}

bool isHiddenControl(char16_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029
        || isBidiControl(code);
}

bool isBidiControl(char16_t code)
{
    return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E)
        || (code >= 0x2066 && code <= 0x2069);
}

QString escapedName(const QString& name)
{
    QString doubled = name;
    doubled.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return visibleControls(doubled);
}

QString visibleControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t code = ch.unicode();
        if (!isHiddenControl(code)) {
            out.append(ch);
            continue;
        }
        switch (code) {
        case u'\n': out.append(QLatin1String("\\n")); break;
        case u'\r': out.append(QLatin1String("\\r")); break;
        case u'\t': out.append(QLatin1String("\\t")); break;
        default:
            out.append(code > 0xFF ? QStringLiteral("\\u%1").arg(int(code), 4, 16, QLatin1Char('0'))
                                   : QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0')));
        }
    }
    return out;
}

QString expandTabs(const QString& text)
{
    if (!text.contains(QLatin1Char('\t')))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (QChar ch : text) {
        if (ch != QLatin1Char('\t')) {
            out.append(ch);
            continue;
        }
        do
            out.append(QLatin1Char(' '));
        while (out.size() % 8 != 0);
    }
    return out;
}

} // namespace ostrel
