// SPDX-License-Identifier: Apache-2.0
#include "cli/Arguments.h"

namespace ostrel::cli {

namespace {

bool looksLikeOption(const QString& text)
{
    return text.size() > 1 && text.startsWith(QLatin1Char('-'));
}

// "-oFILE" is "-o" with the value FILE when -o takes one.
std::optional<Argument> attachedShortValue(const QString& text, const QStringList& valued)
{
    if (text.startsWith(QLatin1String("--")) || text.size() <= 2 || !valued.contains(text.left(2)))
        return std::nullopt;
    return Argument{text.left(2), true, text.mid(2)};
}

} // namespace

std::vector<Argument> scanArguments(const QStringList& args, const QStringList& valued)
{
    std::vector<Argument> scanned;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& text = args[i];
        if (optionsEnded || !looksLikeOption(text)) {
            scanned.push_back({text, false, std::nullopt});
        } else if (text == QLatin1String("--")) {
            optionsEnded = true;
        } else if (const qsizetype equals = text.indexOf(QLatin1Char('='));
                   text.startsWith(QLatin1String("--")) && equals > 2) {
            scanned.push_back({text.left(equals), true, text.mid(equals + 1)});
        } else if (std::optional<Argument> shortForm = attachedShortValue(text, valued)) {
            scanned.push_back(*shortForm);
        } else if (valued.contains(text)) {
            Argument option{text, true, std::nullopt};
            if (i + 1 < args.size())
                option.value = args[++i];
            scanned.push_back(option);
        } else {
            scanned.push_back({text, true, std::nullopt});
        }
    }
    return scanned;
}

QString optionValue(const Argument& argument, QString& error)
{
    if (argument.value)
        return *argument.value;
    if (error.isEmpty())
        error = QStringLiteral("%1 needs a value.").arg(argument.text);
    return {};
}

bool flagAlone(const Argument& argument, QString& error)
{
    if (!argument.value)
        return true;
    if (error.isEmpty())
        error = QStringLiteral("%1 takes no value.").arg(argument.text);
    return false;
}

QString unknownOptionText(const QString& name)
{
    return QStringLiteral("Unknown option '%1'.").arg(name);
}

} // namespace ostrel::cli
