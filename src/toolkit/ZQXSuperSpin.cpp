// SPDX-License-Identifier: Apache-2.0
#include "toolkit/ZQXSuperSpin.h"

#include "util/Fonts.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include <climits>

namespace ostrel {

std::vector<int> readNumberList(const QString& text)
{
    std::vector<int> numbers;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        while (i < n && text[i] != QLatin1Char('-') && !text[i].isDigit())
            ++i;
        if (i >= n)
            return numbers;
        const bool negative = text[i] == QLatin1Char('-');
        if (negative)
            ++i;
        int64_t value = 0;
        while (i < n && text[i].isDigit()) {
            // Saturate rather than wrap on absurdly long digit runs.
            value = std::min<int64_t>(value * 10 + text[i].digitValue(), INT_MAX);
            ++i;
        }
        numbers.push_back(int(negative ? -value : value));
    }
}

namespace {

// "Set Copies to 1", "Increase Copies by 10"; without a caption "Set to 1".
QString partName(const QString& verb, const QString& caption, const QString& preposition, int number)
{
    QString name = verb;
    if (!caption.isEmpty())
        name += QLatin1Char(' ') + caption;
    return name + QLatin1Char(' ') + preposition + QLatin1Char(' ') + QString::number(number);
}

} // namespace

SpinStepper::SpinStepper(int step, QWidget* parent)
    : QWidget(parent)
    , m_step(step)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    // Tab reaches both arrows and Space presses them; a click leaves the
    // focus where it was.
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::TabFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { emit stepped(m_step); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit stepped(-m_step); });
}

void SpinStepper::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

TZQXSuperSpin::TZQXSuperSpin(QWidget* parent)
    : QWidget(parent)
    , m_box(new QSpinBox(this))
    , m_label(new QLabel(this))
{
    setFont(pictureFont(QStringLiteral("MS Sans Serif"), 10, true));
    // The value cannot be typed, but the box keeps its own one-step arrows,
    // the Up and Down keys and the wheel, so that every value in the range can
    // be chosen, not only those the presets and step spinners land on. Only
    // its text is read-only: a read-only spin box would not step at all.
    m_box->setRange(INT_MIN, INT_MAX);
    m_box->setValue(0);
    m_box->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_box->findChild<QLineEdit*>()->setReadOnly(true);
    m_box->setFocusPolicy(Qt::WheelFocus);
    m_box->setAlignment(Qt::AlignRight);
    m_box->findChild<QLineEdit*>()->installEventFilter(this);
    setColor(Qt::white);
    connect(m_box, &QSpinBox::valueChanged, this, [this] { emit changed(); });
    m_label->setWordWrap(false);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The caption names the value box for screen readers.
    m_label->setBuddy(m_box);
    rebuild();
}

int TZQXSuperSpin::value() const
{
    return m_box->value();
}

void TZQXSuperSpin::setMinValue(int value)
{
    m_min = value;
    applyRange();
}

void TZQXSuperSpin::setMaxValue(int value)
{
    m_max = value;
    applyRange();
}

void TZQXSuperSpin::applyRange()
{
    // Equal limits mean none, as in setValue.
    if (m_min == m_max)
        m_box->setRange(INT_MIN, INT_MAX);
    else
        m_box->setRange(std::min(m_min, m_max), std::max(m_min, m_max));
}

void TZQXSuperSpin::setValue(int value)
{
    if (m_min != m_max)
        value = std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max));
    // The box reports a change itself, which raises changed() once.
    m_box->setValue(value);
}

QString TZQXSuperSpin::caption() const
{
    return m_label->text();
}

void TZQXSuperSpin::setCaption(const QString& caption)
{
    m_label->setText(caption);
    rebuild();
}

void TZQXSuperSpin::setValuesButtons(const QString& list)
{
    m_valuesButtons = list;
    rebuild();
}

void TZQXSuperSpin::setValuesSpinners(const QString& list)
{
    m_valuesSpinners = list;
    rebuild();
}

void TZQXSuperSpin::setWidthButtons(int width)
{
    m_widthButtons = std::max(width, kMinPartWidth);
    rebuild();
}

void TZQXSuperSpin::setWidthSpinEdit(int width)
{
    m_widthSpinEdit = std::max(width, kMinPartWidth);
    rebuild();
}

void TZQXSuperSpin::setWidthSpinners(int width)
{
    m_widthSpinners = std::max(width, kMinPartWidth);
    rebuild();
}

QColor TZQXSuperSpin::color() const
{
    return m_box->palette().color(QPalette::Base);
}

void TZQXSuperSpin::setColor(const QColor& colour)
{
    QPalette colours = m_box->palette();
    colours.setColor(QPalette::Base, colour);
    m_box->setPalette(colours);
}

void TZQXSuperSpin::rebuild()
{
    m_box->setFont(font());
    m_label->setFont(font());
    const int height = m_box->sizeHint().height();
    m_label->adjustSize();
    m_label->resize(m_label->width() + 4, height);

    qDeleteAll(m_presets);
    m_presets.clear();
    const std::vector<int> presets = readNumberList(m_valuesButtons);
    for (size_t k = 0; k < std::min(presets.size(), size_t(kMaxSlots)); ++k) {
        const int number = presets[k];
        auto* button = new QToolButton(this);
        button->setText(QString::number(number));
        button->setToolTip(QLatin1Char('=') + QString::number(number));
        button->setAccessibleName(partName(QStringLiteral("Set"), caption(), QStringLiteral("to"), number));
        button->setFocusPolicy(Qt::TabFocus);
        button->setFont(font());
        connect(button, &QToolButton::clicked, this, [this, number] { setValue(number); });
        button->show();
        m_presets.push_back(button);
    }

    qDeleteAll(m_spinners);
    m_spinners.clear();
    const std::vector<int> steps = readNumberList(m_valuesSpinners);
    for (size_t k = 0; k < std::min(steps.size(), size_t(kMaxSlots)); ++k) {
        const int step = steps[k];
        auto* spinner = new SpinStepper(step, this);
        spinner->setToolTip(QChar(0x00B1) + QString::number(step));
        spinner->upButton()->setAccessibleName(
            partName(QStringLiteral("Increase"), caption(), QStringLiteral("by"), step));
        spinner->downButton()->setAccessibleName(
            partName(QStringLiteral("Decrease"), caption(), QStringLiteral("by"), step));
        connect(spinner, &SpinStepper::stepped, this,
                [this](int delta) { setValue(int(std::clamp<int64_t>(int64_t(value()) + delta, INT_MIN, INT_MAX))); });
        spinner->show();
        m_spinners.push_back(spinner);
    }

    int x = 0;
    for (QToolButton* b : m_presets) {
        b->setGeometry(x, 0, m_widthButtons, height);
        x += m_widthButtons;
    }
    for (SpinStepper* s : m_spinners) {
        s->setGeometry(x, 0, m_widthSpinners, height);
        x += m_widthSpinners;
    }
    m_box->setGeometry(x, 0, m_widthSpinEdit, height);
    x += m_widthSpinEdit;
    m_label->move(x + 4, 0);
    m_label->setVisible(!caption().isEmpty());
    if (!caption().isEmpty())
        x += m_label->width() + 8;
    setFixedSize(x, height);

    m_box->setAccessibleName(caption().isEmpty() ? QStringLiteral("Value") : QString());
    // New parts join the end of the window's Tab order; they are put back
    // in the order they stand in, ending with the value box.
    const std::vector<QWidget*> parts = focusParts();
    for (size_t i = 1; i < parts.size(); ++i)
        setTabOrder(parts[i - 1], parts[i]);
}

std::vector<QWidget*> TZQXSuperSpin::focusParts() const
{
    std::vector<QWidget*> parts(m_presets.begin(), m_presets.end());
    for (const SpinStepper* spinner : m_spinners) {
        parts.push_back(spinner->upButton());
        parts.push_back(spinner->downButton());
    }
    parts.push_back(m_box);
    return parts;
}

bool TZQXSuperSpin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box->findChild<QLineEdit*>() && event->type() == QEvent::MouseButtonRelease)
        emit clicked();
    return QWidget::eventFilter(watched, event);
}

void TZQXSuperSpin::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        rebuild();
}

} // namespace ostrel
