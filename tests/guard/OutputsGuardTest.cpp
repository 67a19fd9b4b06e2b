// While one procedure holds the DAC outputs, starting any other from its own control
// is refused, sends nothing and leaves the holder going; Save Data too while a scan
// lets events in. On Xvfb: the 3-D window needs OpenGL.

#include <QtWidgets>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "HeartBeat.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetFeedbackControl.h"
#include "WidgetGraphXY.h"
#include "WidgetLookup.h"
#include "WindowDisplaySettings.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"
#include "WindowSaveData.h"
#include "WindowStepResponse.h"

namespace {

enum { Rocking1D, Rocking3D, Step, Sweep, Manual, SaveData, Feedback, Configure, Setpoint, ClickXY, Rate };
const char *const kNames[] = {"Rocking Curve", "3D Rocking Curve", "Step Response",
                              "Frequency Analysis", "Manual Output Control", "Save Data", "Feedback button",
                              "Update Configuration", "Update Setpoint", "XY click", "Display Apply"};

// The 3-D scan's pauses move the simulator's clock; `atPause` runs after its first point.
int pauses = 0;
std::function<void()> atPause;
void simulatedSleep(unsigned long microseconds)
{
    nivraSimAdvance(static_cast<double>(microseconds) * 1e-6);
    if (++pauses == 12 && atPause)
        QTimer::singleShot(0, atPause);
}

class OutputsGuardTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        WindowRocking3D::setSleepFunctionForTesting(simulatedSleep);
        char user[32] = "user";
        getLock(user, user);   // the loop's controls need a level: the status panel takes it
        QWidget *status = new HeartBeat, *panel = new WidgetFeedbackControl;
        w = {new WindowRockingCurve, new WindowRocking3D, new WindowStepResponse,
             new WindowFrequencyAnalysis, new WindowManOutCtrl, new WindowSaveData, status, panel,
             panel, new WidgetGraphXY(0, nullptr), new WindowDisplaySettings};
        child<QPushButton>(w[ClickXY], "targetEnable")->setChecked(true);
        for (QWidget *window : w)
            window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w[Rocking3D]));
        child<QSpinBox>(w[Rocking1D], "boxN")->setValue(20);
        child<QDoubleSpinBox>(w[Rocking1D], "boxTimePoint")->setValue(0.02);
    }

    void TearDown() override
    {
        qDeleteAll(QSet<QWidget *>(w.cbegin(), w.cend()));
        WindowRocking3D::setSleepFunctionForTesting(nullptr);
        atPause = nullptr;
        ProgramEnvironment::TearDown();
    }

    // The operator's start control of `p`, pressed from the keyboard.
    void start(int p)
    {
        const char *names[] = {"buttonStart", "goButton", "buttonBox", "StartSweepPushButton", "checboxEnableMan",
                               "buttonBox", "buttonFdbk", "updateConfButton", "buttonUpdate", "", "pushButtonApply"};
        if (p == ClickXY)
            return QTest::mouseClick(child<QWidget>(w[p], "graph"), Qt::LeftButton);
        auto *box = qobject_cast<QDialogButtonBox *>(child<QWidget>(w[p], names[p]));
        QAbstractButton *control = !box ? child<QAbstractButton>(w[p], names[p])
                                   : p == Step ? box->button(QDialogButtonBox::Apply)
                                               : box->buttons().constLast();
        QTest::keyClick(control, Qt::Key_Space);
    }

    void tryTheOthers(int holder)
    {
        for (int p = Rocking1D; p <= Rate; ++p) {
            // Manual control's box is disabled while another owner holds the outputs.
            if (p == holder || p == Manual || (p == SaveData && holder > Rocking3D))
                continue;
            nivraSimClearCallLog();
            const int told = answerer.count();
            start(p);
            for (QWidget *top : QApplication::topLevelWidgets())   // the refusal blocks nothing
                EXPECT_FALSE(qobject_cast<QMessageBox *>(top) && top->isVisible() && top->isModal()) << kNames[p];
            QStringList sent = SimCallLog::calls();   // but the running sweep's own calls and the level poll
            sent.removeIf([holder](const QString &c) {
                return c.startsWith("funcGen") || c.startsWith("read(") || c.startsWith("getLockStatus(")
                    || (holder == Sweep && c.startsWith("setDisplayFreq("));
            });
            EXPECT_EQ(sent, QStringList()) << kNames[p] << " while " << kNames[holder];
            EXPECT_EQ(OutputsGuard::holderName(), QLatin1String(kNames[holder]));
            if (p == SaveData) {
                EXPECT_TRUE(child<QLabel>(w[p], "statusLabel")->text().contains(QLatin1String("Not saved")));
                QTest::keyClick(child<QPushButton>(w[Rocking3D], "saveButton"), Qt::Key_Space);   // its export
                ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() > told; }, 5000));
                EXPECT_EQ(answerer.last().title, QStringLiteral("Save Data"));
            }
            else   // answered before going on, and by the guard before any other check
                ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() > told; }, 5000)
                            && answerer.last().title == "DAC outputs in use") << kNames[p];
        }
        EXPECT_FALSE(child<QPushButton>(w[Feedback], "buttonFdbk")->isChecked()) << "the polled state";
    }

    QList<QWidget *> w;
    DialogAnswerer answerer;
};

TEST_F(OutputsGuardTest, EachHolderRefusesEveryOtherStart)
{
    // The scans: the others tried in the event processing after the first point.
    auto *progress = child<QProgressBar>(w[Rocking1D], "progressBar");
    bool tried = false;
    QObject::connect(progress, &QProgressBar::valueChanged, w[Rocking1D], [&](int value) {
        if (value == 5 && !std::exchange(tried, true))
            QTimer::singleShot(0, [this] { tryTheOthers(Rocking1D); });
    });
    start(Rocking1D);
    EXPECT_TRUE(tried);
    EXPECT_EQ(progress->value(), 100);   // and on to its end
    atPause = [this] {
        atPause = nullptr;
        tryTheOthers(Rocking3D);
        QTimer::singleShot(0, [this] {
            QTest::keyClick(child<QPushButton>(w[Rocking3D], "stopButton"), Qt::Key_Space);
        });
    };
    start(Rocking3D);
    EXPECT_GE(pauses, 24);

    // The sweep and manual control run beside the GUI.
    auto *sweep = static_cast<WindowFrequencyAnalysis *>(w[Sweep]);
    start(Sweep);
    tryTheOthers(Sweep);
    EXPECT_TRUE(sweep->sweepRunning());
    sweep->slotStopSweepPushButton();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sweep->sweepRunning(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return child<QCheckBox>(w[Manual], "checboxEnableMan")->isEnabled(); }));
    start(Manual);
    tryTheOthers(Manual);
    EXPECT_EQ(mailbox->getOutputMux(), 0);
    start(Manual);
    EXPECT_FALSE(OutputsGuard::isHeld());
    EXPECT_EQ(answerer.count(), 35);   // four holders, three or four others and five loop actions each; two exports
}

} // namespace
