// SPDX-License-Identifier: Apache-2.0
// MacPaint pictures behind a 128-byte MacBinary header: 576×720 pixels of
// one bit, packed by runs, starting after the 512-byte MacPaint header.
#include "util/ByteReader.h"
#include "util/Picture.h"
#include "util/Text.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

constexpr int kMacWidth = 576;
constexpr int kMacHeight = 720;
constexpr int kMacRowBytes = kMacWidth / 8;
constexpr size_t kMacBinaryHeaderSize = 128;
constexpr size_t kMacHeaderSize = 640; // MacBinary header + MacPaint header
constexpr uint32_t kForkSizeLimit = uint32_t(1) << 23;
constexpr int kMaxNameLength = 63;

QString fourCharacters(ByteView bytes)
{
    return fromWindows1252(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

// Reports the MacBinary fields and says whether they describe a wrapped file.
bool reportMacBinaryHeader(kit::ReaderRun& run, ByteView header)
{
    ByteReader reader(header);
    const uint8_t version = reader.u8();
    const uint8_t nameLength = reader.u8();
    const ByteView nameField = reader.bytes(63);
    const QString name = fourCharacters(nameField.first(std::min<size_t>(nameLength, nameField.size())));
    const QString type = fourCharacters(reader.bytes(4));
    const QString creator = fourCharacters(reader.bytes(4));
    run.value(QStringLiteral("Version"), version);
    run.value(QStringLiteral("File Name"), QLatin1Char('"') + name + QLatin1Char('"'));
    run.value(QStringLiteral("Type"), type);
    run.value(QStringLiteral("Creator"), creator);
    run.value(QStringLiteral("Flags"), reader.u8());
    run.value(QStringLiteral("Reserved1"), reader.u8());
    run.value(QStringLiteral("Vert Pos"), reader.u16be());
    run.value(QStringLiteral("Horz Pos"), reader.u16be());
    run.value(QStringLiteral("Window ID"), reader.u16be());
    run.value(QStringLiteral("Protection"), reader.u8());
    run.value(QStringLiteral("Reserved2"), reader.u8());
    const uint32_t dataFork = reader.u32be();
    const uint32_t resourceFork = reader.u32be();
    run.value(QStringLiteral("SizeOfDataFork"), dataFork);
    run.value(QStringLiteral("SizeOfResourceFork"), resourceFork);
    run.value(QStringLiteral("Creation Stamp"), reader.u32be());
    run.value(QStringLiteral("Modification"), reader.u32be());
    run.value(QStringLiteral("GetInfoLength"), reader.u16be());
    run.value(QStringLiteral("FinderFlags"), reader.u8());
    return version == 0 && nameLength >= 1 && nameLength <= kMaxNameLength && dataFork < kForkSizeLimit &&
           resourceFork < kForkSizeLimit;
}

// Unpacks the run-coded rows into 1-bit rows; bytes past the end of the file
// count as zero. Returns false when it had to use them.
bool unpackBits(ByteView packed, QByteArray& bits)
{
    ByteReader reader(packed);
    bool ranOut = false;
    auto next = [&]() -> uint8_t {
        if (reader.atEnd()) {
            ranOut = true;
            return 0;
        }
        return reader.u8();
    };
    char* out = bits.data();
    const qsizetype total = bits.size();
    qsizetype done = 0;
    while (done < total) {
        const uint8_t head = next();
        if (head >= 128) {
            const uint8_t value = next();
            const qsizetype count = std::min<qsizetype>((255 - head) + 2, total - done);
            std::memset(out + done, value, size_t(count));
            done += count;
        } else {
            for (int i = 0; i <= head && done < total; ++i)
                out[done++] = char(next());
        }
    }
    return !ranOut;
}

} // namespace

LoadResult LoadMacPaintFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "MAC", kMacWidth, kMacHeight);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    run.value(QStringLiteral("File Size"), qint64(input.data.size()));
    run.value(QStringLiteral("SizeOf MacHeader"), qint64(kMacHeaderSize));
    QImage white = allocateFilledPicture(kMacWidth, kMacHeight, 255, 255, 255, run.pixelLimit());
    if (white.isNull())
        return run.finish(LoadStop::OverLimit);
    QImage& picture = run.picture();
    picture = std::move(white);
    if (input.data.size() < kMacBinaryHeaderSize) {
        run.shortRead(input.data.size(), kMacBinaryHeaderSize);
        return run.finish(LoadStop::Truncated);
    }
    if (!reportMacBinaryHeader(run, input.data.first(kMacBinaryHeaderSize)))
        return run.finish(LoadStop::BadSignature);

    QByteArray bits(qsizetype(kMacRowBytes) * kMacHeight, '\0');
    const ByteView packed = input.data.size() > kMacHeaderSize ? input.data.subspan(kMacHeaderSize) : ByteView();
    const bool complete = unpackBits(packed, bits);
    const auto* source = reinterpret_cast<const uint8_t*>(bits.constData());
    for (int y = 0; y < kMacHeight; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int column = 0; column < kMacRowBytes; ++column) {
            const uint8_t byte = source[column];
            if (byte == 0) // eight white pixels, already painted
                continue;
            for (int bit = 0; bit < 8; ++bit)
                if (byte & (0x80 >> bit))
                    kit::putPixel(row, column * 8 + bit, {0, 0, 0});
        }
        source += kMacRowBytes;
    }
    if (!complete)
        return run.finish(LoadStop::Truncated);
    run.line(QStringLiteral("Decompression OK"));
    return run.finish(LoadStop::Complete);
}

} // namespace ostrel
