// SPDX-License-Identifier: Apache-2.0
#include "toolkit/printing/PrintQueue.h"

#include "toolkit/printing/PrinterUnit.h"

#include <cups/cups.h>

#include <algorithm>
#include <memory>

namespace ostrel {

namespace {

QString lastServerReason()
{
    return QString::fromUtf8(cupsLastErrorString());
}

// Errors that mean no server answered at all, as opposed to an answer that
// there is nothing to list.
bool serverUnreachable()
{
    const ipp_status_t status = cupsLastError();
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_INTERNAL
        || status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

QString unreachable()
{
    return QStringLiteral("the print server cannot be reached: %1").arg(lastServerReason());
}

struct DestsDeleter {
    int count = 0;
    void operator()(cups_dest_t* dests) const { cupsFreeDests(count, dests); }
};

struct IppDeleter {
    void operator()(ipp_t* message) const { ippDelete(message); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDeleter>;

QString textAttribute(ipp_t* response, const char* name)
{
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    if (!attribute)
        return {};
    QStringList values;
    for (int i = 0; i < ippGetCount(attribute); ++i)
        if (const char* value = ippGetString(attribute, i, nullptr))
            values << QString::fromUtf8(value).trimmed();
    return values.join(QStringLiteral(", "));
}

// What the server says of a queue's state, for the user: its message, else
// its reasons other than "none".
QString stateReason(ipp_t* response)
{
    QString reason = textAttribute(response, "printer-state-message");
    if (reason.isEmpty()) {
        reason = textAttribute(response, "printer-state-reasons");
        if (reason == QLatin1String("none"))
            reason.clear();
    }
    return reason.isEmpty() ? QStringLiteral("no reason given") : reason;
}

} // namespace

Result<QStringList> printQueueNames()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::unique_ptr<cups_dest_t, DestsDeleter> owned(dests, DestsDeleter{count});
    if (count == 0 && serverUnreachable())
        return fail(unreachable());
    QStringList names;
    for (int i = 0; i < count; ++i)
        if (!dests[i].instance)
            names << QString::fromUtf8(dests[i].name);
    std::sort(names.begin(), names.end());
    names.removeDuplicates();
    return names;
}

QString defaultPrintQueue()
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return {};
    const QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

namespace {

// Why `queue` cannot take a job now, or empty when it can.
QString printQueueRefusal(const QString& queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.toUtf8().constData());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state", "printer-state-message", "printer-state-reasons",
                                         "printer-is-accepting-jobs"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
                  nullptr, wanted);
    const IppMessage response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/")); // takes the request
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
            return QStringLiteral("there is no such queue");
        return serverUnreachable() || !response ? unreachable() : lastServerReason();
    }
    ipp_attribute_t* accepting = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (accepting && !ippGetBoolean(accepting, 0))
        return QStringLiteral("the queue is not accepting jobs (%1)").arg(stateReason(response.get()));
    ipp_attribute_t* state = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
    if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED)
        return QStringLiteral("the queue is stopped (%1)").arg(stateReason(response.get()));
    return {};
}

Failure cannotPrintOn(const QString& queue, const QString& reason)
{
    return fail(QStringLiteral("Cannot print on %1: %2.").arg(queue, reason));
}

// Whether `queue` can take a job now; a refusal says "Cannot print on
// QUEUE: REASON." ("the queue is not accepting jobs (REASON)", "the queue is
// stopped (REASON)", "there is no such queue", "the print server cannot be
// reached: REASON").
Outcome checkPrintQueue(const QString& queue)
{
    if (const QString refusal = printQueueRefusal(queue); !refusal.isEmpty())
        return cannotPrintOn(queue, refusal);
    return {};
}

// Hands a PDF document to `queue`, already checked, as one job named
// `title`. A failure names the queue and the server's reason.
Outcome submitPdfToQueue(const QByteArray& pdf, const QString& queue, const QString& title)
{
    auto refused = [&](const QString& reason) -> Outcome { return cannotPrintOn(queue, reason); };
    const QByteArray name = queue.toUtf8();
    const QByteArray jobTitle = (title.isEmpty() ? QStringLiteral("Ostrel") : title).toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle.constData(), 0, nullptr);
    if (job == 0)
        return refused(lastServerReason());
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, jobTitle.constData(), CUPS_FORMAT_PDF, 1)
        != HTTP_STATUS_CONTINUE) {
        const QString reason = lastServerReason();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return refused(reason);
    }
    if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData(), size_t(pdf.size())) != HTTP_STATUS_CONTINUE) {
        cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData());
        const QString reason = lastServerReason();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
        return refused(reason);
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) != IPP_STATUS_OK)
        return refused(lastServerReason());
    return {};
}

} // namespace

Outcome printToQueue(const QString& queue, const QPageLayout& layout, const QString& title, int dpi,
                     const PrintJob& job)
{
    if (Outcome accepting = checkPrintQueue(queue); !accepting)
        return accepting;
    const Result<QByteArray> document = renderPdf(layout, title, dpi, job);
    if (!document)
        return fail(document.error().isEmpty() ? QStringLiteral("Cannot print on %1.").arg(queue)
                                                : document.error());
    return submitPdfToQueue(*document, queue, title);
}

} // namespace ostrel
