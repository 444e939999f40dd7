// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers for the tests of the small picture readers: building files byte by
// byte, running a reader over them, reading pixels and report lines, and
// asking an independent decoder for its pixels.
#include "imageio/GraphicsIOUnit.h"
#include "support/ProcessRun.h"
#include "util/Picture.h"

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace ostrel::testing {

// A file under construction.
class Bytes {
public:
    Bytes& u8(unsigned v) { m_data.append(char(v & 0xFF)); return *this; }
    Bytes& u16le(unsigned v) { return u8(v).u8(v >> 8); }
    Bytes& u16be(unsigned v) { return u8(v >> 8).u8(v); }
    Bytes& u32le(uint32_t v) { return u16le(v & 0xFFFF).u16le(v >> 16); }
    Bytes& u32be(uint32_t v) { return u16be(v >> 16).u16be(v & 0xFFFF); }
    Bytes& text(const char* s) { m_data.append(s); return *this; }
    Bytes& bytes(std::initializer_list<unsigned> list) { for (unsigned v : list) u8(v); return *this; }
    Bytes& append(const QByteArray& more) { m_data.append(more); return *this; }
    Bytes& fill(qsizetype count, unsigned v) { m_data.append(count, char(v & 0xFF)); return *this; }
    // Pads with `v` up to an absolute size.
    Bytes& padTo(qsizetype size, unsigned v = 0)
    {
        if (m_data.size() < size)
            fill(size - m_data.size(), v);
        return *this;
    }
    Bytes& put(qsizetype at, unsigned v) { m_data[at] = char(v & 0xFF); return *this; }
    qsizetype size() const { return m_data.size(); }
    const QByteArray& data() const { return m_data; }
    operator const QByteArray&() const { return m_data; }

private:
    QByteArray m_data;
};

inline LoadResult loadBytes(const QString& fileName, const QByteArray& bytes, const PictureLoadOptions& options = {})
{
    return loadPictureBytes(
        fileName, ByteView(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), options);
}

// The reader's result for a file that does not exist.
inline LoadResult loadMissing(const QString& fileName, const PictureLoadOptions& options = {})
{
    return LoadPictureFileWithOptions(QStringLiteral("no-such-folder-for-ostrel/") + fileName, options);
}

inline QColor pixel(const QImage& picture, int x, int y)
{
    return QColor(picture.pixel(x, y));
}

inline bool hasLine(const LoadResult& result, const QString& text)
{
    return result.report.contains(text);
}

// The value of the first "name ----- value" line, or nothing.
inline std::optional<QString> reportedValue(const LoadResult& result, const QString& name)
{
    const QString prefix = reportValueLine(name, QString());
    for (const QString& line : result.report)
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return std::nullopt;
}

// The white picture with a black frame of the given pen width that the
// readers start from or draw as a placeholder, made pixel by pixel.
inline QImage framedBlank(int width, int height, int pen = 1)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool edge = x < pen || y < pen || x >= width - pen || y >= height - pen;
            picture.setPixel(x, y, edge ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    return picture;
}

inline bool isAllWhite(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

// Where two pictures first differ, as text; empty when they agree.
inline std::string firstDifference(const QImage& ours, const QImage& theirs, int tolerance = 0)
{
    if (ours.size() != theirs.size())
        return "size " + std::to_string(ours.width()) + "x" + std::to_string(ours.height()) + " vs " +
               std::to_string(theirs.width()) + "x" + std::to_string(theirs.height());
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance ||
                std::abs(qBlue(a) - qBlue(b)) > tolerance)
                return "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") " +
                       QColor(a).name().toStdString() + " vs " + QColor(b).name().toStdString();
        }
    return {};
}

inline bool isFramedBlank(const QImage& picture, int width, int height, int pen = 1)
{
    return firstDifference(picture, framedBlank(width, height, pen)).empty();
}

// A file that a reader cannot use, and why it stops.
struct UnusableFile {
    const char* what;
    QByteArray file;
    LoadStop stop;
};

// Each file ends with its stop and leaves `expected` (the reader's blank) as the picture.
inline void expectUnusable(const QString& fileName, std::initializer_list<UnusableFile> cases, const QImage& expected)
{
    for (const UnusableFile& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadResult result = loadBytes(fileName, c.file);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_EQ(firstDifference(result.picture, expected), "");
    }
}

// Loads a sample file and checks the promises every reader keeps for any file.
inline LoadResult loadSampleFile(const QString& path, const char* tag)
{
    const LoadResult result = LoadPictureFileWithOptions(path);
    EXPECT_FALSE(result.picture.isNull());
    EXPECT_EQ(result.picture.format(), kPictureFormat);
    EXPECT_EQ(result.report.value(result.report.size() - 1), QString::fromLatin1(tag) + QStringLiteral(" End."));
    return result;
}

// The sample files of one format written by other software; empty (and the
// test skips) when the folder is absent.
inline QStringList corpusFiles(const char* format, const QStringList& patterns)
{
    QStringList files;
    QDirIterator it(QStringLiteral(OSTREL_CORPUS_DIR "/") + QLatin1String(format), patterns, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

#define OSTREL_CORPUS_OR_SKIP(files, format, patterns)                                     \
    const QStringList files = ::ostrel::testing::corpusFiles(format, patterns);            \
    if (files.isEmpty())                                                                   \
        GTEST_SKIP() << "no sample files for " << format

// The standard output of an external program, or nothing when it is not
// installed or fails.
inline std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments)
{
    const ProcessRun run = runProcess(program, arguments, {.timeoutMs = 30000});
    if (run.exitCode != 0)
        return std::nullopt;
    return run.output;
}

// Pixels from an external decoder that writes a picture to its standard output.
inline std::optional<QImage> decodeWithTool(const QString& program, const QStringList& arguments)
{
    const std::optional<QByteArray> output = runTool(program, arguments);
    if (!output)
        return std::nullopt;
    QImage picture = QImage::fromData(*output);
    if (picture.isNull())
        return std::nullopt;
    return picture.convertToFormat(QImage::Format_RGB32);
}


// A picture as a file of another kind stores it, and the picture it must
// load as: the cases of the readers that take such files from a library.
struct StoredPictureCase {
    const char* what;
    QImage file;
    QImage expected;
};

// Colour, 16-bit, grey, paletted, bilevel and translucent pictures of a few
// pixels; transparent pixels are expected over white. Formats that store
// 16-bit grey and 16-bit alpha get those cases too.
inline std::vector<StoredPictureCase> storedPictureCases(bool sixteenBitGreyAndAlpha)
{
    QImage colours(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            colours.setPixel(x, y, qRgb(x * 60 + 1, y * 100 + 3, (x * y * 37) % 256));
    QImage translucent(3, 1, QImage::Format_ARGB32);
    translucent.setPixel(0, 0, qRgba(10, 20, 30, 255));
    translucent.setPixel(1, 0, qRgba(10, 20, 30, 0));
    translucent.setPixel(2, 0, qRgba(0, 0, 0, 128)); // black at half: 127 over white
    QImage overWhite(3, 1, QImage::Format_RGB32);
    overWhite.setPixel(0, 0, qRgb(10, 20, 30));
    overWhite.setPixel(1, 0, qRgb(255, 255, 255));
    overWhite.setPixel(2, 0, qRgb(127, 127, 127));
    const QImage grey = colours.convertToFormat(QImage::Format_Grayscale8);
    std::vector<StoredPictureCase> cases = {
        {"true colour", colours, colours},
        {"16-bit colour", colours.convertToFormat(QImage::Format_RGBX64), colours},
        {"grey", grey, grey},
        {"palette", colours.convertToFormat(QImage::Format_Indexed8), colours},
        {"1-bit palette", colours.convertToFormat(QImage::Format_Mono), colours.convertToFormat(QImage::Format_Mono)},
        {"alpha", translucent, overWhite},
    };
    if (sixteenBitGreyAndAlpha) {
        cases.push_back({"16-bit grey", colours.convertToFormat(QImage::Format_Grayscale16), grey});
        cases.push_back({"16-bit alpha", translucent.convertToFormat(QImage::Format_RGBA64), overWhite});
    }
    return cases;
}

} // namespace ostrel::testing
