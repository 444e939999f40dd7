// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QImage>
#include <QStringList>

#include <optional>

namespace ostrel::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int runEncode(const QStringList& args);
int runDecode(const QStringList& args);
int runInfo(const QStringList& args);
int runConvert(const QStringList& args);
int runFetch(const QStringList& args);
int runChart(const QStringList& args);
int runSealKey(const QStringList& args);
int runCheck(const QStringList& args);
int printMainHelp(bool toError);

// Loads a picture file by its extension as every command does, telling the
// user on stderr when it cannot.
std::optional<QImage> loadCommandPicture(const QString& path);

// Whether the command line (command first) draws text, on a picture or on
// printed pages, which needs fonts and so a QGuiApplication.
bool commandNeedsFonts(const QStringList& commandLine);

} // namespace ostrel::cli
