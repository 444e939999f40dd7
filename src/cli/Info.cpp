// SPDX-License-Identifier: Apache-2.0
// ostrel-cli info: the size, the colour count and the capacity.
#include "cli/Banded.h"
#include "cli/Colours.h"
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "engine/Capacity.h"
#include "util/Picture.h"

namespace ostrel::cli {

int runInfo(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (line.operands.size() != 1)
        return usageError(line, QStringLiteral("info needs one picture."));
    const QString path = line.operands[0];
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadCommandPicture);
    if (!carrier)
        return kExitFailed;
    PixelRows& rows = carrier->rows();
    carrier->reportTo(terminalProgressBar("Counting colours"));
    const QString colours = countColours(rows).text;
    carrier->doneReading();
    if (!rows.intact()) {
        err(shortenedWhileReadText(path));
        return kExitFailed;
    }
    out(pictureSizeText(rows.width(), rows.height()));
    out(colours);
    out(capacityLine(rows.width(), rows.height()));
    return kExitSuccess;
}

} // namespace ostrel::cli
