#include "toolkit/printing/PrintJobs.h"

#include "toolkit/printing/PrintQueue.h"

#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace ostrel {

TPageTexts standardPageTexts(const QString& title)
{
    // A title is printed as it is: an "&" in a file name is no code.
    QString literal = title;
    literal.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return {QString(), literal, QString(), QStringLiteral("&D"), QString(), QStringLiteral("Page &P of &#")};
}

QStringList installedPrinterNames()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    std::sort(names.begin(), names.end());
    return names;
}

PrintOutcome printRequestWith(TPrinterPainter& painter, const PrintRequest& request)
{
    PrintOutcome outcome;
    painter.SetSkin(request.skin, request.fontSize);
    const TPageTexts texts = standardPageTexts(request.title);
    const QDateTime stamp = QDateTime::currentDateTime();
    int sheets = 0;
    if (request.lines.isEmpty()) {
        if (request.picture.isNull()) {
            outcome.error = QStringLiteral("Nothing to print.");
            return outcome;
        }
        outcome.ok = painter.PrintFittedPicture(request.picture, request.copies, texts, stamp);
        sheets = std::max(1, request.copies);
    } else {
        const int pageCount = painter.PageCount(int(request.lines.size()));
        if (request.page > pageCount) {
            outcome.error = QStringLiteral("There is no page %1: the text fills %2 page%3.")
                                .arg(request.page)
                                .arg(pageCount)
                                .arg(pageCount == 1 ? QString() : QStringLiteral("s"));
            return outcome;
        }
        const int first = request.page > 0 ? request.page : 1;
        const int last = request.page > 0 ? request.page : pageCount;
        outcome.ok = painter.PrintTextPages(request.lines, first, last, request.copies, request.collate,
                                            request.lineNumbers, texts, stamp);
        sheets = (last - first + 1) * std::max(1, request.copies);
    }
    if (!outcome.ok)
        outcome.error = painter.lastError();
    else
        outcome.summary = QStringLiteral("%1 page%2").arg(sheets).arg(sheets == 1 ? QString() : QStringLiteral("s"));
    return outcome;
}

PrintOutcome printRequestToPdf(const PrintRequest& request, const QString& path, const QPageLayout& layout)
{
    PrintOutcome outcome;
    QString error;
    const bool written = printToPdfFile(
        path, layout, request.title, kPdfResolution,
        [&](QPagedPaintDevice& device, QString& jobError) {
            TPrinterPainter painter;
            painter.setTarget(&device, path);
            outcome = printRequestWith(painter, request);
            jobError = outcome.error;
            return outcome.ok;
        },
        error);
    outcome.ok = written;
    if (!written)
        outcome.error = error;
    else
        outcome.summary = QStringLiteral("Printed %1 into %2.").arg(outcome.summary, path);
    return outcome;
}

PrintOutcome printRequestOnQueue(const PrintRequest& request, const QString& printerName)
{
    PrintOutcome outcome;
    const QString name = printerName.isEmpty() ? defaultPrintQueue() : printerName;
    if (name.isEmpty()) {
        outcome.error = QStringLiteral("There is no default printer; name a queue with --printer (see "
                                       "\"ostrel-cli printers\") or print into a PDF file with -o.");
        return outcome;
    }
    // The queue's own paper and printable area, where Qt knows them.
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    const QPageLayout layout = info.isNull() ? localePageLayout() : QPrinter(info, QPrinter::HighResolution).pageLayout();
    QString error;
    const bool printed = printToQueue(name, layout, request.title, kPdfResolution,
                                      [&](QPagedPaintDevice& device, QString& jobError) {
                                          TPrinterPainter painter;
                                          painter.setTarget(&device, name);
                                          outcome = printRequestWith(painter, request);
                                          jobError = outcome.error;
                                          return outcome.ok;
                                      },
                                      error);
    outcome.ok = printed;
    if (!printed)
        outcome.error = error;
    else
        outcome.summary = QStringLiteral("Sent %1 to %2.").arg(outcome.summary, name);
    return outcome;
}

} // namespace ostrel
