// SPDX-License-Identifier: Apache-2.0
// ostrel-cli convert: a picture loaded by its extension, saved losslessly.
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "imageio/GraphicsIOUnit.h"

namespace ostrel::cli {

int runConvert(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (line.operands.size() != 2)
        return usageError(line, QStringLiteral("convert needs an input and an output file."));
    const QString outPath = line.operands[1];
    if (!isSavableExtension(upperExtension(outPath)))
        return usageError(line, unsavableExtensionMessage(outPath));
    std::optional<QImage> picture = loadCommandPicture(line.operands[0]);
    if (!picture)
        return kExitFailed;
    QString error;
    if (savePicture(*picture, outPath, error))
        return kExitSuccess;
    err(error);
    return kExitFailed;
}

} // namespace ostrel::cli
