// SPDX-License-Identifier: Apache-2.0
#pragma once
// Whole print jobs, from a text or a picture to a queue or a PDF file, for
// the print dialog and the command line alike.
#include "toolkit/printing/PrinterUnit.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace ostrel {

// The header and footer every print of a text or picture starts with: the
// title centred on top, the date bottom left, "Page N of M" bottom right.
PageTexts standardPageTexts(const QString& title);

// The installed print queues, sorted by name.
QStringList installedPrinterNames();

// What to print: lines of text, or else a picture fitted on one page.
struct PrintRequest {
    QString title;
    QStringList lines;
    QImage picture;
    int skin = 1;
    int fontSize = 12;
    int copies = 1;
    bool collate = true;
    bool lineNumbers = false;
    int page = 0; // one page of a text; 0 prints them all
};

// A print job's result: what was printed where, for a terminal ("Printed 2
// pages into out.pdf."), or the failure naming the printer or file and the
// reason.
using PrintOutcome = Result<QString>;

// The request's pages on whatever the painter prints on; its skin and
// metrics are taken from the request and the target. The value says how
// many pages ("2 pages").
PrintOutcome printRequestWith(TPrinterPainter& painter, const PrintRequest& request);

// Into a PDF file, replaced only when the whole job succeeded.
PrintOutcome printRequestToPdf(const PrintRequest& request, const QString& path,
                               const QPageLayout& layout = localePageLayout());

// On the named queue, or on the default one when the name is empty.
PrintOutcome printRequestOnQueue(const PrintRequest& request, const QString& printerName);

} // namespace ostrel
