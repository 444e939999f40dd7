// SPDX-License-Identifier: Apache-2.0
#pragma once
// The print support of ostrel-cli, in a module of its own: Qt's print
// support, the page painter and the print server's library are loaded only
// by the commands that print, so that every other command starts without
// them. The module exports one function, kPrintModuleEntry, that gives this
// table of its functions.
#include "toolkit/printing/PrintJobs.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ostrel::cli {

// Raised whenever the table changes, so that a module of another build is
// refused rather than called wrongly.
inline constexpr int kPrintModuleVersion = 2;

struct PrintModule {
    int version;
    PrintOutcome (*printToPdf)(const PrintRequest& request, const QString& path);
    PrintOutcome (*printOnQueue)(const PrintRequest& request, const QString& printerName);
    Result<QStringList> (*queueNames)();
    QString (*defaultQueue)();
};

inline constexpr const char* kPrintModuleEntry = "ostrel_print_module";
using PrintModuleEntry = const PrintModule* (*)();

// The module, loaded on first use from its place beside the program (see
// OSTREL_PRINT_MODULE_PATH); nothing, with `error` naming the file and the
// reason, when it cannot be loaded.
const PrintModule* loadPrintModule(QString& error);

} // namespace ostrel::cli
