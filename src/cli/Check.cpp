// SPDX-License-Identifier: Apache-2.0
// ostrel-cli check: how plainly detectors see hidden data in each picture.
#include "cli/Banded.h"
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
        const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadCommandPicture);
        if (!carrier) {
            allRead = false;
            continue;
        }
        PixelRows& rows = carrier->rows();
        carrier->reportTo(terminalProgressBar("Checking"));
        const DetectionReport report = detectHiddenData(rows);
        carrier->doneReading();
        if (!rows.intact()) {
            err(shortenedWhileReadText(path));
            allRead = false;
            continue;
        }
        const QSize size(rows.width(), rows.height());
        if (json) {
            std::fputs(checkJson(path, size, report).append('\n').constData(), stdout);
        } else {
            if (!first)
                out(QString());
            // The path is made harmless before the text is split into lines.
            outLines(checkText(visibleControls(path), size, report));
        }
        std::fflush(stdout);
        first = false;
    }
    return allRead ? kExitSuccess : kExitFailed;
}

} // namespace ostrel::cli
