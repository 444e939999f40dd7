#pragma once
// Steps that the small picture readers (PCX, ICO, CAM, MAC, CGA, THN, TIFF,
// PNG) share: the blank picture they start from, the first and last report
// lines, and writing one colour into a scan line.
#include "colour/Drawing.h"
#include "imageio/LoadResult.h"

#include <QString>
#include <array>
#include <cstdint>

namespace ostrel::kit {

// Begins every PNG stream, on its own or inside an icon.
constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// Rows of the working picture hold blue, green, red.
inline void putPixel(uint8_t* row, int x, Rgb colour)
{
    uint8_t* pixel = row + 3 * x;
    pixel[0] = colour.blue;
    pixel[1] = colour.green;
    pixel[2] = colour.red;
}

// One reader run: starts from the reader's blank picture with the tag line,
// and ends with "<TAG> End." whichever way the reader stops.
class ReaderRun {
public:
    ReaderRun(const LoadInput& input, const char* tag, int blankWidth, int blankHeight) : m_tag(tag)
    {
        m_result.picture = blankPicture(blankWidth, blankHeight);
        ReportValue(m_result, QString::fromLatin1(tag), input.fileName);
    }

    LoadResult& result() { return m_result; }
    QImage& picture() { return m_result.picture; }

    void line(const QString& text) { ReportLine(m_result, text); }
    void value(const QString& name, const QString& text) { ReportValue(m_result, name, text); }
    void value(const QString& name, qint64 number) { ReportValue(m_result, name, number); }

    // "EOF encountered, only 10 of 128 read."
    void shortRead(size_t got, size_t asked)
    {
        line(QStringLiteral("EOF encountered, only %1 of %2 read.").arg(got).arg(asked));
    }

    LoadResult finish(LoadStop stop)
    {
        m_result.stop = stop;
        line(QString::fromLatin1(m_tag) + QStringLiteral(" End."));
        return std::move(m_result);
    }

private:
    const char* m_tag;
    LoadResult m_result;
};

} // namespace ostrel::kit
