// SPDX-License-Identifier: Apache-2.0
#pragma once
// Whole-file reads, folder creation and atomic writes, each failure reported
// with the system's own reason. Writers never leave a half-written file in
// place of the one that was there.
#include "util/Result.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>
#include <sys/uio.h>
#include <type_traits>

namespace ostrel {

// The file's bytes, or why it does not exist or cannot be read. Pipes are
// read to their end, so a password can come from a process substitution.
Result<QByteArray> readWholeFile(const QString& path);

// Whether `path` can be tried as a regular file; a refusal says "Cannot
// read FILE: REASON." ("no such file", "it is a folder", "it is a named pipe
// (FIFO), not a file", ...). Opening a FIFO would wait for a writer, so it is
// refused before opening.
Outcome checkRegularFile(const QString& path);

// A regular file open for reading, closed with the object. Large files are
// read straight into where their data are needed (a picture's rows), once.
class OpenFile {
public:
    OpenFile(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    OpenFile(OpenFile&& other) noexcept : m_fd(other.m_fd), m_size(other.m_size) { other.m_fd = -1; }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile& operator=(OpenFile&&) = delete;
    ~OpenFile();
    int fd() const { return m_fd; }
    qint64 size() const { return m_size; } // when it was opened
private:
    int m_fd;
    qint64 m_size;
};
// Opens a regular file for reading, or says why (as readRegularFile does)
// it is not one or cannot be opened.
Result<OpenFile> openRegularFile(const QString& path);
// Up to `size` bytes from `offset`, fewer where the file ends (it may have
// been shortened since it was opened), or why reading failed.
Result<QByteArray> readFileBytes(const OpenFile& file, qint64 offset, qint64 size, const QString& path);
// Reads into `vectors` from `offset` on, as far as the file goes, in as few
// calls as the system allows; the bytes read. The vectors are used up.
size_t readVectorsAt(const OpenFile& file, std::vector<iovec>& vectors, qint64 offset);
// The whole of an opened file, which must not have become shorter.
Result<QByteArray> readOpenFile(const OpenFile& file, const QString& path);
// The bytes of a regular file, read into memory in one go. A file that is
// not regular, cannot be read, or changes size while it is read fails with
// a message that names the file.
Result<QByteArray> readRegularFile(const QString& path);

// Creates `path` and its missing parents, each new folder with `mode`.
// A failure names the folder that could not be made and the reason.
Outcome makeFolders(const QString& path, unsigned mode);

// Who may read a written file: Shared keeps an existing file's permissions
// (a new one gets the usual ones), Private makes it readable by its owner alone.
enum class FileAccess { Shared, Private };

// Writes `bytes` to `path` atomically: every program's output goes through
// here. The data go into an unnamed temporary file in the destination's
// folder (a hidden sibling where the file system has none), are flushed to
// disk, and only then take the destination's name, so a full disk, a crash or
// a signal never leaves a half-written file, and Ctrl-C, SIGTERM or SIGHUP
// during a write leave no temporary file either. Only a regular file the user
// may write is replaced: a folder, pipe, device, socket, symbolic link (for
// Shared files; in private folders a link is replaced itself) or
// write-protected file is refused. A failure leaves any existing file
// untouched and says "Cannot write FILE: REASON".
Outcome writeFileAtomically(const QString& path, const QByteArray& bytes, FileAccess access = FileAccess::Shared);

// Whether a write to `path` would be accepted, checked before any data are
// written; a refusal says "Cannot write FILE: REASON" (the destination is a
// folder or protected, its folder is missing or read-only). Long work checks
// this first so that it is not thrown away at the end.
Outcome checkWritable(const QString& path, FileAccess access = FileAccess::Shared);
// Where a writer's bytes go, in order. A call hands over bytes that may
// change as soon as it returns (a block buffer about to be refilled);
// `borrow` hands over bytes that stay as they are until the producer
// returns (a picture's rows), which a file writer passes to the system from
// where they lie, many to a call, without copying them first. Both return
// false once writing has failed.
class ByteSink {
public:
    using Write = std::function<bool(const char* data, qsizetype size)>;
    template <class F>
        requires(std::is_invocable_r_v<bool, F&, const char*, qsizetype> && !std::is_same_v<F, ByteSink>)
    ByteSink(F write) : m_write(std::move(write))
    {
    }
    ByteSink(Write write, Write borrow) : m_write(std::move(write)), m_borrow(std::move(borrow)) {}

    bool operator()(const char* data, qsizetype size) const { return m_write(data, size); }
    bool borrow(const char* data, qsizetype size) const { return m_borrow ? m_borrow(data, size) : m_write(data, size); }

private:
    Write m_write;
    Write m_borrow; // empty: borrowed bytes are taken like any others
};

// Streams into `path` atomically: `produce` is called with a sink that takes
// chunks of bytes; it returns false to abandon the file. Small chunks are
// gathered into large writes, so a producer may hand over one row at a time.
Outcome writeFileAtomicallyWith(const QString& path, const std::function<bool(const ByteSink&)>& produce,
                                FileAccess access = FileAccess::Shared);
// The same with each chunk placed at an offset of its own, for files made in
// another order than they are stored in; bytes never written read as zeros.
using PlacedSink = std::function<bool(qint64 offset, const char* data, qsizetype size)>;
Outcome writeFileAtomicallyPlaced(const QString& path, const std::function<bool(const PlacedSink&)>& produce,
                                  FileAccess access = FileAccess::Shared);

// A sink that appends every chunk to `bytes`, for files made in memory.
ByteSink appendingTo(QByteArray& bytes);

// "Cannot write F: reason", as every refused or failed write is reported;
// the reason alone for a file made in memory, which has no name.
QString cannotWriteText(const QString& path, const QString& reason);

// The system's text for an errno value ("No space left on device").
QString systemReason(int errorNumber);

} // namespace ostrel
