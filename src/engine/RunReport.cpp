// SPDX-License-Identifier: Apache-2.0
#include "engine/RunReport.h"

#include "engine/TRandom.h"
#include "util/Picture.h"

#include <QFileInfo>

namespace ostrel {

QString unusableKeyLine()
{
    return QStringLiteral("This password cannot be used: please choose another one.");
}

bool keyHalvesUsable(uint32_t keyLow, uint32_t keyHigh)
{
    return keyCanProduceBits((uint64_t(keyHigh) << 32) | keyLow);
}

bool convertCarrier(QImage& picture, ReportList* report)
{
    if (picture.format() == kPictureFormat)
        return true;
    AddReportLine(report, QStringLiteral("Converting to 24-Bit"));
    ensurePictureFormat(picture);
    if (picture.format() == kPictureFormat)
        return true;
    AddReportLine(report, QStringLiteral("ERROR: Not enough memory to convert the picture."));
    return false;
}

bool carrierMissing(const QImage& picture) { return picture.isNull(); }
bool carrierMissing(const PixelRows& rows) { return rows.width() <= 0 || rows.height() <= 0; }
bool inWorkingFormat(QImage& picture, ReportList* report) { return convertCarrier(picture, report); }
bool inWorkingFormat(PixelRows&, ReportList*) { return true; }

namespace {

template <typename Carrier>
bool inputsReady(Carrier& carrier, const QString& payloadFullPath, ReportList* report)
{
    if (carrierMissing(carrier)) {
        AddReportLine(report, QStringLiteral("Bitmap Not Assigned"));
        return false;
    }
    if (payloadFullPath.isEmpty() || !QFileInfo(payloadFullPath).isFile()) {
        AddReportLine(report, QStringLiteral("File not Found"));
        return false;
    }
    return inWorkingFormat(carrier, report);
}

} // namespace

bool encodeInputsReady(QImage& picture, const QString& payloadFullPath, ReportList* report)
{
    return inputsReady(picture, payloadFullPath, report);
}

bool encodeInputsReady(PixelRows& rows, const QString& payloadFullPath, ReportList* report)
{
    return inputsReady(rows, payloadFullPath, report);
}

namespace {

QString fileLine(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("ERROR: %1 %2: %3").arg(what, path, reason);
}

} // namespace

bool openPayload(QFile& file, ReportList* report)
{
    if (file.open(QIODevice::ReadOnly))
        return true;
    AddReportLine(report, fileLine(QStringLiteral("Cannot open"), file.fileName(), file.errorString()));
    return false;
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

QString imageSizeLine(const QImage& picture)
{
    return QStringLiteral("Image Size: ") + pictureSizeText(picture) + QStringLiteral(" Pixels");
}

QString imageSizeLine(const PixelRows& rows)
{
    return QStringLiteral("Image Size: ") + pictureSizeText(rows.width(), rows.height()) + QStringLiteral(" Pixels");
}

} // namespace ostrel
