// SPDX-License-Identifier: Apache-2.0
#include "cli/Output.h"

#include "util/Text.h"

#include <QStringList>

#include <cstdio>

namespace ostrel::cli {

void out(const QString& line) { std::fputs(visibleControls(line).toUtf8().append('\n').constData(), stdout); }

void err(const QString& line)
{
    // Keeps the order of the two streams when both go to one file or pipe.
    std::fflush(stdout);
    std::fputs(visibleControls(line).toUtf8().append('\n').constData(), stderr);
}

void outLines(const QString& text)
{
    for (const QString& line : text.split(QLatin1Char('\n')))
        out(line);
}

void errLines(const QString& text)
{
    for (const QString& line : text.split(QLatin1Char('\n')))
        err(line);
}

} // namespace ostrel::cli
