// SPDX-License-Identifier: Apache-2.0
#pragma once
// The print window: a preview of the page with its options, for a block of
// text (text pages) or a picture (fitted on one page), printed on any
// installed queue or into a PDF file. Every page has a header and a footer
// line of three texts each, which may hold the codes &P, &#, &D, &T, &W, &&.
//
// Other windows print through PrintText, PrintBitmap or, without keeping a
// dialog of their own, PrintBitmapShared.
#include "toolkit/printing/PrinterUnit.h"

#include <QDialog>
#include <QImage>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPrinter;

namespace ostrel {

class TZQXSuperSpin;
class TZQXZoomBitBtn;
class TZQXZoomSpeedButton;

// The extra entry after the installed queues: a PDF file the user names.
inline const char* const kPrintToFileEntry = "Print to File (PDF)";

// The window's sizes at zoom Z (already floored), on a screen of that size
// with a window frame of that extra size.
struct PrintZoomSizes {
    int zoom;          // after the fit loop
    int buttonHeight;  // bh
    QSize window;      // including the frame
    QPoint topLeft;
    int listFontSize;
    int barFontSize;
    int spinFontSize;
    int presetWidth, valueBoxWidth, spinnerWidth;
};
PrintZoomSizes printZoomSizes(int zoom, const QSize& screen, const QSize& frameExtra);

// What the print window says to the user.
struct PrintNotice {
    enum class Kind {
        PrintFailed,   // a print job failed; the text is its error
        PrinterFailed, // the chosen printer cannot be used; the text is its name
        Help,          // the help of the F1 key; the text is the help text
    };
    Kind kind;
    QString text;
};

// The window's controls carry object names, so that tests and accessibility
// tools find them without the window handing its children out: "Setup",
// "PrinterList", "PrintAll", "PrintPage", "Cancel", "Copy", "Portrait",
// "Landscape", the header and footer buttons "UpperLeft" ... "LowerRight"
// (as TextPosition), "Preview", and the options "Copies", "FontSize",
// "SkinStyle", "PageNumber", "CollatePages", "LineNumbers".
class TForm_Print : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    enum class Mode { None, Text, Picture };
    enum TextPosition : int { UpperLeft, UpperCenter, UpperRight, LowerLeft, LowerCenter, LowerRight };

    explicit TForm_Print(QWidget* parent = nullptr);
    ~TForm_Print() override;

    void setTextSource(const QStringList& lines);
    void setPictureSource(const QImage& picture);
    void clearSource();
    Mode mode() const { return m_mode; }
    // The picture being printed in picture mode.
    const QImage& pictureSource() const { return m_picture; }

    PageTexts& texts() { return m_texts; }

    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    // Refills the printer list and shows the options of the mode.
    void prepareForShow();
    void recount();
    void refreshPreview();

    // Makes the queue (or the file entry) of that name current; false, with
    // the previous one kept, when it cannot be used.
    bool selectPrinter(const QString& name);
    QString currentPrinterName() const { return m_printerName; }
    QPrinter* printer() const { return m_printer.get(); }
    void setOrientation(bool landscape);

    // Asks for the PDF file to print into; empty when cancelled. Replaceable
    // so that the print paths can run without a file dialog.
    std::function<QString(QWidget*)> askPdfFileName;
    // Everything the window says to the user goes here; by default to
    // showNotice. Replaceable, so that tests read what is said.
    std::function<void(const PrintNotice&)> notify;
    // A failed print or printer switch in a plain message box, the help in
    // the message window.
    void showNotice(const PrintNotice& notice);

    void printAll();
    void printPage();
    void copyPreview();
    void showHelp();
    void editText(int position);

    TPrinterPainter& painter() { return m_painter; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopBar();
    void buildBottomBar();
    void buildRightColumn();
    void buildOptions();
    void connectControls();
    void say(const PrintNotice& notice);
    bool handleShortcut(int key, Qt::KeyboardModifiers modifiers);
    void refillPrinterList();
    void layoutOptions();
    void applyTabOrder();
    void layoutBars();
    void skinChanged();
    void printerChosen(int index);
    void runSetup();
    bool printWith(const std::function<Outcome(TPrinterPainter&)>& job);

    Mode m_mode = Mode::None;
    QStringList m_lines;
    QImage m_picture;
    PageTexts m_texts;
    bool m_updating = false;
    int m_zoom = 0;
    int m_buttonHeight = 26;
    TPrinterPainter m_painter;
    std::unique_ptr<QPrinter> m_printer;
    QString m_printerName;
    QImage m_preview;

    QWidget* m_topBar = nullptr;
    QWidget* m_bottomBar = nullptr;
    QWidget* m_rightColumn = nullptr;
    QWidget* m_orientationBar = nullptr;
    QWidget* m_headerBar = nullptr;
    QWidget* m_footerBar = nullptr;
    QWidget* m_options = nullptr;
    QComboBox* m_printerList = nullptr;
    TZQXZoomBitBtn* m_setup = nullptr;
    TZQXZoomBitBtn* m_printAll = nullptr;
    TZQXZoomBitBtn* m_printPage = nullptr;
    TZQXZoomBitBtn* m_cancel = nullptr;
    TZQXZoomBitBtn* m_copy = nullptr;
    TZQXZoomSpeedButton* m_portrait = nullptr;
    TZQXZoomSpeedButton* m_landscape = nullptr;
    std::array<TZQXZoomSpeedButton*, 6> m_textButtons{};
    QLabel* m_previewArea = nullptr;
    TZQXSuperSpin* m_copies = nullptr;
    TZQXSuperSpin* m_fontSize = nullptr;
    TZQXSuperSpin* m_skin = nullptr;
    TZQXSuperSpin* m_page = nullptr;
    QCheckBox* m_collate = nullptr;
    QCheckBox* m_lineNumbers = nullptr;
};

class TZQXPrintDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    explicit TZQXPrintDialog(QObject* parent = nullptr);
    ~TZQXPrintDialog() override;

    // Runs the window modally with these header and footer texts, which come
    // back as the user left them; true when it ended by printing.
    bool Execute(PageTexts& texts);
    bool ExecuteText(const QStringList& lines, PageTexts& texts);
    bool ExecuteBitmap(const QImage& picture, PageTexts& texts);
    // The title on top, the date bottom left and "Page &P of &#" bottom right.
    bool PrintText(const QStringList& lines, const QString& title);
    bool PrintBitmap(const QImage& picture, const QString& title);

    int zoom() const;
    void setZoom(int percent);

    TForm_Print* form() const { return m_form; }

private:
    TForm_Print* m_form;
};

// PrintBitmap on a print dialog shared by the whole program, made on first
// use; false when there is no application to show it in.
bool PrintBitmapShared(const QImage& picture, const QString& title);

} // namespace ostrel
