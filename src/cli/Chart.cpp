// SPDX-License-Identifier: Apache-2.0
// ostrel-cli chart: the analysis window's chart of a picture's colours, saved.
#include "cli/CommandSupport.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/OptionValues.h"
#include "cli/Output.h"
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"
#include "imageio/GraphicsIOUnit.h"
#include "util/Picture.h"

#include <QSize>

namespace ostrel::cli {

int runChart(const CommandLine& line)
{
    if (const std::optional<int> done = helpOrUsageError(line))
        return *done;
    const QString picturePath = line.operands.isEmpty() ? QString() : line.operands[0];
    const QString output = line.value("--output");
    if (picturePath.isEmpty() || output.isEmpty())
        return usageError(line, QStringLiteral("chart needs a picture and -o OUT."));
    if (!isSavableExtension(upperExtension(output)))
        return usageError(line, unsavableExtensionMessage(output));
    const QSize size = parseChartSize(line.value("--size")).value_or(QSize(800, 600));

    std::optional<QImage> picture = loadCommandPicture(picturePath);
    if (!picture)
        return kExitFailed;
    TZQXTColorSplayTree tree;
    CountColorsQuiet(*picture, &tree);
    picture.reset();
    ChartChoice choice;
    choice.reverse = line.has("--reverse");
    if (line.has("--kind"))
        choice.chart = AnalysisChart(chartKindIndex(line.value("--kind")));
    choice.dots = line.has("--dots") ? DotStyle(chartDotsIndex(line.value("--dots"))) : firstAnalysisDots(tree.Count());
    QImage chart = allocatePicture(size.width(), size.height());
    if (chart.isNull()) {
        err(QStringLiteral("Not enough memory for a chart of %1x%2.").arg(size.width()).arg(size.height()));
        return kExitFailed;
    }
    drawAnalysisChart(chart, tree, choice);
    QString error;
    if (savePicture(chart, output, error))
        return kExitSuccess;
    err(error);
    return kExitFailed;
}

} // namespace ostrel::cli
