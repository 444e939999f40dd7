// SPDX-License-Identifier: Apache-2.0
// The data folder tree: the seven sub-folders, the fallback under the
// temporary folder, and what a folder that cannot be made leaves behind.
#include "data/TempPathUnit.h"
#include "imageio/text_printing.h"
#include "support/Posix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

using testing::modeOf;
using testing::ScopedEnvironment;

void makeFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

struct Folder {
    const char* name;
    DataFolder purpose;
    std::function<QString()> value; // the free function of the default tree
};

const Folder kSubFolders[] = {
    {"INIT/", DataFolder::Init, initFolder},
    {"WEB/", DataFolder::Web, webFolder},
    {"STEGANOGRAPHY/", DataFolder::Decode, decodeFolder},
    {"CLIPBOARDS/", DataFolder::Clipboards, clipboardsFolder},
    {"PASTE/", DataFolder::Paste, pasteFolder},
    {"SOUND/", DataFolder::Sound, soundFolder},
    {"VIDEO/", DataFolder::Video, videoFolder},
};

class DataFolders : public ::testing::Test {
protected:
    void TearDown() override { clearDataFolders(); }
    QTemporaryDir m_temp;
};

TEST_F(DataFolders, BuildsTheSevenSubFolders)
{
    // Whether the root exists beforehand or not.
    for (bool existedBefore : {false, true}) {
        SCOPED_TRACE(existedBefore);
        const QString root = m_temp.filePath(QStringLiteral("DATA"));
        if (existedBefore) {
            ASSERT_TRUE(QDir().mkpath(root));
        }
        ASSERT_TRUE(createDataFoldersAt(root));
        EXPECT_TRUE(DataFoldersReady());
        EXPECT_EQ(dataRootFolder(), root + QLatin1Char('/'));
        for (const Folder& folder : kSubFolders) {
            SCOPED_TRACE(folder.name);
            EXPECT_EQ(folder.value(), root + QLatin1Char('/') + QLatin1String(folder.name));
            EXPECT_EQ(defaultDataFolders().folder(folder.purpose), folder.value());
            EXPECT_TRUE(QFileInfo(folder.value()).isDir());
        }
        clearDataFolders();
        EXPECT_EQ(webFolder(), QString());
        EXPECT_FALSE(DataFoldersReady());
    }
}

// Trees are values: each answers for its own root, and making one leaves the
// program's default tree alone.
TEST_F(DataFolders, TreesAreValuesOfTheirOwnRoots)
{
    const QString first = m_temp.filePath(QStringLiteral("first/DATA"));
    const QString second = m_temp.filePath(QStringLiteral("second/DATA"));
    const DataFolderTree one = DataFolderTree::createAt(first);
    DataFolderTree two = DataFolderTree::createAt(second);
    EXPECT_TRUE(one.ready());
    EXPECT_TRUE(two.ready());
    EXPECT_EQ(one.problem(), QString());
    for (const Folder& folder : kSubFolders) {
        SCOPED_TRACE(folder.name);
        EXPECT_EQ(one.folder(folder.purpose), first + QLatin1Char('/') + QLatin1String(folder.name));
        EXPECT_EQ(two.folder(folder.purpose), second + QLatin1Char('/') + QLatin1String(folder.name));
        EXPECT_TRUE(QFileInfo(two.folder(folder.purpose)).isDir());
    }
    EXPECT_FALSE(DataFoldersReady());
    EXPECT_EQ(decodeFolder(), QString());

    two = DataFolderTree();
    EXPECT_FALSE(two.ready());
    EXPECT_EQ(two.folder(DataFolder::Decode), QString());
    EXPECT_EQ(one.folder(DataFolder::Decode), first + QStringLiteral("/STEGANOGRAPHY/"));
}

// A decode stores the user's secret and needs the whole tree; a fetch needs
// only the web folder. The same rule holds for a tree value, for the
// default tree and for the command line's preparation of the default tree.
TEST_F(DataFolders, DecodeNeedsTheWholeTreeAndFetchOnlyTheWebFolder)
{
    struct Case {
        const char* what;
        const char* blocked; // a file where this sub-folder belongs, or none
        bool decode, fetch;
    };
    const Case cases[] = {
        {"a whole tree", nullptr, true, true},
        {"a tree that stopped after its decode folder", "CLIPBOARDS", false, true},
        {"a tree that stopped at its web folder", "WEB", false, false},
        {"a tree that stopped after its web folder", "STEGANOGRAPHY", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString home = m_temp.filePath(QString::fromLatin1(c.what).replace(QLatin1Char(' '), QLatin1Char('-')));
        const QString root = home + QStringLiteral("/ostrel/DATA");
        ASSERT_TRUE(QDir().mkpath(root));
        if (c.blocked)
            makeFile(root + QLatin1Char('/') + QLatin1String(c.blocked));
        const ScopedEnvironment data("XDG_DATA_HOME", QFile::encodeName(home));

        const DataFolderTree tree = DataFolderTree::createAt(root);
        EXPECT_EQ(tree.canStore(DataFolder::Decode), c.decode);
        EXPECT_EQ(tree.canStore(DataFolder::Web), c.fetch);
        EXPECT_EQ(tree.problem().isEmpty(), c.blocked == nullptr) << tree.problem().toStdString();

        for (const auto& [purpose, expected] : {std::pair{DataFolder::Decode, c.decode}, std::pair{DataFolder::Web, c.fetch}}) {
            const Outcome prepared = prepareDataFoldersFor(purpose);
            const QString problem = prepared.error();
            EXPECT_EQ(prepared.ok(), expected);
            EXPECT_EQ(dataFolderCanStore(purpose), expected);
            EXPECT_EQ(dataRootFolder(), root + QLatin1Char('/'));
            // A refusal says why; what the tree did make is no reason.
            EXPECT_EQ(problem, expected ? QString() : tree.problem());
            if (!expected) {
                EXPECT_TRUE(problem.contains(QLatin1String(c.blocked))) << problem.toStdString();
            }
        }
    }
    clearDataFolders();
    EXPECT_FALSE(dataFolderCanStore(DataFolder::Decode));
    EXPECT_FALSE(dataFolderCanStore(DataFolder::Web));
    EXPECT_FALSE(DataFolderTree().canStore(DataFolder::Web));
}

// A file where CLIPBOARDS/ belongs: the folders before it exist, it and the
// later ones stay empty, and the tree does not count as ready.
TEST_F(DataFolders, StopsAtTheFirstFolderThatCannotBeMade)
{
    const QString root = m_temp.filePath(QStringLiteral("DATA"));
    ASSERT_TRUE(QDir().mkpath(root));
    makeFile(root + QStringLiteral("/CLIPBOARDS"));
    EXPECT_FALSE(createDataFoldersAt(root));
    EXPECT_FALSE(DataFoldersReady());
    EXPECT_EQ(decodeFolder(), root + QStringLiteral("/STEGANOGRAPHY/"));
    EXPECT_EQ(webFolder(), root + QStringLiteral("/WEB/"));
    EXPECT_EQ(clipboardsFolder(), QString());
    EXPECT_EQ(videoFolder(), QString());
}

TEST_F(DataFolders, ForceFolderLeavesTheVariableAloneOnFailure)
{
    QString variable = QStringLiteral("unchanged");
    const QString blocked = m_temp.filePath(QStringLiteral("file"));
    makeFile(blocked);
    EXPECT_FALSE(ForceFolder(variable, blocked + QStringLiteral("/below")));
    EXPECT_FALSE(ForceFolder(variable, blocked));
    EXPECT_FALSE(ForceFolder(variable, QString()));
    EXPECT_EQ(variable, QStringLiteral("unchanged"));

    const QString deep = m_temp.filePath(QStringLiteral("a/b/c"));
    EXPECT_TRUE(ForceFolder(variable, deep));
    EXPECT_EQ(variable, deep + QLatin1Char('/'));
    EXPECT_TRUE(ForceFolder(variable, deep));
}

// The preferred root, and this user's private folder in the temporary folder
// when it cannot be made; every folder made is closed to other users.
TEST_F(DataFolders, FallsBackToTheTemporaryFolder)
{
    const QString home = m_temp.filePath(QStringLiteral("home"));
    const QString temp = m_temp.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(temp));
    ScopedEnvironment data("XDG_DATA_HOME", home.toLocal8Bit());
    ScopedEnvironment tmp("TMPDIR", temp.toLocal8Bit());

    ASSERT_TRUE(CreateDataFolders());
    EXPECT_EQ(dataRootFolder(), home + QStringLiteral("/ostrel/DATA/"));
    EXPECT_EQ(modeOf(home + QStringLiteral("/ostrel")), 0700u);
    EXPECT_EQ(modeOf(decodeFolder()), 0700u);

    QDir(home + QStringLiteral("/ostrel")).removeRecursively();
    makeFile(home + QStringLiteral("/ostrel"));
    ASSERT_TRUE(CreateDataFolders()) << dataFoldersProblem().toStdString();
    const QString own = temp + QStringLiteral("/ostrel-%1/").arg(::geteuid());
    EXPECT_EQ(dataRootFolder(), own + QStringLiteral("DATA/"));
    EXPECT_EQ(webFolder(), own + QStringLiteral("DATA/WEB/"));
    for (const QString& folder : {own, dataRootFolder(), webFolder(), decodeFolder()})
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
    EXPECT_TRUE(dataFoldersStillPrivate());
}

// Another local user may make <temp>/ostrel-UID first, as a link to a folder
// of theirs or as a folder they can read: the tree is then not made there.
TEST_F(DataFolders, RefusesAFallbackFolderThatIsNotPrivate)
{
    const QString home = m_temp.filePath(QStringLiteral("home"));
    const QString temp = m_temp.filePath(QStringLiteral("tmp"));
    const QString theirs = m_temp.filePath(QStringLiteral("theirs"));
    ASSERT_TRUE(QDir().mkpath(home));
    makeFile(home + QStringLiteral("/ostrel"));
    ScopedEnvironment data("XDG_DATA_HOME", home.toLocal8Bit());
    ScopedEnvironment tmp("TMPDIR", temp.toLocal8Bit());
    const QString own = temp + QStringLiteral("/ostrel-%1").arg(::geteuid());
    const QByteArray ownName = QFile::encodeName(own);

    struct Case {
        const char* what;
        std::function<void()> plant;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"a link to their folder", [&] { ASSERT_TRUE(QFile::link(theirs, own)); }, "symbolic link"},
        {"a file", [&] { makeFile(own); }, "is not a folder"},
        {"a folder anyone may write",
         [&] {
             ASSERT_EQ(::mkdir(ownName.constData(), 0700), 0);
             ASSERT_EQ(::chmod(ownName.constData(), 0777), 0);
         },
         "can be written by other users"},
        {"a folder of another user",
         [&] {
             ASSERT_EQ(::mkdir(ownName.constData(), 0700), 0);
             if (::geteuid() == 0) {
                 ASSERT_EQ(::chown(ownName.constData(), 65534, 65534), 0);
             }
         },
         "belongs to another user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (QLatin1String(c.problem) == QLatin1String("belongs to another user") && ::geteuid() != 0)
            continue; // only the superuser can give a folder away
        QDir(temp).removeRecursively();
        QDir(theirs).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(temp));
        ASSERT_TRUE(QDir().mkpath(theirs));
        c.plant();
        EXPECT_FALSE(CreateDataFolders());
        EXPECT_FALSE(DataFoldersReady());
        EXPECT_EQ(decodeFolder(), QString());
        EXPECT_TRUE(dataFoldersProblem().contains(QLatin1String(c.problem))) << dataFoldersProblem().toStdString();
        EXPECT_TRUE(dataFoldersProblem().contains(own)) << dataFoldersProblem().toStdString();
        EXPECT_TRUE(QDir(theirs).isEmpty());
    }
}

// The temporary folder is cleaned by the system and open to everyone: the
// private folder is checked again before anything is written into it.
TEST_F(DataFolders, NoticesWhenThePrivateFolderIsReplaced)
{
    const QString home = m_temp.filePath(QStringLiteral("home"));
    const QString temp = m_temp.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(temp));
    makeFile(home + QStringLiteral("/ostrel"));
    ScopedEnvironment data("XDG_DATA_HOME", home.toLocal8Bit());
    ScopedEnvironment tmp("TMPDIR", temp.toLocal8Bit());
    ASSERT_TRUE(CreateDataFolders());
    EXPECT_TRUE(dataFoldersStillPrivate());

    const QString own = temp + QStringLiteral("/ostrel-%1").arg(::geteuid());
    const QString theirs = m_temp.filePath(QStringLiteral("theirs"));
    ASSERT_TRUE(QDir().rename(own, m_temp.filePath(QStringLiteral("cleaned"))));
    ASSERT_TRUE(QDir().mkpath(theirs + QStringLiteral("/DATA/STEGANOGRAPHY")));
    ASSERT_TRUE(QFile::link(theirs, own));
    const Outcome mine = dataFoldersStillPrivate();
    EXPECT_FALSE(mine);
    const QString problem = mine.error();
    EXPECT_TRUE(problem.contains(QStringLiteral("symbolic link"))) << problem.toStdString();
}

// A folder that cannot be made names itself and the system's reason.
TEST_F(DataFolders, SaysWhyTheTreeCannotBeMade)
{
    const QString blocked = m_temp.filePath(QStringLiteral("file"));
    makeFile(blocked);
    EXPECT_FALSE(createDataFoldersAt(blocked + QStringLiteral("/DATA")));
    EXPECT_TRUE(dataFoldersProblem().startsWith(QStringLiteral("Cannot create folder ") + blocked))
        << dataFoldersProblem().toStdString();
    EXPECT_TRUE(dataFoldersProblem().contains(QStringLiteral("is not a folder"))) << dataFoldersProblem().toStdString();
}

} // namespace
} // namespace ostrel
