// SPDX-License-Identifier: Apache-2.0
#include "engine/SealedPayload.h"

#include "engine/EncodePlan.h"
#include "engine/Encoder.h"
#include "engine/RunReport.h"
#include "util/Text.h"

#include "PayloadFormat.h"

#include <QFile>
#include <QFileInfo>

namespace ostrel {

namespace {

// The container's size follows from what it holds, so the room it needs is
// known before the file is read or the costly derivation runs.
EncodeRequest sealedRequest(const QString& fullPath, const SealedFile& file, int64_t payloadSize)
{
    EncodeRequest request;
    request.payloadPath = fullPath;
    request.fileName = QLatin1String(kSealedStreamName);
    request.dateTime = QStringLiteral("");
    request.payloadSize = int64_t(kSealOverheadBytes) + file.name.size() + file.dateTime.size() + payloadSize;
    return request;
}

} // namespace

EncodePlan planSealedEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText)
{
    return planSealedEncodeOfFile(PictureRows::readOnly(picture), payloadFileName, dateTimeText);
}

EncodePlan planSealedEncodeOfFile(const PixelRows& picture, const QString& payloadFileName, const QString& dateTimeText)
{
    const QFileInfo info(payloadFileName);
    SealedFile file;
    file.name = toAnsiBytes(info.fileName());
    file.dateTime = toAnsiBytes(storableDateTime(dateTimeText));
    return planEncode(picture, sealedRequest(info.absoluteFilePath(), file, info.size()));
}

namespace {

template <typename Carrier>
bool encodeSealedInto(Carrier& picture, const QString& payloadFileName, const QByteArray& password,
                      ReportList* report, const TProgressProc& progress, const QString& dateTimeText, bool stealth)
{
    const QFileInfo info(payloadFileName);
    const QString fullPath = payloadFileName.isEmpty() ? QString() : info.absoluteFilePath();
    SealedFile file;
    const QString dateTime = storableDateTime(dateTimeText);
    file.dateTime = toAnsiBytes(dateTime);
    AddReportLine(report, QStringLiteral("Encoding: ") + fullPath);
    AddReportLine(report, QStringLiteral("Date/Time: ") + dateTime);
    if (progress)
        progress(-1);
    if (!encodeInputsReady(picture, fullPath, report))
        return false;
    file.name = toAnsiBytes(info.fileName());
    if (file.name.size() > kNameReadLimit) {
        AddReportLine(report,
                      QStringLiteral("ERROR: File name longer than %1 Bytes cannot be stored.").arg(kNameReadLimit));
        return false;
    }
    QFile payloadFile(fullPath);
    if (!openPayload(payloadFile, report))
        return false;
    const int64_t payloadSize = payloadFile.size();

    const EncodeRequest request = sealedRequest(fullPath, file, payloadSize);
    const EncodePlan plan = planEncode(picture, request);
    AddReportLine(report, QStringLiteral("Sealed: %1 Bytes in a container of %2 Bytes that only the password opens")
                              .arg(payloadSize)
                              .arg(request.payloadSize));
    for (const QString& line : plan.lines)
        AddReportLine(report, line);
    if (!plan.accepted || !readPayload(payloadFile, payloadSize, file.bytes, report))
        return false;

    const std::optional<SealKeys> keys = deriveSealKeys(password, sealSalt(picture));
    const std::optional<QByteArray> container = keys ? sealContainer(file, keys->sealingKey) : std::nullopt;
    if (!container) {
        AddReportLine(report, QStringLiteral("ERROR: ") + sealDerivationFailedText());
        return false;
    }
    CarrierStyle style;
    style.stealth = stealth;
    return writePlannedStream(picture, plan, *container, uint32_t(keys->formatKey), uint32_t(keys->formatKey >> 32),
                              style, progress, report);
}

} // namespace

bool encodeSealedPayload(QImage& picture, const QString& payloadFileName, const QByteArray& password,
                         ReportList* report, const TProgressProc& progress, const QString& dateTimeText,
                         bool stealth)
{
    return encodeSealedInto(picture, payloadFileName, password, report, progress, dateTimeText, stealth);
}

bool encodeSealedPayload(PixelRows& rows, const QString& payloadFileName, const QByteArray& password,
                         ReportList* report, const TProgressProc& progress, const QString& dateTimeText,
                         bool stealth)
{
    return encodeSealedInto(rows, payloadFileName, password, report, progress, dateTimeText, stealth);
}

SealedReading readSealedStream(const QImage& picture, const QByteArray& password)
{
    PictureRows rows = PictureRows::readOnly(picture);
    return readSealedStream(rows, password);
}

SealedReading readSealedStream(PixelRows& picture, const QByteArray& password)
{
    SealedReading reading;
    const std::optional<SealKeys> keys = deriveSealKeys(password, sealSalt(picture));
    if (!keys) {
        reading.outcome = SealedReading::Outcome::DerivationFailed;
        return reading;
    }
    reading.stream = readHiddenStream(picture, uint32_t(keys->formatKey), uint32_t(keys->formatKey >> 32));
    using Stream = HiddenPayload::Outcome;
    if (reading.stream.outcome == Stream::NoData)
        return reading;
    if (reading.stream.outcome != Stream::Intact) {
        reading.outcome = SealedReading::Outcome::StreamBroken;
        return reading;
    }
    OpenedSeal opened = openContainer(reading.stream.payload, keys->sealingKey);
    reading.sealStatus = opened.status;
    if (opened.status != SealOpenStatus::Opened) {
        reading.outcome = SealedReading::Outcome::SealBroken;
        return reading;
    }
    reading.outcome = SealedReading::Outcome::Opened;
    reading.opened.outcome = Stream::Intact;
    reading.opened.name = std::move(opened.file.name);
    reading.opened.dateTime = std::move(opened.file.dateTime);
    reading.opened.payloadSize = int32_t(opened.file.bytes.size());
    reading.opened.payload = std::move(opened.file.bytes);
    return reading;
}

QString sealProblemLine(SealOpenStatus status)
{
    switch (status) {
    case SealOpenStatus::Unauthentic:
        return QStringLiteral("ERROR: The sealed file does not open: the picture has been changed.");
    case SealOpenStatus::Malformed:
        return QStringLiteral("ERROR: The sealed file is damaged.");
    case SealOpenStatus::NotSealed:
    case SealOpenStatus::Opened:
        break;
    }
    return QStringLiteral("ERROR: The hidden file is not sealed.");
}

} // namespace ostrel
