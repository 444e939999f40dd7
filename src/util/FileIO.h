#pragma once
// Whole-file reads and atomic writes. Writers never leave a half-written file
// in place of the one that was there: they write a sibling temporary file and
// rename it over the target.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace ostrel {

// The file's bytes, or nothing when it does not exist or cannot be read
// (`error` then says why).
std::optional<QByteArray> readWholeFile(const QString& path, QString* error = nullptr);

// Writes `bytes` to `path` atomically. On failure returns false, leaves any
// existing file untouched and sets `error` to a text naming the file and the reason.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Streams into `path` atomically: `produce` is called with a sink that takes
// chunks of bytes; it returns false to abandon the file.
using ByteSink = std::function<bool(const char* data, qsizetype size)>;
bool writeFileAtomicallyWith(const QString& path, const std::function<bool(const ByteSink&)>& produce,
                             QString* error = nullptr);

} // namespace ostrel
