// The beamline configuration dialog as an administrator uses it: which boxes show for
// the encoder boxes present, what a Save puts into the per-BPM arrays, the store and
// the controller (and in which order), loading from the store, and the user level.

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "BeamlineFixture.h"
#include "DialogAnswerer.h"
#include "MailboxComm.h"
#include "OperatorInput.h"

namespace {

class BeamlineConfTest : public BeamlineFixture
{
protected:
    bool shown(int bpm) const { return box(bpm)->isVisibleTo(window.get()); }

    QStringList storedKeys(const QString &group) const
    {
        QStringList keys = config.keys();
        keys.removeIf([&](const QString &k) { return !k.startsWith(group + QLatin1Char('/')); });
        return keys;
    }

    DialogAnswerer answerer;
};

TEST_F(BeamlineConfTest, ConstructionSendsTheRateOncePerBoxAndFollowsTheEncoderBoxes)
{
    SAMP_FREQ = 2500;
    nivraSimClearCallLog();
    makeWindow();

    EXPECT_EQ(deviceCalls(), QStringList({"setDisplayFreq(2500, 0)", "setDisplayFreq(2500, 0)"}));
    EXPECT_EQ(window->windowTitle(), "Beamline Configuration");
    EXPECT_EQ(window->size(), QSize(642, 587));
    EXPECT_EQ(box(0)->title(), "BPM 1");
    EXPECT_EQ(box(1)->title(), "BPM 2");
    EXPECT_EQ(box(0)->bpmIndex, 0);
    EXPECT_EQ(box(1)->bpmIndex, 1);
    EXPECT_FALSE(window->isVisible());
    // The simulator has both encoder boxes plugged.
    EXPECT_TRUE(shown(0));
    EXPECT_TRUE(shown(1));

    EXPECT_TRUE(box(0)->isEnabled());

    // With only BPM 1's encoder box, the constructor's own decision hides BPM 2; the
    // user level applies from the start, before any show.
    window.reset();
    nivraSimSetTovash(1, 0);
    userLevel = 1;
    makeWindow();
    EXPECT_TRUE(shown(0));
    EXPECT_FALSE(shown(1));
    EXPECT_FALSE(box(0)->isEnabled());
    EXPECT_FALSE(box(1)->isEnabled());
}

TEST_F(BeamlineConfTest, EncoderBoxPairDecidesWhichBoxesShow)
{
    openWindow();
    struct Case {
        int first, second;
        bool box1, box2;
    };
    const Case cases[] = {
        {1, 1, true, true},   {1, 0, true, false},  {0, 1, false, true}, {0, 0, false, false},
        {2, 1, false, false}, {1, 2, false, false}, {1, -1, false, false}, {-1, 0, false, false},
    };
    for (const Case &c : cases) {
        TovashHook::answer(c.first, c.second);
        window->nr_tovashes_changed();
        EXPECT_EQ(shown(0), c.box1) << c.first << ", " << c.second;
        EXPECT_EQ(shown(1), c.box2) << c.first << ", " << c.second;
    }

    // The simulator's own answers, through the device link's signal (the count it
    // carries plays no part) and after a failed query.
    TovashHook::reset();
    QObject::connect(mailbox.get(), &MailboxComm::nrTovashesChanged, window.get(),
                     &WindowBeamlineConf::nr_tovashes_changed);
    nivraSimSetTovash(0, 0);
    emit mailbox->nrTovashesChanged(7);
    EXPECT_FALSE(shown(0));
    EXPECT_TRUE(shown(1));
    nivraSimSetTovash(0, 1);
    nivraSimFailCall("getTovashes", -1);
    emit mailbox->nrTovashesChanged(2);
    EXPECT_FALSE(shown(0));
    EXPECT_FALSE(shown(1));
}

TEST_F(BeamlineConfTest, SaveAppliesEachShownBoxToArraysStoreAndController)
{
    openWindow();
    replaceText(field<QDoubleSpinBox>(0, "horNradCountDoubleSpinBox"), "2.5");
    replaceText(field<QDoubleSpinBox>(0, "vertNradCountDoubleSpinBox"), "1.5");
    replaceText(field<QDoubleSpinBox>(0, "horDistanceCountsDoubleSpinBox"), "400");
    replaceText(field<QDoubleSpinBox>(0, "vertDistanceCountsDoubleSpinBox"), "250");
    replaceText(field<QDoubleSpinBox>(0, "horOffsetCountsDoubleSpinBox"), "12.5");
    replaceText(field<QDoubleSpinBox>(0, "vertOffsetCountsDoubleSpinBox"), "-3.25");
    chooseText(field<QComboBox>(0, "BPMTovash_x"), "enc2");

    chooseText(field<QComboBox>(1, "comboBoxEncoderSel"), "Resolute (ABS)");
    chooseText(field<QComboBox>(1, "comboBoxEncoderMath"), "Combined (SUMDIFF)");
    chooseText(field<QComboBox>(1, "BPMTovash_x_2"), "enc1 - enc2");
    replaceText(field<QDoubleSpinBox>(1, "horNradCountDoubleSpinBox"), "1");
    replaceText(field<QDoubleSpinBox>(1, "horDistanceCountsDoubleSpinBox"), "500");
    replaceText(field<QDoubleSpinBox>(1, "horOffsetCountsDoubleSpinBox"), "-1");
    nivraSimClearCallLog();

    QSignalSpy scaleChanged(window.get(), &WindowBeamlineConf::BPMscaleChanged);
    pressSave();

    EXPECT_EQ(deviceCalls(), QStringList({
                                 "setCrossBar(0, 1, 0, 3, 2)",
                                 "setBPMscale(0, 0.002, 0.00075)",
                                 "setTovashType(0, 0)",
                                 "tovashEncoderSelect(0, 0)",
                                 "setTovashSumDiff(0, 0)",
                                 "setBPMoffsetTovash(0, 0, 12.5, -3.25)",
                                 "setCrossBar(1, 1, 0, 3, 2)",
                                 "setBPMscale(1, 0.001, 0.001)",
                                 "setTovashType(1, 1)",
                                 "tovashEncoderSelect(1, 1)",
                                 "setTovashSumDiff(1, 1)",
                                 "setBPMoffsetTovash(1, 1, -1, 0)",
                             }));
    EXPECT_EQ(scaleChanged.count(), 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);

    EXPECT_DOUBLE_EQ(BPM_SCALE_X[0], 0.002);
    EXPECT_DOUBLE_EQ(BPM_SCALE_Y[0], 0.00075);
    EXPECT_DOUBLE_EQ(BPM_DIST_X[0], 400000.0);
    EXPECT_DOUBLE_EQ(BPM_DIST_Y[0], 250000.0);
    EXPECT_DOUBLE_EQ(BPM_OFFSET_X[0], 12.5);
    EXPECT_DOUBLE_EQ(BPM_OFFSET_Y[0], -3.25);
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[1], 0.001);
    EXPECT_DOUBLE_EQ(BPM_SCALE_Y[1], 0.001);   // as loaded
    EXPECT_DOUBLE_EQ(BPM_DIST_X[1], 500000.0);

    const struct {
        const char *key;
        double value;
    } expected[] = {
        {"BPM1/Top", 1},          {"BPM1/Right", 0},          {"BPM1/Bottom", 3},
        {"BPM1/Left", 2},         {"BPM1/Scale_X", 0.002},    {"BPM1/Scale_Y", 0.00075},
        {"BPM1/EncType", 0},      {"BPM1/EncMath", 0},        {"BPM1/Enc_X", 1},
        {"BPM1/Enc_Y", 0},        {"BPM1/EncIncrement", 0},   {"BPM1/Conv_X", 2.5},
        {"BPM1/Conv_Y", 1.5},     {"BPM1/Distance_X", 400000}, {"BPM1/Distance_Y", 250000},
        {"BPM1/Offset_X", 12.5},  {"BPM1/Offset_Y", -3.25},   {"BPM2/EncType", 1},
        {"BPM2/EncMath", 1},      {"BPM2/Enc_X", 1},          {"BPM2/Enc_Y", 0},
        {"BPM2/Scale_X", 0.001},  {"BPM2/Distance_X", 500000}, {"BPM2/Top", 1},
    };
    for (const auto &e : expected) {
        const QVariant v = stored(e.key);
        ASSERT_TRUE(v.isValid()) << e.key;
        EXPECT_DOUBLE_EQ(v.toDouble(), e.value) << e.key;
    }
    EXPECT_EQ(storedKeys("BPM1").size(), 17);
    EXPECT_EQ(storedKeys("BPM2").size(), 17);

    // What the controller keeps.
    EXPECT_DOUBLE_EQ(nivraSimSetting("bpmScale", 0), 0.002);
    EXPECT_DOUBLE_EQ(nivraSimSetting("offsetTovash", 1), -3.25);
    EXPECT_EQ(nivraSimSetting("tovashSumDiff", 1), 1.0);

    // A scale of 0 would read every position as a centred 0 µm: refused, nothing sent,
    // the dialog open with the value typed. The distance counts in linear units too.
    struct Refused { int bpm; const char *field; bool linear; const char *told; };
    for (const Refused r : {Refused{0, "horNradCountDoubleSpinBox", false, "BPM 1: X conv ratio 0 gives the X position scale 0"},
                            Refused{1, "vertDistanceCountsDoubleSpinBox", true, "BPM 2: Y sample distance 0 mm (editable in angular units) gives"}}) {
        openWindow();
        replaceText(field<QDoubleSpinBox>(r.bpm, r.field), "0");
        if (r.linear)
            chooseText(field<QComboBox>(r.bpm, "comboBoxEncoderIncrement"), "linear");
        pressSave();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.contains(QLatin1String(r.told)); })) << r.told;
        EXPECT_EQ(deviceCalls(), QStringList());
        EXPECT_TRUE(window->isVisible() && field<QDoubleSpinBox>(r.bpm, r.field)->value() == 0.0);
    }
}

TEST_F(BeamlineConfTest, HiddenBoxesAreNeitherAppliedNorStored)
{
    openWindow();
    replaceText(field<QDoubleSpinBox>(1, "horNradCountDoubleSpinBox"), "9");
    // BPM 2's encoder box goes away after the edit.
    nivraSimSetTovash(1, 0);
    window->nr_tovashes_changed();
    nivraSimClearCallLog();

    QSignalSpy scaleChanged(window.get(), &WindowBeamlineConf::BPMscaleChanged);
    pressSave();
    for (const QString &call : deviceCalls())
        EXPECT_TRUE(call.contains(QLatin1String("(0,"))) << call.toStdString();
    EXPECT_EQ(deviceCalls().size(), 6);
    EXPECT_EQ(storedKeys("BPM2").size(), 4);   // the fixture's scales alone
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[1], 1.0);
    EXPECT_DOUBLE_EQ(BPM_DIST_X[1], 1000000.0);
    EXPECT_EQ(scaleChanged.count(), 1);

    // No encoder box at all: Save sends and stores nothing, yet still announces.
    TovashHook::answer(0, 0);
    openWindow();
    const QByteArray before = config.text();
    pressSave();
    EXPECT_TRUE(deviceCalls().isEmpty()) << deviceCalls().join('\n').toStdString();
    EXPECT_EQ(config.text(), before);
    EXPECT_EQ(scaleChanged.count(), 2);

    // One BPM shown, the other never configured: the hidden one's zero scale is not
    // held against the Save; the shown one never configured refuses it.
    const struct { int shown, configured; } cases[] = {{0, 0}, {1, 1}, {0, 1}, {1, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "shown " << c.shown << " configured " << c.configured);
        ASSERT_TRUE(config.writeText(QStringLiteral("[BPM%1]\nConv_X=1\nConv_Y=1\nDistance_X=500000\n"
                                                    "Distance_Y=500000\n").arg(c.configured + 1).toLatin1()));
        TovashHook::answer(c.shown == 0, c.shown == 1);
        window.reset();
        openWindow();
        const int told = answerer.count();
        pressSave();
        const bool saved = c.shown == c.configured;
        EXPECT_NE(window->isVisible(), saved);
        EXPECT_EQ(deviceCalls().value(1), saved ? QStringLiteral("setBPMscale(%1, 0.001, 0.001)").arg(c.shown) : "");
        EXPECT_EQ(QTest::qWaitFor([&] { return answerer.count() > told; }, 200), !saved);
    }
}

TEST_F(BeamlineConfTest, LoadingShowsStoredValuesAsTheBoxesHoldThem)
{
    config.setValue("BPM1/EncType", 1);
    config.setValue("BPM1/EncMath", 1);
    config.setValue("BPM1/Enc_X", 1);
    config.setValue("BPM1/Enc_Y", 1);   // equal to X: shown as it is
    config.setValue("BPM1/EncIncrement", 1);
    config.setValue("BPM1/Conv_X", 1.23456);
    config.setValue("BPM1/Conv_Y", -2.0);
    config.setValue("BPM1/Offset_X", 0.00004);
    config.setValue("BPM1/Offset_Y", 5.5);
    config.setValue("BPM1/Distance_X", 1234.5);
    config.setValue("BPM1/Distance_Y", 100000.0);

    makeWindow();
    nivraSimClearCallLog();
    window->showWindow();
    // Loading reaches the controller where it changes a choice: BPM 1 only, since
    // BPM 2 loads the choices a new box already shows.
    EXPECT_EQ(deviceCalls(), QStringList({"tovashEncoderSelect(1, 0)", "setTovashSumDiff(0, 1)"}));

    EXPECT_EQ(field<QComboBox>(0, "comboBoxEncoderSel")->currentIndex(), 1);
    EXPECT_EQ(field<QComboBox>(0, "comboBoxEncoderMath")->currentIndex(), 1);
    EXPECT_EQ(field<QComboBox>(0, "BPMTovash_x_2")->currentIndex(), 1);
    EXPECT_EQ(field<QComboBox>(0, "BPMTovash_y_2")->currentIndex(), 1);
    EXPECT_FALSE(field<QWidget>(0, "BPMvisualTovash")->isVisibleTo(box(0)));
    EXPECT_TRUE(field<QWidget>(0, "BPMvisualTovash_math")->isVisibleTo(box(0)));
    EXPECT_TRUE(field<QWidget>(1, "BPMvisualTovash")->isVisibleTo(box(1)));
    EXPECT_FALSE(field<QWidget>(1, "BPMvisualTovash_math")->isVisibleTo(box(1)));
    auto *convX = field<QDoubleSpinBox>(0, "horNradCountDoubleSpinBox");
    auto *distX = field<QDoubleSpinBox>(0, "horDistanceCountsDoubleSpinBox");
    EXPECT_EQ(convX->suffix(), " nm/cts");
    EXPECT_DOUBLE_EQ(convX->value(), 1.2346);
    EXPECT_DOUBLE_EQ(distX->value(), 1.23);
    EXPECT_FALSE(distX->isEnabled());
    EXPECT_DOUBLE_EQ(field<QDoubleSpinBox>(0, "horOffsetCountsDoubleSpinBox")->value(), 0.0);

    // Unsaved edits give way to the store on the next show.
    replaceText(field<QDoubleSpinBox>(0, "vertNradCountDoubleSpinBox"), "8");
    openWindow();
    EXPECT_DOUBLE_EQ(field<QDoubleSpinBox>(0, "vertNradCountDoubleSpinBox")->value(), -2.0);

    // Save writes back what the boxes hold. The electrodes follow the X choice alone.
    pressSave();
    EXPECT_DOUBLE_EQ(stored("BPM1/Distance_X").toDouble(), 1230.0);
    EXPECT_DOUBLE_EQ(stored("BPM1/Conv_X").toDouble(), 1.2346);
    EXPECT_DOUBLE_EQ(stored("BPM1/Offset_X").toDouble(), 0.0);
    EXPECT_EQ(stored("BPM1/Enc_Y").toInt(), 1);
    EXPECT_EQ(stored("BPM1/EncIncrement").toInt(), 1);
    EXPECT_DOUBLE_EQ(BPM_SCALE_Y[0], 2 * -2.0 * 100000.0 / 1e9);
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[0], 2 * 1.2346 * 1230.0 / 1e9);
    const QStringList calls = deviceCalls();
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_EQ(calls.first(), "setCrossBar(0, 1, 0, 3, 2)");
}

TEST_F(BeamlineConfTest, AnyIndexButZeroAppliesBpm2)
{
    openWindow();
    replaceText(field<QDoubleSpinBox>(1, "horNradCountDoubleSpinBox"), "3");
    replaceText(field<QDoubleSpinBox>(1, "horDistanceCountsDoubleSpinBox"), "250");
    BPM_SCALE_X[0] = -1.0;
    window->applySettings(5);
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[1], 0.0015);
    EXPECT_DOUBLE_EQ(BPM_DIST_X[1], 250000.0);
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[0], -1.0);
    EXPECT_DOUBLE_EQ(stored("BPM2/Conv_X").toDouble(), 3.0);
    EXPECT_EQ(SimCallLog::callsTo("setBPMscale"), QStringList({"setBPMscale(1, 0.0015, 0.001)"}));
}

TEST_F(BeamlineConfTest, OutOfRangeEncoderChoiceLoadsAsTheSecondEntry)
{
    // A hand-edited file: the box shows the entry whose electrodes are sent.
    config.setValue("BPM1/Enc_X", 5);
    config.setValue("BPM1/Enc_Y", -3);
    openWindow();
    EXPECT_EQ(field<QComboBox>(0, "BPMTovash_x")->currentIndex(), 1);
    EXPECT_EQ(field<QComboBox>(0, "BPMTovash_y")->currentIndex(), 1);
    pressSave();
    EXPECT_EQ(stored("BPM1/Enc_X").toInt(), 1);
    EXPECT_EQ(stored("BPM1/Enc_Y").toInt(), 1);
    EXPECT_EQ(stored("BPM1/Top").toInt(), 1);
}

TEST_F(BeamlineConfTest, UserLevelGatesTheBoxesButNotSave)
{
    config.setValue("BPM1/Conv_X", 3.0);
    config.setValue("BPM1/Distance_X", 200000.0);
    config.setValue("BPM1/EncMath", 1);

    for (int level : {0, 1}) {
        userLevel = level;
        nivraSimClearCallLog();
        window.reset();
        makeWindow();
        window->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_FALSE(box(0)->isEnabled()) << level;
        EXPECT_FALSE(box(1)->isEnabled()) << level;
        EXPECT_TRUE(child<QDialogButtonBox>(window.get(), "buttonBox")->isEnabled());

        // The operator cannot change a choice; only loading reached the controller.
        auto *math = field<QComboBox>(0, "comboBoxEncoderMath");
        math->setFocus();
        QTest::keyClick(math, Qt::Key_Home);
        EXPECT_EQ(math->currentIndex(), 1);
        EXPECT_EQ(SimCallLog::callsTo("setTovashSumDiff"), QStringList({"setTovashSumDiff(0, 1)"}));

        // Save re-sends what was loaded.
        nivraSimClearCallLog();
        pressSave();
        EXPECT_EQ(SimCallLog::callsTo("setBPMscale"),
                  QStringList({"setBPMscale(0, 0.0012, 0.001)", "setBPMscale(1, 0.001, 0.001)"}))
            << level;
        EXPECT_DOUBLE_EQ(stored("BPM1/Conv_X").toDouble(), 3.0);
    }

    // Outside 0..2 nothing changes, either way.
    for (int odd : {3, -1}) {
        userLevel = odd;
        window->checkUserLevel();
        EXPECT_FALSE(box(0)->isEnabled()) << odd;
        EXPECT_FALSE(box(1)->isEnabled()) << odd;
    }
    userLevel = 2;
    window->checkUserLevel();
    EXPECT_TRUE(box(0)->isEnabled());
    EXPECT_TRUE(box(1)->isEnabled());
    for (int odd : {3, -1}) {
        userLevel = odd;
        window->checkUserLevel();
        EXPECT_TRUE(box(0)->isEnabled()) << odd;
        EXPECT_TRUE(box(1)->isEnabled()) << odd;
    }
}

TEST_F(BeamlineConfTest, OnlySaveApplies)
{
    openWindow();
    replaceText(field<QDoubleSpinBox>(0, "horNradCountDoubleSpinBox"), "4");
    QSignalSpy scaleChanged(window.get(), &WindowBeamlineConf::BPMscaleChanged);
    const QByteArray before = config.text();

    pressCancel();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(deviceCalls().isEmpty());
    EXPECT_EQ(config.text(), before);
    EXPECT_EQ(scaleChanged.count(), 0);

    // The button is recognised by its text, with or without the mnemonic, case and all.
    openWindow();
    QPushButton other(QStringLiteral("save"));
    window->sendSettings(&other);
    other.setText(QStringLiteral("&Apply"));
    window->sendSettings(&other);
    EXPECT_EQ(scaleChanged.count(), 0);
    other.setText(QStringLiteral("Save"));
    window->sendSettings(&other);
    EXPECT_EQ(scaleChanged.count(), 1);
    EXPECT_EQ(SimCallLog::callsTo("setBPMscale").size(), 2);
}

} // namespace
