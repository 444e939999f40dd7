// SPDX-License-Identifier: Apache-2.0
// Any text file (plain text, HTML, program sources, configuration files) as
// a picture of its lines: black Courier New on white, tabs every 8 columns.
#include "imageio/text.h"

#include "colour/Drawing.h"
#include "util/Fonts.h"
#include "util/Text.h"

#include "ReaderKit.h"
#include "Readers.h"

#include <QFontMetrics>
#include <algorithm>

namespace ostrel {

namespace {

// No glyph of the picture font is narrower than one pixel, so a line is never
// measured past this many characters: the rest would lie beyond the
// 4096-pixel width limit anyway. A minified page of megabytes on one line
// would otherwise be laid out in full.
constexpr qsizetype kMaxMeasuredChars = 2 * kMaxTextPictureSide;

QString cutForMeasure(const QString& line)
{
    if (line.size() <= kMaxMeasuredChars)
        return line;
    qsizetype cut = kMaxMeasuredChars;
    if (line.at(cut - 1).isHighSurrogate())
        --cut;
    return line.left(cut);
}

const char16_t kByteOrderMark = 0xFEFF;

// True when every printable ASCII character has the same advance, as in the
// monospaced picture font: among lines of such characters, then, the longer
// line is the wider one and the shorter ones need not be measured.
bool asciiHasFixedPitch(const QFontMetrics& metrics)
{
    const int advance = metrics.horizontalAdvance(QLatin1Char('M'));
    for (char ch = ' '; ch <= '~'; ++ch)
        if (metrics.horizontalAdvance(QLatin1Char(ch)) != advance)
            return false;
    return true;
}

bool isPrintableAscii(const QString& text)
{
    for (QChar ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() > 0x7E)
            return false;
    return true;
}

// The widest of the lines that lie below the picture, once tabs are expanded.
QString widestHiddenLine(const QStringList& lines, qsizetype first, const QFontMetrics& metrics)
{
    const int widthLimit = kMaxTextPictureSide - 2 * kTextPictureMargin;
    const bool fixedPitch = asciiHasFixedPitch(metrics);
    qsizetype longestAscii = -1;
    QString widest;
    int widestPixels = -1;
    for (qsizetype i = first; i < lines.size() && widestPixels < widthLimit; ++i) {
        const QString line = cutForMeasure(lines.at(i));
        const QString expanded = expandTabs(line);
        if (fixedPitch && isPrintableAscii(expanded)) {
            if (expanded.size() <= longestAscii)
                continue;
            longestAscii = expanded.size();
        }
        const int pixels = metrics.horizontalAdvance(expanded);
        if (pixels > widestPixels) {
            widestPixels = pixels;
            widest = line;
        }
    }
    return widest;
}

} // namespace

QStringList splitTextLines(const QString& text)
{
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < size && text.at(end) == u'\r')
            ++end;
        if (end < size && text.at(end) == u'\n')
            ++end;
        start = end;
    }
    return lines;
}

QImage textLinesPicture(const QStringList& lines)
{
    const QFont font = courierBold10();
    const QFontMetrics metrics(font);
    const int lineHeight = std::max(1, metrics.height());
    // Lines from this index on start below the tallest picture.
    const qsizetype drawable = (kMaxTextPictureSide - kTextPictureMargin + lineHeight - 1) / lineHeight;

    QStringList shown;
    shown.reserve(std::min(lines.size(), drawable + 1));
    for (qsizetype i = 0; i < lines.size() && i < drawable; ++i)
        shown.append(cutForMeasure(lines.at(i)));
    // The hidden lines make the picture as tall as it may be; only the widest
    // of them can still matter, for the width.
    if (lines.size() > drawable)
        shown.append(widestHiddenLine(lines, drawable, metrics));
    QImage picture;
    DrawLinesAsPicture(picture, &shown, Qt::white);
    return picture;
}

LoadResult dumpLoadResult(MsdosDump dump, bool exists)
{
    LoadResult result;
    result.picture = textLinesPicture(dump.lines);
    result.report = std::move(dump.lines);
    result.stop = !exists ? LoadStop::Missing : dump.truncated ? LoadStop::Truncated : LoadStop::Complete;
    return result;
}

QStringList textFileLines(const QByteArray& bytes)
{
    QString text = fromStoredBytes(bytes);
    if (text.startsWith(QChar(kByteOrderMark)))
        text.remove(0, 1);
    return splitTextLines(text);
}

LoadResult LoadTextFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "TXT", 10, 10);
    QStringList lines;
    if (input.exists) {
        lines = textFileLines(QByteArray::fromRawData(reinterpret_cast<const char*>(input.data.data()),
                                                      qsizetype(input.data.size())));
    } else {
        run.line(QStringLiteral("File does not exist"));
    }
    run.value(QStringLiteral("Lines"), lines.size());
    for (const QString& line : lines)
        run.line(line);
    run.picture() = textLinesPicture(lines);
    return run.finish(input.exists ? LoadStop::Complete : LoadStop::Missing);
}

} // namespace ostrel
