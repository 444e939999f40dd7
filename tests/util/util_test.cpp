// SPDX-License-Identifier: Apache-2.0
#include "support/Posix.h"
#include "util/ByteReader.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/StandardUnit.h"
#include "util/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostrel;

TEST(ByteReader, ReadsLittleAndBigEndianAndFlagsTruncation)
{
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_EQ(reader.u16le(), 0x0201);
    EXPECT_EQ(reader.u16be(), 0x0304);
    EXPECT_FALSE(reader.truncated());
    EXPECT_EQ(reader.u32le(), 0u); // only one byte left
    EXPECT_TRUE(reader.truncated());
    EXPECT_EQ(reader.remaining(), 0u);
}

TEST(ByteReader, BytesAndSeekStayInside)
{
    const uint8_t bytes[] = {9, 8, 7};
    ByteReader reader(bytes, sizeof bytes);
    EXPECT_TRUE(reader.seek(3));
    EXPECT_FALSE(reader.seek(4));
    ByteReader second(bytes, sizeof bytes);
    EXPECT_EQ(second.bytes(2).size(), 2u);
    EXPECT_TRUE(second.bytes(2).empty());
    EXPECT_TRUE(second.truncated());
    ByteReader third(bytes, sizeof bytes);
    third.skip(2);
    EXPECT_EQ(third.u8OrZero(), 7);
    EXPECT_EQ(third.u8OrZero(), 0);
    EXPECT_FALSE(third.truncated());
}

TEST(PixelLimit, RefusesOverflowAndOversize)
{
    EXPECT_TRUE(pictureSizeAllowed(1, 1));
    EXPECT_TRUE(pictureSizeAllowed(16384, 16384));
    EXPECT_FALSE(pictureSizeAllowed(0, 5));
    EXPECT_FALSE(pictureSizeAllowed(3000000, 2000000));
    EXPECT_FALSE(pictureSizeAllowed(int64_t(1) << 40, int64_t(1) << 40));
    EXPECT_FALSE(pictureSizeAllowed(2147483647, 2147483647));
    EXPECT_TRUE(allocatePicture(3000000, 2000000).isNull());
    QImage picture = allocatePicture(7, 3);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
}

TEST(Text, GroupsDigitsWithCommas)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {9500, "9,500"}, {-87, "-87"}, {1234567, "1,234,567"}, {-1000, "-1,000"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(groupDigits(value), QString::fromLatin1(text)) << value;
}

TEST(Text, RoundsHalfToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(scaleByZoom(32, 150), 48);
    EXPECT_EQ(scaleByZoom(5, 150), 8); // 7.5 rounds to 8
    EXPECT_EQ(scaleByZoom(3, 150), 4); // 4.5 rounds to 4
}

TEST(Text, AnsiBytesFallBackToUtf8)
{
    EXPECT_EQ(toAnsiBytes(QStringLiteral("abc")), QByteArray("abc"));
    EXPECT_EQ(toAnsiBytes(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC")), QByteArray("caf\xE9 \x80"));
    const QString greek = QString::fromUtf8("\xCE\xB1\xCE\xB2");
    EXPECT_EQ(toAnsiBytes(greek), greek.toUtf8());
    EXPECT_EQ(fromStoredBytes(QByteArray("caf\xE9")), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(fromStoredBytes(greek.toUtf8()), greek);
    EXPECT_EQ(fromStoredBytes(QByteArray("\x80")), QString(QChar(0x20AC)));
}

TEST(Text, ExpandsTabsToMultiplesOfEight)
{
    EXPECT_EQ(expandTabs(QStringLiteral("a\tb")), QStringLiteral("a       b"));
    EXPECT_EQ(expandTabs(QStringLiteral("\t")), QString(8, QLatin1Char(' ')));
    EXPECT_EQ(expandTabs(QStringLiteral("12345678\tx")), QStringLiteral("12345678        x"));
}

TEST(Text, ControlCharactersBecomeVisibleEscapes)
{
    struct Case {
        QString text;
        const char* shown;
    };
    const Case cases[] = {
        {QStringLiteral("plain name.txt"), "plain name.txt"},
        {QStringLiteral("a\x1b]0;title\x07z"), "a\\x1b]0;title\\x07z"},
        {QStringLiteral("line\r\nfake\tline"), "line\\r\\nfake\\tline"},
        {QString(QChar(0x9B)) + QStringLiteral("2J") + QChar(0x7F), "\\x9b2J\\x7f"},
        {QString(QChar(0x2028)), "\\u2028"},
        {QStringLiteral("invoice") + QChar(0x202E) + QStringLiteral("fdp.exe"), "invoice\\u202efdp.exe"},
        {QString(QChar(0x2066)) + QChar(0x2069) + QChar(0x200E) + QChar(0x200F) + QChar(0x061C),
         "\\u2066\\u2069\\u200e\\u200f\\u061c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(visibleControls(c.text), QLatin1String(c.shown)) << c.shown;
    // A name from a file or picture also has its backslashes doubled, so the
    // text "\x1b" and the control character never print alike.
    EXPECT_EQ(escapedName(QStringLiteral("a\\x1b")), QStringLiteral("a\\\\x1b"));
    EXPECT_EQ(escapedName(QStringLiteral("a\x1b")), QStringLiteral("a\\x1b"));
    EXPECT_EQ(escapedName(QStringLiteral("C:\\dir\n")), QStringLiteral("C:\\\\dir\\n"));
    // Letters beyond ASCII are not controls and stay as they are.
    const QString accented = QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(visibleControls(accented), accented);
}

namespace {

using ostrel::testing::modeOf;

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

// A failed write names the file and the system's reason, and leaves what
// was there and no temporary file behind.
TEST(FileIO, FailedWritesSayWhyAndLeaveNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileAtomically(file, "old"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("folder"))));
    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {dir.filePath(QStringLiteral("missing/x")), "No such file or directory"},
        {dir.filePath(QStringLiteral("folder")), "it is a folder"},
        {file + QStringLiteral("/x"), "Not a directory"},
        {QStringLiteral("/dev/null"), "it is a device, not a file"},
    };
    for (const Case& c : cases) {
        const Outcome written = writeFileAtomically(c.path, "new");
        EXPECT_FALSE(written) << c.reason;
        EXPECT_EQ(written.error(), QStringLiteral("Cannot write %1: %2").arg(c.path, QLatin1String(c.reason)));
    }
    const Outcome abandoned =
        writeFileAtomicallyWith(file, [](const ByteSink& sink) { return sink("half", 4) && false; });
    EXPECT_FALSE(abandoned);
    EXPECT_EQ(abandoned.error(), QStringLiteral("Cannot write %1: writing was abandoned").arg(file));
    EXPECT_EQ(contentsOf(file), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("file"), QStringLiteral("folder")}));
}

// Private files are their owner's alone; shared ones keep the permissions
// of the file they replace, and a link to a file is saved through.
TEST(FileIO, WrittenFilesGetTheirPermissions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString secret = dir.filePath(QStringLiteral("secret"));
    ASSERT_TRUE(writeFileAtomically(secret, "s", FileAccess::Private));
    EXPECT_EQ(modeOf(secret), 0600u);

    const QString shared = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(writeFileAtomically(shared, "1"));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(shared, "2"));
    EXPECT_EQ(modeOf(shared), 0640u);
    EXPECT_EQ(contentsOf(shared), QByteArray("2"));

    // In the private folders a link in the way is replaced, never followed.
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(shared, link));
    ASSERT_TRUE(writeFileAtomically(link, "3", FileAccess::Private));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contentsOf(link), QByteArray("3"));
    EXPECT_EQ(contentsOf(shared), QByteArray("2"));
}

// Only regular files the user may write are replaced: whatever else stands
// at the destination is named and kept as it is.
TEST(FileIO, OnlyWritableRegularFilesAreReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(writeFileAtomically(target, "kept"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(target, link));
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dangling));
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(writeFileAtomically(locked, "locked"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    const QString socketPath = dir.filePath(QStringLiteral("socket"));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(socketName.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {fifo, "it is a named pipe (FIFO), not a file"},
        {socketPath, "it is a socket, not a file"},
        {QStringLiteral("/dev/null"), "it is a device, not a file"},
        {link, "it is a symbolic link; give the path of the file itself"},
        {dangling, "it is a symbolic link; give the path of the file itself"},
        {locked, "it is write-protected"},
    };
    for (const Case& c : cases) {
        const Outcome written = writeFileAtomically(c.path, "new");
        EXPECT_FALSE(written) << c.reason;
        EXPECT_EQ(written.error(), QStringLiteral("Cannot write %1: %2").arg(c.path, QLatin1String(c.reason)));
    }
    ::close(socket);
    EXPECT_EQ(contentsOf(target), QByteArray("kept"));
    EXPECT_EQ(contentsOf(locked), QByteArray("locked"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// On a full disk the write fails with the system's reason, the file that was
// there keeps every byte, and nothing else is left in the folder.
TEST(FileIO, FullDiskKeepsTheOldFile)
{
    const ostrel::testing::SmallFileSystem disk("200k");
    if (!disk.whyNot().isEmpty())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString target = disk.filePath(QStringLiteral("report.pdf"));
    const QByteArray old(7380, 'o');
    ASSERT_TRUE(writeFileAtomically(target, old));
    disk.fill();
    const Outcome written = writeFileAtomically(target, QByteArray(64 * 1024, 'n'));
    EXPECT_FALSE(written);
    EXPECT_EQ(written.error(), QStringLiteral("Cannot write %1: No space left on device").arg(target));
    EXPECT_EQ(contentsOf(target), old);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("filler"), QStringLiteral("report.pdf")}));
}

// A save ended by a signal leaves the file that was there and nothing else,
// and the program still ends by that signal; a handler the program had
// before the save is back after it.
TEST(FileIO, SignalsDuringASaveLeaveNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("picture.bmp"));
    ASSERT_TRUE(writeFileAtomically(target, "old"));
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signalNumber);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            (void)writeFileAtomicallyWith(target, [&](const ByteSink& sink) {
                const QByteArray half(1 << 20, 'h');
                sink(half.constData(), half.size());
                (void)!::write(ready[1], "w", 1); // half written: the parent may end us now
                for (;;)
                    ::pause();
                return true;
            });
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(::kill(child, signalNumber), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_EQ(contentsOf(target), QByteArray("old"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({QStringLiteral("picture.bmp")}));
    }

    static volatile sig_atomic_t caught = 0;
    struct sigaction mine {};
    mine.sa_handler = [](int) { caught = 1; };
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGHUP, &mine, &before), 0);
    ASSERT_TRUE(writeFileAtomically(target, "new"));
    ::raise(SIGHUP);
    EXPECT_EQ(caught, 1);
    ::sigaction(SIGHUP, &before, nullptr);
}

// Write calls this process has made so far, or -1 where the system does not say.
long long writeCallsSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("syscw:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// A writer may hand over a file one row at a time, its rows borrowed where
// they lie and its small pieces copied: the file holds every byte in order,
// and it reaches the system in a few large writes, not one per piece.
TEST(FileIO, ManySmallChunksArriveInOrderInFewWrites)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("rows.bmp"));
    // Rows of one picture-like block (so neighbours may join), in sizes
    // around the writer's 1 MiB block, with copies between them.
    QByteArray picture(4000 * 301, Qt::Uninitialized);
    for (qsizetype i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 131 + i / 301);
    const QByteArray large(3 << 20, 'L'), block(1 << 20, 'B'), overBlock((1 << 20) + 3, 'O');
    QByteArray expected;
    const auto produce = [&](const ByteSink& sink) {
        bool ok = true;
        for (int row = 3999; row >= 0 && ok; --row) {
            const char* at = picture.constData() + qsizetype(row) * 301;
            ok = row % 3 == 0 ? sink(at, 301) : sink.borrow(at, 301);
            const char padding[3] = {char(row), 0, 0};
            ok = ok && sink(padding, row % 4);
        }
        ok = ok && sink(block.constData(), block.size()) && sink.borrow(overBlock.constData(), overBlock.size());
        ok = ok && sink("", 0) && sink(large.constData(), large.size()) && sink.borrow("x", 1);
        for (int i = 0; i < 2000 && ok; ++i)
            ok = sink("seven!!", 7);
        return ok;
    };
    for (int row = 3999; row >= 0; --row) {
        expected.append(picture.constData() + qsizetype(row) * 301, 301);
        const char padding[3] = {char(row), 0, 0};
        expected.append(padding, row % 4);
    }
    expected += block + overBlock + large + "x";
    for (int i = 0; i < 2000; ++i)
        expected += "seven!!";

    const long long before = writeCallsSoFar();
    const Outcome written = writeFileAtomicallyWith(target, produce);
    ASSERT_TRUE(written) << written.error().toStdString();
    const long long after = writeCallsSoFar();
    EXPECT_TRUE(contentsOf(target) == expected);
    if (before < 0 || after < 0)
        GTEST_SKIP() << "the system does not count write calls";
    EXPECT_LT(after - before, 64) << "writes for about 6 MB in 14000 pieces";
}

// Reading a picture names what is not a file before opening it (a FIFO
// would block), and reads a regular file whole.
TEST(FileIO, ReadsOnlyRegularFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileAtomically(file, QByteArray("bytes\0more", 10)));
    struct Case {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {dir.path(), "it is a folder"},
        {fifo, "it is a named pipe (FIFO), not a file"},
        {QStringLiteral("/dev/null"), "it is a device, not a file"},
        {dir.filePath(QStringLiteral("missing")), "no such file"},
    };
    for (const Case& c : cases) {
        const Result<QByteArray> read = readRegularFile(c.path);
        EXPECT_FALSE(read) << c.reason;
        EXPECT_EQ(read.error(), QStringLiteral("Cannot read %1: %2.").arg(c.path, QLatin1String(c.reason)));
    }
    const Result<QByteArray> read = readRegularFile(file);
    ASSERT_TRUE(read) << read.error().toStdString();
    EXPECT_EQ(*read, QByteArray("bytes\0more", 10));
    EXPECT_EQ(read.error(), QString());
}

TEST(FileIO, MakesFoldersWithTheirModeOrSaysWhyNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString deep = dir.filePath(QStringLiteral("a/b/c"));
    ASSERT_TRUE(makeFolders(deep, 0700));
    EXPECT_EQ(modeOf(deep), 0700u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("a"))), 0700u);
    EXPECT_TRUE(makeFolders(deep, 0700));

    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileAtomically(file, "f"));
    const Outcome made = makeFolders(file + QStringLiteral("/below"), 0700);
    EXPECT_FALSE(made);
    EXPECT_EQ(made.error(), QStringLiteral("Cannot create folder %1/below: %1 is not a folder.").arg(file));
}
