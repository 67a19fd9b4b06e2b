#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "AcquisitionSettings.h"
#include "AcquisitionTestSupport.h"
#include "DialogAnswerer.h"
#include "LogCapture.h"
#include "Logger.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "Updater.h"

namespace {

using Container = QSharedPointer<QCPGraphDataContainer>;
using Points = std::vector<QCPGraphData>;

Points pointsOf(const Container &c)
{
    return Points(c->constBegin(), c->constEnd());
}

bool samePoints(const Points &a, const Points &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.key == y.key && x.value == y.value;
    });
}

// Runs the event loop until something quits it; 99 when nothing did within 10 s.
int runUntilQuit()
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    return QCoreApplication::exec();
}

class UpdaterCycle : public ProgramEnvironment
{
protected:
    UpdaterCycle() : ProgramEnvironment(4711) {}

    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        // The function generator gives each DAC word a waveform of its own.
        float amplitude[4] = {0.5f, 1.0f, 1.5f, 2.0f};
        float offset[4] = {0.25f, -0.25f, 0.75f, -0.75f};
        funcGenConfig(amplitude, offset, 7.0f);
        funcGenEnable(1);
        nivraSimAdvance(30.0);
        nivraSimSetMeterPresent(0, 1);
        nivraSimSetMeterPresent(1, 1);
        SAMP_FREQ = 2000;
        DISP_BUF_SIZE = 14336 * 256;
        double *calibration[4] = {BPM_SCALE_X, BPM_SCALE_Y, BPM_DIST_X, BPM_DIST_Y};
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 2; ++b)
                calibration[a][b] = a < 2 ? 2.0 + 3 * a + b : 1500.0 + 1000 * a + 2000 * b;
        for (int kind = 0; kind < GraphDataKindCount; ++kind)
            for (int index = 0; index < graphIndexCount(kind); ++index)
                engine->setGraphData(kind, index, graphs[kind][index] = Container::create());
    }
    void TearDown() override
    {
        ProgramEnvironment::TearDown();
        nivraSimReset(1);
    }

    // The records the last cycle fetched: the stream stands still with the clock.
    std::vector<DisplayRecord> fetched(int n)
    {
        auto records = zeroRecords(n);
        EXPECT_EQ(getBuffer(records.data(), n), n);
        return records;
    }

    void expectTimeSeries(int kind, int index, const std::vector<DisplayRecord> &records,
                          int word, double scale)
    {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " index " << index);
        const Points points = pointsOf(graphs[kind][index]);
        ASSERT_EQ(points.size(), records.size());
        for (size_t i = 0; i < points.size(); ++i) {
            ASSERT_DOUBLE_EQ(points[i].key, double(i) / SAMP_FREQ) << i;
            ASSERT_EQ(points[i].value, scale * records[i].word(word)) << i;
        }
    }

    // The scatter: exactly the points of records first .. end, sorted by key.
    void expectScatter(int bpm, const std::vector<DisplayRecord> &records, int first)
    {
        SCOPED_TRACE(testing::Message() << "XY of BPM " << bpm + 1);
        Points points = pointsOf(graphs[GraphXYBpm1 + bpm][0]), expected;
        for (size_t i = first; i < records.size(); ++i)
            expected.push_back({BPM_SCALE_X[bpm] * records[i].word(4 * bpm),
                                BPM_SCALE_Y[bpm] * records[i].word(4 * bpm + 1)});
        auto byKey = [](const auto &a, const auto &b) { return a.key < b.key; };
        EXPECT_TRUE(std::is_sorted(points.begin(), points.end(), byKey));
        auto byKeyValue = [](const auto &a, const auto &b) {
            return a.key < b.key || (a.key == b.key && a.value < b.value);
        };
        std::sort(points.begin(), points.end(), byKeyValue);
        std::sort(expected.begin(), expected.end(), byKeyValue);
        EXPECT_TRUE(samePoints(points, expected));
    }

    bool bpmGraphsEmpty(int b)
    {
        bool empty = graphs[GraphXYBpm1 + b][0]->isEmpty() && graphs[GraphSpectrum][b]->isEmpty();
        for (int kind : {GraphPositionX, GraphPositionY, GraphAngleX, GraphAngleY})
            empty = empty && graphs[kind][b]->isEmpty();
        for (int c = 0; c < 4; ++c)
            empty = empty && graphs[GraphEncoderBpm1 + b][c]->isEmpty();
        return empty;
    }

    Container graphs[GraphDataKindCount][4];
};

} // namespace

TEST_F(UpdaterCycle, FillsEveryKindFromTheFetchedRecords)
{
    QSignalSpy replots(engine.get(), &Updater::replotGraphs);

    engine->updateGraphs();
    EXPECT_EQ(replots.count(), 1);
    const int n = 14336;
    const auto records = fetched(n);
    for (int b = 0; b < 2; ++b) {
        for (int c = 0; c < 4; ++c)
            expectTimeSeries(GraphEncoderBpm1 + b, c, records, 24 + 4 * b + c, 1.0);
        expectTimeSeries(GraphPositionX, b, records, 4 * b, BPM_SCALE_X[b]);
        expectTimeSeries(GraphPositionY, b, records, 4 * b + 1, BPM_SCALE_Y[b]);
        expectTimeSeries(GraphAngleX, b, records, 4 * b,
                         (BPM_SCALE_X[b] * 1000000) / (BPM_DIST_X[b] + BPM_DIST_X[b]));
        expectTimeSeries(GraphAngleY, b, records, 4 * b + 1,
                         (BPM_SCALE_Y[b] * 1000000) / (BPM_DIST_Y[b] + BPM_DIST_Y[b]));
        expectScatter(b, records, n - 1000);
        EXPECT_EQ(graphs[GraphSpectrum][b]->size(), 8192 / 2 + 1);
    }
    for (int c = 0; c < 4; ++c)
        expectTimeSeries(GraphDacOutput, c, records, 8 + c, 1.0);

    // The next cycle refills the same storage with the new records.
    const QCPGraphData *storage = &*graphs[GraphPositionX][0]->constBegin();
    nivraSimAdvance(1.0);
    engine->updateGraphs();
    const auto next = fetched(n);
    EXPECT_EQ(&*graphs[GraphPositionX][0]->constBegin(), storage);
    expectTimeSeries(GraphPositionX, 0, next, 0, BPM_SCALE_X[0]);
    expectScatter(1, next, n - 1000);

    // Smaller buffers: the scatter holds the newest 1000 records, or all of them.
    for (int m : {1024, 500}) {
        DISP_BUF_SIZE = m * 256;
        engine->updateGraphs();
        const auto some = fetched(m);
        expectScatter(0, some, std::max(0, m - 1000));
        expectTimeSeries(GraphPositionY, 1, some, 5, BPM_SCALE_Y[1]);
    }
}

// A BPM whose meter node does not open has all its graphs emptied, spectrum
// included, and keeps its last meter snapshot; the DAC graphs fill regardless.
TEST_F(UpdaterCycle, BpmGraphsFollowTheMeterNodes)
{
    engine->updateGraphs();
    ASSERT_FALSE(bpmGraphsEmpty(0) || bpmGraphsEmpty(1));
    const MeterStatus before = engine->meterStatus[1];

    nivraSimSetMeterPresent(1, 0);
    nivraSimAdvance(1.0);
    engine->updateGraphs();
    EXPECT_FALSE(bpmGraphsEmpty(0));
    EXPECT_TRUE(bpmGraphsEmpty(1));
    EXPECT_EQ(std::memcmp(&before, &engine->meterStatus[1], sizeof before), 0);

    nivraSimSetMeterPresent(0, 0);
    nivraSimSetMeterPresent(1, 1);
    nivraSimFailNodeOpen("/dev/nivra_oscalon1", 1);
    nivraSimAdvance(1.0);
    engine->updateGraphs();
    EXPECT_TRUE(bpmGraphsEmpty(0) && bpmGraphsEmpty(1));
    const auto records = fetched(14336);
    for (int c = 0; c < 4; ++c)
        expectTimeSeries(GraphDacOutput, c, records, 8 + c, 1.0);

    nivraSimFailNodeOpen("/dev/nivra_oscalon1", 0);
    engine->updateGraphs();
    EXPECT_TRUE(bpmGraphsEmpty(0));
    EXPECT_FALSE(bpmGraphsEmpty(1));
}

TEST_F(UpdaterCycle, PausedCycleOnlyProbesTheMeters)
{
    engine->updateGraphs();
    Points before[GraphDataKindCount][4];
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            before[kind][index] = pointsOf(graphs[kind][index]);

    engine->paused = true;
    QSignalSpy replots(engine.get(), &Updater::replotGraphs);
    const int fetches = nivraSimCallCount("getBuffer");
    std::memset(static_cast<void *>(engine->meterStatus), 0, sizeof engine->meterStatus);
    nivraSimAdvance(5.0);
    engine->updateGraphs();

    EXPECT_EQ(replots.count(), 0);
    EXPECT_EQ(nivraSimCallCount("getBuffer"), fetches);
    const MeterStatus zero = {};
    for (int k = 0; k < 2; ++k)
        EXPECT_NE(std::memcmp(&zero, &engine->meterStatus[k], sizeof zero), 0) << "meter " << k;
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            EXPECT_TRUE(samePoints(pointsOf(graphs[kind][index]), before[kind][index])) << kind;

    engine->paused = false;
    engine->updateGraphs();
    EXPECT_EQ(replots.count(), 1);
    EXPECT_FALSE(samePoints(pointsOf(graphs[GraphPositionX][0]), before[GraphPositionX][0]));
}

TEST_F(UpdaterCycle, CycleWithoutARateLeavesTheGraphsAlone)
{
    // A rate of 0 would give every time and frequency key an infinite or NaN value.
    engine->updateGraphs();
    const Points before = pointsOf(graphs[GraphSpectrum][0]);
    SAMP_FREQ = 0;
    QSignalSpy replots(engine.get(), &Updater::replotGraphs);
    nivraSimAdvance(5.0);
    engine->updateGraphs();
    EXPECT_EQ(replots.count(), 0);
    EXPECT_TRUE(samePoints(pointsOf(graphs[GraphSpectrum][0]), before));
}

TEST_F(UpdaterCycle, SetGraphDataIgnoresBadKindsAndIndices)
{
    const int bad[][2] = {{-1, 0}, {10, 0}, {3, 4}, {3, -1}, {2, 2}, {5, -1}, {7, 4}, {9, 2},
                          {INT_MIN, 0}, {4, INT_MAX}};
    std::vector<Container> strays;
    for (const auto &slot : bad) {
        strays.push_back(Container::create());
        engine->setGraphData(slot[0], slot[1], strays.back());
    }
    // The scatter has one container per BPM: its index is not looked at.
    auto scatter = Container::create();
    engine->setGraphData(GraphXYBpm2, 3, scatter);
    // An empty pointer is skipped by the cycle, not followed.
    engine->setGraphData(GraphAngleY, 1, Container());

    engine->updateGraphs();
    for (size_t i = 0; i < strays.size(); ++i)
        EXPECT_TRUE(strays[i]->isEmpty()) << bad[i][0] << ", " << bad[i][1];
    EXPECT_EQ(scatter->size(), 1000);
    EXPECT_TRUE(graphs[GraphXYBpm2][0]->isEmpty() && graphs[GraphAngleY][1]->isEmpty());
    EXPECT_EQ(graphs[GraphEncoderBpm2][3]->size(), 14336);
    EXPECT_EQ(graphs[GraphAngleY][0]->size(), 14336);
}

TEST_F(UpdaterCycle, SpectraFollowTheSettings)
{
    engine->setFFTlength(64);
    engine->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][0]->size(), 33);
    EXPECT_DOUBLE_EQ((graphs[GraphSpectrum][0]->constEnd() - 1)->key, 1000.0);   // f / 2

    engine->ChangeFFTgraph(2);
    engine->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][1]->size(), 32);
    EXPECT_DOUBLE_EQ(graphs[GraphSpectrum][1]->constBegin()->key, 2000.0 / 64);

    engine->ChangeFFTgraph(0);
    engine->ChangeFFTremoveDC(true);
    engine->setFFTselector(24);   // encoder counts, far from zero on average
    engine->updateGraphs();
    EXPECT_NEAR(graphs[GraphSpectrum][1]->constBegin()->value, 0.0, 1e-6);

    // Fewer records than the FFT length: all of them are transformed.
    engine->setFFTlength(8192);
    DISP_BUF_SIZE = 1024 * 256;
    engine->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][0]->size(), 513);
    EXPECT_DOUBLE_EQ(graphs[GraphSpectrum][0]->at(1)->key, 2000.0 / 1024);
}

// A fetch that comes back short, or fails, ends the program after the critical
// message, with no graph touched; the handed-over timer is stopped meanwhile. The
// Debug line of each fetch comes first.
TEST_F(UpdaterCycle, ShortFetchIsFatal)
{
    Logging::Logger::instance().setLevel(Logging::DebugLevel);
    LogCapture log;

    engine->updateGraphs();
    const Points before = pointsOf(graphs[GraphDacOutput][2]);
    QSignalSpy replots(engine.get(), &Updater::replotGraphs);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        nivraSimClearFaults();
        if (round == 0)
            nivraSimShortRead(100);
        else
            nivraSimFailCall("getBuffer", -5);
        QTimer acquisition;
        acquisition.start(1000);
        engine->setTimer(&acquisition);
        DialogAnswerer answerer;
        QTimer::singleShot(0, engine.get(), &Updater::updateGraphs);

        EXPECT_EQ(runUntilQuit(), EXIT_FAILURE);   // told apart from Exit's 0
        EXPECT_FALSE(acquisition.isActive());
        ASSERT_EQ(answerer.count(), 1);
        EXPECT_EQ(answerer.last().kind, "critical");
        EXPECT_EQ(answerer.last().title, "Cannot open file");
        EXPECT_EQ(answerer.last().text,
                  "System file /dev/nivra_dma_displ could not be opened.\n\n"
                  "Please check if NIVRA driver is loaded.\nApplication will now quit.\n");
        engine->setTimer(nullptr);
    }
    EXPECT_EQ(replots.count(), 0);
    EXPECT_TRUE(samePoints(pointsOf(graphs[GraphDacOutput][2]), before));

    EXPECT_EQ(log.texts(),
              (QStringList{"updateGraphs read 14336 samples ", "updateGraphs read 100 samples ",
                           "updateGraphs read -5 samples "}));
}

// With the message left open for a while, the timer that keeps firing in its event
// loop must not open a second one, whether or not it was handed over.
TEST_F(UpdaterCycle, OpenFatalMessageDoesNotStack)
{
    nivraSimShortRead(10);
    for (bool handedOver : {true, false}) {
        SCOPED_TRACE(handedOver);
        QTimer acquisition;
        QObject::connect(&acquisition, &QTimer::timeout, engine.get(), &Updater::updateGraphs);
        engine->setTimer(handedOver ? &acquisition : nullptr);
        std::unique_ptr<DialogAnswerer> answerer;
        QTimer::singleShot(100, [&] { answerer = std::make_unique<DialogAnswerer>(); });
        acquisition.start(5);

        EXPECT_EQ(runUntilQuit(), EXIT_FAILURE);
        ASSERT_TRUE(answerer);
        EXPECT_EQ(answerer->count(), 1);
        EXPECT_EQ(acquisition.isActive(), !handedOver);
        engine->setTimer(nullptr);
    }
}

// During a procedure that runs in the GUI thread (its points let events in, so the
// cycle runs inside it) the procedure is stopped first and the message waits until
// it has handed the outputs back; then the program ends with 1.
TEST_F(UpdaterCycle, FatalFetchStopsTheRunningProcedureFirst)
{
    nivraSimShortRead(10);
    DialogAnswerer answerer;
    bool stopped = false;
    int boxesWhenHandedBack = -1;
    QTimer::singleShot(0, [&] {
        const OutputsGuard::Claim claim(&answerer, QStringLiteral("Scan"),
                                        OutputsGuard::Runs::InGuiThread, [&] { stopped = true; });
        QTimer::singleShot(0, engine.get(), &Updater::updateGraphs);
        for (int point = 0; point < 500 && !stopped; ++point) {
            QCoreApplication::processEvents();
            QThread::msleep(2);
        }
        boxesWhenHandedBack = answerer.count();
    });
    EXPECT_EQ(runUntilQuit(), EXIT_FAILURE);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(boxesWhenHandedBack, 0);
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_FALSE(OutputsGuard::isHeld());
}

// Corrupted records (NaN positions) must neither upset the sort nor go missing:
// the scatter stays sorted by key with the NaN keys after the numbers.
TEST(GraphRefill, ScatterWithNaNPositionsStaysSorted)
{
    const int n = 1200;
    auto records = zeroRecords(n);
    for (int i = 0; i < n; ++i)
        setWord(records[i], 0, i % 3 == 0 ? std::nan("") : double((i * 7919) % 1000));
    GraphSlots graphs;
    graphs[GraphXYBpm1][0] = Container::create();
    const bool present[2] = {true, false};
    refillDisplayGraphs(graphs, records.data(), n, 1000.0, present);

    const Points points = pointsOf(graphs[GraphXYBpm1][0]);
    ASSERT_EQ(points.size(), 1000u);
    const auto firstNaN = std::find_if(points.begin(), points.end(),
                                       [](const QCPGraphData &p) { return std::isnan(p.key); });
    EXPECT_TRUE(std::is_sorted(points.begin(), firstNaN,
                               [](const auto &a, const auto &b) { return a.key < b.key; }));
    EXPECT_TRUE(std::all_of(firstNaN, points.end(),
                            [](const QCPGraphData &p) { return std::isnan(p.key); }));
    // Records 200 .. 1199: every third one, from 201 on, is corrupted.
    EXPECT_EQ(points.end() - firstNaN, 333);
}
