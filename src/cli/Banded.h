// SPDX-License-Identifier: Apache-2.0
#pragma once
// Carriers worked on a band of rows at a time: uncompressed 24-bit BMP files,
// whose rows are read straight from the file and, when changed, written
// straight into the output, so that memory does not grow with the picture.
// Every other picture is read whole.
#include "imageio/BmpRows.h"
#include "imageio/bmp.h"
#include "util/FileIO.h"

#include <QString>
#include <QImage>
#include <functional>
#include <memory>
#include <optional>

namespace ostrel::cli {

struct BandedPicture {
    QString path;
    OpenFile file;
    StoredBmpRows layout;
};

// The picture at `path` when it is such a file; nothing for every other file
// (the whole-picture path reads it and names whatever is wrong with it).
std::optional<BandedPicture> openBanded(const QString& path);

// The rows of a picture to read: a band at a time for such a file, else
// those of the whole picture `loadWhole` reads.
class CarrierRows {
public:
    using WholeLoader = std::function<std::optional<QImage>(const QString& path)>;
    // Nothing when the picture cannot be read (`loadWhole` says why).
    static std::unique_ptr<CarrierRows> open(const QString& path, const WholeLoader& loadWhole);
    // The rows refer to the file and the picture held here, so it stays
    // where it was made.
    CarrierRows() = default;
    CarrierRows(const CarrierRows&) = delete;
    CarrierRows& operator=(const CarrierRows&) = delete;
    PixelRows& rows() { return m_band ? static_cast<PixelRows&>(*m_band) : *m_whole; }
    // A file read a band at a time tells `progress` how far it has come;
    // doneReading() ends that (a picture read whole was done before).
    void reportTo(const TProgressProc& progress);
    void doneReading();

private:
    std::optional<BandedPicture> m_banded;
    QImage m_picture;
    std::unique_ptr<BmpFileRows> m_band;
    std::unique_ptr<PictureRows> m_whole;
    TProgressProc m_progress;
};

// "Cannot read PATH: the file ends before the picture does.", for rows found
// missing while they were read.
QString shortenedWhileReadText(const QString& path);

// Whether a picture hiding data in these rows still has more than 256
// colours, so that it is saved as a 24-bit file: true when the rows hold
// more than 512 colours, since changing the lowest blue bit can at most pair
// colours up. Reads only as many rows as it takes to see that.
bool staysTrueColour(PixelRows& rows);

// Runs `change` over the rows of the file `rows` come from, which begins a
// new pass over them, and writes the changed rows to `outPath` as a 24-bit
// BMP through the one safe writer. False when `change` fails (nothing is
// written), when the carrier turned out shorter than it was (`readError`
// says so) or the write failed (`writeError` says why).
bool changeIntoFile(BmpFileRows& rows, const QString& carrierPath, const QString& outPath,
                    const std::function<bool(PixelRows&)>& change, QString& readError, QString& writeError);

} // namespace ostrel::cli
