// SPDX-License-Identifier: Apache-2.0
#pragma once
// A command's arguments read the GNU way: "--name=VALUE" and "-oVALUE" carry
// their value, an option that takes a value takes the next argument whatever
// it looks like, "--" ends the options, and a lone "-" is an operand.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ostrel::cli {

struct Argument {
    QString text;                 // an operand, or an option's name ("--output", "-o")
    bool option = false;
    std::optional<QString> value; // what came with an option: attached, or the next argument
};

// `valued` names the options that take a value, in their short and long forms.
std::vector<Argument> scanArguments(const QStringList& args, const QStringList& valued);

// The value of an option that takes one; `error` says it is missing.
QString optionValue(const Argument& argument, QString& error);

// Whether a flag came alone; `error` says when a value was attached to it.
bool flagAlone(const Argument& argument, QString& error);

// The error for an option no command knows.
QString unknownOptionText(const QString& name);

} // namespace ostrel::cli
