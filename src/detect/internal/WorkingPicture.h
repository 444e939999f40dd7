// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "detect/Detection.h"
#include "util/Picture.h"

#include <QImage>

namespace ostrel {

// The detectors read rows of blue, green, red bytes; a picture in any other
// format is read through a converted copy. A picture without pixels is null.
inline QImage inWorkingFormat(const QImage& picture)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    return inPictureFormat(picture);
}

} // namespace ostrel
