// SPDX-License-Identifier: Apache-2.0
// The desktop program's command line: which picture it opens at start, its
// help and version on a terminal without any display, and the desktop entry
// through which file managers hand it a file ("Open With").
#include "imageio/GraphicsIOUnit.h"
#include "shell/CommandLine.h"
#include "support/ProcessRun.h"
#include "util/Text.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

using Action = ShellStart::Action;

QString absolute(const QString& name)
{
    return QDir::current().absoluteFilePath(name);
}

TEST(DesktopCommandLine, ArgumentsSayWhatToDo)
{
    const struct {
        QStringList arguments;
        Action action;
        QString fileName;
        const char* problem;
    } cases[] = {
        {{}, Action::Run, QString(), ""},
        {{QStringLiteral("pictures/cat.bmp")}, Action::Run, absolute(QStringLiteral("pictures/cat.bmp")), ""},
        {{QStringLiteral("/srv/cat.gif")}, Action::Run, QStringLiteral("/srv/cat.gif"), ""},
        // After "--" a name that looks like an option is a file.
        {{QStringLiteral("--"), QStringLiteral("--help")}, Action::Run, absolute(QStringLiteral("--help")), ""},
        {{QStringLiteral("--help")}, Action::Help, QString(), ""},
        {{QStringLiteral("-h")}, Action::Help, QString(), ""},
        {{QStringLiteral("--version")}, Action::Version, QString(), ""},
        {{QStringLiteral("cat.bmp"), QStringLiteral("-v")}, Action::Version, QString(), ""},
        // Help and version are answered before the windowing system has
        // taken its own options out, so those must not stand in the way.
        {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")}, Action::Version,
         QString(), ""},
        {{QStringLiteral("--bogus"), QStringLiteral("--help")}, Action::Help, QString(), ""},
        {{QStringLiteral("--bogus")}, Action::UsageError, QString(), "unknown option '--bogus'"},
        {{QStringLiteral("a.bmp"), QStringLiteral("b.bmp")}, Action::UsageError, QString(),
         "only one picture can be opened at a time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ShellStart start = parseShellArguments(c.arguments);
        EXPECT_EQ(start.action, c.action);
        EXPECT_EQ(start.fileName, c.fileName);
        EXPECT_EQ(start.problem, QString::fromUtf8(c.problem));
    }
}

using testing::ProcessRun;

// Runs the desktop program with no display to show a window on.
ProcessRun runWithoutDisplay(const QStringList& arguments, const QString& platform)
{
    return testing::runProcess(QStringLiteral(OSTREL_DESKTOP_PATH), arguments,
                               {.setEnvironment = {{QStringLiteral("QT_QPA_PLATFORM"), platform}},
                                .unsetEnvironment = {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY")},
                                .timeoutMs = 20000});
}

TEST(DesktopCommandLine, HelpAndVersionPrintAndEndWithoutADisplay)
{
    // With the X11 platform and no display, starting the window would fail.
    const ProcessRun help = runWithoutDisplay({QStringLiteral("--help")}, QStringLiteral("xcb"));
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: ostrel [FILE]\n"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--version")));

    const ProcessRun version = runWithoutDisplay({QStringLiteral("--version")}, QStringLiteral("xcb"));
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("ostrel 1.3\n"));

    // A wrong line is a usage error before any window shows.
    const ProcessRun wrong = runWithoutDisplay({QStringLiteral("--bogus")}, QStringLiteral("offscreen"));
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.out, QString());
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("unknown option '--bogus'"))) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("ostrel --help")));
}

// The entry's command line, with a file put in as a file manager does,
// reaches the program as the picture to open; every file type it names is
// one the program can open.
TEST(DesktopCommandLine, DesktopEntryHandsTheFileOver)
{
    QFile entry(QStringLiteral(OSTREL_SOURCE_DIR "/packaging/io.github.ostrel.Ostrel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QString exec;
    QStringList mimeTypes;
    for (const QString& line : QString::fromUtf8(entry.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("Exec=")))
            exec = line.mid(5);
        else if (line.startsWith(QLatin1String("MimeType=")))
            mimeTypes = line.mid(9).split(u';', Qt::SkipEmptyParts);
    }
    QStringList arguments = exec.split(u' ', Qt::SkipEmptyParts);
    ASSERT_FALSE(arguments.isEmpty());
    EXPECT_EQ(arguments.takeFirst(), QStringLiteral("ostrel"));
    const QString picture = QStringLiteral("/home/someone/Pictures/holiday photo.gif");
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%f"), picture);
    const ShellStart start = parseShellArguments(arguments);
    EXPECT_EQ(start.action, Action::Run);
    EXPECT_EQ(start.fileName, picture);

    ASSERT_FALSE(mimeTypes.isEmpty());
    const QMimeDatabase types;
    for (const QString& name : mimeTypes) {
        const QMimeType type = types.mimeTypeForName(name);
        ASSERT_TRUE(type.isValid()) << name.toStdString();
        bool opens = false;
        for (const QString& suffix : type.suffixes())
            opens = opens || PictureLoaderCode(upperExtension(QStringLiteral("x.") + suffix)) != 0;
        EXPECT_TRUE(opens) << name.toStdString();
    }
}

} // namespace
} // namespace ostrel
