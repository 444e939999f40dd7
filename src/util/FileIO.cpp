// SPDX-License-Identifier: Apache-2.0
#include "util/FileIO.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <cstdlib>
#include <memory>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
    // Hands the descriptor over: it is no longer closed here.
    void release() { m_fd = -1; }
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

// Hands `data` to `write` until all of it is taken, as often as a signal
// interrupts; false with `errorNumber` set when the system refuses.
template <typename Write>
bool writeEvery(const char* data, qsizetype size, int& errorNumber, Write write)
{
    while (size > 0) {
        const ssize_t written = write(data, size_t(size));
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

bool writeAll(int fd, const char* data, qsizetype size, int& errorNumber)
{
    return writeEvery(data, size, errorNumber,
                      [fd](const char* from, size_t count) { return ::write(fd, from, count); });
}

// The most vectors one readv/writev call takes.
size_t maxIoVectors()
{
    static const size_t most = [] {
        const long systemLimit = ::sysconf(_SC_IOV_MAX);
        return size_t(std::clamp<long>(systemLimit > 0 ? systemLimit : 16, 1, 1024));
    }();
    return most;
}

// Steps `first` over the vectors a call has filled or emptied, `done` bytes
// in all, and trims the one it ended in.
void stepOverDone(std::vector<iovec>& vectors, size_t& first, size_t done)
{
    while (first < vectors.size() && done >= vectors[first].iov_len)
        done -= vectors[first++].iov_len;
    if (done > 0) {
        vectors[first].iov_base = static_cast<char*>(vectors[first].iov_base) + done;
        vectors[first].iov_len -= done;
    }
}

// Hands a file's bytes to the system in large writes. Copied chunks go
// into one fixed block; borrowed ones are written from where they lie. Both
// wait, in order, as a list of pieces that one writev() passes on.
class GatheringWriter {
public:
    GatheringWriter(int fd, int& errorNumber) : m_fd(fd), m_errorNumber(errorNumber) {}

    bool copy(const char* data, qsizetype size)
    {
        if (m_errorNumber != 0)
            return false;
        if (size <= 0)
            return true;
        // A chunk as large as the block goes out as it is, after what waits.
        if (size_t(size) >= kCopyBlock)
            return flush() && writeAll(m_fd, data, size, m_errorNumber);
        if (size_t(size) > kCopyBlock - m_copied && !flush())
            return false;
        if (!m_block)
            m_block = std::make_unique<char[]>(kCopyBlock);
        char* at = m_block.get() + m_copied;
        std::memcpy(at, data, size_t(size));
        m_copied += size_t(size);
        return queue(at, size_t(size));
    }

    bool borrow(const char* data, qsizetype size)
    {
        if (m_errorNumber != 0)
            return false;
        return size <= 0 || queue(data, size_t(size));
    }

    bool flush()
    {
        size_t first = 0;
        while (m_errorNumber == 0 && first < m_pieces.size()) {
            const size_t count = std::min(m_pieces.size() - first, maxIoVectors());
            const ssize_t written = ::writev(m_fd, m_pieces.data() + first, int(count));
            if (written <= 0) {
                if (written < 0 && errno == EINTR)
                    continue;
                m_errorNumber = written < 0 ? errno : EIO;
                break;
            }
            // A short write leaves the rest of its pieces for the next call.
            stepOverDone(m_pieces, first, size_t(written));
        }
        m_pieces.clear();
        m_pending = 0;
        m_copied = 0;
        return m_errorNumber == 0;
    }

private:
    // Large enough that a write costs little per byte, small enough to stay in cache.
    static constexpr size_t kCopyBlock = size_t(1) << 20;
    static constexpr size_t kBatchBytes = size_t(1) << 20;

    bool queue(const char* data, size_t size)
    {
        // Pieces that continue each other (rows without padding, copies
        // side by side in the block) become one.
        if (!m_pieces.empty()) {
            iovec& last = m_pieces.back();
            if (static_cast<const char*>(last.iov_base) + last.iov_len == data) {
                last.iov_len += size;
                m_pending += size;
                return m_pending < kBatchBytes || flush();
            }
        }
        m_pieces.push_back({const_cast<char*>(data), size});
        m_pending += size;
        return (m_pending < kBatchBytes && m_pieces.size() < maxIoVectors()) || flush();
    }

    int m_fd;
    int& m_errorNumber;
    std::vector<iovec> m_pieces;
    size_t m_pending = 0;
    std::unique_ptr<char[]> m_block;
    size_t m_copied = 0;
};

QByteArray folderOf(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return slash < 0 ? QByteArrayLiteral(".") : slash == 0 ? QByteArrayLiteral("/") : target.left(slash);
}

// A hidden name beside `target` that no file has yet, when `candidate`
// returns EEXIST for the names already taken.
template <class Attempt>
int withFreeSiblingName(const QByteArray& target, QByteArray& name, Attempt attempt)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    // Leaves room for the suffix within the longest name a file system takes.
    const QByteArray base = target.mid(slash + 1).left(200);
    for (int tries = 0; tries < 100; ++tries) {
        name = folder + '.' + base + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int result = attempt(name);
        if (result >= 0 || errno != EEXIST)
            return result;
    }
    errno = EEXIST;
    return -1;
}

// Names of temporary files being written, removed by the handler of a signal
// that ends the program. Fixed slots of plain characters, so the handler
// touches nothing but memory that is always there and unlink().
constexpr int kTemporarySlots = 8;
constexpr size_t kTemporaryNameBytes = 4096;
char g_temporaries[kTemporarySlots][kTemporaryNameBytes];
volatile sig_atomic_t g_temporaryUsed[kTemporarySlots];
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previousActions[std::size(kCleanedSignals)];
int g_writesUnderWay = 0;

void removeTemporariesAndEnd(int signalNumber)
{
    for (int i = 0; i < kTemporarySlots; ++i)
        if (g_temporaryUsed[i])
            ::unlink(g_temporaries[i]);
    for (size_t i = 0; i < std::size(kCleanedSignals); ++i)
        if (kCleanedSignals[i] == signalNumber)
            ::sigaction(signalNumber, &g_previousActions[i], nullptr);
    ::raise(signalNumber);
}

// While a write is under way, Ctrl-C, SIGTERM and SIGHUP first remove its
// temporary file, then do what they did before (end the program, or whatever
// handler was there).
class TemporaryGuard {
public:
    TemporaryGuard()
    {
        if (g_writesUnderWay++ > 0)
            return;
        struct sigaction action {};
        action.sa_handler = removeTemporariesAndEnd;
        sigemptyset(&action.sa_mask);
        for (int signalNumber : kCleanedSignals)
            sigaddset(&action.sa_mask, signalNumber);
        for (size_t i = 0; i < std::size(kCleanedSignals); ++i)
            ::sigaction(kCleanedSignals[i], &action, &g_previousActions[i]);
    }
    TemporaryGuard(const TemporaryGuard&) = delete;
    TemporaryGuard& operator=(const TemporaryGuard&) = delete;
    ~TemporaryGuard()
    {
        forget();
        if (--g_writesUnderWay > 0)
            return;
        for (size_t i = 0; i < std::size(kCleanedSignals); ++i)
            ::sigaction(kCleanedSignals[i], &g_previousActions[i], nullptr);
    }

    // `name` is removed if a signal ends the program from now on.
    void watch(const QByteArray& name)
    {
        forget();
        if (size_t(name.size()) >= kTemporaryNameBytes)
            return;
        for (int i = 0; i < kTemporarySlots; ++i)
            if (!g_temporaryUsed[i]) {
                std::memcpy(g_temporaries[i], name.constData(), size_t(name.size()) + 1);
                g_temporaryUsed[i] = 1;
                m_slot = i;
                return;
            }
    }

    void forget()
    {
        if (m_slot >= 0)
            g_temporaryUsed[m_slot] = 0;
        m_slot = -1;
    }

private:
    int m_slot = -1;
};

// The file being written: unnamed (O_TMPFILE) where the file system allows,
// so that nothing is left behind however the program ends, else a hidden
// sibling created exclusively, removed by TemporaryGuard on a signal.
struct Temporary {
    int fd = -1;
    QByteArray name; // empty while unnamed
};

Temporary createTemporary(const QByteArray& target, mode_t mode)
{
    Temporary temporary;
#ifdef O_TMPFILE
    temporary.fd = ::open(folderOf(target).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (temporary.fd >= 0)
        return temporary;
#endif
    temporary.fd = withFreeSiblingName(target, temporary.name, [&](const QByteArray& name) {
        return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    });
    return temporary;
}

// Gives an unnamed temporary file a hidden name beside `target`; false with
// errno set when the system would not link it.
bool nameTemporary(Temporary& temporary, const QByteArray& target)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(temporary.fd);
    const int linked = withFreeSiblingName(target, temporary.name, [&](const QByteArray& name) {
        return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW);
    });
    if (linked == 0)
        return true;
    temporary.name.clear();
    return false;
}

} // namespace

QString systemReason(int errorNumber)
{
    return qt_error_string(errorNumber);
}

Result<QByteArray> readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return bytes;
}

namespace {

// Why `path` cannot be read as a regular file, or empty when it can be tried.
QString notARegularFileReason(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? QStringLiteral("no such file") : systemReason(errno);
    return S_ISREG(info.st_mode) ? QString() : fileKindReason(info.st_mode);
}

Failure cannotRead(const QString& path, const QString& reason)
{
    return fail(QStringLiteral("Cannot read %1: %2.").arg(path, reason));
}

} // namespace

Outcome checkRegularFile(const QString& path)
{
    const QString reason = notARegularFileReason(path);
    if (!reason.isEmpty())
        return cannotRead(path, reason);
    return {};
}

OpenFile::~OpenFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Result<OpenFile> openRegularFile(const QString& path)
{
    if (Outcome regular = checkRegularFile(path); !regular)
        return fail(regular.error());
    // Non-blocking, in case a FIFO was put in the file's place since.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return cannotRead(path, systemReason(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return cannotRead(path, systemReason(errno));
    if (!S_ISREG(info.st_mode))
        return cannotRead(path, fileKindReason(info.st_mode));
    OpenFile file(fd.get(), qint64(info.st_size));
    fd.release();
    return file;
}

Result<QByteArray> readFileBytes(const OpenFile& file, qint64 offset, qint64 size, const QString& path)
{
    QByteArray bytes(qsizetype(std::max<qint64>(0, size)), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::pread(file.fd(), bytes.data() + done, size_t(bytes.size() - done), offset + done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return cannotRead(path, systemReason(errno));
        if (count == 0)
            break;
        done += count;
    }
    bytes.truncate(done);
    return bytes;
}

size_t readVectorsAt(const OpenFile& file, std::vector<iovec>& vectors, qint64 offset)
{
    size_t total = 0;
    size_t first = 0;
    while (first < vectors.size()) {
        const int count = int(std::min(vectors.size() - first, maxIoVectors()));
        const ssize_t got = ::preadv(file.fd(), &vectors[first], count, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += size_t(got);
        offset += got;
        stepOverDone(vectors, first, size_t(got));
    }
    return total;
}

Result<QByteArray> readOpenFile(const OpenFile& file, const QString& path)
{
    Result<QByteArray> bytes = readFileBytes(file, 0, file.size(), path);
    if (bytes && bytes->size() < file.size())
        return fail(QStringLiteral("Cannot read %1: the file became shorter while it was read (%2 of %3 bytes).")
                        .arg(path)
                        .arg(bytes->size())
                        .arg(file.size()));
    return bytes;
}

Result<QByteArray> readRegularFile(const QString& path)
{
    const Result<OpenFile> file = openRegularFile(path);
    if (!file)
        return fail(file.error());
    return readOpenFile(*file, path);
}

Outcome makeFolders(const QString& path, unsigned mode)
{
    auto failure = [&](const QString& reason) {
        return fail(QStringLiteral("Cannot create folder %1: %2.").arg(path, reason));
    };
    if (path.isEmpty())
        return failure(QStringLiteral("no folder name given"));
    const QByteArray full = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    for (qsizetype end = 1; end <= full.size(); ++end) {
        if (end < full.size() && full.at(end) != '/')
            continue;
        const QByteArray prefix = full.left(end);
        if (::mkdir(prefix.constData(), mode_t(mode)) != 0 && errno != EEXIST)
            return failure(systemReason(errno));
        struct stat info {};
        if (::stat(prefix.constData(), &info) != 0)
            return failure(systemReason(errno));
        if (!S_ISDIR(info.st_mode))
            return failure(QFile::decodeName(prefix) + QStringLiteral(" is not a folder"));
    }
    return {};
}

namespace {

// What stands at the destination before a write.
struct Destination {
    QByteArray target;
    struct stat existing {};
    bool exists = false;
};

// Why the writer would refuse `path` whatever the data, or empty.
QString destinationRefusal(const QString& path, FileAccess access, Destination& destination)
{
    destination.target = QFile::encodeName(path);
    destination.exists = ::lstat(destination.target.constData(), &destination.existing) == 0;
    const mode_t mode = destination.existing.st_mode;
    // What the user named is what is written: a link would put the file
    // somewhere else, so it is refused for the real path. In the private
    // folders a link is only ever something in the way, replaced itself.
    if (destination.exists && S_ISLNK(mode)) {
        if (access == FileAccess::Shared)
            return QStringLiteral("it is a symbolic link; give the path of the file itself");
        destination.exists = false;
    }
    if (destination.exists && !S_ISREG(mode))
        return fileKindReason(mode);
    // A protected file is kept even from a user (root) whom the system would
    // let replace it.
    if (destination.exists && access == FileAccess::Shared
        && ((mode & 0222) == 0 || ::faccessat(AT_FDCWD, destination.target.constData(), W_OK, AT_EACCESS) != 0))
        return QStringLiteral("it is write-protected");
    return {};
}

} // namespace

Outcome checkWritable(const QString& path, FileAccess access)
{
    Destination destination;
    QString reason = destinationRefusal(path, access, destination);
    if (reason.isEmpty()) {
        // The folder is asked the way the write will ask it, so a missing,
        // read-only or full-of-inodes folder is named now, not after the work.
        TemporaryGuard guard;
        Temporary temporary = createTemporary(destination.target, 0600);
        if (temporary.fd < 0)
            reason = systemReason(errno);
        else {
            if (!temporary.name.isEmpty()) {
                guard.watch(temporary.name);
                ::unlink(temporary.name.constData());
            }
            ::close(temporary.fd);
        }
    }
    if (!reason.isEmpty())
        return fail(cannotWriteText(path, reason));
    return {};
}

ByteSink appendingTo(QByteArray& bytes)
{
    return [&bytes](const char* data, qsizetype size) {
        bytes.append(data, size);
        return true;
    };
}

QString cannotWriteText(const QString& path, const QString& reason)
{
    return path.isEmpty() ? reason : QStringLiteral("Cannot write %1: %2").arg(path, reason);
}

namespace {

bool writeAllAt(int fd, qint64 offset, const char* data, qsizetype size, int& errorNumber)
{
    return writeEvery(data, size, errorNumber, [&](const char* from, size_t count) {
        const ssize_t written = ::pwrite(fd, from, count, off_t(offset));
        offset += std::max<ssize_t>(written, 0);
        return written;
    });
}

// The one way files are written: `fill` writes the temporary file `fd`,
// setting `errorNumber` when the system refuses, and returns false to
// abandon it.
Outcome writeAtomically(const QString& path, const std::function<bool(int fd, int& errorNumber)>& fill,
                        FileAccess access)
{
    auto failure = [&](const QString& reason) -> Outcome {
        return ostrel::fail(cannotWriteText(path, reason));
    };
    Destination destination;
    if (const QString refusal = destinationRefusal(path, access, destination); !refusal.isEmpty())
        return failure(refusal);
    const QByteArray& target = destination.target;
    const struct stat& existing = destination.existing;
    const bool exists = destination.exists;

    TemporaryGuard guard;
    Temporary temporary = createTemporary(target, access == FileAccess::Private ? 0600 : 0666);
    FileDescriptor fd(temporary.fd);
    if (fd.get() < 0)
        return failure(systemReason(errno));
    guard.watch(temporary.name);
    auto abandon = [&](int errorNumber) {
        if (!temporary.name.isEmpty())
            ::unlink(temporary.name.constData());
        return failure(systemReason(errorNumber));
    };
    if (access == FileAccess::Shared && exists)
        ::fchmod(fd.get(), existing.st_mode & 07777);

    int errorNumber = 0;
    if (!fill(fd.get(), errorNumber) || errorNumber != 0) {
        if (errorNumber == 0) {
            if (!temporary.name.isEmpty())
                ::unlink(temporary.name.constData());
            return failure(QStringLiteral("writing was abandoned"));
        }
        return abandon(errorNumber);
    }
    // A full disk may only show when the data reach it.
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        return abandon(errno);
    if (temporary.name.isEmpty()) {
        // Complete and on disk: a new file takes its name in one step, an
        // existing one is replaced through a hidden name.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.get());
        if (!exists && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0) {
            fd.close(); // the data are on disk already
            return {};
        }
        if (!nameTemporary(temporary, target))
            return abandon(errno);
        guard.watch(temporary.name);
    }
    if (!fd.close())
        return abandon(errno);
    if (::rename(temporary.name.constData(), target.constData()) != 0)
        return abandon(errno);
    return {};
}

} // namespace

Outcome writeFileAtomicallyWith(const QString& path, const std::function<bool(const ByteSink&)>& produce,
                                FileAccess access)
{
    return writeAtomically(
        path,
        [&](int fd, int& errorNumber) {
            GatheringWriter writer(fd, errorNumber);
            const ByteSink sink([&](const char* data, qsizetype size) { return writer.copy(data, size); },
                                [&](const char* data, qsizetype size) { return writer.borrow(data, size); });
            return produce(sink) && writer.flush();
        },
        access);
}

Outcome writeFileAtomicallyPlaced(const QString& path, const std::function<bool(const PlacedSink&)>& produce,
                                  FileAccess access)
{
    return writeAtomically(
        path,
        [&](int fd, int& errorNumber) {
            const PlacedSink sink = [&](qint64 offset, const char* data, qsizetype size) {
                return errorNumber == 0 && writeAllAt(fd, offset, data, size, errorNumber);
            };
            return produce(sink);
        },
        access);
}

Outcome writeFileAtomically(const QString& path, const QByteArray& bytes, FileAccess access)
{
    return writeFileAtomicallyWith(
        path, [&](const ByteSink& sink) { return sink(bytes.constData(), bytes.size()); }, access);
}

} // namespace ostrel
