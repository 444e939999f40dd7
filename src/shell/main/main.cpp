// The desktop program: data folders first, then the window.
#include "data/TempPathUnit.h"
#include "shell/ShellDialogs.h"
#include "shell/ShellTexts.h"
#include "shell/SteganographyUnit.h"
#include "util/Fonts.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ostrel::kApplicationTitle);
    QGuiApplication::setDesktopFileName(QStringLiteral("ostrel"));
    ostrel::installFontSubstitutes();
    // Decode reports a missing folder tree itself, so a failure here is not fatal.
    ostrel::CreateDataFolders();

    ostrel::TForm_Main_Steganography window;
    // Without a window manager a maximise request is ignored, so the window
    // takes the screen's free area itself first.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
