// SPDX-License-Identifier: Apache-2.0
// ostrel-cli seal-key: the format password of a sealed picture.
#include "cli/Banded.h"
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "engine/HiddenStream.h"
#include "engine/PasswordBytes.h"
#include "engine/Seal.h"
#include "engine/SealedPayload.h"

namespace ostrel::cli {

int runSealKey(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (const QString problem = passwordSourceProblem(line); !problem.isEmpty())
        return usageError(line, problem);
    if (line.operands.size() != 1)
        return usageError(line, QStringLiteral("seal-key needs one picture."));
    const QString path = line.operands[0];
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadCommandPicture);
    if (!carrier)
        return kExitFailed;
    std::optional<QByteArray> password = askPassword(passwordRequest(line));
    if (!password)
        return kExitFailed;
    PixelRows& rows = carrier->rows();
    const std::optional<SealKeys> keys = deriveSealKeys(*password, sealSalt(rows));
    wipeSecret(*password);
    if (!keys) {
        err(sealDerivationFailedText());
        return kExitFailed;
    }
    const auto key = keys->formatKey;
    const HiddenPayload::Outcome found = readHiddenStream(rows, uint32_t(key), uint32_t(key >> 32)).outcome;
    if (!rows.intact()) {
        err(shortenedWhileReadText(path));
        return kExitFailed;
    }
    if (found == HiddenPayload::Outcome::NoData) {
        err(QStringLiteral("%1 holds no sealed file for this password.").arg(path));
        return kExitFailed;
    }
    out(QString::fromLatin1(formatPasswordForKey(key)));
    return kExitSuccess;
}

} // namespace ostrel::cli
