// SPDX-License-Identifier: Apache-2.0
#include "engine/Decoder.h"

#include "data/TempPathUnit.h"
#include "engine/AdaptiveMode.h"
#include "engine/HiddenStream.h"
#include "engine/RunReport.h"
#include "engine/Seal.h"
#include "engine/SealedPayload.h"
#include "engine/TRandom.h"
#include "util/FileIO.h"
#include "util/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace ostrel {

namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The report lines of what was found; true when the payload is intact and
// goes to `outputPath`, which is named as soon as the stored name is known.
bool reportFound(const HiddenPayload& found, const QString& folder, QString& outputPath, ReportList* report)
{
    using Outcome = HiddenPayload::Outcome;
    if (found.outcome == Outcome::NoData) {
        AddReportLine(report, QStringLiteral("Image does NOT appear to contain encoded data."));
        return false;
    }
    const QString storedName = fromStoredBytes(found.name);
    AddReportLine(report, QStringLiteral("Image appears to contain encoded data."));
    AddReportLine(report, QStringLiteral("Filename: ") + escapedName(storedName));
    AddReportLine(report, QStringLiteral("Date/Time: ") + escapedName(fromStoredBytes(found.dateTime)));
    AddReportLine(report, QStringLiteral("File Size: ") + QString::number(found.payloadSize));
    outputPath = folder + usableStoredName(storedName);
    AddReportLine(report, QStringLiteral("Saving To: ") + outputPath);
    switch (found.outcome) {
    case Outcome::SizeTooLarge:
        AddReportLine(report, QStringLiteral("ERROR: Payload Size larger than File Size."));
        return false;
    case Outcome::SizeNotPositive:
        AddReportLine(report, QStringLiteral("ERROR: Payload Size less than or equal to zero."));
        return false;
    case Outcome::ChecksumFailed:
        AddReportLine(report, QStringLiteral("ERROR: Check Sum Failed"));
        return false;
    case Outcome::NoData:
    case Outcome::Intact:
        break;
    }
    AddReportLine(report, QStringLiteral("Check Sum is OK"));
    return true;
}

// The checks before any reading, and the picture's size line; false (with a
// line) when the decode cannot go on.
template <typename Carrier>
bool readyToRead(Carrier& picture, const QString& folder, bool folderReady, ReportList* report)
{
    if (carrierMissing(picture)) {
        AddReportLine(report, QStringLiteral("Bitmap Not Assigned"));
        return false;
    }
    if (!folderReady) {
        AddReportLine(report, QStringLiteral("Cannot create path: ") + folder);
        return false;
    }
    if (!inWorkingFormat(picture, report))
        return false;
    AddReportLine(report, imageSizeLine(picture));
    return true;
}

// Reports what was found and, when it is intact, writes it.
bool saveFound(const HiddenPayload& found, const QString& folder, QString& outputPath, ReportList* report,
               ExistingFile existing, const QString& lineBeforeSaving = {})
{
    if (!reportFound(found, folder, outputPath, report))
        return false;
    if (!lineBeforeSaving.isEmpty())
        AddReportLine(report, lineBeforeSaving);
    // The name comes from the picture, so it may well be that of a file the
    // user keeps there; anything at all under that name (a link too) stays.
    if (struct stat there {}; existing == ExistingFile::Keep
        && ::lstat(QFile::encodeName(outputPath).constData(), &there) == 0) {
        AddReportLine(report, existingFileKeptLine(outputPath));
        return false;
    }
    // The folder is made only now, so a wrong password leaves nothing behind.
    if (const Outcome made = makeFolders(folder, 0777); !made) {
        AddReportLine(report, QStringLiteral("ERROR: ") + made.error());
        return false;
    }
    // A link in the way is replaced itself, never written through: private
    // writes do not follow links.
    if (const Outcome written = writeFileAtomically(outputPath, found.payload, FileAccess::Private); !written) {
        AddReportLine(report, QStringLiteral("ERROR: ") + written.error());
        return false;
    }
    return true;
}

bool decodeInto(QImage& picture, const QString& folder, bool folderReady, QString& outputPath, ReportList* report,
                uint32_t keyLow, uint32_t keyHigh, ExistingFile existing)
{
    if (!readyToRead(picture, folder, folderReady, report))
        return false;
    return saveFound(readHiddenStream(picture, keyLow, keyHigh), folder, outputPath, report, existing);
}

// The last reading a password gets: an adaptively hidden file. Nothing
// found there is reported as the sealed reading found nothing.
template <typename Carrier>
bool readAdaptively(Carrier& picture, const QString& folder, QString& outputPath, ReportList* report,
                    const QByteArray& password, ExistingFile existing, const HiddenPayload& nothing)
{
    const AdaptiveReading adaptive = readAdaptiveStream(picture, password);
    switch (adaptive.outcome) {
    case AdaptiveReading::Outcome::NoData:
        return saveFound(nothing, folder, outputPath, report, existing);
    case AdaptiveReading::Outcome::DerivationFailed:
        AddReportLine(report, QStringLiteral("ERROR: ") + sealDerivationFailedText());
        return false;
    case AdaptiveReading::Outcome::Damaged:
        AddReportLine(report, QStringLiteral("Image appears to contain encoded data."));
        AddReportLine(report, sealProblemLine(SealOpenStatus::Malformed));
        return false;
    case AdaptiveReading::Outcome::Opened:
        break;
    }
    return saveFound(adaptive.opened, folder, outputPath, report, existing,
                     QStringLiteral("The file was hidden adaptively with this password, and its seal is intact."));
}

template <typename Carrier>
bool decodeWithPassword(Carrier& picture, const QString& folder, bool folderReady, QString& outputPath,
                        ReportList* report, const QByteArray& password, ExistingFile existing)
{
    if (!readyToRead(picture, folder, folderReady, report))
        return false;
    const uint64_t key = HashPassword(password);
    if (keyCanProduceBits(key)) {
        const HiddenPayload found = readHiddenStream(picture, uint32_t(key), uint32_t(key >> 32));
        if (found.outcome != HiddenPayload::Outcome::NoData) {
            const bool container = found.outcome == HiddenPayload::Outcome::Intact && looksSealed(found.payload);
            return saveFound(found, folder, outputPath, report, existing,
                             container ? QStringLiteral("The file is sealed: decode with the picture's own "
                                                        "password to open it.")
                                       : QString());
        }
    }
    const SealedReading sealed = readSealedStream(picture, password);
    if (sealed.outcome == SealedReading::Outcome::NoData)
        return readAdaptively(picture, folder, outputPath, report, password, existing, sealed.stream);
    switch (sealed.outcome) {
    case SealedReading::Outcome::NoData:
    case SealedReading::Outcome::StreamBroken:
        return saveFound(sealed.stream, folder, outputPath, report, existing);
    case SealedReading::Outcome::DerivationFailed:
        AddReportLine(report, QStringLiteral("ERROR: ") + sealDerivationFailedText());
        return false;
    case SealedReading::Outcome::SealBroken:
        AddReportLine(report, QStringLiteral("Image appears to contain encoded data."));
        AddReportLine(report, sealProblemLine(sealed.sealStatus));
        return false;
    case SealedReading::Outcome::Opened:
        break;
    }
    return saveFound(sealed.opened, folder, outputPath, report, existing,
                     QStringLiteral("The seal is intact: the file was sealed with this password."));
}

// The one key that yields no keystream is refused before anything else happens.
bool refuseUnusableKey(uint32_t keyLow, uint32_t keyHigh, QString& outputPath, ReportList* report)
{
    outputPath.clear();
    if (keyHalvesUsable(keyLow, keyHigh))
        return false;
    AddReportLine(report, unusableKeyLine());
    return true;
}

} // namespace

QString usableStoredName(const QString& storedName)
{
    const qsizetype cut = std::max(storedName.lastIndexOf(QLatin1Char('/')), storedName.lastIndexOf(QLatin1Char('\\')));
    QString name = storedName.mid(cut + 1);
    // A NUL would end the name early on disk (so "evil\0.txt" would replace
    // "evil"), controls and bidirectional marks would make it print as
    // another name.
    for (QChar& ch : name)
        if (ch.unicode() == 0 || isHiddenControl(ch.unicode()))
            ch = QLatin1Char('_');
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString::fromLatin1(kUnnamedPayload);
    return name;
}

namespace {

// Where a decode writes, and whether that folder can take the file.
struct Destination {
    QString folder;
    bool ready = false;
};

// The decode folder of the data folder tree, checked again before anything
// goes into it: a tree that is no longer private to the user receives nothing.
std::optional<Destination> dataFolderDestination(ReportList* report)
{
    if (const Outcome mine = DataFoldersReady() ? dataFoldersStillPrivate() : Outcome(); !mine) {
        AddReportLine(report, QStringLiteral("ERROR: ") + mine.error());
        return std::nullopt;
    }
    return Destination{decodeFolder(), dataFolderCanStore(DataFolder::Decode)};
}

// A folder of the caller's choosing, created when missing once there is a
// file to write into it.
Destination chosenDestination(const QString& folder)
{
    const QFileInfo info(folder);
    return {withSlash(folder), !folder.isEmpty() && (!info.exists() || info.isDir())};
}

} // namespace

bool DecodePayload(QImage& picture, QString& outputPath, ReportList* report, uint32_t keyLow, uint32_t keyHigh)
{
    if (refuseUnusableKey(keyLow, keyHigh, outputPath, report))
        return false;
    const std::optional<Destination> destination = dataFolderDestination(report);
    return destination
        && decodeInto(picture, destination->folder, destination->ready, outputPath, report, keyLow, keyHigh,
                      ExistingFile::Replace);
}

namespace {

template <typename Carrier>
bool decodeWithPasswordInto(Carrier& picture, const QString& folder, QString& outputPath, ReportList* report,
                            const QByteArray& password, ExistingFile existing)
{
    outputPath.clear();
    const std::optional<Destination> destination =
        folder.isEmpty() ? dataFolderDestination(report) : chosenDestination(folder);
    return destination
        && decodeWithPassword(picture, destination->folder, destination->ready, outputPath, report, password,
                              folder.isEmpty() ? ExistingFile::Replace : existing);
}

} // namespace

bool decodePayloadWithPassword(QImage& picture, const QString& folder, QString& outputPath, ReportList* report,
                               const QByteArray& password, ExistingFile existing)
{
    return decodeWithPasswordInto(picture, folder, outputPath, report, password, existing);
}

bool decodePayloadWithPassword(PixelRows& rows, const QString& folder, QString& outputPath, ReportList* report,
                               const QByteArray& password, ExistingFile existing)
{
    return decodeWithPasswordInto(rows, folder, outputPath, report, password, existing);
}

bool decodePayloadInto(QImage& picture, const QString& folder, QString& outputPath, ReportList* report,
                       uint32_t keyLow, uint32_t keyHigh, ExistingFile existing)
{
    if (refuseUnusableKey(keyLow, keyHigh, outputPath, report))
        return false;
    const Destination destination = chosenDestination(folder);
    return decodeInto(picture, destination.folder, destination.ready, outputPath, report, keyLow, keyHigh, existing);
}

QString existingFileKeptLine(const QString& path)
{
    return QStringLiteral("ERROR: %1 already exists; it was kept as it is.").arg(path);
}

} // namespace ostrel
