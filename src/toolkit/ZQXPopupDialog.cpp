// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXPopupDialog.h"

#include "toolkit/ZQXPrintDialog.h"
#include "toolkit/ZQXZoomBitBtn.h"
#include "toolkit/ZoomRules.h"
#include "toolkit/WindowStacking.h"
#include "util/Fonts.h"

#include "ToolkitShared.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ostrel {

namespace {

constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 25;
constexpr int kButtonBaseFontSize = 10;

struct PopupButtonRow {
    const char* caption;
    Defined_Resource glyph;
    int result; // mrNone for the actions that keep the window open
};

constexpr std::array<PopupButtonRow, 6> kButtons = {{
    {"OK", BMP_Check, mrOk},
    {"Yes", BMP_Check, mrYes},
    {"No", BMP_No, mrNo},
    {"Cancel", BMP_Cancel, mrCancel},
    {"Copy", BMP_Edit_Copy, mrNone},
    {"Print", BMP_Printer, mrNone},
}};

QString withLinuxLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

TForm_Popup::TForm_Popup(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_Popup"));
    setSizeGripEnabled(false);
    resize(400, 300);
    setMinimumSize(320, 200);
    setFont(pictureFont(QStringLiteral("MS Sans Serif"), 12, true));

    m_buttonBar = new QFrame(this);
    m_buttonBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_buttonBar->setGeometry(0, 0, width(), kButtonHeight + 4);

    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(true);
    m_status->setFixedHeight(20);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setFont(pictureFont(QStringLiteral("Arial"), m_baseFontSize, false));
    QPalette textColours = m_text->palette();
    textColours.setColor(QPalette::Base, textColours.color(QPalette::Button));
    m_text->setPalette(textColours);
    m_text->setAccessibleName(QStringLiteral("Message text"));
    m_text->hide();

    for (size_t i = 0; i < kButtons.size(); ++i) {
        auto* button = new TZQXZoomBitBtn(m_buttonBar);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setGeometry(int(i) * kButtonWidth + 2, 2, kButtonWidth, kButtonHeight);
        button->setFont(pictureFont(QStringLiteral("Arial"), kButtonBaseFontSize, true));
        button->setBaseFontSize(kButtonBaseFontSize);
        button->setResource(kButtons[i].glyph);
        button->setText(QString::fromLatin1(kButtons[i].caption));
        button->setZoom(100);
        m_buttons[i] = button;
        const int result = kButtons[i].result;
        if (result != mrNone)
            connect(button, &QPushButton::clicked, this, [this, result] { finish(result); });
    }
    connect(m_buttons[btnCopy - 1], &QPushButton::clicked, this, &TForm_Popup::copyText);
    connect(m_buttons[btnPrint - 1], &QPushButton::clicked, this, &TForm_Popup::printText);
    // Every user can print into a PDF file, so there is always a printer and
    // the Print button is always enabled.

    setZoom(100);
    const QSize screen = toolkitScreenSize();
    move(std::max(0, (screen.width() - width()) / 2), std::max(0, (screen.height() - height()) / 2));
    layoutChildren();
}

TForm_Popup::~TForm_Popup() = default;

TZQXZoomBitBtn* TForm_Popup::button(int index) const
{
    if (index < btnOk || index > btnPrint)
        return nullptr;
    return m_buttons[index - 1];
}

void TForm_Popup::ShowText(bool showOk, bool showYes, bool showNo, bool showCancel, bool showCopy,
                           bool showPrint, const QString& printTitle, const QString& caption, const QString& text)
{
    const std::array<bool, 6> visible = {showOk, showYes, showNo, showCancel, showCopy, showPrint};
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setVisible(visible[i]);
    m_printTitle = printTitle;
    setWindowTitle(caption);
    m_text->show();
    m_text->setPlainText(withLinuxLineEnds(text));

    std::vector<bool> shown(visible.begin(), visible.end());
    std::vector<int> widths;
    for (const TZQXZoomBitBtn* button : m_buttons)
        widths.push_back(button->width());
    const std::vector<int> lefts = popupButtonLefts(shown, widths);
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        if (lefts[i] >= 0)
            m_buttons[i]->move(lefts[i], m_buttons[i]->y());
    }
    // The first button of the bar opens with the focus, whatever had it in
    // the window's last run, so Enter closes a message with OK.
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        if (visible[i] && m_buttons[i]->isEnabled()) {
            m_buttons[i]->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
}

void TForm_Popup::setZoom(int percent)
{
    const int zoom = zoomFloor(percent);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    const PopupZoomSizes sizes = popupZoomSizes(zoom, m_baseFontSize);
    QFont textFont = m_text->font();
    setFontPoints(textFont, sizes.fontSize);
    m_text->setFont(textFont);
    m_status->setFixedHeight(sizes.statusHeight);
    m_buttonBar->setFixedHeight(sizes.barHeight);
    setGeometry(popupZoomedGeometry(zoom, geometry(), toolkitScreenSize()));
    for (TZQXZoomBitBtn* button : m_buttons) {
        button->resize(sizes.buttonWidth, sizes.buttonHeight);
        button->setZoom(zoom);
    }
    layoutChildren();
}

void TForm_Popup::setBaseFontSize(int size)
{
    m_baseFontSize = size;
}

void TForm_Popup::copyText()
{
    const QTextCursor remembered = m_text->textCursor();
    const QString text = remembered.hasSelection() ? remembered.selection().toPlainText() : m_text->toPlainText();
    QGuiApplication::clipboard()->setText(text);
    m_text->setTextCursor(remembered);
}

void TForm_Popup::printText()
{
    TZQXPrintDialog print;
    print.setZoom(m_zoom);
    // The lines as shown: a text that ends with a line break has no empty
    // line after it.
    QStringList lines = m_text->toPlainText().split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    print.PrintText(lines, m_printTitle);
}

void TForm_Popup::finish(int result)
{
    m_text->clear();
    m_text->hide();
    done(result);
}

void TForm_Popup::reject()
{
    finish(mrCancel);
}

void TForm_Popup::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutChildren();
}

void TForm_Popup::fitToText()
{
    const QFontMetrics metrics(m_text->font());
    const QStringList lines = m_text->toPlainText().split(QLatin1Char('\n'));
    int keyWidth = 0;
    for (const QString& line : lines) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab >= 0)
            keyWidth = std::max(keyWidth, metrics.horizontalAdvance(line.left(tab)));
    }
    const int tabStop = keyWidth + 2 * metrics.horizontalAdvance(QLatin1Char(' '));
    if (keyWidth > 0)
        m_text->setTabStopDistance(tabStop);
    // The widest line, its first tab taken to the common stop.
    int lineWidth = 0;
    for (const QString& line : lines) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        lineWidth = std::max(lineWidth, tab < 0 ? metrics.horizontalAdvance(line)
                                                : tabStop + metrics.horizontalAdvance(line.mid(tab + 1)));
    }

    const QTextDocument* document = m_text->document();
    const int margins = 2 * (m_text->frameWidth() + int(std::ceil(document->documentMargin()))) + 8;
    const int textWidth = lineWidth + margins + m_text->verticalScrollBar()->sizeHint().width();
    // One line to spare: the view's rows can be a pixel or two taller than
    // the font's line spacing.
    const int textHeight = int(lines.size() + 1) * metrics.lineSpacing() + margins
        + m_text->horizontalScrollBar()->sizeHint().height();
    const QSize screen = toolkitScreenSize();
    const QSize wanted(std::min(std::max(width(), textWidth), screen.width()),
                       std::min(std::max(height(), textHeight + m_buttonBar->height() + m_status->height()),
                                screen.height()));
    resize(wanted);
    move(std::clamp(x(), 0, std::max(0, screen.width() - width())), std::clamp(y(), 0, std::max(0, screen.height() - height())));
}

void TForm_Popup::layoutChildren()
{
    const int barHeight = m_buttonBar->height();
    const int statusHeight = m_status->height();
    m_buttonBar->setGeometry(0, 0, width(), barHeight);
    m_status->setGeometry(0, height() - statusHeight, width(), statusHeight);
    m_text->setGeometry(0, barHeight, width(), std::max(0, height() - barHeight - statusHeight));
}

TZQXPopupDialog::TZQXPopupDialog(QObject* parent)
    : QObject(parent)
    , m_form(new TForm_Popup)
{
}

TZQXPopupDialog::~TZQXPopupDialog()
{
    delete m_form;
}

void TZQXPopupDialog::SetFontName(const QString& name)
{
    QFont font = m_form->textView()->font();
    font.setFamily(name);
    m_form->textView()->setFont(font);
}

void TZQXPopupDialog::SetFontSize(int size)
{
    m_form->setBaseFontSize(size);
    QFont font = m_form->textView()->font();
    setFontPoints(font, static_cast<int>(int64_t(size) * m_form->zoom() / 100));
    m_form->textView()->setFont(font);
}

void TZQXPopupDialog::SetFontStyle(TFontStyles style)
{
    QFont font = m_form->textView()->font();
    font.setBold(style.testFlag(fsBold));
    font.setItalic(style.testFlag(fsItalic));
    font.setUnderline(style.testFlag(fsUnderline));
    font.setStrikeOut(style.testFlag(fsStrikeOut));
    m_form->textView()->setFont(font);
}

void TZQXPopupDialog::SetFontColor(const QColor& colour)
{
    QPalette colours = m_form->textView()->palette();
    colours.setColor(QPalette::Text, colour);
    m_form->textView()->setPalette(colours);
}

void TZQXPopupDialog::SetBackColor(const QColor& colour)
{
    QPalette colours = m_form->textView()->palette();
    colours.setColor(QPalette::Base, colour);
    m_form->textView()->setPalette(colours);
}

void TZQXPopupDialog::SetFont(const QString& name, int size, TFontStyles style, const QColor& textColour,
                              const QColor& backColour)
{
    SetFontName(name);
    SetFontSize(size);
    SetFontStyle(style);
    SetFontColor(textColour);
    SetBackColor(backColour);
}

int TZQXPopupDialog::zoom() const
{
    return m_form->zoom();
}

void TZQXPopupDialog::setZoom(int percent)
{
    m_form->setZoom(percent);
}

void TZQXPopupDialog::RestoreWindowState()
{
    m_form->setWindowState(Qt::WindowNoState);
}

void TZQXPopupDialog::ResetPlacement()
{
    RestoreWindowState();
    m_form->setGeometry(popupResetGeometry(toolkitScreenSize()));
}

void TZQXPopupDialog::ShowTextMessage(const QString& text, bool printAllowed, const QString& title)
{
    m_form->ShowText(true, false, false, false, true, printAllowed, title, QStringLiteral("Show Message"), text);
    execInFront(m_form);
    RestoreWindowState();
}

void TZQXPopupDialog::showHelpText(const QString& text, bool printAllowed, const QString& title)
{
    m_form->ShowText(true, false, false, false, true, printAllowed, title, QStringLiteral("Show Message"), text);
    m_form->fitToText();
    execInFront(m_form);
    RestoreWindowState();
}

bool TZQXPopupDialog::AskYesNo(const QString& text)
{
    m_form->ShowText(false, true, true, false, false, false, QString(), QStringLiteral("YES/NO?"), text);
    const int result = execInFront(m_form);
    RestoreWindowState();
    return result == mrYes;
}

void popupCreateShared()
{
    sharedDialogs().createPopup();
}

void popupFreeShared()
{
    sharedDialogs().freePopup();
}

TZQXPopupDialog* popupShared()
{
    return sharedDialogs().popup();
}

bool PopupAvailable()
{
    return popupShared() != nullptr;
}

void PopupResetPlacement()
{
    if (TZQXPopupDialog* dialog = popupShared())
        dialog->ResetPlacement();
}

void PopupSetFont(const QString& name, int size, TFontStyles style, const QColor& textColour,
                  const QColor& backColour)
{
    if (TZQXPopupDialog* dialog = popupShared())
        dialog->SetFont(name, size, style, textColour, backColour);
}

void PopupSetZoom(int percent)
{
    if (TZQXPopupDialog* dialog = popupShared())
        dialog->setZoom(percent);
}

void PopupShowMessage(const QString& text, bool printAllowed, const QString& title)
{
    if (TZQXPopupDialog* dialog = popupShared())
        dialog->ShowTextMessage(text, printAllowed, title);
}

void PopupShowError(const QString& text)
{
    PopupShowMessage(text, false, QString());
}

bool PopupAskYesNo(const QString& text)
{
    TZQXPopupDialog* dialog = popupShared();
    return dialog && dialog->AskYesNo(text);
}

} // namespace ostrel
