// SPDX-License-Identifier: Apache-2.0
// The print window's preview of a 12-megapixel picture, refreshed as the
// user changes options (the picture is scaled to the preview once, not on
// every refresh), a text page's preview, and whole prints into PDF files.
//
// Printing the same picture with ostrel-cli print against another tool's
// PDF conversion is timed on whole programs, on the photo that
// bench_colour --write-photo=FILE.bmp writes.
#include "GradientPhoto.h"
#include "GuiBenchmarkMain.h"
#include "toolkit/printing/PrintJobs.h"
#include "toolkit/printing/PrinterUnit.h"
#include "util/Picture.h"

#include <QTemporaryDir>

using namespace ostrel;

namespace {

// The preview area of the print window at zoom 100.
const QSize kPreviewArea(302, 290);

const QImage& photo()
{
    return ostrel::bench::gradientPhoto();
}

// Letter paper on a 600-dpi printer with a quarter-inch unprintable edge.
PrinterMetrics letter600()
{
    PrinterMetrics m;
    m.valid = true;
    m.dpiX = m.dpiY = 600;
    m.physicalWidth = 5100;
    m.physicalHeight = 6600;
    m.offsetX = m.offsetY = 150;
    m.printableWidth = 4800;
    m.printableHeight = 6300;
    return m;
}

void BM_PreviewRefreshPicture12MP(benchmark::State& state)
{
    TPrinterPainter painter;
    painter.setFixedMetrics(letter600());
    painter.SetSkin(4, 12);
    const PageTexts texts = standardPageTexts(QStringLiteral("photo.bmp"));
    QImage preview;
    // The first preview scales the picture; refreshes after it reuse that.
    painter.PreviewFittedPicture(preview, kPreviewArea, texts, QDateTime::currentDateTime(), photo());
    for (auto _ : state) {
        painter.PreviewFittedPicture(preview, kPreviewArea, texts, QDateTime::currentDateTime(), photo());
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_PreviewRefreshPicture12MP)->Unit(benchmark::kMillisecond);

// The first preview of a new picture, scaling included.
void BM_PreviewFirstPicture12MP(benchmark::State& state)
{
    const PageTexts texts = standardPageTexts(QStringLiteral("photo.bmp"));
    QImage preview;
    for (auto _ : state) {
        TPrinterPainter painter;
        painter.setFixedMetrics(letter600());
        painter.PreviewFittedPicture(preview, kPreviewArea, texts, QDateTime::currentDateTime(), photo());
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_PreviewFirstPicture12MP)->Unit(benchmark::kMillisecond);

void BM_PreviewTextPage(benchmark::State& state)
{
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("%1\tThe quick brown fox jumps over the lazy dog, again and again.").arg(i);
    TPrinterPainter painter;
    painter.setFixedMetrics(letter600());
    const PageTexts texts = standardPageTexts(QStringLiteral("notes.txt"));
    QImage preview;
    for (auto _ : state) {
        painter.PreviewTextPage(preview, kPreviewArea, 2, true, texts, QDateTime::currentDateTime(), lines);
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_PreviewTextPage)->Unit(benchmark::kMillisecond);

void BM_PrintPicture12MPToPdf(benchmark::State& state)
{
    QTemporaryDir scratch;
    PrintRequest request;
    request.title = QStringLiteral("photo.bmp");
    request.picture = photo();
    const QString path = scratch.filePath(QStringLiteral("photo.pdf"));
    for (auto _ : state) {
        const PrintOutcome outcome = printRequestToPdf(request, path);
        if (!outcome)
            state.SkipWithError(outcome.error().toStdString().c_str());
    }
}
BENCHMARK(BM_PrintPicture12MPToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

// A preview whose header is a 20,000-character text: only what can fit is
// ever laid out, so it costs about what a short header does.
void BM_PreviewTextPageLongHeader(benchmark::State& state)
{
    const QStringList lines = {QStringLiteral("one line")};
    TPrinterPainter painter;
    painter.setFixedMetrics(letter600());
    const QString header = state.range(0) ? QString(20000, QLatin1Char('W')) : QStringLiteral("notes.txt");
    const PageTexts texts = standardPageTexts(header);
    QImage preview;
    for (auto _ : state) {
        painter.PreviewTextPage(preview, kPreviewArea, 1, false, texts, QDateTime::currentDateTime(), lines);
        benchmark::DoNotOptimize(preview.constBits());
    }
}
BENCHMARK(BM_PreviewTextPageLongHeader)->Arg(0)->Arg(1)->ArgNames({"long"})->Unit(benchmark::kMillisecond);

} // namespace

OSTREL_GUI_BENCHMARK_MAIN()
