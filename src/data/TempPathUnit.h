// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's data folder tree, created once at start-up. Paths end with "/".
#include <QString>

namespace ostrel {

// Builds the tree under the preferred root ($XDG_DATA_HOME/ostrel/DATA/, by
// default ~/.local/share/ostrel/DATA/), else under a folder of this user's
// own in the temporary folder (<temp>/ostrel-UID/DATA/), which must be a real
// folder owned by the user and not writable by others. Every folder is made
// readable by its owner alone. Returns true only if the root and all seven
// sub-folders exist afterwards; the result is also kept as DataFoldersReady(),
// and DataFoldersProblem() says why it failed.
bool CreateDataFolders();

// Why the last CreateDataFolders or CreateDataFoldersAt failed, naming the
// folder and the system's reason; empty after a success.
QString DataFoldersProblem();

// Checks, before anything is written into the tree, that a tree in the
// temporary folder is still this user's private folder (it may have been
// removed and made again by someone else meanwhile). Always true for the
// preferred root; otherwise false with `problem` set.
bool DataFoldersStillPrivate(QString* problem = nullptr);

// Creates `path` and its missing parents, new folders readable by the owner
// alone; on success stores it in `variable`.
bool ForceFolder(QString& variable, const QString& path);

// The system temporary folder ending with "/", or empty.
QString FindTempFolder();

// The preferred data root, before any fallback.
QString preferredDataRoot();

bool DataFoldersReady();
QString DataRootFolder();
QString InitFolder();
QString WebFolder();
QString DecodeFolder();
QString ClipboardsFolder();
QString PasteFolder();
QString SoundFolder();
QString VideoFolder();

// Empties every value, as at shutdown; tests use it to start again.
void ClearDataFolders();

// Builds the tree under a root chosen by the caller instead of the preferred
// one (the command line's -o option and the tests use it).
bool CreateDataFoldersAt(const QString& root);

} // namespace ostrel
