#pragma once
// The program's data folder tree, created once at start-up. Paths end with "/".
#include <QString>

namespace ostrel {

// Builds the tree under the preferred root ($XDG_DATA_HOME/ostrel/DATA/, by
// default ~/.local/share/ostrel/DATA/), else under the temporary folder
// (<temp>/DATA/). Returns true only if the root and all seven sub-folders
// exist afterwards; the result is also kept as DataFoldersReady().
bool CreateDataFolders();

// Creates `path` and its missing parents; on success stores it in `variable`.
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
