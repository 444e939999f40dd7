// The data folder tree: the seven sub-folders, the fallback under the
// temporary folder, and what a folder that cannot be made leaves behind.
#include "data/TempPathUnit.h"
#include "imageio/text_printing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace ostrel {
namespace {

// Sets an environment variable for one test and puts it back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_previous = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_previous)
            qputenv(m_name, *m_previous);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

void makeFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

struct Folder {
    const char* name;
    std::function<QString()> value;
};

const Folder kSubFolders[] = {
    {"INIT/", InitFolder},         {"WEB/", WebFolder},     {"STEGANOGRAPHY/", DecodeFolder},
    {"CLIPBOARDS/", ClipboardsFolder}, {"PASTE/", PasteFolder}, {"SOUND/", SoundFolder},
    {"VIDEO/", VideoFolder},
};

class DataFolders : public ::testing::Test {
protected:
    void TearDown() override { ClearDataFolders(); }
    QTemporaryDir m_temp;
};

TEST_F(DataFolders, BuildsTheSevenSubFolders)
{
    // Whether the root exists beforehand or not.
    for (bool existedBefore : {false, true}) {
        SCOPED_TRACE(existedBefore);
        const QString root = m_temp.filePath(QStringLiteral("DATA"));
        if (existedBefore)
            ASSERT_TRUE(QDir().mkpath(root));
        ASSERT_TRUE(CreateDataFoldersAt(root));
        EXPECT_TRUE(DataFoldersReady());
        EXPECT_EQ(DataRootFolder(), root + QLatin1Char('/'));
        for (const Folder& folder : kSubFolders) {
            SCOPED_TRACE(folder.name);
            EXPECT_EQ(folder.value(), root + QLatin1Char('/') + QLatin1String(folder.name));
            EXPECT_TRUE(QFileInfo(folder.value()).isDir());
        }
        ClearDataFolders();
        EXPECT_EQ(WebFolder(), QString());
        EXPECT_FALSE(DataFoldersReady());
    }
}

// A file where CLIPBOARDS/ belongs: the folders before it exist, it and the
// later ones stay empty, and the tree does not count as ready.
TEST_F(DataFolders, StopsAtTheFirstFolderThatCannotBeMade)
{
    const QString root = m_temp.filePath(QStringLiteral("DATA"));
    ASSERT_TRUE(QDir().mkpath(root));
    makeFile(root + QStringLiteral("/CLIPBOARDS"));
    EXPECT_FALSE(CreateDataFoldersAt(root));
    EXPECT_FALSE(DataFoldersReady());
    EXPECT_EQ(DecodeFolder(), root + QStringLiteral("/STEGANOGRAPHY/"));
    EXPECT_EQ(WebFolder(), root + QStringLiteral("/WEB/"));
    EXPECT_EQ(ClipboardsFolder(), QString());
    EXPECT_EQ(VideoFolder(), QString());
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

// The preferred root, and the temporary folder's DATA/ when it cannot be made.
TEST_F(DataFolders, FallsBackToTheTemporaryFolder)
{
    const QString home = m_temp.filePath(QStringLiteral("home"));
    const QString temp = m_temp.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(temp));
    ScopedEnvironment data("XDG_DATA_HOME", home.toLocal8Bit());
    ScopedEnvironment tmp("TMPDIR", temp.toLocal8Bit());

    ASSERT_TRUE(CreateDataFolders());
    EXPECT_EQ(DataRootFolder(), home + QStringLiteral("/ostrel/DATA/"));

    QDir(home + QStringLiteral("/ostrel")).removeRecursively();
    makeFile(home + QStringLiteral("/ostrel"));
    ASSERT_TRUE(CreateDataFolders());
    EXPECT_EQ(DataRootFolder(), temp + QStringLiteral("/DATA/"));
    EXPECT_EQ(WebFolder(), temp + QStringLiteral("/DATA/WEB/"));
}

} // namespace
} // namespace ostrel
