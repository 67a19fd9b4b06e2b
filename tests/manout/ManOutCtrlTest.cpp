// The manual output dialog driven through its form: the multiplexer check box, the
// slider and spin-box pairs, and the DAC records that reach the controller.

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <memory>

#include "DeviceNode.h"
#include "DialogAnswerer.h"
#include "LogCapture.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"
#include "ProgramEnvironment.h"
#include "ShutdownReport.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowManOutCtrl.h"

namespace {

int deviceMux()
{
    std::uint8_t mux = 0xFF;
    EXPECT_GE(getOutputMux(&mux), 0);
    return mux;
}

// The records written to the DAC node since the call log was last cleared, as the
// simulator shows them: "DacOutputs{ch1, ch2, ch3, ch4, 1}".
QStringList dacRecords()
{
    QStringList records;
    for (const QString &call : SimCallLog::callsTo("ioctl")) {
        if (call.contains(QLatin1String("0x40084228")))
            records.append(call.section(QLatin1String(", "), 2));
    }
    for (QString &r : records)
        r.chop(1);   // the call's closing parenthesis
    return records;
}

class ManOutCtrlTest : public ProgramEnvironment
{
protected:
    void TearDown() override
    {
        window.reset();
        ProgramEnvironment::TearDown();
    }

    WindowManOutCtrl *open()
    {
        window = std::make_unique<WindowManOutCtrl>();
        window->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window.get();
    }

    QSlider *slider(int channel) const
    {
        return child<QSlider>(window.get(), qPrintable(QStringLiteral("ch%1slider").arg(channel)));
    }
    QDoubleSpinBox *box(int channel) const
    {
        return child<QDoubleSpinBox>(window.get(), qPrintable(QStringLiteral("boxCh%1").arg(channel)));
    }
    QCheckBox *enableBox() const { return child<QCheckBox>(window.get(), "checboxEnableMan"); }

    std::unique_ptr<WindowManOutCtrl> window;
    DialogAnswerer answerer;
};

TEST_F(ManOutCtrlTest, FormHasFourChannelsFromChannel4OnTheLeft)
{
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Manual Output Control"));
    EXPECT_EQ(window->size(), QSize(496, 407));
    auto *grid = child<QGridLayout>(window.get(), "gridLayout");
    ASSERT_NE(grid, nullptr);
    for (int column = 0; column < 4; ++column) {
        const int channel = 4 - column;
        auto *label = qobject_cast<QLabel *>(grid->itemAtPosition(0, column)->widget());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QStringLiteral("Ch%1 output").arg(channel));
        EXPECT_EQ(grid->itemAtPosition(1, column)->widget(), slider(channel));
        EXPECT_EQ(grid->itemAtPosition(2, column)->widget(), box(channel));
    }
    EXPECT_EQ(slider(1)->orientation(), Qt::Vertical);
    EXPECT_EQ(slider(1)->tickPosition(), QSlider::TicksRight);
    EXPECT_EQ(box(1)->decimals(), 5);
    // The check box sits below the grid, outside it.
    EXPECT_EQ(enableBox()->text(), QStringLiteral("Enable Manual Control"));
    EXPECT_EQ(grid->indexOf(enableBox()), -1);
    EXPECT_GE(enableBox()->geometry().top(), grid->parentWidget()->geometry().bottom());
}

TEST_F(ManOutCtrlTest, CheckBoxFollowsAndSetsTheOutputMultiplexer)
{
    // The controller starts with the outputs on the feedback (1).
    open();
    EXPECT_FALSE(enableBox()->isChecked());
    window->hide();

    ASSERT_GE(setOutputMux(0), 0);
    nivraSimClearCallLog();
    window->showWindow();
    EXPECT_TRUE(enableBox()->isChecked());
    // Showing reads the multiplexer and changes nothing on the controller.
    EXPECT_EQ(SimCallLog::callsTo("getOutputMux").size(), 1);
    EXPECT_TRUE(SimCallLog::callsTo("setOutputMux").isEmpty());
    EXPECT_TRUE(OutputsGuard::isHeldBy(window.get()));

    nivraSimClearCallLog();
    setChecked(enableBox(), false);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux"), QStringList{QStringLiteral("setOutputMux(1)")});
    EXPECT_EQ(deviceMux(), 1);

    nivraSimClearCallLog();
    setChecked(enableBox(), true);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux"), QStringList{QStringLiteral("setOutputMux(0)")});
    EXPECT_EQ(deviceMux(), 0);

    // Closing changes nothing: the host keeps the outputs.
    window->close();
    EXPECT_EQ(deviceMux(), 0);

    // No control of outputs a procedure holds, none shown after it hands them back.
    setChecked(enableBox(), false);
    const int scan = 0;
    ASSERT_TRUE(OutputsGuard::acquire(&scan, QStringLiteral("Rocking Curve"), OutputsGuard::Runs::InGuiThread));
    ASSERT_GE(setOutputMux(0), 0);
    window->showWindow();
    EXPECT_FALSE(enableBox()->isChecked() || enableBox()->isEnabled() || box(1)->isEnabled());
    OutputsGuard::release(&scan);
    EXPECT_TRUE(QTest::qWaitFor([&] { return enableBox()->isEnabled() && box(1)->isEnabled(); }));
    EXPECT_FALSE(enableBox()->isChecked());
}

TEST_F(ManOutCtrlTest, MultiplexerFailures)
{
    // A failed read shows the outputs as the feedback's and sends nothing.
    nivraSimFailCall("getOutputMux", -5);
    open();
    EXPECT_FALSE(enableBox()->isChecked());
    EXPECT_TRUE(SimCallLog::callsTo("setOutputMux").isEmpty());
    nivraSimClearFaults();
    EXPECT_EQ(deviceMux(), 1);

    // A failed switch is told and leaves the box, the guard and the multiplexer
    // where the outputs are: with the feedback, or on the host at the boxes' volts.
    setChecked(enableBox(), false);
    enterText(box(1), QStringLiteral("2.5"));
    for (const auto &[call, told] : {std::pair{"setOutputMux(0)", "setOutputMux(0) failed"},
                                     {"setOutputMux(1)", "host at CH1 2.5 V, CH2 0 V, CH3 0 V, CH4 0 V"}}) {
        const bool ticked = enableBox()->isChecked();
        const int mux = deviceMux();
        nivraSimFailCall(call, -3);
        QTest::keyClick(enableBox(), Qt::Key_Space);
        nivraSimClearFaults();
        EXPECT_EQ(enableBox()->isChecked(), ticked) << call;
        EXPECT_EQ(OutputsGuard::isHeldBy(window.get()), ticked) << call;
        EXPECT_EQ(deviceMux(), mux) << call;
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.contains(QLatin1String(told)); })) << call;
        setChecked(enableBox(), !ticked);
    }

    // At the end the program tells where the outputs stand now, until a hand-back works.
    // Outputs a failed hand-back left on the host are the dialog's once it takes them over.
    // Its own failed hand-back names the last record the DAC took, whoever wrote it,
    // until a later one: not the boxes, nor a record refused.
    ASSERT_GE(setOutputMux(0), 0);
    ShutdownReport::note(QStringLiteral("setOutputMux(1)"), QStringLiteral("Rocking Curve: failed"));
    const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR);
    ASSERT_EQ(OutputsHandOver::setOutputs(dac, DacOutputs{{3.5, 0, 0, 0}}), 0);   // the curve's last point
    DeviceNode::close(dac);
    window->showWindow();
    EXPECT_TRUE(ShutdownReport::lines().isEmpty());
    nivraSimFailCall("setOutputMux(1)", -3);
    const auto told = [] { return ShutdownReport::lines().join(QLatin1Char('|')).section(QLatin1String(" at "), 1); };
    const QString rest = QStringLiteral(" V, CH2 0 V, CH3 0 V, CH4 0 V, where the feedback cannot reach them.");
    QTest::keyClick(enableBox(), Qt::Key_Space);
    EXPECT_EQ(told(), QLatin1String("CH1 3.5") + rest);
    enterText(box(1), QStringLiteral("2"));
    EXPECT_LT(OutputsHandOver::setOutputs(-1, DacOutputs{{5, 0, 0, 0}}), 0);
    EXPECT_EQ(told(), QLatin1String("CH1 2") + rest);
    QTest::keyClick(enableBox(), Qt::Key_Space);   // fails again: still one line
    EXPECT_EQ(told(), QLatin1String("CH1 2") + rest);
    nivraSimClearFaults();
    QTest::keyClick(enableBox(), Qt::Key_Space);
    EXPECT_TRUE(ShutdownReport::lines().isEmpty());
}

TEST_F(ManOutCtrlTest, DacNodeKeptOpenForTheDialogsLife)
{
    nivraSimClearCallLog();
    open();
    const QStringList opens = SimCallLog::linesOf({"open"});
    ASSERT_EQ(opens.size(), 1);
    EXPECT_TRUE(opens[0].startsWith(QStringLiteral("open(\"/dev/nivra_vennick0\", %1) -> ")
                                        .arg(O_RDWR | O_SYNC)))
        << opens[0].toStdString();
    const QString fd = opens[0].section(QLatin1String(" -> "), 1);

    window->close();
    EXPECT_TRUE(SimCallLog::callsTo("close").isEmpty());
    window.reset();
    EXPECT_EQ(SimCallLog::callsTo("close"), QStringList{QStringLiteral("close(%1)").arg(fd)});
}

TEST_F(ManOutCtrlTest, SliderSetsOnlyItsOwnChannel)
{
    open();
    setChecked(enableBox(), true);
    enterText(box(1), QStringLiteral("2.7"));
    enterText(box(3), QStringLiteral("-0.9"));
    enterText(box(4), QStringLiteral("1.5"));
    nivraSimClearCallLog();

    // Moving ch2slider to 5 writes one record per step, 5.0 last as value[1]; the
    // other three outputs keep the voltages typed for them. Rounding them to their
    // sliders' whole volts would silently move outputs the operator did not touch.
    slider(2)->setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(slider(2), Qt::Key_Up);
    EXPECT_EQ(slider(2)->value(), 5);
    EXPECT_EQ(box(2)->value(), 5.0);
    EXPECT_EQ(box(1)->value(), 2.7);
    EXPECT_EQ(box(3)->value(), -0.9);
    EXPECT_EQ(box(4)->value(), 1.5);
    EXPECT_EQ(dacRecords(),
              (QStringList{"DacOutputs{2.7, 1, -0.9, 1.5, 1}", "DacOutputs{2.7, 2, -0.9, 1.5, 1}",
                           "DacOutputs{2.7, 3, -0.9, 1.5, 1}", "DacOutputs{2.7, 4, -0.9, 1.5, 1}",
                           "DacOutputs{2.7, 5, -0.9, 1.5, 1}"}));
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(0), 2.7);
    EXPECT_EQ(nivraSimDacOutput(1), 5.0);
    EXPECT_EQ(nivraSimDacOutput(3), 1.5);

    // A slider moved off a fractional box gives that box the slider's whole volts,
    // below zero as well.
    nivraSimClearCallLog();
    slider(4)->setFocus();
    QTest::keyClick(slider(4), Qt::Key_Down);
    QTest::keyClick(slider(4), Qt::Key_Down);
    EXPECT_EQ(box(4)->value(), -1.0);
    EXPECT_EQ(dacRecords(), (QStringList{"DacOutputs{2.7, 5, -0.9, 0, 1}", "DacOutputs{2.7, 5, -0.9, -1, 1}"}));
}

TEST_F(ManOutCtrlTest, BoxesKeepTheirFractionsAndMoveTheirSlidersTowardZero)
{
    open();
    setChecked(enableBox(), true);

    struct Case {
        int channel;
        const char *typed;
        double value;
        int slider;
    };
    const Case cases[] = {{1, "2.7", 2.7, 2}, {3, "-0.9", -0.9, 0}, {4, "-2.5", -2.5, -2},
                          {2, "0.5", 0.5, 0}, {2, "12", 12.0, 12}};
    for (const Case &c : cases) {
        enterText(box(c.channel), QString::fromLatin1(c.typed));
        EXPECT_EQ(box(c.channel)->value(), c.value) << c.typed;
        EXPECT_EQ(slider(c.channel)->value(), c.slider) << c.typed;
    }

    // Stepping channel 1 from 1.0 down by one step leaves 0.9, not the slider's
    // 0, written once; the other channels are untouched.
    enterText(box(1), QStringLiteral("1"));
    nivraSimClearCallLog();
    box(1)->setFocus();
    QTest::keyClick(box(1), Qt::Key_Down);
    EXPECT_EQ(box(1)->value(), 0.9);
    EXPECT_EQ(slider(1)->value(), 0);
    EXPECT_EQ(dacRecords(), QStringList{QStringLiteral("DacOutputs{0.9, 12, -0.9, -2.5, 1}")});
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(0), 0.9);
    EXPECT_EQ(nivraSimDacOutput(3), -2.5);
}

TEST_F(ManOutCtrlTest, RecordsReachTheNodeWithManualControlOff)
{
    open();
    ASSERT_FALSE(enableBox()->isChecked());
    nivraSimClearCallLog();
    enterText(box(3), QStringLiteral("3.25"));
    EXPECT_EQ(dacRecords().last(), QStringLiteral("DacOutputs{0, 0, 3.25, 0, 1}"));
    EXPECT_EQ(nivraSimSetting("hostDac", 2), 3.25);
    // The feedback keeps the output meanwhile.
    nivraSimAdvance(0.01);
    EXPECT_NE(nivraSimDacOutput(2), 3.25);

    // Enabling manual control hands the output the voltage already written.
    setChecked(enableBox(), true);
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(2), 3.25);
}

TEST_F(ManOutCtrlTest, TypedValueIsSentWhenComplete)
{
    open();
    nivraSimClearCallLog();
    replaceText(box(1), QStringLiteral("2.7"));
    replaceText(box(2), QStringLiteral("10"));   // leaving box 1 completes its entry
    EXPECT_EQ(dacRecords(), QStringList{QStringLiteral("DacOutputs{2.7, 0, 0, 0, 1}")});
    QTest::keyClick(box(2), Qt::Key_Return);
    QTest::keyClick(box(2), Qt::Key_Up);
    EXPECT_EQ(dacRecords(), (QStringList{"DacOutputs{2.7, 0, 0, 0, 1}", "DacOutputs{2.7, 10, 0, 0, 1}",
                                         "DacOutputs{2.7, 10.1, 0, 0, 1}"}));
    EXPECT_EQ(slider(2)->value(), 10);

    // Values the DAC refuses are told, a row each and a box for the first of a run,
    // which a value taken ends; the boxes keep them.
    LogCapture log;
    for (const char *typed : {"1", "2", "3", "4"}) {
        nivraSimFailCall("DAC_IOC_SET_OUTPUTS", typed[0] == '3' ? 0 : -1);
        enterText(box(3), QString::fromLatin1(typed));
        QTest::qWait(30);   // a box shown is answered before the next value
    }
    EXPECT_EQ(log.texts(Logging::WarnLevel).filter(QStringLiteral("did not take")).size(), 3);
    EXPECT_EQ(answerer.count(), 2);
    EXPECT_EQ(box(3)->value(), 4.0);

    // The refused 4 typed again, once the DAC takes records, is sent: once.
    nivraSimClearFaults();
    nivraSimClearCallLog();
    enterText(box(3), QStringLiteral("4"));
    QTest::keyClick(box(3), Qt::Key_Return);
    EXPECT_EQ(dacRecords(), QStringList{QStringLiteral("DacOutputs{2.7, 10.1, 4, 0, 1}")});
}

TEST_F(ManOutCtrlTest, MissingDacNodeIsReportedAndKeepsTheFeedbacksOutputs)
{
    nivraSimFailNodeOpen("/dev/nivra_vennick0", 1);
    LogCapture log;
    open();
    EXPECT_TRUE(log.texts(Logging::WarnLevel).join(QLatin1Char('|')).contains(QLatin1String("/dev/nivra_vennick0")));
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("/dev/nivra_vennick0")));
    nivraSimClearCallLog();
    enterText(box(1), QStringLiteral("1.5"));
    slider(4)->setFocus();
    QTest::keyClick(slider(4), Qt::Key_Up);
    EXPECT_TRUE(SimCallLog::callsTo("ioctl").isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.count() == 2; }));   // not sent: told once

    // Enabling manual control is refused and told: the feedback keeps the outputs.
    enableBox()->setFocus();
    QTest::keyClick(enableBox(), Qt::Key_Space);
    EXPECT_FALSE(enableBox()->isChecked());
    EXPECT_TRUE(SimCallLog::callsTo("setOutputMux").isEmpty());
    EXPECT_EQ(answerer.count(), 3);
    EXPECT_EQ(deviceMux(), 1);

    // Outputs a failed hand-back left on the host are ticked, so that unticking hands them
    // back; not driven without the node, they stay told until a switch works.
    ASSERT_GE(setOutputMux(0), 0);
    ShutdownReport::note(QStringLiteral("setOutputMux(1)"), QStringLiteral("Rocking Curve: failed"));
    window->showWindow();
    EXPECT_TRUE(OutputsGuard::isHeldBy(window.get()) && enableBox()->isChecked());
    EXPECT_EQ(ShutdownReport::lines().size(), 1);
    EXPECT_EQ(answerer.count(), 4);
    nivraSimClearCallLog();
    setChecked(enableBox(), false);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux"), QStringList{QStringLiteral("setOutputMux(1)")});
    EXPECT_TRUE(ShutdownReport::lines().isEmpty());

    // Once the driver is there, the node opens on the next try.
    nivraSimFailNodeOpen("/dev/nivra_vennick0", 0);
    nivraSimClearCallLog();
    setChecked(enableBox(), true);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux"), QStringList{QStringLiteral("setOutputMux(0)")});
    EXPECT_EQ(answerer.count(), 4);
    nivraSimClearCallLog();
    window.reset();
    EXPECT_EQ(SimCallLog::callsTo("close").size(), 1);
}

} // namespace
