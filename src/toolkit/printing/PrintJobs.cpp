// SPDX-License-Identifier: Apache-2.0
#include "toolkit/printing/PrintJobs.h"

#include "toolkit/printing/PrintQueue.h"

#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace ostrel {

PageTexts standardPageTexts(const QString& title)
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
    Outcome printed;
    painter.SetSkin(request.skin, request.fontSize);
    const PageTexts texts = standardPageTexts(request.title);
    const QDateTime stamp = QDateTime::currentDateTime();
    int sheets = 0;
    if (request.lines.isEmpty()) {
        if (request.picture.isNull())
            return fail(QStringLiteral("Nothing to print."));
        printed = painter.PrintFittedPicture(request.picture, request.copies, texts, stamp);
        sheets = std::max(1, request.copies);
    } else {
        const int pageCount = painter.PageCount(int(request.lines.size()));
        if (request.page > pageCount)
            return fail(QStringLiteral("There is no page %1: the text fills %2 page%3.")
                            .arg(request.page)
                            .arg(pageCount)
                            .arg(pageCount == 1 ? QString() : QStringLiteral("s")));
        const int first = request.page > 0 ? request.page : 1;
        const int last = request.page > 0 ? request.page : pageCount;
        printed = painter.PrintTextPages(request.lines, first, last, request.copies, request.collate,
                                         request.lineNumbers, texts, stamp);
        sheets = (last - first + 1) * std::max(1, request.copies);
    }
    if (!printed)
        return fail(printed.error());
    return QStringLiteral("%1 page%2").arg(sheets).arg(sheets == 1 ? QString() : QStringLiteral("s"));
}

namespace {

using Target = std::function<Outcome(const QString& title, const PrintJob& job)>;

// One request on one target (a PDF file or a queue) that draws the pages on
// the device it is given: the outcome of the drawing, or the target's error.
PrintOutcome printRequestOn(const PrintRequest& request, const QString& targetName, const Target& target,
                            const QString& doneText)
{
    QString pages;
    const Outcome done = target(request.title, [&](QPagedPaintDevice& device) -> Outcome {
        TPrinterPainter painter;
        painter.setTarget(&device, targetName);
        const PrintOutcome printed = printRequestWith(painter, request);
        if (!printed)
            return fail(printed.error());
        pages = printed.value();
        return {};
    });
    if (!done)
        return fail(done.error());
    return doneText.arg(pages, targetName);
}

} // namespace

PrintOutcome printRequestToPdf(const PrintRequest& request, const QString& path, const QPageLayout& layout)
{
    return printRequestOn(
        request, path,
        [&](const QString& title, const PrintJob& job) {
            return printToPdfFile(path, layout, title, kPdfResolution, job);
        },
        QStringLiteral("Printed %1 into %2."));
}

PrintOutcome printRequestOnQueue(const PrintRequest& request, const QString& printerName)
{
    const QString name = printerName.isEmpty() ? defaultPrintQueue() : printerName;
    if (name.isEmpty())
        return fail(QStringLiteral("There is no default printer; name a queue with --printer (see "
                                   "\"ostrel-cli printers\") or print into a PDF file with -o."));
    // The queue's own paper and printable area, where Qt knows them.
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    const QPageLayout layout = info.isNull() ? localePageLayout() : QPrinter(info, QPrinter::HighResolution).pageLayout();
    return printRequestOn(
        request, name,
        [&](const QString& title, const PrintJob& job) {
            return printToQueue(name, layout, title, kPdfResolution, job);
        },
        QStringLiteral("Sent %1 to %2."));
}

} // namespace ostrel
