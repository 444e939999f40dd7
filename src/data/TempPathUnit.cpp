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

// Decoded secrets and fetched files live in the data folders: no one else
// may look into them.
constexpr mode_t kPrivateFolderMode = 0700;

// The program's default tree, which the free functions read and replace.
DataFolderTree g_defaultTree;

// In the order of DataFolder.
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

Outcome forceFolder(QString& variable, const QString& path)
{
    const Outcome made = makeFolders(path, kPrivateFolderMode);
    if (!made)
        return made;
    closeToOthers(path);
    variable = withSlash(path);
    return {};
}

// Keeps a failure's message as the tree's problem.
bool succeeded(const Outcome& outcome, QString& problem)
{
    if (!outcome)
        problem = outcome.error();
    return outcome.ok();
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

// <temp>/ostrel-UID/, made private (or found private) for this user; why
// not is added to `problem`.
bool makePrivateTempFolder(QString& folder, QString& problem)
{
    QString temp = FindTempFolder();
    if (temp.isEmpty()) {
        problem += QStringLiteral(" No temporary folder was found.");
        return false;
    }
    folder = temp + QStringLiteral("ostrel-%1/").arg(::geteuid());
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        problem += QStringLiteral(" Cannot create folder %1: %2.").arg(folder, systemReason(errno));
        return false;
    }
    const QString found = privateFolderProblem(folder);
    if (!found.isEmpty()) {
        problem += QStringLiteral(" The private data folder %1; it is not used.").arg(found);
        return false;
    }
    if (::chmod(name.constData(), kPrivateFolderMode) != 0) {
        problem += QStringLiteral(" Cannot make %1 private: %2.").arg(folder, systemReason(errno));
        return false;
    }
    return true;
}

} // namespace

bool ForceFolder(QString& variable, const QString& path)
{
    return forceFolder(variable, path).ok();
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

bool DataFolderTree::buildSubFolders()
{
    for (size_t i = 0; i < kSubFolderNames.size(); ++i)
        if (!succeeded(forceFolder(m_folders[i], m_root + QLatin1String(kSubFolderNames[i])), m_problem))
            return false;
    return true;
}

DataFolderTree DataFolderTree::createAt(const QString& root)
{
    DataFolderTree tree;
    if (succeeded(forceFolder(tree.m_root, root), tree.m_problem))
        tree.m_ready = tree.buildSubFolders();
    return tree;
}

DataFolderTree DataFolderTree::createPreferred()
{
    DataFolderTree preferred = createAt(preferredDataRoot());
    if (!preferred.m_root.isEmpty())
        return preferred;
    QString folder;
    if (!makePrivateTempFolder(folder, preferred.m_problem))
        return preferred;
    DataFolderTree fallback = createAt(folder + QStringLiteral("DATA/"));
    fallback.m_privateFolder = folder;
    return fallback;
}

bool DataFolderTree::canStore(DataFolder purpose) const
{
    if (folder(purpose).isEmpty())
        return false;
    return purpose != DataFolder::Decode || m_ready;
}

Outcome DataFolderTree::stillPrivate() const
{
    if (m_privateFolder.isEmpty())
        return {};
    QString found = privateFolderProblem(m_privateFolder);
    if (found.isEmpty())
        found = privateFolderProblem(m_root);
    if (found.isEmpty())
        return {};
    return fail(QStringLiteral("The private data folder %1; nothing is written there.").arg(found));
}

const DataFolderTree& defaultDataFolders() { return g_defaultTree; }

bool createDataFoldersAt(const QString& root)
{
    g_defaultTree = DataFolderTree::createAt(root);
    return g_defaultTree.ready();
}

bool CreateDataFolders()
{
    g_defaultTree = DataFolderTree::createPreferred();
    return g_defaultTree.ready();
}

Outcome prepareDataFoldersFor(DataFolder purpose)
{
    CreateDataFolders();
    if (g_defaultTree.canStore(purpose))
        return {};
    return fail(g_defaultTree.problem());
}

bool dataFolderCanStore(DataFolder purpose) { return g_defaultTree.canStore(purpose); }

Outcome dataFoldersStillPrivate() { return g_defaultTree.stillPrivate(); }

QString dataFoldersProblem() { return g_defaultTree.problem(); }

void clearDataFolders() { g_defaultTree = DataFolderTree(); }

bool DataFoldersReady() { return g_defaultTree.ready(); }
QString dataRootFolder() { return g_defaultTree.root(); }
QString initFolder() { return g_defaultTree.folder(DataFolder::Init); }
QString webFolder() { return g_defaultTree.folder(DataFolder::Web); }
QString decodeFolder() { return g_defaultTree.folder(DataFolder::Decode); }
QString clipboardsFolder() { return g_defaultTree.folder(DataFolder::Clipboards); }
QString pasteFolder() { return g_defaultTree.folder(DataFolder::Paste); }
QString soundFolder() { return g_defaultTree.folder(DataFolder::Sound); }
QString videoFolder() { return g_defaultTree.folder(DataFolder::Video); }

} // namespace ostrel
