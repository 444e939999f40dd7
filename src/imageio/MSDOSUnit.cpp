// SPDX-License-Identifier: Apache-2.0
#include "imageio/MSDOSUnit.h"

#include "imageio/ReportText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ostrel {

namespace {

constexpr size_t kExeReadLimit = 10240;
constexpr size_t kExeHeaderSize = 28;
constexpr size_t kWindowsLinkOffset = 60;
constexpr uint16_t kFirstWindowsRelocationOffset = 64;
constexpr size_t kBytesPerDumpLine = 16;

// An object file can hold millions of records, but no more than a few hundred
// lines fit on a picture; past this many the dump stops. Every record's
// checksum line is already as wide as any later line can be, so the picture
// does not change.
constexpr qsizetype kMaxObjDumpLines = 8192;

const QChar kTimes(0x00D7);

QString hex4(unsigned value) { return hexNumber(value, 4); }

// The first 10240 bytes, zero beyond the end of a shorter file.
using ExeBuffer = std::array<uint8_t, kExeReadLimit>;

struct ExeHeader {
    uint16_t signature = 0;
    uint16_t lastBlockBytes = 0;
    uint16_t blocks = 0;
    uint16_t relocations = 0;
    uint16_t headerParagraphs = 0;
    uint16_t minExtraParagraphs = 0;
    uint16_t maxExtraParagraphs = 0;
    uint16_t ss = 0;
    uint16_t sp = 0;
    uint16_t checksum = 0;
    uint16_t ip = 0;
    uint16_t cs = 0;
    uint16_t relocationOffset = 0;
    uint16_t overlay = 0;

    size_t headerEnd() const { return size_t(headerParagraphs) * 16; }

    // The last block counts whole when its byte count is 0, as MS-DOS reads it.
    int64_t imageLength() const
    {
        if (blocks == 0)
            return 0;
        if (lastBlockBytes == 0)
            return int64_t(blocks) * 512;
        return int64_t(blocks) * 512 + lastBlockBytes - 512;
    }
};

ExeHeader readExeHeader(const ExeBuffer& buffer)
{
    ByteReader reader(buffer.data(), kExeHeaderSize);
    ExeHeader header;
    for (uint16_t* field : {&header.signature, &header.lastBlockBytes, &header.blocks, &header.relocations,
                            &header.headerParagraphs, &header.minExtraParagraphs, &header.maxExtraParagraphs,
                            &header.ss, &header.sp, &header.checksum, &header.ip, &header.cs,
                            &header.relocationOffset, &header.overlay})
        *field = reader.u16le();
    return header;
}

uint16_t wordAt(const ExeBuffer& buffer, size_t offset)
{
    auto byteAt = [&](size_t at) { return at < buffer.size() ? buffer[at] : uint8_t(0); };
    return uint16_t(byteAt(offset) | (byteAt(offset + 1) << 8));
}

// The two signature characters of a Windows header ("PE" or "NE"), or empty
// for an MS-DOS program. A relocation table at offset 64 or later leaves room
// for the link at offset 60. Many linkers leave the table offset at 0 in a
// PE file, though, so the full four-byte "PE\0\0" signature counts on its own.
QString windowsSignature(const ExeBuffer& buffer, const ExeHeader& header, size_t& windowsOffset)
{
    windowsOffset = wordAt(buffer, kWindowsLinkOffset);
    if (windowsOffset < kExeHeaderSize || windowsOffset >= kExeReadLimit)
        return {};
    // The second character may lie just past the bytes read: it then counts as zero.
    const uint16_t pair = wordAt(buffer, windowsOffset);
    const QString signature = QString(QLatin1Char(char(pair & 0xFF))) + QLatin1Char(char(pair >> 8));
    const bool linkHasRoom = header.relocationOffset >= kFirstWindowsRelocationOffset;
    if (signature == QLatin1String("PE") && (linkHasRoom || wordAt(buffer, windowsOffset + 2) == 0))
        return signature;
    if (signature == QLatin1String("NE") && linkHasRoom)
        return signature;
    return {};
}

class ExeDumper {
public:
    ExeDumper(QStringList& lines, const ExeBuffer& buffer, size_t present)
        : m_lines(lines), m_buffer(buffer), m_present(present)
    {
    }

    // Hex lines of the bytes [from, to) that the file holds, each named by the
    // title and the offset of its first byte counted from `origin`.
    void bytes(const QString& title, size_t from, size_t to, size_t origin)
    {
        to = std::min({to, m_present, kExeReadLimit});
        for (size_t at = from; at < to; at += kBytesPerDumpLine) {
            const size_t count = std::min(kBytesPerDumpLine, to - at);
            m_lines.append(reportValueLine(title + QLatin1Char(' ') + hex4(unsigned(at - origin)),
                                     hexBytes(ByteView(m_buffer.data() + at, count))));
        }
    }

    // One "segment:offset" line per table entry that the file holds.
    void relocations(const QString& title, const ExeHeader& header)
    {
        for (size_t i = 0; i < header.relocations; ++i) {
            const size_t at = size_t(header.relocationOffset) + 4 * i;
            if (at + 4 > std::min(m_present, kExeReadLimit))
                return;
            m_lines.append(reportValueLine(title + QLatin1Char(' ') + hex4(unsigned(at)),
                                     hex4(wordAt(m_buffer, at + 2)) + QLatin1Char(':') + hex4(wordAt(m_buffer, at))));
        }
    }

private:
    QStringList& m_lines;
    const ExeBuffer& m_buffer;
    size_t m_present;
};

void appendExeFields(QStringList& lines, const ExeHeader& h)
{
    const QString equals = QStringLiteral(" = ");
    const QString timesSixteen = QStringLiteral(" ") + kTimes + QStringLiteral(" 16 = Offset ");
    lines << reportValueLine(QStringLiteral("Signature (should be 5A4D)"), hex4(h.signature))
          << reportValueLine(QStringLiteral("Bytes in Last Block"), hex4(h.lastBlockBytes))
          << reportValueLine(QStringLiteral("Blocks in File (") + kTimes + QStringLiteral(" 512 bytes)"),
                       hex4(h.blocks) + equals + QString::number(h.imageLength()) + QStringLiteral(" bytes in file"))
          << reportValueLine(QStringLiteral("Number of Relocations"),
                       hex4(h.relocations) + equals + QString::number(h.relocations))
          << reportValueLine(QStringLiteral("Header Paragraphs (") + kTimes + QStringLiteral(" 16 bytes)"),
                       hex4(h.headerParagraphs) + equals + QString::number(h.headerParagraphs * 16) +
                           QStringLiteral(" bytes"))
          << reportValueLine(QStringLiteral("Min Extra Paragraphs"),
                       hex4(h.minExtraParagraphs) + equals + QString::number(h.minExtraParagraphs * 16) +
                           QStringLiteral(" bytes"))
          << reportValueLine(QStringLiteral("Max Extra Paragraphs"), hex4(h.maxExtraParagraphs))
          << reportValueLine(QStringLiteral("Register SS Initial Value"),
                       hex4(h.ss) + timesSixteen + QString::number(h.ss * 16))
          << reportValueLine(QStringLiteral("Register SP Initial Value"), hex4(h.sp))
          << reportValueLine(QStringLiteral("CheckSum (usually zero)"), hex4(h.checksum))
          << reportValueLine(QStringLiteral("Register IP Initial Value"), hex4(h.ip))
          << reportValueLine(QStringLiteral("Register CS Initial Value"),
                       hex4(h.cs) + timesSixteen + QString::number(h.cs * 16))
          << reportValueLine(QStringLiteral("Relocation Table Offset"),
                       hex4(h.relocationOffset) + equals + QString::number(h.relocationOffset))
          << reportValueLine(QStringLiteral("Overlay Number (usually zero)"), hex4(h.overlay));
}

// An OMF record's bytes: 16 to a line, the first line named by the label and
// later ones by six spaces; the checksum (the last byte) is set apart at the
// end of its line after "-- " fillers.
void appendRecordBytes(QStringList& lines, const QString& label, ByteReader& reader, unsigned length)
{
    const QString continuation = QStringLiteral("      ");
    QString value;
    size_t column = 0;
    bool firstLine = true;
    auto flush = [&] {
        lines.append(reportValueLine(firstLine ? label : continuation, value));
        firstLine = false;
        value.clear();
        column = 0;
    };
    for (unsigned i = 0; i < length; ++i) {
        if (column == kBytesPerDumpLine)
            flush();
        const uint8_t byte = reader.u8OrZero();
        if (i + 1 == length) {
            for (; column < kBytesPerDumpLine; ++column)
                value.append(QStringLiteral("-- "));
            value.append(QStringLiteral("CheckSum="));
        }
        value.append(hexBytes(ByteView(&byte, 1)));
        ++column;
    }
    flush();
}

// The first line, naming the file; for a missing file also the note and the
// last line. False when there is nothing more to dump.
bool beginDump(MsdosDump& dump, const char* tag, const QString& fileName, bool exists)
{
    dump.lines << reportValueLine(QLatin1String(tag) + QStringLiteral(" Filename"), fileName);
    if (exists)
        return true;
    dump.lines << QStringLiteral("File does not exist") << QLatin1String(tag) + QStringLiteral(" End.");
    return false;
}

} // namespace

QString omfRecordName(uint8_t type)
{
    static const std::pair<uint8_t, const char*> kNames[] = {
        {128, "THEADR"},  {130, "LHEADR"},  {136, "COMENT *"}, {138, "MODEND"},  {139, "MODEND"},
        {140, "EXTDEF"},  {142, "TYPDEF"},  {144, "PUBDEF"},   {145, "PUBDEF"},  {148, "LINNUM"},
        {149, "LINNUM"},  {150, "LNAMES"},  {152, "SEGDEF"},   {153, "SEGDEF"},  {154, "GRPDEF"},
        {156, "FIXUPP"},  {157, "FIXUPP"},  {160, "LEDATA"},   {161, "LEDATA"},  {162, "LIDATA"},
        {163, "LIDATA"},  {176, "COMDEF"},  {178, "BAKPAT"},   {179, "BAKPAT"},  {180, "LEXTDEF"},
        {181, "LEXTDEF"}, {182, "LPUBDEF"}, {183, "LPUBDEF"},  {184, "LCOMDEF"}, {188, "CEXTDEF"},
        {194, "COMDAT"},  {195, "COMDAT"},  {196, "LINSIM"},   {197, "LINSIM"},  {198, "ALIAS"},
        {200, "NBKPAT"},  {201, "NBKPAT"},  {202, "LLNAMES"},
    };
    for (const auto& [code, name] : kNames)
        if (code == type)
            return QString::fromLatin1(name);
    return QStringLiteral("<unknown>");
}

MsdosDump dumpExeFile(const QString& fileName, bool exists, ByteView data)
{
    MsdosDump dump;
    if (!beginDump(dump, "EXE", fileName, exists))
        return dump;
    QStringList& lines = dump.lines;
    ExeBuffer buffer{};
    const size_t present = std::min(data.size(), kExeReadLimit);
    std::copy_n(data.begin(), present, buffer.begin());
    dump.truncated = data.size() < kExeHeaderSize;

    const ExeHeader header = readExeHeader(buffer);
    size_t windowsOffset = 0;
    const QString signature = windowsSignature(buffer, header, windowsOffset);
    lines << reportValueLine(QStringLiteral(".EXE is"), signature.isEmpty()
                                                      ? QStringLiteral("MS-DOS")
                                                      : QStringLiteral("WINDOWS (Signature=") + signature + u')');
    appendExeFields(lines, header);

    ExeDumper dumper(lines, buffer, present);
    const size_t headerEnd = header.headerEnd();
    if (signature.isEmpty()) {
        dumper.bytes(QStringLiteral("Padding Bytes"), kExeHeaderSize, header.relocationOffset, 0);
        dumper.relocations(QStringLiteral("MS-DOS Relocation"), header);
        dumper.bytes(QStringLiteral("MS-DOS Executable"), headerEnd, size_t(header.imageLength()), headerEnd);
    } else {
        dumper.bytes(QStringLiteral("Padding Bytes"), kExeHeaderSize, kWindowsLinkOffset, 0);
        dumper.bytes(QStringLiteral("Windows Link"), kWindowsLinkOffset, kWindowsLinkOffset + 4, 0);
        dumper.relocations(QStringLiteral("MS-DOS Stub Relocation"), header);
        dumper.bytes(QStringLiteral("MS-DOS Stub"), headerEnd, windowsOffset, headerEnd);
        lines << reportValueLine(QStringLiteral("Windows Header starts at offset"),
                           hex4(unsigned(windowsOffset)) + QStringLiteral(" = ") + QString::number(windowsOffset));
    }
    lines << QStringLiteral("EXE End.");
    return dump;
}

MsdosDump dumpObjFile(const QString& fileName, bool exists, ByteView data)
{
    MsdosDump dump;
    if (!beginDump(dump, "OBJ", fileName, exists))
        return dump;
    QStringList& lines = dump.lines;
    // Bytes past the end read as zero: a record cut short is still shown whole.
    ByteReader reader(data);
    while (!reader.atEnd()) {
        if (lines.size() >= kMaxObjDumpLines) {
            lines << QStringLiteral("Dump stopped after %1 lines").arg(lines.size());
            break;
        }
        if (!reader.has(3))
            dump.truncated = true;
        const uint8_t type = reader.u8OrZero();
        const unsigned length = reader.u8OrZero() | (unsigned(reader.u8OrZero()) << 8);
        if (length > reader.remaining())
            dump.truncated = true;
        const QString label = QStringLiteral(" Op=") + hexNumber(type, 2) + QStringLiteral(" Length=") + hex4(length) +
                              QLatin1Char(' ') + omfRecordName(type);
        appendRecordBytes(lines, label, reader, length);
    }
    lines << QStringLiteral("OBJ End.");
    return dump;
}

} // namespace ostrel
