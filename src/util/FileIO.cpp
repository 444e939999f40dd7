#include "util/FileIO.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

// Closes a descriptor however the function that opened it ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closes now, so that a failed close can be reported.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// What kind of thing a non-regular file is, in the words a user knows.
QString fileKindReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe (FIFO), not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    return QStringLiteral("it is not a regular file");
}

bool writeAll(int fd, const char* data, qsizetype size, int& errorNumber)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            errorNumber = errno;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// A new file beside `target`, created exclusively so that nothing planted
// under the same name is written through.
int createSiblingTemporary(const QByteArray& target, mode_t mode, QByteArray& tempName)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    // Leaves room for the suffix within the longest name a file system takes.
    const QByteArray base = target.mid(slash + 1).left(200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = folder + '.' + base + '.' +
                   QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

QString systemReason(int errorNumber)
{
    return qt_error_string(errorNumber);
}

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

QString notARegularFileReason(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? QStringLiteral("no such file") : systemReason(errno);
    return S_ISREG(info.st_mode) ? QString() : fileKindReason(info.st_mode);
}

std::optional<QByteArray> readRegularFile(const QString& path, QString* error)
{
    auto fail = [&](const QString& reason) -> std::optional<QByteArray> {
        failWith(error, QStringLiteral("Cannot read %1: %2.").arg(path, reason));
        return std::nullopt;
    };
    const QString notRegular = notARegularFileReason(path);
    if (!notRegular.isEmpty())
        return fail(notRegular);
    // Non-blocking, in case a FIFO was put in the file's place since.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return fail(systemReason(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return fail(systemReason(errno));
    if (!S_ISREG(info.st_mode))
        return fail(fileKindReason(info.st_mode));
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::read(fd.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fail(systemReason(errno));
        if (count == 0)
            return fail(QStringLiteral("the file became shorter while it was read (%1 of %2 bytes)")
                            .arg(done)
                            .arg(bytes.size()));
        done += count;
    }
    return bytes;
}

bool makeFolders(const QString& path, unsigned mode, QString* error)
{
    auto fail = [&](const QString& reason) {
        return failWith(error, QStringLiteral("Cannot create folder %1: %2.").arg(path, reason));
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no folder name given"));
    const QByteArray full = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    for (qsizetype end = 1; end <= full.size(); ++end) {
        if (end < full.size() && full.at(end) != '/')
            continue;
        const QByteArray prefix = full.left(end);
        if (::mkdir(prefix.constData(), mode_t(mode)) != 0 && errno != EEXIST)
            return fail(systemReason(errno));
        struct stat info {};
        if (::stat(prefix.constData(), &info) != 0)
            return fail(systemReason(errno));
        if (!S_ISDIR(info.st_mode))
            return fail(QFile::decodeName(prefix) + QStringLiteral(" is not a folder"));
    }
    return true;
}

bool writeFileAtomicallyWith(const QString& path, const std::function<bool(const ByteSink&)>& produce,
                             QString* error, FileAccess access)
{
    auto fail = [&](const QString& reason) {
        return failWith(error, QStringLiteral("Cannot write %1: %2").arg(path, reason));
    };
    QByteArray target = QFile::encodeName(path);
    struct stat link {};
    // Saving through a link to an existing file keeps the link, as editors do.
    if (access == FileAccess::Shared && ::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = QByteArray(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return fail(fileKindReason(existing.st_mode));

    QByteArray tempName;
    FileDescriptor fd(createSiblingTemporary(target, access == FileAccess::Private ? 0600 : 0666, tempName));
    if (fd.get() < 0)
        return fail(systemReason(errno));
    auto abandon = [&](const QString& reason) {
        ::unlink(tempName.constData());
        return fail(reason);
    };
    if (access == FileAccess::Shared && exists)
        ::fchmod(fd.get(), existing.st_mode & 07777);

    int errorNumber = 0;
    ByteSink sink = [&](const char* data, qsizetype size) {
        return errorNumber == 0 && writeAll(fd.get(), data, size, errorNumber);
    };
    if (!produce(sink) || errorNumber != 0)
        return abandon(errorNumber != 0 ? systemReason(errorNumber) : QStringLiteral("writing was abandoned"));
    // A full disk may only show when the data reach it.
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        return abandon(systemReason(errno));
    if (!fd.close())
        return abandon(systemReason(errno));
    if (::rename(tempName.constData(), target.constData()) != 0)
        return abandon(systemReason(errno));
    return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, FileAccess access)
{
    return writeFileAtomicallyWith(
        path, [&](const ByteSink& sink) { return sink(bytes.constData(), bytes.size()); }, error, access);
}

} // namespace ostrel
