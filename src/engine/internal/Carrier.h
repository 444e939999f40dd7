// SPDX-License-Identifier: Apache-2.0
#pragma once
// The carrier: one hidden bit in bit 0 of the blue byte of every pixel, pixels
// taken row by row from the top, left to right, each bit combined with one
// keystream bit. Bits travel 64 at a time as words whose bit i belongs to the
// i-th pixel, and bytes are split most significant bit first.
#include "colour/PaletteSearch.h"
#include "engine/TRandom.h"
#include "ValueMover.h"
#include "util/PixelRows.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace ostrel {

// Eight stream bytes as a word whose bit i is stream bit i (bit 7 of byte 0 first).
uint64_t streamWordFromBytes(const uint8_t* bytes);
// The inverse: writes eight bytes.
void streamBytesFromWord(uint64_t word, uint8_t* bytes);

// Stores the encrypted stream into a picture in the working format and then
// every remaining pixel's keystream bit. In palette mode (a search is given)
// each pixel becomes the nearest palette colour whose blue value has the
// wanted parity, optionally with error diffusion.
class CarrierWriter {
public:
    CarrierWriter(QImage& picture, TRandom& random, const TProgressProc& progress, TPaletteSearch* search = nullptr,
                  bool dither = false);
    // The same over rows visited from the top, which may be a band of a file.
    CarrierWriter(PixelRows& rows, TRandom& random, const TProgressProc& progress, TPaletteSearch* search = nullptr,
                  bool dither = false);

    // True colour only: a blue value whose lowest bit must change moves by
    // one instead (0 always up, 255 always down), in the direction that
    // keeps its neighbouring pairs as untilted as they were (see ValueMover);
    // where the direction is free, up when bit k of `directions` is set for
    // stream pixel k. finish() changes no pixel after the stream. Bits past
    // the end of `directions` count as down.
    void moveValuesBy(std::span<const uint64_t> directions);

    void writeBytes(const uint8_t* data, size_t size);
    // Ends the stream: every pixel not yet written takes a keystream bit
    // alone, unless values are moved, which leaves them as they are.
    void finish();

private:
    void writeStreamWord(uint64_t streamBits, int count = 64);
    void storePixelBits(uint64_t bits, int bitCount);
    void storeTrueColourRun(uint8_t* row, int column, uint64_t bits, int count);
    void storeMovedRun(uint8_t* row, int column, uint64_t bits, uint64_t ups, int count);
    void storePaletteRun(uint8_t* row, int column, uint64_t bits, int count);
    void nextRow();

    std::unique_ptr<PictureRows> m_ownRows; // when made from a picture
    PixelRows& m_rows;
    TRandom& m_random;
    TProgressProc m_progress;
    TPaletteSearch* m_search;
    bool m_dither;
    int m_width, m_height;
    int m_row = 0, m_column = 0;
    uint8_t* m_rowData = nullptr;
    bool m_finished = false;
    uint8_t m_pending[8] = {};
    size_t m_pendingCount = 0;
    std::unique_ptr<ValueMover> m_mover; // only when values are moved
    std::span<const uint64_t> m_directions;
    size_t m_word = 0; // the stream word being stored: pixels 64 × m_word on
};

// Reads the encrypted stream back. Past the last pixel it keeps reading the
// last row again, as the format's reader always has.
class CarrierReader {
public:
    CarrierReader(const QImage& picture, TRandom& random);
    CarrierReader(PixelRows& rows, TRandom& random);

    uint8_t readByte();
    void readBytes(uint8_t* out, size_t size);

private:
    uint64_t nextPixelBits();
    void refill();

    std::unique_ptr<PictureRows> m_ownRows; // when made from a picture
    PixelRows& m_rows;
    TRandom& m_random;
    int m_width, m_height;
    int m_row = 0, m_column = 0;
    const uint8_t* m_rowData = nullptr;
    uint8_t m_decoded[8] = {};
    size_t m_decodedPos = 8;
};

} // namespace ostrel
