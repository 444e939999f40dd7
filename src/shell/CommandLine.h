// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the desktop program is asked to do by its command line: open a
// picture at start (as file managers do through "Open With"), or print its
// help or version and end.
#include <QString>
#include <QStringList>

namespace ostrel {

struct ShellStart {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QString fileName; // Run: the picture to open at start, made absolute; or empty
    QString problem;  // UsageError: what is wrong with the command line
};

// `arguments` without the program's own name. --help and --version win over
// anything else on the line, so they also work before the windowing system's
// own options have been taken out; "--" ends the options.
ShellStart parseShellArguments(const QStringList& arguments);

QString shellHelpText();
QString shellVersionText();
// The problem, then how to get help.
QString shellUsageErrorText(const QString& problem);

} // namespace ostrel
