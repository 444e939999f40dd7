#include "engine/Decoder.h"

#include "data/TempPathUnit.h"
#include "engine/Carrier.h"
#include "engine/PayloadFormat.h"
#include "engine/RunReport.h"
#include "engine/TRandom.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace ostrel {

namespace {

// The stream read through one carrier, keeping the running sum of every byte.
class StreamReader {
public:
    StreamReader(const QImage& picture, TRandom& random) : m_carrier(picture, random) {}

    uint8_t byte()
    {
        const uint8_t b = m_carrier.readByte();
        m_sum += b;
        return b;
    }

    // Bytes up to a zero byte, at most `limit` of them; the byte that ends
    // the text (the zero, or the one after `limit` bytes) is consumed.
    QByteArray text(int limit)
    {
        QByteArray out;
        uint8_t b = byte();
        for (int i = 1; i <= limit && b != 0; ++i) {
            out.append(char(b));
            b = byte();
        }
        return out;
    }

    uint32_t int32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(byte()) << (8 * i);
        return value;
    }

    QByteArray bytes(qsizetype size)
    {
        QByteArray out(size, Qt::Uninitialized);
        m_carrier.readBytes(reinterpret_cast<uint8_t*>(out.data()), size_t(size));
        m_sum = addToChecksum(m_sum, out.constData(), size_t(size));
        return out;
    }

    uint32_t sum() const { return m_sum; }

private:
    CarrierReader m_carrier;
    uint32_t m_sum = 0;
};

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// A file of the payload's name may already be there; a symbolic link in its
// place would lead the write outside the folder, so the link itself goes.
bool clearLinkInTheWay(const QString& path, ReportList* report)
{
    if (!QFileInfo(path).isSymLink() || QFile::remove(path))
        return true;
    AddReportLine(report, QStringLiteral("ERROR: Cannot replace the link %1.").arg(path));
    return false;
}

bool decodeInto(QImage& picture, const QString& folder, bool folderReady, QString& outputPath, ReportList* report,
                uint32_t keyLow, uint32_t keyHigh)
{
    if (picture.isNull()) {
        AddReportLine(report, QStringLiteral("Bitmap Not Assigned"));
        return false;
    }
    if (!folderReady) {
        AddReportLine(report, QStringLiteral("Cannot create path: ") + folder);
        return false;
    }
    if (!convertCarrier(picture, report))
        return false;
    const int64_t width = picture.width(), height = picture.height();
    TRandom random(keyLow, keyHigh);
    StreamReader stream(picture, random);
    AddReportLine(report, imageSizeLine(picture));

    if (stream.text(kMagicReadLimit) != QByteArray(kPayloadMagic)) {
        AddReportLine(report, QStringLiteral("Image does NOT appear to contain encoded data."));
        return false;
    }
    const QByteArray nameBytes = stream.text(kNameReadLimit);
    const QByteArray dateTimeBytes = stream.text(kDateTimeReadLimit);
    const int32_t payloadSize = int32_t(stream.int32());
    const QString storedName = fromStoredBytes(nameBytes);
    const QString name = usableStoredName(storedName);
    const int64_t room = width * height / 8 - payloadHeaderLength(nameBytes.size(), dateTimeBytes.size())
        - kChecksumBytes;

    AddReportLine(report, QStringLiteral("Image appears to contain encoded data."));
    AddReportLine(report, QStringLiteral("Filename: ") + storedName);
    AddReportLine(report, QStringLiteral("Date/Time: ") + fromStoredBytes(dateTimeBytes));
    AddReportLine(report, QStringLiteral("File Size: ") + QString::number(payloadSize));
    if (name.isEmpty()) {
        AddReportLine(report, QStringLiteral("ERROR: Stored file name is not usable."));
        return false;
    }
    outputPath = folder + name;
    AddReportLine(report, QStringLiteral("Saving To: ") + outputPath);
    if (room < payloadSize) {
        AddReportLine(report, QStringLiteral("ERROR: Payload Size larger than File Size."));
        return false;
    }
    if (payloadSize <= 0) {
        AddReportLine(report, QStringLiteral("ERROR: Payload Size less than or equal to zero."));
        return false;
    }
    const QByteArray payload = stream.bytes(payloadSize);
    const uint32_t expected = stream.sum();
    if (stream.int32() != expected) {
        AddReportLine(report, QStringLiteral("ERROR: Check Sum Failed"));
        return false;
    }
    AddReportLine(report, QStringLiteral("Check Sum is OK"));
    if (!clearLinkInTheWay(outputPath, report))
        return false;
    QString error;
    if (!writeFileAtomically(outputPath, payload, &error)) {
        AddReportLine(report, QStringLiteral("ERROR: ") + error);
        return false;
    }
    return true;
}

// The one key that yields no keystream is refused before anything else happens.
bool refuseUnusableKey(uint32_t keyLow, uint32_t keyHigh, QString& outputPath, ReportList* report)
{
    outputPath.clear();
    if (keyHalvesUsable(keyLow, keyHigh))
        return false;
    AddReportLine(report, unusableKeyLine());
    return true;
}

} // namespace

QString usableStoredName(const QString& storedName)
{
    const qsizetype cut = std::max(storedName.lastIndexOf(QLatin1Char('/')), storedName.lastIndexOf(QLatin1Char('\\')));
    const QString name = storedName.mid(cut + 1);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

bool DecodePayload(QImage& picture, QString& outputPath, ReportList* report, uint32_t keyLow, uint32_t keyHigh)
{
    if (refuseUnusableKey(keyLow, keyHigh, outputPath, report))
        return false;
    return decodeInto(picture, DecodeFolder(), DataFoldersReady() && !DecodeFolder().isEmpty(), outputPath, report,
                      keyLow, keyHigh);
}

bool DecodePayloadInto(QImage& picture, const QString& folder, QString& outputPath, ReportList* report,
                       uint32_t keyLow, uint32_t keyHigh)
{
    if (refuseUnusableKey(keyLow, keyHigh, outputPath, report))
        return false;
    const bool ready = !folder.isEmpty() && QDir().mkpath(folder) && QFileInfo(folder).isDir();
    return decodeInto(picture, withSlash(folder), ready, outputPath, report, keyLow, keyHigh);
}

} // namespace ostrel
