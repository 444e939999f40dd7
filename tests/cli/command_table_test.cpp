// SPDX-License-Identifier: Apache-2.0
// The table of commands as the program shows it: every command it lists
// answers --help and names an option it does not take, and the print support
// is loaded by the printing commands alone.
#include "support/ProcessRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using ostrel::testing::ProcessOptions;
using ostrel::testing::ProcessRun;

ProcessRun runCli(const QStringList& args, const ProcessOptions& options = {})
{
    return ostrel::testing::runProcess(QStringLiteral(OSTREL_CLI_PATH), args, options);
}

// The command names of the program's own help, from its "Commands:" list.
QStringList listedCommands()
{
    const ProcessRun help = runCli({"--help"});
    QStringList names;
    const QRegularExpression commandLine(QStringLiteral("^  ([a-z-]+) "));
    bool inList = false;
    for (const QString& line : help.out.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Commands:"))
            inList = true;
        else if (inList && line.isEmpty())
            break;
        else if (const QRegularExpressionMatch match = commandLine.match(line); inList && match.hasMatch())
            names.append(match.captured(1));
    }
    return names;
}

TEST(CommandTable, EveryListedCommandAnswersHelpAndNamesAnUnknownOption)
{
    const QStringList names = listedCommands();
    for (const char* expected : {"encode", "decode", "info", "check", "print", "printers"})
        EXPECT_TRUE(names.contains(QLatin1String(expected))) << expected << " is not listed";
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const ProcessRun help = runCli({name, QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: ostrel-cli %1").arg(name))) << help.out.toStdString();
        EXPECT_GT(help.out.count(QLatin1Char('\n')), 1) << "no description after the usage line";
        EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

        // printers takes nothing at all, and says so.
        const ProcessRun unknown = runCli({name, QStringLiteral("--no-such-option")});
        EXPECT_EQ(unknown.exitCode, 2);
        const QString said = name == QLatin1String("printers") ? QStringLiteral("printers takes no arguments.\n")
                                                              : QStringLiteral("Unknown option '--no-such-option'.\n");
        EXPECT_TRUE(unknown.err.startsWith(said)) << unknown.err.toStdString();
        EXPECT_TRUE(unknown.err.contains(QStringLiteral("Usage: ostrel-cli %1").arg(name))) << unknown.err.toStdString();
        EXPECT_TRUE(unknown.out.isEmpty());
    }
}

class PrintSupport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        picture = dir.filePath(QStringLiteral("small.bmp"));
        QImage small(16, 12, QImage::Format_RGB888);
        small.fill(qRgb(40, 90, 200));
        ASSERT_TRUE(small.save(picture, "BMP"));
    }
    // The shared libraries the dynamic linker loaded for the run, as it reports them.
    static ProcessOptions tracingLibraries()
    {
        return {.setEnvironment = {{QStringLiteral("LD_DEBUG"), QStringLiteral("libs")}}};
    }
    QTemporaryDir dir;
    QString picture;
};

TEST_F(PrintSupport, OnlyThePrintingCommandsLoadIt)
{
    const QStringList printSupport = {QStringLiteral("libQt6PrintSupport"), QStringLiteral("libcups"),
                                      QStringLiteral("libQt6Widgets"), QStringLiteral("ostrel-print")};
    const ProcessRun info = runCli({"info", picture}, tracingLibraries());
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    for (const QString& library : printSupport)
        EXPECT_FALSE(info.err.contains(library)) << "info loaded " << library.toStdString();

    const QString pdf = dir.filePath(QStringLiteral("small.pdf"));
    const ProcessRun print = runCli({"print", picture, "-o", pdf}, tracingLibraries());
    ASSERT_EQ(print.exitCode, 0) << print.err.toStdString();
    EXPECT_TRUE(QFileInfo(pdf).size() > 0);
    for (const QString& library : printSupport)
        EXPECT_TRUE(print.err.contains(library)) << "print did not load " << library.toStdString();
}

// A program whose print module is not at its place prints nothing and says
// which file it could not load; its other commands work as before.
TEST_F(PrintSupport, AMissingModuleIsNamed)
{
    const QString alone = dir.filePath(QStringLiteral("bin/ostrel-cli"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(OSTREL_CLI_PATH), alone));
    const QString pdf = dir.filePath(QStringLiteral("small.pdf"));
    for (const QStringList& args : {QStringList{"print", picture, "-o", pdf}, QStringList{"printers"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ProcessRun run = ostrel::testing::runProcess(alone, args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("Cannot print: the print support "))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("ostrel-print.so"))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_EQ(ostrel::testing::runProcess(alone, {"info", picture}).exitCode, 0);
}

} // namespace
