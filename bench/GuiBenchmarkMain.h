// SPDX-License-Identifier: Apache-2.0
#pragma once
// The main function of a benchmark program whose code draws or loads
// pictures, which needs an application object (fonts, painting).
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#define OSTREL_GUI_BENCHMARK_MAIN()                 \
    int main(int argc, char** argv)                 \
    {                                               \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) \
            qputenv("QT_QPA_PLATFORM", "offscreen"); \
        QGuiApplication app(argc, argv);            \
        benchmark::Initialize(&argc, argv);         \
        benchmark::RunSpecifiedBenchmarks();        \
        benchmark::Shutdown();                      \
        return 0;                                   \
    }
