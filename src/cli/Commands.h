#pragma once
#include <QStringList>

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

// Whether the command line (command first) loads a picture that is drawn as
// text, which needs fonts and so a QGuiApplication.
bool commandNeedsFonts(const QStringList& commandLine);

} // namespace ostrel::cli
