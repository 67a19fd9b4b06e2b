#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "AcquisitionTestSupport.h"
#include "DialogAnswerer.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "Spectrum.h"
#include "Updater.h"

namespace {

using Container = QSharedPointer<QCPGraphDataContainer>;

std::vector<QCPGraphData> pointsOf(const Container &c)
{
    return std::vector<QCPGraphData>(c->constBegin(), c->constEnd());
}

bool samePoints(const std::vector<QCPGraphData> &a, const std::vector<QCPGraphData> &b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](const auto &x, const auto &y) {
                  return x.key == y.key && x.value == y.value;
              });
}

class UpdaterCycle : public AcquisitionGlobals
{
protected:
    void SetUp() override
    {
        AcquisitionGlobals::SetUp();
        nivraSimReset(4711);
        nivraSimUseManualClock(1);
        nivraSimAdvance(30.0);
        nivraSimSetMeterPresent(0, 1);
        nivraSimSetMeterPresent(1, 1);
        SAMP_FREQ = 2000;
        DISP_BUF_SIZE = 14336 * 256;
        BPM_SCALE_X[0] = 2.0;
        BPM_SCALE_Y[0] = 3.0;
        BPM_SCALE_X[1] = 5.0;
        BPM_SCALE_Y[1] = 7.0;
        BPM_DIST_X[0] = 1500.0;
        BPM_DIST_Y[0] = 2500.0;
        BPM_DIST_X[1] = 3500.0;
        BPM_DIST_Y[1] = 4500.0;
        updater = std::make_unique<Updater>();
        for (int kind = 0; kind < GraphDataKindCount; ++kind)
            for (int index = 0; index < graphIndexCount(kind); ++index) {
                graphs[kind][index] = Container::create();
                updater->setGraphData(kind, index, graphs[kind][index]);
            }
    }
    void TearDown() override
    {
        updater.reset();
        nivraSimReset(1);
        AcquisitionGlobals::TearDown();
    }

    // The records the cycle just fetched: the stream does not move while the
    // manual clock stands still.
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
        const auto points = pointsOf(graphs[kind][index]);
        ASSERT_EQ(points.size(), records.size());
        const double dt = 1.0 / SAMP_FREQ;
        for (size_t i = 0; i < points.size(); ++i) {
            ASSERT_DOUBLE_EQ(points[i].key, double(i) / SAMP_FREQ) << i;
            ASSERT_EQ(points[i].key, i * dt) << i;
            ASSERT_EQ(points[i].value, scale * records[i].word(word)) << i;
        }
    }

    // The scatter's points: exactly those of the given records, sorted by key.
    void expectScatter(int bpm, const std::vector<DisplayRecord> &records, int first)
    {
        SCOPED_TRACE(testing::Message() << "XY of BPM " << bpm + 1);
        auto points = pointsOf(graphs[GraphXYBpm1 + bpm][0]);
        std::vector<QCPGraphData> expected;
        for (size_t i = first; i < records.size(); ++i)
            expected.push_back({BPM_SCALE_X[bpm] * records[i].word(4 * bpm),
                                BPM_SCALE_Y[bpm] * records[i].word(4 * bpm + 1)});
        ASSERT_EQ(points.size(), expected.size());
        EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                                   [](const auto &a, const auto &b) { return a.key < b.key; }));
        auto byKeyValue = [](const QCPGraphData &a, const QCPGraphData &b) {
            return a.key < b.key || (a.key == b.key && a.value < b.value);
        };
        std::sort(points.begin(), points.end(), byKeyValue);
        std::sort(expected.begin(), expected.end(), byKeyValue);
        EXPECT_TRUE(samePoints(points, expected));
    }

    bool bpmGraphsEmpty(int b)
    {
        bool empty = graphs[GraphXYBpm1 + b][0]->isEmpty() && graphs[GraphSpectrum][b]->isEmpty()
                     && graphs[GraphPositionX][b]->isEmpty() && graphs[GraphPositionY][b]->isEmpty()
                     && graphs[GraphAngleX][b]->isEmpty() && graphs[GraphAngleY][b]->isEmpty();
        for (int c = 0; c < 4; ++c)
            empty = empty && graphs[GraphEncoderBpm1 + b][c]->isEmpty();
        return empty;
    }

    std::unique_ptr<Updater> updater;
    Container graphs[GraphDataKindCount][4];
};

} // namespace

TEST_F(UpdaterCycle, FillsEveryKindFromTheFetchedRecords)
{
    QSignalSpy replots(updater.get(), &Updater::replotGraphs);
    updater->updateGraphs();
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
    QCPGraphData *storage = &*graphs[GraphPositionX][0]->begin();
    nivraSimAdvance(1.0);
    updater->updateGraphs();
    EXPECT_EQ(replots.count(), 2);
    const auto next = fetched(n);
    EXPECT_EQ(&*graphs[GraphPositionX][0]->begin(), storage);
    expectTimeSeries(GraphPositionX, 0, next, 0, BPM_SCALE_X[0]);
    expectScatter(1, next, n - 1000);
}

TEST_F(UpdaterCycle, ScatterHoldsTheNewestThousandRecords)
{
    for (int n : {1024, 500, 2048}) {
        SCOPED_TRACE(n);
        DISP_BUF_SIZE = n * 256;
        nivraSimAdvance(1.0);
        updater->updateGraphs();
        const auto records = fetched(n);
        expectScatter(0, records, std::max(0, n - 1000));
        expectScatter(1, records, std::max(0, n - 1000));
        expectTimeSeries(GraphPositionY, 1, records, 5, BPM_SCALE_Y[1]);
        expectTimeSeries(GraphDacOutput, 3, records, 11, 1.0);
    }
}

TEST_F(UpdaterCycle, BpmGraphsFollowTheMeterNodes)
{
    updater->updateGraphs();
    ASSERT_FALSE(bpmGraphsEmpty(0));
    ASSERT_FALSE(bpmGraphsEmpty(1));
    const MeterStatus before = updater->meterStatus[1];

    nivraSimSetMeterPresent(1, 0);
    nivraSimAdvance(1.0);
    updater->updateGraphs();
    EXPECT_FALSE(bpmGraphsEmpty(0));
    EXPECT_TRUE(bpmGraphsEmpty(1));
    EXPECT_EQ(std::memcmp(&before, &updater->meterStatus[1], sizeof before), 0)
        << "a meter that is gone keeps its last snapshot";
    const auto records = fetched(14336);
    expectTimeSeries(GraphPositionX, 0, records, 0, BPM_SCALE_X[0]);
    for (int c = 0; c < 4; ++c)
        expectTimeSeries(GraphDacOutput, c, records, 8 + c, 1.0);

    nivraSimSetMeterPresent(0, 0);
    nivraSimSetMeterPresent(1, 1);
    nivraSimFailNodeOpen("/dev/nivra_oscalon1", 1);
    nivraSimAdvance(1.0);
    updater->updateGraphs();
    EXPECT_TRUE(bpmGraphsEmpty(0));
    EXPECT_TRUE(bpmGraphsEmpty(1));
    EXPECT_EQ(graphs[GraphDacOutput][0]->size(), 14336);

    nivraSimFailNodeOpen("/dev/nivra_oscalon1", 0);
    updater->updateGraphs();
    EXPECT_TRUE(bpmGraphsEmpty(0));
    EXPECT_FALSE(bpmGraphsEmpty(1));
}

TEST_F(UpdaterCycle, PausedCycleOnlyProbesTheMeters)
{
    updater->updateGraphs();
    std::vector<QCPGraphData> before[GraphDataKindCount][4];
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            before[kind][index] = pointsOf(graphs[kind][index]);

    updater->paused = true;
    QSignalSpy replots(updater.get(), &Updater::replotGraphs);
    const int fetches = nivraSimCallCount("getBuffer");
    std::memset(static_cast<void *>(updater->meterStatus), 0, sizeof updater->meterStatus);
    nivraSimAdvance(5.0);
    updater->updateGraphs();

    EXPECT_EQ(replots.count(), 0);
    EXPECT_EQ(nivraSimCallCount("getBuffer"), fetches);
    const MeterStatus zero = {};
    EXPECT_NE(std::memcmp(&zero, &updater->meterStatus[0], sizeof zero), 0) << "meter 1 probed";
    EXPECT_NE(std::memcmp(&zero, &updater->meterStatus[1], sizeof zero), 0) << "meter 2 probed";
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            EXPECT_TRUE(samePoints(pointsOf(graphs[kind][index]), before[kind][index]))
                << "kind " << kind << " index " << index;

    updater->paused = false;
    updater->updateGraphs();
    EXPECT_EQ(replots.count(), 1);
    EXPECT_FALSE(samePoints(pointsOf(graphs[GraphPositionX][0]), before[GraphPositionX][0]));
}

TEST_F(UpdaterCycle, SetGraphDataIgnoresBadKindsAndIndices)
{
    struct Slot { int kind, index; };
    const Slot bad[] = {{-1, 0}, {10, 0}, {3, 4}, {3, -1}, {2, 2}, {5, -1}, {7, 4}, {9, 2},
                        {INT_MIN, 0}, {4, INT_MAX}};
    std::vector<Container> strays;
    for (const Slot &s : bad) {
        strays.push_back(Container::create());
        updater->setGraphData(s.kind, s.index, strays.back());
    }
    // The scatter has one container per BPM: its index is not looked at.
    auto scatter = Container::create();
    updater->setGraphData(GraphXYBpm2, 3, scatter);
    // An empty pointer is skipped by the cycle rather than followed.
    updater->setGraphData(GraphAngleY, 1, Container());

    updater->updateGraphs();
    for (size_t i = 0; i < strays.size(); ++i)
        EXPECT_TRUE(strays[i]->isEmpty()) << "kind " << bad[i].kind << " index " << bad[i].index;
    EXPECT_EQ(scatter->size(), 1000);
    EXPECT_TRUE(graphs[GraphXYBpm2][0]->isEmpty());
    for (int kind = 3; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index) {
            if (!(kind == GraphAngleY && index == 1)) {
                EXPECT_EQ(graphs[kind][index]->size(), 14336) << kind << " " << index;
            }
        }
}

TEST_F(UpdaterCycle, SpectrumSettingsTakeEffectOnTheNextCycle)
{
    updater->setFFTlength(64);
    updater->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][0]->size(), 33);
    EXPECT_DOUBLE_EQ((graphs[GraphSpectrum][0]->constEnd() - 1)->key, 1000.0);   // f / 2

    updater->ChangeFFTgraph(1);
    updater->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][1]->size(), 32);
    EXPECT_DOUBLE_EQ(graphs[GraphSpectrum][1]->constBegin()->key, 2000.0 / 64);

    // The records of this cycle, transformed by hand: BPM2's X position, scaled.
    updater->ChangeFFTgraph(0);
    updater->ChangeFFTremoveDC(true);
    updater->setFFTselector(0);
    updater->updateGraphs();
    const auto records = fetched(14336);
    auto newest = zeroRecords(64);
    std::copy(records.end() - 64, records.end(), newest.begin());
    SpectrumSettings s;
    s.length = 64;
    s.selector = 0;
    s.removeDC = true;
    QCPGraphDataContainer expected;
    computeSpectrum(expected, newest.data(), 64, 1, s, 2000.0);
    EXPECT_TRUE(samePoints(pointsOf(graphs[GraphSpectrum][1]),
                           std::vector<QCPGraphData>(expected.constBegin(), expected.constEnd())));
    EXPECT_NEAR(graphs[GraphSpectrum][1]->constBegin()->value, 0.0, 1e-9);

    // Fewer records than the FFT length: all of them are transformed.
    updater->setFFTlength(8192);
    DISP_BUF_SIZE = 1024 * 256;
    updater->updateGraphs();
    EXPECT_EQ(graphs[GraphSpectrum][0]->size(), 513);
    EXPECT_DOUBLE_EQ((graphs[GraphSpectrum][0]->constBegin() + 1)->key, 2000.0 / 1024);
}

// A fetch that comes back short (or failed) ends the program after the critical
// message, with no graph touched; the acquisition timer is stopped meanwhile.
TEST_F(UpdaterCycle, ShortFetchIsFatal)
{
    updater->updateGraphs();
    const auto before = pointsOf(graphs[GraphDacOutput][2]);
    QSignalSpy replots(updater.get(), &Updater::replotGraphs);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        nivraSimClearFaults();
        if (round == 0)
            nivraSimShortRead(100);
        else
            nivraSimFailCall("getBuffer", -5);
        nivraSimAdvance(1.0);

        QTimer acquisition;
        acquisition.setInterval(1000);
        acquisition.start();
        updater->setTimer(&acquisition);
        DialogAnswerer answerer;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QTimer::singleShot(0, updater.get(), &Updater::updateGraphs);

        // 0: the cycle asked the application to quit (the guard would exit with 99).
        EXPECT_EQ(QCoreApplication::exec(), 0);
        EXPECT_FALSE(acquisition.isActive());
        ASSERT_EQ(answerer.count(), 1);
        EXPECT_EQ(answerer.last().kind, "critical");
        EXPECT_EQ(answerer.last().title, "Cannot open file");
        EXPECT_EQ(answerer.last().text,
                  "System file /dev/nivra_dma_displ could not be opened.\n\n"
                  "Please check if NIVRA driver is loaded.\nApplication will now quit.\n");
        updater->setTimer(nullptr);
    }
    EXPECT_EQ(replots.count(), 0);
    EXPECT_TRUE(samePoints(pointsOf(graphs[GraphDacOutput][2]), before));
}

// While the message is open, the timer that keeps firing in its event loop must
// not open a second one: the handed-over timer is stopped, and a cycle started
// by any other means during the message does nothing.
TEST_F(UpdaterCycle, OpenFatalMessageDoesNotStack)
{
    nivraSimShortRead(10);
    for (bool handedOver : {true, false}) {
        SCOPED_TRACE(handedOver);
        QTimer acquisition;
        acquisition.setInterval(5);
        QObject::connect(&acquisition, &QTimer::timeout, updater.get(), &Updater::updateGraphs);
        updater->setTimer(handedOver ? &acquisition : nullptr);
        std::unique_ptr<DialogAnswerer> answerer;
        QTimer::singleShot(300, [&] { answerer = std::make_unique<DialogAnswerer>(); });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        acquisition.start();

        EXPECT_EQ(QCoreApplication::exec(), 0);
        ASSERT_TRUE(answerer);
        EXPECT_EQ(answerer->count(), 1);
        EXPECT_EQ(acquisition.isActive(), !handedOver);
        acquisition.stop();
        updater->setTimer(nullptr);
    }
}
