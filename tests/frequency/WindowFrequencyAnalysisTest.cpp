// The frequency analysis window driven through its form against the simulated
// controller: sweep settings and their refusals, the stimulus a sweep sends, its
// Bode points, Stop, Clear, closing and Exit while it runs, the plot entries and the CSV
// export.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cmath>
#include <memory>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DialogAnswerer.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "OutputsGuard.h"
#include "ShutdownReport.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowFrequencyAnalysis.h"

#include <qcustomplot.h>

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

class WindowFrequencyAnalysisTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        nivraSimSetNoiseScale(0.0);
        // The save dialog opens where the last one of any Qt program was closed, as
        // recorded in the user's Qt settings; a folder such as /proc there would hang
        // it while it lists files. The tests keep their own settings.
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        ASSERT_TRUE(m_configHome.isValid());
        qputenv("XDG_CONFIG_HOME", m_configHome.path().toLocal8Bit());
    }

    void TearDown() override
    {
        window.reset();
        if (m_hadConfigHome)
            qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
        ProgramEnvironment::TearDown();
    }

    // Puts the four DAC outputs at fixed voltages and lets the stream show them.
    static void setDacOutputs(double a, double b, double c, double d)
    {
        ASSERT_GE(setOutputMux(0), 0);
        const int fd = DeviceNode::open("/dev/nivra_vennick0", O_RDWR);
        ASSERT_GE(fd, 0);
        DacOutputs out;
        out.volts[0] = a;
        out.volts[1] = b;
        out.volts[2] = c;
        out.volts[3] = d;
        ASSERT_EQ(DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, &out), 0);
        DeviceNode::close(fd);
        nivraSimAdvance(0.01);
    }

    WindowFrequencyAnalysis *makeWindow()
    {
        window = std::make_unique<WindowFrequencyAnalysis>();
        window->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window.get();
    }

    template <typename T>
    T *w(const char *name) const
    {
        return child<T>(window.get(), name);
    }

    void setSweep(const QString &start, const QString &stop, const QString &length)
    {
        enterText(w<QLineEdit>("startFreqLineEdit"), start);
        enterText(w<QLineEdit>("stopFreqLineEdit"), stop);
        enterText(w<QLineEdit>("lengthLineEdit"), length);
    }

    void click(const char *button) { QTest::mouseClick(w<QPushButton>(button), Qt::LeftButton); }

    // Waits (processing events) until the running sweep has ended.
    bool waitForSweepEnd(int ms = 20000)
    {
        return QTest::qWaitFor([this] { return !window->sweepRunning(); }, ms);
    }

    // Waits until the simulator has seen `count` calls to `function`.
    static bool waitForCalls(const char *function, int count, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return nivraSimCallCount(function) >= count; }, ms);
    }

    QCPGraphDataContainer *magnitudeData(int plot) const
    {
        return w<QCustomPlot>("graphMg")->graph(plot)->data().data();
    }
    QCPGraphDataContainer *phaseData(int plot) const
    {
        return w<QCustomPlot>("graphPh")->graph(plot)->data().data();
    }

    static QString readFile(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<missing>");
        return QString::fromUtf8(f.readAll());
    }

    std::unique_ptr<WindowFrequencyAnalysis> window;
    DialogAnswerer answerer;

private:
    QTemporaryDir m_configHome;
    QByteArray m_savedConfigHome;
    bool m_hadConfigHome = false;
};

TEST_F(WindowFrequencyAnalysisTest, OutputAndInputFieldsFollowTheLoops)
{
    setDacOutputs(1.5, -0.25, 0.0, 3.0);
    ASSERT_GE(setPIDoutSel(2, 1, 0), 0);
    ASSERT_GE(setBPMselector(0, 1, 0), 0);
    makeWindow();
    EXPECT_EQ(str(w<QLineEdit>("outVennickChLineEdit")->text()), "OUT3");
    EXPECT_EQ(str(w<QLineEdit>("offsetspinBox")->text()), "0");
    EXPECT_EQ(str(w<QLineEdit>("inOscalonChLineEdit")->text() + w<QLineEdit>("inBpmChLineEdit")->text()), "X1");
    EXPECT_EQ(window->getInputRecordIndex(), 0);

    chooseText(w<QComboBox>("outputChComboBox"), "y");
    chooseText(w<QComboBox>("inputChComboBox"), "y");
    EXPECT_EQ(str(w<QLineEdit>("outVennickChLineEdit")->text()), "OUT2");
    EXPECT_EQ(str(w<QLineEdit>("offsetspinBox")->text()), "-0,25") << "decimal comma";
    EXPECT_EQ(str(w<QLineEdit>("inOscalonChLineEdit")->text() + w<QLineEdit>("inBpmChLineEdit")->text()), "Y2");
    EXPECT_EQ(window->getInputRecordIndex(), 5);

    // The voltages become the sweep's offsets: an unreadable node keeps the last good ones.
    nivraSimFailNodeOpen("/dev/nivra_dma_displ", 1);
    setDacOutputs(2.0, 2.0, 2.0, 2.0);
    window->getOutputChValue();
    EXPECT_EQ(str(w<QLineEdit>("offsetspinBox")->text()), "-0,25");
}

TEST_F(WindowFrequencyAnalysisTest, SweepSettingsAreCheckedInOrder)
{
    makeWindow();
    const char *startMsg = "Start frequency not allowed ...\n";
    const char *stopMsg = "Stop frequency not allowed ...\n";
    const char *orderMsg = "Start/Stop frequency not allowed ...\n";
    const char *pointsMsg = "Number of frequency points not allowed ...\n";
    struct Case {
        const char *start, *stop, *length, *title;
    } const cases[] = {
        {"0.05", "5000", "0", startMsg}, {"nan", "100", "11", startMsg},
        {"abc", "100", "11", startMsg},  {"10", "1000.5", "1", stopMsg},
        {"10", "nan", "11", stopMsg},    {"500", "500", "11", orderMsg},
        {"10", "100", "1", pointsMsg},   {"10", "100", "1002", pointsMsg},
        {"10", "100", "abc", pointsMsg},
    };
    for (const Case &c : cases) {
        setSweep(c.start, c.stop, c.length);
        answerer.clear();
        nivraSimClearCallLog();
        click("StartSweepPushButton");
        ASSERT_EQ(answerer.count(), 1) << c.start << " " << c.stop << " " << c.length;
        EXPECT_EQ(str(answerer.last().kind), "critical");
        EXPECT_EQ(str(answerer.last().title), c.title) << c.start << " " << c.stop << " " << c.length;
        EXPECT_EQ(nivraSimCallCount("open"), 0);
        EXPECT_FALSE(window->sweepRunning());
    }
    EXPECT_EQ(str(answerer.last().text), "Range of allowed frequency points: [2, 1001]   \n\n");
    EXPECT_EQ(w<QTreeWidget>("plotsTree")->topLevelItemCount(), 0);
}

TEST_F(WindowFrequencyAnalysisTest, FrequencyLists)
{
    makeWindow();
    EXPECT_EQ(window->checkInputs(), 11);
    EXPECT_NEAR(window->frequencies()(1), 12.589254117941675, 1e-12);
    EXPECT_DOUBLE_EQ(window->frequencies()(10), 100.0);

    setSweep("0.1", "1000", "1001");
    EXPECT_EQ(window->checkInputs(), 1001);
    EXPECT_NEAR(window->frequencies()(0), 0.1, 1e-15);
    EXPECT_NEAR(window->frequencies()(500), 10.0, 1e-12);
    EXPECT_EQ(window->frequencies()(1000), 1000.0);

    setSweep("10", "100", "11");
    chooseText(w<QComboBox>("sweepTypeComboBox"), "lin");
    EXPECT_EQ(window->checkInputs(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_DOUBLE_EQ(window->frequencies()(i), 10.0 + 9.0 * i);
}

TEST_F(WindowFrequencyAnalysisTest, RefusalsLeaveNoTrace)
{
    makeWindow();
    // A status that could not be read is told as such, not as a running loop.
    for (int status : {1, 2, 3, -1}) {
        mailbox->pidStatus = status;
        answerer.clear();
        nivraSimClearCallLog();
        click("StartSweepPushButton");
        ASSERT_EQ(answerer.count(), 1) << status;
        EXPECT_EQ(str(answerer.last().title + "|" + answerer.last().text),
                  status < 0 ? "PID status unknown|The PID status could not be read, so it is not "
                               "known whether the feedback runs.\n\nTry again."
                             : "PID Running|Stop feedback before Frequency Analysis");
        EXPECT_EQ(str(SimCallLog::calls().join('|')), "") << status;
        EXPECT_FALSE(OutputsGuard::isHeld()) << status;
    }
    mailbox->pidStatus = 0;
    nivraSimFailNodeOpen("/dev/nivra_dma_displ", 1);
    answerer.clear();
    click("StartSweepPushButton");
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(str(answerer.last().title + "|" + answerer.last().text),
              "Error|Cannot open /dev/nivra_dma_displ");
    EXPECT_FALSE(OutputsGuard::isHeld());
    // Found ahead of a node that does not open: the measured loop's BPM (the Y loop's
    // on BPM2 for "y") without its box, no answer about the boxes or about the outputs.
    struct { bool box1, box2; const char *input; int tovashes, outSel; const char *text; } const cases[] = {
        {false, true, "x", 0, 0, "BPM 1 has no encoder box: there is nothing to measure."},
        {true, false, "y", 0, 0, "BPM 2 has no encoder box: there is nothing to measure."},
        {true, true, "y", -5, 0, "The controller did not say which BPMs have an encoder box, so BPM 2 "
                                 "cannot be checked.\n\nTry again."},
        {true, true, "y", 0, -5, "Cannot read which DAC output the loops drive."}};
    ASSERT_GE(setBPMselector(0, 1, 0), 0);
    for (const auto &c : cases) {
        nivraSimSetTovash(0, c.box1);
        nivraSimSetTovash(1, c.box2);
        nivraSimFailCall("getTovashes", c.tovashes);
        nivraSimFailCall("getPIDoutSel", c.outSel);
        chooseText(w<QComboBox>("inputChComboBox"), c.input);
        click("StartSweepPushButton");
        EXPECT_EQ(str(answerer.last().text), c.text) << c.input;
        EXPECT_FALSE(OutputsGuard::isHeld()) << c.text;
    }
    EXPECT_EQ(w<QTreeWidget>("plotsTree")->topLevelItemCount(), 0);
    EXPECT_FALSE(window->sweepRunning());
    EXPECT_TRUE(w<QPushButton>("StartSweepPushButton")->isEnabled());
}

TEST_F(WindowFrequencyAnalysisTest, SweepOfTheYLoopThroughBpm2)
{
    // Y loop on DAC channel 2 (OUT2), measured at BPM2 Y: 2.8 um per volt behind a
    // 1 ms lag, scaled by the BPM's factor.
    setDacOutputs(0.5, -1.0, 0.0, 2.0);
    ASSERT_GE(setBPMselector(0, 1, 0), 0);
    BPM_SCALE_Y[1] = 2.0;
    makeWindow();
    chooseText(w<QComboBox>("outputChComboBox"), "y");
    chooseText(w<QComboBox>("inputChComboBox"), "y");
    setSweep("100", "1000", "2");
    nivraSimClearCallLog();
    enterText(w<QDoubleSpinBox>("amplspinBox"), "0.8");   // Return completes it, and starts nothing
    ASSERT_EQ(nivraSimCallCount("open"), 0);
    click("StartSweepPushButton");

    EXPECT_FALSE(w<QPushButton>("StartSweepPushButton")->isEnabled());
    EXPECT_TRUE(w<QPushButton>("StopSweepPushButton")->isEnabled());
    ASSERT_EQ(w<QTreeWidget>("plotsTree")->topLevelItemCount(), 1);
    EXPECT_EQ(str(w<QTreeWidget>("plotsTree")->topLevelItem(0)->text(0)), "plot_y_y_0");
    ASSERT_TRUE(waitForSweepEnd());

    EXPECT_TRUE(w<QPushButton>("StartSweepPushButton")->isEnabled());
    EXPECT_FALSE(w<QPushButton>("StopSweepPushButton")->isEnabled());
    EXPECT_EQ(w<QProgressBar>("progressBar")->value(), 100);
    ASSERT_EQ(magnitudeData(0)->size(), 2);
    ASSERT_EQ(phaseData(0)->size(), 2);
    const double wt = 2.0 * M_PI * 100.0 * 0.001;
    const double expected = 2.0 * 2.8 / std::sqrt(1.0 + wt * wt);
    EXPECT_EQ(magnitudeData(0)->at(0)->key, 100.0);
    EXPECT_NEAR(magnitudeData(0)->at(0)->value, expected, 0.05 * expected);
    EXPECT_LT(phaseData(0)->at(1)->value, phaseData(0)->at(0)->value);

    const QStringList calls = SimCallLog::calls();
    ASSERT_GE(calls.size(), 6);
    EXPECT_EQ(str(calls[2] + calls[3]), "getTovashes(*1, *1)open(\"/dev/nivra_dma_displ\", 0)");
    EXPECT_TRUE(calls.contains("funcGenConfig([0, 0.4, 0, 0], [0.5, -1, 0, 2], 100)"))
        << str(calls.join('\n'));
    EXPECT_EQ(str(calls.last()), "close(1000)");
}

TEST_F(WindowFrequencyAnalysisTest, StopKeepsThePointsMeasuredAndTheyExport)
{
    QTemporaryDir dir;
    makeWindow();
    setSweep("100", "1000", "3");
    click("StartSweepPushButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return w<QProgressBar>("progressBar")->value() == 33; }, 10000));
    click("StopSweepPushButton");
    EXPECT_EQ(w<QProgressBar>("progressBar")->value(), 0);
    ASSERT_TRUE(waitForSweepEnd(5000)) << "the stop ends the wait of the second frequency";
    EXPECT_EQ(magnitudeData(0)->size(), 1);
    EXPECT_EQ(nivraSimSetting("genOn", 0), 0.0);
    EXPECT_EQ(int(SAMP_FREQ), 1000);

    answerer.setFileName(dir.filePath("stopped.csv"));
    click("exportMeasPushButton");
    const QStringList lines = readFile(dir.filePath("stopped_plot_x_x_0.csv")).split('\n');
    ASSERT_EQ(lines.size(), 3) << str(lines.join('|'));
    EXPECT_EQ(str(lines[0]), "frequency [Hz], amplitude [um/um], phase [deg]");
    EXPECT_TRUE(lines[1].startsWith("100,")) << str(lines[1]);
}

TEST_F(WindowFrequencyAnalysisTest, ClearDuringASweepDropsItsPoints)
{
    makeWindow();
    setSweep("100", "1000", "2");
    nivraSimClearCallLog();
    click("StartSweepPushButton");
    click("clearGraphsPushButton");
    ASSERT_TRUE(waitForSweepEnd());
    EXPECT_EQ(nivraSimCallCount("read"), 6) << "the sweep itself went on";
    EXPECT_EQ(w<QCustomPlot>("graphMg")->graphCount() + w<QCustomPlot>("graphPh")->graphCount(), 0);
    EXPECT_EQ(w<QTreeWidget>("plotsTree")->topLevelItemCount(), 0);
    EXPECT_EQ(window->addPlot(), 0) << "the counter starts again";
}

TEST_F(WindowFrequencyAnalysisTest, ClosingOrExitEndsTheSweep)
{
    // Close, Escape and Exit end the sweep at once: a hidden sweep would keep switching
    // the generator on, Exit would wait.
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE(how);
        makeWindow();
        setSweep("100", "1000", "2");
        nivraSimClearCallLog();
        click("StartSweepPushButton");
        ASSERT_TRUE(waitForCalls("funcGenEnable", 1));
        if (how == 1)
            QTest::keyClick(window.get(), Qt::Key_Escape);
        else if (how == 0)
            window->close();
        else if (how == 2)
            OutputsGuard::stopHolder();
        ASSERT_TRUE(waitForSweepEnd(5000));
        EXPECT_EQ(window->isVisible(), how == 2);
        EXPECT_FALSE(OutputsGuard::isHeld());
        EXPECT_EQ(answerer.count(), 0) << "nothing failed";
        EXPECT_EQ(nivraSimCallCount("read"), 0);
        EXPECT_EQ(nivraSimSetting("genOn", 0), 0.0);
        EXPECT_EQ(int(SAMP_FREQ), 1000);
        EXPECT_TRUE(w<QPushButton>("StartSweepPushButton")->isEnabled());
    }
}

TEST_F(WindowFrequencyAnalysisTest, AFailedCallStopsTheSweepAndIsNamed)
{
    // No point without the step's display rate or a generator that runs as set, none
    // after a generator that stays on; what the sweep took is handed back, the call named.
    struct { const char *fault, *start; int points; double genOn; const char *named; } const cases[] = {
        {"setDisplayFreq", "100", 0, 0.0, "stopped: setDisplayFreq(10000, 0) failed"},
        {"setDisplayFreq(10000", "9", 1, 0.0, "stopped: setDisplayFreq(10000, 0) failed"},
        {"funcGenConfig", "100", 0, 0.0, "stopped: funcGenConfig failed"},
        {"funcGenEnable(1)", "100", 0, 0.0, "stopped: funcGenEnable(1) failed"},
        {"funcGenEnable(0)", "100", 1, 1.0, "stopped: funcGenEnable(0) failed"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        makeWindow();
        setSweep(c.start, "1000", "3");
        nivraSimClearFaults();
        nivraSimFailCall(c.fault, -5);
        nivraSimClearCallLog();
        answerer.clear();
        click("StartSweepPushButton");
        ASSERT_TRUE(waitForSweepEnd());
        ASSERT_TRUE(QTest::qWaitFor([this] { return answerer.count() == 1; }, 5000));
        EXPECT_TRUE(answerer.last().text.contains(c.named)) << str(answerer.last().text);
        EXPECT_EQ(magnitudeData(0)->size(), c.points);
        EXPECT_EQ(nivraSimSetting("genOn", 0), c.genOn);
        EXPECT_FALSE(OutputsGuard::isHeld());
    }
}

TEST_F(WindowFrequencyAnalysisTest, StopOrExitEndTheSweepDuringItsRead)
{
    // On the wall clock, moving the stream on keeps the sweep's records from arriving,
    // as at the slowest rate. Stop (0), and Exit or a signal followed by main's end
    // (1), still end it within a second, generator off, no point drawn.
    nivraSimUseManualClock(0);
    for (int how = 0; how < 2; ++how) {
        makeWindow();
        setSweep("100", "1000", "2");
        nivraSimClearCallLog();
        click("StartSweepPushButton");
        ASSERT_TRUE(waitForCalls("funcGenEnable", 1));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1500 && setDisplayFreq(10000, 0) >= 0)   // it waits 1079 ms, then reads
            QTest::qWait(20);
        clock.restart();
        if (how == 0) {
            click("StopSweepPushButton");
            EXPECT_TRUE(waitForSweepEnd(5000) && magnitudeData(0)->isEmpty());
            QTest::qWait(50);   // room for a box, were a failed read told
            EXPECT_EQ(answerer.count(), 0) << "a Stop is not a failed read";
        } else {
            OutputsGuard::stopHolder();
            window.reset();
        }
        EXPECT_LT(clock.elapsed(), 1000) << how;
        EXPECT_EQ(nivraSimSetting("genOn", 0), 0.0);
    }
}

TEST_F(WindowFrequencyAnalysisTest, GeneratorLeftOnAsTheProgramLeavesIsLeftToMain)
{
    // Ended on the way out, by its own notice or by the window going, a sweep whose
    // generator would not go off shows no box, which would vanish unseen: main tells it.
    nivraSimFailCall("funcGenEnable(0)", -5);
    for (bool windowGoes : {false, true}) {
        makeWindow();   // the window it replaces fails to switch the generator off too
        ShutdownReport::reset();
        ShutdownReport::beginLeaving();
        setSweep("100", "1000", "2");
        nivraSimClearCallLog();
        click("StartSweepPushButton");
        ASSERT_TRUE(waitForCalls("funcGenEnable", 1));
        OutputsGuard::stopHolder();
        if (windowGoes)
            window.reset();
        else
            waitForSweepEnd(5000);
        QTest::qWait(50);
        EXPECT_EQ(answerer.count(), 0) << windowGoes;
        EXPECT_EQ(str(ShutdownReport::lines().join('|')), "Frequency Analysis: funcGenEnable(0) failed: "
                                                          "the function generator may still drive DAC output 1.");
    }
}

TEST_F(WindowFrequencyAnalysisTest, DestroyingTheWindowDuringASweepEndsItCleanly)
{
    makeWindow();
    setSweep("0.1", "1", "2");   // minutes long if it ran
    click("StartSweepPushButton");
    ASSERT_TRUE(waitForCalls("funcGenEnable", 1));
    EXPECT_EQ(int(SAMP_FREQ), 100);
    window.reset();
    EXPECT_EQ(nivraSimSetting("genOn", 0), 0.0);
    EXPECT_EQ(int(SAMP_FREQ), 1000);
    // The sweep ended (its node closed) before the generator went off for good.
    EXPECT_EQ(str(SimCallLog::calls().mid(SimCallLog::calls().size() - 2).join('|')),
              "close(1000)|funcGenEnable(0)");
}

TEST_F(WindowFrequencyAnalysisTest, StopBetweenTheWorkersEndAndItsNoticeIsHarmless)
{
    makeWindow();
    setSweep("100", "1000", "2");
    nivraSimClearCallLog();
    click("StartSweepPushButton");
    // The worker ends while this thread handles no events, so the window has not
    // heard of it yet when the operator presses Stop.
    QElapsedTimer clock;
    clock.start();
    while (nivraSimCallCount("close") < 1 && clock.elapsed() < 10000)
        QThread::msleep(5);
    ASSERT_EQ(nivraSimCallCount("close"), 1) << "the sweep closed its node";
    QThread::msleep(100);
    ASSERT_TRUE(window->sweepRunning());
    // A worker already gone would show up as a complaint of its freed mutex (or worse).
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { warnings.append(text); });
    window->slotStopSweepPushButton();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << str(warnings.join('|'));
    ASSERT_TRUE(waitForSweepEnd(5000));
    EXPECT_EQ(magnitudeData(0)->size(), 2);
}

TEST_F(WindowFrequencyAnalysisTest, PlotEntriesColoursAndVisibility)
{
    makeWindow();
    for (int i = 0; i < 7; ++i)
        window->addPlot();
    auto *tree = w<QTreeWidget>("plotsTree");
    EXPECT_EQ(str(tree->topLevelItem(1)->text(0)), "plot_x_x_1");
    auto *mg = w<QCustomPlot>("graphMg");
    auto *ph = w<QCustomPlot>("graphPh");
    EXPECT_EQ(mg->graph(0)->pen().color(), QColor(Qt::red));
    EXPECT_EQ(ph->graph(1)->pen().color(), QColor(Qt::green));
    EXPECT_EQ(mg->graph(6)->pen().color(), QColor(Qt::red));

    // Unticking with the mouse hides both graphs of that entry; ticking shows them.
    auto toggle = [&](int i) {
        const QRect r = tree->visualItemRect(tree->topLevelItem(i));
        const QPoint box(r.left() + tree->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4,
                         r.center().y());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, box);
    };
    toggle(1);
    ASSERT_EQ(tree->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(mg->graph(1)->visible() || ph->graph(1)->visible());
    EXPECT_TRUE(mg->graph(0)->visible());
    toggle(1);
    EXPECT_TRUE(mg->graph(1)->visible() && ph->graph(1)->visible());

    // Points for a plot that does not exist are dropped; others land sorted.
    window->onFrequencyStepDone(7, 10.0, 1.0, 0.0);
    window->onFrequencyStepDone(2, 20.0, 1.5, -10.0);
    window->onFrequencyStepDone(2, 10.0, 2.0, -5.0);
    EXPECT_EQ(magnitudeData(2)->at(0)->key, 10.0);
    EXPECT_EQ(phaseData(2)->at(1)->value, -10.0);
}

TEST_F(WindowFrequencyAnalysisTest, ExportWritesOneFilePerSelectedPlot)
{
    QTemporaryDir dir;
    makeWindow();
    click("exportMeasPushButton");
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(str(answerer.last().title + "|" + answerer.last().text),
              "0 selected graphs ...\n|There are no selected graphs!  \n\n");

    for (int i = 0; i < 3; ++i)
        window->addPlot();
    window->onFrequencyStepDone(0, 10.0, 2.0, -4.5);
    window->onFrequencyStepDone(0, 12.589254117941675, 1.99999999, -5.123456789);
    window->onFrequencyStepDone(1, 1000.0, 0.000123456789, -123.0);
    w<QTreeWidget>("plotsTree")->topLevelItem(2)->setSelected(false);
    setChecked(w<QCheckBox>("useBPMscalingCheckBox"), false);

    answerer.clear();
    answerer.setFileName(dir.filePath("data.CSV"));
    click("exportMeasPushButton");
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(str(answerer.last().title), "Select a file to export the data");
    EXPECT_EQ(str(readFile(dir.filePath("data_plot_x_x_0.csv"))),
              "frequency [Hz], amplitude [um], phase [deg]\n10,2,-4.5\n12.5893,2,-5.12346\n");
    EXPECT_EQ(str(readFile(dir.filePath("data_plot_x_x_1.csv"))),
              "frequency [Hz], amplitude [um], phase [deg]\n1000,0.000123457,-123\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("data_plot_x_x_2.csv")));

    // A file that cannot be opened is named to the operator; the others are written.
    ASSERT_TRUE(QDir(dir.path()).mkdir("blocked_plot_x_x_0.csv"));
    answerer.clear();
    answerer.setFileName(dir.filePath("blocked"));
    click("exportMeasPushButton");
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_EQ(str(answerer.last().kind + "|" + answerer.last().title), "warning|Export failed");
    EXPECT_TRUE(answerer.last().text.contains(dir.filePath("blocked_plot_x_x_0.csv")));
    EXPECT_FALSE(answerer.last().text.contains("blocked_plot_x_x_1.csv"));
    EXPECT_TRUE(QFile::exists(dir.filePath("blocked_plot_x_x_1.csv")));

    // After "Clear graphs" the names start again: keeping the earlier file is the
    // default, and the other plots are still written.
    click("clearGraphsPushButton");
    for (int i = 0; i < 2; ++i)
        window->addPlot();
    window->onFrequencyStepDone(1, 20.0, 3.0, 1.0);
    ASSERT_TRUE(QFile::remove(dir.filePath("data_plot_x_x_1.csv")));
    answerer.clear();
    answerer.setFileName(dir.filePath("data.csv"));
    click("exportMeasPushButton");
    ASSERT_EQ(answerer.count(), 2) << "the file, then one question";
    EXPECT_EQ(str(answerer.last().kind + "|" + answerer.last().title), "question|Replace file?");
    EXPECT_TRUE(readFile(dir.filePath("data_plot_x_x_0.csv")).endsWith("\n12.5893,2,-5.12346\n"));
    EXPECT_TRUE(readFile(dir.filePath("data_plot_x_x_1.csv")).endsWith("]\n20,3,1\n"));
}

} // namespace
