// SPDX-License-Identifier: Apache-2.0
#pragma once
// Print queues as the print server sees them. Qt lists queues and lays pages
// out for them but reports nothing about a queue that refuses jobs, is
// stopped, or has gone; the server is asked directly here, and jobs are
// handed to it as PDF documents so that its answer is the job's outcome.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "toolkit/printing/PrinterUnit.h"

#include <QPageLayout>

#include <functional>

class QPagedPaintDevice;

namespace ostrel {

// The server's queues, sorted by name, or the failure "the print server
// cannot be reached: REASON".
Result<QStringList> printQueueNames();

// The server's default queue, empty when there is none.
QString defaultPrintQueue();

// Prints `job` on `queue`: the pages are drawn into a PDF document of the
// queue's page layout, which then goes to the server as one job. A refused
// queue is found before anything is drawn. A failure names the queue and the
// reason.
Outcome printToQueue(const QString& queue, const QPageLayout& layout, const QString& title, int dpi,
                     const PrintJob& job);

} // namespace ostrel
