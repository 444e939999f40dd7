// SPDX-License-Identifier: Apache-2.0
// Windows icons: a directory of images, each a DIB (colour bits plus an AND
// mask) or a PNG stream. One image is drawn on white, so transparent pixels
// come out white.
#include "ReaderKit.h"
#include "Readers.h"
#include "bmp_format.h"
#include "util/ByteReader.h"
#include "util/Picture.h"


#include <QImage>
#include <algorithm>
#include <array>
#include <optional>
#include <tuple>
#include <vector>

namespace ostrel {

namespace {

constexpr int kBlankSide = 32;
constexpr int kPreferredSide = 32; // the platform's standard icon size
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;
constexpr size_t kDirectoryHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;

// One directory entry's image, as its own header (not the directory) describes it.
struct IconImage {
    ByteView data; // from the image's offset to the end of the file
    bool png = false;
    int64_t width = 0;
    int64_t height = 0;
    int bits = 0;
    // DIB layout
    uint32_t headerSize = 0;
    bool bottomUp = true;
    uint32_t paletteEntries = 0;
    uint64_t colourStride = 0;
    uint64_t maskStride = 0;
};

bool isPng(ByteView data)
{
    return data.size() >= kit::kPngSignature.size()
        && std::equal(kit::kPngSignature.begin(), kit::kPngSignature.end(), data.begin());
}

// The PNG stream up to its end chunk, when every chunk lies inside the data.
// The decoder allocates a chunk's declared length before it reads the chunk,
// so a length beyond the file must never reach it.
std::optional<ByteView> pngStream(ByteView data)
{
    ByteReader reader(data);
    reader.skip(kit::kPngSignature.size());
    while (!reader.atEnd()) {
        const uint32_t length = reader.u32be();
        const ByteView name = reader.bytes(4);
        if (!reader.skip(length) || !reader.skip(4))
            return std::nullopt;
        if (std::equal(name.begin(), name.end(), "IEND"))
            return data.first(reader.pos());
    }
    return std::nullopt;
}

std::optional<IconImage> probePng(ByteView file, int64_t limit)
{
    const std::optional<ByteView> data = pngStream(file);
    if (!data)
        return std::nullopt;
    ByteReader reader(*data);
    reader.seek(16); // signature, IHDR length and name
    IconImage image;
    image.data = *data;
    image.png = true;
    image.width = reader.u32be();
    image.height = reader.u32be();
    const uint8_t depth = reader.u8();
    image.bits = depth * kit::pngChannels(reader.u8());
    if (reader.truncated() || !pictureSizeAllowed(image.width, image.height, limit))
        return std::nullopt;
    return image;
}

bool supportedDibDepth(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Checks the DIB's header against the pixel limit and the bytes present
// before anything is allocated for it.
std::optional<IconImage> probeDib(ByteView data, int64_t limit)
{
    ByteReader reader(data);
    IconImage image;
    image.data = data;
    image.headerSize = reader.u32le();
    const int32_t width = reader.i32le();
    const int32_t doubledHeight = reader.i32le();
    reader.skip(2); // planes
    image.bits = reader.u16le();
    const uint32_t compression = reader.u32le();
    reader.skip(12); // image size, resolution
    const uint32_t coloursUsed = reader.u32le();
    if (reader.truncated() || image.headerSize < bmp::kInfoHeaderSize || compression != bmp::kBiRgb ||
        !supportedDibDepth(image.bits) || width <= 0)
        return std::nullopt;
    // The height counts the colour rows and the mask rows.
    image.width = width;
    image.height = (doubledHeight < 0 ? -int64_t(doubledHeight) : int64_t(doubledHeight)) / 2;
    image.bottomUp = doubledHeight > 0;
    if (!pictureSizeAllowed(image.width, image.height, limit))
        return std::nullopt;
    if (image.bits <= 8) {
        const uint32_t full = 1u << image.bits;
        image.paletteEntries = coloursUsed != 0 && coloursUsed < full ? coloursUsed : full;
    }
    image.colourStride = bmp::rowStride(uint64_t(image.width), image.bits);
    image.maskStride = bmp::rowStride(uint64_t(image.width), 1);
    const uint64_t needed = uint64_t(image.headerSize) + image.paletteEntries * 4ull +
                            image.colourStride * uint64_t(image.height);
    if (needed > data.size())
        return std::nullopt;
    return image;
}

struct Directory {
    std::vector<IconImage> images;
    bool valid = false;     // a directory header was found
    bool cutShort = false;  // it lists more entries than the file holds
};

Directory readDirectory(ByteView file, int64_t limit)
{
    Directory directory;
    ByteReader reader(file);
    const uint16_t reserved = reader.u16le();
    const uint16_t type = reader.u16le();
    const uint16_t count = reader.u16le();
    directory.valid = !reader.truncated() && reserved == 0 && (type == kIconType || type == kCursorType) && count > 0;
    if (!directory.valid)
        return directory;
    for (size_t i = 0; i < count; ++i) {
        reader.seek(kDirectoryHeaderSize + i * kDirectoryEntrySize + 12);
        const uint32_t offset = reader.u32le();
        if (reader.truncated()) {
            directory.cutShort = true;
            break;
        }
        if (offset >= file.size())
            continue;
        const ByteView data = file.subspan(offset);
        std::optional<IconImage> image = isPng(data) ? probePng(data, limit) : probeDib(data, limit);
        if (image)
            directory.images.push_back(*image);
    }
    return directory;
}

// The platform's choice on a true-colour screen: the standard size in the
// most colours; failing that, the largest image in the most colours.
const IconImage* chooseImage(const std::vector<IconImage>& images)
{
    const IconImage* best = nullptr;
    auto rank = [](const IconImage& image) {
        const bool standard = image.width == kPreferredSide && image.height == kPreferredSide;
        return std::make_tuple(standard, image.width * image.height, image.bits);
    };
    for (const IconImage& image : images)
        if (!best || rank(image) > rank(*best))
            best = &image;
    return best;
}

// Straight alpha over white.
uint8_t overWhite(uint8_t value, uint8_t alpha)
{
    return uint8_t((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

QImage drawPng(const IconImage& image, int64_t limit)
{
    QImage decoded = QImage::fromData(image.data.data(), int(std::min<size_t>(image.data.size(), INT32_MAX)), "PNG");
    if (decoded.isNull() || decoded.width() != image.width || decoded.height() != image.height)
        return {};
    decoded.convertTo(QImage::Format_ARGB32);
    QImage picture = allocatePicture(image.width, image.height, limit);
    if (picture.isNull())
        return {};
    for (int y = 0; y < picture.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = source[x];
            const uint8_t a = uint8_t(qAlpha(c));
            kit::putPixel(row, x, {overWhite(uint8_t(qRed(c)), a), overWhite(uint8_t(qGreen(c)), a),
                                   overWhite(uint8_t(qBlue(c)), a)});
        }
    }
    return picture;
}

class DibPainter {
public:
    explicit DibPainter(const IconImage& image) : m_image(image)
    {
        ByteReader reader(image.data);
        reader.seek(image.headerSize);
        for (uint32_t i = 0; i < image.paletteEntries; ++i) {
            const uint8_t blue = reader.u8(), green = reader.u8(), red = reader.u8();
            reader.skip(1);
            m_palette[i] = {red, green, blue};
        }
        m_colourStart = image.headerSize + image.paletteEntries * 4ull;
        m_maskStart = m_colourStart + image.colourStride * uint64_t(image.height);
        m_useAlpha = image.bits == 32 && anyAlpha();
    }

    // False when part of the mask was missing (those pixels stay opaque).
    bool paint(QImage& picture) const
    {
        bool maskWhole = true;
        for (int y = 0; y < picture.height(); ++y) {
            const int fileRow = m_image.bottomUp ? picture.height() - 1 - y : y;
            const uint8_t* colours = m_image.data.data() + m_colourStart + uint64_t(fileRow) * m_image.colourStride;
            const ByteView mask = maskRow(fileRow);
            if (!m_useAlpha && mask.size() < (uint64_t(picture.width()) + 7) / 8)
                maskWhole = false;
            uint8_t* row = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x) {
                const kit::Rgb colour = pixelColour(colours, x);
                if (m_useAlpha)
                    kit::putPixel(row, x, {overWhite(colour.red, colours[4 * x + 3]),
                                           overWhite(colour.green, colours[4 * x + 3]),
                                           overWhite(colour.blue, colours[4 * x + 3])});
                else if (!maskBit(mask, x))
                    kit::putPixel(row, x, colour);
            }
        }
        return maskWhole;
    }

private:
    kit::Rgb pixelColour(const uint8_t* colours, int x) const
    {
        switch (m_image.bits) {
        case 1: return m_palette[(colours[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return m_palette[(colours[x >> 1] >> (x & 1 ? 0 : 4)) & 0x0F];
        case 8: return m_palette[colours[x]];
        case 16: {
            const unsigned v = colours[2 * x] | colours[2 * x + 1] << 8;
            auto expand = [](unsigned five) { return uint8_t(five << 3 | five >> 2); };
            return {expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31)};
        }
        case 24: return {colours[3 * x + 2], colours[3 * x + 1], colours[3 * x]};
        default: return {colours[4 * x + 2], colours[4 * x + 1], colours[4 * x]};
        }
    }

    // The part of one mask row that the file holds.
    ByteView maskRow(int fileRow) const
    {
        const uint64_t start = m_maskStart + uint64_t(fileRow) * m_image.maskStride;
        if (start >= m_image.data.size())
            return {};
        return m_image.data.subspan(
            size_t(start), size_t(std::min<uint64_t>(m_image.maskStride, m_image.data.size() - start)));
    }

    static bool maskBit(ByteView mask, int x)
    {
        const size_t byte = size_t(x) >> 3;
        return byte < mask.size() && (mask[byte] >> (7 - (x & 7))) & 1;
    }

    // Icons of 32 bits whose alpha bytes are all zero rely on their mask instead.
    bool anyAlpha() const
    {
        for (int64_t y = 0; y < m_image.height; ++y) {
            const uint8_t* colours = m_image.data.data() + m_colourStart + uint64_t(y) * m_image.colourStride;
            for (int64_t x = 0; x < m_image.width; ++x)
                if (colours[4 * x + 3] != 0)
                    return true;
        }
        return false;
    }

    const IconImage& m_image;
    std::array<kit::Rgb, 256> m_palette{}; // indices past the file's palette are black
    uint64_t m_colourStart = 0;
    uint64_t m_maskStart = 0;
    bool m_useAlpha = false;
};

} // namespace

LoadResult LoadIconFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "ICO", kBlankSide, kBlankSide);
    if (!input.exists)
        return run.finish(LoadStop::Missing);
    const Directory directory = readDirectory(input.data, run.pixelLimit());
    if (!directory.valid)
        return run.finish(input.data.size() < kDirectoryHeaderSize ? LoadStop::Truncated : LoadStop::BadSignature);
    const IconImage* image = chooseImage(directory.images);
    if (!image)
        return run.finish(directory.cutShort ? LoadStop::Truncated : LoadStop::Corrupt);
    run.value(QStringLiteral("Width"), image->width);
    run.value(QStringLiteral("Height"), image->height);

    if (image->png) {
        QImage picture = drawPng(*image, run.pixelLimit());
        if (picture.isNull())
            return run.finish(LoadStop::Corrupt);
        run.picture() = std::move(picture);
        return run.finish(LoadStop::Complete);
    }
    QImage picture = allocateFilledPicture(image->width, image->height, 255, 255, 255, run.pixelLimit());
    if (picture.isNull())
        return run.finish(LoadStop::OverLimit);
    const bool maskWhole = DibPainter(*image).paint(picture);
    run.picture() = std::move(picture);
    return run.finish(maskWhole ? LoadStop::Complete : LoadStop::Truncated);
}

} // namespace ostrel
