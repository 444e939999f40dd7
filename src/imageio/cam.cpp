// SPDX-License-Identifier: Apache-2.0
// Casio QV camera files (".CAM"): a directory of areas, of which only the
// 52×36 thumbnail is painted; the main image is reported, not decoded.
#include "colour/Drawing.h"
#include "util/ByteReader.h"
#include "util/Fonts.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace ostrel {

namespace {

constexpr int kCamWidth = 320;
constexpr int kCamHeight = 240;
constexpr size_t kMaxCamFileSize = 10000000;
constexpr std::array<uint8_t, 4> kCamSignature = {0x07, 0x20, 0x4D, 0x4D};
constexpr size_t kDirectoryOffset = 6;
constexpr size_t kDirectoryEntrySize = 16;
constexpr size_t kMaxAreas = 100;

enum AreaType : uint16_t { kCommentArea = 1, kThumbnailArea = 2, kMainImageArea = 3 };

constexpr int kThumbWidth = 52;
constexpr int kThumbHeight = 36;
constexpr uint32_t kThumbBytes = kThumbWidth * kThumbHeight * 3; // 5616
constexpr int kThumbLeft = 134;
constexpr int kThumbTop = 102;

constexpr size_t kQuantTableSize = 64;
constexpr size_t kMainImageDumpSize = 128;
// A comment is reported in hex up to this length.
constexpr size_t kMaxCommentDump = 1024;

struct Area {
    uint16_t type = 0;
    uint32_t length = 0;
    uint64_t start = 0;
};

// "07 20 4D 4D": the report's hex bytes without the blank after the last.
QString spacedHex(ByteView bytes)
{
    return hexBytes(bytes).trimmed();
}

// Text with its top at y, in the font of the program's labelled pictures.
void drawLabel(QImage& picture, int x, int y, const QString& text)
{
    if (picture.isNull())
        return;
    QPainter painter(&picture);
    painter.setFont(courierBold10());
    painter.setPen(Qt::black);
    drawTextTopAt(painter, x, y, text);
}

// The bytes of an area that the file holds.
ByteView areaBytes(ByteView file, const Area& area)
{
    if (area.start >= file.size())
        return {};
    return file.subspan(size_t(area.start), std::min<uint64_t>(area.length, file.size() - area.start));
}

void paintThumbnail(QImage& picture, ByteView pixels)
{
    const uint8_t* source = pixels.data();
    for (int y = 0; y < kThumbHeight; ++y) {
        uint8_t* row = picture.scanLine(kThumbTop + y);
        for (int x = 0; x < kThumbWidth; ++x, source += 3)
            kit::putPixel(row, kThumbLeft + x, {source[0], source[1], source[2]});
    }
}

// The quantisation tables of the main image's JPEG stream (luminance first),
// found by their markers.
void reportQuantTables(kit::ReaderRun& run, ByteView image)
{
    static const char* const kTableNames[] = {"Y", "U,V"};
    size_t found = 0;
    for (size_t i = 0; i + 5 + kQuantTableSize <= image.size() && found < 2; ++i) {
        if (image[i] != 0xFF || image[i + 1] != 0xDB)
            continue;
        // marker, 16-bit length, then precision/table byte and 64 values
        run.value(QString::fromLatin1(kTableNames[found]), spacedHex(image.subspan(i + 5, kQuantTableSize)));
        ++found;
    }
}

void reportMainImage(kit::ReaderRun& run, ByteView file, const Area& area)
{
    const ByteView image = areaBytes(file, area);
    run.value(QStringLiteral("Elements"), qint64(area.length));
    reportQuantTables(run, image);
    run.value(QStringLiteral("Image Area Start, Bytes Remain"),
              QStringLiteral("%1, %2").arg(area.start).arg(file.size() > area.start ? file.size() - area.start : 0));
    run.line(spacedHex(image.first(std::min(image.size(), kMainImageDumpSize))));
}

// The file whole and signed as a camera file, or how the load stops.
std::optional<LoadStop> checkCamFile(kit::ReaderRun& run, ByteView data, ByteView file)
{
    run.line(QStringLiteral("File Size = %1").arg(data.size()));
    if (file.size() < data.size()) {
        run.line(QStringLiteral("Could Not Read Entire File"));
        run.value(QStringLiteral("File Size"), qint64(data.size()));
        run.value(QStringLiteral("Actually Read"), qint64(file.size()));
        return LoadStop::OverLimit;
    }
    const ByteView head = file.first(std::min<size_t>(file.size(), kCamSignature.size()));
    if (!std::equal(head.begin(), head.end(), kCamSignature.begin(), kCamSignature.end())) {
        run.line(QStringLiteral("CAM File Signature Illegal: ") + spacedHex(head) + QStringLiteral(" (expected ") +
                 spacedHex(kCamSignature) + QLatin1Char(')'));
        return LoadStop::BadSignature;
    }
    return std::nullopt;
}

// The directory's areas (at most kMaxAreas), each starting where the one
// before it ends, right after the directory; `truncated` when the directory
// runs past the end of the file.
std::vector<Area> readDirectory(kit::ReaderRun& run, ByteView file, bool& truncated)
{
    ByteReader reader(file);
    reader.seek(kCamSignature.size());
    const uint16_t areaCount = reader.u16be();
    std::vector<Area> areas;
    uint64_t start = kDirectoryOffset + uint64_t(kDirectoryEntrySize) * areaCount;
    for (size_t i = 0; i < std::min<size_t>(areaCount, kMaxAreas); ++i) {
        reader.seek(kDirectoryOffset + i * kDirectoryEntrySize);
        Area area;
        area.type = reader.u16be();
        area.length = reader.u32be();
        if (reader.truncated())
            break;
        area.start = start;
        start += area.length;
        run.line(QStringLiteral("Loading  Area #%1 (Name=%2 Length=%3)").arg(i).arg(area.type).arg(area.length));
        areas.push_back(area);
    }
    for (size_t i = 0; i < areas.size(); ++i)
        run.line(QStringLiteral("Patching Area #%1 Start=%2").arg(i).arg(areas[i].start));
    truncated = reader.truncated();
    return areas;
}

// Reports every area and paints the thumbnail; how the load ends, given
// `stop` from reading the directory.
LoadStop useAreas(kit::ReaderRun& run, ByteView file, const std::vector<Area>& areas, bool thumbnailsOnly,
                  LoadStop stop)
{
    const QString ignored = QStringLiteral(" (Ignored)");
    bool thumbnailPainted = false;
    for (size_t index = 0; index < areas.size(); ++index) {
        const Area& area = areas[index];
        const ByteView bytes = areaBytes(file, area);
        const bool whole = bytes.size() == area.length;
        if (!whole)
            stop = LoadStop::Truncated;
        switch (area.type) {
        case kCommentArea:
            run.value(QStringLiteral("Comment Type %1").arg(index),
                      spacedHex(bytes.first(std::min(bytes.size(), kMaxCommentDump))));
            break;
        case kThumbnailArea:
            run.line(QStringLiteral("Thumbnail") + (thumbnailsOnly ? QString() : ignored));
            if (area.length == kThumbBytes && whole) {
                paintThumbnail(run.picture(), bytes);
                thumbnailPainted = true;
            }
            break;
        case kMainImageArea:
            run.line(QStringLiteral("Main Image") + (thumbnailsOnly ? ignored : QString()));
            if (!thumbnailsOnly)
                reportMainImage(run, file, area);
            break;
        default:
            run.line(QStringLiteral("Function Not Supported"));
            break;
        }
    }
    if (stop == LoadStop::Complete && !thumbnailPainted)
        stop = LoadStop::Unsupported;
    return stop;
}

} // namespace

LoadResult LoadCamFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "CAM", kCamWidth, kCamHeight);
    drawLabel(run.picture(), 5, 5, QStringLiteral("CAM Read Incomplete"));
    drawLabel(run.picture(), 5, 25, QStringLiteral("Use Thumbnails Only"));
    if (!input.exists)
        return run.finish(LoadStop::Missing);

    // The camera never writes more; a larger file is read only in part, and not used.
    const ByteView file = input.data.first(std::min(input.data.size(), kMaxCamFileSize));
    if (const std::optional<LoadStop> stop = checkCamFile(run, input.data, file))
        return run.finish(*stop);
    bool truncated = false;
    const std::vector<Area> areas = readDirectory(run, file, truncated);
    return run.finish(useAreas(run, file, areas, input.options.CamThumbnailsOnly,
                               truncated ? LoadStop::Truncated : LoadStop::Complete));
}

} // namespace ostrel
