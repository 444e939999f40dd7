// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's one message window: a block of text in a read-only view under
// a bar of glyph buttons, for reports and errors (OK, Copy, Print) and for
// yes/no questions. Shortcut routines work on one shared instance, which
// exists from application start-up on (see popupCreateShared).
#include <QColor>
#include <QDialog>
#include <QFlags>
#include <QString>

#include <array>

class QFrame;
class QPlainTextEdit;
class QStatusBar;

namespace ostrel {

class TZQXZoomBitBtn;

// The modal results the dialogs end with.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, FontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

class TForm_Popup : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    // Buttons in bar order; also the index into button().
    enum ButtonIndex : int { btnOk = 1, btnYes, btnNo, btnCancel, btnCopy, btnPrint };

    explicit TForm_Popup(QWidget* parent = nullptr);
    ~TForm_Popup() override;

    // Sets which buttons show, the print title, the caption and the text, and
    // lays the visible buttons out from the left. The caller runs exec().
    void ShowText(bool showOk, bool showYes, bool showNo, bool showCancel, bool showCopy, bool showPrint,
                  const QString& printTitle, const QString& caption, const QString& text);

    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    int baseFontSize() const { return m_baseFontSize; }
    void setBaseFontSize(int size);

    const QString& printTitle() const { return m_printTitle; }

    // Copies the selection, or the whole text when nothing is selected, to
    // the clipboard, leaving the selection as it was.
    void copyText();

    // Lines up the text after each line's first tab and makes the window
    // large enough to show every line whole, as far as the screen allows;
    // it never shrinks the window.
    void fitToText();

    TZQXZoomBitBtn* button(int index) const;
    QPlainTextEdit* textView() const { return m_text; }
    QFrame* buttonBar() const { return m_buttonBar; }
    QStatusBar* statusStrip() const { return m_status; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The close box and Escape answer Cancel.
    void reject() override;

private:
    void finish(int result);
    void printText();
    void layoutChildren();

    QFrame* m_buttonBar = nullptr;
    QStatusBar* m_status = nullptr;
    QPlainTextEdit* m_text = nullptr;
    std::array<TZQXZoomBitBtn*, 6> m_buttons{};
    int m_baseFontSize = 12;
    int m_zoom = 0;
    QString m_printTitle;
};

class TZQXPopupDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    explicit TZQXPopupDialog(QObject* parent = nullptr);
    ~TZQXPopupDialog() override;

    void SetFontName(const QString& name);
    void SetFontSize(int size);
    void SetFontStyle(TFontStyles style);
    void SetFontColor(const QColor& colour);
    void SetBackColor(const QColor& colour);
    void SetFont(const QString& name, int size, TFontStyles style, const QColor& textColour,
                 const QColor& backColour);

    int zoom() const;
    void setZoom(int percent);

    void RestoreWindowState();
    void ResetPlacement();

    // OK and Copy, plus Print when allowed; the title is printed on paper
    // only, the caption always reads "Show Message".
    void ShowTextMessage(const QString& text, bool printAllowed, const QString& title);
    // Yes and No; true exactly when the answer is Yes.
    bool AskYesNo(const QString& text);
    // A help text: as ShowTextMessage, with the window fitted to the text so
    // that no line is cut.
    void showHelpText(const QString& text, bool printAllowed, const QString& title);

    TForm_Popup* form() const { return m_form; }

private:
    TForm_Popup* m_form = nullptr;
};

// The shared instance. The toolkit creates it when the application object is
// made (a QApplication) and frees it when the event loop ends; these two
// calls exist for programs and tests that manage it themselves.
void popupCreateShared();
void popupFreeShared();
TZQXPopupDialog* popupShared();

// Shortcuts on the shared instance; each does nothing without it.
bool PopupAvailable();
void PopupResetPlacement();
void PopupSetFont(const QString& name, int size, TFontStyles style, const QColor& textColour,
                  const QColor& backColour);
void PopupSetZoom(int percent);
void PopupShowMessage(const QString& text, bool printAllowed, const QString& title);
void PopupShowError(const QString& text);
// False when there is no shared instance.
bool PopupAskYesNo(const QString& text);

} // namespace ostrel
