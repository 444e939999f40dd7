// SPDX-License-Identifier: Apache-2.0
// ostrel-cli: hides a file in a picture and gets it back, from a terminal.
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "util/Fonts.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

using namespace ostrel::cli;

namespace {

QStringList commandLineOf(int argc, char** argv)
{
    QStringList commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine.append(QString::fromLocal8Bit(argv[i]));
    return commandLine;
}

// The command line speaks for itself on standard error; what Qt says about
// its own set-up ("XDG_RUNTIME_DIR not set", font and platform notes) means
// nothing to a user of a command and is dropped. A fatal message still ends
// the program, with its text.
void dropToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        std::abort();
    }
}

// Only pictures drawn as text need fonts. The graphical application's
// platform and font set-up would otherwise take longer than encoding a large
// BMP, so every other command runs on the plain core application.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv, bool needsFonts)
{
    if (!needsFonts)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    ostrel::installFontSubstitutes();
    return app;
}

// A name whose bytes are not valid text would be read, and worse written,
// under another name (an invalid byte becomes U+FFFD): such arguments are
// refused before anything is done.
int refuseUndecodableArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QFile::encodeName(QFile::decodeName(raw)) == raw)
            continue;
        QString shown;
        for (char byte : raw)
            shown += uint8_t(byte) < 0x80 ? QString(QLatin1Char(byte))
                                          : QStringLiteral("\\x%1").arg(int(uint8_t(byte)), 2, 16, QLatin1Char('0'));
        err(QStringLiteral("Cannot use the argument %1: it is not valid UTF-8, so a file of that name could not be "
                           "read or written under its own name. Rename the file, or give a name in UTF-8.")
                .arg(shown));
        return kExitUsage;
    }
    return -1;
}

int unknownCommand(const QString& command)
{
    const bool looksLikeOption = command.startsWith(QLatin1Char('-')) && command.size() > 1;
    err(looksLikeOption ? QStringLiteral("Unknown option '%1'.").arg(command)
                        : QStringLiteral("Unknown command '%1'.").arg(command));
    err(QStringLiteral("Usage: ostrel-cli COMMAND [OPTION]... [ARGUMENT]...; ostrel-cli --help lists the commands."));
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int refused = refuseUndecodableArguments(argc, argv); refused >= 0)
        return refused;
    // Read before the application exists: the graphical one takes options
    // such as -reverse out of the command line.
    QStringList args = commandLineOf(argc, argv);
    qInstallMessageHandler(dropToolkitMessages);
    // The command's arguments are read once, before the application is
    // made: whether it needs fonts depends on them.
    const Command* command = args.isEmpty() ? nullptr : findCommand(args.first());
    std::optional<CommandLine> line;
    if (command)
        line = readCommandLine(*command, args.mid(1), valuedOptions());
    const bool needsFonts = line && line->error.isEmpty() && !line->help && command->needsFonts(*line);
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv, needsFonts);

    if (line)
        return command->run(*line);
    if (args.isEmpty())
        return printMainHelp(true);
    const QString name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return printMainHelp(false);
    if (name == QLatin1String("--version")) {
        out(QStringLiteral("ostrel-cli %1").arg(QLatin1String(OSTREL_VERSION)));
        return kExitSuccess;
    }
    return unknownCommand(name);
}
