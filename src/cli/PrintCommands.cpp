// SPDX-License-Identifier: Apache-2.0
// ostrel-cli print and printers: printing from the terminal, through the same
// page painter as the print dialog, on a print queue or into a PDF file. The
// file is read here; the pages are made by the print module.
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/OptionValues.h"
#include "cli/Output.h"
#include "cli/PrintModule.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/text.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

namespace ostrel::cli {

namespace {

bool isTextFile(uint8_t loaderCode)
{
    return loaderCode == PictureLoaderCode(QStringLiteral(".TXT"));
}

std::optional<QStringList> loadTextLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("Cannot open %1: %2.").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        err(QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString()));
        return std::nullopt;
    }
    return textFileLines(bytes);
}

// The request's settings as the options gave them; the table checked their ranges.
PrintRequest printRequest(const CommandLine& line)
{
    PrintRequest request;
    const struct {
        const char* name;
        int* value;
    } numbers[] = {
        {"--skin", &request.skin},
        {"--font-size", &request.fontSize},
        {"--copies", &request.copies},
        {"--page", &request.page},
    };
    for (const auto& number : numbers)
        if (line.has(number.name))
            *number.value = line.value(number.name).toInt();
    request.collate = !line.has("--no-collate");
    request.lineNumbers = line.has("--line-numbers");
    return request;
}

const PrintModule* printModuleOrSay()
{
    QString error;
    const PrintModule* module = loadPrintModule(error);
    if (!module)
        err(QStringLiteral("Cannot print: %1.").arg(error));
    return module;
}

} // namespace

int runPrint(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    const QString output = line.value("--output");
    const QString printer = line.value("--printer");
    if (line.operands.isEmpty())
        return usageError(line, QStringLiteral("print needs a file."));
    if (!output.isEmpty() && !printer.isEmpty())
        return usageError(line, QStringLiteral("Give either -o or --printer, not both."));
    const QString path = line.operands[0];
    if (!QFileInfo(path).isFile()) {
        err(QStringLiteral("Cannot open %1: no such file.").arg(path));
        return kExitFailed;
    }
    const uint8_t code = PictureLoaderCode(upperExtension(path));
    if (code == 0) {
        err(QStringLiteral("Cannot print %1: it is neither a picture nor a text file that Ostrel reads.").arg(path));
        return kExitFailed;
    }

    PrintRequest request = printRequest(line);
    request.title = QFileInfo(path).fileName();
    if (isTextFile(code)) {
        std::optional<QStringList> lines = loadTextLines(path);
        if (!lines)
            return kExitFailed;
        if (lines->isEmpty()) {
            err(QStringLiteral("Nothing to print: %1 is empty.").arg(path));
            return kExitFailed;
        }
        request.lines = std::move(*lines);
    } else {
        if (request.page > 1)
            return usageError(line, QStringLiteral("A picture prints on one page; --page can only be 1."));
        std::optional<QImage> picture = loadCommandPicture(path);
        if (!picture)
            return kExitFailed;
        request.picture = std::move(*picture);
    }

    const PrintModule* module = printModuleOrSay();
    if (!module)
        return kExitFailed;
    const PrintOutcome outcome =
        !output.isEmpty() ? module->printToPdf(request, output) : module->printOnQueue(request, printer);
    if (!outcome) {
        err(outcome.error());
        return kExitFailed;
    }
    err(outcome.value());
    return kExitSuccess;
}

int runPrinters(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    const PrintModule* module = printModuleOrSay();
    if (!module)
        return kExitFailed;
    const Result<QStringList> names = module->queueNames();
    if (!names) {
        err(QStringLiteral("Cannot list the print queues: %1.").arg(names.error()));
        return kExitFailed;
    }
    const QString defaultName = module->defaultQueue();
    if (names->isEmpty())
        err(QStringLiteral("No print queues are installed; print into a PDF file with -o."));
    for (const QString& name : *names)
        out((name == defaultName ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
    return kExitSuccess;
}

} // namespace ostrel::cli
