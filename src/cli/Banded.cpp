// SPDX-License-Identifier: Apache-2.0
#include "cli/Banded.h"

#include "imageio/GraphicsIOUnit.h"

#include <array>
#include <cstdint>

namespace ostrel::cli {

namespace {

// A small set of colours, enough to tell whether there are more than 512.
class SmallColourSet {
public:
    // False once the set is full.
    bool add(uint32_t colour)
    {
        size_t at = (colour * 2654435761u) >> (32 - kBits);
        while (m_slots[at] != kEmpty) {
            if (m_slots[at] == colour)
                return true;
            at = (at + 1) & (kSlots - 1);
        }
        m_slots[at] = colour;
        return ++m_count <= kMost;
    }

private:
    static constexpr int kBits = 11;
    static constexpr size_t kSlots = size_t(1) << kBits;
    static constexpr int kMost = 512;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu; // no 24-bit colour
    std::array<uint32_t, kSlots> m_slots = [] {
        std::array<uint32_t, kSlots> empty{};
        empty.fill(kEmpty);
        return empty;
    }();
    int m_count = 0;
};

} // namespace

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
    return QStringLiteral("Cannot read %1: the file ends before the picture does.").arg(path);
}

bool staysTrueColour(PixelRows& rows)
{
    SmallColourSet colours;
    rows.passOnlyReads();
    for (int y = 0; y < rows.height(); ++y) {
        const uint8_t* pixel = rows.row(y);
        for (int x = 0; x < rows.width(); ++x, pixel += 3)
            if (!colours.add(uint32_t(pixel[0]) | uint32_t(pixel[1]) << 8 | uint32_t(pixel[2]) << 16))
                return true;
    }
    return false;
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
