// SPDX-License-Identifier: Apache-2.0
#include "toolkit/Embedded_Resources.h"

#include "toolkit/GlyphNames.h"

#include "util/Picture.h"
#include "util/StandardUnit.h"

#include <QFile>

#include <algorithm>

// The glyphs are compiled into this static library; a program must register
// them itself, since nothing else refers to the generated resource code.
// Q_INIT_RESOURCE has to be used outside any namespace.
static void registerGlyphResources()
{
    Q_INIT_RESOURCE(glyphs);
}

namespace ostrel {

static_assert(kGlyphNames.size() == kDefinedResourceCount);

namespace {

constexpr std::array<Resource_Record, kDefinedResourceCount> makeRecords()
{
    std::array<Resource_Record, kDefinedResourceCount> records{};
    for (size_t i = 0; i < records.size(); ++i)
        records[i] = Resource_Record{kGlyphNames[i].resourceName, "BMP"};
    return records;
}

} // namespace

const std::array<Resource_Record, kDefinedResourceCount> Resource_Records = makeRecords();

namespace {

bool validGlyph(Defined_Resource glyph)
{
    return glyph >= 0 && glyph < kDefinedResourceCount;
}

// Resource names compare without regard to case, so the embedded files are
// stored under lower-case names.
QString resourcePath(const Resource_Record& record)
{
    return QStringLiteral(":/glyphs/") + QString::fromLatin1(record.name).toLower() + QStringLiteral(".bmp");
}

} // namespace

QString glyphEnumName(Defined_Resource glyph)
{
    return validGlyph(glyph) ? QString::fromLatin1(kGlyphNames[glyph].enumName) : QString();
}

QByteArray loadGlyphFile(Defined_Resource glyph)
{
    if (!validGlyph(glyph))
        return {};
    static const bool registered = (registerGlyphResources(), true);
    Q_UNUSED(registered);
    QFile file(resourcePath(Resource_Records[glyph]));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage LoadGlyph(Defined_Resource glyph)
{
    Defined_Resource source = BMP_None;
    if (validGlyph(glyph) && qstrcmp(Resource_Records[glyph].type, "BMP") == 0)
        source = glyph;
    QImage image = QImage::fromData(loadGlyphFile(source), "BMP");
    // Every name is embedded (the toolkit's tests load them all); should one
    // be missing after all, the button shows the blank glyph instead of
    // failing.
    if (image.isNull() && source != BMP_None)
        image = QImage::fromData(loadGlyphFile(BMP_None), "BMP");
    return image;
}

QImage LoadGlyphScaled(Defined_Resource glyph, int percent)
{
    const QImage source = LoadGlyph(glyph);
    if (source.isNull())
        return source;
    const double f = percent / 100.0;
    const int64_t width = std::max<int64_t>(2, roundHalfEven(source.width() * f));
    const int64_t height = std::max<int64_t>(2, roundHalfEven(source.height() * f));
    // A zoom so large that the glyph would pass the picture limit keeps its
    // own size rather than exhausting memory.
    if (!pictureSizeAllowed(width, height))
        return source;
    // Nearest neighbour keeps the glyph's palette and its crisp pixels.
    return source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void AssignGlyph(QImage* target, Defined_Resource glyph, int percent)
{
    if (!target)
        return;
    *target = percent == 1 ? LoadGlyph(glyph) : LoadGlyphScaled(glyph, percent);
}

void AssignGlyphUnscaled(QImage* target, Defined_Resource glyph)
{
    AssignGlyph(target, glyph, 1);
}

} // namespace ostrel
