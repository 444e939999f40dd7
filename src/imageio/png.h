// SPDX-License-Identifier: Apache-2.0
#pragma once
// PNG's chunk check, for code that writes PNG chunks. The reader is
// LoadPngFile (imageio/Readers.h).
#include "util/ByteReader.h"

#include <cstdint>

namespace ostrel {

// The CRC-32 that ends every chunk: over the chunk's 4-byte name and its data.
uint32_t pngChunkCrc(ByteView name, ByteView data);

} // namespace ostrel
