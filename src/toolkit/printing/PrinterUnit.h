// SPDX-License-Identifier: Apache-2.0
#pragma once
// The page painter: lays pages out in a printer's device pixels and draws
// them, on paper (any QPagedPaintDevice: a QPrinter or a QPdfWriter) or scaled
// down on a preview picture. Every page goes through one drawing routine, so
// preview and paper cannot drift apart. No widget code lives here, so the
// command line can print too.
#include "util/Result.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QFontMetricsF;
class QPagedPaintDevice;
class QPainter;

namespace ostrel {

// A printer's page in its own device pixels.
struct PrinterMetrics {
    bool valid = false;
    int physicalWidth = 0;
    int printableWidth = 0;
    int offsetX = 0; // left edge of the printable area on the sheet
    int dpiX = 0;
    int physicalHeight = 0;
    int printableHeight = 0;
    int offsetY = 0;
    int dpiY = 0;
};

// The metrics of a QPrinter or QPdfWriter; invalid when the device is not
// ready to print (an unknown queue) or reports an empty sheet.
PrinterMetrics metricsOfDevice(const QPagedPaintDevice& device);

struct SkinFont {
    const char* name;
    int size;
    QRgb colour;
    bool bold;
    bool italic;
};

struct PrinterSkin {
    const char* name;
    bool barLeft, barRight, barTop, barBottom;
    double marginLeft, marginRight, marginTop, marginBottom; // inches
    double borderWidth, textInset;                           // points
    QRgb border, interior, headerBand, footerBand;
    SkinFont header, footer, body;
};

inline constexpr int kSkinCount = 9;
// Skin k (1-based) is kPrinterSkins[k - 1].
extern const std::array<PrinterSkin, kSkinCount> kPrinterSkins;
// The skin's name for 1..9, empty otherwise.
QString skinName(int skin);

// Header and footer texts in page order: upper left, centre, right, then
// lower left, centre, right.
using PageTexts = std::array<QString, 6>;

// Expands &P (page), &# (pages), &D (date), &T (time), &W (time and date)
// and && in a header or footer text; the letter may be of either case. Any
// other "&" is kept as it is, including one at the very end.
QString expandPrintCodes(const QString& text, int page, int pageCount, const QDateTime& stamp);

// The pages one job prints, in order: the range copies times over when
// collating, each page copies times in a row otherwise.
std::vector<int> printPageOrder(int firstPage, int lastPage, int copies, bool collate);

// Left, top, right and bottom edges in device pixels, with the printable
// area's corner as origin; right and bottom lie just outside.
struct PageRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct PageGeometry {
    PageRect outer;  // inside the margins, filled with the interior colour
    PageRect border; // inner edge of the border bars
    PageRect text;   // where the body goes
    int lineHeight = 1;
    int linesPerPage = 1;
    int charactersPerLine = 1;
};

// Where a picture of that size goes in the box: as large as fits with its
// proportions kept, centred.
PageRect fittedPictureRect(const QSize& picture, const PageRect& box);

class TPrinterPainter {
public:
    // Skin 1 at font size 12, and no target.
    TPrinterPainter();

    // The device pages are read from and printed on; not owned. `name`
    // (printer or file) is what error messages call it.
    void setTarget(QPagedPaintDevice* device, const QString& name);
    // Metrics that stand in for any target's, so pages can be laid out
    // without a printer.
    void setFixedMetrics(const PrinterMetrics& metrics);

    bool RefreshMetrics();
    void SetSkin(int skin, int fontSize);
    int PageCount(int lineCount) const;

    int skin() const { return m_skin; }
    const PrinterMetrics& metrics() const { return m_metrics; }
    const PageGeometry& geometry() const { return m_geometry; }
    int headerSize() const { return m_headerSize; }
    int footerSize() const { return m_footerSize; }
    int bodySize() const { return m_bodySize; }

    // pt(v) in device pixels of the current metrics, across and down.
    int ptX(double points) const;
    int ptY(double points) const;

    // Line `index` (0-based within `lines`) as it appears on a page: tabs
    // expanded, the number in front when asked, cut to characters per line.
    QString pageLine(const QStringList& lines, int index, bool lineNumbers) const;

    // Previews: the picture becomes the scaled page (or the "Invalid
    // Printer" box when there is no valid printer).
    void PreviewTextPage(QImage& preview, const QSize& area, int page, bool lineNumbers, const PageTexts& texts,
                         const QDateTime& stamp, const QStringList& lines);
    void PreviewFittedPicture(QImage& preview, const QSize& area, const PageTexts& texts, const QDateTime& stamp,
                              const QImage& picture);

    // Print jobs on the target. A failure says why the system refused the
    // job; nothing to print is no error.
    Outcome PrintTextPages(const QStringList& lines, int firstPage, int lastPage, int copies, bool collate,
                           bool lineNumbers, const PageTexts& texts, const QDateTime& stamp);
    Outcome PrintAllText(const QStringList& lines, int copies, bool collate, bool lineNumbers, const PageTexts& texts,
                         const QDateTime& stamp);
    Outcome PrintFittedPicture(const QImage& picture, int copies, const PageTexts& texts, const QDateTime& stamp);

private:
    struct PageContent;
    // A header or footer band as it is drawn: its texts, their size and the
    // band's height in device pixels.
    struct BandLayout {
        int size = 1;
        int height = 1;
        std::array<QString, 3> texts;
    };
    void computeGeometry();
    int printableBottom() const;
    BandLayout fitBand(const SkinFont& font, int size, const std::array<QString, 3>& texts, int bandWidth,
                       int room) const;
    bool fitBandTexts(const std::array<QString, 3>& texts, const QFontMetricsF& metrics, int bandWidth,
                      std::array<QString, 3>& fitted) const;
    void drawPage(QPainter& painter, const PageContent& content, bool preview);
    void drawBand(QPainter& painter, const PageRect& band, const SkinFont& font, const BandLayout& layout);
    void drawBody(QPainter& painter, const PageContent& content, bool preview);
    void drawPicture(QPainter& painter, const QImage& picture, bool preview);
    void drawBorderBars(QPainter& painter);
    bool beginPreview(QImage& preview, const QSize& area, QPainter& painter);
    Outcome startJob();
    Outcome runJob(const std::vector<int>& pages, const std::function<void(QPainter&, int)>& drawOne);
    QFont deviceFont(const SkinFont& font, int size) const;

    QPagedPaintDevice* m_target = nullptr;
    QString m_targetName;
    PrinterMetrics m_fixedMetrics;
    PrinterMetrics m_metrics;
    PageGeometry m_geometry;
    int m_skin = 1;
    int m_headerSize = 12;
    int m_footerSize = 12;
    int m_bodySize = 12;

    // The preview's picture, scaled once per preview size rather than on
    // every refresh.
    qint64 m_scaledKey = 0;
    QSize m_scaledSize;
    QImage m_scaled;
};

// Draws a whole job on the device it is given, or says why the job failed.
using PrintJob = std::function<Outcome(QPagedPaintDevice&)>;

// A PDF document of `title` drawn by `job`, which prints on the device it is
// given; the job's failure when it fails.
Result<QByteArray> renderPdf(const QPageLayout& layout, const QString& title, int dpi, const PrintJob& job);

// Writes a PDF with `job` through the safe writer: the file appears only when
// the whole job succeeded and every byte reached the disk (an existing file is
// replaced in one step). A failure names the file and the reason.
Outcome printToPdfFile(const QString& path, const QPageLayout& layout, const QString& title, int dpi,
                       const PrintJob& job);

// The page layout of the locale's paper (Letter where that is the custom,
// A4 elsewhere), portrait, with no margins: a PDF page is printable edge to
// edge.
QPageLayout localePageLayout(QPageLayout::Orientation orientation = QPageLayout::Portrait);

inline constexpr int kPdfResolution = 600;

} // namespace ostrel
