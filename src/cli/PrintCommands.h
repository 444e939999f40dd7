// SPDX-License-Identifier: Apache-2.0
#pragma once
// Printing from the terminal, through the same page painter as the print
// dialog, on a print queue or into a PDF file.
#include <QStringList>

namespace ostrel::cli {

int runPrint(const QStringList& args);
int runPrinters(const QStringList& args);

} // namespace ostrel::cli
