// ostrel-cli: hides a file in a picture and gets it back, from a terminal.
#include "cli/Commands.h"
#include "util/Fonts.h"

#include <QGuiApplication>

using namespace ostrel::cli;

int main(int argc, char** argv)
{
    // Text and labelled pictures are drawn with fonts; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ostrel::installFontSubstitutes();

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return printMainHelp(true);
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help"))
        return printMainHelp(false);
    if (command == QLatin1String("encode"))
        return runEncode(args);
    if (command == QLatin1String("decode"))
        return runDecode(args);
    if (command == QLatin1String("info"))
        return runInfo(args);
    if (command == QLatin1String("convert"))
        return runConvert(args);
    if (command == QLatin1String("fetch"))
        return runFetch(args);
    return printMainHelp(true);
}
