// SPDX-License-Identifier: Apache-2.0
// ostrel-cli encode: a file hidden in a picture, saved as a new picture.
#include "cli/Banded.h"
#include "cli/Colours.h"
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "colour/ColourCount.h"
#include "engine/AdaptiveMode.h"
#include "engine/Capacity.h"
#include "engine/Encoder.h"
#include "engine/PasswordBytes.h"
#include "engine/SealedPayload.h"
#include "imageio/GraphicsIOUnit.h"
#include "util/FileIO.h"
#include "util/StandardUnit.h"
#include "util/Text.h"

#include <QFileInfo>

namespace ostrel::cli {

namespace {

// The choices of an encode, as the command line gave them.
struct EncodeChoices {
    QString carrierPath;
    QString payloadPath;
    QString outPath;
    PasswordRequest password;
    bool reduce = false;
    bool dither = false;
    bool stealth = false;
    bool seal = false;
    bool adaptive = false;
    bool toGif = false;
};

EncodeChoices encodeChoices(const CommandLine& line)
{
    EncodeChoices choices;
    choices.carrierPath = line.operands.value(0);
    choices.payloadPath = line.operands.value(1);
    choices.outPath = line.value("--output");
    choices.password = passwordRequest(line);
    choices.reduce = line.has("--reduce");
    choices.dither = line.has("--dither");
    choices.stealth = line.has("--stealth");
    choices.seal = line.has("--seal");
    choices.adaptive = line.has("--adaptive");
    choices.toGif = upperExtension(choices.outPath) == QLatin1String(".GIF");
    return choices;
}

// Adaptive hiding is sealed already and writes true colour in its own way.
QString adaptiveConflict(const EncodeChoices& choices)
{
    if (!choices.adaptive)
        return {};
    if (choices.reduce || choices.stealth || choices.seal)
        return QStringLiteral("--adaptive is a way of hiding of its own, sealed already: it cannot be combined with "
                              "--reduce, --stealth or --seal.");
    if (choices.toGif)
        return QStringLiteral("--adaptive changes every channel of a true-colour picture, and GIF files hold a "
                              "palette: save as .bmp or .png.");
    if (choices.password.source == PasswordSource::Empty)
        return QStringLiteral("--adaptive needs a password: its positions and seal come from it.");
    return {};
}

// Every usage error of an encode's command line, in the order they are told:
// the operands, the output's kind, then options that contradict each other
// or the output, which are refused rather than one of them silently winning.
QString encodeUsageProblem(const CommandLine& line, const EncodeChoices& choices)
{
    if (const QString problem = passwordSourceProblem(line); !problem.isEmpty())
        return problem;
    if (choices.dither && !choices.reduce)
        return QStringLiteral("--dither needs --reduce: only a reduction to a palette is dithered.");
    if (line.operands.size() != 2 || choices.outPath.isEmpty())
        return QStringLiteral("encode needs a carrier, a payload and -o OUT.");
    if (!isSavableExtension(upperExtension(choices.outPath)))
        return unsavableExtensionMessage(choices.outPath);
    if (choices.stealth && choices.reduce)
        return QStringLiteral("--stealth keeps the picture's own colours; it cannot be used with --reduce.");
    if (choices.stealth && choices.toGif)
        return QStringLiteral("--stealth needs a true-colour result, and GIF files hold a palette: save as .bmp.");
    if (choices.seal && choices.reduce)
        return QStringLiteral("--seal keeps the picture's true colours and cannot be combined with --reduce.");
    if (const QString conflict = adaptiveConflict(choices); !conflict.isEmpty())
        return conflict;
    if (choices.seal && choices.password.source == PasswordSource::Empty)
        return QStringLiteral("--seal needs a password: a seal with the empty password protects nothing.");
    return {};
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

// Why a plan was refused, with the room needed and the room there is.
QString planRefusalText(const EncodePlan& plan)
{
    QString reason = plan.lines.isEmpty() ? QStringLiteral("it cannot be hidden.") : reportCause(plan.lines.last());
    if (plan.streamLength > 0 && plan.availableBits < plan.streamLength * 8)
        reason += QStringLiteral(" It needs %1 bits (its name and date, the file and a checksum); the picture has %2, "
                                 "one for each pixel.")
                      .arg(plan.streamLength * 8)
                      .arg(plan.availableBits);
    return reason;
}

// What an encode works under: a sealed payload's password, or else the
// format's own key. The caller wipes the password when the encode is done.
struct EncodeSecret {
    std::optional<QByteArray> password;
    std::optional<uint64_t> key;
};

// Asked for once every check before it has passed; nothing when the user
// gave none (which has been said).
std::optional<EncodeSecret> askSecret(EncodeChoices& options)
{
    options.password.confirm = true;
    EncodeSecret secret;
    if (options.seal ? !(secret.password = askPassword(options.password)) : !(secret.key = obtainKey(options.password)))
        return std::nullopt;
    return secret;
}

// The encode that keeps the carrier's colours, sealed or under the key,
// stealthy or plain, of a whole picture or of rows.
template <typename Pixels>
bool encodeKeepingColours(Pixels& pixels, const EncodeChoices& options, const EncodeSecret& secret,
                          ReportList& report)
{
    if (options.seal)
        return encodeSealedPayload(pixels, options.payloadPath, *secret.password, &report,
                                   terminalProgressBar("Encoding"), currentDateTimeText(), options.stealth);
    EncodeOptions plain;
    plain.stealth = options.stealth;
    return encodePayloadWith(pixels, options.payloadPath, uint32_t(*secret.key), uint32_t(*secret.key >> 32), plain,
                             terminalProgressBar("Encoding"), &report);
}

// The encode into the reduction palette, under the format's own key.
bool encodeReduced(QImage& picture, const EncodeChoices& options, uint64_t key, ReportList& report)
{
    TPaletteArray palette{};
    int32_t count = 16;
    buildReductionPaletteOfPicture(picture, palette, count);
    out(QStringLiteral("Resulting image will contain %1 colors.").arg(count));
    return EncodePayload(picture, palette, count, terminalProgressBar("Encoding"), &report, uint32_t(key),
                         uint32_t(key >> 32), options.payloadPath, options.dither);
}

// The report of an encode and its exit status: the heading tells whether OUT
// was written; when saving failed, its reason is the last line printed.
int reportEncoding(bool encoded, bool saved, const ReportList& report, const QString& saveError,
                   const QString& payloadPath, const QString& carrierPath)
{
    printOutcome("Encoding", saved, report,
                 encoded ? QString() : QStringLiteral("Cannot hide %1 in %2").arg(payloadPath, carrierPath));
    if (encoded && !saved)
        err(saveError);
    return saved ? kExitSuccess : kExitFailed;
}

// The adaptive encode, after the options: the output and the fit are
// checked before the password is asked for; the result is true colour.
int encodeAdaptively(QImage& picture, const QString& carrierPath, const QString& payloadPath, const QString& outPath,
                     EncodeChoices& options)
{
    if (const Outcome writable = checkWritable(outPath); !writable) {
        err(writable.error());
        return kExitFailed;
    }
    const QString dateTime = currentDateTimeText();
    const EncodePlan fit = planAdaptiveEncodeOfFile(picture, payloadPath, dateTime);
    if (!fit.accepted) {
        err(QStringLiteral("Cannot hide %1 in %2: %3").arg(payloadPath, carrierPath, planRefusalText(fit)));
        return kExitFailed;
    }
    options.password.confirm = true;
    std::optional<QByteArray> password = askPassword(options.password);
    if (!password)
        return kExitFailed;
    ReportList report;
    const bool ok = encodeAdaptivePayload(picture, payloadPath, *password, &report, terminalProgressBar("Encoding"),
                                          dateTime);
    wipeSecret(*password);
    QString saveError;
    const bool saved = ok && saveTrueColour(picture, outPath, saveError);
    return reportEncoding(ok, saved, report, saveError, payloadPath, carrierPath);
}

// Whatever can be known before the password is asked is checked first: the
// payload is not empty (a sealed one never is), the output can be written,
// and the payload fits. False when one fails, which is said.
template <typename Carrier>
bool readyForPassword(const Carrier& picture, const QString& carrierPath, const EncodeChoices& options)
{
    const QString& payloadPath = options.payloadPath;
    if (!options.seal && QFileInfo(payloadPath).isFile() && QFileInfo(payloadPath).size() == 0) {
        err(nothingToHideText(payloadPath));
        return false;
    }
    if (const Outcome writable = checkWritable(options.outPath); !writable) {
        err(writable.error());
        return false;
    }
    const QString dateTime = currentDateTimeText();
    const EncodePlan fit = options.seal ? planSealedEncodeOfFile(picture, payloadPath, dateTime)
                                        : planEncodeOfFile(picture, payloadPath, dateTime);
    if (!fit.accepted) {
        err(QStringLiteral("Cannot hide %1 in %2: %3").arg(payloadPath, carrierPath, planRefusalText(fit)));
        return false;
    }
    return true;
}

// The encode of a carrier read a band at a time (see Banded.h): the same
// checks, report and file as the whole picture's. Nothing, before anything
// is said, when the result may hold few enough colours to be saved with a
// palette, which only the whole picture's path does.
std::optional<int> encodeBanded(BandedPicture& carrier, EncodeChoices& options)
{
    const QString& payloadPath = options.payloadPath;
    const QString& outPath = options.outPath;
    BmpFileRows rows(carrier.file, carrier.layout);
    if (!options.stealth && !staysTrueColour(rows))
        return std::nullopt;
    if (!payloadReadable(payloadPath))
        return kExitFailed;
    if (!readyForPassword(rows, carrier.path, options))
        return kExitFailed;
    std::optional<EncodeSecret> secret = askSecret(options);
    if (!secret)
        return kExitFailed;
    ReportList report;
    bool ok = false;
    auto encode = [&](PixelRows& pixels) { return ok = encodeKeepingColours(pixels, options, *secret, report); };
    QString readError, saveError;
    const bool saved = changeIntoFile(rows, carrier.path, outPath, encode, readError, saveError);
    if (secret->password)
        wipeSecret(*secret->password);
    if (!readError.isEmpty()) {
        err(readError);
        return kExitFailed;
    }
    return reportEncoding(ok, saved, report, saveError, payloadPath, carrier.path);
}

} // namespace

int runEncode(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    EncodeChoices options = encodeChoices(line);
    if (const QString problem = encodeUsageProblem(line, options); !problem.isEmpty())
        return usageError(line, problem);
    const QString carrierPath = options.carrierPath;
    const QString payloadPath = options.payloadPath;
    const QString outPath = options.outPath;
    const bool toGif = options.toGif;

    // A 24-bit BMP result of a 24-bit BMP carrier is made a band at a time.
    if (!options.adaptive && !options.reduce && upperExtension(outPath) == QLatin1String(".BMP"))
        if (std::optional<BandedPicture> banded = openBanded(carrierPath))
            if (const std::optional<int> done = encodeBanded(*banded, options))
                return *done;
    std::optional<QImage> picture = loadCommandPicture(carrierPath);
    if (!picture || !payloadReadable(payloadPath))
        return kExitFailed;
    if (options.adaptive)
        return encodeAdaptively(*picture, carrierPath, payloadPath, outPath, options);
    if (!readyForPassword(*picture, carrierPath, options))
        return kExitFailed;
    // The census is needed only to decide on a reduction; a GIF needs to know,
    // before any work, whether the encoded picture can still fit a palette.
    const ColourFacts facts = options.reduce ? countColours(*picture) : ColourFacts{};
    bool reduce = options.reduce && reductionOffered(facts.total);
    if (!reduce && toGif) {
        const int64_t colours = coloursAfterEncoding(*picture);
        if (colours > 256 && !options.reduce) {
            err(tooManyColoursAfterEncoding(outPath, colours, options.seal));
            return kExitFailed;
        }
        // Few colours, but too many with their twins: the palette asked for is made.
        reduce = colours > 256;
    }
    std::optional<EncodeSecret> secret = askSecret(options);
    if (!secret)
        return kExitFailed;
    ReportList report;
    // A sealed payload is never reduced: a GIF of few colours takes it as it is.
    const bool ok = reduce && !options.seal ? encodeReduced(*picture, options, *secret->key, report)
                                            : encodeKeepingColours(*picture, options, *secret, report);
    if (secret->password)
        wipeSecret(*secret->password);
    // A stealthy picture stays true colour: its values were moved, not
    // reduced, and a palette file is where its colours would stand out.
    QString saveError;
    const bool saved = ok && (options.stealth ? saveTrueColour(*picture, outPath, saveError)
                                              : savePicture(*picture, outPath, saveError));
    return reportEncoding(ok, saved, report, saveError, payloadPath, carrierPath);
}

} // namespace ostrel::cli
