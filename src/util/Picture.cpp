// SPDX-License-Identifier: Apache-2.0
#include "util/Picture.h"

#include <limits>

namespace ostrel {

bool pictureSizeAllowed(int64_t width, int64_t height, int64_t limit)
{
    if (width < 1 || height < 1)
        return false;
    if (width > std::numeric_limits<int>::max() / 4 || height > std::numeric_limits<int>::max())
        return false;
    if (width > limit / height)
        return false;
    // QImage keeps rows 4-byte aligned and its byte count must fit in qsizetype.
    int64_t rowBytes = (width * 3 + 3) / 4 * 4;
    return rowBytes <= std::numeric_limits<int64_t>::max() / height;
}

QImage allocatePicture(int64_t width, int64_t height, int64_t limit)
{
    if (!pictureSizeAllowed(width, height, limit))
        return {};
    QImage picture(int(width), int(height), kPictureFormat);
    return picture; // null when QImage could not get the memory
}

QImage allocateFilledPicture(int64_t width, int64_t height, uint8_t red, uint8_t green, uint8_t blue,
                             int64_t limit)
{
    QImage picture = allocatePicture(width, height, limit);
    if (!picture.isNull())
        picture.fill(QColor(red, green, blue));
    return picture;
}

bool ensurePictureFormat(QImage& picture)
{
    if (picture.isNull() || picture.format() == kPictureFormat)
        return false;
    picture.convertTo(kPictureFormat);
    return true;
}

QString pictureSizeText(const QImage& picture) { return pictureSizeText(picture.width(), picture.height()); }

QString pictureSizeText(int64_t width, int64_t height)
{
    return QString::number(width) + QChar(0x00D7) + QString::number(height);
}

} // namespace ostrel
