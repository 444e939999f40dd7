// SPDX-License-Identifier: Apache-2.0
#pragma once
// The parts of the process's surroundings that tests set or read through
// POSIX: environment variables and the permission bits of files.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

#include <sys/mount.h>
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

// A small file system of its own (tmpfs), to fill up: writes that run out of
// room there fail as on a full disk. Mounting needs root; elsewhere
// whyNot() says why there is none.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const char* size)
    {
        if (!m_dir.isValid()) {
            m_whyNot = QStringLiteral("no temporary folder");
            return;
        }
        const QByteArray options = QByteArrayLiteral("size=") + size;
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) != 0)
            m_whyNot = QStringLiteral("cannot mount a small tmpfs here (needs root): ") + qt_error_string(errno);
        else
            m_mounted = true;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const QString& whyNot() const { return m_whyNot; }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QString path() const { return m_dir.path(); }

    // Fills what is left with one file, so the next write has no room.
    void fill() const
    {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_whyNot;
    bool m_mounted = false;
};

} // namespace ostrel::testing
