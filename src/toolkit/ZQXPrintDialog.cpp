// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXPrintDialog.h"

#include "toolkit/WindowStacking.h"

#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXSuperSpin.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"
#include "toolkit/ZoomRules.h"
#include "toolkit/printing/PrintJobs.h"
#include "toolkit/printing/PrintQueue.h"
#include "util/Text.h"
#include "util/Fonts.h"
#include "util/StandardUnit.h"

#include "ToolkitShared.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QVBoxLayout>

namespace ostrel {

namespace {

constexpr int kBaseWidth = 400;
constexpr int kBaseHeight = 235;
constexpr int kMinWidth = 600;
constexpr int kMinHeight = 380;
constexpr int kBaseButtonHeight = 26;
constexpr int kButtonWidth = 89;
constexpr int kButtonFontSize = 10;
constexpr int kOptionGap = 10;

const char* const kHelpText = "Help on Print Dialog\r\n"
                              "\r\n"
                              "F1\t: This HELP dialog.\r\n"
                              "Ctrl-C\t: Copy the page preview to the clipboard.\r\n"
                              "Page Up\t: Show the previous page of a text.\r\n"
                              "Page Down\t: Show the next page of a text.\r\n"
                              "Home\t: Show the first page of a text.\r\n"
                              "End\t: Show the last page of a text.\r\n"
                              "\r\n"
                              "This window shows the page as it will be printed.\r\n";

struct TextButtonRow {
    const char* caption;
    const char* objectName;
    Defined_Resource glyph;
    const char* positionName;
};

// In the order of TForm_Print::TextPosition.
constexpr std::array<TextButtonRow, 6> kTextButtons = {{
    {"Left", "UpperLeft", BMP_Arrow_UL, "Upper Left"},
    {"Center", "UpperCenter", BMP_Arrow_U, "Upper Center"},
    {"Right", "UpperRight", BMP_Arrow_UR, "Upper Right"},
    {"Left", "LowerLeft", BMP_Arrow_DL, "Lower Left"},
    {"Center", "LowerCenter", BMP_Arrow_D, "Lower Center"},
    {"Right", "LowerRight", BMP_Arrow_DR, "Lower Right"},
}};

// "Edit Upper Left Text": the entry window's prompt and the button's name.
QString textPrompt(const TextButtonRow& row)
{
    return QStringLiteral("Edit %1 Text").arg(QLatin1String(row.positionName));
}

bool isPlain(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
}

QString withPdfSuffix(const QString& fileName)
{
    if (QFileInfo(fileName).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        return fileName;
    return fileName + QStringLiteral(".pdf");
}

QString askPdfFileNameWithDialog(QWidget* parent)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Print to File (PDF)"), QString(),
                                        QStringLiteral("PDF Files (*.pdf)"));
}

// A message that names a file is text: markup in the name is shown as typed
// and a line break in it cannot fake a line of its own.
void showPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& message)
{
    QMessageBox box(icon, QStringLiteral("Print"), message, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QWidget* makeBar(QWidget* parent)
{
    auto* bar = new QFrame(parent);
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return bar;
}

template <typename Button>
Button* makeGlyphButton(QWidget* parent, const char* caption, const char* objectName, Defined_Resource glyph,
                        const QString& hint)
{
    auto* button = new Button(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setFont(pictureFont(QStringLiteral("Arial"), kButtonFontSize, false));
    button->setBaseFontSize(kButtonFontSize);
    button->setResource(glyph);
    button->setText(QString::fromLatin1(caption));
    button->setToolTip(hint);
    button->resize(kButtonWidth, kBaseButtonHeight);
    return button;
}

} // namespace

PrintZoomSizes printZoomSizes(int zoom, const QSize& screen, const QSize& frameExtra)
{
    const auto buttonHeight = [](int z) { return zoomScaled(kBaseButtonHeight, z); };
    const auto window = [&](int z) {
        return QSize(std::max(kMinWidth, zoomScaled(kBaseWidth, z)) + frameExtra.width(),
                     std::max(kMinHeight, zoomScaled(kBaseHeight, z)) + 2 * (buttonHeight(z) + 4) + frameExtra.height());
    };
    const int heightLimit = screen.height() - 75;
    const int z = fittedZoom(zoomFloor(zoom), 100, kBaseHeight, heightLimit - frameExtra.height(), [&](int trial) {
        const QSize trialWindow = window(trial);
        return trialWindow.width() < screen.width() - 50 && trialWindow.height() < heightLimit;
    });
    PrintZoomSizes s{};
    s.zoom = z;
    s.buttonHeight = buttonHeight(z);
    s.window = window(z);
    s.topLeft = QPoint(std::max(0, screen.width() / 2 - s.window.width() / 2),
                       std::max(0, screen.height() / 2 - s.window.height() / 2 - 75));
    s.listFontSize = zoomScaled(12, z);
    s.barFontSize = zoomScaled(12, z);
    s.spinFontSize = zoomScaled(10, z);
    s.presetWidth = zoomScaled(25, z);
    s.valueBoxWidth = zoomScaled(50, z);
    s.spinnerWidth = zoomScaled(30, z);
    return s;
}

TForm_Print::TForm_Print(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , askPdfFileName(askPdfFileNameWithDialog)
    , notify([this](const PrintNotice& notice) { showNotice(notice); })
{
    setObjectName(QStringLiteral("Form_Print"));
    setWindowTitle(QStringLiteral("Print"));
    resize(kBaseWidth, 300);

    buildTopBar();
    buildBottomBar();
    buildRightColumn();
    buildOptions();
    connectControls();

    refillPrinterList();
    setZoom(100);
    clearSource();
}

TForm_Print::~TForm_Print() = default;

// The Setup button and the list of printers.
void TForm_Print::buildTopBar()
{
    m_topBar = makeBar(this);
    m_setup = makeGlyphButton<TZQXZoomBitBtn>(m_topBar, "Setup", "Setup", BMP_Printer_Setup,
                                              QStringLiteral("Call traditional Print Setup dialog"));
    m_setup->setAutoDefault(false);
    m_printerList = new QComboBox(m_topBar);
    m_printerList->setObjectName(QStringLiteral("PrinterList"));
    m_printerList->setFont(pictureFont(QStringLiteral("Arial"), 10, false));
    m_printerList->setMaxVisibleItems(8);
    // The list has no label beside it; the Setup button is its neighbour.
    m_printerList->setAccessibleName(QStringLiteral("Printer"));
}

// Print All, Print Page, Cancel and Copy.
void TForm_Print::buildBottomBar()
{
    m_bottomBar = makeBar(this);
    m_printAll = makeGlyphButton<TZQXZoomBitBtn>(m_bottomBar, "Print All", "PrintAll", BMP_Printer,
                                                 QStringLiteral("Print entire document"));
    m_printPage = makeGlyphButton<TZQXZoomBitBtn>(m_bottomBar, "Print Page", "PrintPage", BMP_Printer,
                                                  QStringLiteral("Print current page"));
    m_cancel = makeGlyphButton<TZQXZoomBitBtn>(m_bottomBar, "Cancel", "Cancel", BMP_Cancel,
                                               QStringLiteral("Cancel print operation"));
    m_copy = makeGlyphButton<TZQXZoomBitBtn>(m_bottomBar, "Copy", "Copy", BMP_Edit_Copy,
                                             QStringLiteral("Copy preview image to clipboard"));
    for (TZQXZoomBitBtn* b : {m_printAll, m_printPage, m_cancel, m_copy})
        b->setAutoDefault(false);
    // Enter prints what the preview shows, as Print Page does; Escape cancels.
    m_printPage->setDefault(true);
}

// The page's own column, top to bottom: the orientation, the header texts,
// the preview and the footer texts.
void TForm_Print::buildRightColumn()
{
    m_rightColumn = new QWidget(this);
    m_orientationBar = makeBar(m_rightColumn);
    m_portrait = makeGlyphButton<TZQXZoomSpeedButton>(m_orientationBar, "Portrait", "Portrait", BMP_Print_Portrait,
                                                      QStringLiteral("Paper Orientation: Portrait"));
    m_landscape = makeGlyphButton<TZQXZoomSpeedButton>(m_orientationBar, "Landscape", "Landscape",
                                                       BMP_Print_Landscape,
                                                       QStringLiteral("Paper Orientation: Landscape"));
    for (TZQXZoomSpeedButton* b : {m_portrait, m_landscape}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    m_headerBar = makeBar(m_rightColumn);
    m_footerBar = makeBar(m_rightColumn);
    for (size_t i = 0; i < kTextButtons.size(); ++i) {
        const TextButtonRow& row = kTextButtons[i];
        m_textButtons[i] = makeGlyphButton<TZQXZoomSpeedButton>(i < 3 ? m_headerBar : m_footerBar, row.caption,
                                                                row.objectName, row.glyph,
                                                                QStringLiteral("Edit: ") + QLatin1String(row.caption));
        m_textButtons[i]->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        // "Left" is there twice, in the header and the footer bar; the
        // spoken name says which text the button edits.
        m_textButtons[i]->setAccessibleName(textPrompt(row));
    }
    m_previewArea = new QLabel(m_rightColumn);
    m_previewArea->setObjectName(QStringLiteral("Preview"));
    m_previewArea->setAlignment(Qt::AlignCenter);
    m_previewArea->setStyleSheet(QStringLiteral("QLabel { background: #ffff00; border: 1px solid black; }"));
    m_previewArea->setMinimumSize(1, 1);

    // The bars keep the zoom's height (layoutBars); the preview takes the rest.
    auto* column = new QVBoxLayout(m_rightColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->setSizeConstraint(QLayout::SetNoConstraint);
    column->addWidget(m_orientationBar);
    column->addWidget(m_headerBar);
    column->addWidget(m_previewArea, 1);
    column->addWidget(m_footerBar);
}

// The option controls, stacked from the top left in this order; hidden ones
// take no room.
void TForm_Print::buildOptions()
{
    m_options = new QWidget(this);
    struct SpinRow {
        TZQXSuperSpin** spin;
        const char* objectName;
        const char* caption;
        int min, max, initial, step;
        const char* hint;
    };
    const SpinRow spins[] = {
        {&m_copies, "Copies", "Copies", 1, 1000, 1, 10, "Select number of copies of the document to print"},
        {&m_fontSize, "FontSize", "Font Size", 6, 144, 12, 4, "Select size of printed text style"},
        {&m_skin, "SkinStyle", "Skin Style", 1, 9, 1, 5, "Select page layout style"},
        {&m_page, "PageNumber", "Page Number", 1, 2, 1, 10, "Select individual page to preview"},
    };
    for (const SpinRow& row : spins) {
        auto* spin = new TZQXSuperSpin(m_options);
        spin->setObjectName(QLatin1String(row.objectName));
        spin->setFont(pictureFont(QStringLiteral("Arial"), 10, false));
        spin->setMinValue(row.min);
        spin->setMaxValue(row.max);
        spin->setValue(row.initial);
        spin->setValuesButtons(QString::number(row.initial));
        spin->setValuesSpinners(QString::number(row.step));
        spin->setCaption(QString::fromLatin1(row.caption));
        spin->setToolTip(QString::fromLatin1(row.hint));
        *row.spin = spin;
    }
    m_collate = new QCheckBox(QStringLiteral("Collate Pages"), m_options);
    m_collate->setObjectName(QStringLiteral("CollatePages"));
    m_collate->setChecked(true);
    m_collate->setToolTip(QStringLiteral("Print multiple documents sequentially"));
    m_lineNumbers = new QCheckBox(QStringLiteral("Line Numbers"), m_options);
    m_lineNumbers->setObjectName(QStringLiteral("LineNumbers"));
    m_lineNumbers->setToolTip(QStringLiteral("Add sequence numbers to beginning of each line"));
    for (QCheckBox* box : {m_collate, m_lineNumbers})
        box->setFont(pictureFont(QStringLiteral("Arial"), 10, false));

    auto* stack = new QVBoxLayout(m_options);
    stack->setContentsMargins(kOptionGap, kOptionGap, 0, 0);
    stack->setSpacing(kOptionGap);
    stack->setSizeConstraint(QLayout::SetNoConstraint);
    for (QWidget* control : std::initializer_list<QWidget*>{m_copies, m_fontSize, m_skin, m_page, m_collate,
                                                            m_lineNumbers})
        stack->addWidget(control, 0, Qt::AlignLeft | Qt::AlignTop);
    stack->addStretch(1);
}

void TForm_Print::connectControls()
{
    connect(m_copies, &TZQXSuperSpin::changed, this, &TForm_Print::recount);
    connect(m_fontSize, &TZQXSuperSpin::changed, this, &TForm_Print::skinChanged);
    connect(m_skin, &TZQXSuperSpin::changed, this, &TForm_Print::skinChanged);
    connect(m_page, &TZQXSuperSpin::changed, this, &TForm_Print::refreshPreview);
    connect(m_collate, &QCheckBox::toggled, this, &TForm_Print::refreshPreview);
    connect(m_lineNumbers, &QCheckBox::toggled, this, &TForm_Print::refreshPreview);
    connect(m_printAll, &QPushButton::clicked, this, &TForm_Print::printAll);
    connect(m_printPage, &QPushButton::clicked, this, &TForm_Print::printPage);
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(m_copy, &QPushButton::clicked, this, &TForm_Print::copyPreview);
    connect(m_setup, &QPushButton::clicked, this, &TForm_Print::runSetup);
    connect(m_portrait, &QToolButton::clicked, this, [this] { setOrientation(false); });
    connect(m_landscape, &QToolButton::clicked, this, [this] { setOrientation(true); });
    connect(m_printerList, &QComboBox::activated, this, &TForm_Print::printerChosen);
    for (size_t i = 0; i < m_textButtons.size(); ++i) {
        const int position = int(i);
        connect(m_textButtons[i], &QToolButton::clicked, this, [this, position] { editText(position); });
    }
}

void TForm_Print::setTextSource(const QStringList& lines)
{
    m_mode = Mode::Text;
    m_lines = lines;
    m_picture = QImage();
}

void TForm_Print::setPictureSource(const QImage& picture)
{
    m_mode = Mode::Picture;
    m_lines.clear();
    m_picture = picture;
}

void TForm_Print::clearSource()
{
    m_mode = Mode::None;
    m_lines.clear();
    m_picture = QImage();
}

void TForm_Print::setZoom(int percent)
{
    const int zoom = zoomFloor(percent);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    const QSize frameExtra = frameGeometry().size() - size();
    const PrintZoomSizes s = printZoomSizes(zoom, toolkitScreenSize(), frameExtra);
    m_buttonHeight = s.buttonHeight;
    resize(s.window - frameExtra);
    move(s.topLeft);
    QFont listFont = m_printerList->font();
    setFontPoints(listFont, s.listFontSize);
    m_printerList->setFont(listFont);
    QFont barFont = m_topBar->font();
    setFontPoints(barFont, s.barFontSize);
    m_topBar->setFont(barFont);
    // Their sizes come from layoutBars() below.
    for (TZQXZoomBitBtn* b : {m_setup, m_printAll, m_printPage, m_cancel, m_copy})
        b->setZoom(s.zoom);
    for (TZQXZoomSpeedButton* b : {m_portrait, m_landscape})
        b->setZoom(s.zoom);
    for (TZQXZoomSpeedButton* b : m_textButtons)
        b->setZoom(s.zoom);
    for (TZQXSuperSpin* spin : {m_copies, m_fontSize, m_skin, m_page}) {
        QFont spinFont = spin->font();
        setFontPoints(spinFont, s.spinFontSize);
        spin->setFont(spinFont);
        spin->setWidthButtons(s.presetWidth);
        spin->setWidthSpinEdit(s.valueBoxWidth);
        spin->setWidthSpinners(s.spinnerWidth);
    }
    for (QCheckBox* box : {m_collate, m_lineNumbers}) {
        QFont boxFont = box->font();
        setFontPoints(boxFont, s.spinFontSize);
        box->setFont(boxFont);
        const QFontMetrics metrics(boxFont);
        box->setFixedSize(metrics.horizontalAdvance(box->text()) + 25, metrics.height() + 5);
    }
    layoutBars();
    layoutOptions();
    applyTabOrder();
}

void TForm_Print::layoutBars()
{
    const int w = width(), h = height();
    const int barHeight = m_buttonHeight + 4;
    const int topHeight = std::max(barHeight, m_printerList->sizeHint().height() + 4);
    m_topBar->setGeometry(0, 0, w, topHeight);
    m_bottomBar->setGeometry(0, h - barHeight, w, barHeight);
    const int bw = (w - 4) / 4;
    const std::array<TZQXZoomBitBtn*, 4> bottom = {m_printAll, m_printPage, m_cancel, m_copy};
    for (int i = 0; i < 4; ++i) {
        const int x = 2 + i * bw;
        bottom[size_t(i)]->setGeometry(x, 2, i < 3 ? bw : w - 2 - x, m_buttonHeight);
    }
    m_setup->setGeometry(2, 2, bw, topHeight - 4);
    m_printerList->setGeometry(bw + 4, 2, std::max(1, w - bw - 6), topHeight - 4);

    const int columnWidth = 2 * bw + 4;
    const int columnHeight = std::max(0, h - topHeight - barHeight);
    m_rightColumn->setGeometry(w - columnWidth, topHeight, columnWidth, columnHeight);
    m_options->setGeometry(0, topHeight, std::max(0, w - columnWidth), columnHeight);

    for (QWidget* bar : {m_orientationBar, m_headerBar, m_footerBar})
        bar->setFixedHeight(barHeight);
    // At once, not when the event loop next runs: the preview is drawn at
    // its area's size right after this.
    m_rightColumn->layout()->setGeometry(m_rightColumn->rect());
    const int half = (columnWidth - 4) / 2;
    m_portrait->setGeometry(2, 2, half, m_buttonHeight);
    m_landscape->setGeometry(2 + half, 2, columnWidth - 4 - half, m_buttonHeight);
    const int third = (columnWidth - 4) / 3;
    for (int i = 0; i < 6; ++i) {
        const int k = i % 3;
        const int x = 2 + k * third;
        m_textButtons[size_t(i)]->setGeometry(x, 2, k < 2 ? third : columnWidth - 2 - x, m_buttonHeight);
    }
}

void TForm_Print::layoutOptions()
{
    // At once, shown or not, so that the controls are in place as soon as
    // the set shown or their sizes change.
    m_options->layout()->setGeometry(m_options->rect());
}

// Tab goes down the window: the printer, the options, the page's own buttons
// on the right, then the print buttons. The spins make their parts anew
// when their caption or size changes, so the order is set after each change.
void TForm_Print::applyTabOrder()
{
    std::vector<QWidget*> order = {m_setup, m_printerList};
    for (TZQXSuperSpin* spin : {m_copies, m_fontSize, m_skin, m_page}) {
        const std::vector<QWidget*> parts = spin->focusParts();
        order.insert(order.end(), parts.begin(), parts.end());
    }
    order.insert(order.end(), {m_collate, m_lineNumbers, m_portrait, m_landscape});
    order.insert(order.end(), m_textButtons.begin(), m_textButtons.end());
    order.insert(order.end(), {m_printAll, m_printPage, m_cancel, m_copy});
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm_Print::refillPrinterList()
{
    const QSignalBlocker blocker(m_printerList);
    m_printerList->clear();
    m_printerList->addItems(installedPrinterNames());
    m_printerList->addItem(QString::fromLatin1(kPrintToFileEntry));
    // Keep the printer in use if it is still there; else the default queue,
    // else the file.
    if (m_printer && m_printerList->findText(m_printerName) >= 0)
        return;
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    if (defaultName.isEmpty() || !selectPrinter(defaultName))
        selectPrinter(QString::fromLatin1(kPrintToFileEntry));
}

bool TForm_Print::selectPrinter(const QString& name)
{
    const QPageLayout::Orientation orientation =
        m_printer ? m_printer->pageLayout().orientation() : QPageLayout::Portrait;
    std::unique_ptr<QPrinter> printer;
    if (name == QLatin1String(kPrintToFileEntry)) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setResolution(kPdfResolution);
        printer->setPageLayout(localePageLayout(orientation));
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(name);
        if (info.isNull())
            return false;
        printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        if (!printer->isValid())
            return false;
        printer->setPageOrientation(orientation);
    }
    m_printer = std::move(printer);
    m_printerName = name;
    m_painter.setTarget(m_printer.get(), name);
    return true;
}

void TForm_Print::printerChosen(int index)
{
    const QString name = m_printerList->itemText(index);
    if (name != m_printerName && !selectPrinter(name))
        say({PrintNotice::Kind::PrinterFailed, name});
    recount();
}

void TForm_Print::runSetup()
{
    if (!m_printer)
        return;
    QPageSetupDialog setup(m_printer.get(), this);
    setup.exec();
    recount();
}

void TForm_Print::setOrientation(bool landscape)
{
    if (!m_printer || !m_painter.RefreshMetrics())
        return;
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    recount();
}

void TForm_Print::prepareForShow()
{
    refillPrinterList();
    const bool text = m_mode == Mode::Text;
    const bool any = m_mode != Mode::None;
    for (QWidget* control : std::initializer_list<QWidget*>{m_copies, m_fontSize, m_skin})
        control->setVisible(any);
    for (QWidget* control : std::initializer_list<QWidget*>{m_page, m_collate, m_lineNumbers})
        control->setVisible(text);
    skinChanged();
}

void TForm_Print::skinChanged()
{
    if (m_updating)
        return;
    m_painter.SetSkin(m_skin->value(), m_fontSize->value());
    m_skin->setToolTip(QStringLiteral("Page Layout Skin Style: ") + skinName(m_painter.skin()));
    recount();
}

void TForm_Print::recount()
{
    if (m_updating)
        return;
    m_updating = true;
    m_painter.RefreshMetrics();
    switch (m_mode) {
    case Mode::Text: {
        const int pages = m_painter.PageCount(int(m_lines.size()));
        m_page->setVisible(pages > 1);
        m_collate->setVisible(pages > 1);
        m_page->setCaption(QStringLiteral("Page (of %1)").arg(pages));
        m_page->setMaxValue(std::max(1, pages));
        m_page->setValue(m_page->value());
        m_collate->setEnabled(pages > 1 && m_copies->value() > 1);
        m_printAll->setEnabled(pages > 1);
        m_printPage->setEnabled(true);
        break;
    }
    case Mode::Picture:
        m_printAll->setEnabled(false);
        m_printPage->setEnabled(true);
        break;
    case Mode::None:
        m_printAll->setEnabled(false);
        m_printPage->setEnabled(false);
        break;
    }
    layoutOptions();
    applyTabOrder();
    m_updating = false;
    refreshPreview();
}

void TForm_Print::refreshPreview()
{
    if (m_updating)
        return;
    {
        const QSignalBlocker blocker(m_printerList);
        m_printerList->setCurrentIndex(m_printerList->findText(m_printerName));
    }
    const bool landscape = m_printer && m_painter.metrics().valid
        && m_printer->pageLayout().orientation() == QPageLayout::Landscape;
    m_landscape->setChecked(landscape);
    m_portrait->setChecked(!landscape);

    const QSize area = m_previewArea->size();
    const QDateTime now = QDateTime::currentDateTime();
    switch (m_mode) {
    case Mode::Text:
        m_painter.PreviewTextPage(m_preview, area, m_page->value(), m_lineNumbers->isChecked(), m_texts, now, m_lines);
        break;
    case Mode::Picture:
        m_painter.PreviewFittedPicture(m_preview, area, m_texts, now, m_picture);
        break;
    case Mode::None:
        m_preview = QImage(area.expandedTo(QSize(1, 1)), QImage::Format_RGB888);
        m_preview.fill(Qt::yellow);
        break;
    }
    m_previewArea->setPixmap(QPixmap::fromImage(m_preview));
}

bool TForm_Print::printWith(const std::function<Outcome(TPrinterPainter&)>& job)
{
    if (!m_printer)
        return false;
    // Files and queues alike: the pages are drawn on the target the job
    // path gives, then the painter goes back to the chosen printer for the
    // preview.
    auto draw = [&](QPagedPaintDevice& device, const QString& name) {
        m_painter.setTarget(&device, name);
        return job(m_painter);
    };
    Outcome printed;
    QString title = m_texts[UpperCenter].isEmpty() ? QStringLiteral("Ostrel") : m_texts[UpperCenter];
    title.replace(QStringLiteral("&&"), QStringLiteral("&"));
    if (m_printerName == QLatin1String(kPrintToFileEntry)) {
        const QString chosen = askPdfFileName ? askPdfFileName(this) : QString();
        if (chosen.isEmpty())
            return false;
        const QString path = withPdfSuffix(chosen);
        printed = printToPdfFile(path, m_printer->pageLayout(), title, kPdfResolution,
                                 [&](QPagedPaintDevice& device) { return draw(device, path); });
    } else {
        printed = printToQueue(m_printerName, m_printer->pageLayout(), title, kPdfResolution,
                               [&](QPagedPaintDevice& device) { return draw(device, m_printerName); });
    }
    m_painter.setTarget(m_printer.get(), m_printerName);
    if (!printed) {
        say({PrintNotice::Kind::PrintFailed, printed.error()});
        return false;
    }
    done(mrOk);
    return true;
}

void TForm_Print::printAll()
{
    if (m_mode != Mode::Text)
        return;
    printWith([this](TPrinterPainter& painter) {
        return painter.PrintAllText(m_lines, m_copies->value(), m_collate->isChecked(), m_lineNumbers->isChecked(),
                                    m_texts, QDateTime::currentDateTime());
    });
}

void TForm_Print::printPage()
{
    if (m_mode == Mode::Text) {
        const int page = m_page->value();
        printWith([this, page](TPrinterPainter& painter) {
            return painter.PrintTextPages(m_lines, page, page, m_copies->value(), m_collate->isChecked(),
                                          m_lineNumbers->isChecked(), m_texts, QDateTime::currentDateTime());
        });
    } else if (m_mode == Mode::Picture) {
        printWith([this](TPrinterPainter& painter) {
            return painter.PrintFittedPicture(m_picture, m_copies->value(), m_texts, QDateTime::currentDateTime());
        });
    }
}

void TForm_Print::copyPreview()
{
    QGuiApplication::clipboard()->setImage(m_preview);
}

void TForm_Print::showHelp()
{
    say({PrintNotice::Kind::Help, QString::fromLatin1(kHelpText)});
}

void TForm_Print::say(const PrintNotice& notice)
{
    if (notify)
        notify(notice);
}

void TForm_Print::showNotice(const PrintNotice& notice)
{
    switch (notice.kind) {
    case PrintNotice::Kind::PrintFailed:
        showPlainMessage(this, QMessageBox::Warning, visibleControls(notice.text));
        return;
    case PrintNotice::Kind::PrinterFailed:
        showPlainMessage(this, QMessageBox::Information,
                         QStringLiteral("Printer Select Failed for\n") + visibleControls(notice.text));
        return;
    case PrintNotice::Kind::Help: {
        TZQXPopupDialog help;
        help.ResetPlacement();
        help.SetFont(QStringLiteral("Arial"), 12, fsBold, Qt::black, palette().color(QPalette::Button));
        help.setZoom(m_zoom);
        help.showHelpText(notice.text, true, QStringLiteral("Help on Print Dialog"));
        return;
    }
    }
}

void TForm_Print::editText(int position)
{
    if (position < 0 || position >= int(m_texts.size()))
        return;
    TZQXEnterDataDialog entry;
    entry.SetText(m_texts[size_t(position)]);
    entry.setZoom(m_textButtons[size_t(position)]->zoom());
    entry.SetButtons(edCancel | edCopy);
    entry.SetPrompt(textPrompt(kTextButtons[size_t(position)]));
    if (!entry.Execute())
        return;
    m_texts[size_t(position)] = entry.GetText();
    refreshPreview();
}

bool TForm_Print::handleShortcut(int key, Qt::KeyboardModifiers modifiers)
{
    const bool plain = isPlain(modifiers);
    const bool control = (modifiers & (Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier;
    if (plain && m_mode == Mode::Text) {
        const int current = m_page->value();
        int wanted = current;
        switch (key) {
        case Qt::Key_PageUp: wanted = current - 1; break;
        case Qt::Key_PageDown: wanted = current + 1; break;
        case Qt::Key_Home: wanted = 1; break;
        case Qt::Key_End: wanted = m_page->maxValue(); break;
        default: break;
        }
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End) {
            m_page->setValue(wanted);
            refreshPreview();
            return true;
        }
    }
    if (control && key == Qt::Key_C) {
        copyPreview();
        return true;
    }
    if (plain && key == Qt::Key_F1) {
        showHelp();
        return true;
    }
    return false;
}

bool TForm_Print::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees keys before the focused control, as a form's shortcut
    // handler does; modal windows opened from here get their keys untouched.
    if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() == this) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return handleShortcut(key->key(), key->modifiers());
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm_Print::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    qApp->installEventFilter(this);
    prepareForShow();
}

void TForm_Print::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void TForm_Print::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutBars();
    if (isVisible())
        refreshPreview();
}

TZQXPrintDialog::TZQXPrintDialog(QObject* parent)
    : QObject(parent)
    , m_form(new TForm_Print)
{
}

TZQXPrintDialog::~TZQXPrintDialog()
{
    delete m_form;
}

bool TZQXPrintDialog::Execute(PageTexts& texts)
{
    m_form->texts() = texts;
    const int result = execInFront(m_form);
    texts = m_form->texts();
    m_form->clearSource();
    return result == mrOk;
}

bool TZQXPrintDialog::ExecuteText(const QStringList& lines, PageTexts& texts)
{
    m_form->setTextSource(lines);
    return Execute(texts);
}

bool TZQXPrintDialog::ExecuteBitmap(const QImage& picture, PageTexts& texts)
{
    m_form->setPictureSource(picture);
    return Execute(texts);
}

bool TZQXPrintDialog::PrintText(const QStringList& lines, const QString& title)
{
    PageTexts texts = standardPageTexts(title);
    return ExecuteText(lines, texts);
}

bool TZQXPrintDialog::PrintBitmap(const QImage& picture, const QString& title)
{
    PageTexts texts = standardPageTexts(title);
    return ExecuteBitmap(picture, texts);
}

int TZQXPrintDialog::zoom() const
{
    return m_form->zoom();
}

void TZQXPrintDialog::setZoom(int percent)
{
    m_form->setZoom(percent);
}

bool PrintBitmapShared(const QImage& picture, const QString& title)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    return sharedDialogs().print()->PrintBitmap(picture, title);
}

} // namespace ostrel
