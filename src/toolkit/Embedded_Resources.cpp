#include "toolkit/Embedded_Resources.h"

#include "util/Picture.h"
#include "util/StandardUnit.h"

#include <QFile>

#include <algorithm>

namespace ostrel {

const std::array<Resource_Record, kDefinedResourceCount> Resource_Records = {{
    {"None", "BMP"}, // BMP_None
    {"All", "BMP"}, // BMP_All
    {"Retry", "BMP"}, // BMP_Retry
    {"No", "BMP"}, // BMP_No
    {"Cancel", "BMP"}, // BMP_Cancel
    {"Check", "BMP"}, // BMP_Check
    {"Help", "BMP"}, // BMP_Help
    {"HelpAbou", "BMP"}, // BMP_Help_About
    {"HelpHelp", "BMP"}, // BMP_Help_Help
    {"HelpIndx", "BMP"}, // BMP_Help_Index
    {"HelpQues", "BMP"}, // BMP_Help_Question
    {"Edit_Cut", "BMP"}, // BMP_Edit_Cut
    {"EditCopy", "BMP"}, // BMP_Edit_Copy
    {"EditPast", "BMP"}, // BMP_Edit_Paste
    {"EditUndo", "BMP"}, // BMP_Edit_Undo
    {"New_File", "BMP"}, // BMP_New_File
    {"OpenDisk", "BMP"}, // BMP_Open_Disk
    {"Pr_Setup", "BMP"}, // BMP_Printer_Setup
    {"Printer", "BMP"}, // BMP_Printer
    {"SaveAs", "BMP"}, // BMP_Save_As
    {"SaveDisk", "BMP"}, // BMP_Save_Disk
    {"Insert", "BMP"}, // BMP_Insert
    {"Delete", "BMP"}, // BMP_Delete
    {"Show", "BMP"}, // BMP_Show
    {"Hide", "BMP"}, // BMP_Hide
    {"Abort", "BMP"}, // BMP_Abort
    {"Calculat", "BMP"}, // BMP_Calculat
    {"Clock", "BMP"}, // BMP_Clock
    {"FileClos", "BMP"}, // BMP_FileClos
    {"FileNew", "BMP"}, // BMP_FileNew
    {"FileOpen", "BMP"}, // BMP_FileOpen
    {"FirstAid", "BMP"}, // BMP_FirstAid
    {"Globe", "BMP"}, // BMP_Globe
    {"Group", "BMP"}, // BMP_Group
    {"LockOpen", "BMP"}, // BMP_LockOpen
    {"LockShut", "BMP"}, // BMP_LockShut
    {"Music", "BMP"}, // BMP_Music
    {"Query", "BMP"}, // BMP_Query
    {"Sum", "BMP"}, // BMP_Sum
    {"Trash", "BMP"}, // BMP_Trash
    {"TrashFul", "BMP"}, // BMP_TrashFul
    {"Arrow_U", "BMP"}, // BMP_Arrow_U
    {"Arrow_L", "BMP"}, // BMP_Arrow_L
    {"Arrow_R", "BMP"}, // BMP_Arrow_R
    {"Arrow_D", "BMP"}, // BMP_Arrow_D
    {"Arrow_UL", "BMP"}, // BMP_Arrow_UL
    {"Arrow_UR", "BMP"}, // BMP_Arrow_UR
    {"Arrow_DL", "BMP"}, // BMP_Arrow_DL
    {"Arrow_DR", "BMP"}, // BMP_Arrow_DR
    {"Arrow_4", "BMP"}, // BMP_Arrow_4
    {"Arrow_4d", "BMP"}, // BMP_Arrow_4d
    {"Arrow_LL", "BMP"}, // BMP_Arrow_LL
    {"Arrow_LR", "BMP"}, // BMP_Arrow_LR
    {"Arrow_RR", "BMP"}, // BMP_Arrow_RR
    {"Arrow_UD", "BMP"}, // BMP_Arrow_UD
    {"Arrow_D_Short", "BMP"}, // BMP_Arrow_D_Short
    {"Arrow_U_Short", "BMP"}, // BMP_Arrow_U_Short
    {"Arrow_L_Spin", "BMP"}, // BMP_Arrow_L_Spin
    {"Arrow_R_Spin", "BMP"}, // BMP_Arrow_R_Spin
    {"Arrow_Retry", "BMP"}, // BMP_Arrow_Retry
    {"Arrows", "BMP"}, // BMP_Arrows
    {"Arrows_Left", "BMP"}, // BMP_Arrows_Left
    {"Arrows_Right", "BMP"}, // BMP_Arrows_Right
    {"Arrow_Tiny_U", "BMP"}, // BMP_Arrow_Tiny_U
    {"Arrow_Tiny_L", "BMP"}, // BMP_Arrow_Tiny_L
    {"Arrow_Tiny_R", "BMP"}, // BMP_Arrow_Tiny_R
    {"Arrow_Tiny_D", "BMP"}, // BMP_Arrow_Tiny_D
    {"Arrow_Tiny_UL", "BMP"}, // BMP_Arrow_Tiny_UL
    {"Arrow_Tiny_UR", "BMP"}, // BMP_Arrow_Tiny_UR
    {"Arrow_Tiny_DL", "BMP"}, // BMP_Arrow_Tiny_DL
    {"Arrow_Tiny_DR", "BMP"}, // BMP_Arrow_Tiny_DR
    {"Arrow_Tiny_Star", "BMP"}, // BMP_Arrow_Tiny_Star
    {"Font_Normal", "BMP"}, // BMP_Font_Normal
    {"Font_Boldface", "BMP"}, // BMP_Font_Boldface
    {"Font_Italic", "BMP"}, // BMP_Font_Italic
    {"Font_Underln", "BMP"}, // BMP_Font_Underln
    {"Justify_Left", "BMP"}, // BMP_Justify_Left
    {"Justify_Center", "BMP"}, // BMP_Justify_Center
    {"Justify_Right", "BMP"}, // BMP_Justify_Right
    {"Justify_Full", "BMP"}, // BMP_Justify_Full
    {"Find_Search", "BMP"}, // BMP_Find_Search
    {"Find_Replace", "BMP"}, // BMP_Find_Replace
    {"Find_Again", "BMP"}, // BMP_Find_Again
    {"Print_Portrait", "BMP"}, // BMP_Print_Portrait
    {"Print_Landscape", "BMP"}, // BMP_Print_Landscape
    {"Color_RGB", "BMP"}, // BMP_Color_RGB
    {"Colors", "BMP"}, // BMP_Colors
    {"Hand_Left", "BMP"}, // BMP_Hand_Left
    {"Hand_Right", "BMP"}, // BMP_Hand_Right
    {"Fraction_One_Eighth", "BMP"}, // BMP_Fraction_One_Eighth
    {"Fraction_One_Fourth", "BMP"}, // BMP_Fraction_One_Fourth
    {"Fraction_One_Third", "BMP"}, // BMP_Fraction_One_Third
    {"Fraction_Three_Eighths", "BMP"}, // BMP_Fraction_Three_Eighths
    {"Fraction_One_Half", "BMP"}, // BMP_Fraction_One_Half
    {"Fraction_Five_Eighths", "BMP"}, // BMP_Fraction_Five_Eighths
    {"Fraction_Two_Thirds", "BMP"}, // BMP_Fraction_Two_Thirds
    {"Fraction_Three_Fourths", "BMP"}, // BMP_Fraction_Three_Fourths
    {"Fraction_Seven_Eighths", "BMP"}, // BMP_Fraction_Seven_Eighths
    {"Analyze", "BMP"}, // BMP_Analyze
    {"Contour", "BMP"}, // BMP_Contour
    {"Debug", "BMP"}, // BMP_Debug
    {"Push_Button", "BMP"}, // BMP_Push_Button
    {"Shazam", "BMP"}, // BMP_Shazam
    {"Sign_Go", "BMP"}, // BMP_Sign_Go
    {"Sign_Stop1", "BMP"}, // BMP_Sign_Stop1
    {"Sign_Stop2", "BMP"}, // BMP_Sign_Stop2
    {"Symbol_Minus", "BMP"}, // BMP_Symbol_Minus
    {"Symbol_Plus", "BMP"}, // BMP_Symbol_Plus
    {"Typeface", "BMP"}, // BMP_Typeface
    {"WideMulti", "BMP"}, // BMP_WideMulti
    {"Wordwrap", "BMP"}, // BMP_Wordwrap
    {"Wrench", "BMP"}, // BMP_Wrench
    {"Image", "BMP"}, // BMP_Image
    {"Image_Copy", "BMP"}, // BMP_Image_Copy
    {"Image_Import", "BMP"}, // BMP_Image_Import
    {"Image_None", "BMP"}, // BMP_Image_None
    {"Image_Negate", "BMP"}, // BMP_Image_Negate
    {"Image_Open", "BMP"}, // BMP_Image_Open
    {"Image_Resize", "BMP"}, // BMP_Image_Resize
    {"Image_Save", "BMP"}, // BMP_Image_Save
    {"Image_Paste", "BMP"}, // BMP_Image_Paste
    {"Object_Delete", "BMP"}, // BMP_Object_Delete
    {"Object_Duplicate", "BMP"}, // BMP_Object_Duplicate
    {"Object_Undo", "BMP"}, // BMP_Object_Undo
    {"Object_Multiple", "BMP"}, // BMP_Object_Multiple
    {"Track_Image", "BMP"}, // BMP_Track_Image
    {"Track_Manual", "BMP"}, // BMP_Track_Manual
    {"Track_Window", "BMP"}, // BMP_Track_Window
    {"Demote_All", "BMP"}, // BMP_Demote_All
    {"Demote_One", "BMP"}, // BMP_Demote_One
    {"Promote_All", "BMP"}, // BMP_Promote_All
    {"Promote_One", "BMP"}, // BMP_Promote_One
    {"Flip_Red", "BMP"}, // BMP_Flip_Red
    {"Flip_Yellow", "BMP"}, // BMP_Flip_Yellow
    {"Mirror_Red", "BMP"}, // BMP_Mirror_Red
    {"Mirror_Yellow", "BMP"}, // BMP_Mirror_Yellow
    {"Transpose_Red", "BMP"}, // BMP_Transpose_Red
    {"Transpose_Yellow", "BMP"}, // BMP_Transpose_Yellow
    {"Grid", "BMP"}, // BMP_Grid
    {"Grid_Above", "BMP"}, // BMP_Grid_Above
    {"Grid_Below", "BMP"}, // BMP_Grid_Below
    {"Grid_None", "BMP"}, // BMP_Grid_None
    {"Grid_Grow", "BMP"}, // BMP_Grid_Grow
    {"Grid_No_Snap", "BMP"}, // BMP_Grid_No_Snap
    {"Grid_Shrink", "BMP"}, // BMP_Grid_Shrink
    {"Grid_Size", "BMP"}, // BMP_Grid_Size
    {"Grid_Snap", "BMP"}, // BMP_Grid_Snap
    {"Grid_Mesh", "BMP"}, // BMP_Grid_Mesh
    {"Grid_Mesh2", "BMP"}, // BMP_Grid_Mesh2
    {"Pencil", "BMP"}, // BMP_Pencil
    {"Pencil_Interior", "BMP"}, // BMP_Pencil_Interior
    {"Pencil_Outline", "BMP"}, // BMP_Pencil_Outline
    {"Pencil_Text", "BMP"}, // BMP_Pencil_Text
    {"Draw_Bezier", "BMP"}, // BMP_Draw_Bezier
    {"Draw_Circle", "BMP"}, // BMP_Draw_Circle
    {"Draw_Curly_Brace", "BMP"}, // BMP_Draw_Curly_Brace
    {"Draw_Diamond", "BMP"}, // BMP_Draw_Diamond
    {"Draw_Pencil_Free", "BMP"}, // BMP_Draw_Pencil_Free
    {"Draw_Pencil_Line", "BMP"}, // BMP_Draw_Pencil_Line
    {"Draw_Ellipse", "BMP"}, // BMP_Draw_Ellipse
    {"Draw_Hexagon", "BMP"}, // BMP_Draw_Hexagon
    {"Draw_Line", "BMP"}, // BMP_Draw_Line
    {"Draw_Octagon", "BMP"}, // BMP_Draw_Octagon
    {"Draw_Pentagon", "BMP"}, // BMP_Draw_Pentagon
    {"Draw_Point", "BMP"}, // BMP_Draw_Point
    {"Draw_Quadrilateral", "BMP"}, // BMP_Draw_Quadrilateral
    {"Draw_Rectangle", "BMP"}, // BMP_Draw_Rectangle
    {"Draw_Round_Rectangle", "BMP"}, // BMP_Draw_Round_Rectangle
    {"Draw_Sine", "BMP"}, // BMP_Draw_Sine
    {"Draw_Snowflake", "BMP"}, // BMP_Draw_Snowflake
    {"Draw_Spline", "BMP"}, // BMP_Draw_Spline
    {"Draw_Square", "BMP"}, // BMP_Draw_Square
    {"Draw_Star", "BMP"}, // BMP_Draw_Star
    {"Draw_Starburst", "BMP"}, // BMP_Draw_Starburst
    {"Draw_Triangle", "BMP"}, // BMP_Draw_Triangle
    {"Draw_Triangle_Scalene", "BMP"}, // BMP_Draw_Triangle_Scalene
    {"Tiny_EDIT_CUT", "BMP"}, // BMP_Tiny_EDIT_CUT
    {"Tiny_EDITCOPY", "BMP"}, // BMP_Tiny_EDITCOPY
    {"Tiny_EDITPAST", "BMP"}, // BMP_Tiny_EDITPAST
    {"Tiny_NEWFILE", "BMP"}, // BMP_Tiny_NEWFILE
    {"Tiny_OPENDISK", "BMP"}, // BMP_Tiny_OPENDISK
    {"Tiny_PRINTER", "BMP"}, // BMP_Tiny_PRINTER
    {"Tiny_SAVEDISK", "BMP"}, // BMP_Tiny_SAVEDISK
    {"Tiny_Interior", "BMP"}, // BMP_Tiny_Interior
    {"Tiny_Outline", "BMP"}, // BMP_Tiny_Outline
    {"Tiny_Text", "BMP"}, // BMP_Tiny_Text
}};

namespace {

constexpr std::array<const char*, kDefinedResourceCount> kEnumNames = {{
    "BMP_None",
    "BMP_All",
    "BMP_Retry",
    "BMP_No",
    "BMP_Cancel",
    "BMP_Check",
    "BMP_Help",
    "BMP_Help_About",
    "BMP_Help_Help",
    "BMP_Help_Index",
    "BMP_Help_Question",
    "BMP_Edit_Cut",
    "BMP_Edit_Copy",
    "BMP_Edit_Paste",
    "BMP_Edit_Undo",
    "BMP_New_File",
    "BMP_Open_Disk",
    "BMP_Printer_Setup",
    "BMP_Printer",
    "BMP_Save_As",
    "BMP_Save_Disk",
    "BMP_Insert",
    "BMP_Delete",
    "BMP_Show",
    "BMP_Hide",
    "BMP_Abort",
    "BMP_Calculat",
    "BMP_Clock",
    "BMP_FileClos",
    "BMP_FileNew",
    "BMP_FileOpen",
    "BMP_FirstAid",
    "BMP_Globe",
    "BMP_Group",
    "BMP_LockOpen",
    "BMP_LockShut",
    "BMP_Music",
    "BMP_Query",
    "BMP_Sum",
    "BMP_Trash",
    "BMP_TrashFul",
    "BMP_Arrow_U",
    "BMP_Arrow_L",
    "BMP_Arrow_R",
    "BMP_Arrow_D",
    "BMP_Arrow_UL",
    "BMP_Arrow_UR",
    "BMP_Arrow_DL",
    "BMP_Arrow_DR",
    "BMP_Arrow_4",
    "BMP_Arrow_4d",
    "BMP_Arrow_LL",
    "BMP_Arrow_LR",
    "BMP_Arrow_RR",
    "BMP_Arrow_UD",
    "BMP_Arrow_D_Short",
    "BMP_Arrow_U_Short",
    "BMP_Arrow_L_Spin",
    "BMP_Arrow_R_Spin",
    "BMP_Arrow_Retry",
    "BMP_Arrows",
    "BMP_Arrows_Left",
    "BMP_Arrows_Right",
    "BMP_Arrow_Tiny_U",
    "BMP_Arrow_Tiny_L",
    "BMP_Arrow_Tiny_R",
    "BMP_Arrow_Tiny_D",
    "BMP_Arrow_Tiny_UL",
    "BMP_Arrow_Tiny_UR",
    "BMP_Arrow_Tiny_DL",
    "BMP_Arrow_Tiny_DR",
    "BMP_Arrow_Tiny_Star",
    "BMP_Font_Normal",
    "BMP_Font_Boldface",
    "BMP_Font_Italic",
    "BMP_Font_Underln",
    "BMP_Justify_Left",
    "BMP_Justify_Center",
    "BMP_Justify_Right",
    "BMP_Justify_Full",
    "BMP_Find_Search",
    "BMP_Find_Replace",
    "BMP_Find_Again",
    "BMP_Print_Portrait",
    "BMP_Print_Landscape",
    "BMP_Color_RGB",
    "BMP_Colors",
    "BMP_Hand_Left",
    "BMP_Hand_Right",
    "BMP_Fraction_One_Eighth",
    "BMP_Fraction_One_Fourth",
    "BMP_Fraction_One_Third",
    "BMP_Fraction_Three_Eighths",
    "BMP_Fraction_One_Half",
    "BMP_Fraction_Five_Eighths",
    "BMP_Fraction_Two_Thirds",
    "BMP_Fraction_Three_Fourths",
    "BMP_Fraction_Seven_Eighths",
    "BMP_Analyze",
    "BMP_Contour",
    "BMP_Debug",
    "BMP_Push_Button",
    "BMP_Shazam",
    "BMP_Sign_Go",
    "BMP_Sign_Stop1",
    "BMP_Sign_Stop2",
    "BMP_Symbol_Minus",
    "BMP_Symbol_Plus",
    "BMP_Typeface",
    "BMP_WideMulti",
    "BMP_Wordwrap",
    "BMP_Wrench",
    "BMP_Image",
    "BMP_Image_Copy",
    "BMP_Image_Import",
    "BMP_Image_None",
    "BMP_Image_Negate",
    "BMP_Image_Open",
    "BMP_Image_Resize",
    "BMP_Image_Save",
    "BMP_Image_Paste",
    "BMP_Object_Delete",
    "BMP_Object_Duplicate",
    "BMP_Object_Undo",
    "BMP_Object_Multiple",
    "BMP_Track_Image",
    "BMP_Track_Manual",
    "BMP_Track_Window",
    "BMP_Demote_All",
    "BMP_Demote_One",
    "BMP_Promote_All",
    "BMP_Promote_One",
    "BMP_Flip_Red",
    "BMP_Flip_Yellow",
    "BMP_Mirror_Red",
    "BMP_Mirror_Yellow",
    "BMP_Transpose_Red",
    "BMP_Transpose_Yellow",
    "BMP_Grid",
    "BMP_Grid_Above",
    "BMP_Grid_Below",
    "BMP_Grid_None",
    "BMP_Grid_Grow",
    "BMP_Grid_No_Snap",
    "BMP_Grid_Shrink",
    "BMP_Grid_Size",
    "BMP_Grid_Snap",
    "BMP_Grid_Mesh",
    "BMP_Grid_Mesh2",
    "BMP_Pencil",
    "BMP_Pencil_Interior",
    "BMP_Pencil_Outline",
    "BMP_Pencil_Text",
    "BMP_Draw_Bezier",
    "BMP_Draw_Circle",
    "BMP_Draw_Curly_Brace",
    "BMP_Draw_Diamond",
    "BMP_Draw_Pencil_Free",
    "BMP_Draw_Pencil_Line",
    "BMP_Draw_Ellipse",
    "BMP_Draw_Hexagon",
    "BMP_Draw_Line",
    "BMP_Draw_Octagon",
    "BMP_Draw_Pentagon",
    "BMP_Draw_Point",
    "BMP_Draw_Quadrilateral",
    "BMP_Draw_Rectangle",
    "BMP_Draw_Round_Rectangle",
    "BMP_Draw_Sine",
    "BMP_Draw_Snowflake",
    "BMP_Draw_Spline",
    "BMP_Draw_Square",
    "BMP_Draw_Star",
    "BMP_Draw_Starburst",
    "BMP_Draw_Triangle",
    "BMP_Draw_Triangle_Scalene",
    "BMP_Tiny_EDIT_CUT",
    "BMP_Tiny_EDITCOPY",
    "BMP_Tiny_EDITPAST",
    "BMP_Tiny_NEWFILE",
    "BMP_Tiny_OPENDISK",
    "BMP_Tiny_PRINTER",
    "BMP_Tiny_SAVEDISK",
    "BMP_Tiny_Interior",
    "BMP_Tiny_Outline",
    "BMP_Tiny_Text",
}};

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
    return validGlyph(glyph) ? QString::fromLatin1(kEnumNames[glyph]) : QString();
}

QImage LoadGlyph(Defined_Resource glyph)
{
    const Resource_Record* record = &Resource_Records[BMP_None];
    if (validGlyph(glyph) && qstrcmp(Resource_Records[glyph].type, "BMP") == 0)
        record = &Resource_Records[glyph];
    QImage image(resourcePath(*record), "BMP");
    if (image.isNull() && record != &Resource_Records[BMP_None])
        image = QImage(resourcePath(Resource_Records[BMP_None]), "BMP");
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
