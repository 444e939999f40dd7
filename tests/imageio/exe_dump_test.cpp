// SPDX-License-Identifier: Apache-2.0
// Executables drawn as their header dump: the exact lines for an MS-DOS
// program with relocations and for a Windows program, the MS-DOS / Windows
// decision, and the sample executables.
#include "imageio/text.h"
#include "small_readers_support.h"
#include "text_printing.h"
#include "util/Fonts.h"
#include "imageio/MSDOSUnit.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHash>
#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

QString line(const char* name, const char* value)
{
    return reportValueLine(QString::fromUtf8(name), QString::fromUtf8(value));
}

ByteView view(const QByteArray& bytes)
{
    return ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

// The 28-byte MS-DOS header, fields in file order.
Bytes exeHeader(std::initializer_list<unsigned> fields)
{
    Bytes file;
    for (unsigned field : fields)
        file.u16le(field);
    return file;
}

// An MS-DOS program of 104 bytes: two padding bytes, two relocations, a
// 64-byte header and 40 bytes of code.
QByteArray dosProgramWithRelocations()
{
    Bytes file = exeHeader({0x5A4D, 104, 1, 2, 4, 0x10, 0xFFFF, 2, 0x100, 0, 3, 1, 0x1E, 0});
    file.bytes({0xAA, 0xBB});
    file.u16le(0x0005).u16le(0x0000).u16le(0x0010).u16le(0x0001);
    file.padTo(64);
    for (unsigned i = 0; i < 40; ++i)
        file.u8(i);
    return file;
}

// A Windows program: relocation table at 64, link at 60 pointing to "PE" at 128.
QByteArray windowsProgram(const char* signature = "PE")
{
    Bytes file = exeHeader({0x5A4D, 0x90, 1, 0, 4, 0, 0xFFFF, 0, 0xB8, 0, 0, 0, 0x40, 0});
    for (unsigned i = 28; i < 60; ++i)
        file.u8(i);
    file.u32le(0x80);
    for (unsigned i = 64; i < 128; ++i)
        file.u8(0xC0 ^ i);
    file.text(signature).u16le(0);
    return file;
}

TEST(ExeDump, MsDosProgramWithRelocations)
{
    const QByteArray file = dosProgramWithRelocations();
    const MsdosDump dump = dumpExeFile(QStringLiteral("dir/prog.exe"), true, view(file));
    const QStringList expected = {
        line("EXE Filename", "dir/prog.exe"),
        line(".EXE is", "MS-DOS"),
        line("Signature (should be 5A4D)", "5A4D"),
        line("Bytes in Last Block", "0068"),
        line("Blocks in File (× 512 bytes)", "0001 = 104 bytes in file"),
        line("Number of Relocations", "0002 = 2"),
        line("Header Paragraphs (× 16 bytes)", "0004 = 64 bytes"),
        line("Min Extra Paragraphs", "0010 = 256 bytes"),
        line("Max Extra Paragraphs", "FFFF"),
        line("Register SS Initial Value", "0002 × 16 = Offset 32"),
        line("Register SP Initial Value", "0100"),
        line("CheckSum (usually zero)", "0000"),
        line("Register IP Initial Value", "0003"),
        line("Register CS Initial Value", "0001 × 16 = Offset 16"),
        line("Relocation Table Offset", "001E = 30"),
        line("Overlay Number (usually zero)", "0000"),
        line("Padding Bytes 001C", "AA BB "),
        line("MS-DOS Relocation 001E", "0000:0005"),
        line("MS-DOS Relocation 0022", "0001:0010"),
        line("MS-DOS Executable 0000", "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F "),
        line("MS-DOS Executable 0010", "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F "),
        line("MS-DOS Executable 0020", "20 21 22 23 24 25 26 27 "),
        QStringLiteral("EXE End."),
    };
    EXPECT_EQ(dump.lines, expected);
    EXPECT_FALSE(dump.truncated);
    // The name is padded with minus signs to 35 characters.
    EXPECT_EQ(dump.lines.at(5), QStringLiteral("Number of Relocations ------------- 0002 = 2"));
}

TEST(ExeDump, WindowsProgram)
{
    const QByteArray file = windowsProgram();
    const MsdosDump dump = dumpExeFile(QStringLiteral("win.exe"), true, view(file));
    ASSERT_GT(dump.lines.size(), 16);
    EXPECT_EQ(dump.lines.at(1), line(".EXE is", "WINDOWS (Signature=PE)"));
    const QStringList tail = {
        line("Padding Bytes 001C", "1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 29 2A 2B "),
        line("Padding Bytes 002C", "2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A 3B "),
        line("Windows Link 003C", "80 00 00 00 "),
        line("MS-DOS Stub 0000", "80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F "),
        line("MS-DOS Stub 0010", "90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F "),
        line("MS-DOS Stub 0020", "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF "),
        line("MS-DOS Stub 0030", "B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF "),
        line("Windows Header starts at offset", "0080 = 128"),
        QStringLiteral("EXE End."),
    };
    EXPECT_EQ(dump.lines.mid(16), tail);
}

// Which programs count as Windows programs, including links at the edge of
// the 10240 bytes looked at.
TEST(ExeDump, TellsWindowsFromMsDos)
{
    auto withLink = [](unsigned relocationOffset, unsigned link, qsizetype size, qsizetype at, const char* text) {
        Bytes file = exeHeader({0x5A4D, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, relocationOffset, 0});
        file.padTo(60).u16le(link).padTo(size);
        for (qsizetype i = 0; text[i] && at + i < size; ++i)
            file.put(at + i, uint8_t(text[i]));
        return QByteArray(file);
    };
    struct Case {
        const char* what;
        QByteArray file;
        const char* kind;
    };
    const Case cases[] = {
        {"PE with a table at 64", withLink(64, 0x80, 0x100, 0x80, "PE"), "WINDOWS (Signature=PE)"},
        {"NE with a table at 64", windowsProgram("NE"), "WINDOWS (Signature=NE)"},
        {"NE with a table at 28", withLink(28, 0x80, 0x100, 0x80, "NE\x01"), "MS-DOS"},
        {"full PE signature with a table at 0", withLink(0, 0x80, 0x100, 0x80, "PE"), "WINDOWS (Signature=PE)"},
        {"PE followed by other bytes, table at 0", withLink(0, 0x80, 0x100, 0x80, "PEXY"), "MS-DOS"},
        {"link inside the header", withLink(64, 4, 0x100, 4, "PE"), "MS-DOS"},
        {"link past the end of a short file", withLink(64, 8653, 64, 0, ""), "MS-DOS"},
        {"link at the last byte looked at", withLink(64, 10239, 10241, 10239, "NE"), "MS-DOS"},
        {"link past the bytes looked at", withLink(64, 10240, 10300, 10240, "PE"), "MS-DOS"},
        {"no signature", withLink(64, 0x80, 0x100, 0x80, "ZZ"), "MS-DOS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MsdosDump dump = dumpExeFile(QStringLiteral("x.exe"), true, view(c.file));
        EXPECT_EQ(dump.lines.value(1), line(".EXE is", c.kind));
        EXPECT_EQ(dump.lines.back(), QStringLiteral("EXE End."));
    }
}

// A last block of 0 bytes means a full block: its bytes are in the file and in the dump.
TEST(ExeDump, FullLastBlockCountsWhole)
{
    Bytes file = exeHeader({0x5A4D, 0, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0x1C, 0});
    file.padTo(1024, 0x5A);
    const MsdosDump dump = dumpExeFile(QStringLiteral("full.exe"), true, view(file));
    EXPECT_EQ(dump.lines.at(4), line("Blocks in File (× 512 bytes)", "0002 = 1024 bytes in file"));
    // 1024 - 32 header bytes = 992 bytes, 62 lines, the last at offset 03D0.
    EXPECT_EQ(dump.lines.at(dump.lines.size() - 2).left(22), QStringLiteral("MS-DOS Executable 03D0"));
}

// Only the first 10240 bytes are looked at, however large the program says it is.
TEST(ExeDump, LooksAtTheFirst10240BytesOnly)
{
    Bytes file = exeHeader({0x5A4D, 0, 0xFFFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1C, 0});
    file.padTo(40000, 0x33);
    const MsdosDump dump = dumpExeFile(QStringLiteral("huge.exe"), true, view(file));
    EXPECT_EQ(dump.lines.at(dump.lines.size() - 2),
              line("MS-DOS Executable 27F0", "33 33 33 33 33 33 33 33 33 33 33 33 33 33 33 33 "));
}

TEST(ExeDump, ShortAndMissingFiles)
{
    const MsdosDump missing = dumpExeFile(QStringLiteral("gone.exe"), false, {});
    EXPECT_EQ(missing.lines, QStringList({line("EXE Filename", "gone.exe"), QStringLiteral("File does not exist"),
                                          QStringLiteral("EXE End.")}));

    const QByteArray stub("MZ\x10\x00", 4);
    const MsdosDump shortFile = dumpExeFile(QStringLiteral("short.exe"), true, view(stub));
    EXPECT_TRUE(shortFile.truncated);
    EXPECT_EQ(shortFile.lines.at(3), line("Bytes in Last Block", "0010"));

    const LoadResult loaded = loadBytes(QStringLiteral("short.exe"), stub);
    EXPECT_EQ(loaded.stop, LoadStop::Truncated);
    EXPECT_EQ(loaded.report, shortFile.lines);
}

// The loader draws the dump: one line height per line plus the margins.
TEST(ExeDump, LoaderDrawsTheDump)
{
    const QByteArray file = dosProgramWithRelocations();
    const LoadResult result = loadBytes(QStringLiteral("prog.exe"), file);
    EXPECT_EQ(result.stop, LoadStop::Complete);
    EXPECT_EQ(result.report, dumpExeFile(QStringLiteral("prog.exe"), true, view(file)).lines);
    const int lineHeight = QFontMetrics(courierBold10()).height();
    EXPECT_EQ(result.picture.height(), result.report.size() * lineHeight + 10);
    EXPECT_EQ(result.picture.format(), kPictureFormat);
}

TEST(ExeDump, SampleExecutables)
{
    OSTREL_CORPUS_OR_SKIP(files, "exe", QStringList({QStringLiteral("*.exe")}));
    // The kind of each sample as its header says it (see the folder's index).
    const QHash<QString, QString> kinds = {
        {"mini.exe", "WINDOWS (Signature=PE)"},    {"pe32.exe", "WINDOWS (Signature=PE)"},
        {"pe64.exe", "WINDOWS (Signature=PE)"},    {"compiled.exe", "WINDOWS (Signature=PE)"},
        {"exe2pe.exe", "WINDOWS (Signature=NE)"},  {"footer.exe", "WINDOWS (Signature=PE)"},
        {"normal.exe", "WINDOWS (Signature=PE)"},  {"normal64.exe", "WINDOWS (Signature=PE)"},
        {"dosZMXP.exe", "MS-DOS"},                 {"tiny.exe", "MS-DOS"},
        {"tinyW7.exe", "MS-DOS"},                  {"tinyXP.exe", "MS-DOS"},
    };
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "EXE");
        EXPECT_EQ(result.report.front(), reportValueLine(QStringLiteral("EXE Filename"), path));
        const QString name = QFileInfo(path).fileName();
        if (kinds.contains(name)) {
            EXPECT_EQ(result.report.value(1), reportValueLine(QStringLiteral(".EXE is"), kinds.value(name)));
        }
        EXPECT_LE(result.picture.width(), 4096);
        EXPECT_LE(result.picture.height(), 4096);
    }
}

} // namespace
} // namespace ostrel::testing
