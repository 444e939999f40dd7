// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the command-line program prints. Whatever a line quotes (a stored
// name, a date, a header, a path, a queue name) may come from a file, a
// picture, a server or the print system, so control characters are printed as
// escapes and cannot act on the terminal.
#include <QString>

#include <optional>

namespace ostrel::cli {

// One line on standard output or standard error.
void out(const QString& line);
void err(const QString& line);

// Several lines of the program's own text, split at its line feeds.
void outLines(const QString& text);
void errLines(const QString& text);

// Says what is wrong with the command line and how it is used; gives the
// usage-error exit status.
int usageError(const QString& message, const char* usage);

// How every command starts: asked for help, it prints its usage and
// `description` and succeeds; given a wrong command line, it says what is
// wrong and how it is used. Otherwise there is no exit status yet and the
// command goes on.
std::optional<int> helpOrUsageError(bool help, const QString& error, const char* usage, const QString& description);

} // namespace ostrel::cli
