// The feedback control panel driven through its form: refusals, the DAC channel of
// the intensity loop, the configuration code, and what reaches the store and the
// controller after "Update Configuration".

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetFeedbackControl.h"
#include "WidgetLookup.h"

namespace {

class FeedbackControlTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        userLevel = 1;
    }

    void TearDown() override
    {
        panel.reset();
        ProgramEnvironment::TearDown();
    }

    WidgetFeedbackControl *makePanel()
    {
        panel = std::make_unique<WidgetFeedbackControl>();
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        xCheck = child<QCheckBox>(panel.get(), "confXcheckbox");
        yCheck = child<QCheckBox>(panel.get(), "confYcheckbox");
        xField = child<QDoubleSpinBox>(panel.get(), "posXDoubleSpinBox");
        yField = child<QDoubleSpinBox>(panel.get(), "posYDoubleSpinBox");
        nivraSimClearCallLog();
        return panel.get();
    }

    void pressUpdateConfiguration()
    {
        QTest::mouseClick(child<QPushButton>(panel.get(), "updateConfButton"), Qt::LeftButton);
    }

    // The controller's DAC channel of each loop, as the device reports it.
    void deviceOutSel(int &x, int &y, int &i0)
    {
        std::uint8_t dx = 0xFF, dy = 0xFF, di = 0xFF;
        ASSERT_GE(getPIDoutSel(&dx, &dy, &di), 0);
        x = dx;
        y = dy;
        i0 = di;
    }

    std::unique_ptr<WidgetFeedbackControl> panel;
    // The "Regulate" boxes and setpoint fields of each axis, found by makePanel().
    QCheckBox *xCheck = nullptr;
    QCheckBox *yCheck = nullptr;
    QDoubleSpinBox *xField = nullptr;
    QDoubleSpinBox *yField = nullptr;
    DialogAnswerer answerer;
};

TEST_F(FeedbackControlTest, ConstructionLoadsStoreAndDevice)
{
    config.setValue("Beamline/DAC_posX", 2);
    config.setValue("Beamline/DAC_posY", 3);
    config.setValue("PID_X/enable", 0);
    config.setValue("PID_Y/enable", 1);
    ASSERT_GE(setBPMselector(1, 0, 0), 0);

    makePanel();
    EXPECT_EQ(child<QComboBox>(panel.get(), "positionXComboBox")->currentText(), "CH3");
    EXPECT_EQ(child<QComboBox>(panel.get(), "positionYComboBox")->currentText(), "CH4");
    EXPECT_EQ(child<QComboBox>(panel.get(), "comboBoxPidSourceX")->currentText(), "BPM2");
    EXPECT_EQ(child<QComboBox>(panel.get(), "comboBoxPidSourceY")->currentText(), "BPM1");
    EXPECT_EQ(int(bpmSelX), 1);
    EXPECT_EQ(int(bpmSelY), 0);
    EXPECT_FALSE(xCheck->isChecked());
    EXPECT_TRUE(yCheck->isChecked());

    std::uint8_t x = 0, y = 0;
    panel->getDACoutputs(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 3);
}

TEST_F(FeedbackControlTest, StoredChannelOutOfRangeIsNeverSent)
{
    config.setValue("Beamline/DAC_posX", 7);
    config.setValue("Beamline/DAC_posY", 1);
    makePanel();
    auto *xBox = child<QComboBox>(panel.get(), "positionXComboBox");
    EXPECT_EQ(xBox->currentIndex(), -1) << "no channel shown for a value outside CH1..CH4";

    pressUpdateConfiguration();
    EXPECT_EQ(nivraSimCallCount("setPIDoutSel"), 0);
    EXPECT_EQ(nivraSimCallCount("setBPMselector"), 0);
    EXPECT_EQ(nivraSimCallCount("setPIDconf"), 0);
    EXPECT_EQ(config.value("Beamline/DAC_posX").toInt(), 7) << "the store is not rewritten";

    // Once the operator picks a channel, it goes out.
    chooseItem(xBox, 3);
    pressUpdateConfiguration();
    int dx = -1, dy = -1, di = -1;
    deviceOutSel(dx, dy, di);
    EXPECT_EQ(dx, 3);
    EXPECT_EQ(dy, 1);
    EXPECT_EQ(di, 2);
}

TEST_F(FeedbackControlTest, SourceOutsideTheBpmsIsNeverSentBack)
{
    bpmSelX = 2;   // as read at start; the simulator itself refuses to hold it
    nivraSimFailCall("getBPMselector", -1);
    makePanel();
    nivraSimClearFaults();
    auto *xSource = child<QComboBox>(panel.get(), "comboBoxPidSourceX");
    EXPECT_EQ(xSource->currentIndex(), -1) << "no BPM shown";
    pressUpdateConfiguration();
    EXPECT_EQ(nivraSimCallCount("setBPMselector") + nivraSimCallCount("setPIDoutSel"), 0);
    chooseItem(xSource, 1);
    pressUpdateConfiguration();
    EXPECT_EQ(SimCallLog::callsTo("setBPMselector").join(' ').toStdString(),
              "setBPMselector(1, 0, 0)");
}

TEST_F(FeedbackControlTest, FailedSourceReadKeepsTheSources)
{
    bpmSelX = 1;
    bpmSelY = 1;
    nivraSimFailCall("getBPMselector", -1);
    makePanel();
    nivraSimClearFaults();
    EXPECT_EQ(int(bpmSelX), 1);
    EXPECT_EQ(int(bpmSelY), 1);
    EXPECT_EQ(child<QComboBox>(panel.get(), "comboBoxPidSourceX")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(panel.get(), "comboBoxPidSourceY")->currentIndex(), 1);

    // BPM1's box leaves: the sources re-read (0 0) are shown, and a loop on BPM1 refused.
    nivraSimSetSfpModule(0, 0, 0, 0, 0);
    mailbox->scanSFP();
    EXPECT_EQ(child<QComboBox>(panel.get(), "comboBoxPidSourceX")->currentIndex(), 0);
    pressUpdateConfiguration();
    EXPECT_EQ(answerer.last().title, "No encoder box");
    EXPECT_EQ(nivraSimCallCount("setPIDoutSel"), 0);
}

TEST_F(FeedbackControlTest, RunningPidRefusesConfiguration)
{
    makePanel();
    setChecked(yCheck, true);

    // Status 3 as the controller reports it with the feedback switched on.
    ASSERT_GE(setFBenable(1), 0);
    mailbox->refreshData();
    ASSERT_EQ(int(mailbox->pidStatus), 3);
    nivraSimClearCallLog();

    for (int status : {3, 2}) {
        mailbox->pidStatus = status;
        answerer.clear();
        pressUpdateConfiguration();
        ASSERT_EQ(answerer.count(), 1) << status;
        EXPECT_EQ(answerer.last().kind, "warning");
        EXPECT_EQ(answerer.last().title, "PID running ...");
        EXPECT_EQ(answerer.last().text, "Configuration can be change only if the PID is stopped.");
        EXPECT_EQ(nivraSimCallCount("setPIDoutSel"), 0);
        EXPECT_EQ(nivraSimCallCount("setBPMselector"), 0);
        EXPECT_EQ(nivraSimCallCount("setPIDconf"), 0);
        EXPECT_FALSE(config.exists()) << "nothing written to the store";
    }

    // Stopped (0) and out of ROC (1) let it through.
    for (int status : {0, 1}) {
        mailbox->pidStatus = status;
        answerer.clear();
        nivraSimClearCallLog();
        pressUpdateConfiguration();
        EXPECT_EQ(answerer.count(), 0) << status;
        EXPECT_EQ(nivraSimCallCount("setPIDoutSel"), 1);
        EXPECT_EQ(nivraSimCallCount("setBPMselector"), 1);
        EXPECT_EQ(nivraSimCallCount("setPIDconf"), 1);
    }
}

TEST_F(FeedbackControlTest, EqualDacOutputsRefuseEverything)
{
    makePanel();
    QSignalSpy selector(panel.get(), &WidgetFeedbackControl::BPMselectorChanged);
    QSignalSpy label(panel.get(), &WidgetFeedbackControl::updateDACLabel);
    chooseItem(child<QComboBox>(panel.get(), "positionXComboBox"), 1);
    chooseItem(child<QComboBox>(panel.get(), "positionYComboBox"), 1);
    chooseItem(child<QComboBox>(panel.get(), "comboBoxPidSourceX"), 1);

    pressUpdateConfiguration();
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, "warning");
    EXPECT_EQ(answerer.last().title, "DAC outputs not unique");
    EXPECT_EQ(answerer.last().text, "DAC outputs must be unique");
    EXPECT_EQ(nivraSimCallCount("setPIDoutSel"), 0);
    EXPECT_EQ(nivraSimCallCount("setBPMselector"), 0);
    EXPECT_EQ(nivraSimCallCount("setPIDconf"), 0);
    EXPECT_FALSE(config.exists());
    EXPECT_EQ(int(bpmSelX), 0) << "the source is not taken over either";
    EXPECT_EQ(selector.count(), 0);
    EXPECT_EQ(label.count(), 0);
    EXPECT_EQ(panel->sendDACoutputs(), -1);
}

TEST_F(FeedbackControlTest, IntensityLoopGetsAFreeDacChannel)
{
    makePanel();
    auto *xBox = child<QComboBox>(panel.get(), "positionXComboBox");
    auto *yBox = child<QComboBox>(panel.get(), "positionYComboBox");

    // The two cases an operator meets most, checked in the store and on the device.
    struct Case { int x, y, i0; };
    for (const Case c : {Case{2, 3, 0}, Case{0, 2, 3}}) {
        chooseItem(xBox, c.x);
        chooseItem(yBox, c.y);
        pressUpdateConfiguration();
        int dx = -1, dy = -1, di = -1;
        deviceOutSel(dx, dy, di);
        EXPECT_EQ(dx, c.x);
        EXPECT_EQ(dy, c.y);
        EXPECT_EQ(di, c.i0) << "X CH" << c.x + 1 << " Y CH" << c.y + 1;
        EXPECT_EQ(config.value("Beamline/DAC_I0").toInt(), c.i0);
    }

    // Every pair: the controller's wiring expects this exact channel, and it is never
    // one that X or Y drives.
    constexpr int kI0[4][4] = {{-1, 2, 3, 2}, {2, -1, 3, 2}, {1, 3, -1, 0}, {2, 2, 1, -1}};
    for (int x = 0; x < 4; ++x) {
        for (int y = 0; y < 4; ++y) {
            if (x == y)
                continue;
            chooseItem(xBox, x);
            chooseItem(yBox, y);
            ASSERT_EQ(panel->sendDACoutputs(), 0);
            int dx = -1, dy = -1, di = -1;
            deviceOutSel(dx, dy, di);
            EXPECT_EQ(dx, x);
            EXPECT_EQ(dy, y);
            EXPECT_EQ(di, kI0[x][y]) << x << y;
            EXPECT_TRUE(di != x && di != y) << x << y << di;
        }
    }
    EXPECT_EQ(answerer.count(), 0);
}

TEST_F(FeedbackControlTest, RegulateBoxesGiveTheConfigurationCode)
{
    makePanel();

    struct Case { bool x, y; int code; bool xAfter, yAfter; };
    const Case cases[] = {
        {true, true, 1, true, true},
        {true, false, 0, true, false},
        {false, true, 3, false, true},
        // Neither: the controller gets the code of X alone, and the panel shows it.
        {false, false, 0, true, false},
    };
    for (const Case &c : cases) {
        setChecked(xCheck, c.x);
        setChecked(yCheck, c.y);
        pressUpdateConfiguration();
        std::int8_t code = -1;
        ASSERT_GE(getPIDconf(&code), 0);
        EXPECT_EQ(code, c.code) << c.x << c.y;
        EXPECT_EQ(xCheck->isChecked(), c.xAfter) << c.x << c.y;
        EXPECT_EQ(yCheck->isChecked(), c.yAfter) << c.x << c.y;
        EXPECT_EQ(xField->isEnabled(), c.xAfter);
        EXPECT_EQ(yField->isEnabled(), c.yAfter);
    }
}

TEST_F(FeedbackControlTest, UpdateConfigurationStoreAndDeviceAgree)
{
    makePanel();
    QSignalSpy changed(panel.get(), &WidgetFeedbackControl::somethingChanged);
    QSignalSpy selector(panel.get(), &WidgetFeedbackControl::BPMselectorChanged);
    QSignalSpy label(panel.get(), &WidgetFeedbackControl::updateDACLabel);

    chooseItem(child<QComboBox>(panel.get(), "comboBoxPidSourceX"), 1);
    chooseItem(child<QComboBox>(panel.get(), "comboBoxPidSourceY"), 0);
    chooseItem(child<QComboBox>(panel.get(), "positionXComboBox"), 1);
    chooseItem(child<QComboBox>(panel.get(), "positionYComboBox"), 0);
    setChecked(xCheck, true);
    setChecked(yCheck, true);
    // Let go beside the button: the panel acts on release, not on click.
    pressAndSlideOff(child<QPushButton>(panel.get(), "updateConfButton"));

    // The store.
    EXPECT_EQ(config.value("Beamline/DAC_posX").toInt(), 1);
    EXPECT_EQ(config.value("Beamline/DAC_posY").toInt(), 0);
    EXPECT_EQ(config.value("Beamline/DAC_I0").toInt(), 2);
    EXPECT_EQ(config.value("Beamline/BPM_posX").toInt(), 1);
    EXPECT_EQ(config.value("Beamline/BPM_posY").toInt(), 0);
    EXPECT_EQ(config.value("Beamline/BPM_I0").toInt(), 0);

    // The controller.
    int dx = -1, dy = -1, di = -1;
    deviceOutSel(dx, dy, di);
    EXPECT_EQ(dx, 1);
    EXPECT_EQ(dy, 0);
    EXPECT_EQ(di, 2);
    int sx = -1, sy = -1, si = -1;
    ASSERT_GE(getBPMselector(&sx, &sy, &si), 0);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(sy, 0);
    EXPECT_EQ(si, 0);
    std::int8_t code = -1;
    ASSERT_GE(getPIDconf(&code), 0);
    EXPECT_EQ(code, 1);

    // The process-wide sources.
    EXPECT_EQ(int(bpmSelX), 1);
    EXPECT_EQ(int(bpmSelY), 0);
    EXPECT_EQ(int(bpmSelI0), 0);

    // Outputs first, then sources, then the code.
    const QString log = SimCallLog::text();
    const int outSel = log.indexOf(QStringLiteral("setPIDoutSel"));
    const int sources = log.indexOf(QStringLiteral("setBPMselector"));
    const int conf = log.indexOf(QStringLiteral("setPIDconf"));
    ASSERT_GE(outSel, 0);
    EXPECT_LT(outSel, sources);
    EXPECT_LT(sources, conf);

    EXPECT_EQ(selector.count(), 1);
    EXPECT_EQ(changed.count(), 2) << "once from confChanged, once at the end";
    ASSERT_EQ(label.count(), 1);
    EXPECT_EQ(label.at(0).at(0).toInt(), 1);
    EXPECT_EQ(label.at(0).at(1).toInt(), 0);
}

TEST_F(FeedbackControlTest, ConfChangedShowsEveryCode)
{
    makePanel();
    QSignalSpy changed(panel.get(), &WidgetFeedbackControl::somethingChanged);

    struct Case { int code; bool x, y; };
    const Case cases[] = {{0, true, false}, {2, true, false}, {1, true, true}, {5, true, true},
                          {3, false, true}, {4, false, true}, {6, false, false}};
    for (const Case &c : cases) {
        panel->confChanged(c.code);
        EXPECT_EQ(xField->isEnabled(), c.x) << c.code;
        EXPECT_EQ(yField->isEnabled(), c.y) << c.code;
        EXPECT_EQ(xCheck->isChecked(), c.x) << c.code;
        EXPECT_EQ(yCheck->isChecked(), c.y) << c.code;
    }
    EXPECT_EQ(changed.count(), 7);

    // Unknown codes leave the form as it is but still announce.
    panel->confChanged(3);
    changed.clear();
    for (int code : {7, -1}) {
        panel->confChanged(code);
        EXPECT_FALSE(xField->isEnabled());
        EXPECT_TRUE(yField->isEnabled());
        EXPECT_FALSE(xCheck->isChecked());
        EXPECT_TRUE(yCheck->isChecked());
    }
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(nivraSimCallCount("setPIDconf"), 0) << "showing a code sends nothing";
}

TEST_F(FeedbackControlTest, SetpointsGoOutWhileFeedbackRunsAndComeBack)
{
    store.writeConfigROCandROI(0, 100, 50, 0, 0, 80);
    makePanel();
    QSignalSpy changed(panel.get(), &WidgetFeedbackControl::somethingChanged);
    ASSERT_GE(setSetpoint2(2, 7.5), 0);
    ASSERT_GE(setFBenable(1), 0);
    mailbox->refreshData();
    ASSERT_EQ(int(mailbox->pidStatus), 3);

    // A disabled field is still sent.
    panel->confChanged(0);
    enterText(xField, QStringLiteral("12.345"));
    ASSERT_DOUBLE_EQ(xField->value(), 12.345);
    yField->setValue(-3.5);
    changed.clear();
    QTest::mouseClick(child<QPushButton>(panel.get(), "buttonUpdate"), Qt::LeftButton);

    double x = 0, y = 0, i0 = -1;
    ASSERT_GE(getSetpoint2(0, &x), 0);
    ASSERT_GE(getSetpoint2(1, &y), 0);
    ASSERT_GE(getSetpoint2(2, &i0), 0);
    EXPECT_DOUBLE_EQ(x, 12.345);
    EXPECT_DOUBLE_EQ(y, -3.5);
    EXPECT_DOUBLE_EQ(i0, 0.0) << "the intensity setpoint is always sent as 0";
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(answerer.count(), 0);

    // The button acts on release, not on click: pressing it and sliding off before
    // letting go still sends.
    yField->setValue(6.25);
    pressAndSlideOff(child<QPushButton>(panel.get(), "buttonUpdate"));
    ASSERT_GE(getSetpoint2(1, &y), 0);
    EXPECT_DOUBLE_EQ(y, 6.25);
    EXPECT_EQ(changed.count(), 2);
    // Each regulated loop's field against the ROI of the BPM that feeds it, at both
    // ends: on the limit sent, beyond it refused as a click on the XY graph is, and the
    // fields back at what the controller holds. BPM1: ROI 100 x 50, BPM2: 200 x 120.
    store.writeConfigROCandROI(1, 200, 120, 0, 0, 80);
    const struct { int code, sourceY; double x, y; bool refused; } cases[] = {
        {0, 0, 9999, 0, true},    {0, 0, -100, 9999, false}, {0, 0, 100.01, 0, true},
        {3, 0, 9999, 50, false},  {3, 0, 0, -50.01, true},   {3, 0, 0, 50.01, true},
        {3, 1, 0, -120, false},   {3, 1, 0, 120.5, true},    {1, 1, 100, -120, false},
        {1, 1, -100.5, 0, true},
    };
    bpmSelX = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.x << " " << c.y);
        ASSERT_GE(setPIDconf(std::int8_t(c.code)), 0);
        bpmSelY = c.sourceY;
        const int told = answerer.count();
        xField->setValue(c.x);
        yField->setValue(c.y);
        pressAndSlideOff(child<QPushButton>(panel.get(), "buttonUpdate"));
        EXPECT_EQ(answerer.count(), told + c.refused);
        ASSERT_GE(getSetpoint2(0, &x) | getSetpoint2(1, &y), 0);
        EXPECT_EQ(x == c.x && y == c.y, !c.refused);
        EXPECT_EQ(xField->value(), x);
        EXPECT_EQ(yField->value(), y);
    }
    EXPECT_EQ(answerer.last().title, "Invalid setpoint");
    // Read back from the controller, clamped to the field's range and 3 decimals.
    ASSERT_GE(setSetpoint2(0, 25000.0), 0);
    ASSERT_GE(setSetpoint2(1, 1.23456), 0);
    panel->updateXYfields();
    EXPECT_DOUBLE_EQ(xField->value(), 10000.0);
    EXPECT_DOUBLE_EQ(yField->value(), 1.235);
}

TEST_F(FeedbackControlTest, FailedSetpointReadKeepsTheFields)
{
    makePanel();
    xField->setValue(4.0);
    yField->setValue(5.0);
    ASSERT_GE(setSetpoint2(0, 100.0), 0);
    ASSERT_GE(setSetpoint2(1, 200.0), 0);

    // The controller does not answer: the fields keep what they showed.
    nivraSimFailCall("getSetpoint2", -1);
    panel->updateXYfields();
    EXPECT_DOUBLE_EQ(xField->value(), 4.0);
    EXPECT_DOUBLE_EQ(yField->value(), 5.0);
    nivraSimClearFaults();
}

TEST_F(FeedbackControlTest, UserLevelGatesThePanel)
{
    userLevel = 0;
    makePanel();
    EXPECT_FALSE(panel->isEnabled());

    userLevel = 7;
    panel->checkUserLevel();
    EXPECT_FALSE(panel->isEnabled()) << "an unknown level changes nothing";

    for (int level : {1, 2}) {
        userLevel = level;
        panel->checkUserLevel();
        EXPECT_TRUE(panel->isEnabled()) << level;
    }
    userLevel = -1;
    panel->checkUserLevel();
    EXPECT_TRUE(panel->isEnabled());
    userLevel = 0;
    panel->checkUserLevel();
    EXPECT_FALSE(panel->isEnabled());
}

} // namespace
