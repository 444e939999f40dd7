// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXEnterDataDialog.h"

#include "toolkit/WindowStacking.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZoomRules.h"
#include "util/Fonts.h"

#include "ToolkitShared.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace ostrel {

namespace {

constexpr int kEditFontSize = 14;
constexpr int kPromptFontSize = 10;
constexpr int kButtonBaseFontSize = 10;

constexpr std::array<GlyphButtonRow, 4> kButtons = {{
    {"OK", BMP_Check, "Accept current data entry string"},
    {"Cancel", BMP_Cancel, "Cancel data entry"},
    {"Copy", BMP_Edit_Copy, "Copy current data entry string to Clipboard"},
    {"Insert", BMP_Insert, "Insert current data entry string into Application"},
}};

const auto kUnpromptedName = QStringLiteral("Data entry string");

const char* const kHelpText =
    "Help on Data Entry Popup\r\n\r\nF1\t: This HELP dialog.\r\nInsert\t: Insert current data entry string into "
    "application.\r\nCtrl-C\t: Copy current data entry string to clipboard.\r\nCtrl-A\t: Select entire current data "
    "entry string.\r\n\r\nThis popup allows the user to enter a long string of text\r\ninto the current application.  "
    "Normally, the user enters\r\nthe desired text and clicks OK, or CANCEL to abort the\r\ndialog.  Clicking COPY "
    "puts the current string into the\r\nclipboard, and clicking INSERT puts the current string\r\ndirectly into the "
    "current application.  Depending on the\r\napplication, the CANCEL, COPY, and/or INSERT buttons\r\nmay be "
    "disabled.\r\n";

} // namespace

TForm_EnterData::TForm_EnterData(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_EnterData"));
    setWindowTitle(QStringLiteral("Enter Data"));
    setGeometry(0, 0, 500, 250);

    m_prompt = new QLabel(this);
    m_prompt->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_prompt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_prompt->setIndent(4);
    m_prompt->setFont(pictureFont(QStringLiteral("Arial"), kPromptFontSize, true));
    m_prompt->setGeometry(0, 0, width(), 29);

    m_buttonBar = new QFrame(this);
    m_buttonBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_buttonBar->setGeometry(0, m_prompt->height() + 2, width(), 29);
    m_buttonBar->installEventFilter(this);

    m_edit = new QLineEdit(this);
    m_edit->setFont(pictureFont(QStringLiteral("Courier New"), kEditFontSize, true));
    m_edit->setToolTip(QStringLiteral("Enter new data string into this edit box"));
    m_edit->setGeometry(0, m_prompt->height() + 1, width(), m_edit->sizeHint().height());
    m_edit->installEventFilter(this);
    // The prompt above the field is its label; until a prompt is set the
    // field is named by what it holds.
    m_prompt->setBuddy(m_edit);
    m_edit->setAccessibleName(kUnpromptedName);

    for (size_t i = 0; i < kButtons.size(); ++i) {
        auto* button = new TZQXZoomBitBtn(m_buttonBar);
        button->setText(QString::fromLatin1(kButtons[i].caption));
        button->setFont(pictureFont(QStringLiteral("Arial"), kButtonBaseFontSize, true));
        button->setGeometry(2, 2, 89, 25);
        button->setToolTip(QString::fromLatin1(kButtons[i].hint));
        button->setBaseFontSize(kButtonBaseFontSize);
        button->setZoom(100);
        button->setAutoDefault(false);
        button->setResource(kButtons[i].glyph);
        button->installEventFilter(this);
        m_buttons[i] = button;
    }
    // Enter presses OK and Escape ends the run as Cancel does (QDialog's own
    // handling of its default button and of Escape).
    m_buttons[btnOk]->setDefault(true);
    connect(m_buttons[btnOk], &QPushButton::clicked, this, &QDialog::accept);
    connect(m_buttons[btnCancel], &QPushButton::clicked, this, &QDialog::reject);
    connect(m_buttons[btnCopy], &QPushButton::clicked, this, &TForm_EnterData::copyText);
    connect(m_buttons[btnInsert], &QPushButton::clicked, this, &TForm_EnterData::insertText);

    setZoom(100);
}

TForm_EnterData::~TForm_EnterData() = default;

TZQXZoomBitBtn* TForm_EnterData::button(int index) const
{
    if (index < btnOk || index > btnInsert)
        return nullptr;
    return m_buttons[index];
}

void TForm_EnterData::setZoom(int percent)
{
    const int zoom = zoomFloor(percent);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;

    const QSize frameExtra = frameGeometry().size() - size();
    const EnterDataZoomSizes sizes =
        enterDataZoomSizes(zoom, toolkitScreenSize(), frameExtra, [this](int points) {
            QFont font = m_edit->font();
            setFontPoints(font, points);
            m_edit->setFont(font);
            return m_edit->sizeHint().height();
        });
    m_trialZoom = sizes.trialZoom;

    setFixedSize(sizes.client);
    move(sizes.topLeft);

    m_prompt->setGeometry(0, 0, sizes.client.width(), sizes.panelHeight);
    QFont promptFont = m_prompt->font();
    setFontPoints(promptFont, sizes.promptFontSize);
    m_prompt->setFont(promptFont);
    m_buttonBar->setGeometry(0, sizes.client.height() - sizes.panelHeight, sizes.client.width(),
                             sizes.panelHeight);
    m_edit->setGeometry(0, m_prompt->y() + m_prompt->height() + 1, sizes.client.width(), sizes.editHeight);
    for (TZQXZoomBitBtn* button : m_buttons) {
        button->resize(button->width(), sizes.buttonHeight);
        button->setZoom(sizes.trialZoom);
    }
    layoutButtons();
}

void TForm_EnterData::layoutButtons()
{
    const std::array<QRect, 4> rects = enterDataButtonRects(m_buttonBar->width(), m_buttons[btnOk]->height());
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(rects[i]);
}

void TForm_EnterData::setPrompt(const QString& text)
{
    m_prompt->setText(text);
    // A name of its own would hide the prompt from screen readers.
    m_edit->setAccessibleName(text.isEmpty() ? kUnpromptedName : QString());
}

void TForm_EnterData::copyText()
{
    QGuiApplication::clipboard()->setText(m_edit->text());
}

void TForm_EnterData::insertText()
{
    if (insertHook)
        insertHook(m_edit->text());
}

void TForm_EnterData::showHelp()
{
    TZQXPopupDialog help;
    help.ResetPlacement();
    help.SetFont(QStringLiteral("Arial"), 12, fsBold, Qt::black, palette().color(QPalette::Button));
    help.setZoom(m_zoom);
    help.ShowTextMessage(QString::fromLatin1(kHelpText), true, QStringLiteral("Help on Data Entry"));
}

void TForm_EnterData::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (!visible)
        return;
    m_edit->setFocus();
    m_edit->deselect();
    m_edit->end(false);
}

bool TForm_EnterData::handleShortcut(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (held == Qt::NoModifier && key == Qt::Key_Insert) {
        insertText();
        return true;
    }
    if (held == Qt::NoModifier && key == Qt::Key_F1) {
        showHelp();
        return true;
    }
    if (held == Qt::ControlModifier && key == Qt::Key_A) {
        m_edit->setFocus();
        m_edit->selectAll();
        return true;
    }
    if (held == Qt::ControlModifier && key == Qt::Key_C) {
        copyText();
        return true;
    }
    return false;
}

void TForm_EnterData::keyPressEvent(QKeyEvent* event)
{
    if (handleShortcut(event->key(), event->modifiers()))
        return;
    QDialog::keyPressEvent(event);
}

// The form's shortcuts come before the keys of its controls, so Ctrl+C copies
// the whole text even when the edit box holds a selection of its own.
bool TForm_EnterData::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buttonBar && event->type() == QEvent::Resize) {
        layoutButtons();
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        const bool ours = (held == Qt::NoModifier && (key->key() == Qt::Key_Insert || key->key() == Qt::Key_F1))
            || (held == Qt::ControlModifier && (key->key() == Qt::Key_A || key->key() == Qt::Key_C));
        if (!ours)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            // Claim the key so that no application shortcut takes it first.
            event->accept();
            return true;
        }
        return handleShortcut(key->key(), key->modifiers());
    }
    return QDialog::eventFilter(watched, event);
}

TZQXEnterDataDialog::TZQXEnterDataDialog(QObject* parent)
    : QObject(parent)
    , m_form(new TForm_EnterData)
{
}

TZQXEnterDataDialog::~TZQXEnterDataDialog()
{
    delete m_form;
}

bool TZQXEnterDataDialog::Execute()
{
    return execInFront(m_form) == QDialog::Accepted;
}

QString TZQXEnterDataDialog::GetText() const
{
    return m_form->editBox()->text();
}

void TZQXEnterDataDialog::SetText(const QString& text)
{
    m_form->editBox()->setText(text);
}

void TZQXEnterDataDialog::SetPrompt(const QString& text)
{
    m_form->setPrompt(text);
}

void TZQXEnterDataDialog::SetButtons(int options)
{
    m_form->button(TForm_EnterData::btnCancel)->setEnabled(options & edCancel);
    m_form->button(TForm_EnterData::btnCopy)->setEnabled(options & edCopy);
    m_form->button(TForm_EnterData::btnInsert)->setEnabled(options & edInsert);
}

int TZQXEnterDataDialog::zoom() const
{
    return m_form->zoom();
}

void TZQXEnterDataDialog::setZoom(int percent)
{
    m_form->setZoom(percent);
}

void enterDataCreateShared()
{
    sharedDialogs().createEnterData();
}

void enterDataFreeShared()
{
    sharedDialogs().freeEnterData();
}

TZQXEnterDataDialog* enterDataShared()
{
    return sharedDialogs().enterData();
}

bool EnterDataExecute(int buttonOptions, const QString& prompt)
{
    TZQXEnterDataDialog* dialog = enterDataShared();
    if (!dialog)
        return false;
    dialog->SetButtons(buttonOptions);
    dialog->SetPrompt(prompt);
    return dialog->Execute();
}

QString EnterDataGetText()
{
    const TZQXEnterDataDialog* dialog = enterDataShared();
    return dialog ? dialog->GetText() : QString();
}

void EnterDataSetText(const QString& text)
{
    if (TZQXEnterDataDialog* dialog = enterDataShared())
        dialog->SetText(text);
}

} // namespace ostrel
