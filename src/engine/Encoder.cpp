// SPDX-License-Identifier: Apache-2.0
#include "engine/Encoder.h"

#include "engine/EncodePlan.h"
#include "engine/HiddenStream.h"
#include "engine/RunReport.h"

#include "SystemRandom.h"

#include <QFile>
#include <QFileInfo>

namespace ostrel {

QString nothingToHideText(const QString& payloadPath)
{
    return QStringLiteral("nothing to hide: %1 is empty").arg(payloadPath);
}

EncodePlan planEncodeOfFile(const QImage& picture, const QString& payloadFileName, const QString& dateTimeText)
{
    return planEncodeOfFile(PictureRows::readOnly(picture), payloadFileName, dateTimeText);
}

EncodePlan planEncodeOfFile(const PixelRows& picture, const QString& payloadFileName, const QString& dateTimeText)
{
    const QFileInfo info(payloadFileName);
    EncodeRequest request;
    request.payloadPath = info.absoluteFilePath();
    request.fileName = info.fileName();
    request.dateTime = storableDateTime(dateTimeText);
    request.payloadSize = info.size();
    return planEncode(picture, request);
}

namespace {

// One encode for pictures in memory and rows of a file alike.
template <typename Carrier>
bool encodePayloadInto(Carrier& picture, const QString& payloadFileName, uint32_t keyLow, uint32_t keyHigh,
                       const EncodeOptions& options, const TProgressProc& progress, ReportList* report)
{
    const QFileInfo info(payloadFileName);
    const QString fullPath = payloadFileName.isEmpty() ? QString() : info.absoluteFilePath();
    const QString dateTime =
        storableDateTime(options.dateTimeText.isNull() ? currentDateTimeText() : options.dateTimeText);
    AddReportLine(report, QStringLiteral("Encoding: ") + fullPath);
    AddReportLine(report, QStringLiteral("Date/Time: ") + dateTime);
    if (!keyHalvesUsable(keyLow, keyHigh)) {
        AddReportLine(report, unusableKeyLine());
        return false;
    }
    if (progress)
        progress(-1);
    if (!encodeInputsReady(picture, fullPath, report))
        return false;
    if (options.stealth && options.paletteCount <= 256) {
        AddReportLine(report, QStringLiteral("ERROR: Stealth mode needs a true-colour picture, not a palette."));
        return false;
    }

    QFile file(fullPath);
    if (!openPayload(file, report))
        return false;
    EncodeRequest request;
    request.payloadPath = fullPath;
    request.fileName = info.fileName();
    request.dateTime = dateTime;
    request.payloadSize = file.size();
    request.palette = &options.palette;
    request.paletteCount = options.paletteCount;
    const EncodePlan plan = planEncode(picture, request);
    for (const QString& line : plan.lines)
        AddReportLine(report, line);
    if (!plan.accepted)
        return false;
    QByteArray payload;
    if (!readPayload(file, plan.payloadSize, payload, report))
        return false;
    // A stored size of 0 is never read back, so an empty file would be hidden
    // for good; a sealed one is not, its container is never empty. Known only
    // once read: some files report no size and still hold data.
    if (payload.isEmpty()) {
        AddReportLine(report, QStringLiteral("ERROR: ") + nothingToHideText(fullPath));
        return false;
    }

    CarrierStyle style;
    style.palette = &options.palette;
    style.paletteCount = options.paletteCount;
    style.dither = options.dither;
    style.stealth = options.stealth;
    return writePlannedStream(picture, plan, payload, keyLow, keyHigh, style, progress, report);
}

} // namespace

bool encodePayloadWith(QImage& picture, const QString& payloadFileName, uint32_t keyLow, uint32_t keyHigh,
                       const EncodeOptions& options, const TProgressProc& progress, ReportList* report)
{
    return encodePayloadInto(picture, payloadFileName, keyLow, keyHigh, options, progress, report);
}

bool encodePayloadWith(PixelRows& rows, const QString& payloadFileName, uint32_t keyLow, uint32_t keyHigh,
                       const EncodeOptions& options, const TProgressProc& progress, ReportList* report)
{
    return encodePayloadInto(rows, payloadFileName, keyLow, keyHigh, options, progress, report);
}

bool writePlannedStream(QImage& picture, const EncodePlan& plan, const QByteArray& payload, uint32_t keyLow,
                        uint32_t keyHigh, CarrierStyle style, const TProgressProc& progress, ReportList* report)
{
    PictureRows rows(picture);
    return writePlannedStream(rows, plan, payload, keyLow, keyHigh, style, progress, report);
}

bool writePlannedStream(PixelRows& picture, const EncodePlan& plan, const QByteArray& payload, uint32_t keyLow,
                        uint32_t keyHigh, CarrierStyle style, const TProgressProc& progress, ReportList* report)
{
    std::vector<uint64_t> directions;
    if (style.stealth) {
        // One direction bit per stream pixel, all drawn before a pixel changes.
        if (!systemRandomWords(directions, size_t((plan.streamLength * 8 + 63) / 64))) {
            AddReportLine(report, QStringLiteral("ERROR: The system's random source cannot be read."));
            return false;
        }
        style.directions = directions;
        AddReportLine(report, QStringLiteral("Stealth Mode: changed blue values move by one; "
                                             "pixels after the data keep their values"));
    }
    const int64_t written = writeHiddenStream(picture, plan.header, payload, keyLow, keyHigh, style, progress);
    const bool complete = written == plan.streamLength;
    AddReportLine(report, QStringLiteral("File Encode: ")
                              + (complete ? QStringLiteral("Successful") : QStringLiteral("Failed"))
                              + QStringLiteral(", Bytes Encoded: ") + QString::number(written));
    return complete;
}

bool EncodePayload(QImage& picture, const TPaletteArray& palette, int32_t paletteCount, const TProgressProc& progress,
                   ReportList* report, uint32_t keyLow, uint32_t keyHigh, const QString& payloadFileName, bool dither)
{
    EncodeOptions options;
    options.palette = palette;
    options.paletteCount = paletteCount;
    options.dither = dither;
    return encodePayloadWith(picture, payloadFileName, keyLow, keyHigh, options, progress, report);
}

bool EncodePayloadTrueColor(QImage& picture, const QString& payloadFileName, ReportList* report,
                            const TProgressProc& progress, uint32_t keyLow, uint32_t keyHigh)
{
    return encodePayloadWith(picture, payloadFileName, keyLow, keyHigh, EncodeOptions{}, progress, report);
}

} // namespace ostrel
