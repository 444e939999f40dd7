// SPDX-License-Identifier: Apache-2.0
#include "shell/ShellTexts.h"

#include "util/Text.h"

#include <QFileInfo>

namespace ostrel {

const QString kPictureFilter = QStringLiteral(
    "All Graphics Formats|*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.pcx;*.ico;*.cam;*.thn;*.mac;*.16k;*.tif;*.tiff"
    "|Windows Bitmaps (*.bmp)|*.bmp"
    "|JPEG (*.jpg, *.jpeg)|*.jpg;*.jpeg"
    "|CompuServe GIF (*.gif)|*.gif"
    "|Portable Network Graphics (*.png)|*.png"
    "|Windows Icons (*.ico)|*.ico"
    "|ZSoft PCX (*.pcx)|*.pcx"
    "|Casio QV-11 Camera (*.cam)|*.cam"
    "|MacPaint (*.mac)|*.mac"
    "|CGA Video Buffer (*.16k)|*.16k"
    "|TIFF Baseline (*.tif, *.tiff)|*.tif;*.tiff"
    "|THN (Graphics Workshop Thumbnails)|*.thn"
    "|TXT and DAT Files (*.txt, *.dat)|*.txt;*.dat"
    "|HTM and HTML Files (*.htm, *.html, *.bez)|*.htm;*.html;*.bez"
    "|Program Files (*.pas, etc.)|*.pas;*.c;*.h;*.cpp;*.cgi;*.asm;*.java;*.py"
    "|EXE/OBJ (Executables and Object)|*.exe;*.obj");

QStringList qtFileFilters(const QString& pairedFilter)
{
    const QStringList parts = pairedFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        filters.append(parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return filters;
}

SaveDialogChoice saveDialogChoice(int64_t colourCount)
{
    if (colourCount > 256)
        return {kSaveFilter24Bit, kSaveTitle24Bit};
    return {kSaveFilterPaletted, kSaveTitlePaletted};
}

QString withDefaultExtension(const QString& fileName)
{
    if (fileName.isEmpty() || QFileInfo(fileName).fileName().contains(QLatin1Char('.')))
        return fileName;
    return fileName + QLatin1Char('.') + kDefaultExtension;
}

QString saveExtensionErrorText(const QString& fileName, const QString& upperExtension)
{
    return fileErrorText(fileName, QStringLiteral("Cannot save file with ") + upperExtension + QStringLiteral(" Extension."));
}

QString fileErrorText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("ERROR:") + kCrLf + QStringLiteral("    File name entered is:") + kCrLf
        + QStringLiteral("    ") + escapedName(fileName) + kCrLf + kCrLf + QStringLiteral("    ")
        + visibleControls(reason);
}

QString sourcePanelText(const QString& fileName)
{
    return escapedName(fileName);
}

QString reduceQuestionText()
{
    return QStringLiteral("Reduce color-depth when encoding") + kCrLf + QStringLiteral("to allow saving in .GIF format or")
        + kCrLf + QStringLiteral("in 4-bit or 8-bit .BMP format?");
}

QString ditherQuestionText(int32_t paletteCount)
{
    return QStringLiteral("Resulting image will contain ") + QString::number(paletteCount) + QStringLiteral(" colors.")
        + kCrLf + kCrLf + QStringLiteral("Dither image to the new palette?") + kCrLf + kCrLf
        + QStringLiteral("(Dithering often causes noticeable") + kCrLf + QStringLiteral("speckling of the image, but reducing")
        + kCrLf + QStringLiteral("colors without dithering often causes") + kCrLf + QStringLiteral("posterization effects.)");
}

QString outcomeText(const QString& heading, bool succeeded, const ReportList& report)
{
    QString text = heading + (succeeded ? QStringLiteral(" Successful") : QStringLiteral(" Failed")) + kCrLf + kCrLf;
    // A line break inside a line (a name holding one) would fake a line.
    for (const QString& line : report)
        text += visibleControls(line) + kCrLf;
    return text;
}

QString adaptiveNeedsPasswordText()
{
    return QStringLiteral("ERROR:") + kCrLf + QStringLiteral("    Adaptive hiding needs a password: its places and its seal come from it.")
        + kCrLf + QStringLiteral("    Please type a password.");
}

QString unusablePasswordText()
{
    return QStringLiteral("ERROR:") + kCrLf + QStringLiteral("    This password cannot be used.") + kCrLf
        + QStringLiteral("    Please choose another password.");
}

QString loadProblemText(const QString& fileName, LoadStop stop)
{
    QString reason;
    switch (stop) {
    case LoadStop::Complete: return {};
    case LoadStop::Missing: reason = QStringLiteral("File not found."); break;
    case LoadStop::Truncated: reason = QStringLiteral("The file ends early: only part of the picture was read."); break;
    case LoadStop::BadSignature: reason = QStringLiteral("The file is not a picture of the kind its extension names."); break;
    case LoadStop::Corrupt: reason = QStringLiteral("The file is damaged: only part of the picture was read."); break;
    case LoadStop::OverLimit: reason = QStringLiteral("The picture is too large to load."); break;
    case LoadStop::Unsupported: reason = QStringLiteral("This kind of picture cannot be read."); break;
    case LoadStop::Failed: reason = QStringLiteral("The picture cannot be read; the previous picture is kept."); break;
    }
    return fileErrorText(fileName, reason);
}

QString fetchRunningText(const QString& url)
{
    return QStringLiteral("Fetching ") + url + QStringLiteral(" ...");
}

} // namespace ostrel
