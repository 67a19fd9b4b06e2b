// While one procedure holds the DAC outputs, starting any other from its own control
// is refused, sends nothing and leaves the holder going; Save Data too while a scan
// lets events in. On Xvfb: the 3-D window needs OpenGL.

#include <QtWidgets>
#include <QTest>

#include <gtest/gtest.h>

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

enum { Rocking1D, Rocking3D, Step, Sweep, Manual, SaveData };
const char *const kNames[] = {"Rocking Curve", "3D Rocking Curve", "Step Response",
                              "Frequency Analysis", "Manual Output Control", "Save Data"};

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
        w = {new WindowRockingCurve, new WindowRocking3D, new WindowStepResponse,
             new WindowFrequencyAnalysis, new WindowManOutCtrl, new WindowSaveData};
        for (QWidget *window : w)
            window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w[Rocking3D]));
        child<QSpinBox>(w[Rocking1D], "boxN")->setValue(20);
        child<QDoubleSpinBox>(w[Rocking1D], "boxTimePoint")->setValue(0.02);
    }

    void TearDown() override
    {
        qDeleteAll(w);
        WindowRocking3D::setSleepFunctionForTesting(nullptr);
        atPause = nullptr;
        ProgramEnvironment::TearDown();
    }

    // The operator's start control of `p`, pressed from the keyboard.
    void start(int p)
    {
        const char *names[] = {"buttonStart", "goButton", "buttonBox", "StartSweepPushButton",
                               "checboxEnableMan", "buttonBox"};
        auto *box = qobject_cast<QDialogButtonBox *>(child<QWidget>(w[p], names[p]));
        QAbstractButton *control = !box ? child<QAbstractButton>(w[p], names[p])
                                   : p == Step ? box->button(QDialogButtonBox::Apply)
                                               : box->buttons().constLast();
        QTest::keyClick(control, Qt::Key_Space);
    }

    void tryTheOthers(int holder)
    {
        for (int p = Rocking1D; p <= (holder <= Rocking3D ? SaveData : Manual); ++p) {
            if (p == holder || p == Manual)   // its control is disabled meanwhile
                continue;
            nivraSimClearCallLog();
            const int told = answerer.count();
            start(p);
            QStringList sent = SimCallLog::calls();   // but the running sweep's own calls
            sent.removeIf([](const QString &c) {
                return c.startsWith("funcGen") || c.startsWith("read(") || c.startsWith("setDisplayFreq(");
            });
            EXPECT_EQ(sent, QStringList()) << kNames[p] << " while " << kNames[holder];
            EXPECT_EQ(OutputsGuard::holderName(), QLatin1String(kNames[holder]));
            if (p == SaveData) {
                EXPECT_TRUE(child<QLabel>(w[p], "statusLabel")->text().contains(QLatin1String("Not saved")));
                QTest::keyClick(child<QPushButton>(w[Rocking3D], "saveButton"), Qt::Key_Space);   // its export
                ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() > told; }, 5000));
                EXPECT_EQ(answerer.last().title, QStringLiteral("Save Data"));
            }
            else   // answered before going on: the box keeps its window from input
                ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() > told; }, 5000)) << kNames[p];
        }
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
    EXPECT_EQ(answerer.count(), 15);   // four holders, three or four others each; two exports
}

} // namespace
