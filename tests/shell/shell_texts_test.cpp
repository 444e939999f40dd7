// SPDX-License-Identifier: Apache-2.0
// The window's texts and rules that need no window: file filters, the save
// dialog's choice, default extensions, message texts, command enabling.
#include "shell/CommandState.h"
#include "shell/ShellTexts.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(FileFilters, PairsBecomeLabelAndSpaceSeparatedPatterns)
{
    struct Case {
        QString paired;
        QStringList expected;
    };
    const Case cases[] = {
        {kSaveFilter24Bit, {QStringLiteral("24-Bit Bitmaps and PNGs (*.bmp,*.png) (*.bmp *.png)")}},
        {kSaveFilterPaletted, {QStringLiteral("Bitmaps, GIFs and PNGs (*.bmp,*.gif,*.png) (*.bmp *.gif *.png)")}},
        // "*.*" stands for every file, also one without a dot in its name.
        {kPayloadFilter, {QStringLiteral("All Files (*.*) (*)")}},
        {QStringLiteral("A|*.a|B|*.b;*.c;"), {QStringLiteral("A (*.a)"), QStringLiteral("B (*.b *.c)")}},
        // A dangling label without patterns is not a filter.
        {QStringLiteral("A|*.a|B"), {QStringLiteral("A (*.a)")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qtFileFilters(c.paired), c.expected) << c.paired.toStdString();
}

TEST(FileFilters, PictureFilterKeepsEveryLabelAndPattern)
{
    const QStringList filters = qtFileFilters(kPictureFilter);
    ASSERT_EQ(filters.size(), 16);
    EXPECT_EQ(filters.first(), QStringLiteral("All Graphics Formats (*.bmp *.jpg *.jpeg *.png *.gif *.pcx *.ico "
                                              "*.cam *.thn *.mac *.16k *.tif *.tiff)"));
    EXPECT_EQ(filters[4], QStringLiteral("Portable Network Graphics (*.png) (*.png)"));
    EXPECT_EQ(filters[14], QStringLiteral("Program Files (*.pas, etc.) (*.pas *.c *.h *.cpp *.cgi *.asm *.java *.py)"));
    EXPECT_EQ(filters.last(), QStringLiteral("EXE/OBJ (Executables and Object) (*.exe *.obj)"));
}

TEST(SaveDialog, PalettedFormatsUpTo256Colours)
{
    const struct {
        int64_t colours;
        QString filter;
        QString title;
    } cases[] = {
        {16, kSaveFilterPaletted, QStringLiteral("Save Image as .GIF, .PNG or as 4-bit or 8-bit .BMP")},
        {256, kSaveFilterPaletted, QStringLiteral("Save Image as .GIF, .PNG or as 4-bit or 8-bit .BMP")},
        {257, kSaveFilter24Bit, QStringLiteral("Save Image as 24-Bit .BMP or .PNG")},
        {16777216 + 16, kSaveFilter24Bit, QStringLiteral("Save Image as 24-Bit .BMP or .PNG")},
    };
    for (const auto& c : cases) {
        const SaveDialogChoice choice = saveDialogChoice(c.colours);
        EXPECT_EQ(choice.filter, c.filter) << c.colours;
        EXPECT_EQ(choice.title, c.title) << c.colours;
    }
}

TEST(SaveDialog, NameWithoutExtensionGetsBmp)
{
    const struct {
        const char* typed;
        const char* saved;
    } cases[] = {
        {"picture", "picture.bmp"},
        {"folder/picture", "folder/picture.bmp"},
        // A dot in a folder name is not the file's extension.
        {"v1.3/picture", "v1.3/picture.bmp"},
        {"picture.gif", "picture.gif"},
        {"picture.png", "picture.png"},
        // A trailing dot is an (empty) extension that Save As then refuses.
        {"picture.", "picture."},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withDefaultExtension(QString::fromUtf8(c.typed)), QString::fromUtf8(c.saved)) << c.typed;
}

TEST(MessageTexts, ExactWording)
{
    EXPECT_EQ(saveExtensionErrorText(QStringLiteral("out/x.png"), QStringLiteral(".PNG")),
              QStringLiteral("ERROR:\r\n    File name entered is:\r\n    out/x.png\r\n\r\n"
                             "    Cannot save file with .PNG Extension."));
    EXPECT_EQ(reduceQuestionText(), QStringLiteral("Reduce color-depth when encoding\r\nto allow saving in .GIF format "
                                                   "or\r\nin 4-bit or 8-bit .BMP format?"));
    EXPECT_EQ(ditherQuestionText(256),
              QStringLiteral("Resulting image will contain 256 colors.\r\n\r\nDither image to the new palette?\r\n\r\n"
                             "(Dithering often causes noticeable\r\nspeckling of the image, but reducing\r\n"
                             "colors without dithering often causes\r\nposterization effects.)"));
    EXPECT_EQ(outcomeText(QStringLiteral("Encoding"), true, {QStringLiteral("one"), QStringLiteral("two")}),
              QStringLiteral("Encoding Successful\r\n\r\none\r\ntwo\r\n"));
    EXPECT_EQ(outcomeText(QStringLiteral("Decode"), false, {}), QStringLiteral("Decode Failed\r\n\r\n"));
}

TEST(MessageTexts, EveryIncompleteLoadIsExplained)
{
    EXPECT_TRUE(loadProblemText(QStringLiteral("a.bmp"), LoadStop::Complete).isEmpty());
    const LoadStop problems[] = {LoadStop::Missing, LoadStop::Truncated, LoadStop::BadSignature, LoadStop::Corrupt,
                                 LoadStop::OverLimit, LoadStop::Unsupported, LoadStop::Failed};
    QStringList reasons;
    for (LoadStop stop : problems) {
        const QString text = loadProblemText(QStringLiteral("dir/a.bmp"), stop);
        EXPECT_TRUE(text.startsWith(QStringLiteral("ERROR:\r\n    File name entered is:\r\n    dir/a.bmp\r\n\r\n    ")))
            << int(stop);
        reasons.append(text.section(QStringLiteral("\r\n"), -1));
    }
    reasons.removeDuplicates();
    EXPECT_EQ(reasons.size(), qsizetype(std::size(problems))) << "each stop has its own reason";
}

TEST(CommandState, PasteFollowsTheClipboardOnlyWhenItHoldsABitmap)
{
    // States as ClassifyClipboard sets them: none, text, bitmap, metafile, private.
    for (int state = 0; state <= 4; ++state) {
        MenuContext context;
        context.clipboardState = state;
        EXPECT_EQ(commandEnabled(MenuCommand::Paste, context), state == 2) << state;
        EXPECT_TRUE(commandEnabled(MenuCommand::Copy, context)) << state;
    }
}

TEST(CommandState, AFetchInProgressHoldsBackWhatTouchesThePicture)
{
    MenuContext idle;
    idle.clipboardState = 2;
    MenuContext fetching = idle;
    fetching.fetchRunning = true;
    const struct {
        MenuCommand command;
        bool idle;
        bool fetching;
    } cases[] = {
        {MenuCommand::Clear, true, false},   {MenuCommand::Open, true, false},   {MenuCommand::OpenFromWeb, true, false},
        {MenuCommand::SaveAs, true, false},  {MenuCommand::Paste, true, false},  {MenuCommand::Encode, true, false},
        {MenuCommand::Decode, true, false},  {MenuCommand::Copy, true, true},    {MenuCommand::Exit, true, true},
        {MenuCommand::About, true, true},    {MenuCommand::Print, true, true},   {MenuCommand::AnalyzePicture, true, true},
        {MenuCommand::EncodeAdaptive, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(commandEnabled(c.command, idle), c.idle) << int(c.command);
        EXPECT_EQ(commandEnabled(c.command, fetching), c.fetching) << int(c.command);
    }
}

} // namespace
} // namespace ostrel
