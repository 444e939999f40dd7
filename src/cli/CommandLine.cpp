// SPDX-License-Identifier: Apache-2.0
#include "cli/CommandLine.h"

#include "cli/Arguments.h"
#include "cli/CommandTable.h"

#include <algorithm>
#include <cstring>

namespace ostrel::cli {

namespace {

bool named(const OptionRow& row, const char* name)
{
    return std::strcmp(row.name, name) == 0;
}

const OptionRow* findOption(std::span<const OptionRow> rows, const QString& given)
{
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const OptionRow& r) {
        return given == QLatin1String(r.name) || (r.shortName && given == QLatin1String(r.shortName));
    });
    return row == rows.end() ? nullptr : &*row;
}

bool isHelp(const QString& given)
{
    return given == QLatin1String("--help") || given == QLatin1String("-h");
}

// A command that takes nothing is asked for help wherever --help stands,
// and refuses any other argument, whatever it looks like.
CommandLine readNothing(const Command& command, const QStringList& args)
{
    CommandLine line;
    line.command = &command;
    line.help = std::any_of(args.begin(), args.end(), isHelp);
    if (!args.isEmpty())
        line.error = QStringLiteral("%1 takes no arguments.").arg(QLatin1String(command.name));
    return line;
}

} // namespace

bool CommandLine::has(const char* name) const
{
    return std::any_of(m_given.begin(), m_given.end(), [&](const auto& given) { return named(*given.first, name); });
}

QString CommandLine::value(const char* name) const
{
    const auto last = std::find_if(m_given.rbegin(), m_given.rend(),
                                   [&](const auto& given) { return named(*given.first, name); });
    return last == m_given.rend() ? QString() : last->second;
}

int CommandLine::count(std::initializer_list<const char*> names) const
{
    return int(std::count_if(m_given.begin(), m_given.end(), [&](const auto& given) {
        return std::any_of(names.begin(), names.end(), [&](const char* name) { return named(*given.first, name); });
    }));
}

const char* CommandLine::lastOf(std::initializer_list<const char*> names) const
{
    for (auto given = m_given.rbegin(); given != m_given.rend(); ++given)
        for (const char* name : names)
            if (named(*given->first, name))
                return given->first->name;
    return nullptr;
}

CommandLine readCommandLine(const Command& command, const QStringList& args, const QStringList& valued)
{
    if (command.options.empty() && command.operandLimit == 0)
        return readNothing(command, args);
    CommandLine line;
    line.command = &command;
    for (const Argument& argument : scanArguments(args, valued)) {
        const QString& given = argument.text;
        if (!argument.option) {
            if (command.operandLimit >= 0 && line.operands.size() >= command.operandLimit)
                line.error = QLatin1String(command.tooManyOperands);
            else
                line.operands.append(given);
        } else if (isHelp(given)) {
            line.help = flagAlone(argument, line.error);
        } else if (const OptionRow* row = findOption(command.options, given); !row) {
            line.error = unknownOptionText(given);
        } else if (!row->takesValue) {
            if (flagAlone(argument, line.error))
                line.add(*row, QString());
        } else {
            const QString value = optionValue(argument, line.error);
            if (line.error.isEmpty() && row->checkValue)
                line.error = row->checkValue(*row, given, value);
            if (line.error.isEmpty())
                line.add(*row, value);
        }
        if (!line.error.isEmpty())
            break;
    }
    return line;
}

} // namespace ostrel::cli
