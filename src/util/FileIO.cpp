#include "util/FileIO.h"

#include <QFile>
#include <QSaveFile>

namespace ostrel {

std::optional<QByteArray> readWholeFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool writeFileAtomicallyWith(const QString& path, const std::function<bool(const ByteSink&)>& produce,
                             QString* error)
{
    QSaveFile file(path);
    auto fail = [&](const QString& reason) {
        file.cancelWriting();
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, reason);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    bool writeFailed = false;
    ByteSink sink = [&](const char* data, qsizetype size) {
        if (writeFailed)
            return false;
        if (file.write(data, size) != size)
            writeFailed = true;
        return !writeFailed;
    };
    if (!produce(sink) || writeFailed)
        return fail(writeFailed ? file.errorString() : QStringLiteral("writing was abandoned"));
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    return writeFileAtomicallyWith(
        path, [&](const ByteSink& sink) { return sink(bytes.constData(), bytes.size()); }, error);
}

} // namespace ostrel
