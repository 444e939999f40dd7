#include "imageio/GraphicsIOUnit.h"

#include "colour/Drawing.h"
#include "imageio/Readers.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/Text.h"

#include <QFile>
#include <QFileInfo>
#include <array>

namespace ostrel {

namespace {

struct ExtensionRow {
    const char* extension;
    uint8_t code;
};

// Searched in this order; the first exact match wins.
constexpr std::array<ExtensionRow, 33> kExtensionTable = {{
    {".BMP", 1},  {".GIF", 2},  {".JPG", 3},   {".JPEG", 3}, {".CAM", 6},  {".PCX", 4},   {".THN", 10},
    {".MAC", 5},  {".PNG", 13}, {".ICO", 12},  {".TIF", 11}, {".TIFF", 11}, {".16K", 14}, {".320", 15},
    {".160", 16}, {".640", 17}, {".TXT", 7},   {".HTM", 7},  {".HTML", 7}, {".BEZ", 7},   {".DAT", 7},
    {".PAS", 7},  {".C", 7},    {".CPP", 7},   {".H", 7},    {".JAVA", 7}, {".CGI", 7},   {".INI", 7},
    {".ASM", 7},  {".INC", 7},  {".PY", 7},    {".EXE", 8},  {".OBJ", 9},
}};

LoadResult dispatch(uint8_t code, const LoadInput& input, const QString& extension)
{
    const PictureLoadOptions& options = input.options;
    switch (code & 0x7F) {
    case 1: return LoadBmpFile(input);
    case 2: return LoadGifFile(input);
    case 3: return LoadJpegFile(input);
    case 4: return LoadPcxFile(input);
    case 5: return LoadMacPaintFile(input);
    case 6: return LoadCamFile(input);
    case 7: return LoadTextFile(input);
    case 8: return LoadExeFile(input);
    case 9: return LoadObjFile(input);
    case 10: return LoadThnFile(input);
    case 11: return LoadTiffFile(input);
    case 12: return LoadIconFile(input);
    case 13: return LoadPngFile(input);
    case 14: return LoadCgaFile(input, options.CgaMode, options.CgaColour);
    case 15: return LoadCgaFile(input, 4, 0);
    case 16: return LoadCgaFile(input, 0, 0);
    case 17: return LoadCgaFile(input, 5, 0);
    default: {
        LoadResult result;
        result.picture = unsupportedPicture(input.fileName, extension);
        result.stop = LoadStop::Unsupported;
        return result;
    }
    }
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

// Only the letters a to z change case, as in the 8-bit original: no other
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

QString reportValueLine(const QString& name, const QString& value)
{
    QString line = expandTabs(name) + QLatin1Char(' ');
    while (line.size() < 35)
        line.append(QLatin1Char('-'));
    return line + QLatin1Char(' ') + value;
}

uint8_t PictureLoaderCode(const QString& extension)
{
    const QString upper = asciiUpper(extension);
    for (const ExtensionRow& row : kExtensionTable)
        if (upper == QLatin1String(row.extension))
            return row.code;
    return 0;
}

bool PictureLoaderDrawsText(uint8_t code)
{
    switch (code & 0x7F) {
    case 1: case 2: case 3: case 4: case 5: case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17:
        return false;
    default:
        return true;
    }
}

QString upperExtension(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : asciiUpper(name.mid(dot));
}

LoadResult LoadPictureBytes(const QString& fileName, ByteView data, const PictureLoadOptions& options)
{
    const QString extension = upperExtension(fileName);
    LoadInput input{fileName, true, data, options};
    LoadResult result = dispatch(PictureLoaderCode(extension), input, extension);
    ensureUsablePicture(result);
    return result;
}

LoadResult LoadPictureFileWithOptions(const QString& fileName, const PictureLoadOptions& options)
{
    const QString extension = upperExtension(fileName);
    const uint8_t code = PictureLoaderCode(extension);
    LoadInput input{fileName, false, {}, options};
    QFile file(fileName); // keeps a mapping alive until the reader is done
    std::optional<QByteArray> bytes;
    if (code != 0 && QFileInfo(fileName).isFile()) {
        if (options.MapFile && file.open(QIODevice::ReadOnly) && file.size() > 0)
            if (const uchar* mapped = file.map(0, file.size()))
                input.data = ByteView(mapped, size_t(file.size()));
        if (input.data.empty() && (bytes = readWholeFile(fileName)))
            input.data = ByteView(reinterpret_cast<const uint8_t*>(bytes->constData()), size_t(bytes->size()));
        input.exists = !input.data.empty() || bytes.has_value();
    }
    LoadResult result = dispatch(code, input, extension);
    ensureUsablePicture(result);
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
