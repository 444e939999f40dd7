// SPDX-License-Identifier: Apache-2.0
#pragma once
// The commands' run functions, one file each; CommandTable.cpp lists them
// with their usage, description and options.
#include "cli/CommandLine.h"

namespace ostrel::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int runEncode(const CommandLine& line);
int runDecode(const CommandLine& line);
int runInfo(const CommandLine& line);
int runConvert(const CommandLine& line);
int runFetch(const CommandLine& line);
int runChart(const CommandLine& line);
int runSealKey(const CommandLine& line);
int runCheck(const CommandLine& line);
int runPrint(const CommandLine& line);
int runPrinters(const CommandLine& line);

} // namespace ostrel::cli
