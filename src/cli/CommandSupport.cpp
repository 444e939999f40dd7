// SPDX-License-Identifier: Apache-2.0
#include "cli/CommandSupport.h"

#include "cli/Colours.h"
#include "cli/Output.h"
#include "engine/PasswordBytes.h"
#include "engine/TRandom.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/bmp.h"
#include "imageio/gif.h"
#include "imageio/png.h"
#include "util/FileIO.h"
#include "util/Picture.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace ostrel::cli {

PasswordRequest passwordRequest(const CommandLine& line)
{
    PasswordRequest request;
    const char* source = line.lastOf({"--password-file", "--password-stdin", "--empty-password"});
    if (!source)
        return request;
    const QLatin1String given(source);
    if (given == QLatin1String("--password-file")) {
        request.source = PasswordSource::File;
        request.file = line.value("--password-file");
    } else if (given == QLatin1String("--password-stdin")) {
        request.source = PasswordSource::Stdin;
    } else {
        request.source = PasswordSource::Empty;
    }
    return request;
}

QString reportCause(QString line)
{
    if (line.startsWith(QLatin1String("ERROR: ")))
        line.remove(0, 7);
    return line;
}

QString passwordSourceProblem(const CommandLine& line)
{
    if (line.count({"--password-file", "--password-stdin", "--empty-password"}) > 1)
        return QStringLiteral("Give only one of --password-file, --password-stdin and --empty-password.");
    return {};
}

std::optional<QImage> loadCommandPicture(const QString& path)
{
    PictureLoadOptions options;
    options.CompleteOnly = true;
    QString error;
    LoadResult result = LoadPictureFileWithOptions(path, options, &error);
    if (result.picture.isNull()) {
        err(error);
        return std::nullopt;
    }
    ensurePictureFormat(result.picture);
    return result.picture;
}

bool payloadReadable(const QString& path)
{
    const Outcome regular = checkRegularFile(path);
    if (!regular)
        err(regular.error());
    return regular.ok();
}

bool isSavableExtension(const QString& extension)
{
    return extension == QLatin1String(".BMP") || extension == QLatin1String(".GIF") ||
           extension == QLatin1String(".PNG");
}

QString unsavableExtensionMessage(const QString& fileName)
{
    return QStringLiteral("Cannot save %1: cannot save file with %2 Extension (use .bmp, .gif or .png).")
        .arg(fileName, upperExtension(fileName).isEmpty() ? QStringLiteral("no") : upperExtension(fileName));
}

namespace {

// The palette always holds the 16 base colours, so a picture of 256 or fewer
// colours of its own may still not fit; the message says so.
QString tooManyColoursForGif(const QString& fileName, const ColourFacts& facts)
{
    const QString need = facts.own <= 256
        ? QStringLiteral("has %1 colours, %2 with the 16 base colours every palette holds").arg(facts.own).arg(facts.total)
        : QStringLiteral("has %1 colours").arg(facts.own);
    return QStringLiteral("Cannot save %1: the picture %2; GIF holds at most 256, so save it as .bmp.").arg(fileName, need);
}

} // namespace

bool savePicture(const QImage& picture, const QString& fileName, QString& error)
{
    const ColourFacts facts = coloursForSaving(picture);
    const QString extension = upperExtension(fileName);
    bool saved = false;
    if (extension == QLatin1String(".GIF")) {
        if (facts.saveCount > 256) {
            // A picture of many colours was not counted; the message needs its count.
            error = tooManyColoursForGif(fileName, facts.own > 0 ? facts : countColours(picture));
            return false;
        }
        saved = SaveGifWithPalette(picture, fileName, facts.savePalette, facts.saveCount, &error);
    } else if (extension == QLatin1String(".PNG")) {
        saved = savePngPaletted(picture, fileName, facts.savePalette, facts.saveCount, {}, &error);
    } else {
        saved = SaveBmpWithPalette(picture, fileName, facts.savePalette, facts.saveCount, &error);
    }
    if (!saved && error.isEmpty())
        error = QStringLiteral("Cannot write %1.").arg(fileName);
    return saved;
}

bool saveTrueColour(const QImage& picture, const QString& fileName, QString& error)
{
    // More than 256 colours: the PNG writer's 24-bit file.
    const bool saved = upperExtension(fileName) == QLatin1String(".PNG")
        ? savePngPaletted(picture, fileName, TPaletteArray{}, 257, {}, &error)
        : Write24BitBmp(picture, fileName, &error);
    if (saved)
        return true;
    if (error.isEmpty())
        error = QStringLiteral("Cannot write %1.").arg(fileName);
    return false;
}

std::optional<QByteArray> askPassword(const PasswordRequest& request)
{
    QString error;
    std::optional<QByteArray> password = obtainPassword(request, error);
    if (!password)
        err(error);
    return password;
}

std::optional<uint64_t> obtainKey(const PasswordRequest& request)
{
    std::optional<QByteArray> password = askPassword(request);
    if (!password)
        return std::nullopt;
    const uint64_t key = HashPassword(*password);
    wipeSecret(*password);
    if (!keyCanProduceBits(key)) {
        err(QStringLiteral("This password cannot be used to hide data; please choose another one."));
        return std::nullopt;
    }
    return key;
}

void printOutcome(const char* heading, bool ok, const ReportList& report, const QString& failure)
{
    out(QLatin1String(heading) + (ok ? QStringLiteral(" Successful") : QStringLiteral(" Failed")));
    out(QString());
    for (const QString& line : report)
        out(line);
    if (ok || failure.isEmpty())
        return;
    const QString cause = report.isEmpty() ? QString() : reportCause(report.last());
    err(cause.isEmpty() ? failure + QLatin1Char('.') : failure + QStringLiteral(": ") + cause);
}

bool neverNeedsFonts(const CommandLine&)
{
    return false;
}

bool alwaysNeedsFonts(const CommandLine&)
{
    return true;
}

namespace {

bool drawsText(const QString& path)
{
    return pictureLoaderDrawsText(PictureLoaderCode(upperExtension(path)));
}

} // namespace

bool firstPictureDrawsText(const CommandLine& line)
{
    return !line.operands.isEmpty() && drawsText(line.operands.first());
}

bool anyPictureDrawsText(const CommandLine& line)
{
    return std::any_of(line.operands.begin(), line.operands.end(), drawsText);
}

} // namespace ostrel::cli
