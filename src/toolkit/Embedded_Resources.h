// SPDX-License-Identifier: Apache-2.0
#pragma once
// The glyphs every dialog button of the program shows, by name, and their
// loading at any zoom. Each glyph is a 4-bit BMP file embedded in the program,
// holding two cells side by side: the normal picture and its disabled form.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>

namespace ostrel {

enum Defined_Resource : int {
    BMP_None, BMP_All, BMP_Retry, BMP_No,
    BMP_Cancel, BMP_Check, BMP_Help, BMP_Help_About,
    BMP_Help_Help, BMP_Help_Index, BMP_Help_Question, BMP_Edit_Cut,
    BMP_Edit_Copy, BMP_Edit_Paste, BMP_Edit_Undo, BMP_New_File,
    BMP_Open_Disk, BMP_Printer_Setup, BMP_Printer, BMP_Save_As,
    BMP_Save_Disk, BMP_Insert, BMP_Delete, BMP_Show,
    BMP_Hide, BMP_Abort, BMP_Calculat, BMP_Clock,
    BMP_FileClos, BMP_FileNew, BMP_FileOpen, BMP_FirstAid,
    BMP_Globe, BMP_Group, BMP_LockOpen, BMP_LockShut,
    BMP_Music, BMP_Query, BMP_Sum, BMP_Trash,
    BMP_TrashFul, BMP_Arrow_U, BMP_Arrow_L, BMP_Arrow_R,
    BMP_Arrow_D, BMP_Arrow_UL, BMP_Arrow_UR, BMP_Arrow_DL,
    BMP_Arrow_DR, BMP_Arrow_4, BMP_Arrow_4d, BMP_Arrow_LL,
    BMP_Arrow_LR, BMP_Arrow_RR, BMP_Arrow_UD, BMP_Arrow_D_Short,
    BMP_Arrow_U_Short, BMP_Arrow_L_Spin, BMP_Arrow_R_Spin, BMP_Arrow_Retry,
    BMP_Arrows, BMP_Arrows_Left, BMP_Arrows_Right, BMP_Arrow_Tiny_U,
    BMP_Arrow_Tiny_L, BMP_Arrow_Tiny_R, BMP_Arrow_Tiny_D, BMP_Arrow_Tiny_UL,
    BMP_Arrow_Tiny_UR, BMP_Arrow_Tiny_DL, BMP_Arrow_Tiny_DR, BMP_Arrow_Tiny_Star,
    BMP_Font_Normal, BMP_Font_Boldface, BMP_Font_Italic, BMP_Font_Underln,
    BMP_Justify_Left, BMP_Justify_Center, BMP_Justify_Right, BMP_Justify_Full,
    BMP_Find_Search, BMP_Find_Replace, BMP_Find_Again, BMP_Print_Portrait,
    BMP_Print_Landscape, BMP_Color_RGB, BMP_Colors, BMP_Hand_Left,
    BMP_Hand_Right, BMP_Fraction_One_Eighth, BMP_Fraction_One_Fourth, BMP_Fraction_One_Third,
    BMP_Fraction_Three_Eighths, BMP_Fraction_One_Half, BMP_Fraction_Five_Eighths, BMP_Fraction_Two_Thirds,
    BMP_Fraction_Three_Fourths, BMP_Fraction_Seven_Eighths, BMP_Analyze, BMP_Contour,
    BMP_Debug, BMP_Push_Button, BMP_Shazam, BMP_Sign_Go,
    BMP_Sign_Stop1, BMP_Sign_Stop2, BMP_Symbol_Minus, BMP_Symbol_Plus,
    BMP_Typeface, BMP_WideMulti, BMP_Wordwrap, BMP_Wrench,
    BMP_Image, BMP_Image_Copy, BMP_Image_Import, BMP_Image_None,
    BMP_Image_Negate, BMP_Image_Open, BMP_Image_Resize, BMP_Image_Save,
    BMP_Image_Paste, BMP_Object_Delete, BMP_Object_Duplicate, BMP_Object_Undo,
    BMP_Object_Multiple, BMP_Track_Image, BMP_Track_Manual, BMP_Track_Window,
    BMP_Demote_All, BMP_Demote_One, BMP_Promote_All, BMP_Promote_One,
    BMP_Flip_Red, BMP_Flip_Yellow, BMP_Mirror_Red, BMP_Mirror_Yellow,
    BMP_Transpose_Red, BMP_Transpose_Yellow, BMP_Grid, BMP_Grid_Above,
    BMP_Grid_Below, BMP_Grid_None, BMP_Grid_Grow, BMP_Grid_No_Snap,
    BMP_Grid_Shrink, BMP_Grid_Size, BMP_Grid_Snap, BMP_Grid_Mesh,
    BMP_Grid_Mesh2, BMP_Pencil, BMP_Pencil_Interior, BMP_Pencil_Outline,
    BMP_Pencil_Text, BMP_Draw_Bezier, BMP_Draw_Circle, BMP_Draw_Curly_Brace,
    BMP_Draw_Diamond, BMP_Draw_Pencil_Free, BMP_Draw_Pencil_Line, BMP_Draw_Ellipse,
    BMP_Draw_Hexagon, BMP_Draw_Line, BMP_Draw_Octagon, BMP_Draw_Pentagon,
    BMP_Draw_Point, BMP_Draw_Quadrilateral, BMP_Draw_Rectangle, BMP_Draw_Round_Rectangle,
    BMP_Draw_Sine, BMP_Draw_Snowflake, BMP_Draw_Spline, BMP_Draw_Square,
    BMP_Draw_Star, BMP_Draw_Starburst, BMP_Draw_Triangle, BMP_Draw_Triangle_Scalene,
    BMP_Tiny_EDIT_CUT, BMP_Tiny_EDITCOPY, BMP_Tiny_EDITPAST, BMP_Tiny_NEWFILE,
    BMP_Tiny_OPENDISK, BMP_Tiny_PRINTER, BMP_Tiny_SAVEDISK, BMP_Tiny_Interior,
    BMP_Tiny_Outline, BMP_Tiny_Text,
};

inline constexpr int kDefinedResourceCount = BMP_Tiny_Text + 1;

struct Resource_Record {
    const char* name; // compared without regard to case
    const char* type; // "BMP" in every row
};

// The resource of every glyph, indexed by Defined_Resource.
extern const std::array<Resource_Record, kDefinedResourceCount> Resource_Records;

// The enumeration name of a glyph ("BMP_Edit_Copy"), for reports and tests.
QString glyphEnumName(Defined_Resource glyph);

// The glyph's resource as stored: a complete BMP file. Empty for a glyph
// outside the table.
QByteArray loadGlyphFile(Defined_Resource glyph);

// A new picture read from the glyph's resource; a glyph outside the table
// or a record whose type is not "BMP" gives the blank glyph of BMP_None.
QImage LoadGlyph(Defined_Resource glyph);

// The glyph scaled by percent / 100 (nearest neighbour, so the glyph's hard
// pixel edges and transparent colour stay exact), at least 2 x 2; sizes
// round halves to even.
QImage LoadGlyphScaled(Defined_Resource glyph, int percent);

// Gives the target a copy of the glyph: percent 1 means unscaled, any other
// value scaled. A null target is left alone.
void AssignGlyph(QImage* target, Defined_Resource glyph, int percent);
void AssignGlyphUnscaled(QImage* target, Defined_Resource glyph);

} // namespace ostrel
