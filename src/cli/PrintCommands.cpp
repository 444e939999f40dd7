// SPDX-License-Identifier: Apache-2.0
#include "cli/PrintCommands.h"

#include "cli/Arguments.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/text.h"
#include "toolkit/printing/PrintJobs.h"
#include "toolkit/printing/PrintQueue.h"
#include "toolkit/printing/PrinterUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <algorithm>
#include <optional>

namespace ostrel::cli {

namespace {

constexpr const char* kPrintUsage =
    "ostrel-cli print FILE [-o OUT.pdf | --printer NAME] [--skin 1-9] [--font-size N] [--copies N] "
    "[--no-collate] [--line-numbers] [--page N]";
constexpr const char* kPrintersUsage = "ostrel-cli printers";

struct PrintOptions {
    QString file;
    QString output;
    QString printer;
    PrintRequest request; // its title and its lines or picture come from the file
    bool help = false;
    QString error;
};

// A whole number within the range the print dialog offers for it.
std::optional<int> boundedNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

PrintOptions parsePrintOptions(const QStringList& args)
{
    PrintOptions options;
    struct NumberOption {
        const char* name;
        int* value;
        int low, high;
    };
    const NumberOption numbers[] = {
        {"--skin", &options.request.skin, 1, kSkinCount},
        {"--font-size", &options.request.fontSize, 6, 144},
        {"--copies", &options.request.copies, 1, 1000},
        {"--page", &options.request.page, 1, 1000000},
    };
    static const QStringList kValued = {QStringLiteral("-o"),         QStringLiteral("--output"),
                                        QStringLiteral("--printer"),  QStringLiteral("--skin"),
                                        QStringLiteral("--font-size"), QStringLiteral("--copies"),
                                        QStringLiteral("--page")};
    for (const Argument& argument : scanArguments(args, kValued)) {
        if (!options.error.isEmpty())
            break;
        const QString& a = argument.text;
        auto value = [&] { return optionValue(argument, options.error); };
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&](const NumberOption& n) { return a == QLatin1String(n.name); });
        if (!argument.option) {
            if (options.file.isEmpty())
                options.file = a;
            else
                options.error = QStringLiteral("print takes one file.");
        } else if (number != std::end(numbers)) {
            const QString text = value();
            if (!options.error.isEmpty())
                break;
            const std::optional<int> parsed = boundedNumber(text, number->low, number->high);
            if (!parsed)
                options.error = QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\".")
                                    .arg(a)
                                    .arg(number->low)
                                    .arg(number->high)
                                    .arg(text);
            else
                *number->value = *parsed;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = flagAlone(argument, options.error);
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            options.output = value();
        } else if (a == QLatin1String("--printer")) {
            options.printer = value();
        } else if (a == QLatin1String("--no-collate")) {
            options.request.collate = !flagAlone(argument, options.error);
        } else if (a == QLatin1String("--line-numbers")) {
            options.request.lineNumbers = flagAlone(argument, options.error);
        } else {
            options.error = unknownOptionText(a);
        }
    }
    if (options.error.isEmpty() && !options.help) {
        if (options.file.isEmpty())
            options.error = QStringLiteral("print needs a file.");
        else if (!options.output.isEmpty() && !options.printer.isEmpty())
            options.error = QStringLiteral("Give either -o or --printer, not both.");
    }
    return options;
}

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

} // namespace

int runPrint(const QStringList& args)
{
    PrintOptions options = parsePrintOptions(args);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kPrintUsage,
            QStringLiteral("Prints a picture fitted on one page, or a text file (.txt, .dat, program sources) as\n"
                           "text pages, with the date and \"Page N of M\" in the footer. Without -o or --printer\n"
                           "it prints on the default printer; -o writes a PDF.")))
        return *done;
    if (!QFileInfo(options.file).isFile()) {
        err(QStringLiteral("Cannot open %1: no such file.").arg(options.file));
        return kExitFailed;
    }
    const uint8_t code = PictureLoaderCode(upperExtension(options.file));
    if (code == 0) {
        err(QStringLiteral("Cannot print %1: it is neither a picture nor a text file that Ostrel reads.")
                .arg(options.file));
        return kExitFailed;
    }

    PrintRequest& request = options.request;
    request.title = QFileInfo(options.file).fileName();
    if (isTextFile(code)) {
        std::optional<QStringList> lines = loadTextLines(options.file);
        if (!lines)
            return kExitFailed;
        if (lines->isEmpty()) {
            err(QStringLiteral("Nothing to print: %1 is empty.").arg(options.file));
            return kExitFailed;
        }
        request.lines = std::move(*lines);
    } else {
        if (request.page > 1)
            return usageError(QStringLiteral("A picture prints on one page; --page can only be 1."), kPrintUsage);
        std::optional<QImage> picture = loadCommandPicture(options.file);
        if (!picture)
            return kExitFailed;
        request.picture = std::move(*picture);
    }

    PrintOutcome outcome;
    if (!options.output.isEmpty())
        outcome = printRequestToPdf(request, options.output);
    else
        outcome = printRequestOnQueue(request, options.printer);
    if (!outcome.ok) {
        err(outcome.error);
        return kExitFailed;
    }
    err(outcome.summary);
    return kExitSuccess;
}

int runPrinters(const QStringList& args)
{
    const bool help = args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"));
    const QString error = args.isEmpty() ? QString() : QStringLiteral("printers takes no arguments.");
    if (const std::optional<int> done = helpOrUsageError(
            help, error, kPrintersUsage, QStringLiteral("Lists the print queues, the default one marked with *.")))
        return *done;
    QString unreachable;
    const std::optional<QStringList> names = printQueueNames(unreachable);
    if (!names) {
        err(QStringLiteral("Cannot list the print queues: %1.").arg(unreachable));
        return kExitFailed;
    }
    const QString defaultName = defaultPrintQueue();
    if (names->isEmpty())
        err(QStringLiteral("No print queues are installed; print into a PDF file with -o."));
    for (const QString& name : *names)
        out((name == defaultName ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
    return kExitSuccess;
}

} // namespace ostrel::cli
