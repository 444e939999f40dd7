// SPDX-License-Identifier: Apache-2.0
// ostrel-cli decode: the hidden file back, into the decode folder or a folder given.
#include "cli/Banded.h"
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "data/TempPathUnit.h"
#include "engine/Decoder.h"
#include "engine/PasswordBytes.h"

#include <QDir>
#include <QFileInfo>

namespace ostrel::cli {

namespace {

// Whether `folder` is a folder or could be made one: the nearest part of it
// that exists must be a folder. Nothing is made here, so that a wrong
// password leaves nothing behind, but a folder that can never be made is
// named before the password is asked for.
Outcome folderCanBeMade(const QString& folder)
{
    QString existing = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath())
        existing = QFileInfo(existing).path();
    if (QFileInfo(existing).isDir())
        return {};
    return fail(QStringLiteral("Cannot create folder %1: %2 is not a folder.").arg(folder, existing));
}

} // namespace

int runDecode(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    if (const QString problem = passwordSourceProblem(line); !problem.isEmpty())
        return usageError(line, problem);
    if (line.operands.size() != 1)
        return usageError(line, QStringLiteral("decode needs one picture."));
    const QString output = line.value("--output");
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(line.operands[0], loadCommandPicture);
    if (!carrier)
        return kExitFailed;
    // A folder given with -o is made by the decode once there is a file to
    // write, so a wrong password leaves nothing behind.
    if (const Outcome ready = !output.isEmpty() ? folderCanBeMade(output) : prepareDataFoldersFor(DataFolder::Decode);
        !ready) {
        err(ready.error());
        return kExitFailed;
    }
    std::optional<QByteArray> password = askPassword(passwordRequest(line));
    if (!password)
        return kExitFailed;
    const QString folder = output.isEmpty() ? QString() : QDir(output).absolutePath() + QLatin1Char('/');
    ReportList report;
    QString outputPath;
    const ExistingFile existing = line.has("--force") ? ExistingFile::Replace : ExistingFile::Keep;
    carrier->reportTo(terminalProgressBar("Decoding"));
    const bool ok = decodePayloadWithPassword(carrier->rows(), folder, outputPath, &report, *password, existing);
    carrier->doneReading();
    wipeSecret(*password);
    if (!ok && !carrier->rows().intact()) {
        err(shortenedWhileReadText(line.operands[0]));
        return kExitFailed;
    }
    printOutcome("Decode", ok, report, QStringLiteral("Cannot decode %1").arg(line.operands[0]));
    if (!ok && !outputPath.isEmpty() && !report.isEmpty() && report.last() == existingFileKeptLine(outputPath))
        err(QStringLiteral("Give --force to replace it, or decode into another folder."));
    return ok ? kExitSuccess : kExitFailed;
}

} // namespace ostrel::cli
