#include "data/TempPathUnit.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <array>

namespace ostrel {

namespace {

struct DataFolders {
    QString root;
    std::array<QString, 7> sub; // init, web, decode, clipboards, paste, sound, video
    bool ready = false;
};

DataFolders g_folders;

constexpr std::array<const char*, 7> kSubFolderNames = {
    "INIT/", "WEB/", "STEGANOGRAPHY/", "CLIPBOARDS/", "PASTE/", "SOUND/", "VIDEO/",
};

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path.append(QLatin1Char('/'));
    return path;
}

bool buildSubFolders()
{
    for (size_t i = 0; i < kSubFolderNames.size(); ++i)
        if (!ForceFolder(g_folders.sub[i], g_folders.root + QLatin1String(kSubFolderNames[i])))
            return false;
    return true;
}

} // namespace

bool ForceFolder(QString& variable, const QString& path)
{
    if (path.isEmpty() || !QDir().mkpath(path) || !QFileInfo(path).isDir())
        return false;
    variable = withSlash(path);
    return true;
}

QString FindTempFolder()
{
    const QStringList candidates = {QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty())
            continue;
        if (QFileInfo(candidate).isDir() || QDir().mkpath(candidate))
            return withSlash(candidate);
    }
    return {};
}

QString preferredDataRoot()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return withSlash(base) + QStringLiteral("ostrel/DATA/");
}

bool CreateDataFoldersAt(const QString& root)
{
    ClearDataFolders();
    if (!ForceFolder(g_folders.root, root))
        return false;
    g_folders.ready = buildSubFolders();
    return g_folders.ready;
}

bool CreateDataFolders()
{
    ClearDataFolders();
    if (!ForceFolder(g_folders.root, preferredDataRoot())) {
        QString temp = FindTempFolder();
        if (temp.endsWith(QLatin1Char('/')))
            temp.chop(1);
        if (!ForceFolder(g_folders.root, temp + QStringLiteral("/DATA/")))
            return false;
    }
    g_folders.ready = buildSubFolders();
    return g_folders.ready;
}

void ClearDataFolders() { g_folders = DataFolders{}; }

bool DataFoldersReady() { return g_folders.ready; }
QString DataRootFolder() { return g_folders.root; }
QString InitFolder() { return g_folders.sub[0]; }
QString WebFolder() { return g_folders.sub[1]; }
QString DecodeFolder() { return g_folders.sub[2]; }
QString ClipboardsFolder() { return g_folders.sub[3]; }
QString PasteFolder() { return g_folders.sub[4]; }
QString SoundFolder() { return g_folders.sub[5]; }
QString VideoFolder() { return g_folders.sub[6]; }

} // namespace ostrel
