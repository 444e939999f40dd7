// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ClipboardUnit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

namespace ostrel {

namespace {

bool isVectorPictureType(const QString& type)
{
    return type == QLatin1String("image/svg+xml") || type == QLatin1String("image/x-wmf")
        || type == QLatin1String("image/x-emf") || type == QLatin1String("image/wmf")
        || type == QLatin1String("image/emf")
        || (type.startsWith(QLatin1String("application/x-qt-windows-mime"))
            && (type.contains(QLatin1String("MetaFilePict")) || type.contains(QLatin1String("Enhanced Metafile"))));
}

// Raster types Qt can turn into a QImage, for clipboards that offer only an
// encoded picture (a browser's image/png) rather than Qt's own image type.
bool isRasterType(const QString& type)
{
    if (!type.startsWith(QLatin1String("image/")) || isVectorPictureType(type))
        return false;
    return QImageReader::supportedMimeTypes().contains(type.toLatin1());
}

} // namespace

int classifyClipboardData(const QMimeData* data)
{
    if (!data)
        return cbNone;
    if (data->hasText())
        return cbText;
    const QStringList formats = data->formats();
    if (data->hasImage() || std::any_of(formats.begin(), formats.end(), isRasterType))
        return cbBitmap;
    if (std::any_of(formats.begin(), formats.end(), isVectorPictureType))
        return cbPicture;
    const auto isPrivate = [](const QString& type) { return type.startsWith(QLatin1String(kPrivateClipboardPrefix)); };
    if (std::any_of(formats.begin(), formats.end(), isPrivate))
        return cbPrivate;
    return cbNone;
}

int ClassifyClipboard()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? classifyClipboardData(clipboard->mimeData()) : cbNone;
}

} // namespace ostrel
