#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace ostrel::cli {

enum class PasswordSource { Terminal, File, Stdin, Empty };

struct PasswordRequest {
    PasswordSource source = PasswordSource::Terminal;
    QString file;      // with PasswordSource::File
    bool confirm = false; // ask twice on the terminal
};

// The password as the 8-bit bytes the key is made from, or nothing with
// `error` set (no terminal, unreadable file, mismatch...). An empty password
// is given only for PasswordSource::Empty: an empty file or standard input is
// refused, and an empty answer at the terminal is asked again.
std::optional<QByteArray> obtainPassword(const PasswordRequest& request, QString& error);

// The first line of `bytes` without its line end.
QByteArray firstLine(const QByteArray& bytes);

} // namespace ostrel::cli
