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

bool encodeInputsReady(QImage& picture, const QString& payloadFullPath, ReportList* report)
{
    if (picture.isNull()) {
        AddReportLine(report, QStringLiteral("Bitmap Not Assigned"));
        return false;
    }
    if (payloadFullPath.isEmpty() || !QFileInfo(payloadFullPath).isFile()) {
        AddReportLine(report, QStringLiteral("File not Found"));
        return false;
    }
    return convertCarrier(picture, report);
}

QString imageSizeLine(const QImage& picture)
{
    return QStringLiteral("Image Size: ") + pictureSizeText(picture) + QStringLiteral(" Pixels");
}

} // namespace ostrel
