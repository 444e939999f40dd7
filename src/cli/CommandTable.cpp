// SPDX-License-Identifier: Apache-2.0
#include "cli/CommandTable.h"

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OptionValues.h"
#include "cli/Output.h"
#include "data/TempPathUnit.h"
#include "toolkit/printing/PrinterUnit.h"

#include <algorithm>

namespace ostrel::cli {

namespace {

QString checkTimeout(const OptionRow&, const QString&, const QString& value)
{
    if (parseTimeout(value))
        return {};
    return QStringLiteral("--timeout takes a whole number of seconds from 1 to %1, not %2.")
        .arg(kLongestTimeoutSeconds)
        .arg(value);
}

QString checkWholeNumber(const OptionRow& row, const QString& given, const QString& value)
{
    if (boundedNumber(value, row.low, row.high))
        return {};
    return QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\".")
        .arg(given)
        .arg(row.low)
        .arg(row.high)
        .arg(value);
}

QString checkChartKind(const OptionRow&, const QString&, const QString& value)
{
    return chartKindIndex(value) < 0 ? QStringLiteral("--kind takes bright, rgb or hsv.") : QString();
}

QString checkChartDots(const OptionRow&, const QString&, const QString& value)
{
    return chartDotsIndex(value) < 0 ? QStringLiteral("--dots takes points, blocks or outline.") : QString();
}

QString checkChartSize(const OptionRow&, const QString&, const QString& value)
{
    return parseChartSize(value) ? QString()
                                 : QStringLiteral("--size takes WxH, such as 800x600, within Ostrel's picture limit.");
}

constexpr OptionRow kOutput = {"--output", "-o", true};
constexpr OptionRow kPasswordFile = {"--password-file", nullptr, true};
constexpr OptionRow kPasswordStdin = {"--password-stdin", nullptr, false};
constexpr OptionRow kEmptyPassword = {"--empty-password", nullptr, false};

constexpr OptionRow kPasswordOptions[] = {kPasswordFile, kPasswordStdin, kEmptyPassword};

constexpr OptionRow kEncodeOptions[] = {
    kOutput,
    kPasswordFile,
    kPasswordStdin,
    kEmptyPassword,
    {"--reduce", nullptr, false},
    {"--dither", nullptr, false},
    {"--stealth", nullptr, false},
    {"--seal", nullptr, false},
    {"--adaptive", nullptr, false},
};

constexpr OptionRow kDecodeOptions[] = {
    kOutput, kPasswordFile, kPasswordStdin, kEmptyPassword, {"--force", nullptr, false},
};

constexpr OptionRow kFetchOptions[] = {
    {"--timeout", nullptr, true, checkTimeout},
};

constexpr OptionRow kChartOptions[] = {
    kOutput,
    {"--kind", nullptr, true, checkChartKind},
    {"--reverse", nullptr, false},
    {"--dots", nullptr, true, checkChartDots},
    {"--size", nullptr, true, checkChartSize},
};

constexpr OptionRow kCheckOptions[] = {
    {"--json", nullptr, false},
};

// The ranges the print dialog offers; its skins are the printer painter's.
// Only the painter's numbers are taken from its header: the print support
// itself stays in its module, unlinked here.
constexpr OptionRow kPrintOptions[] = {
    kOutput,
    {"--printer", nullptr, true},
    {"--skin", nullptr, true, checkWholeNumber, 1, kSkinCount},
    {"--font-size", nullptr, true, checkWholeNumber, 6, 144},
    {"--copies", nullptr, true, checkWholeNumber, 1, 1000},
    {"--page", nullptr, true, checkWholeNumber, 1, 1000000},
    {"--no-collate", nullptr, false},
    {"--line-numbers", nullptr, false},
};

// The cube chart labels its corners.
bool chartNeedsFonts(const CommandLine& line)
{
    return !line.operands.isEmpty()
        && (line.value("--kind") == QLatin1String("rgb") || firstPictureDrawsText(line));
}

const Command kCommands[] = {
    {
        .name = "encode",
        .usage = "ostrel-cli encode CARRIER PAYLOAD -o OUT.bmp|OUT.gif|OUT.png [--reduce [--dither] | --stealth] "
                 "[--seal] [--adaptive] [--password-file FILE | --password-stdin | --empty-password]",
        .description = [] {
            return QStringLiteral("Hides PAYLOAD in the lowest blue bit of every pixel of CARRIER and saves OUT.");
        },
        .options = kEncodeOptions,
        .run = runEncode,
        .needsFonts = firstPictureDrawsText,
    },
    {
        .name = "decode",
        .usage = "ostrel-cli decode PICTURE [-o DIR [--force]] [--password-file FILE | --password-stdin | "
                 "--empty-password]",
        .description = [] {
            return QStringLiteral("Writes the hidden file into the decode folder (%1) or into DIR.\n"
                                  "A file of the hidden file's name already in DIR is kept, and the decode fails,\n"
                                  "unless --force is given; in the decode folder it is replaced.")
                .arg(preferredDataRoot() + QStringLiteral("STEGANOGRAPHY/"));
        },
        .options = kDecodeOptions,
        .run = runDecode,
        .needsFonts = firstPictureDrawsText,
    },
    {
        .name = "info",
        .usage = "ostrel-cli info PICTURE",
        .description = [] { return QStringLiteral("Prints the size, the colour count and the capacity."); },
        .options = {},
        .run = runInfo,
        .needsFonts = firstPictureDrawsText,
    },
    {
        .name = "convert",
        .usage = "ostrel-cli convert IN OUT.bmp|OUT.gif|OUT.png",
        .description = [] { return QStringLiteral("Loads IN by its extension and saves it losslessly."); },
        .options = {},
        .run = runConvert,
        .needsFonts = firstPictureDrawsText,
    },
    {
        .name = "fetch",
        .usage = "ostrel-cli fetch URL [--timeout SECONDS]",
        .description = [] {
            return QStringLiteral("Fetches one resource over HTTP into the web folder and prints its header.\n"
                                  "The whole fetch may take at most --timeout seconds (300 unless given).");
        },
        .options = kFetchOptions,
        .run = runFetch,
        .needsFonts = neverNeedsFonts,
    },
    {
        .name = "chart",
        .usage = "ostrel-cli chart PICTURE -o OUT.bmp|OUT.gif|OUT.png [--kind bright|rgb|hsv] [--reverse] "
                 "[--dots points|blocks|outline] [--size WxH]",
        .description = [] {
            return QStringLiteral(
                "Draws the chart of the picture's colours that the analysis window shows, at WxH\n"
                "(800x600 by default): the brightness histogram (bright), the colour cube (rgb)\n"
                "or the hue hexagon (hsv). Without --dots, pictures of at most 100000 colours\n"
                "are drawn with blocks and others with single points.");
        },
        .options = kChartOptions,
        .run = runChart,
        .needsFonts = chartNeedsFonts,
        .operandLimit = 1,
        .tooManyOperands = "chart takes one picture.",
    },
    {
        .name = "seal-key",
        .usage = "ostrel-cli seal-key PICTURE [--password-file FILE | --password-stdin | --empty-password]",
        .description = [] {
            return QStringLiteral(
                "Asks for the password of a sealed picture and prints the password of the hiding\n"
                "format that reads its hidden file: 64 characters \"0\" and \"1\". With it any\n"
                "decoder of the format gets the sealed container out; its content stays sealed.");
        },
        .options = kPasswordOptions,
        .run = runSealKey,
        .needsFonts = neverNeedsFonts,
    },
    {
        .name = "check",
        .usage = "ostrel-cli check PICTURE... [--json]",
        .description = [] {
            return QStringLiteral(
                "Runs the chi-square attack, sample pairs analysis and RS analysis on the red, green and\n"
                "blue channels of each picture and says how plainly they see hidden data.\n"
                "--json prints one JSON object per picture, one per line.\n"
                "Exit status: 0 when every picture was checked, whatever was found; 1 when a picture\n"
                "could not be read; 2 for usage errors.");
        },
        .options = kCheckOptions,
        .run = runCheck,
        .needsFonts = anyPictureDrawsText,
    },
    {
        .name = "print",
        .usage = "ostrel-cli print FILE [-o OUT.pdf | --printer NAME] [--skin 1-9] [--font-size N] [--copies N] "
                 "[--no-collate] [--line-numbers] [--page N]",
        .description = [] {
            return QStringLiteral(
                "Prints a picture fitted on one page, or a text file (.txt, .dat, program sources) as\n"
                "text pages, with the date and \"Page N of M\" in the footer. Without -o or --printer\n"
                "it prints on the default printer; -o writes a PDF.");
        },
        .options = kPrintOptions,
        .run = runPrint,
        .needsFonts = alwaysNeedsFonts,
        .operandLimit = 1,
        .tooManyOperands = "print takes one file.",
    },
    {
        .name = "printers",
        .usage = "ostrel-cli printers",
        .description = [] { return QStringLiteral("Lists the print queues, the default one marked with *."); },
        .options = {},
        .run = runPrinters,
        .needsFonts = alwaysNeedsFonts,
        .operandLimit = 0,
    },
};

} // namespace

const Command* findCommand(const QString& name)
{
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& command) { return name == QLatin1String(command.name); });
    return found == std::end(kCommands) ? nullptr : found;
}

QStringList valuedOptions()
{
    QStringList valued;
    for (const Command& command : kCommands)
        for (const OptionRow& row : command.options) {
            if (!row.takesValue)
                continue;
            for (const char* name : {row.name, row.shortName})
                if (name && !valued.contains(QLatin1String(name)))
                    valued.append(QLatin1String(name));
        }
    return valued;
}

int usageError(const CommandLine& line, const QString& message)
{
    err(message);
    err(QStringLiteral("Usage: %1").arg(QLatin1String(line.command->usage)));
    return kExitUsage;
}

std::optional<int> helpOrUsageError(const CommandLine& line)
{
    if (line.help) {
        outLines(QStringLiteral("Usage: %1\n").arg(QLatin1String(line.command->usage)) + line.command->description());
        return kExitSuccess;
    }
    if (!line.error.isEmpty())
        return usageError(line, line.error);
    return std::nullopt;
}

int printMainHelp(bool toError)
{
    const QString text = QStringLiteral(
        "ostrel-cli - hide a file inside a picture and get it back out\n"
        "\n"
        "Commands:\n"
        "  encode CARRIER PAYLOAD -o OUT   hide PAYLOAD in the picture CARRIER, save as OUT (.bmp, .gif, .png)\n"
        "         --reduce [--dither]      reduce a picture of more than 128 colours to 256 twin colours\n"
        "         --stealth                move changed blue values by one and leave the pixels after the data\n"
        "                                  alone (.bmp or .png only): beats detectors of bit replacement only;\n"
        "                                  detectors of changes of one (check) see it at any size and show\n"
        "                                  the row where the data ends\n"
        "         --seal                   seal the file: password guessing costs a memory-hard derivation\n"
        "         --adaptive               seal the file and hide it with changes of one in all three channels\n"
        "                                  where the picture's texture hides them (Ostrel's own format;\n"
        "                                  .bmp or .png only)\n"
        "  decode PICTURE [-o DIR]         get the hidden file back (into the data folder, or DIR)\n"
        "         --force                  replace a file of the hidden file's name in DIR\n"
        "  info PICTURE                    size, colours and capacity\n"
        "  convert IN OUT                  load IN by its extension and save it as OUT (.bmp, .gif, .png)\n"
        "  fetch URL [--timeout SECONDS]   fetch a web resource into the web folder (at most 300 s)\n"
        "  chart PICTURE -o OUT            draw a chart of the picture's colours (.bmp, .gif, .png)\n"
        "        [--kind bright|rgb|hsv] [--reverse] [--dots points|blocks|outline] [--size WxH]\n"
        "  seal-key PICTURE                print the format password of a sealed picture\n"
        "  check PICTURE... [--json]       how plainly detectors of lowest-bit replacement see hidden data\n"
        "  print FILE [-o OUT.pdf]         print a picture or a text file, on a printer or into a PDF\n"
        "  printers                        list the print queues\n"
        "\n"
        "Passwords are asked at the terminal without echo, or read with\n"
        "--password-file FILE (its first line) or --password-stdin; an empty\n"
        "password is used only with --empty-password.\n"
        "Exit status: 0 success, 1 the operation failed, 2 usage error\n"
        "(check: 0 when every picture was checked, whatever it found).\n"
        "Options take their value as --output=FILE, --output FILE, -o FILE or -oFILE;\n"
        "-- ends the options. Each command takes --help; --version prints the version.");
    if (toError)
        errLines(text);
    else
        outLines(text);
    return toError ? kExitUsage : kExitSuccess;
}

} // namespace ostrel::cli
