// SPDX-License-Identifier: Apache-2.0
// The desktop program: data folders first, then the window.
#include "data/TempPathUnit.h"
#include "shell/CommandLine.h"
#include "shell/ShellDialogs.h"
#include "shell/ShellTexts.h"
#include "shell/SteganographyUnit.h"
#include "util/Fonts.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kExitUsage = 2;

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Help and version answer at once, on a terminal without any display.
bool printedHelpOrVersion(const ostrel::ShellStart& start)
{
    using Action = ostrel::ShellStart::Action;
    if (start.action == Action::Help)
        print(stdout, ostrel::shellHelpText());
    else if (start.action == Action::Version)
        print(stdout, ostrel::shellVersionText());
    return start.action == Action::Help || start.action == Action::Version;
}

} // namespace

int main(int argc, char** argv)
{
    if (printedHelpOrVersion(ostrel::parseShellArguments(argumentsOf(argc, argv))))
        return 0;

    QApplication app(argc, argv);
    // What is left once the application has taken its own options.
    const ostrel::ShellStart start = ostrel::parseShellArguments(QCoreApplication::arguments().mid(1));
    if (start.action == ostrel::ShellStart::Action::UsageError) {
        print(stderr, ostrel::shellUsageErrorText(start.problem));
        return kExitUsage;
    }
    QApplication::setApplicationName(ostrel::kApplicationTitle);
    // The installed desktop entry is io.github.ostrel.Ostrel.desktop; the name
    // lets a Wayland compositor match the window to it (and to its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ostrel.Ostrel"));
    ostrel::installFontSubstitutes();
    // Decode reports a missing folder tree itself, so a failure here is not fatal.
    ostrel::CreateDataFolders();

    ostrel::TForm_Main_Steganography window;
    // Without a window manager a maximise request is ignored, so the window
    // takes the screen's free area itself first.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    // Once the window shows, so that a report on the file appears over it.
    if (!start.fileName.isEmpty())
        QTimer::singleShot(0, &window, [&window, fileName = start.fileName] { window.openPictureFile(fileName); });
    return app.exec();
}
