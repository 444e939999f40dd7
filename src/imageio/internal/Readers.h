// SPDX-License-Identifier: Apache-2.0
#pragma once
// Every picture reader, one per format file. Each reports its tag and file
// name first and "<TAG> End." last, and leaves a picture even for a missing
// or damaged file (see LoadResult).
#include "imageio/LoadResult.h"
#include "util/FileIO.h"

namespace ostrel {

LoadResult LoadBmpFile(const LoadInput& input);      // bmp_reader.cpp
// The same from an open file: uncompressed 24-bit rows are read straight into
// the picture's rows (the file is read once and held once); other files are
// read whole. `error` says why when the file could not be read.
LoadResult loadBmpFromFile(const LoadInput& input, const OpenFile& file, QString* error = nullptr);
LoadResult LoadGifFile(const LoadInput& input);      // gif_reader.cpp
LoadResult LoadJpegFile(const LoadInput& input);     // jpeg.cpp
LoadResult LoadPcxFile(const LoadInput& input);      // pcx.cpp
LoadResult LoadMacPaintFile(const LoadInput& input); // macpaint.cpp
LoadResult LoadCamFile(const LoadInput& input);      // cam.cpp
LoadResult LoadTextFile(const LoadInput& input);     // text.cpp
LoadResult LoadExeFile(const LoadInput& input);      // exe.cpp
LoadResult LoadObjFile(const LoadInput& input);      // obj.cpp
LoadResult LoadThnFile(const LoadInput& input);      // thn.cpp
LoadResult LoadTiffFile(const LoadInput& input);     // tiff.cpp
LoadResult LoadIconFile(const LoadInput& input);     // ico.cpp
LoadResult LoadPngFile(const LoadInput& input);      // png.cpp
// mode 0..5 and colour 0..15 as the ".16K", ".320", ".160" and ".640" rows give them
LoadResult LoadCgaFile(const LoadInput& input, uint8_t mode, uint8_t colour); // cga.cpp

} // namespace ostrel
