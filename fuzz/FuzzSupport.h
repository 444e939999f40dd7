// SPDX-License-Identifier: Apache-2.0
#pragma once
// Shared by the fuzz targets: an application object for font rendering and a
// low pixel limit for their loads, so that a fuzzer explores formats rather
// than memory.
#include "util/Picture.h"

#include <QGuiApplication>

namespace ostrel {

constexpr int64_t kFuzzPixelLimit = int64_t(1) << 24;

inline void prepareFuzzing()
{
    static bool ready = false;
    if (ready)
        return;
    ready = true;
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzzer";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

} // namespace ostrel
