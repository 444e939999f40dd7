// SPDX-License-Identifier: Apache-2.0
#pragma once
// The bytes a key is made from, for a password read as bytes (a password
// file, standard input, a terminal).
#include <QByteArray>
#include <QString>

namespace ostrel {

// A password that is valid UTF-8 gives the Windows-1252 bytes of its text
// when every character has one, else its UTF-8 bytes, as the desktop
// program makes them from typed text. Other bytes are read as Windows-1252,
// as names that are not UTF-8 are read, which keeps every byte as it is: no
// byte is replaced, so a key file of random bytes keeps all its strength.
QByteArray passwordKeyBytes(const QByteArray& typed);

// Overwrites the bytes `secret` holds with zeros, in place; a buffer shared
// with another array is copied first, so only this array's bytes are wiped.
void wipeSecret(QByteArray& secret);
void wipeSecret(QString& secret);

} // namespace ostrel
