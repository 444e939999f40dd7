// SPDX-License-Identifier: Apache-2.0
#pragma once
// The main window: owns the working picture and its colour census, and runs
// every menu command. Dialogs are reached through ShellDialogs.
#include "colour/PaletteTypes.h"
#include "shell/CommandState.h"

#include <QImage>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QAction;
class QDropEvent;
class QLabel;
class QScrollArea;
class QThread;

namespace ostrel {

class TForm_AnalyzeBMP;
class PictureView;
class ShellDialogs;
class TZQXTColorSplayTree;
class FetchCancellation;
struct WebFetchResult;

class TForm_Main_Steganography : public QMainWindow {
    Q_OBJECT
public:
    // Uses `dialogs` when given (it must outlive the window), else the real ones.
    explicit TForm_Main_Steganography(ShellDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm_Main_Steganography() override;

    // The menu commands.
    void Clear1Click();
    void Open1Click();
    void OpenfromWeb1Click();
    void SaveAs1Click();
    void Exit1Click();
    void Copy1Click();
    void Paste1Click();
    void Encode1Click();
    // Seals the file and hides it adaptively (AdaptiveMode.h); the fit is
    // checked before the password is asked for.
    void EncodeAdaptively1Click();
    void Decode1Click();
    void AnalyzePicture1Click();
    void About1Click();
    void Print1Click();

    // Loads a picture file as Open does (also for a file dropped on the window).
    void openPictureFile(const QString& fileName);

    // The progress callback of the census and the encoder: "N%" in panel 1,
    // repainted at once, only when the value changes.
    void ShowProgress(int32_t percent);
    // Panel 0 and the capacity line.
    void Update_All();
    // Census of the picture plus the 16 base colours; returns their count.
    int64_t RecountColors();
    // Reads the clipboard's state and enables the commands accordingly.
    void classifyClipboardNow();

    const QImage& picture() const { return m_picture; }
    int64_t colourCount() const { return m_colourCount; }
    QString panelText(int panel) const;
    QString capacityText() const;
    QAction* commandAction(MenuCommand command) const;
    // The analysis window, made on first use; null until then.
    TForm_AnalyzeBMP* analysisWindow() const { return m_analysis; }
    // True while a web fetch runs on its worker thread.
    bool fetchRunning() const { return m_fetchThread != nullptr; }

signals:
    // Emitted when a web fetch has been stored and reported.
    void fetchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildWindow();
    void updateCommandStates();
    TProgressProc progressCallback();
    void pictureReplaced(const QString& source);
    std::optional<QByteArray> askUsablePassword();
    void finishFetch(const QString& url, const WebFetchResult& result);
    // Cancels a running fetch and waits for it at most a second.
    void endFetch();
    // Forgets the fetch whose thread is already dealt with and shows the
    // source panel and the commands as they were before it.
    void clearFetch();
    // The picture file a drag or drop carries, when Open could take it now.
    QString droppableFile(const QDropEvent* event) const;

    std::unique_ptr<ShellDialogs> m_ownDialogs;
    ShellDialogs* m_dialogs;

    QImage m_picture;
    std::unique_ptr<TZQXTColorSplayTree> m_tree;
    int64_t m_colourCount = 0;
    QString m_colourText;
    int32_t m_lastProgress = -1;
    int m_clipboardState = 0;
    QString m_lastUrl;
    QThread* m_fetchThread = nullptr;
    TForm_AnalyzeBMP* m_analysis = nullptr;
    std::shared_ptr<FetchCancellation> m_fetchCancellation;
    QString m_sourceBeforeFetch; // panel 2 while the fetch's address shows there

    QLabel* m_panelTop = nullptr;
    QScrollArea* m_scrollBox = nullptr;
    PictureView* m_image = nullptr;
    std::array<QLabel*, 3> m_panels{};
    std::array<QAction*, 13> m_actions{};
};

} // namespace ostrel
