// SPDX-License-Identifier: Apache-2.0
#include "engine/Capacity.h"

#include "util/StandardUnit.h"

namespace ostrel {

int64_t capacityBytes(int64_t width, int64_t height)
{
    return (width * height + 7) / 8 - 100;
}

QString capacityLine(int64_t width, int64_t height)
{
    return QStringLiteral("Image has space for approximately ") + groupDigits(capacityBytes(width, height))
        + QStringLiteral(" Bytes of hidden data");
}

} // namespace ostrel
