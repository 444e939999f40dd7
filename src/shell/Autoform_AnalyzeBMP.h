// SPDX-License-Identifier: Apache-2.0
#pragma once
// The "Embedded Bitmap Analyzer": a stay-on-top tool window that counts the
// distinct colours of a picture and shows one of the three colour charts.
// Long charts let the event loop run every 5000 colours; a button pressed
// meanwhile stops the running drawing and the newest choice is drawn once.
#include "colour/AnalysisCharts.h"
#include "colour/ZQXSplayTree.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QStatusBar;

namespace ostrel {

class TZQXZoomBitBtn;
class TZQXZoomSpeedButton;

// Shows the chart picture it is given, drawn at its top-left corner.
class ChartView : public QWidget {
    Q_OBJECT
public:
    ChartView(const QImage* chart, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_chart;
};

class TForm_AnalyzeBMP : public QWidget {
    Q_OBJECT
public:
    enum ActionButton { abHide, abCopy, abPrint };
    enum ChartButton { cbBrightMap, cbRgbMap, cbHsvMap, cbReverse, cbPoints, cbBlocks, cbOutline };

    explicit TForm_AnalyzeBMP(QWidget* parent = nullptr);
    ~TForm_AnalyzeBMP() override;

    // Counts the picture's colours and shows the window with its chart. On a
    // hidden window the buttons start again: "Bright Map", "Reverse" up, and
    // "Blocks" for at most 100 000 colours, "Points" above. A null picture
    // does nothing.
    void AnalyzeBitmap(const QImage& bitmap);

    void SetZoom(int percent);
    int zoom() const { return m_zoom; }
    // The zoom the window fits the screen with (steps of 5 below zoom()).
    int effectiveZoom() const { return m_effectiveZoom; }

    // These only place the buttons; the chart is drawn when the chart view
    // changes size, when the window is shown and when a chart button is pressed.
    void WindowResized();
    void LayoutActionButtons();
    void LayoutChartButtons();
    // Draws the chosen chart at the size of the chart area. Asked for while a
    // drawing runs, it stops that drawing and draws once more afterwards.
    void RedrawAnalysis();

    // Ctrl+C copies the chart, F1 shows the help, Escape hides the window;
    // true when the key was one of them.
    bool AnalysisShortCut(int key, Qt::KeyboardModifiers modifiers);
    void copyChart();
    void printChart();
    void showHelp();

    ChartChoice currentChoice() const;
    TZQXZoomBitBtn* actionButton(ActionButton which) const { return m_actions[size_t(which)]; }
    TZQXZoomSpeedButton* chartButton(ChartButton which) const { return m_charts[size_t(which)]; }
    QString panelText(int panel) const;
    int statusPanelWidth() const;
    int buttonPanelHeight() const;
    const QImage& chart() const { return m_chart; }
    ChartView* chartView() const { return m_view; }
    int colourCount() const { return m_tree.Count(); }
    // False when the last drawing was stopped before its end.
    bool lastDrawingComplete() const { return m_lastComplete; }
    // Runs inside every yield of a drawing, before the event loop does; tests
    // act on the window from there as a user would mid-drawing.
    void setYieldHook(std::function<void()> hook) { m_yieldHook = std::move(hook); }

    static QString helpText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildButtons();
    void watchKeys(QWidget* widget);
    void countColours(const QImage& bitmap);
    void resetButtonsForNewPicture();
    void chartChosen();
    void fitVerdictPanel();
    void drawOnce();
    bool yieldToEvents();
    // Copy and Print asked for during a drawing, once it has ended.
    void runWaitingActions();

    TZQXTColorSplayTree m_tree;
    QImage m_chart;
    int m_zoom = 0;
    int m_effectiveZoom = 100;

    QStatusBar* m_status = nullptr;
    std::array<QLabel*, 4> m_panels{};
    QFrame* m_topPanel = nullptr;
    QFrame* m_bottomPanel = nullptr;
    ChartView* m_view = nullptr;
    std::array<TZQXZoomBitBtn*, 3> m_actions{};
    std::array<TZQXZoomSpeedButton*, 7> m_charts{};

    // One drawing at a time: requests during it set m_redrawWanted and stop it.
    bool m_drawing = false;
    bool m_redrawWanted = false;
    bool m_stopDrawing = false;
    bool m_lastComplete = true;
    bool m_copyWanted = false;
    bool m_printWanted = false;
    std::optional<QImage> m_pendingPicture;
    std::function<void()> m_yieldHook;
};

} // namespace ostrel
