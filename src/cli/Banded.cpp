// SPDX-License-Identifier: Apache-2.0
#include "cli/Banded.h"

#include "colour/ColourCount.h"
#include "imageio/GraphicsIOUnit.h"

namespace ostrel::cli {

std::optional<BandedPicture> openBanded(const QString& path)
{
    if (upperExtension(path) != QLatin1String(".BMP"))
        return std::nullopt;
    Result<OpenFile> file = openRegularFile(path);
    if (!file)
        return std::nullopt;
    const std::optional<StoredBmpRows> layout = storedTrueColourRows(*file, path);
    if (!layout)
        return std::nullopt;
    return BandedPicture{path, std::move(*file), *layout};
}

std::unique_ptr<CarrierRows> CarrierRows::open(const QString& path, const WholeLoader& loadWhole)
{
    auto carrier = std::make_unique<CarrierRows>();
    if (std::optional<BandedPicture> banded = openBanded(path)) {
        carrier->m_banded.emplace(std::move(*banded));
        carrier->m_band = std::make_unique<BmpFileRows>(carrier->m_banded->file, carrier->m_banded->layout);
        return carrier;
    }
    std::optional<QImage> picture = loadWhole(path);
    if (!picture)
        return nullptr;
    carrier->m_picture = std::move(*picture);
    carrier->m_whole = std::make_unique<PictureRows>(PictureRows::readOnly(carrier->m_picture));
    return carrier;
}

void CarrierRows::reportTo(const TProgressProc& progress)
{
    if (!m_band || !progress)
        return;
    m_progress = progress;
    m_band->reportTo(progress);
}

void CarrierRows::doneReading()
{
    if (m_progress)
        m_progress(100);
    m_progress = {};
    if (m_band)
        m_band->reportTo({});
}

QString shortenedWhileReadText(const QString& path)
{
    return QStringLiteral("Cannot read %1: %2.").arg(path, incompleteLoadReason(LoadStop::Truncated));
}

bool staysTrueColour(PixelRows& rows)
{
    rows.passOnlyReads();
    return hasMoreColoursThan(rows, 512);
}

bool changeIntoFile(BmpFileRows& rows, const QString& carrierPath, const QString& outPath,
                    const std::function<bool(PixelRows&)>& change, QString& readError, QString& writeError)
{
    bool changed = false;
    const Outcome written = writeFileAtomicallyPlaced(outPath, [&](const PlacedSink& sink) {
        rows.writeTo(sink);
        changed = change(rows);
        return changed && rows.finishWriting() && rows.intact();
    });
    if (!written)
        writeError = written.error();
    if (!rows.intact())
        readError = shortenedWhileReadText(carrierPath);
    return written.ok() && changed && rows.intact();
}

} // namespace ostrel::cli
