// SPDX-License-Identifier: Apache-2.0
#pragma once
// What several commands share: loading and saving pictures as the commands
// do, the password options, progress on the terminal, and the report of an
// encode or decode.
#include "cli/CommandLine.h"
#include "cli/Password.h"
#include "cli/Progress.h"
#include "colour/PaletteTypes.h"
#include "util/StandardUnit.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace ostrel::cli {

// The password as the command line asks for it.
PasswordRequest passwordRequest(const CommandLine& line);

// The usage error when more than one password source was given, else empty.
QString passwordSourceProblem(const CommandLine& line);

// A report line as the cause of a failure: without the report's "ERROR: ".
QString reportCause(QString line);


// Loads a picture file by its extension as every command does, only when its
// reader read all of it, telling the user on stderr when it cannot.
std::optional<QImage> loadCommandPicture(const QString& path);

// A payload that is a folder or a pipe is named as such before any work.
bool payloadReadable(const QString& path);

bool isSavableExtension(const QString& extension);
QString unsavableExtensionMessage(const QString& fileName);

// Saves by extension with the picture's own palette when it has at most 256
// colours; `error` says why it could not.
bool savePicture(const QImage& picture, const QString& fileName, QString& error);

// Saves as a true-colour BMP, or PNG by extension.
bool saveTrueColour(const QImage& picture, const QString& fileName, QString& error);

// Asks for the password; says on stderr why there is none.
std::optional<QByteArray> askPassword(const PasswordRequest& request);

// The format's key made from the password, when it can hide data.
std::optional<uint64_t> obtainKey(const PasswordRequest& request);

// The report goes to standard output; a failure is also said on standard
// error, with its cause (the report's last line), so that a script that keeps
// only the errors still learns why.
void printOutcome(const char* heading, bool ok, const ReportList& report, const QString& failure = {});

// Each command of the table decides whether it needs fonts with one of these.
bool neverNeedsFonts(const CommandLine& line);
bool alwaysNeedsFonts(const CommandLine& line);
// Whether the first operand, or any operand, is a file whose reader draws text.
bool firstPictureDrawsText(const CommandLine& line);
bool anyPictureDrawsText(const CommandLine& line);

} // namespace ostrel::cli
