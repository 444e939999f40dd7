// SPDX-License-Identifier: Apache-2.0
#include "cli/Commands.h"

#include "cli/Arguments.h"
#include "cli/Banded.h"
#include "cli/CheckReport.h"
#include "cli/Colours.h"
#include "cli/Output.h"
#include "cli/Password.h"
#include "cli/Progress.h"
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"
#include "colour/ColourCount.h"
#include "data/TempPathUnit.h"
#include "data/WebUnit.h"
#include "detect/Detection.h"
#include "engine/AdaptiveMode.h"
#include "engine/Capacity.h"
#include "engine/Decoder.h"
#include "engine/Encoder.h"
#include "engine/HiddenStream.h"
#include "engine/PasswordBytes.h"
#include "engine/Seal.h"
#include "engine/SealedPayload.h"
#include "engine/TRandom.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/bmp.h"
#include "imageio/gif.h"
#include "imageio/png.h"
#include "util/FileIO.h"
#include "util/Picture.h"
#include "util/StandardUnit.h"
#include "util/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QSize>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace ostrel::cli {

namespace {

struct Options {
    QStringList positional;
    QString output;
    PasswordRequest password;
    int passwordSources = 0;
    bool reduce = false;
    bool dither = false;
    bool stealth = false;
    bool seal = false;
    bool adaptive = false;
    bool force = false;
    bool json = false;
    bool help = false;
    std::optional<std::chrono::milliseconds> timeout;
    QString error;
};

// Which options a command takes besides --help.
enum OptionSet : unsigned {
    kTakesOutput = 1,
    kTakesPassword = 2,
    kTakesEncodeChoices = 4, // --reduce, --dither, --stealth, --seal, --adaptive
    kTakesTimeout = 8,
    kTakesForce = 16,
    kTakesJson = 32,
};

constexpr int kLongestTimeoutSeconds = 24 * 60 * 60;

std::optional<std::chrono::milliseconds> parseTimeout(const QString& text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds <= 0 || seconds > kLongestTimeoutSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(int64_t(seconds) * 1000);
}

// Options that contradict each other are refused rather than one of them
// silently winning.
void checkCombinations(Options& options)
{
    if (!options.error.isEmpty())
        return;
    if (options.passwordSources > 1)
        options.error = QStringLiteral("Give only one of --password-file, --password-stdin and --empty-password.");
    else if (options.dither && !options.reduce)
        options.error = QStringLiteral("--dither needs --reduce: only a reduction to a palette is dithered.");
}

Options parseOptions(const QStringList& args, unsigned takes)
{
    Options options;
    auto setPassword = [&](PasswordSource source) {
        options.password.source = source;
        ++options.passwordSources;
    };
    static const QStringList kValued = {QStringLiteral("-o"), QStringLiteral("--output"),
                                        QStringLiteral("--password-file"), QStringLiteral("--timeout")};
    for (const Argument& argument : scanArguments(args, kValued)) {
        const QString& a = argument.text;
        auto value = [&] { return optionValue(argument, options.error); };
        auto flag = [&](bool& setting) { setting = flagAlone(argument, options.error); };
        if (!argument.option)
            options.positional.append(a);
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            flag(options.help);
        else if ((takes & kTakesOutput) && (a == QLatin1String("-o") || a == QLatin1String("--output")))
            options.output = value();
        else if ((takes & kTakesPassword) && a == QLatin1String("--password-file")) {
            setPassword(PasswordSource::File);
            options.password.file = value();
        } else if ((takes & kTakesPassword) && a == QLatin1String("--password-stdin")) {
            setPassword(PasswordSource::Stdin);
            flagAlone(argument, options.error);
        } else if ((takes & kTakesPassword) && a == QLatin1String("--empty-password")) {
            setPassword(PasswordSource::Empty);
            flagAlone(argument, options.error);
        } else if ((takes & kTakesEncodeChoices) && a == QLatin1String("--reduce"))
            flag(options.reduce);
        else if ((takes & kTakesEncodeChoices) && a == QLatin1String("--dither"))
            flag(options.dither);
        else if ((takes & kTakesEncodeChoices) && a == QLatin1String("--stealth"))
            flag(options.stealth);
        else if ((takes & kTakesEncodeChoices) && a == QLatin1String("--seal"))
            flag(options.seal);
        else if ((takes & kTakesEncodeChoices) && a == QLatin1String("--adaptive"))
            flag(options.adaptive);
        else if ((takes & kTakesForce) && a == QLatin1String("--force"))
            flag(options.force);
        else if ((takes & kTakesJson) && a == QLatin1String("--json"))
            flag(options.json);
        else if ((takes & kTakesTimeout) && a == QLatin1String("--timeout")) {
            const QString text = value();
            if (options.error.isEmpty() && !(options.timeout = parseTimeout(text)))
                options.error = QStringLiteral("--timeout takes a whole number of seconds from 1 to %1, not %2.")
                                    .arg(kLongestTimeoutSeconds)
                                    .arg(text);
        } else
            options.error = unknownOptionText(a);
        if (!options.error.isEmpty())
            break;
    }
    checkCombinations(options);
    return options;
}

// A progress bar on the terminal when long work runs; silent when stderr is not a terminal.
TProgressProc terminalProgress(const char* what)
{
    return terminalProgressBar(what);
}

// Why a reader stopped before the end, in the words a user knows.
QString incompleteReason(LoadStop stop)
{
    switch (stop) {
    case LoadStop::Complete: return {};
    case LoadStop::Missing: return QStringLiteral("the file could not be read");
    case LoadStop::Truncated: return QStringLiteral("the file ends before the picture does");
    case LoadStop::BadSignature: return QStringLiteral("the file is not a picture of its kind");
    case LoadStop::Corrupt: return QStringLiteral("the picture's data are damaged");
    case LoadStop::OverLimit: return QStringLiteral("the picture is larger than Ostrel can hold");
    case LoadStop::Unsupported: return QStringLiteral("this kind of picture is not supported");
    case LoadStop::Failed: return QStringLiteral("the picture could not be decoded");
    }
    return QStringLiteral("the picture could not be read");
}

// The picture, only when its reader read all of it: a blank or half-drawn
// stand-in would otherwise carry a payload or be saved as if it were the
// user's picture.
std::optional<QImage> loadPicture(const QString& path)
{
    const QString extension = upperExtension(path);
    if (PictureLoaderCode(extension) == 0) {
        err(QStringLiteral("Cannot open %1: %2 files are not pictures that Ostrel reads.")
                .arg(path, extension.isEmpty() ? QStringLiteral("extension-less") : extension));
        return std::nullopt;
    }
    if (QFileInfo(path).isFile() && QFileInfo(path).size() == 0) {
        err(QStringLiteral("Cannot read %1: the file is empty.").arg(path));
        return std::nullopt;
    }
    // Read, never mapped: a mapped file that another program shortens
    // meanwhile would end the process with a bus error.
    QString error;
    LoadResult result = LoadPictureFileWithOptions(path, {}, &error);
    if (!error.isEmpty()) {
        err(error);
        return std::nullopt;
    }
    if (result.stop != LoadStop::Complete || result.picture.isNull()) {
        err(QStringLiteral("Cannot read %1: %2.").arg(path, incompleteReason(result.stop)));
        return std::nullopt;
    }
    ensurePictureFormat(result.picture);
    return result.picture;
}

// A payload that is a folder or a pipe is named as such before any work.
bool payloadReadable(const QString& path)
{
    const QString reason = notARegularFileReason(path);
    if (reason.isEmpty())
        return true;
    err(QStringLiteral("Cannot read %1: %2.").arg(path, reason));
    return false;
}

bool isSavableExtension(const QString& extension)
{
    return extension == QLatin1String(".BMP") || extension == QLatin1String(".GIF") ||
           extension == QLatin1String(".PNG");
}

QString unsavableExtensionMessage(const QString& fileName)
{
    return QStringLiteral("Cannot save %1: cannot save file with %2 Extension (use .bmp, .gif or .png).")
        .arg(fileName, upperExtension(fileName).isEmpty() ? QStringLiteral("no") : upperExtension(fileName));
}

// The palette always holds the 16 base colours, so a picture of 256 or fewer
// colours of its own may still not fit; the message says so.
QString tooManyColoursForGif(const QString& fileName, const ColourFacts& facts)
{
    const QString need = facts.own <= 256
        ? QStringLiteral("has %1 colours, %2 with the 16 base colours every palette holds").arg(facts.own).arg(facts.total)
        : QStringLiteral("has %1 colours").arg(facts.own);
    return QStringLiteral("Cannot save %1: the picture %2; GIF holds at most 256, so save it as .bmp.").arg(fileName, need);
}

// True-colour encoding may give every colour a twin with the other lowest
// blue bit, so a picture that fits a GIF now may not once it carries data.
// A sealed picture keeps its true colours, so --reduce is no way out for it.
QString tooManyColoursAfterEncoding(const QString& fileName, int64_t colours, bool sealed)
{
    const QString count = colours == kUncountedColours ? QStringLiteral("more than 256") : QString::number(colours);
    const QString way = sealed ? QStringLiteral("A sealed picture keeps its true colours: save it as .bmp.")
                               : QStringLiteral("Add --reduce to hide the data with a palette of 256 colours, or "
                                                "save as .bmp.");
    return QStringLiteral("Cannot save %1: once data are hidden in it the picture may have %2 colours (each colour "
                          "with both values of its lowest blue bit, and the 16 base colours); GIF holds at most 256. ")
               .arg(fileName, count)
        + way;
}

// Saves by extension with the picture's own palette when it has at most 256
// colours; `error` says why it could not.
bool savePicture(const QImage& picture, const QString& fileName, QString& error)
{
    const ColourFacts facts = coloursForSaving(picture);
    const QString extension = upperExtension(fileName);
    bool saved = false;
    if (extension == QLatin1String(".GIF")) {
        if (facts.saveCount > 256) {
            // A picture of many colours was not counted; the message needs its count.
            error = tooManyColoursForGif(fileName, facts.own > 0 ? facts : countColours(picture));
            return false;
        }
        saved = SaveGifWithPalette(picture, fileName, facts.savePalette, facts.saveCount, &error);
    } else if (extension == QLatin1String(".PNG")) {
        saved = SavePngPaletted(picture, fileName, facts.savePalette, facts.saveCount, {}, &error);
    } else {
        saved = SaveBmpWithPalette(picture, fileName, facts.savePalette, facts.saveCount, &error);
    }
    if (!saved && error.isEmpty())
        error = QStringLiteral("Cannot write %1.").arg(fileName);
    return saved;
}

bool saveTrueColour(const QImage& picture, const QString& fileName, QString& error)
{
    // More than 256 colours: the PNG writer's 24-bit file.
    const bool saved = upperExtension(fileName) == QLatin1String(".PNG")
        ? SavePngPaletted(picture, fileName, TPaletteArray{}, 257, {}, &error)
        : Write24BitBmp(picture, fileName, &error);
    if (saved)
        return true;
    if (error.isEmpty())
        error = QStringLiteral("Cannot write %1.").arg(fileName);
    return false;
}

std::optional<QByteArray> askPassword(const PasswordRequest& request)
{
    QString error;
    std::optional<QByteArray> password = obtainPassword(request, error);
    if (!password)
        err(error);
    return password;
}

std::optional<uint64_t> obtainKey(const PasswordRequest& request)
{
    std::optional<QByteArray> password = askPassword(request);
    if (!password)
        return std::nullopt;
    const uint64_t key = HashPassword(*password);
    wipeSecret(*password);
    if (!keyCanProduceBits(key)) {
        err(QStringLiteral("This password cannot be used to hide data; please choose another one."));
        return std::nullopt;
    }
    return key;
}

// The report goes to standard output; a failure is also said on standard
// error, with its cause (the report's last line), so that a script that keeps
// only the errors still learns why.
void printOutcome(const char* heading, bool ok, const ReportList& report, const QString& failure = {})
{
    out(QLatin1String(heading) + (ok ? QStringLiteral(" Successful") : QStringLiteral(" Failed")));
    out(QString());
    for (const QString& line : report)
        out(line);
    if (ok || failure.isEmpty())
        return;
    QString cause = report.isEmpty() ? QString() : report.last();
    if (cause.startsWith(QLatin1String("ERROR: ")))
        cause = cause.mid(7);
    err(cause.isEmpty() ? failure + QLatin1Char('.') : failure + QStringLiteral(": ") + cause);
}

constexpr const char* kEncodeUsage =
    "ostrel-cli encode CARRIER PAYLOAD -o OUT.bmp|OUT.gif|OUT.png [--reduce [--dither] | --stealth] [--seal] "
    "[--adaptive] [--password-file FILE | --password-stdin | --empty-password]";
constexpr const char* kDecodeUsage =
    "ostrel-cli decode PICTURE [-o DIR [--force]] [--password-file FILE | --password-stdin | --empty-password]";
constexpr const char* kSealKeyUsage =
    "ostrel-cli seal-key PICTURE [--password-file FILE | --password-stdin | --empty-password]";
constexpr const char* kInfoUsage = "ostrel-cli info PICTURE";
constexpr const char* kConvertUsage = "ostrel-cli convert IN OUT.bmp|OUT.gif|OUT.png";
constexpr const char* kFetchUsage = "ostrel-cli fetch URL [--timeout SECONDS]";

// The lines of a fetch's message, each shown as one line of the terminal.
void printFetchMessage(const QString& text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& line : lines)
        out(line);
}
constexpr const char* kChartUsage = "ostrel-cli chart PICTURE -o OUT.bmp|OUT.gif|OUT.png [--kind bright|rgb|hsv] [--reverse] "
                                    "[--dots points|blocks|outline] [--size WxH]";

struct ChartOptions {
    QString picture;
    QString output;
    TChartChoice choice;
    bool dotsGiven = false;
    QSize size{800, 600};
    bool help = false;
    QString error;
};

// "WxH" with both sides positive and the picture within Ostrel's limit.
std::optional<QSize> parseChartSize(const QString& text)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    if (parts.size() != 2)
        return std::nullopt;
    bool wide = false, high = false;
    const int width = parts[0].toInt(&wide), height = parts[1].toInt(&high);
    if (!wide || !high || !pictureSizeAllowed(width, height))
        return std::nullopt;
    return QSize(width, height);
}

ChartOptions parseChartOptions(const QStringList& args)
{
    ChartOptions options;
    static const QStringList kKinds = {QStringLiteral("bright"), QStringLiteral("rgb"), QStringLiteral("hsv")};
    static const QStringList kDots = {QStringLiteral("points"), QStringLiteral("blocks"), QStringLiteral("outline")};
    static const QStringList kValued = {QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--kind"),
                                        QStringLiteral("--dots"), QStringLiteral("--size")};
    for (const Argument& argument : scanArguments(args, kValued)) {
        if (!options.error.isEmpty())
            break;
        const QString& a = argument.text;
        auto value = [&] { return optionValue(argument, options.error); };
        if (!argument.option) {
            if (options.picture.isEmpty())
                options.picture = a;
            else
                options.error = QStringLiteral("chart takes one picture.");
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = flagAlone(argument, options.error);
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            options.output = value();
        } else if (a == QLatin1String("--reverse")) {
            options.choice.reverse = flagAlone(argument, options.error);
        } else if (a == QLatin1String("--kind")) {
            const qsizetype kind = kKinds.indexOf(value());
            if (kind < 0 && options.error.isEmpty())
                options.error = QStringLiteral("--kind takes bright, rgb or hsv.");
            options.choice.chart = TAnalysisChart(std::max<qsizetype>(kind, 0));
        } else if (a == QLatin1String("--dots")) {
            const qsizetype dots = kDots.indexOf(value());
            if (dots < 0 && options.error.isEmpty())
                options.error = QStringLiteral("--dots takes points, blocks or outline.");
            options.choice.dots = TDotStyle(std::max<qsizetype>(dots, 0));
            options.dotsGiven = true;
        } else if (a == QLatin1String("--size")) {
            const QString text = value();
            const std::optional<QSize> size = parseChartSize(text);
            if (!size && options.error.isEmpty())
                options.error = QStringLiteral("--size takes WxH, such as 800x600, within Ostrel's picture limit.");
            options.size = size.value_or(options.size);
        } else {
            options.error = unknownOptionText(a);
        }
    }
    return options;
}
constexpr const char* kCheckUsage = "ostrel-cli check PICTURE... [--json]";

// Why a plan was refused, with the room needed and the room there is.
QString planRefusalText(const EncodePlan& plan)
{
    QString reason = plan.lines.isEmpty() ? QStringLiteral("it cannot be hidden.") : plan.lines.last();
    if (reason.startsWith(QLatin1String("ERROR: ")))
        reason = reason.mid(7);
    if (plan.streamLength > 0 && plan.availableBits < plan.streamLength * 8)
        reason += QStringLiteral(" It needs %1 bits (its name and date, the file and a checksum); the picture has %2, "
                                 "one for each pixel.")
                      .arg(plan.streamLength * 8)
                      .arg(plan.availableBits);
    return reason;
}

// The encode under the format's own key: reduced, stealthy or plain.
bool encodeWithKey(QImage& picture, const QString& payloadPath, uint64_t key, bool reduce, const Options& options,
                   ReportList& report)
{
    const uint32_t keyLow = uint32_t(key), keyHigh = uint32_t(key >> 32);
    if (reduce) {
        TPaletteArray palette{};
        int32_t count = 16;
        buildReductionPalette(picture, palette, count);
        out(QStringLiteral("Resulting image will contain %1 colors.").arg(count));
        return EncodePayload(picture, palette, count, terminalProgress("Encoding"), &report, keyLow, keyHigh,
                             payloadPath, options.dither);
    }
    EncodeOptions plain;
    plain.stealth = options.stealth;
    return EncodePayloadWith(picture, payloadPath, keyLow, keyHigh, plain, terminalProgress("Encoding"), &report);
}

// Adaptive hiding is sealed already and writes true colour in its own way.
QString adaptiveConflict(const Options& options, bool toGif)
{
    if (!options.adaptive)
        return {};
    if (options.reduce || options.stealth || options.seal)
        return QStringLiteral("--adaptive is a way of hiding of its own, sealed already: it cannot be combined with "
                              "--reduce, --stealth or --seal.");
    if (toGif)
        return QStringLiteral("--adaptive changes every channel of a true-colour picture, and GIF files hold a "
                              "palette: save as .bmp or .png.");
    if (options.password.source == PasswordSource::Empty)
        return QStringLiteral("--adaptive needs a password: its positions and seal come from it.");
    return {};
}

// The adaptive encode, after the options: the output and the fit are
// checked before the password is asked for; the result is true colour.
int encodeAdaptively(QImage& picture, const QString& carrierPath, const QString& payloadPath, const QString& outPath,
                     Options& options)
{
    if (const QString refusal = writeRefusal(outPath); !refusal.isEmpty()) {
        err(refusal);
        return kExitFailed;
    }
    const QString dateTime = currentDateTimeText();
    const EncodePlan fit = PlanAdaptiveEncodeOfFile(picture, payloadPath, dateTime);
    if (!fit.accepted) {
        err(QStringLiteral("Cannot hide %1 in %2: %3").arg(payloadPath, carrierPath, planRefusalText(fit)));
        return kExitFailed;
    }
    options.password.confirm = true;
    std::optional<QByteArray> password = askPassword(options.password);
    if (!password)
        return kExitFailed;
    ReportList report;
    const bool ok = EncodeAdaptivePayload(picture, payloadPath, *password, &report, terminalProgress("Encoding"),
                                          dateTime);
    wipeSecret(*password);
    QString saveError;
    const bool saved = ok && saveTrueColour(picture, outPath, saveError);
    printOutcome("Encoding", saved, report,
                 ok ? QString() : QStringLiteral("Cannot hide %1 in %2").arg(payloadPath, carrierPath));
    if (ok && !saved)
        err(saveError);
    return saved ? kExitSuccess : kExitFailed;
}

// The encode of a carrier read a band at a time (see Banded.h): the same
// checks, report and file as the whole picture's. Nothing, before anything
// is said, when the result may hold few enough colours to be saved with a
// palette, which only the whole picture's path does.
std::optional<int> encodeBanded(BandedPicture& carrier, const QString& payloadPath, const QString& outPath,
                                Options& options)
{
    const QString dateTime = currentDateTimeText();
    EncodePlan fit;
    {
        BmpFileRows probe(carrier.file, carrier.layout);
        if (!options.stealth && !staysTrueColour(probe))
            return std::nullopt;
        if (!payloadReadable(payloadPath))
            return kExitFailed;
        if (!options.seal && QFileInfo(payloadPath).isFile() && QFileInfo(payloadPath).size() == 0) {
            err(nothingToHideText(payloadPath));
            return kExitFailed;
        }
        if (const QString refusal = writeRefusal(outPath); !refusal.isEmpty()) {
            err(refusal);
            return kExitFailed;
        }
        fit = options.seal ? PlanSealedEncodeOfFile(probe, payloadPath, dateTime)
                           : PlanEncodeOfFile(probe, payloadPath, dateTime);
    }
    if (!fit.accepted) {
        err(QStringLiteral("Cannot hide %1 in %2: %3").arg(payloadPath, carrier.path, planRefusalText(fit)));
        return kExitFailed;
    }
    options.password.confirm = true;
    std::optional<QByteArray> password;
    std::optional<uint64_t> key;
    if (options.seal ? !(password = askPassword(options.password)) : !(key = obtainKey(options.password)))
        return kExitFailed;
    ReportList report;
    bool ok = false;
    auto encode = [&](PixelRows& rows) {
        if (options.seal) {
            ok = EncodeSealedPayload(rows, payloadPath, *password, &report, terminalProgress("Encoding"),
                                     currentDateTimeText(), options.stealth);
        } else {
            EncodeOptions plain;
            plain.stealth = options.stealth;
            ok = EncodePayloadWith(rows, payloadPath, uint32_t(*key), uint32_t(*key >> 32), plain,
                                   terminalProgress("Encoding"), &report);
        }
        return ok;
    };
    QString readError, saveError;
    const bool saved = changeIntoFile(carrier, outPath, encode, readError, saveError);
    if (password)
        wipeSecret(*password);
    if (!readError.isEmpty()) {
        err(readError);
        return kExitFailed;
    }
    printOutcome("Encoding", saved, report,
                 ok ? QString() : QStringLiteral("Cannot hide %1 in %2").arg(payloadPath, carrier.path));
    if (ok && !saved)
        err(saveError);
    return saved ? kExitSuccess : kExitFailed;
}

} // namespace

std::optional<QImage> loadCommandPicture(const QString& path)
{
    return loadPicture(path);
}

bool commandNeedsFonts(const QStringList& commandLine)
{
    if (commandLine.isEmpty())
        return false;
    if (commandLine.first() == QLatin1String("print") || commandLine.first() == QLatin1String("printers"))
        return true;
    static const QStringList kPictureCommands = {QStringLiteral("encode"), QStringLiteral("decode"),
                                                 QStringLiteral("info"), QStringLiteral("convert"),
                                                 QStringLiteral("check")};
    if (commandLine.first() == QLatin1String("chart")) {
        // The cube chart labels its corners.
        const ChartOptions chart = parseChartOptions(commandLine.mid(1));
        if (chart.help || chart.picture.isEmpty())
            return false;
        return chart.choice.chart == TAnalysisChart::Rgb
            || PictureLoaderDrawsText(PictureLoaderCode(upperExtension(chart.picture)));
    }
    if (!kPictureCommands.contains(commandLine.first()))
        return false;
    // check reads every picture it is given; the others only their first.
    const bool check = commandLine.first() == QLatin1String("check");
    const Options options = parseOptions(commandLine.mid(1), ~0u);
    if (options.help || options.positional.isEmpty())
        return false;
    const QStringList pictures = check ? options.positional : options.positional.mid(0, 1);
    for (const QString& picture : pictures) {
        if (PictureLoaderDrawsText(PictureLoaderCode(upperExtension(picture))))
            return true;
    }
    return false;
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

int runEncode(const QStringList& args)
{
    Options options = parseOptions(args, kTakesOutput | kTakesPassword | kTakesEncodeChoices);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kEncodeUsage,
            QStringLiteral("Hides PAYLOAD in the lowest blue bit of every pixel of CARRIER and saves OUT.")))
        return *done;
    if (options.positional.size() != 2 || options.output.isEmpty())
        return usageError(QStringLiteral("encode needs a carrier, a payload and -o OUT."), kEncodeUsage);
    const QString carrierPath = options.positional[0];
    const QString payloadPath = options.positional[1];
    const QString outPath = options.output;
    if (!isSavableExtension(upperExtension(outPath)))
        return usageError(unsavableExtensionMessage(outPath), kEncodeUsage);
    const bool toGif = upperExtension(outPath) == QLatin1String(".GIF");
    if (options.stealth && options.reduce)
        return usageError(QStringLiteral("--stealth keeps the picture's own colours; it cannot be used with --reduce."),
                          kEncodeUsage);
    if (options.stealth && toGif)
        return usageError(QStringLiteral("--stealth needs a true-colour result, and GIF files hold a palette: "
                                         "save as .bmp."),
                          kEncodeUsage);
    if (options.seal && options.reduce)
        return usageError(QStringLiteral("--seal keeps the picture's true colours and cannot be combined with --reduce."),
                          kEncodeUsage);
    if (const QString conflict = adaptiveConflict(options, toGif); !conflict.isEmpty())
        return usageError(conflict, kEncodeUsage);
    if (options.seal && options.password.source == PasswordSource::Empty)
        return usageError(QStringLiteral("--seal needs a password: a seal with the empty password protects nothing."),
                          kEncodeUsage);

    // A 24-bit BMP result of a 24-bit BMP carrier is made a band at a time.
    if (!options.adaptive && !options.reduce && upperExtension(outPath) == QLatin1String(".BMP"))
        if (std::optional<BandedPicture> banded = openBanded(carrierPath))
            if (const std::optional<int> done = encodeBanded(*banded, payloadPath, outPath, options))
                return *done;
    std::optional<QImage> picture = loadPicture(carrierPath);
    if (!picture || !payloadReadable(payloadPath))
        return kExitFailed;
    if (options.adaptive)
        return encodeAdaptively(*picture, carrierPath, payloadPath, outPath, options);
    if (!options.seal && QFileInfo(payloadPath).isFile() && QFileInfo(payloadPath).size() == 0) {
        err(nothingToHideText(payloadPath));
        return kExitFailed;
    }
    // Whatever can be known before the password is asked is checked first:
    // the output can be written, and the payload fits.
    if (const QString refusal = writeRefusal(outPath); !refusal.isEmpty()) {
        err(refusal);
        return kExitFailed;
    }
    const QString dateTime = currentDateTimeText();
    const EncodePlan fit = options.seal ? PlanSealedEncodeOfFile(*picture, payloadPath, dateTime)
                                        : PlanEncodeOfFile(*picture, payloadPath, dateTime);
    if (!fit.accepted) {
        err(QStringLiteral("Cannot hide %1 in %2: %3").arg(payloadPath, carrierPath, planRefusalText(fit)));
        return kExitFailed;
    }
    // The census is needed only to decide on a reduction; a GIF needs to know,
    // before any work, whether the encoded picture can still fit a palette.
    const ColourFacts facts = options.reduce ? countColours(*picture) : ColourFacts{};
    bool reduce = options.reduce && ReductionOffered(facts.total);
    if (!reduce && toGif) {
        const int64_t colours = coloursAfterEncoding(*picture);
        if (colours > 256 && !options.reduce) {
            err(tooManyColoursAfterEncoding(outPath, colours, options.seal));
            return kExitFailed;
        }
        // Few colours, but too many with their twins: the palette asked for is made.
        reduce = colours > 256;
    }
    options.password.confirm = true;
    ReportList report;
    bool ok = false;
    if (options.seal) {
        std::optional<QByteArray> password = askPassword(options.password);
        if (!password)
            return kExitFailed;
        ok = EncodeSealedPayload(*picture, payloadPath, *password, &report, terminalProgress("Encoding"),
                                 currentDateTimeText(), options.stealth);
        wipeSecret(*password);
    } else {
        std::optional<uint64_t> key = obtainKey(options.password);
        if (!key)
            return kExitFailed;
        ok = encodeWithKey(*picture, payloadPath, *key, reduce, options, report);
    }
    // The heading tells whether OUT was written; when saving fails, its reason
    // is the last line printed. A stealthy picture stays true colour: its
    // values were moved, not reduced, and a palette file is where its colours
    // would stand out.
    QString saveError;
    const bool saved = ok && (options.stealth ? saveTrueColour(*picture, outPath, saveError)
                                              : savePicture(*picture, outPath, saveError));
    printOutcome("Encoding", saved, report,
                 ok ? QString() : QStringLiteral("Cannot hide %1 in %2").arg(payloadPath, carrierPath));
    if (ok && !saved)
        err(saveError);
    return saved ? kExitSuccess : kExitFailed;
}

namespace {

// Whether `folder` is a folder or could be made one: the nearest part of it
// that exists must be a folder. Nothing is made here, so that a wrong
// password leaves nothing behind, but a folder that can never be made is
// named before the password is asked for.
bool folderCanBeMade(const QString& folder, QString& error)
{
    QString existing = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath())
        existing = QFileInfo(existing).path();
    if (QFileInfo(existing).isDir())
        return true;
    error = QStringLiteral("Cannot create folder %1: %2 is not a folder.").arg(folder, existing);
    return false;
}

} // namespace

int runDecode(const QStringList& args)
{
    Options options = parseOptions(args, kTakesOutput | kTakesPassword | kTakesForce);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kDecodeUsage,
            QStringLiteral("Writes the hidden file into the decode folder (%1) or into DIR.\n"
                           "A file of the hidden file's name already in DIR is kept, and the decode fails,\n"
                           "unless --force is given; in the decode folder it is replaced.")
                .arg(preferredDataRoot() + QStringLiteral("STEGANOGRAPHY/"))))
        return *done;
    if (options.positional.size() != 1)
        return usageError(QStringLiteral("decode needs one picture."), kDecodeUsage);
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(options.positional[0], loadPicture);
    if (!carrier)
        return kExitFailed;
    // A folder given with -o is made by the decode once there is a file to
    // write, so a wrong password leaves nothing behind.
    QString folderError;
    if (!options.output.isEmpty() ? !folderCanBeMade(options.output, folderError)
                                   : !PrepareDataFoldersFor(DataFolder::Decode, folderError)) {
        err(folderError);
        return kExitFailed;
    }
    std::optional<QByteArray> password = askPassword(options.password);
    if (!password)
        return kExitFailed;
    const QString folder =
        options.output.isEmpty() ? QString() : QDir(options.output).absolutePath() + QLatin1Char('/');
    ReportList report;
    QString outputPath;
    const ExistingFile existing = options.force ? ExistingFile::Replace : ExistingFile::Keep;
    carrier->reportTo(terminalProgress("Decoding"));
    const bool ok = DecodePayloadWithPassword(carrier->rows(), folder, outputPath, &report, *password, existing);
    carrier->doneReading();
    wipeSecret(*password);
    if (!ok && !carrier->rows().intact()) {
        err(shortenedWhileReadText(options.positional[0]));
        return kExitFailed;
    }
    printOutcome("Decode", ok, report, QStringLiteral("Cannot decode %1").arg(options.positional[0]));
    if (!ok && !outputPath.isEmpty() && !report.isEmpty() && report.last() == existingFileKeptLine(outputPath))
        err(QStringLiteral("Give --force to replace it, or decode into another folder."));
    return ok ? kExitSuccess : kExitFailed;
}

int runInfo(const QStringList& args)
{
    Options options = parseOptions(args, 0);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kInfoUsage,
            QStringLiteral("Prints the size, the colour count and the capacity.")))
        return *done;
    if (options.positional.size() != 1)
        return usageError(QStringLiteral("info needs one picture."), kInfoUsage);
    const QString path = options.positional[0];
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadPicture);
    if (!carrier)
        return kExitFailed;
    PixelRows& rows = carrier->rows();
    carrier->reportTo(terminalProgress("Counting colours"));
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

int runConvert(const QStringList& args)
{
    Options options = parseOptions(args, 0);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kConvertUsage,
            QStringLiteral("Loads IN by its extension and saves it losslessly.")))
        return *done;
    if (options.positional.size() != 2)
        return usageError(QStringLiteral("convert needs an input and an output file."), kConvertUsage);
    const QString outPath = options.positional[1];
    if (!isSavableExtension(upperExtension(outPath)))
        return usageError(unsavableExtensionMessage(outPath), kConvertUsage);
    std::optional<QImage> picture = loadPicture(options.positional[0]);
    if (!picture)
        return kExitFailed;
    QString error;
    if (savePicture(*picture, outPath, error))
        return kExitSuccess;
    err(error);
    return kExitFailed;
}

int runFetch(const QStringList& args)
{
    Options options = parseOptions(args, kTakesTimeout);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kFetchUsage,
            QStringLiteral("Fetches one resource over HTTP into the web folder and prints its header.\n"
                           "The whole fetch may take at most --timeout seconds (300 unless given).")))
        return *done;
    if (options.positional.size() != 1)
        return usageError(QStringLiteral("fetch needs one web address."), kFetchUsage);
    if (QString folderError; !PrepareDataFoldersFor(DataFolder::Web, folderError)) {
        err(folderError);
        return kExitFailed;
    }
    FetchSettings settings;
    if (options.timeout)
        settings.totalTimeout = *options.timeout;
    const QString url = options.positional[0];
    const WebFetchResult result = FetchToWebFolder(url, settings);
    if (!result.errorText.isEmpty()) {
        // What the server sent of its header is the report; the failure and
        // its cause are errors.
        printFetchMessage(result.header);
        const QString cause = result.failureDetail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.failureDetail);
        err(QStringLiteral("Cannot fetch %1: %2%3.").arg(url, result.errorText, cause));
        return kExitFailed;
    }
    printFetchMessage(fetchMessageText(result));
    if (const QString warning = fetchStatusWarning(result); !warning.isEmpty())
        err(QStringLiteral("Warning: ") + warning);
    err(QStringLiteral("Saved to %1").arg(result.targetPath));
    return kExitSuccess;
}

int runChart(const QStringList& args)
{
    const ChartOptions options = parseChartOptions(args);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kChartUsage,
            QStringLiteral("Draws the chart of the picture's colours that the analysis window shows, at WxH\n"
                           "(800x600 by default): the brightness histogram (bright), the colour cube (rgb)\n"
                           "or the hue hexagon (hsv). Without --dots, pictures of at most 100000 colours\n"
                           "are drawn with blocks and others with single points.")))
        return *done;
    if (options.picture.isEmpty() || options.output.isEmpty())
        return usageError(QStringLiteral("chart needs a picture and -o OUT."), kChartUsage);
    if (!isSavableExtension(upperExtension(options.output)))
        return usageError(unsavableExtensionMessage(options.output), kChartUsage);

    std::optional<QImage> picture = loadPicture(options.picture);
    if (!picture)
        return kExitFailed;
    TZQXTColorSplayTree tree;
    CountColorsQuiet(*picture, &tree);
    picture.reset();
    TChartChoice choice = options.choice;
    if (!options.dotsGiven)
        choice.dots = firstAnalysisDots(tree.Count());
    QImage chart = allocatePicture(options.size.width(), options.size.height());
    if (chart.isNull()) {
        err(QStringLiteral("Not enough memory for a chart of %1x%2.").arg(options.size.width()).arg(options.size.height()));
        return kExitFailed;
    }
    DrawAnalysisChart(chart, tree, choice);
    QString error;
    if (savePicture(chart, options.output, error))
        return kExitSuccess;
    err(error);
    return kExitFailed;
}

int runCheck(const QStringList& args)
{
    Options options = parseOptions(args, kTakesJson);
    const bool json = options.json;
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kCheckUsage,
            QStringLiteral("Runs the chi-square attack, sample pairs analysis and RS analysis on the red, green and\n"
                           "blue channels of each picture and says how plainly they see hidden data.\n"
                           "--json prints one JSON object per picture, one per line.\n"
                           "Exit status: 0 when every picture was checked, whatever was found; 1 when a picture\n"
                           "could not be read; 2 for usage errors.")))
        return *done;
    if (options.positional.isEmpty())
        return usageError(QStringLiteral("check needs at least one picture."), kCheckUsage);
    bool allRead = true;
    bool first = true;
    for (const QString& path : options.positional) {
        const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadPicture);
        if (!carrier) {
            allRead = false;
            continue;
        }
        PixelRows& rows = carrier->rows();
        carrier->reportTo(terminalProgress("Checking"));
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

int runSealKey(const QStringList& args)
{
    const Options options = parseOptions(args, kTakesPassword);
    if (const std::optional<int> done = helpOrUsageError(
            options.help, options.error, kSealKeyUsage,
            QStringLiteral("Asks for the password of a sealed picture and prints the password of the hiding\n"
                           "format that reads its hidden file: 64 characters \"0\" and \"1\". With it any\n"
                           "decoder of the format gets the sealed container out; its content stays sealed.")))
        return *done;
    if (options.positional.size() != 1)
        return usageError(QStringLiteral("seal-key needs one picture."), kSealKeyUsage);
    const QString path = options.positional[0];
    const std::unique_ptr<CarrierRows> carrier = CarrierRows::open(path, loadPicture);
    if (!carrier)
        return kExitFailed;
    std::optional<QByteArray> password = askPassword(options.password);
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
    const HiddenPayload::Outcome found = ReadHiddenStream(rows, uint32_t(key), uint32_t(key >> 32)).outcome;
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
