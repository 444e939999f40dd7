// Any text file (plain text, HTML, program sources, configuration files) as
// a picture of its lines: black Courier New on white, tabs every 8 columns.
#include "imageio/text.h"

#include "colour/Drawing.h"
#include "imageio/ReaderKit.h"
#include "imageio/Readers.h"
#include "util/Fonts.h"
#include "util/Text.h"

#include <QFontMetrics>
#include <algorithm>

namespace ostrel {

namespace {

constexpr int kMaxPictureSide = 4096;
constexpr int kTextMargin = 5;

// No glyph of the picture font is narrower than one pixel, so a line is never
// measured past this many characters: the rest would lie beyond the
// 4096-pixel width limit anyway. A minified page of megabytes on one line
// would otherwise be laid out in full.
constexpr qsizetype kMaxMeasuredChars = 2 * kMaxPictureSide;

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
    const qsizetype drawable = (kMaxPictureSide - kTextMargin + lineHeight - 1) / lineHeight;

    QStringList shown;
    shown.reserve(std::min(lines.size(), drawable + 1));
    for (qsizetype i = 0; i < lines.size() && i < drawable; ++i)
        shown.append(cutForMeasure(lines.at(i)));
    if (lines.size() > drawable) {
        // The hidden lines make the picture as tall as it may be; only the
        // widest of them can still matter, for the width.
        const int widthLimit = kMaxPictureSide - 2 * kTextMargin;
        QString widest;
        int widestPixels = -1;
        for (qsizetype i = drawable; i < lines.size() && widestPixels < widthLimit; ++i) {
            const QString line = cutForMeasure(lines.at(i));
            const int pixels = metrics.horizontalAdvance(expandTabs(line));
            if (pixels > widestPixels) {
                widestPixels = pixels;
                widest = line;
            }
        }
        shown.append(widest);
    }
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

LoadResult LoadTextFile(const LoadInput& input)
{
    kit::ReaderRun run(input, "TXT", 10, 10);
    QStringList lines;
    if (input.exists) {
        QString text = fromStoredBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(input.data.data()),
                                                               qsizetype(input.data.size())));
        if (text.startsWith(QChar(kByteOrderMark)))
            text.remove(0, 1);
        lines = splitTextLines(text);
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
