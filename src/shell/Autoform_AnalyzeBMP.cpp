// SPDX-License-Identifier: Apache-2.0
#include "shell/Autoform_AnalyzeBMP.h"

#include "colour/Census.h"
#include "detect/Verdict.h"
#include "toolkit/BusyCursor.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"
#include "toolkit/ZoomRules.h"
#include "util/Fonts.h"
#include "util/Picture.h"
#include "util/StandardUnit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace ostrel {

namespace {

constexpr int kBaseWidth = 508;
constexpr int kBaseHeight = 350;
constexpr size_t kVerdictPanel = 2;

const GlyphButtonRow kActionRows[] = {
    {"Hide", BMP_Hide, "Hide Embedded Bitmap Analysis Window"},
    {"Copy", BMP_Image_Copy, "Copy Image of Current Analysis to Clipboard"},
    {"Print", BMP_Printer, "Print Image of Current Analysis"},
};

const GlyphButtonRow kChartRows[] = {
    {"Bright Map", BMP_None, "Show Color Brightness on a Scale of 0 to 255"},
    {"RGB Map", BMP_Color_RGB, "Show Distribution of Colors in RGB Color Cube"},
    {"HSV Map", BMP_Colors, "Show Distribution of Colors in HSV Color Map (Distance from Gray)"},
    {"Reverse", BMP_Arrow_LR, "Reverse Angle/Direction of View"},
    {"Points", BMP_Draw_Point, "Show Colors as Single Pixels"},
    {"Blocks", BMP_Draw_Square, "Show Colors as Small Blocks"},
    {"Outline", BMP_None, "Show Colors as Blocks with Black Outline"},
};

QFont arialPoints(int points)
{
    QFont font(QStringLiteral("Arial"));
    setFontPoints(font, points);
    return font;
}

template <class Button>
void setUpButton(Button* button, const GlyphButtonRow& row)
{
    button->setText(QLatin1String(row.caption));
    button->setResource(row.glyph);
    button->setFont(arialPoints(10));
    button->setBaseFontSize(10);
    button->setZoom(100);
    button->setToolTip(QLatin1String(row.hint));
    // The caption may be cut short to fit the button; the spoken name is whole.
    button->setAccessibleName(QLatin1String(row.caption));
    button->setGeometry(2, 2, 89, 25);
}

} // namespace

ChartView::ChartView(const QImage* chart, QWidget* parent)
    : QWidget(parent)
    , m_chart(chart)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!m_chart->isNull())
        painter.drawImage(0, 0, *m_chart);
}

namespace {

// An empty status panel that asks for a width but gives it up to the panels
// beside it when the status bar is short of room.
class GivingPanel : public QLabel {
public:
    explicit GivingPanel(QWidget* parent)
        : QLabel(parent)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        setMinimumWidth(0);
    }
    void setWantedWidth(int width)
    {
        m_wanted = width;
        setMaximumWidth(width);
        updateGeometry();
    }
    QSize sizeHint() const override { return {m_wanted, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    int m_wanted = 100;
};

} // namespace

TForm_AnalyzeBMP::TForm_AnalyzeBMP(QWidget* parent)
    // A plain window that stays on top, not a tool window: window managers
    // such as openbox pass tool windows over when a dialog opened from them
    // closes, and the focus went to the main window instead.
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_AnalyzeBMP"));
    hide();
    setWindowTitle(QStringLiteral("Embedded Bitmap Analyzer"));
    resize(kBaseWidth, kBaseHeight);
    setMinimumSize(kBaseWidth, kBaseHeight);
    move(toolkitScreenSize().width(), 0);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    m_topPanel = new QFrame(client);
    m_bottomPanel = new QFrame(client);
    for (QFrame* panel : {m_topPanel, m_bottomPanel}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->installEventFilter(this);
    }
    m_view = new ChartView(&m_chart, client);
    m_chart = newAnalysisChart(10, 10);
    clientLayout->addWidget(m_topPanel);
    clientLayout->addWidget(m_view, 1);
    clientLayout->addWidget(m_bottomPanel);
    layout->addWidget(client, 1);

    m_status = new QStatusBar(this);
    m_status->setFont(arialPoints(10));
    m_status->setSizeGripEnabled(false);
    for (QLabel*& panel : m_panels) {
        panel = &panel == &m_panels.back() ? new GivingPanel(m_status) : new QLabel(m_status);
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The verdict is a few words: its panel takes the width the others leave.
        m_status->addWidget(panel, &panel == &m_panels[kVerdictPanel] ? 1 : 0);
    }
    layout->addWidget(m_status);

    buildButtons();
    watchKeys(this);
    SetZoom(100);
    setWindowState(Qt::WindowMaximized);
}

TForm_AnalyzeBMP::~TForm_AnalyzeBMP()
{
    m_stopDrawing = true;
}

void TForm_AnalyzeBMP::buildButtons()
{
    for (size_t i = 0; i < m_actions.size(); ++i) {
        m_actions[i] = new TZQXZoomBitBtn(m_bottomPanel);
        setUpButton(m_actions[i], kActionRows[i]);
    }
    connect(m_actions[abHide], &QPushButton::clicked, this, &QWidget::hide);
    connect(m_actions[abCopy], &QPushButton::clicked, this, &TForm_AnalyzeBMP::copyChart);
    connect(m_actions[abPrint], &QPushButton::clicked, this, &TForm_AnalyzeBMP::printChart);

    auto* views = new QButtonGroup(this);
    auto* dots = new QButtonGroup(this);
    for (size_t i = 0; i < m_charts.size(); ++i) {
        m_charts[i] = new TZQXZoomSpeedButton(m_topPanel);
        setUpButton(m_charts[i], kChartRows[i]);
        m_charts[i]->setCheckable(true);
        connect(m_charts[i], &QToolButton::clicked, this, &TForm_AnalyzeBMP::chartChosen);
    }
    for (ChartButton b : {cbBrightMap, cbRgbMap, cbHsvMap})
        views->addButton(m_charts[b]);
    for (ChartButton b : {cbPoints, cbBlocks, cbOutline})
        dots->addButton(m_charts[b]);
    m_charts[cbBrightMap]->setChecked(true);
    m_charts[cbPoints]->setChecked(true);
}

void TForm_AnalyzeBMP::watchKeys(QWidget* widget)
{
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TForm_AnalyzeBMP::SetZoom(int percent)
{
    percent = std::max(percent, 100);
    if (percent == m_zoom)
        return;
    m_zoom = percent;
    const QSize screen = toolkitScreenSize();
    const int widthLimit = screen.width() - 50;
    // The fit is judged on base × zoom / 100 worked out exactly, which at a
    // few halves rounds the other way than zoomScaled (350 at 7 %: 24, not 25).
    const int z = fittedZoom(percent, 9, kBaseWidth, widthLimit, [&](int trial) {
        return scaleByZoom(kBaseWidth, trial) < widthLimit && scaleByZoom(kBaseHeight, trial) < screen.height() - 75;
    });
    m_effectiveZoom = z;

    for (QLabel* panel : m_panels)
        if (panel != m_panels[kVerdictPanel] && panel != m_panels.back())
            panel->setFixedWidth(zoomScaled(100, z));
    // The last panel is empty: as wide as the others where there is room,
    // narrower where the verdict needs it, instead of lying over its last
    // characters.
    static_cast<GivingPanel*>(m_panels.back())->setWantedWidth(zoomScaled(100, z));
    const int panelHeight = ((zoomScaled(25, z) + 3) / 4) * 4 + 4;
    m_topPanel->setFixedHeight(panelHeight);
    m_bottomPanel->setFixedHeight(panelHeight);

    const int width = zoomScaled(kBaseWidth, z);
    const int height = zoomScaled(kBaseHeight, z) + 2 * panelHeight;
    // The minimum follows the zoom, or a zoom stepped down for a small
    // screen would still leave the window 508 wide, off the screen's edge.
    setMinimumSize(std::min(width, kBaseWidth), std::min(height, kBaseHeight));
    resize(width, height);
    // Placed by the size it really has.
    move(std::max(0, std::min(this->x(), screen.width() - this->width())),
         std::max(0, std::min(this->y(), screen.height() - this->height() - 75)));

    m_status->setFixedHeight(zoomScaled(20, z));
    m_status->setFont(arialPoints(zoomScaled(10, z)));
    fitVerdictPanel();
    for (TZQXZoomBitBtn* button : m_actions)
        button->setZoom(z);
    for (TZQXZoomSpeedButton* button : m_charts)
        button->setZoom(z);
}

int TForm_AnalyzeBMP::statusPanelWidth() const
{
    return m_panels[0]->width();
}

int TForm_AnalyzeBMP::buttonPanelHeight() const
{
    return m_topPanel->height();
}

QString TForm_AnalyzeBMP::panelText(int panel) const
{
    return m_panels.at(size_t(panel))->text();
}

void TForm_AnalyzeBMP::WindowResized()
{
    LayoutActionButtons();
    LayoutChartButtons();
}

void TForm_AnalyzeBMP::LayoutActionButtons()
{
    const int panelWidth = m_bottomPanel->width(), panelHeight = m_bottomPanel->height();
    const int buttonWidth = (panelWidth - 4) / 3;
    int left = 2;
    for (TZQXZoomBitBtn* button : m_actions) {
        button->setGeometry(left, 2, buttonWidth, panelHeight - 4);
        left += buttonWidth;
    }
    if (panelWidth - left - 2 > 0)
        m_actions[abPrint]->resize(buttonWidth + panelWidth - left - 2, panelHeight - 4);
}

void TForm_AnalyzeBMP::LayoutChartButtons()
{
    const bool details = !m_charts[cbBrightMap]->isChecked();
    for (ChartButton b : {cbReverse, cbPoints, cbBlocks, cbOutline})
        m_charts[b]->setVisible(details);

    const int panelWidth = m_topPanel->width(), panelHeight = m_topPanel->height();
    const int buttonWidth = (panelWidth - 24) / 7;
    int left = 2;
    auto place = [&](ChartButton b) {
        m_charts[b]->setGeometry(left, 2, buttonWidth, panelHeight - 4);
        left += buttonWidth;
    };
    place(cbBrightMap);
    place(cbRgbMap);
    place(cbHsvMap);
    if (details) {
        left += 10;
        place(cbReverse);
        left += 10;
        place(cbPoints);
        place(cbBlocks);
        place(cbOutline);
        if (panelWidth - left - 2 > 0)
            m_charts[cbOutline]->resize(buttonWidth + panelWidth - left - 2, panelHeight - 4);
    }

    for (size_t i = 0; i < m_charts.size(); ++i) {
        TZQXZoomSpeedButton* button = m_charts[i];
        const int glyphWidth = button->resource() == BMP_None ? 0 : glyphCellSize(button->glyph()).width();
        const int room = button->width() - glyphWidth - 10;
        button->setText(elidedToWidth(QLatin1String(kChartRows[i].caption), QFontMetrics(button->font()), room));
    }
}

void TForm_AnalyzeBMP::chartChosen()
{
    LayoutChartButtons();
    RedrawAnalysis();
}

ChartChoice TForm_AnalyzeBMP::currentChoice() const
{
    ChartChoice choice;
    choice.chart = m_charts[cbRgbMap]->isChecked() ? AnalysisChart::Rgb
        : m_charts[cbHsvMap]->isChecked()          ? AnalysisChart::Hsv
                                                   : AnalysisChart::Bright;
    choice.reverse = m_charts[cbReverse]->isChecked();
    choice.dots = m_charts[cbBlocks]->isChecked() ? DotStyle::Blocks
        : m_charts[cbOutline]->isChecked()        ? DotStyle::Outline
                                                  : DotStyle::Points;
    return choice;
}

void TForm_AnalyzeBMP::countColours(const QImage& bitmap)
{
    // The census and the detectors take no messages: a second and more on
    // millions of colours.
    BusyCursor busy;
    if (isVisible()) {
        m_panels[1]->setText(QStringLiteral("Counting Colors") + QChar(0x2026));
        m_status->repaint();
    }
    CountColorsQuiet(bitmap, &m_tree);
    // Panel 2: how plainly the classic detectors see data hidden in blue.
    const DetectionReport report = detectHiddenData(bitmap);
    const ChannelVerdict blue = judgeChannel(report, Channel::Blue);
    // The number is an estimate of the share of replaced lowest bits, not a
    // probability, and the panel says so.
    // Where the detectors of changes of one see more than the estimate, the
    // panel gives their verdict and the row where those changes seem to stop
    // instead; the tool tip has both.
    const MatchingVerdict matching = judgeChangesOfOne(report.matching);
    if (matching.verdict > blue.verdict)
        m_panels[kVerdictPanel]->setText(QStringLiteral("Blue: %1 (\u00B11 up to row %2)")
                                             .arg(verdictText(matching.verdict))
                                             .arg(matching.rows));
    else
        m_panels[kVerdictPanel]->setText(
            QStringLiteral("Blue: %1 (estimate %2)").arg(verdictText(blue.verdict)).arg(blue.estimate, 0, 'f', 2));
    fitVerdictPanel();
    m_panels[kVerdictPanel]->setToolTip(
        QStringLiteral("Estimated share of the lowest blue bits replaced by other data, from 0 to 1; "
                       "it is not a probability.\n"
                       "False alarms: noisy pictures and pictures with large flat or clipped areas read higher.\n"
                       "Chi-square probability %1, sample pairs estimate %2, RS estimate %3.\n"
                       "Hiding that changes values by one instead of replacing the lowest bit (\u00B11) is "
                       "invisible to the estimate; the detectors of changes of one look for it: "
                       "the strongest step in blue's noise from one row to the next is %4 at row %5 of %6 "
                       "(50 or more is \"possible\", 100 or more \"likely\"); calibrated HCF-COM of blue %7 "
                       "(red %8, green %9; lower means smoother); %10.\n"
                       "\"No sign\" does not prove a picture clean.")
            .arg(figure(report.chiSquare.probability, Channel::Blue), 0, 'f', 2)
            .arg(figure(report.samplePairs, Channel::Blue), 0, 'f', 2)
            .arg(figure(report.rs, Channel::Blue), 0, 'f', 2)
            .arg(report.matching.end.strength, 0, 'f', 1)
            .arg(report.matching.end.rows)
            .arg(bitmap.height())
            .arg(figure(report.matching.hcfCom, Channel::Blue), 0, 'f', 2)
            .arg(figure(report.matching.hcfCom, Channel::Red), 0, 'f', 2)
            .arg(figure(report.matching.hcfCom, Channel::Green), 0, 'f', 2)
            .arg(matchingVerdictLine(matching, bitmap.height())));
}

// The verdict panel is never narrower than its words: in a narrow window the
// empty last panel is pushed past the edge instead of the verdict being cut.
void TForm_AnalyzeBMP::fitVerdictPanel()
{
    QLabel* verdict = m_panels[kVerdictPanel];
    const int words = verdict->fontMetrics().horizontalAdvance(verdict->text()) + 2 * verdict->frameWidth()
        + verdict->fontMetrics().averageCharWidth();
    verdict->setMinimumWidth(std::max(m_effectiveZoom, words)); // 100 × the zoom factor at least
}

void TForm_AnalyzeBMP::resetButtonsForNewPicture()
{
    m_charts[cbPoints]->setChecked(true);
    m_charts[cbReverse]->setChecked(false);
    m_charts[cbBrightMap]->setChecked(true);
    if (firstAnalysisDots(m_tree.Count()) == DotStyle::Blocks)
        m_charts[cbBlocks]->setChecked(true);
}

void TForm_AnalyzeBMP::AnalyzeBitmap(const QImage& bitmap)
{
    if (bitmap.isNull())
        return;
    if (m_drawing) {
        // The running drawing walks the tree: the census waits until it has
        // stopped, and the choices on the visible window stay.
        m_pendingPicture = bitmap;
        RedrawAnalysis();
        return;
    }
    countColours(bitmap);
    if (!isVisible())
        resetButtonsForNewPicture();
    // Shown, the window lays itself out and draws; visible already, it draws now.
    if (isVisible())
        RedrawAnalysis();
    show();
    raise();
}

void TForm_AnalyzeBMP::RedrawAnalysis()
{
    m_redrawWanted = true;
    if (m_drawing) {
        m_stopDrawing = true;
        return;
    }
    // A hidden window draws when it is shown.
    if (!isVisible())
        return;
    {
        const QScopedValueRollback<bool> drawing(m_drawing, true);
        // The window answers while it draws: the busy cursor, not the wait cursor.
        BusyCursor busy(Qt::BusyCursor);
        while (m_redrawWanted && isVisible()) {
            m_redrawWanted = false;
            m_stopDrawing = false;
            if (m_pendingPicture) {
                countColours(*m_pendingPicture);
                m_pendingPicture.reset();
            }
            drawOnce();
        }
    }
    runWaitingActions();
}

void TForm_AnalyzeBMP::runWaitingActions()
{
    const bool copy = std::exchange(m_copyWanted, false);
    const bool print = std::exchange(m_printWanted, false);
    // A hidden window stopped its drawing: nothing whole to give.
    if (m_drawing || !isVisible() || !m_lastComplete)
        return;
    if (copy)
        copyChart();
    if (print)
        printChart();
}

void TForm_AnalyzeBMP::drawOnce()
{
    const int chartWidth = std::max(m_view->width(), 1), chartHeight = std::max(m_view->height(), 1);
    if (m_chart.size() != QSize(chartWidth, chartHeight)) {
        QImage resized = allocatePicture(chartWidth, chartHeight);
        if (resized.isNull())
            return;
        m_chart = std::move(resized);
    }
    m_panels[0]->setText(QString::number(chartWidth) + QChar(0xD7) + QString::number(chartHeight));
    const int count = m_tree.Count();
    m_panels[1]->setText(QString::number(count) + QStringLiteral(" Color") + (count == 1 ? QString() : QStringLiteral("s")));

    QElapsedTimer sinceShown;
    sinceShown.start();
    m_lastComplete = drawAnalysisChart(m_chart, m_tree, currentChoice(), [&] {
        if (sinceShown.elapsed() >= 40) {
            m_view->update();
            sinceShown.restart();
        }
        return yieldToEvents();
    });
    m_view->update();
}

bool TForm_AnalyzeBMP::yieldToEvents()
{
    if (m_yieldHook)
        m_yieldHook();
    if (!m_stopDrawing)
        QCoreApplication::processEvents();
    return !m_stopDrawing && isVisible();
}

void TForm_AnalyzeBMP::copyChart()
{
    // A chart still being drawn is half a chart: the copy waits for it.
    if (m_drawing) {
        m_copyWanted = true;
        return;
    }
    QGuiApplication::clipboard()->setImage(m_chart);
}

void TForm_AnalyzeBMP::printChart()
{
    if (m_drawing) {
        m_printWanted = true;
        return;
    }
    // A copy: the print window is modal, but a resize of this window could
    // still replace the chart while the print dialog holds it.
    const QImage chart = m_chart.copy();
    PrintBitmapShared(chart, QStringLiteral("Image Analysis"));
}

QString TForm_AnalyzeBMP::helpText()
{
    static const char* const kLines[] = {
        "Help on Embedded Bitmap Analyzer",
        "",
        "F1\t: This HELP dialog.",
        "Ctrl-C\t: Copy current analysis image to clipboard.",
        "",
        "This popup is an analysis tool for graphics images.",
        "When given a bitmap to analyze this popup determines",
        "the total number of unique colors in the image, then",
        "displays one of three possible charts.  By default, the",
        "chart shown is a map of pixel brightness.  The second",
        "of the three charts shows an RGB color cube with the",
        "colors distributed within.  One of two angles of view",
        "may be selected.  The third chart is a HSV variation",
        "of the second, with a view down the gray axis, either",
        "with the black corner or the white corner on top closest",
        "to the view point.  Clicking the COPY button puts a",
        "copy of the current chart image into the clipboard.",
    };
    QString text;
    for (const char* line : kLines)
        text += QLatin1String(line) + QStringLiteral("\r\n");
    return text;
}

void TForm_AnalyzeBMP::showHelp()
{
    TZQXPopupDialog dialog;
    dialog.SetFont(QStringLiteral("Arial"), 12, {}, Qt::black, palette().color(QPalette::Button));
    dialog.setZoom(m_zoom);
    dialog.showHelpText(helpText(), false, QStringLiteral("Help on Embedded Bitmap Analyzer"));
}

namespace {

enum class AnalysisKey { None, Copy, Help, Hide };

// Ctrl+C, F1 and Escape with no other Ctrl, Shift or Alt.
AnalysisKey analysisKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mods = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (key == Qt::Key_C && mods == Qt::ControlModifier)
        return AnalysisKey::Copy;
    if (key == Qt::Key_F1 && mods == Qt::NoModifier)
        return AnalysisKey::Help;
    // Escape does what the Hide button does, as it cancels a dialog.
    if (key == Qt::Key_Escape && mods == Qt::NoModifier)
        return AnalysisKey::Hide;
    return AnalysisKey::None;
}

} // namespace

bool TForm_AnalyzeBMP::AnalysisShortCut(int key, Qt::KeyboardModifiers modifiers)
{
    switch (analysisKey(key, modifiers)) {
    case AnalysisKey::Copy:
        copyChart();
        return true;
    case AnalysisKey::Help:
        showHelp();
        return true;
    case AnalysisKey::Hide:
        hide();
        return true;
    case AnalysisKey::None:
        break;
    }
    return false;
}

bool TForm_AnalyzeBMP::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        // Only the view's size is the chart's, and the layout gives the view
        // its final size once per resize. A window being shown hands the view
        // its size before the view counts as visible; the show draws then.
        if (watched == m_bottomPanel)
            LayoutActionButtons();
        else if (watched == m_topPanel)
            LayoutChartButtons();
        else if (watched == m_view && m_view->isVisible())
            RedrawAnalysis();
        break;
    case QEvent::ShortcutOverride: {
        // The window's own keys come before any shortcut of the main window.
        auto* key = static_cast<QKeyEvent*>(event);
        if (analysisKey(key->key(), key->modifiers()) != AnalysisKey::None)
            event->accept();
        break;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (AnalysisShortCut(key->key(), key->modifiers()))
            return true;
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm_AnalyzeBMP::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    WindowResized();
}

void TForm_AnalyzeBMP::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    WindowResized();
    RedrawAnalysis();
}

void TForm_AnalyzeBMP::hideEvent(QHideEvent* event)
{
    // A drawing under way stops at its next yield.
    m_stopDrawing = true;
    QWidget::hideEvent(event);
}

} // namespace ostrel
