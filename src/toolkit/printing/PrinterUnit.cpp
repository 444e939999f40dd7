// SPDX-License-Identifier: Apache-2.0
#include "toolkit/printing/PrinterUnit.h"

#include "util/FileIO.h"
#include "util/Fonts.h"
#include "util/StandardUnit.h"
#include "util/Text.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace ostrel {

namespace {

constexpr double kPointsPerInch = 72.27;

constexpr QRgb kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kSilver = 0xFFC0C0C0, kRed = 0xFFFF0000,
               kYellow = 0xFFFFFF00, kBlue = 0xFF0000FF, kAqua = 0xFF00FFFF;

constexpr SkinFont kCourier12{"Courier New", 12, kBlack, true, false};
constexpr SkinFont kCourier16{"Courier New", 16, kBlack, true, false};
constexpr SkinFont kArial12Italic{"Arial", 12, kBlack, true, true};
constexpr SkinFont kArial12{"Arial", 12, kBlack, true, false};
constexpr SkinFont kCourier16White{"Courier New", 16, kWhite, true, false};
constexpr SkinFont kCourier12White{"Courier New", 12, kWhite, true, false};

QString englishDate(const QDate& date)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, QStringLiteral("dddd, MMMM d, yyyy"));
}

// The locale's long time format without the time zone, which a page footer
// has no use for.
QString longTime(const QTime& time)
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    format.remove(zone);
    return QLocale::system().toString(time, format.trimmed());
}

QRectF toRectF(const PageRect& r)
{
    return QRectF(r.left, r.top, r.width(), r.height());
}

} // namespace

const std::array<PrinterSkin, kSkinCount> kPrinterSkins = {{
    {"No Borders", false, false, false, false, 1, 1, 1, 1, 1.5, 2, kBlack, kWhite, kWhite, kWhite, kCourier12,
     kCourier12, kCourier12},
    {"Borders and Courier", false, false, true, true, 1, 1, 1, 1, 1.5, 2, kBlack, kWhite, kWhite, kWhite, kCourier12,
     kCourier12, kCourier12},
    {"Borders and Arial", false, false, true, true, 1, 1, 1, 1, 1.5, 2, kBlack, kWhite, kWhite, kWhite,
     kArial12Italic, kArial12Italic, kArial12},
    {"Silver Band", true, true, true, true, 1, 1, 1, 1, 1.5, 2, kBlack, kWhite, kSilver, kSilver, kCourier16,
     kCourier12, kCourier12},
    {"Silver Interior", true, true, true, true, 1, 1, 1, 1, 1.5, 2, kBlack, kSilver, kWhite, kWhite, kCourier16,
     kCourier12, kCourier12},
    {"Black Band White Interior", true, true, true, true, 1, 1, 1, 1, 1.5, 2, kBlack, kWhite, kBlack, kBlack,
     kCourier16White, kCourier12White, kCourier12},
    {"Red Border Yellow Interior", true, true, true, true, 1, 1, 1, 1, 1.5, 2, kRed, kYellow, kRed, kRed, kCourier16,
     kCourier12, kCourier12},
    {"Blue Band Aqua Interior", true, true, true, true, 1, 1, 1, 1, 1.5, 2, kBlue, kAqua, kBlue, kBlue, kCourier16,
     kCourier12, kCourier12},
    {"Fit to Page", false, false, false, false, 0.5, 0.5, 0.5, 0.5, 0, 0, kBlack, kWhite, kWhite, kWhite, kCourier12,
     kCourier12, kCourier12},
}};

QString skinName(int skin)
{
    if (skin < 1 || skin > kSkinCount)
        return {};
    return QString::fromLatin1(kPrinterSkins[size_t(skin - 1)].name);
}

PrinterMetrics metricsOfDevice(const QPagedPaintDevice& device)
{
    PrinterMetrics metrics;
    if (const auto* printer = dynamic_cast<const QPrinter*>(&device); printer && !printer->isValid())
        return metrics;
    const int dpiX = device.logicalDpiX();
    const int dpiY = device.logicalDpiY();
    const QPageLayout layout = device.pageLayout();
    // The layout answers in one resolution; sheets with unequal resolutions
    // across and down are scaled per direction.
    const QRect full = layout.fullRectPixels(dpiX);
    const QRect paint = layout.paintRectPixels(dpiX);
    const double down = dpiX > 0 ? double(dpiY) / dpiX : 1.0;
    metrics.dpiX = dpiX;
    metrics.dpiY = dpiY;
    metrics.physicalWidth = full.width();
    metrics.printableWidth = paint.width();
    metrics.offsetX = paint.left();
    metrics.physicalHeight = int(roundHalfEven(full.height() * down));
    metrics.printableHeight = int(roundHalfEven(paint.height() * down));
    metrics.offsetY = int(roundHalfEven(paint.top() * down));
    metrics.valid = dpiX > 0 && dpiY > 0 && metrics.physicalWidth > 0 && metrics.physicalHeight > 0;
    return metrics;
}

QString expandPrintCodes(const QString& text, int page, int pageCount, const QDateTime& stamp)
{
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('&') || i + 1 >= text.size()) {
            out.append(c);
            continue;
        }
        switch (text[i + 1].toUpper().unicode()) {
        case 'P': out.append(QString::number(page)); break;
        case '#': out.append(QString::number(pageCount)); break;
        case 'D': out.append(englishDate(stamp.date())); break;
        case 'T': out.append(longTime(stamp.time())); break;
        case 'W': out.append(longTime(stamp.time()) + QLatin1Char(' ') + englishDate(stamp.date())); break;
        case '&': out.append(QLatin1Char('&')); break;
        default:
            // Not a code: the "&" stays and the next character is read as usual.
            out.append(c);
            continue;
        }
        ++i;
    }
    return out;
}

std::vector<int> printPageOrder(int firstPage, int lastPage, int copies, bool collate)
{
    std::vector<int> pages;
    copies = std::max(1, copies);
    if (lastPage < firstPage)
        return pages;
    pages.reserve(size_t(lastPage - firstPage + 1) * size_t(copies));
    if (collate) {
        for (int copy = 0; copy < copies; ++copy)
            for (int page = firstPage; page <= lastPage; ++page)
                pages.push_back(page);
    } else {
        for (int page = firstPage; page <= lastPage; ++page)
            pages.insert(pages.end(), size_t(copies), page);
    }
    return pages;
}

PageRect fittedPictureRect(const QSize& picture, const PageRect& box)
{
    if (picture.isEmpty() || box.width() <= 0 || box.height() <= 0)
        return {box.left, box.top, box.left, box.top};
    const double ratio = double(picture.width()) / picture.height();
    const double boxRatio = double(box.width()) / box.height();
    int width = box.width(), height = box.height();
    if (ratio >= boxRatio)
        height = int(roundHalfEven(width / ratio));
    else
        width = int(roundHalfEven(height * ratio));
    const int left = box.left + (box.width() - width) / 2;
    const int top = box.top + (box.height() - height) / 2;
    return {left, top, left + width, top + height};
}

struct TPrinterPainter::PageContent {
    int page = 1;
    int pageCount = 1;
    const PageTexts* texts = nullptr;
    QDateTime stamp;
    const QStringList* lines = nullptr; // text pages
    bool lineNumbers = false;
    const QImage* picture = nullptr; // the fitted picture
};

TPrinterPainter::TPrinterPainter()
{
    installFontSubstitutes();
    SetSkin(1, 12);
}

void TPrinterPainter::setTarget(QPagedPaintDevice* device, const QString& name)
{
    m_target = device;
    m_targetName = name;
}

void TPrinterPainter::setFixedMetrics(const PrinterMetrics& metrics)
{
    m_fixedMetrics = metrics;
}

int TPrinterPainter::ptX(double points) const
{
    return int(roundHalfEven(points / kPointsPerInch * m_metrics.dpiX));
}

int TPrinterPainter::ptY(double points) const
{
    return int(roundHalfEven(points / kPointsPerInch * m_metrics.dpiY));
}

bool TPrinterPainter::RefreshMetrics()
{
    if (m_fixedMetrics.valid)
        m_metrics = m_fixedMetrics;
    else if (m_target)
        m_metrics = metricsOfDevice(*m_target);
    else
        m_metrics = PrinterMetrics{};
    computeGeometry();
    return m_metrics.valid;
}

void TPrinterPainter::SetSkin(int skin, int fontSize)
{
    m_skin = std::clamp(skin, 1, kSkinCount);
    const PrinterSkin& s = kPrinterSkins[size_t(m_skin - 1)];
    m_headerSize = std::max(fontSize, s.header.size);
    m_footerSize = std::max(fontSize, s.footer.size);
    m_bodySize = std::max(fontSize, 6);
    RefreshMetrics();
}

void TPrinterPainter::computeGeometry()
{
    PageGeometry g;
    const PrinterMetrics& m = m_metrics;
    if (!m.valid) {
        m_geometry = g;
        return;
    }
    const PrinterSkin& s = kPrinterSkins[size_t(m_skin - 1)];
    auto inches = [](double value, int dpi) { return int(roundHalfEven(value * dpi)); };
    g.outer.left = std::max(m.offsetX, inches(s.marginLeft, m.dpiX)) - m.offsetX;
    g.outer.right = m.physicalWidth - std::max(m.offsetX, inches(s.marginRight, m.dpiX)) - m.offsetX;
    g.outer.top = std::max(m.offsetY, inches(s.marginTop, m.dpiY)) - m.offsetY;
    g.outer.bottom = m.physicalHeight - std::max(m.offsetY, inches(s.marginBottom, m.dpiY)) - m.offsetY;

    const int bx = ptX(s.borderWidth), by = ptY(s.borderWidth);
    g.border = {g.outer.left + bx - 1, g.outer.top + by - 1, g.outer.right - bx + 1, g.outer.bottom - by + 1};
    const int ix = ptX(s.textInset) + 1, iy = ptY(s.textInset) + 1;
    g.text = {g.border.left + ix, g.border.top + iy, g.border.right - ix, g.border.bottom - iy};

    g.lineHeight = std::max(1, ptY(m_bodySize + 4));
    g.linesPerPage = std::max(1, (g.text.bottom - g.text.top) / g.lineHeight);
    const int charWidth = std::max(1, int(roundHalfEven(double(m.dpiX) * m_bodySize / 120.0)));
    g.charactersPerLine = std::max(1, int(roundHalfEven(double(g.text.right - g.text.left + 1) / charWidth)));
    m_geometry = g;
}

int TPrinterPainter::PageCount(int lineCount) const
{
    if (lineCount <= 0)
        return 0;
    return (lineCount + m_geometry.linesPerPage - 1) / m_geometry.linesPerPage;
}

QString TPrinterPainter::pageLine(const QStringList& lines, int index, bool lineNumbers) const
{
    QString line = expandTabs(lines[index]);
    if (lineNumbers)
        line = QStringLiteral("%1:").arg(index + 1, 5) + line;
    const int perLine = m_geometry.charactersPerLine;
    if (line.size() > perLine)
        line = line.left(perLine - 1) + kEllipsis;
    return line;
}

QFont TPrinterPainter::deviceFont(const SkinFont& skinFont, int size) const
{
    QFont font(QString::fromLatin1(skinFont.name));
    font.setStyleHint(QLatin1String(skinFont.name) == QLatin1String("Courier New") ? QFont::TypeWriter
                                                                                    : QFont::SansSerif);
    // Set by height: the size in points becomes device pixels of the target.
    font.setPixelSize(std::max(1, ptY(size)));
    font.setBold(skinFont.bold);
    font.setItalic(skinFont.italic);
    return font;
}

int TPrinterPainter::printableBottom() const
{
    const PrinterMetrics& m = m_metrics;
    return m.printableHeight > 0 ? m.printableHeight : m.physicalHeight - m.offsetY;
}

// A band's three texts share one font size. They are drawn at the size asked
// for when they fit beside each other and the band fits in the room between
// the border and the edge of the printable area. Otherwise each text is first
// shortened to the share of the width it is given, but to no fewer than
// kShortestCut characters, and where even that does not fit, the size goes
// down until it does.
TPrinterPainter::BandLayout TPrinterPainter::fitBand(const SkinFont& skinFont, int size,
                                                     const std::array<QString, 3>& texts, int bandWidth,
                                                     int room) const
{
    auto attempt = [&](int trySize, BandLayout& layout) {
        layout.size = trySize;
        layout.height = ptY(trySize + 4) + 1;
        const QFontMetricsF metrics(deviceFont(skinFont, trySize));
        if (std::max<double>(layout.height, ptY(2) + metrics.height()) > room)
            return false;
        return fitBandTexts(texts, metrics, bandWidth, layout.texts);
    };
    BandLayout layout;
    if (attempt(size, layout))
        return layout;
    // The largest size below the one asked for that fits; size 1 when none does.
    int fits = 0, tooLarge = size;
    while (tooLarge - fits > 1) {
        const int middle = fits + (tooLarge - fits) / 2;
        BandLayout candidate;
        if (attempt(middle, candidate)) {
            fits = middle;
            layout = candidate;
        } else {
            tooLarge = middle;
        }
    }
    if (fits == 0)
        attempt(1, layout);
    return layout;
}

bool TPrinterPainter::fitBandTexts(const std::array<QString, 3>& texts, const QFontMetricsF& metrics,
                                   int bandWidth, std::array<QString, 3>& fitted) const
{
    constexpr int kShortestCut = 8;
    const double inset = ptX(3), gap = ptX(6);
    const double width = bandWidth - 2 * inset;
    // Only as much of each text is measured as could ever be drawn.
    std::array<double, 3> need{};
    for (size_t i = 0; i < 3; ++i) {
        fitted[i] = elidedToWidth(texts[i], metrics, width);
        need[i] = texts[i].isEmpty() ? 0 : metrics.horizontalAdvance(fitted[i]);
    }
    const bool left = !texts[0].isEmpty(), centre = !texts[1].isEmpty(), right = !texts[2].isEmpty();
    std::array<double, 3> slot{width, width, width};
    if (centre) {
        // The centre text stays centred on the band, so both sides get the
        // same room beside it.
        const double side = std::max(left ? need[0] : 0.0, right ? need[2] : 0.0);
        const double sideRoom = (left || right) ? side + gap : 0.0;
        slot[1] = std::min(need[1], std::max(width - 2 * sideRoom, width / 3));
        slot[0] = slot[2] = (width - slot[1]) / 2 - gap;
    } else if (left && right && need[0] + gap + need[2] > width) {
        const double half = (width - gap) / 2;
        slot[0] = need[2] < half ? width - gap - need[2] : need[0] < half ? need[0] : half;
        slot[2] = width - gap - slot[0];
    }
    for (size_t i = 0; i < 3; ++i) {
        if (texts[i].isEmpty() || need[i] <= slot[i])
            continue;
        if (slot[i] <= 0)
            return false;
        fitted[i] = elidedToWidth(texts[i], metrics, slot[i]);
        const qsizetype kept = fitted[i].size() - 1; // before the ellipsis
        if (kept < std::min<qsizetype>(kShortestCut, texts[i].size()))
            return false;
    }
    return true;
}

void TPrinterPainter::drawBand(QPainter& painter, const PageRect& band, const SkinFont& skinFont,
                               const BandLayout& layout)
{
    const QFont font = deviceFont(skinFont, layout.size);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(skinFont.colour));
    const double width = band.width();
    const double baseline = band.top + ptY(2) + metrics.ascent();
    for (int i = 0; i < 3; ++i) {
        const QString& text = layout.texts[size_t(i)];
        if (text.isEmpty())
            continue;
        const double textWidth = metrics.horizontalAdvance(text);
        double x = band.left + ptX(3);
        if (i == 1)
            x = std::max<double>(band.left, band.left + (width - textWidth) / 2);
        else if (i == 2)
            x = std::max<double>(band.left, band.right - ptX(3) - textWidth);
        painter.drawText(QPointF(x, baseline), text);
    }
}

void TPrinterPainter::drawBody(QPainter& painter, const PageContent& content, bool preview)
{
    if (content.picture) {
        drawPicture(painter, *content.picture, preview);
        return;
    }
    const PrinterSkin& s = kPrinterSkins[size_t(m_skin - 1)];
    const QFont font = deviceFont(s.body, m_bodySize);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(s.body.colour));
    const PageGeometry& g = m_geometry;
    const int first = (content.page - 1) * g.linesPerPage;
    const int last = std::min<int>(content.page * g.linesPerPage, int(content.lines->size()));
    const double textWidth = g.text.right - g.text.left + 1;
    const int firstLineTop = g.text.top + ptY(2);
    const double ascent = metrics.ascent();
    // The preview draws character by character on the printer's grid, so it
    // breaks lines where paper does whatever the screen font's widths. The
    // grid's columns are the same on every line (pageLine cuts each line to
    // charactersPerLine), and a space leaves no mark, so none is drawn.
    std::vector<double> columns;
    if (preview) {
        columns.resize(size_t(g.charactersPerLine));
        for (int i = 0; i < g.charactersPerLine; ++i)
            columns[size_t(i)] = g.text.left + roundHalfEven(double(i) * textWidth / g.charactersPerLine);
    }
    QString glyph(1, QChar());
    for (int index = first; index < last; ++index) {
        const QString line = elidedToWidth(pageLine(*content.lines, index, content.lineNumbers), metrics, textWidth);
        const double baseline = firstLineTop + (index - first) * g.lineHeight + ascent;
        if (!preview) {
            painter.drawText(QPointF(g.text.left, baseline), line);
            continue;
        }
        Q_ASSERT(size_t(line.size()) <= columns.size());
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] == QLatin1Char(' '))
                continue;
            glyph[0] = line[i];
            painter.drawText(QPointF(columns[size_t(i)], baseline), glyph);
        }
    }
}

void TPrinterPainter::drawPicture(QPainter& painter, const QImage& picture, bool preview)
{
    const PageRect place = fittedPictureRect(picture.size(), m_geometry.text);
    if (place.width() <= 0 || place.height() <= 0)
        return;
    if (!preview) {
        // A PDF would otherwise carry the picture as JPEG, and a printed
        // picture is often one whose exact colours matter.
        painter.save();
        painter.setRenderHint(QPainter::LosslessImageRendering, true);
        painter.drawImage(toRectF(place), picture);
        painter.restore();
        return;
    }
    // The preview's pixels: scale the picture to exactly these once, then
    // only copy it on later refreshes.
    const QRect onPreview = painter.transform().mapRect(toRectF(place)).toAlignedRect();
    if (onPreview.isEmpty())
        return;
    if (m_scaledKey != picture.cacheKey() || m_scaledSize != onPreview.size()) {
        m_scaled = picture.scaled(onPreview.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaledKey = picture.cacheKey();
        m_scaledSize = onPreview.size();
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(onPreview.topLeft(), m_scaled);
    painter.restore();
}

void TPrinterPainter::drawBorderBars(QPainter& painter)
{
    const PrinterSkin& s = kPrinterSkins[size_t(m_skin - 1)];
    const PageGeometry& g = m_geometry;
    const QColor colour = QColor::fromRgb(s.border);
    auto bar = [&](bool on, int left, int top, int right, int bottom) {
        if (on && right > left && bottom > top)
            painter.fillRect(QRectF(left, top, right - left, bottom - top), colour);
    };
    bar(s.barLeft, g.outer.left, g.outer.top, g.border.left, g.outer.bottom);
    bar(s.barRight, g.border.right, g.outer.top, g.outer.right, g.outer.bottom);
    bar(s.barTop, g.outer.left, g.outer.top, g.outer.right, g.border.top);
    bar(s.barBottom, g.outer.left, g.border.bottom, g.outer.right, g.outer.bottom);
}

void TPrinterPainter::drawPage(QPainter& painter, const PageContent& content, bool preview)
{
    const PrinterSkin& s = kPrinterSkins[size_t(m_skin - 1)];
    const PageGeometry& g = m_geometry;
    painter.fillRect(toRectF(g.outer), QColor::fromRgb(s.interior));

    PageTexts texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = expandPrintCodes((*content.texts)[i], content.page, content.pageCount, content.stamp);

    const int bandLeft = g.outer.left, bandRight = g.outer.right + 1;
    const BandLayout head = fitBand(s.header, m_headerSize, {texts[0], texts[1], texts[2]}, bandRight - bandLeft,
                                    g.outer.top);
    const PageRect header{bandLeft, g.outer.top - head.height, bandRight, g.outer.top};
    painter.fillRect(toRectF(header), QColor::fromRgb(s.headerBand));
    drawBand(painter, header, s.header, head);

    const BandLayout foot = fitBand(s.footer, m_footerSize, {texts[3], texts[4], texts[5]}, bandRight - bandLeft,
                                    printableBottom() - g.outer.bottom);
    const PageRect footer{bandLeft, g.outer.bottom, bandRight, g.outer.bottom + foot.height};
    painter.fillRect(toRectF(footer), QColor::fromRgb(s.footerBand));
    drawBand(painter, footer, s.footer, foot);

    drawBody(painter, content, preview);
    drawBorderBars(painter);
}

bool TPrinterPainter::beginPreview(QImage& preview, const QSize& area, QPainter& painter)
{
    const QSize size = area.expandedTo(QSize(1, 1));
    if (!RefreshMetrics()) {
        preview = QImage(size, QImage::Format_RGB888);
        preview.fill(Qt::red);
        painter.begin(&preview);
        painter.setPen(Qt::black);
        painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
        QFont font = pictureFont(QStringLiteral("Arial"), 14, true);
        painter.setFont(font);
        painter.drawText(QPointF(10, 10 + QFontMetricsF(font).ascent()), QStringLiteral("Invalid Printer"));
        painter.end();
        return false;
    }
    // The whole sheet, its proportions in inches kept, as large as fits.
    const PrinterMetrics& m = m_metrics;
    const double widthInches = double(m.physicalWidth) / m.dpiX;
    const double heightInches = double(m.physicalHeight) / m.dpiY;
    const double perInch = std::min(size.width() / widthInches, size.height() / heightInches);
    const QSize page(std::max(1, int(roundHalfEven(widthInches * perInch))),
                     std::max(1, int(roundHalfEven(heightInches * perInch))));
    preview = QImage(page, QImage::Format_RGB888);
    preview.fill(Qt::white);
    painter.begin(&preview);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, page.width() - 1, page.height() - 1);
    const double sx = double(page.width()) / m.physicalWidth;
    const double sy = double(page.height()) / m.physicalHeight;
    painter.scale(sx, sy);
    painter.translate(m.offsetX, m.offsetY);
    return true;
}

void TPrinterPainter::PreviewTextPage(QImage& preview, const QSize& area, int page, bool lineNumbers,
                                      const PageTexts& texts, const QDateTime& stamp, const QStringList& lines)
{
    QPainter painter;
    if (!beginPreview(preview, area, painter))
        return;
    PageContent content;
    content.pageCount = PageCount(int(lines.size()));
    content.page = std::clamp(page, 1, std::max(1, content.pageCount));
    content.texts = &texts;
    content.stamp = stamp;
    content.lines = &lines;
    content.lineNumbers = lineNumbers;
    drawPage(painter, content, true);
}

void TPrinterPainter::PreviewFittedPicture(QImage& preview, const QSize& area, const PageTexts& texts,
                                           const QDateTime& stamp, const QImage& picture)
{
    QPainter painter;
    if (!beginPreview(preview, area, painter))
        return;
    PageContent content;
    content.texts = &texts;
    content.stamp = stamp;
    content.picture = &picture;
    drawPage(painter, content, true);
}

// Every job lays its pages out on the target's metrics as they are now.
Outcome TPrinterPainter::startJob()
{
    if (RefreshMetrics())
        return {};
    return fail(QStringLiteral("%1 is not a printer that can print.").arg(m_targetName));
}

Outcome TPrinterPainter::runJob(const std::vector<int>& pages, const std::function<void(QPainter&, int)>& drawOne)
{
    if (!m_target)
        return fail(QStringLiteral("No printer is selected."));
    QPainter painter;
    if (!painter.begin(m_target))
        return fail(QStringLiteral("Cannot start printing on %1.").arg(m_targetName));
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !m_target->newPage()) {
            painter.end();
            return fail(QStringLiteral("Printing on %1 stopped after %2 pages.").arg(m_targetName).arg(i));
        }
        drawOne(painter, pages[i]);
    }
    const bool ended = painter.end();
    const auto* printer = dynamic_cast<const QPrinter*>(m_target);
    if (!ended || (printer && (printer->printerState() == QPrinter::Error
                               || printer->printerState() == QPrinter::Aborted)))
        return fail(QStringLiteral("%1 did not accept the print job.").arg(m_targetName));
    return {};
}

Outcome TPrinterPainter::PrintTextPages(const QStringList& lines, int firstPage, int lastPage, int copies,
                                        bool collate, bool lineNumbers, const PageTexts& texts, const QDateTime& stamp)
{
    if (Outcome started = startJob(); !started)
        return started;
    if (lines.isEmpty())
        return {};
    const int pageCount = PageCount(int(lines.size()));
    const std::vector<int> pages =
        printPageOrder(std::max(1, firstPage), std::min(pageCount, lastPage), std::max(1, copies), collate);
    if (pages.empty())
        return {};
    return runJob(pages, [&](QPainter& painter, int page) {
        PageContent content;
        content.page = page;
        content.pageCount = pageCount;
        content.texts = &texts;
        content.stamp = stamp;
        content.lines = &lines;
        content.lineNumbers = lineNumbers;
        drawPage(painter, content, false);
    });
}

Outcome TPrinterPainter::PrintAllText(const QStringList& lines, int copies, bool collate, bool lineNumbers,
                                      const PageTexts& texts, const QDateTime& stamp)
{
    RefreshMetrics();
    return PrintTextPages(lines, 1, PageCount(int(lines.size())), copies, collate, lineNumbers, texts, stamp);
}

Outcome TPrinterPainter::PrintFittedPicture(const QImage& picture, int copies, const PageTexts& texts,
                                            const QDateTime& stamp)
{
    if (Outcome started = startJob(); !started)
        return started;
    if (picture.width() <= 0 || picture.height() <= 0)
        return {};
    return runJob(printPageOrder(1, 1, std::max(1, copies), true), [&](QPainter& painter, int) {
        PageContent content;
        content.texts = &texts;
        content.stamp = stamp;
        content.picture = &picture;
        drawPage(painter, content, false);
    });
}

QPageLayout localePageLayout(QPageLayout::Orientation orientation)
{
    const QLocale::Country country = QLocale::system().territory();
    const bool letter = country == QLocale::UnitedStates || country == QLocale::Canada || country == QLocale::Mexico
        || country == QLocale::Chile || country == QLocale::Colombia || country == QLocale::Philippines
        || country == QLocale::Venezuela;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0));
}

Result<QByteArray> renderPdf(const QPageLayout& layout, const QString& title, int dpi, const PrintJob& job)
{
    // In memory: the file, if any, is written whole through the safe writer.
    QBuffer document;
    document.open(QBuffer::WriteOnly);
    Outcome drawn;
    {
        QPdfWriter writer(&document);
        writer.setResolution(dpi);
        writer.setPageLayout(layout);
        writer.setCreator(QStringLiteral("Ostrel"));
        writer.setTitle(title);
        drawn = job(writer);
    }
    if (!drawn)
        return fail(drawn.error());
    return document.data();
}

Outcome printToPdfFile(const QString& path, const QPageLayout& layout, const QString& title, int dpi,
                       const PrintJob& job)
{
    const Result<QByteArray> document = renderPdf(layout, title, dpi, job);
    if (!document)
        return fail(document.error().isEmpty() ? QStringLiteral("Cannot write %1.").arg(path) : document.error());
    return writeFileAtomically(path, *document);
}

} // namespace ostrel
