// SPDX-License-Identifier: Apache-2.0
// Object files drawn as their OMF record dump: the exact lines, the checksum
// column, records cut short, and the record names.
#include "small_readers_support.h"
#include "text_printing.h"
#include "imageio/MSDOSUnit.h"

#include <gtest/gtest.h>

namespace ostrel::testing {
namespace {

QString line(const QString& name, const QString& value)
{
    return reportValueLine(name, value);
}

QString dashes(int count)
{
    return QStringLiteral("-- ").repeated(count);
}

const QString kContinued = QStringLiteral("      ");

MsdosDump dumpOf(const QByteArray& file)
{
    return dumpObjFile(QStringLiteral("mod.obj"), true,
                       ByteView(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size())));
}

TEST(ObjDump, RecordsWithTheirChecksums)
{
    Bytes file;
    // THEADR naming the module: six bytes and the checksum on one line.
    file.bytes({0x80, 0x07, 0x00, 0x05, 'H', 'E', 'L', 'L', 'O', 0xC3});
    // LEDATA of sixteen bytes: the checksum starts a line of its own.
    file.bytes({0xA0, 0x11, 0x00});
    for (unsigned i = 0; i < 16; ++i)
        file.u8(i);
    file.u8(0x77);
    // A type not in the table, twenty bytes: the checksum shares the second line.
    file.bytes({0xF1, 0x15, 0x00});
    for (unsigned i = 0; i < 20; ++i)
        file.u8(0x10 + i);
    file.u8(0x5E);
    // MODEND without any bytes, not even a checksum.
    file.bytes({0x8A, 0x00, 0x00});

    const MsdosDump dump = dumpOf(file);
    const QStringList expected = {
        line(QStringLiteral("OBJ Filename"), QStringLiteral("mod.obj")),
        line(QStringLiteral(" Op=80 Length=0007 THEADR"),
             QStringLiteral("05 48 45 4C 4C 4F ") + dashes(10) + QStringLiteral("CheckSum=C3 ")),
        line(QStringLiteral(" Op=A0 Length=0011 LEDATA"),
             QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ")),
        line(kContinued, dashes(16) + QStringLiteral("CheckSum=77 ")),
        line(QStringLiteral(" Op=F1 Length=0015 <unknown>"),
             QStringLiteral("10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ")),
        line(kContinued, QStringLiteral("20 21 22 23 ") + dashes(12) + QStringLiteral("CheckSum=5E ")),
        line(QStringLiteral(" Op=8A Length=0000 MODEND"), QString()),
        QStringLiteral("OBJ End."),
    };
    EXPECT_EQ(dump.lines, expected);
    EXPECT_FALSE(dump.truncated);
    EXPECT_EQ(dump.lines.at(3), QStringLiteral("       ---------------------------- ") + dashes(16) +
                                    QStringLiteral("CheckSum=77 "));
}

// Bytes past the end of the file read as zeros; the dump says the file was cut.
TEST(ObjDump, RecordCutShort)
{
    struct Case {
        const char* what;
        QByteArray file;
        QStringList records;
    };
    const Case cases[] = {
        {"body cut", QByteArray("\x8C\x05\x00\x01\x02", 5),
         {line(QStringLiteral(" Op=8C Length=0005 EXTDEF"),
               QStringLiteral("01 02 00 00 ") + dashes(12) + QStringLiteral("CheckSum=00 "))}},
        {"length cut", QByteArray("\x96\x02", 2),
         {line(QStringLiteral(" Op=96 Length=0002 LNAMES"), QStringLiteral("00 ") + dashes(15) + QStringLiteral("CheckSum=00 "))}},
        {"type only", QByteArray("\xF0", 1), {line(QStringLiteral(" Op=F0 Length=0000 <unknown>"), QString())}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MsdosDump dump = dumpOf(c.file);
        EXPECT_TRUE(dump.truncated);
        EXPECT_EQ(dump.lines.mid(1, dump.lines.size() - 2), c.records);
        EXPECT_EQ(loadBytes(QStringLiteral("cut.obj"), c.file).stop, LoadStop::Truncated);
    }
}

TEST(ObjDump, EmptyAndMissingFiles)
{
    const LoadResult empty = loadBytes(QStringLiteral("empty.obj"), QByteArray());
    EXPECT_EQ(empty.report, QStringList({line(QStringLiteral("OBJ Filename"), QStringLiteral("empty.obj")),
                                         QStringLiteral("OBJ End.")}));
    EXPECT_EQ(empty.stop, LoadStop::Complete);
    EXPECT_FALSE(isAllWhite(empty.picture));

    const LoadResult missing = loadMissing(QStringLiteral("gone.obj"));
    EXPECT_EQ(missing.stop, LoadStop::Missing);
    EXPECT_EQ(missing.report.mid(1), QStringList({QStringLiteral("File does not exist"), QStringLiteral("OBJ End.")}));
}

// A huge object file is dumped only as far as can matter for the picture.
TEST(ObjDump, HugeFileStopsAtTheLineLimit)
{
    Bytes file;
    for (int i = 0; i < 3000; ++i)
        file.bytes({0xA0, 0x31, 0x00}).fill(0x31, 0x42);
    const MsdosDump dump = dumpOf(file);
    EXPECT_LT(dump.lines.size(), 8192 + 8);
    EXPECT_TRUE(dump.lines.at(dump.lines.size() - 2).startsWith(QStringLiteral("Dump stopped after ")));
    EXPECT_EQ(dump.lines.back(), QStringLiteral("OBJ End."));
    const LoadResult result = loadBytes(QStringLiteral("huge.obj"), file);
    EXPECT_EQ(result.picture.height(), 4096);
}

TEST(ObjDump, SampleObjectFiles)
{
    OSTREL_CORPUS_OR_SKIP(files, "obj", QStringList({QStringLiteral("*.obj"), QStringLiteral("*.OBJ")}));
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const LoadResult result = loadSampleFile(path, "OBJ");
        EXPECT_EQ(result.report.front(), reportValueLine(QStringLiteral("OBJ Filename"), path));
        EXPECT_LE(result.picture.height(), 4096);
    }
}

TEST(ObjDump, RecordNames)
{
    struct Case {
        uint8_t type;
        const char* name;
    };
    const Case cases[] = {
        {0x80, "THEADR"},  {0x82, "LHEADR"},  {0x88, "COMENT *"}, {0x8A, "MODEND"}, {0x8B, "MODEND"},
        {0x91, "PUBDEF"},  {0x9D, "FIXUPP"},  {0xA1, "LEDATA"},   {0xB8, "LCOMDEF"}, {0xBC, "CEXTDEF"},
        {0xC6, "ALIAS"},   {0xCA, "LLNAMES"}, {0x81, "<unknown>"}, {0x8D, "<unknown>"}, {0xB9, "<unknown>"},
        {0xC7, "<unknown>"}, {0x00, "<unknown>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(omfRecordName(c.type), QLatin1String(c.name)) << int(c.type);
}

} // namespace
} // namespace ostrel::testing
