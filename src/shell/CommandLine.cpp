// SPDX-License-Identifier: Apache-2.0
#include "shell/CommandLine.h"

#include "shell/ShellTexts.h"

#include <QFileInfo>

namespace ostrel {

ShellStart parseShellArguments(const QStringList& arguments)
{
    ShellStart start;
    QStringList files;
    QString problem;
    bool options = true;
    for (const QString& argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            start.action = ShellStart::Action::Help;
            return start;
        } else if (options && (argument == QLatin1String("--version") || argument == QLatin1String("-v"))) {
            start.action = ShellStart::Action::Version;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            if (problem.isEmpty())
                problem = QStringLiteral("unknown option '%1'").arg(argument);
        } else {
            files.append(argument);
        }
    }
    if (start.action == ShellStart::Action::Version)
        return start;
    if (problem.isEmpty() && files.size() > 1)
        problem = QStringLiteral("only one picture can be opened at a time");
    if (!problem.isEmpty()) {
        start.action = ShellStart::Action::UsageError;
        start.problem = problem;
        return start;
    }
    // Shown in the status bar as the picture's source, so as Open shows it.
    if (!files.isEmpty())
        start.fileName = QFileInfo(files.first()).absoluteFilePath();
    return start;
}

QString shellHelpText()
{
    return QStringLiteral(
        "Usage: ostrel [FILE]\n"
        "Hide a file inside a picture and get it back out.\n"
        "\n"
        "Opens the window; with FILE, opens that picture as File > Open does.\n"
        "\n"
        "  -h, --help      show this help and exit\n"
        "  -v, --version   show the version and exit\n"
        "\n"
        "ostrel-cli does the same work from a terminal.\n");
}

QString shellVersionText()
{
    return QStringLiteral("ostrel ") + kProgramVersion + QLatin1Char('\n');
}

QString shellUsageErrorText(const QString& problem)
{
    return QStringLiteral("ostrel: ") + problem + QStringLiteral("\nTry 'ostrel --help' for more information.\n");
}

} // namespace ostrel
