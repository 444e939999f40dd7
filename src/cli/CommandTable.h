// SPDX-License-Identifier: Apache-2.0
#pragma once
// The commands of ostrel-cli, one row each: what the main program needs to
// find a command, read its arguments, decide on its application and run it,
// and what its --help says.
#include "cli/CommandLine.h"

#include <QString>
#include <QStringList>

#include <span>

namespace ostrel::cli {

struct Command {
    const char* name;
    const char* usage;          // after "Usage: "
    QString (*description)();   // what --help prints after the usage line
    std::span<const OptionRow> options;
    int (*run)(const CommandLine& line);
    // Whether the command, so called, draws text (on a picture or on printed
    // pages), which needs fonts and so a QGuiApplication.
    bool (*needsFonts)(const CommandLine& line);
    int operandLimit = -1;            // -1: as many as given; checked by the command
    const char* tooManyOperands = ""; // the usage error past the limit
};

// The command of that name, or nullptr.
const Command* findCommand(const QString& name);

// Every option of any command that takes a value, in its long and short forms.
QStringList valuedOptions();

// The program's own help: to standard output when asked for, to standard
// error (a usage error) when no command was given.
int printMainHelp(bool toError);

// Says what is wrong with the command line and how the command is used;
// gives the usage-error exit status.
int usageError(const CommandLine& line, const QString& message);

// Asked for help, prints the command's usage and description and succeeds;
// given a wrong command line, says what is wrong and how the command is
// used. Otherwise there is no exit status yet and the command runs.
std::optional<int> helpOrUsageError(const CommandLine& line);

} // namespace ostrel::cli
