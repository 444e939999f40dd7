// SPDX-License-Identifier: Apache-2.0
#include "cli/PrintModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>

namespace ostrel::cli {

namespace {

// The module's place relative to the program, the same in the build folder
// and wherever the program is installed.
QString printModulePath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(OSTREL_PRINT_MODULE_PATH));
}

} // namespace

const PrintModule* loadPrintModule(QString& error)
{
    static const PrintModule* loaded = nullptr;
    if (loaded)
        return loaded;
    const QString path = printModulePath();
    // Loaded for the life of the process: its code paints and prints until exit.
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = QStringLiteral("the print support %1 cannot be loaded: %2").arg(path, QString::fromLocal8Bit(::dlerror()));
        return nullptr;
    }
    const auto entry = reinterpret_cast<PrintModuleEntry>(::dlsym(handle, kPrintModuleEntry));
    const PrintModule* module = entry ? entry() : nullptr;
    if (!module || module->version != kPrintModuleVersion) {
        error = QStringLiteral("the print support %1 is not the one of this program").arg(path);
        return nullptr;
    }
    loaded = module;
    return loaded;
}

} // namespace ostrel::cli
