// The sweep worker against the simulated controller: the acquisition table and the
// step waits, phase unwrapping, what one sweep measures and sends, how it ends after
// a stop, a failed read or without a stimulus, and that it gives its node back once.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cmath>
#include <memory>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "FrequencyAnalysisWorker.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"

namespace {

// The simulated plant: 2 um per volt from the X loop's DAC to BPM1 X, through a
// 0.2 ms dead time and a 1 ms first-order lag.
double plantMagnitude(double f)
{
    const double wt = 2.0 * M_PI * f * 0.001;
    return 2.0 / std::sqrt(1.0 + wt * wt);
}

double plantPhaseDeg(double f)
{
    return (-std::atan(2.0 * M_PI * f * 0.001) - 2.0 * M_PI * f * 0.0002) * 180.0 / M_PI;
}

class FrequencyWorkerTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        nivraSimSetNoiseScale(0.0);   // a still beam: only the stimulus moves it
        SAMP_FREQ = 1000;
    }

    // A worker on DAC channel 0 (the X loop's) measuring BPM1 X, 1 Vpp, offsets as given.
    std::unique_ptr<FrequencyAnalysisWorker> makeWorker(const arma::vec &list, int fd,
                                                        bool scaling = false, double scale = 1.0,
                                                        bool savedMode = true)
    {
        return std::make_unique<FrequencyAnalysisWorker>(
            fd, &list, savedMode, 7, 0, QList<float>{1.0f, 0.0f, 0.0f, 0.0f},
            QList<float>{0.25f, 1.5f, 0.0f, -2.0f}, 0, scaling, scale, nullptr);
    }

    static int openDisplay() { return DeviceNode::open("/dev/nivra_dma_displ", O_RDONLY); }
};

TEST(FrequencyWorkerTable, RowsRatesAndWaits)
{
    struct Row {
        float f;
        int periods, extraMs, rate, waitMs;
    };
    const Row rows[] = {
        {1000.0f, 8, 1000, 10000, 1008}, {100.0f, 8, 1000, 10000, 1079},
        {10.0f, 8, 1000, 10000, 1800},   {1.0f, 8, 4000, 2000, 12000},
        {0.5f, 10, 20000, 500, 40000},   {0.25f, 10, 40000, 200, 80000},
        {0.1f, 10, 100000, 100, 200000},
    };
    for (const Row &r : rows) {
        int periods = -1, extraMs = -1;
        EXPECT_EQ(FrequencyAnalysisWorker::acquisitionParams(r.f, &periods, &extraMs), r.rate) << r.f;
        EXPECT_EQ(periods, r.periods) << r.f;
        EXPECT_EQ(extraMs, r.extraMs) << r.f;
        EXPECT_EQ(FrequencyAnalysisWorker::stepWaitMs(r.f), r.waitMs) << r.f;
    }
    // A frequency of zero must not overflow the wait into something short.
    EXPECT_GT(FrequencyAnalysisWorker::stepWaitMs(0.0f), 1000000);
}

TEST(FrequencyWorkerTable, PhaseUnwrapsByOneTurnAtMost)
{
    EXPECT_DOUBLE_EQ(FrequencyAnalysisWorker::unwrapPhase(170.0, -170.0), 190.0);
    EXPECT_DOUBLE_EQ(FrequencyAnalysisWorker::unwrapPhase(-175.0, 175.0), -185.0);
    // Already more than a turn away: only one correction.
    EXPECT_DOUBLE_EQ(FrequencyAnalysisWorker::unwrapPhase(-600.0, 170.0), -190.0);
}

TEST_F(FrequencyWorkerTest, SweepMeasuresThePlantAndRestores)
{
    nivraSimClearCallLog();
    const arma::vec list{10.0, 100.3};
    auto worker = makeWorker(list, openDisplay(), false, 1.0, true);
    QSignalSpy steps(worker.get(), &FrequencyAnalysisWorker::frequencyStepDone);
    QSignalSpy progress(worker.get(), &FrequencyAnalysisWorker::progressUpdated);
    QSignalSpy finished(worker.get(), &FrequencyAnalysisWorker::finished);
    worker->run();

    ASSERT_EQ(steps.size(), 2);
    EXPECT_EQ(steps[0][0].toInt(), 7);
    EXPECT_EQ(steps[0][1].toDouble(), 10.0);
    EXPECT_EQ(steps[1][1].toDouble(), static_cast<double>(100.3f)) << "the float value, widened";
    for (int k = 0; k < 2; ++k) {
        const double f = steps[k][1].toDouble();
        EXPECT_NEAR(steps[k][2].toDouble(), plantMagnitude(f), 0.05 * plantMagnitude(f)) << f;
        EXPECT_NEAR(steps[k][3].toDouble(), plantPhaseDeg(f), 3.0) << f;
    }
    ASSERT_EQ(progress.size(), 2);
    EXPECT_EQ(progress[0][0].toInt(), 50);
    EXPECT_EQ(progress[1][0].toInt(), 100);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(int(SAMP_FREQ), 1000);

    const QStringList calls = SimCallLog::calls();
    const QStringList expected{
        "open(\"/dev/nivra_dma_displ\", 0)",
        "setDisplayFreq(10000, 0)",
        "funcGenConfig([0.5, 0, 0, 0], [0.25, 1.5, 0, -2], 10)",
        "funcGenEnable(1)",
        "read(1000, buffer, 320000)",
        "read(1000, buffer, 320000)",
        "read(1000, buffer, 277248)",
        "funcGenEnable(0)",
        "setDisplayFreq(10000, 0)",
        "funcGenConfig([0.5, 0, 0, 0], [0.25, 1.5, 0, -2], 100.3)",
        "funcGenEnable(1)",
        "read(1000, buffer, 320000)",
        "read(1000, buffer, 320000)",
        "read(1000, buffer, 277248)",
        "funcGenEnable(0)",
        "setDisplayFreq(1000, 1)",
        "close(1000)",
    };
    EXPECT_EQ(calls.join('\n').toStdString(), expected.join('\n').toStdString());
}

TEST_F(FrequencyWorkerTest, ScalingMultipliesAndTheListIsTheOneGivenAtStart)
{
    // The same measurement twice from the same simulator state, without and with a
    // scale factor. Between construction and run the caller's list changes: the
    // sweep keeps the frequencies it was given.
    double magnitude[2] = {0.0, 0.0}, phase = 0.0;
    for (int scaled = 0; scaled < 2; ++scaled) {
        nivraSimReset(1);
        nivraSimUseManualClock(1);
        nivraSimSetNoiseScale(0.0);
        arma::vec list{1000.0};
        auto worker = makeWorker(list, openDisplay(), scaled == 1, 2.5);
        list = arma::vec{0.1, 0.2, 0.3};
        QSignalSpy steps(worker.get(), &FrequencyAnalysisWorker::frequencyStepDone);
        worker->run();
        ASSERT_EQ(steps.size(), 1);
        EXPECT_EQ(steps[0][1].toDouble(), 1000.0);
        magnitude[scaled] = steps[0][2].toDouble();
        phase = steps[0][3].toDouble();
    }
    // The highest sweep frequency, 1 Vpp: within 0.5 dB and 5 degrees of the plant.
    EXPECT_NEAR(20.0 * std::log10(magnitude[0] / plantMagnitude(1000.0)), 0.0, 0.5);
    EXPECT_NEAR(phase, plantPhaseDeg(1000.0), 5.0);
    EXPECT_NEAR(magnitude[1] / magnitude[0], 2.5, 1e-9);
}

TEST_F(FrequencyWorkerTest, StopDuringTheFirstWaitEndsAtOnce)
{
    // Unstopped, these two frequencies would take more than five minutes.
    const arma::vec list{0.1, 0.2};
    SAMP_FREQ = 2000;
    auto *worker = makeWorker(list, openDisplay(), false, 1.0, false).release();
    QThread thread;
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::started, worker, &FrequencyAnalysisWorker::run);
    QObject::connect(worker, &FrequencyAnalysisWorker::finished, &thread, &QThread::quit,
                     Qt::DirectConnection);
    QSignalSpy steps(worker, &FrequencyAnalysisWorker::frequencyStepDone);
    QSignalSpy finished(worker, &FrequencyAnalysisWorker::finished);
    nivraSimClearCallLog();
    thread.start();

    QElapsedTimer clock;
    clock.start();
    while (nivraSimCallCount("funcGenEnable") < 1 && clock.elapsed() < 10000)
        QThread::msleep(5);
    ASSERT_EQ(nivraSimCallCount("funcGenEnable"), 1) << "the first stimulus is on";
    EXPECT_EQ(int(SAMP_FREQ), 100);
    worker->stop();
    ASSERT_TRUE(thread.wait(30000));
    delete worker;

    EXPECT_EQ(steps.size(), 0);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(int(SAMP_FREQ), 2000) << "the rate found at the start";
    EXPECT_EQ(SimCallLog::calls().join('\n').toStdString(),
              QStringList({"setDisplayFreq(100, 0)",
                           "funcGenConfig([0.5, 0, 0, 0], [0.25, 1.5, 0, -2], 0.1)",
                           "funcGenEnable(1)", "funcGenEnable(0)", "setDisplayFreq(2000, 0)",
                           "close(1000)"})
                  .join('\n')
                  .toStdString());
    EXPECT_EQ(nivraSimSetting("genOn", 0), 0.0);
}

TEST_F(FrequencyWorkerTest, StopBeforeRunStartsIsNotLost)
{
    // A stop that comes before the thread reaches run() still ends the sweep: no
    // stimulus at all, and the normal end.
    const arma::vec list{0.1, 0.2};
    auto worker = makeWorker(list, openDisplay(), false, 1.0, true);
    QSignalSpy finished(worker.get(), &FrequencyAnalysisWorker::finished);
    nivraSimClearCallLog();
    worker->stop();
    worker->run();
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(nivraSimCallCount("funcGenConfig"), 0);
    EXPECT_EQ(nivraSimCallCount("funcGenEnable"), 0);
    EXPECT_EQ(SimCallLog::calls().join('\n').toStdString(), "setDisplayFreq(1000, 1)\nclose(1000)");
}

TEST_F(FrequencyWorkerTest, TheNodeIsClosedExactlyOnce)
{
    // A worker whose run() never came still gives its node back; one that ran
    // closes it at its end and not again when it goes.
    const arma::vec list{0.1};
    nivraSimClearCallLog();
    makeWorker(list, openDisplay()).reset();
    EXPECT_EQ(nivraSimCallCount("close"), 1);

    auto worker = makeWorker(list, openDisplay());
    worker->stop();
    worker->run();
    worker.reset();
    EXPECT_EQ(nivraSimCallCount("close"), 2);
}

TEST_F(FrequencyWorkerTest, NoStimulusMeansNoMeasurement)
{
    // A channel that is no DAC output, or no amplitude on the one chosen, would give
    // infinite magnitudes: the sweep ends at once, with the normal end.
    const arma::vec list{1000.0};
    struct Case {
        int channel;
        QList<float> amplitudes;
    } const cases[] = {{4, {1.0f, 1.0f, 1.0f, 1.0f}}, {-1, {1.0f, 1.0f, 1.0f, 1.0f}},
                       {1, {1.0f, 0.0f, 1.0f, 1.0f}}};
    for (const Case &c : cases) {
        FrequencyAnalysisWorker worker(openDisplay(), &list, true, 0, c.channel, c.amplitudes,
                                       QList<float>{0.0f, 0.0f, 0.0f, 0.0f}, 0, false, 1.0);
        QSignalSpy steps(&worker, &FrequencyAnalysisWorker::frequencyStepDone);
        QSignalSpy finished(&worker, &FrequencyAnalysisWorker::finished);
        nivraSimClearCallLog();
        worker.run();
        EXPECT_EQ(steps.size(), 0) << c.channel;
        EXPECT_EQ(finished.size(), 1) << c.channel;
        EXPECT_EQ(SimCallLog::calls().join('|').toStdString(), "setDisplayFreq(1000, 1)|close(1000)")
            << c.channel;
    }
}

TEST_F(FrequencyWorkerTest, FailedReadSwitchesOffAndEnds)
{
    const arma::vec list{1000.0, 2000.0};
    auto worker = makeWorker(list, 4711);   // no such descriptor: the read fails
    QSignalSpy steps(worker.get(), &FrequencyAnalysisWorker::frequencyStepDone);
    QSignalSpy finished(worker.get(), &FrequencyAnalysisWorker::finished);
    nivraSimClearCallLog();
    worker->run();
    EXPECT_EQ(steps.size(), 0);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(worker->failedCall().toStdString(), "read of /dev/nivra_dma_displ");
    EXPECT_EQ(int(SAMP_FREQ), 1000);
    const QStringList calls = SimCallLog::calls();
    ASSERT_EQ(calls.size(), 7);
    EXPECT_EQ(calls[3].toStdString(), "read(4711, buffer, 320000)");
    EXPECT_EQ(calls[4].toStdString(), "funcGenEnable(0)");
    EXPECT_EQ(calls[5].toStdString(), "setDisplayFreq(1000, 1)");
    EXPECT_EQ(calls[6].toStdString(), "close(4711)");
}

TEST_F(FrequencyWorkerTest, ShortReadsAreReadOn)
{
    // A node that delivers at most 1000 records a read is read on until the step's
    // records are all in: the stream has no gap between reads.
    nivraSimShortRead(1000);
    const arma::vec list{100.0};
    auto worker = makeWorker(list, openDisplay());
    QSignalSpy steps(worker.get(), &FrequencyAnalysisWorker::frequencyStepDone);
    nivraSimClearCallLog();
    worker->run();
    ASSERT_EQ(steps.size(), 1);
    EXPECT_EQ(nivraSimCallCount("read"), 4);
    EXPECT_NEAR(steps[0][2].toDouble(), plantMagnitude(100.0), 0.03 * plantMagnitude(100.0));
    EXPECT_NEAR(steps[0][3].toDouble(), plantPhaseDeg(100.0), 3.0);
}

} // namespace
