// SPDX-License-Identifier: Apache-2.0
#include "colour/AnalysisCharts.h"

#include "colour/Drawing.h"
#include "util/Fonts.h"
#include "util/Picture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

namespace ostrel {

namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kCyan(0, 255, 255);
const QColor kGrey(128, 128, 128);

int rounded(double v)
{
    return int(std::lrint(v)); // the default rounding mode: nearest, halves to even
}

// The rectangle (x1, y1)–(x2, y2) with exclusive right and bottom edges, a
// one-pixel border in the pen colour and the inside in the brush colour; an
// empty or inverted one draws nothing.
void drawRectangle(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& pen, const QColor& brush)
{
    if (x2 <= x1 || y2 <= y1)
        return;
    painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), pen);
    if (x2 - x1 > 2 && y2 - y1 > 2)
        painter.fillRect(QRect(x1 + 1, y1 + 1, x2 - x1 - 2, y2 - y1 - 2), brush);
}

QPen chartPen(const QColor& colour, int width)
{
    // Wide pens end and join round, as the drawing calls these charts were
    // designed with do.
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QFont labelFont(int points)
{
    QFont font = pictureFont(QStringLiteral("Arial Narrow"), std::max(points, 1), true);
    // Crisp labels on a 24-bit chart: the same pixels on every machine.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Writes dots straight into the chart's rows, skipping every pixel outside.
// A square is written as row spans copied from two prepared rows: its edge
// row and its middle row.
class DotWriter {
public:
    DotWriter(QImage& chart, DotStyle style, int blockHalf, int outlineHalf)
        : m_bits(chart.bits())
        , m_stride(chart.bytesPerLine())
        , m_width(chart.width())
        , m_height(chart.height())
        , m_style(style)
        , m_half(style == DotStyle::Outline ? outlineHalf : blockHalf)
    {
        if (m_style != DotStyle::Points && m_half >= 0) {
            const size_t bytes = 3 * (2 * size_t(m_half) + 1);
            m_edgeRow.assign(bytes, 0); // black: the outline's border
            m_middleRow.assign(bytes, 0);
        }
    }

    void put(int x, int y, ColourValue colour)
    {
        if (m_style == DotStyle::Points) {
            if (x >= 0 && y >= 0 && x < m_width && y < m_height)
                writePixel(m_bits + qsizetype(y) * m_stride + 3 * x, colour);
            return;
        }
        if (m_half < 0)
            return;
        const int left = x - m_half, right = x + m_half, top = y - m_half, bottom = y + m_half;
        const int x0 = std::max(left, 0), x1 = std::min(right, m_width - 1);
        const int y0 = std::max(top, 0), y1 = std::min(bottom, m_height - 1);
        if (x0 > x1 || y0 > y1)
            return;
        const bool outline = m_style == DotStyle::Outline;
        // Blocks are the colour throughout; an outline's middle row is black
        // at both ends.
        const size_t first = outline ? 1 : 0, last = 2 * size_t(m_half) + 1 - first;
        for (size_t i = first; i < last; ++i)
            writePixel(&m_middleRow[3 * i], colour);
        const uchar* edge = outline ? m_edgeRow.data() : m_middleRow.data();
        const size_t offset = 3 * size_t(x0 - left), length = 3 * size_t(x1 - x0 + 1);
        for (int row = y0; row <= y1; ++row) {
            const uchar* source = (row == top || row == bottom) ? edge : m_middleRow.data();
            std::memcpy(m_bits + qsizetype(row) * m_stride + 3 * x0, source + offset, length);
        }
    }

private:
    static void writePixel(uchar* p, ColourValue colour)
    {
        p[0] = blueOf(colour);
        p[1] = greenOf(colour);
        p[2] = redOf(colour);
    }

    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
    DotStyle m_style;
    int m_half;
    std::vector<uchar> m_edgeRow;
    std::vector<uchar> m_middleRow;
};

// Walks the tree in order without its cursor (a const walk that reads the
// node pool in order), calling visit(colour, count) and the yield callback
// every kChartYieldColours colours. False when the callback stopped the walk.
template <class Visit>
bool walkColours(const TZQXTColorSplayTree& tree, bool descending, const ChartYield& yield, Visit&& visit)
{
    int sinceYield = 0;
    return tree.visitInOrder(descending, [&](int32_t key, int32_t count) {
        visit(ColourValue(key), count);
        if (++sinceYield < kChartYieldColours)
            return true;
        sinceYield = 0;
        return !yield || yield();
    });
}

bool yieldNow(const ChartYield& yield)
{
    return !yield || yield();
}

void prepareChart(QImage& chart)
{
    ensurePictureFormat(chart);
}

} // namespace

int brightnessLevel(ColourValue colour)
{
    const double r = redOf(colour), g = greenOf(colour), b = blueOf(colour);
    const int level = rounded(std::sqrt(r * r + g * g + b * b) / std::numbers::sqrt3);
    return std::clamp(level, 0, 255);
}

QImage newAnalysisChart(int width, int height)
{
    QImage chart = allocatePicture(width, height);
    if (!chart.isNull())
        clearAnalysisChart(chart);
    return chart;
}

void clearAnalysisChart(QImage& chart)
{
    if (chart.isNull())
        return;
    prepareChart(chart);
    QPainter painter(&chart);
    drawRectangle(painter, 0, 0, chart.width(), chart.height(), kBlack, kCyan);
}

bool DrawBrightnessChart(QImage& chart, const TZQXTColorSplayTree& tree, const ChartYield& yield)
{
    if (chart.isNull())
        return true;
    prepareChart(chart);
    std::array<int64_t, 256> histogram{};
    int64_t total = 0;
    const bool complete = walkColours(tree, false, yield, [&](ColourValue colour, int32_t count) {
        histogram[size_t(brightnessLevel(colour))] += count;
        total += count;
    });
    if (!complete)
        return false;

    const int width = chart.width(), height = chart.height(), centreX = width / 2;
    const int d = (width - 40) / 256;
    const int left = centreX - 128 * d;
    const int right = left + 256 * d - 1;
    const int axisTop = height - 40;
    // A share f of all pixels stands 1000·f·d² pixels high; the chart is not
    // scaled to the window, so tall bars leave through the top.
    auto heightOf = [&](double share) { return rounded(share * d * (100.0 * d) * 10.0); };

    QPainter painter(&chart);
    drawRectangle(painter, left, axisTop, right + 1, axisTop + d, kBlack, kRed);
    for (int k = 0; k <= 51; ++k) {
        const int x = left + 5 * k * d;
        const int t = k % 10 == 0 ? 4 * d : 2 * d;
        drawRectangle(painter, x, axisTop, x + d, axisTop + t, kBlack, kRed);
    }
    for (int j = 1; j <= 20; ++j) {
        const int y = axisTop - heightOf(5.0 * j / 100.0) - 1;
        drawRectangle(painter, left, y, right + d, y + d, kBlack, kGreen);
    }
    // Colours stored with no pixels leave nothing to share out.
    if (total > 0) {
        for (int i = 0; i < 256; ++i) {
            if (histogram[size_t(i)] < 1)
                continue;
            const int x = left + i * d;
            const int y = axisTop - heightOf(double(histogram[size_t(i)]) / double(total)) - 1;
            drawRectangle(painter, x, y, x + d, axisTop, kGrey, kYellow);
        }
    }
    return true;
}

namespace {

// The cube's projection and the sizes derived from the chart and its font.
struct CubeView {
    double c = 0, s = 0, scale = 0, originX = 0, originY = 0;
    int th = 0, m = 0, h = 0;

    QPoint project(int r, int g, int b) const
    {
        return {rounded((r + b * c) * scale + originX), rounded(originY - (g + b * s) * scale)};
    }
};

CubeView cubeView(int width, int height, bool reverse)
{
    CubeView v;
    const double theta = (reverse ? 150.0 : 30.0) * std::numbers::pi / 180.0;
    v.c = std::cos(theta);
    v.s = std::sin(theta);
    v.th = QFontMetrics(labelFont(14)).height();
    v.m = v.th + 20;
    const int centreX = width / 2, centreY = height / 2;
    const double xExt = 256.0 * v.c + 256.0;
    const double yExt = 256.0 * v.s + 256.0;
    // The cube is as wide as 256·|cos θ| + 256 from either side; measured
    // with the signed cosine the reversed view would be scaled to overflow a
    // tall, narrow chart.
    const double cubeWidth = 256.0 * std::abs(v.c) + 256.0;
    v.scale = std::max(0.0, std::min((width - 2.0 * v.m) / cubeWidth, (height - 2.0 * v.m) / yExt));
    v.originX = centreX - xExt * v.scale / 2.0;
    v.originY = yExt * v.scale / 2.0 + centreY;
    if (reverse)
        v.originX += std::abs(v.c) * v.scale;
    v.h = (width - 2 * v.m) / 256;
    return v;
}

// The four corners of the cube face where one channel (0 red, 1 green,
// 2 blue) holds `value`, in order round the face.
std::array<QPoint, 4> cubeFace(const CubeView& v, int channel, int value)
{
    static constexpr std::array<std::array<int, 2>, 4> kRound = {{{0, 0}, {255, 0}, {255, 255}, {0, 255}}};
    std::array<QPoint, 4> corners;
    for (size_t i = 0; i < 4; ++i) {
        std::array<int, 3> rgb{};
        rgb[size_t(channel)] = value;
        rgb[size_t((channel + 1) % 3)] = kRound[i][0];
        rgb[size_t((channel + 2) % 3)] = kRound[i][1];
        corners[i] = v.project(rgb[0], rgb[1], rgb[2]);
    }
    return corners;
}

void drawFace(QPainter& painter, const std::array<QPoint, 4>& corners, bool filled)
{
    if (filled) {
        painter.setBrush(kGrey);
        painter.drawPolygon(corners.data(), 4);
    }
    const std::array<QPoint, 5> closed = {corners[0], corners[1], corners[2], corners[3], corners[0]};
    painter.drawPolyline(closed.data(), 5);
}

void drawLabel(QPainter& painter, int left, int top, const QString& text)
{
    const QFontMetrics metrics(painter.font());
    painter.fillRect(QRect(left, top, metrics.horizontalAdvance(text), metrics.height()), kCyan);
    drawTextTopAt(painter, left, top, text);
}

void drawCubeBack(QPainter& painter, const CubeView& v, int height, bool reverse)
{
    painter.setPen(chartPen(kBlack, 2));
    drawFace(painter, cubeFace(v, 2, 255), true);
    drawFace(painter, cubeFace(v, 0, reverse ? 255 : 0), true);
    drawFace(painter, cubeFace(v, 1, 0), true);

    painter.setFont(labelFont(4 * v.h + 2));
    painter.setPen(kBlack);
    const QFontMetrics metrics(painter.font());
    auto centred = [&](const QString& text, QPoint corner, int top) {
        drawLabel(painter, corner.x() - metrics.horizontalAdvance(text) / 2, top, text);
    };
    auto rightOf = [&](const QString& text, QPoint corner) {
        drawLabel(painter, corner.x() + v.m / 2, corner.y() - v.th / 2, text);
    };
    auto leftOf = [&](const QString& text, QPoint corner) {
        drawLabel(painter, corner.x() - metrics.horizontalAdvance(text) - v.m / 2, corner.y() - v.th / 2, text);
    };
    centred(QStringLiteral("White"), v.project(255, 255, 255), 10);
    centred(QStringLiteral("Cyan"), v.project(0, 255, 255), 10);
    centred(QStringLiteral("Red"), v.project(255, 0, 0), height - v.th - 10);
    centred(QStringLiteral("Black"), v.project(0, 0, 0), height - v.th - 10);
    if (reverse) {
        leftOf(QStringLiteral("Blue"), v.project(0, 0, 255));
        rightOf(QStringLiteral("Yellow"), v.project(255, 255, 0));
    } else {
        rightOf(QStringLiteral("Magenta"), v.project(255, 0, 255));
        leftOf(QStringLiteral("Green"), v.project(0, 255, 0));
    }
}

} // namespace

bool DrawCubeChart(QImage& chart, const TZQXTColorSplayTree& tree, bool reverse, DotStyle dots, const ChartYield& yield)
{
    if (chart.isNull())
        return true;
    prepareChart(chart);
    const int width = chart.width(), height = chart.height();
    const CubeView v = cubeView(width, height, reverse);
    {
        QPainter painter(&chart);
        drawCubeBack(painter, v, height, reverse);
    }
    if (!yieldNow(yield))
        return false;

    DotWriter writer(chart, dots, v.h - 1, v.h);
    const bool complete = walkColours(tree, true, yield, [&](ColourValue colour, int32_t) {
        const QPoint p = v.project(redOf(colour), greenOf(colour), blueOf(colour));
        writer.put(p.x(), p.y(), colour);
    });
    if (!complete)
        return false;

    QPainter painter(&chart);
    painter.setPen(chartPen(kBlack, 2));
    drawFace(painter, cubeFace(v, 1, 255), false);
    drawFace(painter, cubeFace(v, 0, reverse ? 0 : 255), false);
    drawFace(painter, cubeFace(v, 2, 0), false);
    return true;
}

namespace {

struct HexagonView {
    double radius = 0;
    int centreX = 0, centreY = 0;

    // Channels scaled to 0..1.
    QPoint project(double r, double g, double b) const
    {
        return {rounded((g - (r + b) / 2.0) * radius) + centreX, centreY - rounded((r - b) * 0.86602535 * radius)};
    }
};

} // namespace

bool DrawHexagonChart(QImage& chart, const TZQXTColorSplayTree& tree, bool reverse, DotStyle dots,
                      const ChartYield& yield)
{
    if (chart.isNull())
        return true;
    prepareChart(chart);
    const int width = chart.width(), height = chart.height();
    HexagonView v;
    v.radius = double(std::min(width, height) / 2) * 0.9;
    v.centreX = width / 2;
    v.centreY = height / 2;
    const int r = rounded(v.radius / 100.0);
    {
        QPainter painter(&chart);
        painter.setPen(chartPen(kBlack, 3));
        painter.setBrush(kGrey);
        TObjectOutline hexagon(&painter, 10);
        static constexpr std::array<std::array<double, 3>, 7> kCorners = {
            {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}};
        for (const auto& corner : kCorners) {
            const QPoint p = v.project(corner[0], corner[1], corner[2]);
            hexagon.AddPoint(p.x(), p.y());
        }
        hexagon.Draw(3);

        static constexpr std::array<std::array<int, 3>, 8> kRamps = {
            {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}}};
        for (const auto& f : kRamps) {
            QPoint from(v.centreX, v.centreY);
            for (int i = 0; i <= 255; ++i) {
                painter.setPen(chartPen(QColor(f[0] * i, f[1] * i, f[2] * i), 3));
                const QPoint to = v.project(f[0] * i / 255.0, f[1] * i / 255.0, f[2] * i / 255.0);
                painter.drawLine(from, to);
                from = to;
            }
        }
    }
    if (!yieldNow(yield))
        return false;

    DotWriter writer(chart, dots, r - 1, r);
    const bool complete = walkColours(tree, reverse, yield, [&](ColourValue colour, int32_t) {
        const QPoint p = v.project(redOf(colour) / 255.0, greenOf(colour) / 255.0, blueOf(colour) / 255.0);
        writer.put(p.x(), p.y(), colour);
    });
    return complete && yieldNow(yield);
}

bool drawAnalysisChart(QImage& chart, const TZQXTColorSplayTree& tree, const ChartChoice& choice, const ChartYield& yield)
{
    clearAnalysisChart(chart);
    if (chart.isNull() || tree.Count() == 0)
        return true;
    switch (choice.chart) {
    case AnalysisChart::Bright: return DrawBrightnessChart(chart, tree, yield);
    case AnalysisChart::Rgb: return DrawCubeChart(chart, tree, choice.reverse, choice.dots, yield);
    case AnalysisChart::Hsv: return DrawHexagonChart(chart, tree, choice.reverse, choice.dots, yield);
    }
    return true;
}

TObjectOutline::TObjectOutline(QPainter* canvas, int capacity)
    : m_canvas(canvas)
    , m_capacity(std::max(capacity, 16))
{
    m_points.reserve(size_t(m_capacity));
    Clear();
}

void TObjectOutline::Clear()
{
    m_points.clear();
    m_lastDirection = QPoint(0, 0);
}

void TObjectOutline::AddPoint(int x, int y)
{
    QPoint direction(0, 0);
    if (!m_points.empty()) {
        const QPoint previous = m_points.back();
        if (previous == QPoint(x, y))
            return;
        int dx = x - previous.x(), dy = y - previous.y();
        const int divisor = std::gcd(dx, dy); // of the absolute values; dx or dy alone when the other is 0
        dx /= divisor;
        dy /= divisor;
        direction = QPoint(dx, dy);
        if (direction == m_lastDirection) {
            m_points.back() = QPoint(x, y);
            return;
        }
    }
    if (int(m_points.size()) >= m_capacity)
        return;
    m_points.emplace_back(x, y);
    m_lastDirection = direction;
}

void TObjectOutline::Draw(int mode)
{
    if (!m_canvas || m_points.size() < 2)
        return;
    if ((mode == 2 || mode == 3) && m_canvas->brush().style() != Qt::NoBrush) {
        const QPen pen = m_canvas->pen();
        m_canvas->setPen(Qt::NoPen);
        m_canvas->drawPolygon(m_points.data(), int(m_points.size()));
        m_canvas->setPen(pen);
    }
    if ((mode == 1 || mode == 3) && m_canvas->pen().style() != Qt::NoPen)
        m_canvas->drawPolyline(m_points.data(), int(m_points.size()));
}

} // namespace ostrel
