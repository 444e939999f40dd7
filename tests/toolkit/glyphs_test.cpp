// SPDX-License-Identifier: Apache-2.0
// The embedded glyphs: the name table, every file's format and size, the
// artwork's transparency, and scaling.
#include "toolkit/Embedded_Resources.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace ostrel {
namespace {

Defined_Resource glyphAt(int i)
{
    return static_cast<Defined_Resource>(i);
}

// The size a glyph's file must have, both cells together.
QSize statedSize(const QString& name)
{
    if (name == QLatin1String("BMP_None"))
        return {2, 2};
    if (name.startsWith(QLatin1String("BMP_Arrow_Tiny_")))
        return {24, 12};
    if (name == QLatin1String("BMP_Arrow_D_Short") || name == QLatin1String("BMP_Arrow_U_Short"))
        return {32, 6};
    if (name == QLatin1String("BMP_WideMulti"))
        return {64, 16};
    return {}; // one of the ordinary sizes
}

TEST(GlyphTable, NamesAndResourceRecords)
{
    // The rows whose resource name is not the enumeration name without "BMP_".
    const std::map<Defined_Resource, const char*> shortened = {
        {BMP_Help_About, "HelpAbou"}, {BMP_Help_Help, "HelpHelp"},   {BMP_Help_Index, "HelpIndx"},
        {BMP_Help_Question, "HelpQues"}, {BMP_Edit_Copy, "EditCopy"}, {BMP_Edit_Paste, "EditPast"},
        {BMP_Edit_Undo, "EditUndo"},  {BMP_Open_Disk, "OpenDisk"},   {BMP_Printer_Setup, "Pr_Setup"},
        {BMP_Save_As, "SaveAs"},      {BMP_Save_Disk, "SaveDisk"},
    };
    EXPECT_EQ(kDefinedResourceCount, 186);
    EXPECT_EQ(glyphEnumName(BMP_None), QStringLiteral("BMP_None"));
    EXPECT_EQ(glyphEnumName(BMP_Edit_Copy), QStringLiteral("BMP_Edit_Copy"));
    EXPECT_EQ(glyphEnumName(BMP_Tiny_Text), QStringLiteral("BMP_Tiny_Text"));

    std::set<QString> seen;
    for (int i = 0; i < kDefinedResourceCount; ++i) {
        const Defined_Resource glyph = glyphAt(i);
        const Resource_Record& record = Resource_Records[i];
        SCOPED_TRACE(glyphEnumName(glyph).toStdString());
        EXPECT_STREQ(record.type, "BMP");
        const auto special = shortened.find(glyph);
        const QString expected = special != shortened.end() ? QString::fromLatin1(special->second)
                                                            : glyphEnumName(glyph).mid(4);
        EXPECT_EQ(QString::fromLatin1(record.name), expected);
        // Resource names compare without case, so no two may differ only in case.
        EXPECT_TRUE(seen.insert(expected.toLower()).second);
    }
}

TEST(GlyphTable, EveryGlyphIsAFourBitBmpOfItsStatedSize)
{
    const std::set<std::pair<int, int>> ordinary = {{32, 16}, {36, 18}, {40, 20}};
    for (int i = 0; i < kDefinedResourceCount; ++i) {
        const Defined_Resource glyph = glyphAt(i);
        const QString name = glyphEnumName(glyph);
        SCOPED_TRACE(name.toStdString());
        const QByteArray file = loadGlyphFile(glyph);
        ASSERT_GE(file.size(), 54);
        EXPECT_TRUE(file.startsWith("BM"));
        EXPECT_EQ(qFromLittleEndian<quint16>(file.constData() + 28), 4) << "bits per pixel";

        const QImage picture = LoadGlyph(glyph);
        ASSERT_FALSE(picture.isNull());
        const QSize stated = statedSize(name);
        if (stated.isValid())
            EXPECT_EQ(picture.size(), stated);
        else
            EXPECT_TRUE(ordinary.count({picture.width(), picture.height()})) << picture.width() << "x" << picture.height();
    }
}

// The buttons take the lower-left pixel's colour as transparent, so it must
// be the background shared by all glyphs; a picture reaching that corner
// would lose one of its colours.
TEST(GlyphArtwork, SharedTransparentCornerAndDistinctPictures)
{
    const QRgb key = LoadGlyph(BMP_Check).pixel(0, 15);
    std::map<QByteArray, QString> normalCells;
    for (int i = 0; i < kDefinedResourceCount; ++i) {
        const Defined_Resource glyph = glyphAt(i);
        SCOPED_TRACE(glyphEnumName(glyph).toStdString());
        const QImage picture = LoadGlyph(glyph).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(picture.pixel(0, picture.height() - 1), key);
        if (glyph == BMP_None)
            continue;

        const int cell = picture.width() / 2;
        const QImage normal = picture.copy(0, 0, cell, picture.height());
        const QImage disabled = picture.copy(cell, 0, cell, picture.height());
        EXPECT_NE(normal, disabled);
        int drawn = 0;
        for (int y = 0; y < normal.height(); ++y)
            for (int x = 0; x < normal.width(); ++x)
                drawn += normal.pixel(x, y) != key;
        EXPECT_GT(drawn, 4) << "picture is (nearly) empty";

        // Two names with the same picture would be an artwork mistake.
        const QByteArray bits(reinterpret_cast<const char*>(normal.constBits()), normal.sizeInBytes());
        const auto [it, added] = normalCells.emplace(bits, glyphEnumName(glyph));
        EXPECT_TRUE(added) << "same picture as " << it->second.toStdString();
    }
}

TEST(GlyphLoading, ScaledSizesRoundHalvesToEven)
{
    struct Case {
        Defined_Resource glyph;
        int percent;
        QSize size;
    };
    const Case cases[] = {
        {BMP_Check, 100, {32, 16}},
        {BMP_Check, 150, {48, 24}},
        {BMP_Check, 125, {40, 20}},
        {BMP_Arrow_Tiny_U, 150, {36, 18}},
        {BMP_Arrow_D_Short, 125, {40, 8}},  // 7.5 rounds up to even 8
        {BMP_Arrow_D_Short, 175, {56, 10}}, // 10.5 rounds down to even 10
        {BMP_None, 50, {2, 2}},             // never below 2 × 2
        {BMP_None, 125, {2, 2}},            // 2.5 rounds to 2
        {BMP_None, 175, {4, 4}},            // 3.5 rounds to 4
        {BMP_Print_Portrait, 200, {72, 36}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(glyphEnumName(c.glyph).toStdString() + " at " + std::to_string(c.percent));
        EXPECT_EQ(LoadGlyphScaled(c.glyph, c.percent).size(), c.size);
    }
}

TEST(GlyphLoading, ScalingRepeatsPixelsAndAssignCopiesOrLeavesAlone)
{
    const QImage source = LoadGlyph(BMP_Printer).convertToFormat(QImage::Format_RGB32);
    const QImage doubled = LoadGlyphScaled(BMP_Printer, 200).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(doubled.size(), source.size() * 2);
    for (int y = 0; y < doubled.height(); ++y)
        for (int x = 0; x < doubled.width(); ++x)
            ASSERT_EQ(doubled.pixel(x, y), source.pixel(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(LoadGlyphScaled(BMP_Printer, 100).convertToFormat(QImage::Format_RGB32), source);

    QImage target;
    AssignGlyph(&target, BMP_Printer, 1);
    EXPECT_EQ(target.size(), source.size());
    AssignGlyph(&target, BMP_Printer, 150);
    EXPECT_EQ(target.size(), QSize(48, 24));
    AssignGlyphUnscaled(&target, BMP_Check);
    EXPECT_EQ(target.size(), QSize(32, 16));
    AssignGlyph(nullptr, BMP_Check, 150); // no target: nothing happens
}

TEST(GlyphLoading, OutOfRangeNamesAndHugeZoomsStaySafe)
{
    const QImage blank = LoadGlyph(BMP_None);
    EXPECT_EQ(LoadGlyph(static_cast<Defined_Resource>(-1)), blank);
    EXPECT_EQ(LoadGlyph(static_cast<Defined_Resource>(kDefinedResourceCount)), blank);
    EXPECT_TRUE(loadGlyphFile(static_cast<Defined_Resource>(kDefinedResourceCount)).isEmpty());
    EXPECT_TRUE(glyphEnumName(static_cast<Defined_Resource>(500)).isEmpty());
    // A zoom whose glyph would pass the picture limit keeps the glyph's size
    // instead of asking for gigabytes.
    EXPECT_EQ(LoadGlyphScaled(BMP_Check, 2'000'000'000).size(), QSize(32, 16));
}

} // namespace
} // namespace ostrel
