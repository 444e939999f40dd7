// SPDX-License-Identifier: Apache-2.0
// The print module's one entry: the page painter and the print queues, behind
// the table ostrel-cli loads when it prints.
#include "cli/PrintModule.h"

#include "toolkit/printing/PrintQueue.h"

namespace {

ostrel::PrintOutcome printToPdf(const ostrel::PrintRequest& request, const QString& path)
{
    return ostrel::printRequestToPdf(request, path);
}

const ostrel::cli::PrintModule kModule = {
    ostrel::cli::kPrintModuleVersion,
    printToPdf,
    ostrel::printRequestOnQueue,
    ostrel::printQueueNames,
    ostrel::defaultPrintQueue,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const ostrel::cli::PrintModule* ostrel_print_module()
{
    return &kModule;
}
