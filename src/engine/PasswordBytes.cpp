#include "engine/PasswordBytes.h"

#include "util/Text.h"

#include <QString>
#include <QStringDecoder>
#include <sodium.h>

namespace ostrel {

namespace {

void wipeText(QString& text)
{
    if (!text.isEmpty())
        sodium_memzero(text.data(), size_t(text.size()) * sizeof(QChar));
    text.clear();
}

} // namespace

QByteArray passwordKeyBytes(const QByteArray& typed)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(typed);
    if (decoder.hasError()) {
        wipeText(text);
        text = fromWindows1252(typed);
    }
    QByteArray bytes = toAnsiBytes(text);
    wipeText(text);
    return bytes;
}

void wipeSecret(QByteArray& secret)
{
    if (!secret.isEmpty())
        sodium_memzero(secret.data(), size_t(secret.size()));
}

} // namespace ostrel
