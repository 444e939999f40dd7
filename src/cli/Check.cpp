// SPDX-License-Identifier: Apache-2.0
// ostrel-cli check: how plainly detectors see hidden data in each picture.
#include "cli/CheckReport.h"
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "detect/Detection.h"
#include "util/Text.h"

#include <cstdio>

namespace ostrel::cli {

int runCheck(const CommandLine& line)
{
    const bool json = line.has("--json");
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (line.operands.isEmpty())
        return usageError(line, QStringLiteral("check needs at least one picture."));
    bool allRead = true;
    bool first = true;
    for (const QString& path : line.operands) {
        std::optional<QImage> picture = loadCommandPicture(path);
        if (!picture) {
            allRead = false;
            continue;
        }
        const DetectionReport report = detectHiddenData(*picture);
        if (json) {
            std::fputs(checkJson(path, *picture, report).append('\n').constData(), stdout);
        } else {
            if (!first)
                out(QString());
            // The path is made harmless before the text is split into lines.
            outLines(checkText(visibleControls(path), *picture, report));
        }
        std::fflush(stdout);
        first = false;
    }
    return allRead ? kExitSuccess : kExitFailed;
}

} // namespace ostrel::cli
