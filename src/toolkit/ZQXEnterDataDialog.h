// SPDX-License-Identifier: Apache-2.0
#pragma once
// A modal window for typing one long line of text, with a prompt above it and
// OK, Cancel, Copy and Insert buttons below. It spans three quarters of the
// screen width at every zoom. Shortcut routines work on one shared instance
// that exists from application start-up on (see enterDataCreateShared).
#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;

namespace ostrel {

class TZQXZoomBitBtn;

// Button options: OK is always enabled; these bits enable the others.
enum EnterDataButton : int { edCancel = 1, edCopy = 2, edInsert = 4 };

class TForm_EnterData : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    enum ButtonIndex : int { btnOk = 0, btnCancel, btnCopy, btnInsert };

    explicit TForm_EnterData(QWidget* parent = nullptr);
    ~TForm_EnterData() override;

    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    // Called by the Insert key and button with the current text; empty by
    // default.
    std::function<void(const QString&)> insertHook;

    // The prompt above the edit box, which is also the box's spoken name.
    void setPrompt(const QString& text);
    void copyText();
    void insertText();
    void showHelp();

    TZQXZoomBitBtn* button(int index) const;
    QLabel* promptPanel() const { return m_prompt; }
    QFrame* buttonBar() const { return m_buttonBar; }
    QLineEdit* editBox() const { return m_edit; }

protected:
    // The show handler: the edit box takes the focus with the caret at the
    // end. It runs after QDialog's own focus handling, which would select
    // the whole text.
    void setVisible(bool visible) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleShortcut(int key, Qt::KeyboardModifiers modifiers);
    void layoutButtons();

    QLabel* m_prompt = nullptr;
    QFrame* m_buttonBar = nullptr;
    QLineEdit* m_edit = nullptr;
    std::array<TZQXZoomBitBtn*, 4> m_buttons{};
    int m_zoom = 0;
    int m_trialZoom = 0;
};

class TZQXEnterDataDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Zoom READ zoom WRITE setZoom)

public:
    explicit TZQXEnterDataDialog(QObject* parent = nullptr);
    ~TZQXEnterDataDialog() override;

    // Runs the form modally; true exactly when it ends with OK.
    bool Execute();
    QString GetText() const;
    void SetText(const QString& text);
    void SetPrompt(const QString& text);
    // Bits of EnterDataButton.
    void SetButtons(int options);

    int zoom() const;
    void setZoom(int percent);

    TForm_EnterData* form() const { return m_form; }

private:
    TForm_EnterData* m_form = nullptr;
};

// The shared instance, made and freed as the message window's is.
void enterDataCreateShared();
void enterDataFreeShared();
TZQXEnterDataDialog* enterDataShared();

// Shortcuts on the shared instance.
// SetButtons, SetPrompt, Execute; false without a shared instance.
bool EnterDataExecute(int buttonOptions, const QString& prompt);
// Empty without a shared instance.
QString EnterDataGetText();
void EnterDataSetText(const QString& text);

} // namespace ostrel
