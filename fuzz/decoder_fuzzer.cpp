// SPDX-License-Identifier: Apache-2.0
// Decodes a small picture with a key, both taken from the input: byte 0 is
// the width less one (up to 128), byte 1 the height less one (up to 128),
// bytes 2-9 the key (low byte first), and the rest the pixels' blue, green
// and red bytes row by row; pixels the input does not reach are noise.
// The decoder must not crash, must leave the pixels alone and must write
// nothing but the one file it reports, inside the folder, which it makes only
// for that file.
#include "FuzzSupport.h"
#include "engine/Decoder.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kHeaderBytes = 10;

QImage pictureFrom(const uint8_t* data, size_t size)
{
    const int width = size > 0 ? data[0] % 128 + 1 : 1;
    const int height = size > 1 ? data[1] % 128 + 1 : 1;
    QImage picture = ostrel::allocatePicture(width, height);
    const size_t given = size > kHeaderBytes ? size - kHeaderBytes : 0;
    uint32_t noise = 0x2545F491u ^ uint32_t(size);
    size_t at = 0;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int i = 0; i < width * 3; ++i, ++at) {
            noise = noise * 1664525u + 1013904223u;
            row[i] = at < given ? data[kHeaderBytes + at] : uint8_t(noise >> 24);
        }
    }
    return picture;
}

uint64_t keyFrom(const uint8_t* data, size_t size)
{
    uint64_t key = 0;
    for (size_t i = 2; i < kHeaderBytes && i < size; ++i)
        key |= uint64_t(data[i]) << (8 * (i - 2));
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ostrel::prepareFuzzing();
    static QTemporaryDir root;
    const QString folder = root.path() + QStringLiteral("/out/");

    QImage picture = pictureFrom(data, size);
    const QImage before = picture;
    const uint64_t key = keyFrom(data, size);
    QString outputPath;
    ostrel::ReportList report;
    const bool ok = ostrel::decodePayloadInto(picture, folder, outputPath, &report, uint32_t(key), uint32_t(key >> 32));

    if (picture != before || report.isEmpty())
        std::abort();
    const QStringList written = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QStringList atRoot = QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    // The folder is made only for a file to write (and stays from earlier inputs).
    const bool onlyTheFolder = atRoot == QStringList{QStringLiteral("out")} || (!ok && atRoot.isEmpty());
    if (!onlyTheFolder)
        std::abort();
    if (ok != !written.isEmpty() || written.size() > 1)
        std::abort();
    if (ok && (outputPath != folder + written.front() || report.back() != QStringLiteral("Check Sum is OK")))
        std::abort();
    for (const QString& name : written)
        QFile::remove(folder + name);
    return 0;
}
