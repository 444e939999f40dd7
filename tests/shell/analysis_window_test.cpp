// SPDX-License-Identifier: Apache-2.0
// The analysis window: its start states, the user's choices across pictures,
// the button rows, the status panels, its keys, the zoom on small screens,
// and buttons pressed, pictures given and the window hidden while a long
// chart is drawn. Also Tools > Analyze Picture on the main window.
#include "ShellTestSupport.h"
#include "colour/Census.h"
#include "shell/Autoform_AnalyzeBMP.h"
#include "support/Children.h"
#include "support/ProcessRun.h"
#include "toolkit/ToolkitTestSupport.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZQXZoomSpeedButton.h"
#include "toolkit/ZoomRules.h"
#include "util/Picture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>

namespace ostrel::testing {
namespace {

using CB = TForm_AnalyzeBMP::ChartButton;

// The chart the window must show: the same picture's census drawn afresh.
QImage expectedChart(const QImage& picture, const ChartChoice& choice, QSize size)
{
    TZQXTColorSplayTree tree;
    CountColorsQuiet(picture, &tree);
    QImage chart = allocatePicture(size.width(), size.height());
    drawAnalysisChart(chart, tree, choice);
    return chart;
}

bool sameChoice(const ChartChoice& a, const ChartChoice& b)
{
    return a.chart == b.chart && a.reverse == b.reverse && a.dots == b.dots;
}

class AnalysisWindow : public ::testing::Test {
protected:
    void SetUp() override { window = std::make_unique<TForm_AnalyzeBMP>(); }
    void TearDown() override { window.reset(); }

    void click(CB button) { QTest::mouseClick(window->chartButton(button), Qt::LeftButton); }

    std::unique_ptr<TForm_AnalyzeBMP> window;
};

TEST_F(AnalysisWindow, FirstAnalysisStartsWithBlocksUpToOneHundredThousandColours)
{
    struct Case {
        int colours, width, height;
        CB dots;
    };
    const Case cases[] = {
        {100000, 1000, 100, CB::cbBlocks},
        {100001, 9091, 11, CB::cbPoints}, // 9091 × 11 = 100001 pixels, each its own colour
    };
    for (const Case& c : cases) {
        window = std::make_unique<TForm_AnalyzeBMP>();
        // Choices left from before count for nothing on a hidden window.
        click(CB::cbHsvMap);
        window->chartButton(CB::cbReverse)->setChecked(true);
        window->chartButton(CB::cbOutline)->setChecked(true);
        window->AnalyzeBitmap(pictureOfColours(c.colours, c.width, c.height));
        ASSERT_TRUE(window->isVisible());
        EXPECT_EQ(window->colourCount(), c.colours);
        EXPECT_TRUE(window->chartButton(CB::cbBrightMap)->isChecked()) << c.colours;
        EXPECT_FALSE(window->chartButton(CB::cbReverse)->isChecked()) << c.colours;
        EXPECT_TRUE(window->chartButton(c.dots)->isChecked()) << c.colours;
    }
}

TEST_F(AnalysisWindow, SecondAnalysisKeepsTheUsersChoices)
{
    window->AnalyzeBitmap(pictureOfColours(10, 10, 10));
    click(CB::cbRgbMap);
    click(CB::cbReverse);
    click(CB::cbOutline);
    const ChartChoice chosen{AnalysisChart::Rgb, true, DotStyle::Outline};
    ASSERT_TRUE(sameChoice(window->currentChoice(), chosen));

    const QImage next = gradientPicture(300, 200); // over 100 000 colours would not matter either
    window->AnalyzeBitmap(next);
    EXPECT_TRUE(sameChoice(window->currentChoice(), chosen));
    EXPECT_TRUE(samePixels(window->chart(), expectedChart(next, chosen, window->chart().size())));

    // Hidden and given a picture again, it starts afresh.
    QTest::mouseClick(window->actionButton(TForm_AnalyzeBMP::abHide), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window->AnalyzeBitmap(next);
    EXPECT_TRUE(sameChoice(window->currentChoice(), {AnalysisChart::Bright, false, DotStyle::Blocks}));
}

TEST_F(AnalysisWindow, BrightMapShowsThreeButtonsAndTheOthersAllSeven)
{
    window->AnalyzeBitmap(pictureOfColours(3, 4, 4));
    QCoreApplication::processEvents(); // the window settles at its maximised size
    const auto left = [&](CB b) { return window->chartButton(b)->geometry().left(); };
    const int panelWidth = window->chartButton(CB::cbBrightMap)->parentWidget()->width();
    const int bw = window->chartButton(CB::cbBrightMap)->width();
    ASSERT_EQ(bw, (panelWidth - 24) / 7);

    for (CB hidden : {CB::cbReverse, CB::cbPoints, CB::cbBlocks, CB::cbOutline})
        EXPECT_FALSE(window->chartButton(hidden)->isVisible()) << int(hidden);
    EXPECT_EQ(left(CB::cbBrightMap), 2);
    EXPECT_EQ(left(CB::cbRgbMap), 2 + bw);
    EXPECT_EQ(left(CB::cbHsvMap), 2 + 2 * bw);

    click(CB::cbRgbMap);
    for (int b = 0; b < 7; ++b)
        EXPECT_TRUE(window->chartButton(CB(b))->isVisible()) << b;
    EXPECT_EQ(left(CB::cbReverse), 2 + 3 * bw + 10);
    EXPECT_EQ(left(CB::cbPoints), 2 + 4 * bw + 20);
    EXPECT_EQ(left(CB::cbOutline), 2 + 6 * bw + 20);
    EXPECT_EQ(window->chartButton(CB::cbOutline)->geometry().right() + 1, panelWidth - 2) << "Outline takes the rest";

    // The exclusive groups: one chart and one dot style always down.
    click(CB::cbRgbMap);
    EXPECT_TRUE(window->chartButton(CB::cbRgbMap)->isChecked());
    click(CB::cbReverse);
    click(CB::cbReverse);
    EXPECT_FALSE(window->chartButton(CB::cbReverse)->isChecked()) << "Reverse can be released";
    click(CB::cbBrightMap);
    EXPECT_FALSE(window->chartButton(CB::cbOutline)->isVisible());
}

TEST_F(AnalysisWindow, StatusPanelsShowTheChartSizeAndTheColourCount)
{
    struct Case {
        int colours;
        const char* text;
    };
    for (const Case& c : {Case{1, "1 Color"}, Case{2, "2 Colors"}, Case{4096, "4096 Colors"}}) {
        window->AnalyzeBitmap(pictureOfColours(c.colours, 64, 64));
        EXPECT_EQ(window->panelText(1), QLatin1String(c.text));
        const QSize size = window->chart().size();
        EXPECT_EQ(size, window->chartView()->size());
        EXPECT_EQ(window->panelText(0), QString::number(size.width()) + QChar(0xD7) + QString::number(size.height()));
    }
}

// Where the detectors of changes of one see more than the estimate, panel 2
// gives their verdict and the row where those changes seem to stop: none in
// calm bands of colour with faint shared noise, but after blue values of the
// top 40 rows moved by one. The tool tip has both.
TEST_F(AnalysisWindow, StatusPanelTwoShowsWhereChangesOfOneStop)
{
    QImage picture = allocatePicture(2000, 400);
    std::mt19937 rng(8);
    std::normal_distribution<double> shared(0.0, 0.7);
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const double value = 60.0 + 12.0 * (x * 10 / picture.width()) + 20.0 * (y / 100) + shared(rng);
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = uint8_t(std::lround(value + 8 * c));
        }
    }
    window->AnalyzeBitmap(picture);
    EXPECT_TRUE(window->panelText(2).startsWith(QStringLiteral("Blue: no sign of hidden data (estimate 0.0")))
        << window->panelText(2).toStdString();

    for (int y = 0; y < 40; ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (rng() & 1)
                row[3 * x] = uint8_t(row[3 * x] + ((rng() & 1) ? 1 : -1));
        }
    }
    window->AnalyzeBitmap(picture);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Blue: hidden data (possible|likely) \\(\u00B11 up to row (\\d+)\\)$"))
            .match(window->panelText(2));
    ASSERT_TRUE(match.hasMatch()) << window->panelText(2).toStdString();
    EXPECT_NEAR(match.captured(2).toInt(), 40, 2);
    auto* status = window->findChild<QStatusBar*>();
    ASSERT_NE(status, nullptr);
    const QString tip = status->findChildren<QLabel*>(Qt::FindDirectChildrenOnly).at(2)->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("at row %1 of 400").arg(match.captured(2)))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QLatin1String("calibrated HCF-COM of blue"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QLatin1String("sample pairs estimate 0."))) << tip.toStdString();
    // Still whole in the narrowest window.
    window->showNormal();
    window->resize(window->minimumSize());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    QLabel* panel = status->findChildren<QLabel*>(Qt::FindDirectChildrenOnly).at(2);
    EXPECT_LE(panel->geometry().right(), status->contentsRect().right());
    EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()));
}

// Panel 2 says how plainly the detectors of lowest-bit replacement see
// hidden data in blue: none in light falling smoothly across a picture with
// a little noise, every lowest blue bit replaced by a random one after.
TEST_F(AnalysisWindow, StatusPanelTwoShowsTheBlueVerdict)
{
    QImage picture = allocatePicture(300, 200);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width() * 3; ++x)
            row[x] = uint8_t(std::clamp(std::lround(40.0 + x / 6.0 + 30.0 * std::sin(y * 0.05) + noise(rng)), 0L, 255L));
    }
    window->AnalyzeBitmap(picture);
    EXPECT_TRUE(window->panelText(2).startsWith(QStringLiteral("Blue: no sign of hidden data (estimate 0.0")))
        << window->panelText(2).toStdString();

    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            row[3 * x] = uint8_t((row[3 * x] & ~1) | (rng() & 1));
    }
    window->AnalyzeBitmap(picture);
    EXPECT_TRUE(window->panelText(2).startsWith(QStringLiteral("Blue: hidden data likely (estimate ")))
        << window->panelText(2).toStdString();

    // The tool tip says what the number is and where it misleads.
    auto* status = window->findChild<QStatusBar*>();
    ASSERT_NE(status, nullptr);
    const QList<QLabel*> panels = status->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(panels.size(), 4);
    const QString tip = panels[2]->toolTip();
    for (const char* words : {"share of the lowest blue bits", "not a probability", "False alarms", "clipped",
                              "changes values by one"})
        EXPECT_TRUE(tip.contains(QLatin1String(words))) << words << " missing from: " << tip.toStdString();

    // At its narrowest the window still shows the whole verdict: the last
    // panel lies after it, not over its last digit.
    window->showNormal();
    window->resize(window->minimumSize());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCoreApplication::processEvents();
    const QRect verdict = panels[2]->geometry();
    EXPECT_LE(verdict.right(), panels[3]->geometry().left() - 1);
    EXPECT_LE(verdict.right(), status->contentsRect().right());
    EXPECT_GE(panels[2]->contentsRect().width(), panels[2]->fontMetrics().horizontalAdvance(panels[2]->text()));
}

TEST_F(AnalysisWindow, ChartFollowsEveryButton)
{
    const QImage picture = gradientPicture(120, 90);
    window->AnalyzeBitmap(picture);
    const struct {
        CB button;
        ChartChoice choice;
    } steps[] = {
        {CB::cbRgbMap, {AnalysisChart::Rgb, false, DotStyle::Blocks}},
        {CB::cbOutline, {AnalysisChart::Rgb, false, DotStyle::Outline}},
        {CB::cbReverse, {AnalysisChart::Rgb, true, DotStyle::Outline}},
        {CB::cbHsvMap, {AnalysisChart::Hsv, true, DotStyle::Outline}},
        {CB::cbPoints, {AnalysisChart::Hsv, true, DotStyle::Points}},
        {CB::cbBrightMap, {AnalysisChart::Bright, true, DotStyle::Points}},
    };
    for (const auto& step : steps) {
        click(step.button);
        ASSERT_TRUE(sameChoice(window->currentChoice(), step.choice)) << int(step.button);
        EXPECT_TRUE(samePixels(window->chart(), expectedChart(picture, step.choice, window->chart().size())))
            << int(step.button);
    }
}

// Answers the next modal dialog: remembers its text and closes it.
struct ModalCatcher {
    QString text;
    QString fitProblem; // see textFitProblem
    bool seen = false;
    void arm()
    {
        QTimer::singleShot(0, [this] {
            auto* form = qobject_cast<TForm_Popup*>(QApplication::activeModalWidget());
            if (!form)
                return;
            seen = true;
            text = form->textView()->toPlainText();
            fitProblem = textFitProblem(form->textView());
            form->button(TForm_Popup::btnOk)->click();
        });
    }
};

TEST_F(AnalysisWindow, CtrlCCopiesAndF1Helps)
{
    window->AnalyzeBitmap(pictureOfColours(5, 8, 8));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* focus = window->chartButton(CB::cbBrightMap);
    focus->setFocus();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool copies, helps;
    };
    const Case cases[] = {
        {Qt::Key_C, Qt::ControlModifier, true, false},
        {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, false, false},
        {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, false, false},
        {Qt::Key_C, Qt::NoModifier, false, false},
        {Qt::Key_F1, Qt::NoModifier, false, true},
        {Qt::Key_F1, Qt::ShiftModifier, false, false},
        {Qt::Key_F1, Qt::ControlModifier, false, false},
    };
    for (const Case& c : cases) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        ModalCatcher help;
        help.arm();
        QTest::keyClick(focus, c.key, c.modifiers);
        QCoreApplication::processEvents();
        const QImage copied = QGuiApplication::clipboard()->image();
        EXPECT_EQ(!copied.isNull() && samePixels(copied, window->chart()), c.copies) << c.key << " " << int(c.modifiers);
        EXPECT_EQ(help.seen, c.helps) << c.key << " " << int(c.modifiers);
        if (c.helps) {
            EXPECT_TRUE(help.text.startsWith(QStringLiteral("Help on Embedded Bitmap Analyzer\n\nF1\t: This HELP dialog.\n"
                                                            "Ctrl-C\t: Copy current analysis image to clipboard.\n")))
                << help.text.toStdString();
            EXPECT_TRUE(help.text.contains(QStringLiteral("copy of the current chart image into the clipboard.")));
            EXPECT_EQ(help.fitProblem, QString());
        }
    }
    EXPECT_TRUE(TForm_AnalyzeBMP::helpText().endsWith(QStringLiteral("clipboard.\r\n")));
}

TEST_F(AnalysisWindow, CopyButtonCopiesTheChart)
{
    window->AnalyzeBitmap(pictureOfColours(7, 8, 8));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mouseClick(window->actionButton(TForm_AnalyzeBMP::abCopy), Qt::LeftButton);
    EXPECT_TRUE(samePixels(QGuiApplication::clipboard()->image(), window->chart()));
}

TEST_F(AnalysisWindow, ZoomStepsDownUntilTheWindowFitsTheScreen)
{
    struct Case {
        QSize screen;
        int zoom;
        int effective;
        int statusWidth;
        int panelHeight;
    };
    const Case cases[] = {
        {{1280, 1024}, 100, 100, 100, 32},
        {{1280, 1024}, 150, 150, 150, 44},
        {{558, 768}, 100, 95, 95, 28},  // 508 is not below 558 − 50
        {{559, 768}, 100, 100, 100, 32},
        {{540, 480}, 100, 95, 95, 28},
        {{300, 400}, 100, 45, 45, 16},
        {{1280, 420}, 100, 95, 95, 28}, // 350 is not below 420 − 75
        {{1280, 1024}, INT_MAX, 242, 242, 64}, // at once, still in steps of 5 from the zoom asked for
    };
    for (const Case& c : cases) {
        const ScreenSize screenSize(c.screen);
        TForm_AnalyzeBMP sized;
        sized.SetZoom(c.zoom);
        EXPECT_EQ(sized.effectiveZoom(), c.effective) << c.screen.width() << "x" << c.screen.height();
        EXPECT_EQ(sized.statusPanelWidth(), c.statusWidth) << c.screen.width();
        EXPECT_EQ(sized.buttonPanelHeight(), c.panelHeight) << c.screen.width();
        EXPECT_EQ(sized.actionButton(TForm_AnalyzeBMP::abCopy)->zoom(), std::max(c.effective, 100));
        // The window and its Print button lie on the screen.
        EXPECT_EQ(sized.width(), zoomScaled(508, c.effective)) << c.screen.width();
        EXPECT_LE(sized.x() + sized.width(), c.screen.width()) << c.screen.width();
        sized.LayoutActionButtons();
        const QWidget* print = sized.actionButton(TForm_AnalyzeBMP::abPrint);
        EXPECT_LE(sized.x() + print->mapTo(&sized, QPoint(print->width(), 0)).x(), c.screen.width())
            << c.screen.width();
    }
}

TEST_F(AnalysisWindow, CaptionsTooWideEndInAnEllipsis)
{
    window->AnalyzeBitmap(pictureOfColours(3, 4, 4));
    click(CB::cbRgbMap);
    const char* captions[] = {"Bright Map", "RGB Map", "HSV Map", "Reverse", "Points", "Blocks", "Outline"};
    for (const int zoom : {100, 400}) {
        window->SetZoom(zoom);
        window->resize(520, window->height());
        QCoreApplication::processEvents();
        int shortened = 0;
        for (int b = 0; b < 7; ++b) {
            const QString text = window->chartButton(CB(b))->text();
            const QString caption = QLatin1String(captions[b]);
            if (text == caption)
                continue;
            ++shortened;
            ASSERT_TRUE(text.endsWith(QChar(0x2026))) << text.toStdString();
            EXPECT_TRUE(caption.startsWith(text.chopped(1))) << text.toStdString();
        }
        if (zoom == 400) {
            EXPECT_GT(shortened, 0) << "large captions on narrow buttons";
        }
    }
}

// A picture of 65 536 colours takes 13 yields to draw.
QImage manyColours()
{
    return pictureOfColours(65536, 256, 256);
}

TEST_F(AnalysisWindow, ButtonsPressedDuringADrawingEndWithTheLastChoiceDrawn)
{
    const QImage picture = manyColours();
    window->AnalyzeBitmap(picture);
    int yields = 0;
    window->setYieldHook([&] {
        if (++yields != 2)
            return;
        click(CB::cbRgbMap);
        click(CB::cbOutline);
        click(CB::cbHsvMap);
        click(CB::cbReverse);
    });
    click(CB::cbRgbMap);
    window->setYieldHook({});
    const ChartChoice last{AnalysisChart::Hsv, true, DotStyle::Outline};
    ASSERT_TRUE(sameChoice(window->currentChoice(), last));
    EXPECT_TRUE(window->lastDrawingComplete());
    EXPECT_TRUE(samePixels(window->chart(), expectedChart(picture, last, window->chart().size())));
}

// Copy and Print pressed while a large chart is drawn give the whole chart,
// once the drawing has ended.
TEST_F(AnalysisWindow, CopyAndPrintDuringADrawingGiveTheWholeChart)
{
    const QImage picture = manyColours();
    window->AnalyzeBitmap(picture);
    click(CB::cbRgbMap);
    click(CB::cbOutline);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    // What the clipboard was given, when it was given it.
    QImage copied;
    const QMetaObject::Connection watch = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                                           [&] { copied = QGuiApplication::clipboard()->image().copy(); });
    QImage printed;
    int yields = 0;
    window->setYieldHook([&] {
        if (++yields != 2)
            return;
        whenModal([&](QWidget* modal) {
            if (auto* form = qobject_cast<TForm_Print*>(modal))
                printed = form->pictureSource();
            modal->close();
        });
        QTest::mouseClick(window->actionButton(TForm_AnalyzeBMP::abCopy), Qt::LeftButton);
        QTest::mouseClick(window->actionButton(TForm_AnalyzeBMP::abPrint), Qt::LeftButton);
    });
    click(CB::cbHsvMap);
    window->setYieldHook({});
    QObject::disconnect(watch);
    ASSERT_GE(yields, 2) << "the drawing was too short to press anything during it";
    ASSERT_TRUE(window->lastDrawingComplete());
    const QImage whole = expectedChart(picture, window->currentChoice(), window->chart().size());
    EXPECT_TRUE(samePixels(copied.convertToFormat(whole.format()), whole));
    EXPECT_TRUE(samePixels(printed.convertToFormat(whole.format()), whole));
}

// The cursor a user sees over the status panels each time they are painted.
class CursorAtPaint : public QObject {
public:
    explicit CursorAtPaint(QWidget* window)
    {
        for (QLabel* label : window->findChildren<QLabel*>())
            label->installEventFilter(this);
    }
    std::vector<int> shapes; // -1: the normal cursor

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            shapes.push_back(QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
        return false;
    }
};

// Counting the colours takes no messages and shows the wait cursor; the
// drawing answers and shows the busy cursor; after both, the normal one.
TEST_F(AnalysisWindow, LongWorkShowsABusyCursor)
{
    window->AnalyzeBitmap(pictureOfColours(9, 10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    CursorAtPaint seen(window.get());
    std::vector<int> whileDrawing;
    window->setYieldHook([&] {
        whileDrawing.push_back(QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
    });
    window->AnalyzeBitmap(manyColours());
    click(CB::cbRgbMap);
    window->setYieldHook({});
    EXPECT_NE(std::find(seen.shapes.begin(), seen.shapes.end(), int(Qt::WaitCursor)), seen.shapes.end())
        << "no wait cursor while the colours were counted";
    ASSERT_FALSE(whileDrawing.empty());
    EXPECT_EQ(std::count(whileDrawing.begin(), whileDrawing.end(), int(Qt::BusyCursor)), qsizetype(whileDrawing.size()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AnalysisWindow, ResizeAndNewPictureDuringADrawingAreDrawnAfterIt)
{
    const QImage first = manyColours();
    const QImage second = gradientPicture(200, 150);
    window->AnalyzeBitmap(first);
    click(CB::cbHsvMap);
    int yields = 0;
    window->setYieldHook([&] {
        if (++yields != 1)
            return;
        window->resize(window->width() + 60, window->height() + 40);
        QCoreApplication::processEvents();
        window->AnalyzeBitmap(second);
    });
    click(CB::cbBlocks);
    window->setYieldHook({});
    EXPECT_EQ(window->colourCount(), [&] {
        TZQXTColorSplayTree tree;
        CountColorsQuiet(second, &tree);
        return tree.Count();
    }());
    EXPECT_EQ(window->chart().size(), window->chartView()->size());
    EXPECT_TRUE(samePixels(window->chart(), expectedChart(second, window->currentChoice(), window->chart().size())));
}

TEST_F(AnalysisWindow, HidingStopsTheDrawing)
{
    window->AnalyzeBitmap(manyColours());
    int yields = 0;
    window->setYieldHook([&] {
        if (++yields == 1)
            window->hide();
    });
    click(CB::cbRgbMap);
    window->setYieldHook({});
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->lastDrawingComplete());
    EXPECT_LE(yields, 2) << "the drawing went on after the window was hidden";
}

using AnalyzePictureCommand = ShellWindowTest;

TEST_F(AnalyzePictureCommand, F10ShowsTheWorkingPictureInTheAnalysisWindow)
{
    ASSERT_EQ(window->analysisWindow(), nullptr);
    QAction* action = window->commandAction(MenuCommand::AnalyzePicture);
    ASSERT_TRUE(action->isEnabled());
    action->trigger();
    TForm_AnalyzeBMP* analysis = window->analysisWindow();
    ASSERT_NE(analysis, nullptr);
    EXPECT_TRUE(analysis->isVisible());
    EXPECT_TRUE(analysis->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(analysis->windowTitle(), QStringLiteral("Embedded Bitmap Analyzer"));
    EXPECT_EQ(analysis->panelText(1), QStringLiteral("2 Colors")); // the cleared picture: aqua and black

    // Ctrl+C in the analysis window copies its chart, not the main window's picture.
    window->show();
    analysis->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(analysis));
    QWidget* button = analysis->chartButton(CB::cbRgbMap);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(samePixels(QGuiApplication::clipboard()->image(), analysis->chart()));

    openPicture(pictureOfColours(9, 30, 30));
    action->trigger();
    EXPECT_EQ(window->analysisWindow(), analysis) << "one window for the whole run";
    EXPECT_EQ(analysis->panelText(1), QStringLiteral("9 Colors"));
}


TEST_F(AnalysisWindow, PrintSendsTheChartToThePrintWindowUnderItsTitle)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    window->AnalyzeBitmap(pictureOfColours(10, 10, 10));
    const QString pdfPath = dir.filePath(QStringLiteral("analysis.pdf"));
    TForm_Print::Mode mode = TForm_Print::Mode::None;
    QString title;
    whenModal([&](QWidget* modal) {
        auto* form = qobject_cast<TForm_Print*>(modal);
        ASSERT_NE(form, nullptr);
        mode = form->mode();
        title = form->texts()[TForm_Print::UpperCenter];
        form->askPdfFileName = [&](QWidget*) { return pdfPath; };
        ASSERT_TRUE(form->selectPrinter(QString::fromLatin1(kPrintToFileEntry)));
        QTest::mouseClick(testing::child<QWidget>(form, "PrintPage"), Qt::LeftButton);
    });
    QTest::mouseClick(window->actionButton(TForm_AnalyzeBMP::abPrint), Qt::LeftButton);

    EXPECT_EQ(mode, TForm_Print::Mode::Picture);
    EXPECT_EQ(title, QStringLiteral("Image Analysis"));
    ASSERT_TRUE(QFileInfo::exists(pdfPath));
    EXPECT_TRUE(pdfText(pdfPath).contains(QStringLiteral("Image Analysis")));
}

} // namespace
} // namespace ostrel::testing
