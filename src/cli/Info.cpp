// SPDX-License-Identifier: Apache-2.0
// ostrel-cli info: the size, the colour count and the capacity.
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
    std::optional<QImage> picture = loadCommandPicture(line.operands[0]);
    if (!picture)
        return kExitFailed;
    out(pictureSizeText(*picture));
    out(countColours(*picture).text);
    out(capacityLine(picture->width(), picture->height()));
    return kExitSuccess;
}

} // namespace ostrel::cli
