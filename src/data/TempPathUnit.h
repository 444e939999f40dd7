// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's data folder tree, created once at start-up. Paths end with "/".
//
// DataFolderTree is the tree as a value: made under a root, asked for a
// folder by its purpose. The program keeps one default tree; the free
// functions below (CreateDataFolders, decodeFolder, webFolder, ...) read and
// replace that one.
#include "util/Result.h"

#include <QString>

#include <array>

namespace ostrel {

// The seven sub-folders, in the order they are made.
enum class DataFolder { Init, Web, Decode, Clipboards, Paste, Sound, Video };

class DataFolderTree {
public:
    // No tree: every folder empty, not ready.
    DataFolderTree() = default;

    // Builds the tree under `root`, made with its missing parents. It stops
    // at the first folder that cannot be made; that folder and the later ones
    // stay empty and problem() says why.
    static DataFolderTree createAt(const QString& root);

    // Builds the tree under the preferred root ($XDG_DATA_HOME/ostrel/DATA/,
    // by default ~/.local/share/ostrel/DATA/), else under a folder of this
    // user's own in the temporary folder (<temp>/ostrel-UID/DATA/), which
    // must be a real folder owned by the user and not writable by others.
    // Every folder is made readable by its owner alone.
    static DataFolderTree createPreferred();

    QString root() const { return m_root; }
    // The folder of that purpose ending with "/", or empty when it was not made.
    QString folder(DataFolder purpose) const { return m_folders[size_t(purpose)]; }
    // The root and all seven sub-folders exist.
    bool ready() const { return m_ready; }
    // Why the tree could not be made, naming the folder and the system's
    // reason; empty after a success.
    QString problem() const { return m_problem; }

    // Whether files of that purpose may be stored in the tree. Decoded files
    // need the whole tree: they are the user's secrets, and a tree that
    // stopped half-way (a file where a folder belongs, a full disk, a lost
    // permission) is one whose state nobody checked, so the decode is
    // refused and says so. Every other folder, the web folder for fetched
    // files among them, needs only itself: what a server sent anyone is no
    // secret, and a missing sibling folder does not change where it goes.
    bool canStore(DataFolder purpose) const;

    // Checks, before anything is written into the tree, that a tree in the
    // temporary folder is still this user's private folder (it may have been
    // removed and made again by someone else meanwhile). Always passes for
    // any other root.
    Outcome stillPrivate() const;

private:
    bool buildSubFolders();

    QString m_root;
    std::array<QString, 7> m_folders;
    bool m_ready = false;
    QString m_privateFolder; // the per-user folder under the temporary folder, when the tree is there
    QString m_problem;
};

// The program's one default tree.
const DataFolderTree& defaultDataFolders();

// Builds the default tree as DataFolderTree::createPreferred does. Returns
// true only if the root and all seven sub-folders exist afterwards; the
// result is also kept as DataFoldersReady(), and dataFoldersProblem() says
// why it failed.
bool CreateDataFolders();

// Builds the default tree (as CreateDataFolders) and says whether files of
// that purpose can be stored in it (DataFolderTree::canStore); when not,
// the failure is the tree's problem().
Outcome prepareDataFoldersFor(DataFolder purpose);

// Whether the default tree can store files of that purpose, as
// DataFolderTree::canStore.
bool dataFolderCanStore(DataFolder purpose);

// Why the last CreateDataFolders or createDataFoldersAt failed, naming the
// folder and the system's reason; empty after a success.
QString dataFoldersProblem();

// DataFolderTree::stillPrivate of the default tree.
Outcome dataFoldersStillPrivate();

// Creates `path` and its missing parents, new folders readable by the owner
// alone; on success stores it in `variable`.
bool ForceFolder(QString& variable, const QString& path);

// The system temporary folder ending with "/", or empty.
QString FindTempFolder();

// The preferred data root, before any fallback.
QString preferredDataRoot();

bool DataFoldersReady();
QString dataRootFolder();
QString initFolder();
QString webFolder();
QString decodeFolder();
QString clipboardsFolder();
QString pasteFolder();
QString soundFolder();
QString videoFolder();

// Empties every value, as at shutdown; tests use it to start again.
void clearDataFolders();

// Builds the default tree under a root chosen by the caller instead of the
// preferred one (the tests use it).
bool createDataFoldersAt(const QString& root);

} // namespace ostrel
