// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>

namespace ostrel::cli {

// The longest password read from a file, standard input or the terminal:
// far beyond any typed one, and short enough that a file with no line end
// (/dev/zero, an endless pipe) is refused at once.
inline constexpr size_t kPasswordLimit = 4096;

enum class PasswordSource { Terminal, File, Stdin, Empty };

struct PasswordRequest {
    PasswordSource source = PasswordSource::Terminal;
    QString file;      // with PasswordSource::File
    bool confirm = false; // ask twice on the terminal
};

// The password as the 8-bit bytes the key is made from, or nothing with
// `error` set (no terminal, unreadable file, mismatch...). An empty password
// is given only for PasswordSource::Empty: an empty file or standard input is
// refused, and an empty answer at the terminal is asked again. Every copy of
// what was read is wiped before this returns; the caller wipes the result
// once its keys are made.
std::optional<QByteArray> obtainPassword(const PasswordRequest& request, QString& error);

} // namespace ostrel::cli
