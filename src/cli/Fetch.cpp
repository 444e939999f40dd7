// SPDX-License-Identifier: Apache-2.0
// ostrel-cli fetch: one web resource into the web folder.
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/OptionValues.h"
#include "cli/Output.h"
#include "data/TempPathUnit.h"
#include "data/WebUnit.h"

namespace ostrel::cli {

namespace {

// The lines of a fetch's message, each shown as one line of the terminal.
void printFetchMessage(const QString& text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& line : lines)
        out(line);
}

} // namespace

int runFetch(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (line.operands.size() != 1)
        return usageError(line, QStringLiteral("fetch needs one web address."));
    if (const Outcome prepared = prepareDataFoldersFor(DataFolder::Web); !prepared) {
        err(prepared.error());
        return kExitFailed;
    }
    FetchSettings settings;
    if (const std::optional<std::chrono::milliseconds> timeout = parseTimeout(line.value("--timeout")))
        settings.totalTimeout = *timeout;
    const QString url = line.operands[0];
    const WebFetchResult result = fetchToWebFolder(url, settings);
    if (!result.errorText.isEmpty()) {
        // What the server sent of its header is the report; the failure and
        // its cause are errors.
        printFetchMessage(result.header);
        const QString cause = result.failureDetail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.failureDetail);
        err(QStringLiteral("Cannot fetch %1: %2%3.").arg(url, result.errorText, cause));
        return kExitFailed;
    }
    printFetchMessage(fetchMessageText(result));
    if (const QString warning = fetchStatusWarning(result); !warning.isEmpty())
        err(QStringLiteral("Warning: ") + warning);
    err(QStringLiteral("Saved to %1").arg(result.targetPath));
    return kExitSuccess;
}

} // namespace ostrel::cli
