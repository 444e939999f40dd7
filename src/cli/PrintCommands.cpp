#include "cli/PrintCommands.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/text.h"
#include "toolkit/printing/PrintJobs.h"
#include "toolkit/printing/PrinterUnit.h"
#include "util/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdio>
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
    int skin = 1;
    int fontSize = 12;
    int copies = 1;
    bool collate = true;
    bool lineNumbers = false;
    int page = 0; // 0: every page
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
        {"--skin", &options.skin, 1, kSkinCount},
        {"--font-size", &options.fontSize, 6, 144},
        {"--copies", &options.copies, 1, 1000},
        {"--page", &options.page, 1, 1000000},
    };
    for (int i = 0; i < args.size() && options.error.isEmpty(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                options.error = QStringLiteral("%1 needs a value.").arg(a);
                return {};
            }
            return args[++i];
        };
        const auto number = std::find_if(std::begin(numbers), std::end(numbers),
                                         [&](const NumberOption& n) { return a == QLatin1String(n.name); });
        if (number != std::end(numbers)) {
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
            options.help = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            options.output = value();
        } else if (a == QLatin1String("--printer")) {
            options.printer = value();
        } else if (a == QLatin1String("--no-collate")) {
            options.collate = false;
        } else if (a == QLatin1String("--line-numbers")) {
            options.lineNumbers = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            options.error = QStringLiteral("Unknown option %1.").arg(a);
        } else if (options.file.isEmpty()) {
            options.file = a;
        } else {
            options.error = QStringLiteral("print takes one file.");
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
    QString text = fromStoredBytes(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        err(QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString()));
        return std::nullopt;
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return splitTextLines(text);
}

} // namespace

int runPrint(const QStringList& args)
{
    const PrintOptions options = parsePrintOptions(args);
    if (options.help) {
        outLines(QStringLiteral("Usage: %1\n"
                           "Prints a picture fitted on one page, or a text file (.txt, .dat, program sources) as\n"
                           "text pages, with the date and \"Page N of M\" in the footer. Without -o or --printer\n"
                           "it prints on the default printer; -o writes a PDF.")
                .arg(QLatin1String(kPrintUsage)));
        return kExitSuccess;
    }
    if (!options.error.isEmpty())
        return usageError(options.error, kPrintUsage);
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

    PrintRequest request;
    request.title = QFileInfo(options.file).fileName();
    request.skin = options.skin;
    request.fontSize = options.fontSize;
    request.copies = options.copies;
    request.collate = options.collate;
    request.lineNumbers = options.lineNumbers;
    request.page = options.page;
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
        if (options.page > 1)
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
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        outLines(QStringLiteral("Usage: %1\nLists the print queues, the default one marked with *.")
                .arg(QLatin1String(kPrintersUsage)));
        return kExitSuccess;
    }
    if (!args.isEmpty())
        return usageError(QStringLiteral("printers takes no arguments."), kPrintersUsage);
    const QStringList names = installedPrinterNames();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    if (names.isEmpty())
        err(QStringLiteral("No print queues are installed; print into a PDF file with -o."));
    for (const QString& name : names)
        out((name == defaultName ? QStringLiteral("* ") : QStringLiteral("  ")) + name);
    return kExitSuccess;
}

} // namespace ostrel::cli
