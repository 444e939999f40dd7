// SPDX-License-Identifier: Apache-2.0
#include "shell/SteganographyUnit.h"

#include "colour/ColourCount.h"
#include "colour/ZQXSplayTree.h"
#include "data/WebUnit.h"
#include "engine/PasswordBytes.h"
#include "engine/Capacity.h"
#include "engine/Decoder.h"
#include "engine/AdaptiveMode.h"
#include "engine/Encoder.h"
#include "engine/TRandom.h"
#include "imageio/GraphicsIOUnit.h"
#include "imageio/bmp.h"
#include "imageio/gif.h"
#include "imageio/png.h"
#include "shell/Autoform_AnalyzeBMP.h"
#include "shell/ShellDialogs.h"
#include "shell/ShellTexts.h"
#include "toolkit/BusyCursor.h"
#include "toolkit/ClipboardUnit.h"
#include "util/Picture.h"
#include "util/Text.h"

#include "PictureView.h"
#include "ProgramArt.h"
#include "WindowFonts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScrollArea>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

namespace ostrel {

namespace {

constexpr int kClearWidth = 320;
constexpr int kClearHeight = 240;
constexpr int kColourPanelWidth = 200;
// The widest text panel 1 can show; the panel is made wide enough for it.
const QString kWidestColourText = QStringLiteral("16777216 of 16777232 Colors");
// Closing the window waits no longer than this for a cancelled fetch.
constexpr int kFetchEndWaitMs = 1000;

// The cleared picture: aqua with a one-pixel black frame.
QImage clearedPicture()
{
    QImage picture = allocateFilledPicture(kClearWidth, kClearHeight, 0, 255, 255);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, kClearWidth - 1, kClearHeight - 1);
    return picture;
}

// The local file a drop carries, when it names a picture we can read.
QString droppedPictureFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString fileName = urls.first().toLocalFile();
    if (PictureLoaderCode(upperExtension(fileName)) == 0)
        return {};
    return fileName;
}

// Accepts a drag or drop only as a copy: a file manager that sees a move
// deletes the user's picture once the drop is done.
bool acceptAsCopy(QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

struct CommandRow {
    MenuCommand command;
    const char* caption;
    QKeySequence shortcut;
    void (TForm_Main_Steganography::*handler)();
};

} // namespace

TForm_Main_Steganography::TForm_Main_Steganography(ShellDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_tree(std::make_unique<TZQXTColorSplayTree>())
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<StandardShellDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("Form_Main_Steganography"));
    setWindowTitle(kProgramCaption);
    setWindowIcon(QIcon(QPixmap::fromImage(drawProgramIcon(64))));
    resize(400, 300);
    setMinimumSize(400, 300);
    setAcceptDrops(true);
    buildWindow();
    buildMenus();

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &TForm_Main_Steganography::classifyClipboardNow);
    classifyClipboardNow();
    Clear1Click();
}

TForm_Main_Steganography::~TForm_Main_Steganography()
{
    endFetch();
}

void TForm_Main_Steganography::closeEvent(QCloseEvent* event)
{
    endFetch();
    QMainWindow::closeEvent(event);
}

// Cancelling shuts the fetch's socket down, so its thread ends at once. Should
// it still be busy (a slow disk, say) it is left to finish on its own rather
// than keep the window from closing; it touches nothing of the window.
void TForm_Main_Steganography::endFetch()
{
    if (!m_fetchThread)
        return;
    m_fetchThread->disconnect(this);
    m_fetchCancellation->cancel();
    if (m_fetchThread->wait(QDeadlineTimer(kFetchEndWaitMs)))
        delete m_fetchThread;
    else
        connect(m_fetchThread, &QThread::finished, m_fetchThread, &QObject::deleteLater);
    clearFetch();
}

void TForm_Main_Steganography::clearFetch()
{
    m_fetchThread = nullptr;
    m_fetchCancellation.reset();
    m_panels[2]->setText(m_sourceBeforeFetch);
    updateCommandStates();
}

void TForm_Main_Steganography::buildWindow()
{
    auto* central = new QWidget(this);
    central->setFont(boldPixelFont(QStringLiteral("MS Sans Serif"), 13));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_panelTop = new QLabel(central);
    m_panelTop->setObjectName(QStringLiteral("Panel_Top"));
    m_panelTop->setFixedHeight(33);
    m_panelTop->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panelTop->setAlignment(Qt::AlignCenter);
    m_panelTop->setFont(boldPixelFont(QStringLiteral("Arial"), 16));
    m_panelTop->setTextFormat(Qt::PlainText);
    layout->addWidget(m_panelTop);

    m_scrollBox = new QScrollArea(central);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // It takes the focus, so that the arrow keys scroll a large picture.
    m_scrollBox->setAccessibleName(QStringLiteral("Picture"));
    m_image = new PictureView(&m_picture);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_scrollBox->setWidget(m_image);
    layout->addWidget(m_scrollBox, 1);
    setCentralWidget(central);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFont(boldPixelFont(QStringLiteral("Arial"), 16));
    const QFontMetrics metrics(bar->font());
    const int colourWidth = std::max(kColourPanelWidth, metrics.horizontalAdvance(kWidestColourText)
                                                            + 2 * metrics.horizontalAdvance(QLatin1Char('x')));
    const std::array<int, 3> widths = {120, colourWidth, 50};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        // File names and addresses are shown as they are, never as markup.
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(i < 2 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        if (i < 2)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        bar->addWidget(panel, i < 2 ? 0 : 1);
        m_panels[i] = panel;
    }
}

void TForm_Main_Steganography::buildMenus()
{
    using Self = TForm_Main_Steganography;
    const QString menus[] = {QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("&Steganography"),
                             QStringLiteral("&Tools"), QStringLiteral("&Help")};
    // Menu index, then the items in order; a null caption is a separator.
    struct MenuItem {
        int menu;
        std::optional<CommandRow> row;
    };
    const MenuItem items[] = {
        {0, CommandRow{MenuCommand::Clear, "&Clear", {}, &Self::Clear1Click}},
        {0, CommandRow{MenuCommand::Open, "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O), &Self::Open1Click}},
        {0, CommandRow{MenuCommand::OpenFromWeb, "Open from &Web...", QKeySequence(Qt::CTRL | Qt::Key_W),
                       &Self::OpenfromWeb1Click}},
        {0, CommandRow{MenuCommand::SaveAs, "&Save As...", QKeySequence(Qt::CTRL | Qt::Key_S), &Self::SaveAs1Click}},
        {0, std::nullopt},
        {0, CommandRow{MenuCommand::Print, "&Print", QKeySequence(Qt::CTRL | Qt::Key_P), &Self::Print1Click}},
        {0, std::nullopt},
        {0, CommandRow{MenuCommand::Exit, "E&xit", QKeySequence(Qt::ALT | Qt::Key_F4), &Self::Exit1Click}},
        {1, CommandRow{MenuCommand::Copy, "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), &Self::Copy1Click}},
        {1, CommandRow{MenuCommand::Paste, "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &Self::Paste1Click}},
        {2, CommandRow{MenuCommand::Encode, "&Encode...", QKeySequence(Qt::CTRL | Qt::Key_E), &Self::Encode1Click}},
        {2, CommandRow{MenuCommand::EncodeAdaptive, "Encode &Adaptively...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
                       &Self::EncodeAdaptively1Click}},
        {2, CommandRow{MenuCommand::Decode, "&Decode...", QKeySequence(Qt::CTRL | Qt::Key_D), &Self::Decode1Click}},
        {3, CommandRow{MenuCommand::AnalyzePicture, "&Analyze Picture", QKeySequence(Qt::Key_F10), &Self::AnalyzePicture1Click}},
        {4, CommandRow{MenuCommand::About, "&About...", QKeySequence(Qt::Key_F1), &Self::About1Click}},
    };
    std::array<QMenu*, 5> menuWidgets{};
    for (int i = 0; i < 5; ++i)
        menuWidgets[i] = menuBar()->addMenu(menus[i]);
    for (const MenuItem& item : items) {
        QMenu* menu = menuWidgets[item.menu];
        if (!item.row) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(item.row->caption));
        action->setShortcut(item.row->shortcut);
        if (item.row->handler)
            connect(action, &QAction::triggered, this, item.row->handler);
        m_actions[size_t(item.row->command)] = action;
    }
    updateCommandStates();
}

void TForm_Main_Steganography::updateCommandStates()
{
    MenuContext context;
    context.clipboardState = m_clipboardState;
    context.fetchRunning = fetchRunning();
    for (size_t i = 0; i < m_actions.size(); ++i)
        if (m_actions[i])
            m_actions[i]->setEnabled(commandEnabled(MenuCommand(i), context));
}

void TForm_Main_Steganography::classifyClipboardNow()
{
    m_clipboardState = ClassifyClipboard();
    updateCommandStates();
}

QString TForm_Main_Steganography::panelText(int panel) const
{
    return m_panels.at(size_t(panel))->text();
}

QString TForm_Main_Steganography::capacityText() const
{
    return m_panelTop->text();
}

QAction* TForm_Main_Steganography::commandAction(MenuCommand command) const
{
    return m_actions.at(size_t(command));
}

void TForm_Main_Steganography::ShowProgress(int32_t percent)
{
    if (percent == m_lastProgress)
        return;
    // -1 only says that the work starts.
    m_panels[1]->setText(QString::number(std::max(percent, 0)) + QLatin1Char('%'));
    // The long loops take no messages, so the status bar is painted now.
    statusBar()->repaint();
    m_lastProgress = percent;
}

TProgressProc TForm_Main_Steganography::progressCallback()
{
    return [this](int32_t percent) { ShowProgress(percent); };
}

void TForm_Main_Steganography::Update_All()
{
    m_panels[0]->setText(pictureSizeText(m_picture));
    m_panelTop->setText(capacityLine(m_picture.width(), m_picture.height()));
    m_image->repaint();
    statusBar()->repaint();
}

int64_t TForm_Main_Steganography::RecountColors()
{
    ColourCount counted;
    {
        BusyCursor busy;
        counted = countColoursWithBase(m_picture, *m_tree, progressCallback());
    }
    Update_All();
    m_colourCount = counted.total;
    m_colourText = counted.text;
    m_panels[1]->setText(m_colourText);
    statusBar()->repaint();
    Update_All();
    return m_colourCount;
}

void TForm_Main_Steganography::pictureReplaced(const QString& source)
{
    ensurePictureFormat(m_picture);
    m_image->fitToPicture();
    m_panels[2]->setText(sourcePanelText(source));
    RecountColors();
    Update_All();
}

void TForm_Main_Steganography::Clear1Click()
{
    m_picture = clearedPicture();
    pictureReplaced(QString());
}

void TForm_Main_Steganography::Open1Click()
{
    const QString fileName = m_dialogs->openFileName(this, kOpenPictureTitle, kPictureFilter);
    if (!fileName.isEmpty())
        openPictureFile(fileName);
}

void TForm_Main_Steganography::openPictureFile(const QString& fileName)
{
    LoadResult result;
    {
        BusyCursor busy;
        result = LoadPictureFile(m_picture, fileName);
    }
    const QString problem = loadProblemText(fileName, result.stop);
    if (result.stop != LoadStop::Failed)
        pictureReplaced(fileName);
    if (!problem.isEmpty())
        m_dialogs->showError(problem);
}

void TForm_Main_Steganography::OpenfromWeb1Click()
{
    const std::optional<QString> url = m_dialogs->webAddress(m_lastUrl);
    if (!url)
        return;
    m_lastUrl = *url;
    // The fetch waits on the network for seconds, so it runs on a worker
    // thread; it touches nothing of the window, only its own result.
    auto result = std::make_shared<WebFetchResult>();
    auto cancellation = std::make_shared<FetchCancellation>();
    m_fetchCancellation = cancellation;
    m_fetchThread = QThread::create([url = *url, result, cancellation] {
        FetchSettings settings;
        settings.cancellation = cancellation.get();
        *result = fetchToWebFolder(url, settings);
    });
    connect(m_fetchThread, &QThread::finished, this, [this, url = *url, result] { finishFetch(url, *result); });
    m_sourceBeforeFetch = m_panels[2]->text();
    m_panels[2]->setText(visibleControls(fetchRunningText(*url)));
    updateCommandStates();
    m_fetchThread->start();
}

void TForm_Main_Steganography::finishFetch(const QString& url, const WebFetchResult& result)
{
    m_fetchThread->deleteLater();
    clearFetch();
    if (result.errorText.isEmpty()) {
        if (PictureLoaderCode(upperExtension(result.targetPath)) != 0)
            openPictureFile(result.targetPath);
        else
            Clear1Click();
    }
    m_dialogs->showMessage(fetchMessageText(result), true, fetchMessageTitle(url));
    // The cause: why the server could not be reached, or why storing failed.
    if (QString cause = result.failureDetail; !cause.isEmpty()) {
        cause[0] = cause[0].toUpper();
        m_dialogs->showError(cause);
    }
    emit fetchFinished();
}

void TForm_Main_Steganography::SaveAs1Click()
{
    const SavePalette save = savePaletteFromTree(*m_tree);
    const SaveDialogChoice choice = saveDialogChoice(m_colourCount);
    QString fileName = m_dialogs->saveFileName(this, choice.title, choice.filter);
    if (fileName.isEmpty())
        return;
    fileName = withDefaultExtension(fileName);
    const QString extension = upperExtension(fileName);
    if (extension != QLatin1String(".BMP") && extension != QLatin1String(".GIF") && extension != QLatin1String(".PNG")) {
        m_dialogs->showError(saveExtensionErrorText(fileName, extension));
        m_panels[2]->clear();
        Update_All();
        return;
    }
    // The writers' progress shows in panel 1 as the census's does; the panel
    // gets its colour count back afterwards, since saving changes no colour.
    const TProgressProc progress = progressCallback();
    QString error;
    bool saved = false;
    {
        BusyCursor busy;
        if (extension == QLatin1String(".BMP"))
            saved = SaveBmpPaletted(m_picture, fileName, save.palette, save.count, false, progress, &error);
        else if (extension == QLatin1String(".PNG"))
            saved = savePngPaletted(m_picture, fileName, save.palette, save.count, progress, &error);
        else
            saved = SaveGifPaletted(m_picture, fileName, save.palette, save.count, false, false, 0, false, progress,
                                    &error);
    }
    m_panels[1]->setText(m_colourText);
    if (!saved) {
        m_dialogs->showError(fileErrorText(fileName, error));
        return;
    }
    m_panels[2]->setText(sourcePanelText(fileName));
    Update_All();
}

void TForm_Main_Steganography::Print1Click()
{
    m_dialogs->printPicture(m_picture, panelText(2));
}

void TForm_Main_Steganography::Exit1Click()
{
    close();
}

void TForm_Main_Steganography::Copy1Click()
{
    QGuiApplication::clipboard()->setImage(m_picture);
}

void TForm_Main_Steganography::Paste1Click()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return;
    QImage pasted;
    {
        // A large picture takes a moment to come from another program.
        BusyCursor busy;
        pasted = QGuiApplication::clipboard()->image();
    }
    if (pasted.isNull())
        return;
    if (!pictureSizeAllowed(pasted.width(), pasted.height())) {
        m_dialogs->showError(loadProblemText(kPasteSource, LoadStop::OverLimit));
        return;
    }
    m_picture = std::move(pasted);
    pictureReplaced(kPasteSource);
}

std::optional<QByteArray> TForm_Main_Steganography::askUsablePassword()
{
    for (;;) {
        std::optional<QString> password = m_dialogs->password(this);
        if (!password)
            return std::nullopt;
        QByteArray bytes = toAnsiBytes(*password);
        wipeSecret(*password);
        if (keyCanProduceBits(HashPassword(bytes)))
            return bytes;
        wipeSecret(bytes);
        m_dialogs->showError(unusablePasswordText());
    }
}

void TForm_Main_Steganography::Encode1Click()
{
    const QString payload = m_dialogs->openFileName(this, kOpenPayloadTitle, kPayloadFilter);
    if (payload.isEmpty())
        return;
    std::optional<QByteArray> password = askUsablePassword();
    if (!password)
        return;
    const uint64_t key = HashPassword(*password);
    wipeSecret(*password);
    const auto keyLow = uint32_t(key);
    const auto keyHigh = uint32_t(key >> 32);
    const TProgressProc progress = progressCallback();
    ReportList report;
    Update_All();

    bool encoded = false;
    if (reductionOffered(m_colourCount) && m_dialogs->askYesNo(reduceQuestionText())) {
        Update_All();
        TPaletteArray palette{};
        int32_t count = 0;
        {
            BusyCursor busy;
            buildReductionPalette(*m_tree, palette, count);
        }
        Update_All();
        const bool dither = m_dialogs->askYesNo(ditherQuestionText(count));
        Update_All();
        BusyCursor busy;
        encoded = EncodePayload(m_picture, palette, count, progress, &report, keyLow, keyHigh, payload, dither);
    } else {
        BusyCursor busy;
        encoded = EncodePayloadTrueColor(m_picture, payload, &report, progress, keyLow, keyHigh);
    }
    // The encoder may have brought the picture to the working format first.
    m_image->fitToPicture();
    m_image->repaint();
    m_dialogs->showMessage(outcomeText(QStringLiteral("Encoding"), encoded, report), true, kEncodeTitle);
    RecountColors();
}

void TForm_Main_Steganography::EncodeAdaptively1Click()
{
    const QString payload = m_dialogs->openFileName(this, kOpenPayloadTitle, kPayloadFilter);
    if (payload.isEmpty())
        return;
    const QString dateTime = currentDateTimeText();
    EncodePlan fit;
    {
        BusyCursor busy;
        fit = planAdaptiveEncodeOfFile(m_picture, payload, dateTime);
    }
    if (!fit.accepted) {
        m_dialogs->showError(fit.lines.isEmpty() ? QString() : fit.lines.last());
        return;
    }
    std::optional<QByteArray> password = askUsablePassword();
    while (password && password->isEmpty()) {
        m_dialogs->showError(adaptiveNeedsPasswordText());
        password = askUsablePassword();
    }
    if (!password)
        return;
    ReportList report;
    Update_All();
    bool encoded = false;
    {
        BusyCursor busy;
        encoded = encodeAdaptivePayload(m_picture, payload, *password, &report, progressCallback(), dateTime);
    }
    wipeSecret(*password);
    m_image->fitToPicture();
    m_image->repaint();
    m_dialogs->showMessage(outcomeText(QStringLiteral("Encoding"), encoded, report), true, kEncodeAdaptiveTitle);
    RecountColors();
}

void TForm_Main_Steganography::Decode1Click()
{
    std::optional<QByteArray> password = askUsablePassword();
    if (!password)
        return;
    ReportList report;
    QString outputPath;
    bool decoded = false;
    {
        BusyCursor busy;
        // A sealed picture is opened too: the same password, derived as a sealed key.
        decoded = decodePayloadWithPassword(m_picture, QString(), outputPath, &report, *password);
    }
    wipeSecret(*password);
    m_dialogs->showMessage(outcomeText(QStringLiteral("Decode"), decoded, report), true, kDecodeTitle);
}

void TForm_Main_Steganography::AnalyzePicture1Click()
{
    // The analysis window stays above this one and goes with it.
    if (!m_analysis)
        m_analysis = new TForm_AnalyzeBMP(this);
    m_analysis->AnalyzeBitmap(m_picture);
}

void TForm_Main_Steganography::About1Click()
{
    m_dialogs->showAbout(this);
}

QString TForm_Main_Steganography::droppableFile(const QDropEvent* event) const
{
    if (!m_actions[size_t(MenuCommand::Open)]->isEnabled())
        return {};
    return droppedPictureFile(event->mimeData());
}

void TForm_Main_Steganography::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppableFile(event).isEmpty())
        acceptAsCopy(event);
}

// Every move over the window comes with the action the source proposes
// (a move, with Shift held); it is made a copy again each time.
void TForm_Main_Steganography::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppableFile(event).isEmpty())
        event->ignore();
    else
        acceptAsCopy(event);
}

void TForm_Main_Steganography::dropEvent(QDropEvent* event)
{
    const QString fileName = droppableFile(event);
    if (fileName.isEmpty() || !acceptAsCopy(event))
        return;
    openPictureFile(fileName);
}


} // namespace ostrel
