// SPDX-License-Identifier: Apache-2.0
#pragma once
// 8-bit text as the hidden-payload format and the file formats store it:
// Windows-1252 where every character fits, else UTF-8.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace ostrel {

// Windows-1252 bytes when every character has a code there, else UTF-8 bytes.
QByteArray toAnsiBytes(const QString& text);

// UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString fromStoredBytes(const QByteArray& bytes);

// Windows-1252 only (every byte is one character; the five unassigned codes
// map to the C1 control characters of the same value).
QString fromWindows1252(const QByteArray& bytes);

// The character for one Windows-1252 byte.
char16_t windows1252Char(uint8_t byte);

// The text with every control character written as an escape (\n, \r, \t,
// \x1b, \x9b ...), for printing on a terminal: a name or header that came
// from a file, a picture or a server can then neither move the cursor nor
// retitle the terminal nor fake a line of its own.
// Bidirectional controls (U+202E and the others) are written as escapes
// too: they would show a name's characters in another order.
QString visibleControls(const QString& text);

// A name from a file, a picture or a server as printed: its backslashes
// doubled first, then its controls escaped, so a name holding the text
// "\x1b" never prints like one holding the control character.
QString escapedName(const QString& name);

// Characters that print as nothing or move other characters: C0 and C1
// controls, line and paragraph separators, and bidirectional controls.
bool isHiddenControl(char16_t code);
bool isBidiControl(char16_t code);

// Expands each tab to spaces up to the next multiple of 8 columns (at least one).
QString expandTabs(const QString& text);

} // namespace ostrel
