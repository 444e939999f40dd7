// SPDX-License-Identifier: Apache-2.0
#include <QGuiApplication>
#include <gtest/gtest.h>

#if __has_include(<QApplication>) && defined(OSTREL_WIDGETS_TESTS)
#include <QApplication>
#endif

// Every test program gets an application object, so fonts and painting on
// pictures work as they do in the programs.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
#if defined(OSTREL_WIDGETS_TESTS)
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
