#pragma once
// The parts of the process's surroundings that tests set or read through
// POSIX: environment variables and the permission bits of files.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <optional>

#include <sys/stat.h>

namespace ostrel::testing {

// Sets an environment variable for one test and puts it back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_previous)
            qputenv(m_name, *m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

// The permission bits of `path` itself (a link is not followed), or all bits
// set when it does not exist.
inline mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : mode_t(-1);
}

} // namespace ostrel::testing
