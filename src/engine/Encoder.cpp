#include "engine/Encoder.h"

#include "colour/PaletteSearch.h"
#include "engine/Carrier.h"
#include "engine/PayloadFormat.h"
#include "engine/RunReport.h"
#include "engine/TRandom.h"
#include "util/Picture.h"
#include "util/Text.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <memory>

namespace ostrel {

namespace {

// The date-time text as stored: at most as many bytes as the reader takes
// and no zero byte, so the reader stays in step with the writer.
QString storableDateTime(QString text)
{
    text.remove(QChar(0));
    while (toAnsiBytes(text).size() > kDateTimeReadLimit)
        text.chop(1);
    return text;
}

QString fileLine(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("ERROR: %1 %2: %3").arg(what, path, reason);
}

// The payload's bytes, read whole before any pixel changes, so a file that
// cannot be read or changes under us leaves the picture as it was.
bool readPayload(QFile& file, int64_t size, QByteArray& bytes, ReportList* report)
{
    const QString path = file.fileName();
    bytes = file.read(size);
    const bool more = !file.read(1).isEmpty();
    if (file.error() != QFileDevice::NoError) {
        AddReportLine(report, fileLine(QStringLiteral("Cannot read"), path, file.errorString()));
        return false;
    }
    if (bytes.size() != size || more) {
        AddReportLine(report, fileLine(QStringLiteral("Cannot read"), path,
                                       QStringLiteral("its size changed while it was being read")));
        return false;
    }
    return true;
}

// A palette lacking one parity would store the wrong bit in some pixels and
// the picture would never decode.
bool paletteHoldsBothParities(const TPaletteArray& palette, int32_t paletteCount)
{
    const int count = std::clamp<int32_t>(paletteCount, 2, 256);
    bool even = false, odd = false;
    for (int i = 0; i < count; ++i)
        (blueOf(palette[size_t(i)]) & 1 ? odd : even) = true;
    return even && odd;
}

QString sizeLine(const QString& label, int64_t value, const char* unit)
{
    return label + QString::number(value) + QLatin1String(unit);
}

} // namespace

QByteArray payloadHeader(const QByteArray& nameBytes, const QByteArray& dateTimeBytes, uint32_t payloadSize)
{
    QByteArray header;
    header.reserve(int(payloadHeaderLength(nameBytes.size(), dateTimeBytes.size())));
    header.append(kPayloadMagic, sizeof kPayloadMagic); // the letters and their zero byte
    header.append(nameBytes).append('\0');
    header.append(dateTimeBytes).append('\0');
    appendInt32(header, payloadSize);
    return header;
}

bool EncodePayloadStamped(QImage& picture, const TPaletteArray& palette, int32_t paletteCount,
                          const TProgressProc& progress, ReportList* report, uint32_t keyLow, uint32_t keyHigh,
                          const QString& payloadFileName, bool dither, const QString& dateTimeText)
{
    const QFileInfo info(payloadFileName);
    const QString fullPath = payloadFileName.isEmpty() ? QString() : info.absoluteFilePath();
    const QString dateTime = storableDateTime(dateTimeText);
    AddReportLine(report, QStringLiteral("Encoding: ") + fullPath);
    AddReportLine(report, QStringLiteral("Date/Time: ") + dateTime);
    if (!keyHalvesUsable(keyLow, keyHigh)) {
        AddReportLine(report, unusableKeyLine());
        return false;
    }
    if (progress)
        progress(-1);
    if (picture.isNull()) {
        AddReportLine(report, QStringLiteral("Bitmap Not Assigned"));
        return false;
    }
    if (fullPath.isEmpty() || !info.isFile()) {
        AddReportLine(report, QStringLiteral("File not Found"));
        return false;
    }
    if (!convertCarrier(picture, report))
        return false;

    if (paletteCount <= 256 && !paletteHoldsBothParities(palette, paletteCount)) {
        AddReportLine(report, QStringLiteral("ERROR: The palette needs colours with both even and odd blue values."));
        return false;
    }

    QFile file(fullPath);
    if (!file.open(QIODevice::ReadOnly)) {
        AddReportLine(report, fileLine(QStringLiteral("Cannot open"), fullPath, file.errorString()));
        return false;
    }
    const int64_t payloadSize = file.size();
    if (payloadSize > kLargestPayload) {
        AddReportLine(report, QStringLiteral("ERROR: %1 holds %2 Bytes; at most %3 Bytes can be hidden.")
                                  .arg(fullPath, QString::number(payloadSize), QString::number(kLargestPayload)));
        return false;
    }
    const QByteArray nameBytes = toAnsiBytes(info.fileName());
    if (nameBytes.size() > kNameReadLimit) {
        AddReportLine(report, QStringLiteral("ERROR: File name longer than %1 Bytes cannot be stored.")
                                  .arg(kNameReadLimit));
        return false;
    }
    const QByteArray header = payloadHeader(nameBytes, toAnsiBytes(dateTime), uint32_t(payloadSize));

    const int64_t width = picture.width(), height = picture.height();
    const int64_t available = width * height;
    const int64_t streamLength = header.size() + payloadSize + kChecksumBytes;
    AddReportLine(report, imageSizeLine(picture));
    AddReportLine(report, sizeLine(QStringLiteral("File Size: "), payloadSize, " Bytes"));
    AddReportLine(report, sizeLine(QStringLiteral("Space Required: "), streamLength * 8, " Bits"));
    AddReportLine(report, sizeLine(QStringLiteral("Space Available: "), available, " Bits"));
    if (available < streamLength * 8) {
        AddReportLine(report, QStringLiteral("Insufficient Space to Encode File."));
        return false;
    }
    QByteArray payload;
    if (!readPayload(file, payloadSize, payload, report))
        return false;

    uint32_t checksum = addToChecksum(0, header.constData(), size_t(header.size()));
    checksum = addToChecksum(checksum, payload.constData(), size_t(payload.size()));
    QByteArray trailer;
    appendInt32(trailer, checksum);

    TRandom random(keyLow, keyHigh);
    std::unique_ptr<TPaletteSearch> search;
    if (paletteCount <= 256)
        search = std::make_unique<TPaletteSearch>(palette, paletteCount);
    CarrierWriter writer(picture, random, progress, search.get(), dither);
    int64_t written = 0;
    const QByteArray* const parts[] = {&header, &payload, &trailer};
    for (const QByteArray* part : parts) {
        writer.writeBytes(reinterpret_cast<const uint8_t*>(part->constData()), size_t(part->size()));
        written += part->size();
    }
    writer.finish();

    const bool complete = written == streamLength;
    AddReportLine(report, QStringLiteral("File Encode: ")
                              + (complete ? QStringLiteral("Successful") : QStringLiteral("Failed"))
                              + QStringLiteral(", Bytes Encoded: ") + QString::number(written));
    return complete;
}

bool EncodePayload(QImage& picture, const TPaletteArray& palette, int32_t paletteCount, const TProgressProc& progress,
                   ReportList* report, uint32_t keyLow, uint32_t keyHigh, const QString& payloadFileName, bool dither)
{
    return EncodePayloadStamped(picture, palette, paletteCount, progress, report, keyLow, keyHigh, payloadFileName,
                                dither, currentDateTimeText());
}

bool EncodePayloadTrueColor(QImage& picture, const QString& payloadFileName, ReportList* report,
                            const TProgressProc& progress, uint32_t keyLow, uint32_t keyHigh)
{
    const TPaletteArray noPalette{};
    return EncodePayload(picture, noPalette, kTrueColorCount, progress, report, keyLow, keyHigh, payloadFileName,
                         false);
}

} // namespace ostrel
