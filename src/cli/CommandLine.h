// SPDX-License-Identifier: Apache-2.0
#pragma once
// A command's options declared as a table, and its arguments read once
// against that table: what was given, in the order given, with the first
// mistake in it.
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

namespace ostrel::cli {

struct Command;

// One option a command takes.
struct OptionRow {
    const char* name;      // the long form, "--output"; what the command asks for
    const char* shortName; // "-o", or nullptr
    bool takesValue;
    // For an option with a value: why `value` is not one it takes (the text
    // of a usage error), or empty when it is; `given` is the option as
    // written. nullptr takes any value.
    QString (*checkValue)(const OptionRow& row, const QString& given, const QString& value) = nullptr;
    int low = 0, high = 0; // the range of a whole-number value
};

class CommandLine {
public:
    const Command* command = nullptr;
    QStringList operands;
    bool help = false;
    QString error; // the first mistake; the rest was not read

    // Whether the option named by its long form was given.
    bool has(const char* name) const;
    // The value it was last given, empty when it was not.
    QString value(const char* name) const;
    // How many times these options were given, together.
    int count(std::initializer_list<const char*> names) const;
    // The option of these given last, or nullptr.
    const char* lastOf(std::initializer_list<const char*> names) const;

    void add(const OptionRow& row, const QString& value) { m_given.emplace_back(&row, value); }

private:
    std::vector<std::pair<const OptionRow*, QString>> m_given;
};

// Reads `args` the GNU way (see Arguments.h) against the command's options;
// --help and -h are always taken. `valued` names every option of any command
// that takes a value, so that "-oFILE" reads as the same option everywhere.
// An operand past the command's operand limit ends the reading with its
// message; a command without options or operands takes nothing but --help.
CommandLine readCommandLine(const Command& command, const QStringList& args, const QStringList& valued);

} // namespace ostrel::cli
