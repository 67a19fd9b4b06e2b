// One BPM box: the encoder type and math sent at once, the Y choice following X on
// each panel, the units, and the form's ranges.

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>

#include <gtest/gtest.h>

#include "BeamlineFixture.h"
#include "OperatorInput.h"

namespace {

class BpmBoxTest : public BeamlineFixture
{
};

TEST_F(BpmBoxTest, EncoderTypeAndMathReachTheControllerAtOnce)
{
    openWindow();
    auto *math = field<QComboBox>(0, "comboBoxEncoderMath");
    auto *single = field<QWidget>(0, "BPMvisualTovash");
    auto *combined = field<QWidget>(0, "BPMvisualTovash_math");

    chooseText(math, "Combined (SUMDIFF)");
    EXPECT_EQ(deviceCalls(), QStringList({"setTovashSumDiff(0, 1)"}));
    EXPECT_FALSE(single->isVisibleTo(box(0)));
    EXPECT_TRUE(combined->isVisibleTo(box(0)));
    nivraSimClearCallLog();
    chooseText(math, "Single (NORMAL)");
    EXPECT_EQ(deviceCalls(), QStringList({"setTovashSumDiff(0, 0)"}));
    EXPECT_TRUE(single->isVisibleTo(box(0)));
    EXPECT_FALSE(combined->isVisibleTo(box(0)));

    // BPM 2's box speaks for BPM 2.
    nivraSimClearCallLog();
    auto *type = field<QComboBox>(1, "comboBoxEncoderSel");
    chooseText(type, "Resolute (ABS)");
    chooseText(type, "Tonic (REL)");
    EXPECT_EQ(deviceCalls(), QStringList({"tovashEncoderSelect(1, 1)", "tovashEncoderSelect(0, 1)"}));
    EXPECT_EQ(nivraSimSetting("encoderSelect", 1), 0.0);
    // Nothing is stored before Save: the fixture's scales alone.
    EXPECT_EQ(config.keys().size(), 8);

    // Hidden boxes send too (the window changes them only by loading).
    nivraSimSetTovash(1, 0);
    window->nr_tovashes_changed();
    nivraSimClearCallLog();
    box(1)->setEncoderType(7);
    box(1)->setEncoderMath(-2);
    EXPECT_EQ(deviceCalls(), QStringList({"tovashEncoderSelect(1, 1)", "setTovashSumDiff(1, 1)"}));
    EXPECT_EQ(type->currentIndex(), 1);
}

TEST_F(BpmBoxTest, YFollowsXOnEachPanel)
{
    openWindow();
    auto *x = field<QComboBox>(0, "BPMTovash_x");
    auto *y = field<QComboBox>(0, "BPMTovash_y");
    auto *x2 = field<QComboBox>(0, "BPMTovash_x_2");
    auto *y2 = field<QComboBox>(0, "BPMTovash_y_2");
    auto *invalid = field<QLabel>(0, "textInvalidConf");
    EXPECT_FALSE(y->isEnabled());
    EXPECT_FALSE(y2->isEnabled());
    int top, right, bottom, left;

    chooseText(x, "enc2");
    EXPECT_EQ(y->currentText(), "enc1");
    box(0)->getCrossBar(top, right, bottom, left);
    EXPECT_EQ(QList<int>({top, right, bottom, left}), QList<int>({1, 0, 3, 2}));
    chooseText(x, "enc1");
    EXPECT_EQ(y->currentText(), "enc2");
    EXPECT_FALSE(invalid->isVisibleTo(box(0)));

    // The combined panel keeps its own choice; the electrodes follow the panel shown.
    chooseText(field<QComboBox>(0, "comboBoxEncoderMath"), "Combined (SUMDIFF)");
    chooseText(x2, "enc1 - enc2");
    EXPECT_EQ(y2->currentText(), "enc1 + enc2");
    EXPECT_EQ(x->currentText(), "enc1");
    EXPECT_EQ(y->currentText(), "enc2");
    box(0)->getCrossBar(top, right, bottom, left);
    EXPECT_EQ(QList<int>({top, right, bottom, left}), QList<int>({1, 0, 3, 2}));
    int gx, gy;
    box(0)->getEncoderXY(gx, gy, 0);
    EXPECT_EQ(QList<int>({gx, gy}), QList<int>({0, 1}));
    box(0)->getEncoderXY(gx, gy, 1);
    EXPECT_EQ(QList<int>({gx, gy}), QList<int>({1, 0}));
    EXPECT_FALSE(invalid->isVisibleTo(box(0)));
    // Choosing only moves the selection: nothing but the math reached the controller.
    EXPECT_EQ(deviceCalls(), QStringList({"setTovashSumDiff(0, 1)"}));
}

TEST_F(BpmBoxTest, UnitsChangeSuffixesAndDistancesButNotValues)
{
    openWindow();
    auto *units = field<QComboBox>(0, "comboBoxEncoderIncrement");
    auto *convX = field<QDoubleSpinBox>(0, "horNradCountDoubleSpinBox");
    auto *convY = field<QDoubleSpinBox>(0, "vertNradCountDoubleSpinBox");
    auto *distX = field<QDoubleSpinBox>(0, "horDistanceCountsDoubleSpinBox");
    auto *distY = field<QDoubleSpinBox>(0, "vertDistanceCountsDoubleSpinBox");
    auto *offX = field<QDoubleSpinBox>(0, "horOffsetCountsDoubleSpinBox");
    replaceText(distX, "400");
    replaceText(convX, "2");

    chooseText(units, "linear");
    EXPECT_EQ(convX->suffix(), " nm/cts");
    EXPECT_EQ(convY->suffix(), " nm/cts");
    EXPECT_EQ(offX->suffix(), " µm");
    EXPECT_FALSE(distX->isEnabled());
    EXPECT_FALSE(distY->isEnabled());
    EXPECT_DOUBLE_EQ(distX->value(), 400.0);
    EXPECT_DOUBLE_EQ(convX->value(), 2.0);

    // The disabled distance still enters the scale.
    nivraSimClearCallLog();
    pressSave();
    EXPECT_EQ(SimCallLog::callsTo("setBPMscale").value(0), "setBPMscale(0, 0.0016, 0.001)");
    EXPECT_EQ(stored("BPM1/EncIncrement").toInt(), 1);

    openWindow();
    chooseText(units, "angular");
    EXPECT_EQ(convX->suffix(), " nrad/cts");
    EXPECT_TRUE(distX->isEnabled());
    EXPECT_TRUE(distY->isEnabled());
    EXPECT_DOUBLE_EQ(distX->value(), 400.0);
}

TEST_F(BpmBoxTest, FreshBoxHoldsTheFormDefaultsAndRanges)
{
    SAMP_FREQ = 4000;
    nivraSimClearCallLog();
    BPM standalone;
    EXPECT_EQ(deviceCalls(), QStringList({"setDisplayFreq(4000, 0)"}));
    EXPECT_EQ(standalone.bpmIndex, 0);
    EXPECT_EQ(standalone.title(), "GroupBox");
    EXPECT_EQ(standalone.maximumWidth(), 411);
    EXPECT_TRUE(child<QWidget>(&standalone, "BPMvisualTovash")->isVisibleTo(&standalone));
    EXPECT_TRUE(child<QWidget>(&standalone, "BPMvisualTovash_math")->isVisibleTo(&standalone));
    EXPECT_EQ(child<QComboBox>(&standalone, "BPMTovash_y")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(&standalone, "BPMTovash_y_2")->currentIndex(), 1);

    const struct {
        const char *name;
        int decimals;
        double minimum, maximum, value;
        const char *suffix;
    } boxes[] = {
        {"horNradCountDoubleSpinBox", 4, -1e8, 1e8, 1.0, " nrad/cts"},
        {"horDistanceCountsDoubleSpinBox", 2, 0, 1e6, 500.0, " mm"},
        {"horOffsetCountsDoubleSpinBox", 4, -1e8, 1e8, 0.0, " µm"},
        {"vertNradCountDoubleSpinBox", 4, -1e8, 1e8, 1.0, " nrad/cts"},
        {"vertDistanceCountsDoubleSpinBox", 2, 0, 1e6, 500.0, " mm"},
        {"vertOffsetCountsDoubleSpinBox", 4, -1e8, 1e8, 0.0, " µm"},
    };
    for (const auto &b : boxes) {
        auto *spin = child<QDoubleSpinBox>(&standalone, b.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->decimals(), b.decimals) << b.name;
        EXPECT_EQ(spin->minimum(), b.minimum) << b.name;
        EXPECT_EQ(spin->maximum(), b.maximum) << b.name;
        EXPECT_EQ(spin->value(), b.value) << b.name;
        EXPECT_EQ(spin->suffix(), QString::fromUtf8(b.suffix)) << b.name;
    }
    // Distances never go negative; millimetres in, micrometres out.
    standalone.setDistances(-4.0, 2000000.0);
    double dx, dy;
    standalone.getDistances(dx, dy);
    EXPECT_EQ(dx, 0.0);
    EXPECT_EQ(dy, 1e9);

    // The orientation-code members.
    EXPECT_EQ(standalone.getOrientationCode(), 2);
    standalone.setOrientationCode(9);
    EXPECT_EQ(standalone.getOrientationCode(), 3);
    EXPECT_TRUE(child<QWidget>(&standalone, "BPMvisualTovash_math")->isVisibleTo(&standalone));
    EXPECT_FALSE(child<QWidget>(&standalone, "BPMvisualTovash")->isVisibleTo(&standalone));
    standalone.setEncoderAssignment(1);
    int x, y;
    standalone.getEncoderXY(x, y, 1);
    EXPECT_EQ(QList<int>({x, y}), QList<int>({1, 0}));
    standalone.setOrientationCode(2);
    EXPECT_EQ(standalone.getOrientationCode(), 2);
}

} // namespace
