// SPDX-License-Identifier: Apache-2.0
#pragma once
// A number input for the print dialog: a row of preset buttons that set the
// value at one click, a row of up/down spinners that each step it by their
// own amount, a box that shows the value (it cannot be typed into, but its
// own arrows, the Up and Down keys and the wheel step it by one), and a
// caption to the right.
#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QSpinBox;
class QToolButton;

namespace ostrel {

// The integers in a list such as "1, 5, -10" or "1 5 -10": any character
// other than a digit or "-" separates them, and a lone "-" reads as 0.
std::vector<int> readNumberList(const QString& text);

// One up/down pair that steps the value by its amount.
class SpinStepper : public QWidget {
    Q_OBJECT
public:
    explicit SpinStepper(int step, QWidget* parent = nullptr);
    int step() const { return m_step; }
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void stepped(int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_step;
    QToolButton* m_up;
    QToolButton* m_down;
};

class TZQXSuperSpin : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(int MinValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString Values_Buttons READ valuesButtons WRITE setValuesButtons)
    Q_PROPERTY(QString Values_Spinners READ valuesSpinners WRITE setValuesSpinners)
    Q_PROPERTY(int Width_Buttons READ widthButtons WRITE setWidthButtons)
    Q_PROPERTY(int Width_SpinEdit READ widthSpinEdit WRITE setWidthSpinEdit)
    Q_PROPERTY(int Width_Spinners READ widthSpinners WRITE setWidthSpinners)
    Q_PROPERTY(QColor Color READ color WRITE setColor)

public:
    static constexpr int kMaxSlots = 20;
    static constexpr int kMinPartWidth = 5;

    explicit TZQXSuperSpin(QWidget* parent = nullptr);

    int value() const;
    // Kept within MinValue and MaxValue whenever the two differ.
    void setValue(int value);
    // The value box steps within these limits too; changing them brings
    // the value inside.
    int minValue() const { return m_min; }
    void setMinValue(int value);
    int maxValue() const { return m_max; }
    void setMaxValue(int value);

    QString caption() const;
    void setCaption(const QString& caption);
    QString valuesButtons() const { return m_valuesButtons; }
    void setValuesButtons(const QString& list);
    QString valuesSpinners() const { return m_valuesSpinners; }
    void setValuesSpinners(const QString& list);
    int widthButtons() const { return m_widthButtons; }
    void setWidthButtons(int width);
    int widthSpinEdit() const { return m_widthSpinEdit; }
    void setWidthSpinEdit(int width);
    int widthSpinners() const { return m_widthSpinners; }
    void setWidthSpinners(int width);
    QColor color() const;
    void setColor(const QColor& colour);

    // Lays the parts out again, as setting any list, width or the caption does.
    void rebuild();

    QSpinBox* valueBox() const { return m_box; }
    QLabel* captionLabel() const { return m_label; }
    // In order, left to right.
    const std::vector<QToolButton*>& presetButtons() const { return m_presets; }
    const std::vector<SpinStepper*>& stepSpinners() const { return m_spinners; }
    // The parts that take the keyboard focus, in Tab order: the preset
    // buttons, each spinner's up and down arrow, the value box.
    std::vector<QWidget*> focusParts() const;

signals:
    // A preset, a spinner or the value box changed the value.
    void changed();
    // The value box was clicked.
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyRange();

    QSpinBox* m_box;
    QLabel* m_label;
    std::vector<QToolButton*> m_presets;
    std::vector<SpinStepper*> m_spinners;
    QString m_valuesButtons;
    QString m_valuesSpinners;
    int m_min = 0;
    int m_max = 0;
    int m_widthButtons = 25;
    int m_widthSpinEdit = 75;
    int m_widthSpinners = 20;
};

} // namespace ostrel
