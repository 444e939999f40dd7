// SPDX-License-Identifier: Apache-2.0
#pragma once
// Runs another program to its end, as a user or a script would, and keeps
// what it printed: the programs under test, and the poppler and CUPS tools
// that read their results back.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ostrel::testing {

struct ProcessRun {
    // The exit status; -1 when the program did not start, died of a signal
    // or was killed at its time-out.
    int exitCode = -1;
    bool timedOut = false;
    // The standard output as bytes, for programs that print pictures.
    QByteArray output;
    QString out;
    QString err;
};

struct ProcessOptions {
    // Written to the standard input, which is closed either way, so a program
    // that reads it never waits for a user.
    QByteArray input{};
    std::vector<std::pair<QString, QString>> setEnvironment{};
    QStringList unsetEnvironment{};
    // The error lines go into `out`, in the order they were printed.
    bool mergedChannels = false;
    // A program still running then is killed, so a hung one cannot hang the test.
    int timeoutMs = 120000;
};

inline ProcessRun runProcess(const QString& program, const QStringList& arguments, const ProcessOptions& options = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : options.unsetEnvironment)
        environment.remove(name);
    for (const auto& [name, value] : options.setEnvironment)
        environment.insert(name, value);
    process.setProcessEnvironment(environment);
    if (options.mergedChannels)
        process.setProcessChannelMode(QProcess::MergedChannels);
    ProcessRun run;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        run.err = process.errorString();
        return run;
    }
    if (!options.input.isEmpty())
        process.write(options.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(options.timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.timedOut = true;
    }
    if (!run.timedOut && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.output);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The text of page `page` of a PDF file (counted from 1), or of the whole
// file when `page` is 0, laid out as printed; pages end in form feeds.
inline QString pdfText(const QString& pdf, int page = 0)
{
    QStringList arguments{QStringLiteral("-layout")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    arguments << pdf << QStringLiteral("-");
    const ProcessRun run = runProcess(QStringLiteral("pdftotext"), arguments, {.timeoutMs = 60000});
    if (run.exitCode != 0)
        ADD_FAILURE() << "pdftotext (poppler-utils) is needed to read " << pdf.toStdString() << " back: "
                      << run.err.toStdString();
    return run.out;
}

} // namespace ostrel::testing
