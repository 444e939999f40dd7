// SPDX-License-Identifier: Apache-2.0
#pragma once
// How many payload bytes a picture can carry, as the status line reports it.
#include <QString>
#include <cstdint>

namespace ostrel {

// ((W × H) + 7) div 8 − 100: one bit per pixel, less a margin for the header
// and checksum. Negative for very small pictures.
int64_t capacityBytes(int64_t width, int64_t height);

// "Image has space for approximately N Bytes of hidden data", N with commas.
QString capacityLine(int64_t width, int64_t height);

} // namespace ostrel
