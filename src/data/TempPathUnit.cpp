// SPDX-License-Identifier: Apache-2.0
#include "data/TempPathUnit.h"

#include "util/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <array>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {

namespace {

struct DataFolders {
    QString root;
    std::array<QString, 7> sub; // init, web, decode, clipboards, paste, sound, video
    bool ready = false;
    QString privateFolder; // the per-user folder under the temporary folder, when the tree is there
    QString problem;       // why the tree could not be made
};

// Decoded secrets and fetched files live in the data folders: no one else
// may look into them.
constexpr mode_t kPrivateFolderMode = 0700;

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

// A folder of ours that is readable by others (made so by hand, or by a
// umask that let it through) is closed: decoded payloads are private.
void closeToOthers(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) != 0)
        ::chmod(name.constData(), kPrivateFolderMode);
}

bool forceFolder(QString& variable, const QString& path, QString* error)
{
    if (!makeFolders(path, kPrivateFolderMode, error))
        return false;
    closeToOthers(path);
    variable = withSlash(path);
    return true;
}

// ForceFolder that keeps the reason of a failure for DataFoldersProblem().
bool forceFolderNoting(QString& variable, const QString& path)
{
    return forceFolder(variable, path, &g_folders.problem);
}

bool buildSubFolders()
{
    for (size_t i = 0; i < kSubFolderNames.size(); ++i)
        if (!forceFolderNoting(g_folders.sub[i], g_folders.root + QLatin1String(kSubFolderNames[i])))
            return false;
    return true;
}

// The shared temporary folder is open to every local user, who could make
// our folder first and read what we put in it, or swap it for a link. So the
// folder must be a real folder, ours, and closed to others; empty when it is.
QString privateFolderProblem(const QString& path)
{
    // Without its final slash, so that a link is seen as a link, not followed.
    QByteArray name = QFile::encodeName(path);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return QStringLiteral("%1 cannot be checked: %2").arg(path, systemReason(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link, not a private folder").arg(path);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((info.st_mode & 022) != 0)
        return QStringLiteral("%1 can be written by other users").arg(path);
    return {};
}

// <temp>/ostrel-UID/, made private (or found private) for this user.
bool makePrivateTempFolder(QString& folder)
{
    QString temp = FindTempFolder();
    if (temp.isEmpty()) {
        g_folders.problem += QStringLiteral(" No temporary folder was found.");
        return false;
    }
    folder = temp + QStringLiteral("ostrel-%1/").arg(::geteuid());
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        g_folders.problem += QStringLiteral(" Cannot create folder %1: %2.").arg(folder, systemReason(errno));
        return false;
    }
    const QString problem = privateFolderProblem(folder);
    if (!problem.isEmpty()) {
        g_folders.problem += QStringLiteral(" The private data folder %1; it is not used.").arg(problem);
        return false;
    }
    if (::chmod(name.constData(), kPrivateFolderMode) != 0) {
        g_folders.problem += QStringLiteral(" Cannot make %1 private: %2.").arg(folder, systemReason(errno));
        return false;
    }
    return true;
}

} // namespace

bool ForceFolder(QString& variable, const QString& path)
{
    return forceFolder(variable, path, nullptr);
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
    // A value that is not valid text would be created under another name.
    const QByteArray raw = qgetenv("XDG_DATA_HOME");
    QString base = QFile::decodeName(raw);
    if (base.isEmpty() || !QDir::isAbsolutePath(base) || QFile::encodeName(base) != raw)
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return withSlash(base) + QStringLiteral("ostrel/DATA/");
}

bool CreateDataFoldersAt(const QString& root)
{
    ClearDataFolders();
    if (!forceFolderNoting(g_folders.root, root))
        return false;
    g_folders.ready = buildSubFolders();
    return g_folders.ready;
}

bool CreateDataFolders()
{
    ClearDataFolders();
    if (!forceFolderNoting(g_folders.root, preferredDataRoot())) {
        QString folder;
        if (!makePrivateTempFolder(folder))
            return false;
        g_folders.privateFolder = folder;
        if (!forceFolderNoting(g_folders.root, folder + QStringLiteral("DATA/")))
            return false;
    }
    g_folders.problem.clear();
    g_folders.ready = buildSubFolders();
    return g_folders.ready;
}

bool DataFoldersStillPrivate(QString* problem)
{
    if (g_folders.privateFolder.isEmpty())
        return true;
    QString found = privateFolderProblem(g_folders.privateFolder);
    if (found.isEmpty())
        found = privateFolderProblem(g_folders.root);
    if (found.isEmpty())
        return true;
    if (problem)
        *problem = QStringLiteral("The private data folder %1; nothing is written there.").arg(found);
    return false;
}

QString DataFoldersProblem() { return g_folders.problem; }

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
