// One procedure at a time on the DAC outputs: while each of the rocking scans, the
// frequency sweep and manual output control holds them, starting any other (and
// the step response) is refused from the operator's own controls, sends nothing to
// the device and leaves the running one going. Runs on Xvfb: the 3-D window needs
// OpenGL.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "DialogAnswerer.h"
#include "NivraSim.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"
#include "WindowSaveData.h"
#include "WindowStepResponse.h"

namespace {

enum Procedure { Rocking1D, Rocking3D, Step, Sweep, Manual, Count };
const char *const kNames[Count] = {"Rocking Curve", "3D Rocking Curve", "Step Response",
                                   "Frequency Analysis", "Manual Output Control"};

// The 3-D scan's pauses move the simulator's clock; `atPause` runs at one of them.
int pauses = 0;
std::function<void()> atPause;
void simulatedSleep(unsigned long microseconds)
{
    nivraSimAdvance(static_cast<double>(microseconds) * 1e-6);
    if (++pauses == 12 && atPause)   // the first point's event processing follows
        QTimer::singleShot(0, atPause);
}

class OutputsGuardTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        pauses = 0;
        atPause = nullptr;
        WindowRocking3D::setSleepFunctionForTesting(simulatedSleep);
        rocking1d = std::make_unique<WindowRockingCurve>();
        rocking3d = std::make_unique<WindowRocking3D>();
        step = std::make_unique<WindowStepResponse>();
        sweep = std::make_unique<WindowFrequencyAnalysis>();
        manual = std::make_unique<WindowManOutCtrl>();
        saveData = std::make_unique<WindowSaveData>();
        rocking1d->show();
        rocking3d->show();
        step->showWindow();
        sweep->showWindow();
        manual->showWindow();
        saveData->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(rocking3d.get()));
        child<QSpinBox>(rocking1d.get(), "boxN")->setValue(20);
        child<QDoubleSpinBox>(rocking1d.get(), "boxTimePoint")->setValue(0.02);
    }

    void TearDown() override
    {
        rocking1d.reset();
        rocking3d.reset();
        step.reset();
        sweep.reset();
        manual.reset();
        saveData.reset();
        WindowRocking3D::setSleepFunctionForTesting(nullptr);
        atPause = nullptr;
        ProgramEnvironment::TearDown();
    }

    // Presses the control that starts `p`, as the operator would.
    void start(Procedure p)
    {
        switch (p) {
        case Rocking1D: click(rocking1d.get(), "buttonStart"); break;
        case Rocking3D: click(rocking3d.get(), "goButton"); break;
        case Step:
            QTest::mouseClick(child<QDialogButtonBox>(step.get(), "buttonBox")->button(QDialogButtonBox::Apply),
                              Qt::LeftButton);
            break;
        case Sweep: click(sweep.get(), "StartSweepPushButton"); break;
        case Manual: {
            auto *box = child<QCheckBox>(manual.get(), "checboxEnableMan");
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            break;
        }
        default: break;
        }
    }

    static void click(QWidget *window, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
    }

    // Every other procedure and Save Data, started while `holder` runs: refused,
    // nothing sent, the holder keeps the outputs.
    void tryTheOthers(Procedure holder)
    {
        for (int p = 0; p < Count; ++p) {
            if (p == holder)
                continue;
            nivraSimClearCallLog();
            start(Procedure(p));
            // The sweep's worker goes on talking to the generator and the stream.
            QStringList sent;
            for (const QString &call : SimCallLog::calls())
                if (!call.startsWith(QLatin1String("funcGen")) && !call.startsWith(QLatin1String("read("))
                    && !call.startsWith(QLatin1String("setDisplayFreq(")))
                    sent.append(call);
            EXPECT_EQ(sent, QStringList()) << kNames[p] << " while " << kNames[holder];
            EXPECT_EQ(OutputsGuard::holderName(), QString::fromLatin1(kNames[holder])) << kNames[p];
            // The operator is told (and answers before going on: the box keeps the
            // window it belongs to from input).
            ASSERT_TRUE(QTest::qWaitFor([this, n = answerer.count()] { return answerer.count() > n; }, 5000))
                << kNames[p] << " while " << kNames[holder];
            EXPECT_EQ(answerer.last().title, QStringLiteral("DAC outputs in use"));
            EXPECT_TRUE(answerer.last().text.startsWith(QString::fromLatin1(kNames[holder])
                                                        + QStringLiteral(" is using the DAC outputs")));
        }
        EXPECT_FALSE(child<QCheckBox>(manual.get(), "checboxEnableMan")->isChecked() && holder != Manual);

        // Save Data would hold a scan in the GUI thread at one point while its dialogs
        // are open: refused then, in its status line.
        nivraSimClearCallLog();
        for (QAbstractButton *b : child<QDialogButtonBox>(saveData.get(), "buttonBox")->buttons())
            if (b->text() == QLatin1String("Save"))
                QTest::mouseClick(b, Qt::LeftButton);
        const QString status = child<QLabel>(saveData.get(), "statusLabel")->text();
        if (holder == Rocking1D || holder == Rocking3D) {
            EXPECT_TRUE(status.contains(QLatin1String("Not saved"))) << status.toStdString();
            EXPECT_EQ(SimCallLog::calls(), QStringList());
        }
    }

    std::unique_ptr<WindowRockingCurve> rocking1d;
    std::unique_ptr<WindowRocking3D> rocking3d;
    std::unique_ptr<WindowStepResponse> step;
    std::unique_ptr<WindowFrequencyAnalysis> sweep;
    std::unique_ptr<WindowManOutCtrl> manual;
    std::unique_ptr<WindowSaveData> saveData;
    DialogAnswerer answerer;
};

TEST_F(OutputsGuardTest, BlockingScansRefuseEveryOtherStartAndGoOn)
{
    // 1-D: the others tried after its first point; it then runs all 20 points.
    auto *progress = child<QProgressBar>(rocking1d.get(), "progressBar");
    bool tried = false;
    QObject::connect(progress, &QProgressBar::valueChanged, rocking1d.get(), [&](int value) {
        if (value == 5 && !tried) {
            tried = true;
            QTimer::singleShot(0, [this] { tryTheOthers(Rocking1D); });
        }
    });
    nivraSimClearCallLog();
    start(Rocking1D);
    ASSERT_TRUE(tried);
    EXPECT_EQ(progress->value(), 100);
    EXPECT_FALSE(OutputsGuard::isHeld());

    // 3-D: the others tried after its first point, then it is stopped after its second.
    atPause = [this] {
        tryTheOthers(Rocking3D);
        atPause = nullptr;
        QTimer::singleShot(0, [this] { click(rocking3d.get(), "stopButton"); });
    };
    nivraSimClearCallLog();
    start(Rocking3D);
    EXPECT_GE(pauses, 24);   // it went on after the refusals
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").constLast(), QStringLiteral("setOutputMux(1)"));
    EXPECT_FALSE(OutputsGuard::isHeld());
}

TEST_F(OutputsGuardTest, SweepAndManualControlRefuseEveryOtherStart)
{
    mailbox->pidStatus = PID_FEEDBACK_OFF;
    start(Sweep);
    ASSERT_TRUE(sweep->sweepRunning());
    tryTheOthers(Sweep);
    EXPECT_TRUE(sweep->sweepRunning());
    click(sweep.get(), "StopSweepPushButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sweep->sweepRunning(); }, 10000));
    EXPECT_FALSE(OutputsGuard::isHeld());

    start(Manual);
    ASSERT_TRUE(OutputsGuard::isHeld());
    tryTheOthers(Manual);
    // Its own outputs stay with it; a running procedure's are not written from it.
    EXPECT_EQ(mailbox->getOutputMux(), 0);
    start(Manual);
    EXPECT_EQ(mailbox->getOutputMux(), 1);
    EXPECT_FALSE(OutputsGuard::isHeld());
}

} // namespace
