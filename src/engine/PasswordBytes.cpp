// SPDX-License-Identifier: Apache-2.0
#include "engine/PasswordBytes.h"

#include "util/Text.h"

#include <QString>
#include <QStringDecoder>
#include <sodium.h>

namespace ostrel {

QByteArray passwordKeyBytes(const QByteArray& typed)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(typed);
    if (decoder.hasError()) {
        wipeSecret(text);
        text = fromWindows1252(typed);
    }
    QByteArray bytes = toAnsiBytes(text);
    wipeSecret(text);
    return bytes;
}

void wipeSecret(QByteArray& secret)
{
    if (!secret.isEmpty())
        sodium_memzero(secret.data(), size_t(secret.size()));
}

void wipeSecret(QString& secret)
{
    if (!secret.isEmpty())
        sodium_memzero(secret.data(), size_t(secret.size()) * sizeof(QChar));
}

} // namespace ostrel
