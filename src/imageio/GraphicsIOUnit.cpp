// SPDX-License-Identifier: Apache-2.0
#include "imageio/GraphicsIOUnit.h"

#include "colour/Drawing.h"
#include "util/FileIO.h"
#include "util/Picture.h"

#include "Readers.h"

#include <QFileInfo>
#include <array>
#include <string_view>

namespace ostrel {

namespace {

using Reader = LoadResult (*)(const LoadInput&);

// The CGA video-buffer dumps share one reader: ".16K" files take their mode
// and colour from the load options, the other extensions fix them.
LoadResult loadCgaAsOptionsSay(const LoadInput& input)
{
    return LoadCgaFile(input, input.options.CgaMode, input.options.CgaColour);
}

template <uint8_t Mode>
LoadResult loadCgaInMode(const LoadInput& input)
{
    return LoadCgaFile(input, Mode, 0);
}

struct LoaderRow {
    uint8_t code;
    // Upper case with the leading dot, separated by single blanks.
    std::string_view extensions;
    Reader reader;
    // Text files, program dumps and the labelled camera picture need fonts,
    // and so a QGuiApplication.
    bool drawsText;
};

// Searched in this order; the first exact match wins. Adding a format is one row.
constexpr std::array<LoaderRow, 17> kLoaders = {{
    {1, ".BMP", LoadBmpFile, false},
    {2, ".GIF", LoadGifFile, false},
    {3, ".JPG .JPEG", LoadJpegFile, false},
    {6, ".CAM", LoadCamFile, true},
    {4, ".PCX", LoadPcxFile, false},
    {10, ".THN", LoadThnFile, false},
    {5, ".MAC", LoadMacPaintFile, false},
    {13, ".PNG", LoadPngFile, false},
    {12, ".ICO", LoadIconFile, false},
    {11, ".TIF .TIFF", LoadTiffFile, false},
    {14, ".16K", loadCgaAsOptionsSay, false},
    {15, ".320", loadCgaInMode<4>, false},
    {16, ".160", loadCgaInMode<0>, false},
    {17, ".640", loadCgaInMode<5>, false},
    {7, ".TXT .HTM .HTML .BEZ .DAT .PAS .C .CPP .H .JAVA .CGI .INI .ASM .INC .PY", LoadTextFile, true},
    {8, ".EXE", LoadExeFile, true},
    {9, ".OBJ", LoadObjFile, true},
}};

bool listsExtension(std::string_view extensions, const QString& upper)
{
    while (!extensions.empty()) {
        const size_t blank = extensions.find(' ');
        const std::string_view one = extensions.substr(0, blank);
        if (upper == QLatin1String(one.data(), qsizetype(one.size())))
            return true;
        if (blank == std::string_view::npos)
            break;
        extensions.remove_prefix(blank + 1);
    }
    return false;
}

// Only the low 7 bits of a code choose the loader.
const LoaderRow* loaderFor(uint8_t code)
{
    for (const LoaderRow& row : kLoaders)
        if (row.code == (code & 0x7F))
            return &row;
    return nullptr;
}

LoadResult dispatch(uint8_t code, const LoadInput& input, const QString& extension)
{
    if (const LoaderRow* row = loaderFor(code))
        return row->reader(input);
    LoadResult result;
    result.picture = unsupportedPicture(input.fileName, extension);
    result.stop = LoadStop::Unsupported;
    return result;
}

// Every reader promises a picture; this keeps the promise if one did not.
void ensureUsablePicture(LoadResult& result)
{
    if (result.stop == LoadStop::Failed)
        return;
    if (result.picture.isNull())
        result.picture = blankPicture(100, 100);
    ensurePictureFormat(result.picture);
}

// Only the letters a to z change case, whatever the locale: no other
// character may turn into a letter of a table row (the dotless i would
// otherwise make ".TIF" of ".t\u0131f").
QString asciiUpper(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return upper;
}

} // namespace

uint8_t PictureLoaderCode(const QString& extension)
{
    const QString upper = asciiUpper(extension);
    for (const LoaderRow& row : kLoaders)
        if (listsExtension(row.extensions, upper))
            return row.code;
    return 0;
}

bool pictureLoaderDrawsText(uint8_t code)
{
    // The "not supported" picture is labelled too.
    const LoaderRow* row = loaderFor(code);
    return !row || row->drawsText;
}

QString upperExtension(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : asciiUpper(name.mid(dot));
}

LoadResult loadPictureBytes(const QString& fileName, ByteView data, const PictureLoadOptions& options)
{
    const QString extension = upperExtension(fileName);
    LoadInput input{fileName, true, data, options};
    LoadResult result = dispatch(PictureLoaderCode(extension), input, extension);
    ensureUsablePicture(result);
    return result;
}

QString incompleteLoadReason(LoadStop stop)
{
    switch (stop) {
    case LoadStop::Complete: return {};
    case LoadStop::Missing: return QStringLiteral("the file could not be read");
    case LoadStop::Truncated: return QStringLiteral("the file ends before the picture does");
    case LoadStop::BadSignature: return QStringLiteral("the file is not a picture of its kind");
    case LoadStop::Corrupt: return QStringLiteral("the picture's data are damaged");
    case LoadStop::OverLimit: return QStringLiteral("the picture is larger than Ostrel can hold");
    case LoadStop::Unsupported: return QStringLiteral("this kind of picture is not supported");
    case LoadStop::Failed: return QStringLiteral("the picture could not be decoded");
    }
    return QStringLiteral("the picture could not be read");
}

namespace {

// A load that gave no picture, and why, for LoadPictureFileWithOptions with
// CompleteOnly.
LoadResult refusedLoad(LoadStop stop, QString* readError, const QString& why)
{
    if (readError)
        *readError = why;
    LoadResult refused;
    refused.stop = stop;
    return refused;
}

// Read, never mapped: a mapped file that another program shortens while it
// is read ends the process with a bus error. A file that is not regular is
// not read at all.
LoadResult loadOpenedFile(const QString& fileName, const QString& extension, uint8_t code,
                          const OpenFile* file, const PictureLoadOptions& options, QString* readError)
{
    LoadInput input{fileName, false, {}, options};
    LoadResult result;
    const LoaderRow* row = loaderFor(code);
    if (file && row && row->reader == LoadBmpFile) {
        input.exists = true;
        result = loadBmpFromFile(input, *file, readError);
    } else {
        // A file shortened while it is read is not read at all.
        // Without a file the reason was reported when it was opened.
        QByteArray bytes;
        if (file) {
            const Result<QByteArray> read = readOpenFile(*file, fileName);
            if (reportInto(read, readError)) {
                bytes = *read;
                input.data = ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
                input.exists = true;
            }
        }
        result = dispatch(code, input, extension);
    }
    ensureUsablePicture(result);
    return result;
}

} // namespace

LoadResult LoadPictureFileWithOptions(const QString& fileName, const PictureLoadOptions& options, QString* readError)
{
    const QString extension = upperExtension(fileName);
    const uint8_t code = PictureLoaderCode(extension);
    if (code == 0) {
        if (!options.CompleteOnly)
            return loadOpenedFile(fileName, extension, code, nullptr, options, readError);
        return refusedLoad(LoadStop::Unsupported, readError,
                           QStringLiteral("Cannot open %1: %2 files are not pictures that Ostrel reads.")
                               .arg(fileName, extension.isEmpty() ? QStringLiteral("extension-less") : extension));
    }
    const Result<OpenFile> file = openRegularFile(fileName);
    if (!options.CompleteOnly) {
        reportInto(file, readError);
        return loadOpenedFile(fileName, extension, code, file ? &*file : nullptr, options, readError);
    }
    if (!file)
        return refusedLoad(LoadStop::Missing, readError, file.error());
    if (file->size() == 0)
        return refusedLoad(LoadStop::Truncated, readError, QStringLiteral("Cannot read %1: the file is empty.").arg(fileName));
    QString error;
    LoadResult result = loadOpenedFile(fileName, extension, code, &*file, options, &error);
    if (!error.isEmpty())
        return refusedLoad(result.stop, readError, error);
    if (result.stop != LoadStop::Complete || result.picture.isNull())
        return refusedLoad(result.stop, readError,
                           QStringLiteral("Cannot read %1: %2.").arg(fileName, incompleteLoadReason(result.stop)));
    return result;
}

LoadResult LoadPictureFile(QImage& picture, const QString& fileName, const PictureLoadOptions& options)
{
    LoadResult result = LoadPictureFileWithOptions(fileName, options);
    if (!result.picture.isNull())
        picture = std::move(result.picture);
    result.picture = QImage();
    return result;
}

} // namespace ostrel
