// SPDX-License-Identifier: Apache-2.0
#include "engine/EncodePlan.h"

#include "engine/RunReport.h"
#include "util/Text.h"

#include "PayloadFormat.h"

#include <algorithm>

namespace ostrel {

namespace {

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

QString storableDateTime(QString text)
{
    text.remove(QChar(0));
    while (toAnsiBytes(text).size() > kDateTimeReadLimit)
        text.chop(1);
    return text;
}

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

EncodePlan planEncode(const QImage& picture, const EncodeRequest& request)
{
    return planEncode(PictureRows::readOnly(picture), request);
}

EncodePlan planEncode(const PixelRows& picture, const EncodeRequest& request)
{
    EncodePlan plan;
    const auto refuse = [&](const QString& line) {
        plan.lines.append(line);
        return plan;
    };
    const bool paletteMode = request.paletteCount <= 256;
    if (paletteMode && (!request.palette || !paletteHoldsBothParities(*request.palette, request.paletteCount)))
        return refuse(QStringLiteral("ERROR: The palette needs colours with both even and odd blue values."));
    if (request.payloadSize > kLargestPayload)
        return refuse(QStringLiteral("ERROR: %1 holds %2 Bytes; at most %3 Bytes can be hidden.")
                          .arg(request.payloadPath, QString::number(request.payloadSize),
                               QString::number(kLargestPayload)));
    const QByteArray nameBytes = toAnsiBytes(request.fileName);
    if (nameBytes.size() > kNameReadLimit)
        return refuse(QStringLiteral("ERROR: File name longer than %1 Bytes cannot be stored.").arg(kNameReadLimit));

    plan.payloadSize = request.payloadSize;
    plan.header = payloadHeader(nameBytes, toAnsiBytes(request.dateTime), uint32_t(request.payloadSize));
    plan.availableBits = int64_t(picture.width()) * picture.height();
    plan.streamLength = plan.header.size() + request.payloadSize + kChecksumBytes;
    plan.lines.append(imageSizeLine(picture));
    plan.lines.append(sizeLine(QStringLiteral("File Size: "), request.payloadSize, " Bytes"));
    plan.lines.append(sizeLine(QStringLiteral("Space Required: "), plan.streamLength * 8, " Bits"));
    plan.lines.append(sizeLine(QStringLiteral("Space Available: "), plan.availableBits, " Bits"));
    if (plan.availableBits < plan.streamLength * 8)
        return refuse(QStringLiteral("Insufficient Space to Encode File."));
    plan.accepted = true;
    return plan;
}

} // namespace ostrel
