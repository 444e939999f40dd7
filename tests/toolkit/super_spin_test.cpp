// SPDX-License-Identifier: Apache-2.0
// The number input of the print dialog: number lists, rebuilding, layout,
// clamping, hints and the width floor.
#include "toolkit/ZQXSuperSpin.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <climits>

namespace ostrel {
namespace {

TEST(SuperSpinNumbers, ListsReadAnySeparator)
{
    struct Case {
        const char* text;
        std::vector<int> numbers;
    } cases[] = {
        {"1, 5, 10", {1, 5, 10}},
        {"1 5 10", {1, 5, 10}},
        {"  -4;x7", {-4, 7}},
        {"a-b", {0}}, // a lone minus
        {"3-4", {3, -4}},
        {"", {}},
        {"no digits", {}},
        {"99999999999", {INT_MAX}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readNumberList(QString::fromLatin1(c.text)), c.numbers) << c.text;
}

TEST(SuperSpin, PresetsAndSpinnersSetTheValueWithinItsRange)
{
    TZQXSuperSpin spin;
    spin.setMinValue(6);
    spin.setMaxValue(144);
    spin.setValuesButtons(QStringLiteral("12"));
    spin.setValuesSpinners(QStringLiteral("4"));
    spin.setValue(142);
    ASSERT_EQ(spin.presetButtons().size(), 1u);
    ASSERT_EQ(spin.stepSpinners().size(), 1u);
    QToolButton* preset = spin.presetButtons()[0];
    EXPECT_EQ(preset->text(), QStringLiteral("12"));
    EXPECT_EQ(preset->toolTip(), QStringLiteral("=12"));
    SpinStepper* spinner = spin.stepSpinners()[0];
    EXPECT_EQ(spinner->toolTip(), QString(QChar(0x00B1)) + QStringLiteral("4"));

    QSignalSpy changes(&spin, &TZQXSuperSpin::changed);
    spinner->upButton()->click();
    EXPECT_EQ(spin.value(), 144); // not 146
    EXPECT_EQ(changes.size(), 1);
    spinner->downButton()->click();
    EXPECT_EQ(spin.value(), 140);
    preset->click();
    EXPECT_EQ(spin.value(), 12);
    EXPECT_EQ(changes.size(), 3);
    spin.setValue(2);
    EXPECT_EQ(spin.value(), 6);

    // Equal limits mean none.
    TZQXSuperSpin free;
    free.setValue(-500);
    EXPECT_EQ(free.value(), -500);
}

TEST(SuperSpin, RebuildLaysPartsOutFromTheLeft)
{
    TZQXSuperSpin spin;
    spin.setValuesButtons(QStringLiteral("1 2 3"));
    spin.setValuesSpinners(QStringLiteral("10,100"));
    const int height = spin.valueBox()->height();
    EXPECT_EQ(spin.height(), height);
    const std::vector<QToolButton*> presets = spin.presetButtons();
    ASSERT_EQ(presets.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(presets[size_t(i)]->geometry(), QRect(25 * i, 0, 25, height));
    const std::vector<SpinStepper*> spinners = spin.stepSpinners();
    ASSERT_EQ(spinners.size(), 2u);
    EXPECT_EQ(spinners[1]->geometry(), QRect(75 + 20, 0, 20, height));
    EXPECT_EQ(spin.valueBox()->geometry(), QRect(115, 0, 75, height));
    // With an empty caption the control ends at the value box.
    EXPECT_EQ(spin.width(), 190);

    spin.setCaption(QStringLiteral("Copies"));
    EXPECT_EQ(spin.captionLabel()->x(), 194);
    EXPECT_EQ(spin.width(), 190 + spin.captionLabel()->width() + 8);

    // Lists: empty removes every button of the kind; more than 20 make 20.
    QStringList many;
    for (int i = 1; i <= 25; ++i)
        many << QString::number(i);
    spin.setValuesButtons(many.join(QLatin1Char(' ')));
    EXPECT_EQ(spin.presetButtons().size(), 20u);
    EXPECT_EQ(spin.presetButtons().back()->text(), QStringLiteral("20"));
    spin.setValuesSpinners(QString());
    EXPECT_TRUE(spin.stepSpinners().empty());

    // Widths below 5 become 5.
    spin.setWidthButtons(3);
    spin.setWidthSpinEdit(-1);
    spin.setWidthSpinners(4);
    EXPECT_EQ(spin.widthButtons(), 5);
    EXPECT_EQ(spin.widthSpinEdit(), 5);
    EXPECT_EQ(spin.widthSpinners(), 5);
    EXPECT_EQ(spin.presetButtons()[1]->geometry().left(), 5);
}

TEST(SuperSpin, ClickingTheValueBoxIsReported)
{
    TZQXSuperSpin spin;
    QSignalSpy clicks(&spin, &TZQXSuperSpin::clicked);
    QTest::mouseClick(spin.valueBox()->findChild<QLineEdit*>(), Qt::LeftButton);
    EXPECT_EQ(clicks.size(), 1);
}

} // namespace
} // namespace ostrel
