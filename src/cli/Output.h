// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the command-line program prints. Whatever a line quotes (a stored
// name, a date, a header, a path, a queue name) may come from a file, a
// picture, a server or the print system, so control characters are printed as
// escapes and cannot act on the terminal.
#include <QString>

namespace ostrel::cli {

// One line on standard output or standard error.
void out(const QString& line);
void err(const QString& line);

// Several lines of the program's own text, split at its line feeds.
void outLines(const QString& text);
void errLines(const QString& text);

} // namespace ostrel::cli
