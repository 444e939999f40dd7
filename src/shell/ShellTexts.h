// SPDX-License-Identifier: Apache-2.0
#pragma once
// The desktop program's own texts and the small rules that build them, kept
// apart from the widgets so that they can be checked without a window.
#include "imageio/LoadResult.h"
#include "util/StandardUnit.h"

#include <QString>
#include <QStringList>

namespace ostrel {

// Dialog texts join their lines with CR LF.
inline const QString kCrLf = QStringLiteral("\r\n");

inline const QString kProgramVersion = QStringLiteral("1.3");
inline const QString kProgramCaption = QStringLiteral("Ostrel Program V") + kProgramVersion;
inline const QString kApplicationTitle = QStringLiteral("Ostrel");
inline const QString kPasteSource = QStringLiteral("<PASTE FROM CLIPBOARD>");

inline const QString kOpenPictureTitle = QStringLiteral("Open a Graphics File");
inline const QString kOpenPayloadTitle = QStringLiteral("Open File to Encode");
inline const QString kDefaultExtension = QStringLiteral("bmp");

// File filters as the program lists them: "Label|patterns|Label|patterns".
extern const QString kPictureFilter;
inline const QString kPayloadFilter = QStringLiteral("All Files (*.*)|*.*");
inline const QString kSaveFilter24Bit = QStringLiteral("24-Bit Bitmaps and PNGs (*.bmp,*.png)|*.bmp;*.png");
inline const QString kSaveTitle24Bit = QStringLiteral("Save Image as 24-Bit .BMP or .PNG");
inline const QString kSaveFilterPaletted = QStringLiteral("Bitmaps, GIFs and PNGs (*.bmp,*.gif,*.png)|*.bmp;*.gif;*.png");
inline const QString kSaveTitlePaletted = QStringLiteral("Save Image as .GIF, .PNG or as 4-bit or 8-bit .BMP");

inline const QString kEncodeTitle = QStringLiteral("ENCODE");
inline const QString kDecodeTitle = QStringLiteral("DECODE");
inline const QString kEncodeAdaptiveTitle = QStringLiteral("ENCODE ADAPTIVELY");

// The file dialog's filter list: every "Label|*.a;*.b" pair becomes
// "Label (*.a *.b)". The pattern "*.*" means every file where the list comes
// from, including names without a dot, so it becomes "*".
QStringList qtFileFilters(const QString& pairedFilter);

// The filter and title that Save As offers for a colour count T (with the
// base colours): paletted formats up to 256 colours, else 24-bit BMP only.
struct SaveDialogChoice {
    QString filter;
    QString title;
};
SaveDialogChoice saveDialogChoice(int64_t colourCount);

// A name typed without an extension gets the save dialog's default one.
QString withDefaultExtension(const QString& fileName);

// The error for a save name whose extension is none of .BMP, .GIF and .PNG.
QString saveExtensionErrorText(const QString& fileName, const QString& upperExtension);

// A file that could not be saved or read, shown in the same frame as the
// extension error: the name, a blank line, the reason. The name is escaped
// as reports escape names (escapedName) and the one-line reason, which may
// quote the name or its extension, has its controls escaped.
QString fileErrorText(const QString& fileName, const QString& reason);

// A file name as panel 2 of the status bar shows it: escaped as reports
// escape names, so it stays one line high and reads as the report's does.
QString sourcePanelText(const QString& fileName);

// The two colour-reduction questions of Encode.
QString reduceQuestionText();
QString ditherQuestionText(int32_t paletteCount);

// "Encoding Successful" or "Decode Failed" and so on, a blank line, then
// every report line ended by CR LF.
// Why adaptive hiding will not take the empty password.
QString adaptiveNeedsPasswordText();

QString outcomeText(const QString& heading, bool succeeded, const ReportList& report);

// Panel 2 while a web fetch runs: which address is being fetched.
QString fetchRunningText(const QString& url);

// Shown when a password yields the one key the generator cannot use.
QString unusablePasswordText();

// Why an opened picture is incomplete or could not be read; empty when the
// reader finished normally.
QString loadProblemText(const QString& fileName, LoadStop stop);

} // namespace ostrel
