// Status polling: the SFP scan (counts, encoder-box flag, signals, PID base clock,
// loop sources), the refresh of statistics and PID status, the start-up order on the
// device-link thread, and consistent copies for readers on another thread.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AcquisitionSettings.h"
#include "LibraryHooks.h"
#include "LogCapture.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "SimCallLog.h"
#include "SimFixture.h"

namespace {

class StatusPolling : public SimFixture
{
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        for (int port = 0; port < 4; ++port)
            nivraSimSetSfpModule(port, 0, 0, 0, 0);
        nivraSimClearCallLog();
    }

    static QList<int> counts(const QSignalSpy &spy)
    {
        QList<int> result;
        for (const QList<QVariant> &args : spy)
            result.append(args.at(0).toInt());
        return result;
    }

    template <typename Pred>
    static bool waitFor(Pred pred, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!pred()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return true;
    }

    MailboxComm link;
};

} // namespace

TEST_F(StatusPolling, ScanCountsAcquisitionModulesAndEncoderBoxes)
{
    LogCapture log;
    Logging::Logger::instance().setLevel(Logging::DebugLevel);
    ASSERT_EQ(::setBPMselector(1, 1, 0), 0);
    nivraSimSetSfpModule(0, 0x2101, 7, 0x41424344u, 1001);
    nivraSimSetSfpModule(1, 0x0000, 0, 0, 0);
    nivraSimSetSfpModule(2, 0x2305, 9, 0x31323334u, 1002);
    nivraSimSetSfpModule(3, 0x1234, 3, 0x35363738u, 1003);
    nivraSimClearCallLog();
    QSignalSpy spy(&link, &MailboxComm::nrTovashesChanged);

    link.scanSFP();

    EXPECT_EQ(link.deviceCount(), 2);
    // Flag and count both changed: two emissions, both with the new count.
    EXPECT_EQ(counts(spy), (QList<int>{2, 2}));
    EXPECT_EQ(pidBaseClock, 5000);
    // The loop sources were read again from the controller.
    EXPECT_EQ(SimCallLog::callsTo("getBPMselector").size(), 1);
    EXPECT_EQ(int(bpmSelX), 1);
    EXPECT_EQ(int(bpmSelY), 1);
    EXPECT_EQ(int(bpmSelI0), 0);

    const MailboxComm::SfpTable table = link.sfpTable();
    // Packed record fields are compared as copies (unary +): a reference to one may
    // be misaligned.
    EXPECT_EQ(+table[0].deviceId, 0x2101);
    EXPECT_EQ(+table[0].hwVersion, 7u);
    EXPECT_EQ(+table[0].version, 0x41424344u);
    EXPECT_EQ(+table[0].serialNumber, 1001u);
    EXPECT_EQ(+table[1].deviceId, 0);
    EXPECT_EQ(+table[2].deviceId, 0x2305);
    EXPECT_EQ(+table[3].deviceId, 0x1234);   // shown, though it counts as neither
    EXPECT_EQ(+table[3].serialNumber, 1003u);

    const QStringList calls = SimCallLog::callsTo("getSFPinfo");
    ASSERT_EQ(calls.size(), 4);
    for (int port = 0; port < 4; ++port)
        EXPECT_TRUE(calls[port].startsWith(QStringLiteral("getSFPinfo(%1,").arg(port)));

    EXPECT_EQ(log.texts(Logging::DebugLevel),
              (QStringList{"Tovash change detected ", "Number of acquisition devices changed "}));
}

TEST_F(StatusPolling, EqualScansAreQuietAndChangesAreAnnounced)
{
    LogCapture log;
    Logging::Logger::instance().setLevel(Logging::DebugLevel);
    nivraSimSetSfpModule(0, 0x2101, 1, 0, 1);
    nivraSimSetSfpModule(1, 0x2302, 1, 0, 2);
    link.scanSFP();
    log.clear();
    nivraSimClearCallLog();
    QSignalSpy spy(&link, &MailboxComm::nrTovashesChanged);

    // Same modules again: no signal, no log, no selector read.
    link.scanSFP();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(log.texts().isEmpty());
    EXPECT_EQ(SimCallLog::callsTo("getBPMselector").size(), 0);

    // A module swapped for another of the same class: still quiet, but shown.
    nivraSimSetSfpModule(0, 0x21A0, 5, 0, 77);
    link.scanSFP();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(+link.sfpTable()[0].deviceId, 0x21A0);
    EXPECT_EQ(+link.sfpTable()[0].serialNumber, 77u);

    // The encoder box becomes a plain module: the flag alone changes. The base clock
    // is set to 5000 again (nothing ever sets it back to 100000).
    pidBaseClock = 100000;
    nivraSimSetSfpModule(1, 0x2100, 1, 0, 2);
    link.scanSFP();
    EXPECT_EQ(counts(spy), QList<int>{2});
    EXPECT_EQ(pidBaseClock, 5000);
    EXPECT_EQ(SimCallLog::callsTo("getBPMselector").size(), 0);
    EXPECT_EQ(log.texts(), QStringList{"Tovash change detected "});
    spy.clear();
    log.clear();

    // A module leaves: the count alone changes.
    pidBaseClock = 100000;
    nivraSimSetSfpModule(0, 0, 0, 0, 0);
    link.scanSFP();
    EXPECT_EQ(counts(spy), QList<int>{1});
    EXPECT_EQ(pidBaseClock, 100000);
    EXPECT_EQ(SimCallLog::callsTo("getBPMselector").size(), 1);
    EXPECT_EQ(link.deviceCount(), 1);
    EXPECT_EQ(log.texts(), QStringList{"Number of acquisition devices changed "});
    spy.clear();

    // An encoder box that arrives and leaves again: announced both times.
    nivraSimSetSfpModule(3, 0x2300, 1, 0, 3);
    link.scanSFP();
    nivraSimSetSfpModule(3, 0, 0, 0, 0);
    link.scanSFP();
    EXPECT_EQ(counts(spy), (QList<int>{2, 2, 1, 1}));
    EXPECT_EQ(pidBaseClock, 5000);

    // Late receivers ask for the count.
    spy.clear();
    link.announceDeviceCount();
    EXPECT_EQ(counts(spy), QList<int>{1});
}

TEST_F(StatusPolling, UnreadablePortsAreLoggedAndEmpty)
{
    LogCapture log;
    nivraSimSetSfpModule(0, 0x2101, 1, 0, 1);
    nivraSimSetSfpModule(2, 0x2301, 1, 0, 1);
    link.scanSFP();
    ASSERT_EQ(link.deviceCount(), 2);
    log.clear();
    QSignalSpy spy(&link, &MailboxComm::nrTovashesChanged);
    bpmSelX = 1;

    nivraSimFailCall("getSFPinfo", -2);
    nivraSimFailCall("getBPMselector", -2);
    link.scanSFP();
    EXPECT_EQ(log.texts(), (QStringList{"getSFPinfo( 0 ) failed ", "getSFPinfo( 1 ) failed ",
                                        "getSFPinfo( 2 ) failed ", "getSFPinfo( 3 ) failed ",
                                        "getBPMselector() failed "}));
    for (const SfpRecord &r : link.sfpTable()) {
        EXPECT_EQ(+r.deviceId, 0);
        EXPECT_EQ(+r.serialNumber, 0u);
    }
    EXPECT_EQ(link.deviceCount(), 0);
    EXPECT_EQ(counts(spy), (QList<int>{0, 0}));
    // A failed selector read keeps the loop sources.
    EXPECT_EQ(int(bpmSelX), 1);
}

TEST_F(StatusPolling, RefreshReadsStatisticsAndStatusWithoutLogging)
{
    LogCapture log;
    nivraSimSetSfpModule(0, 0x2101, 1, 0, 1);
    nivraSimAdvance(2.0);
    link.refreshData();
    EXPECT_EQ(SimCallLog::callsTo("getSFPinfo").size(), 4);
    EXPECT_EQ(SimCallLog::callsTo("getBPMStats").size(), 1);
    EXPECT_EQ(SimCallLog::callsTo("getPIDstatus").size(), 1);
    EXPECT_EQ(int(link.pidStatus), ::getPIDstatus());

    const BpmStats first = link.bpmStatsSnapshot();
    log.clear();

    // Failed reads: the status word keeps the negative value, the statistics block
    // stays as it was, nothing is logged.
    nivraSimFailCall("getPIDstatus", -11);
    nivraSimFailCall("getBPMStats", -12);
    nivraSimAdvance(2.0);
    link.refreshData();
    EXPECT_EQ(int(link.pidStatus), -11);
    const BpmStats kept = link.bpmStatsSnapshot();
    EXPECT_EQ(std::memcmp(&first, &kept, sizeof first), 0);
    EXPECT_TRUE(log.texts().isEmpty());

    // A block the library fills is taken whole.
    nivraSimClearFaults();
    LibraryHooks::setStatsFiller([](void *block) {
        auto *stats = static_cast<BpmStats *>(block);
        for (int i = 0; i < 19; ++i)
            stats->values[i] = 100 + i;
        return 0;
    });
    link.refreshData();
    const BpmStats fresh = link.bpmStatsSnapshot();
    EXPECT_EQ(fresh.xMean(0), 101);
    EXPECT_EQ(fresh.yStd100Hz(1), 115);
}

TEST_F(StatusPolling, StartsOnItsOwnThreadAndPollsEverySecond)
{
    nivraSimUseManualClock(0);
    nivraSimSetSfpModule(0, 0x2101, 1, 0, 1);
    nivraSimClearCallLog();

    QThread linkThread;
    QPointer<MailboxComm> polled = new MailboxComm;
    polled->setupThread(&linkThread);
    EXPECT_EQ(polled->thread, &linkThread);
    polled->moveToThread(&linkThread);
    QObject::connect(&linkThread, &QThread::started, polled, &MailboxComm::doSetupOnNewThread);
    // Received on this thread, so the list is only touched here.
    QObject receiver;
    QList<int> announced;
    QObject::connect(polled.data(), &MailboxComm::nrTovashesChanged, &receiver,
                     [&announced](int count) {
                         EXPECT_EQ(QThread::currentThread(), qApp->thread());
                         announced.append(count);
                     });
    linkThread.start();

    // refreshData first (scan, statistics, status), then the set-up's own scan.
    ASSERT_TRUE(waitFor([] { return nivraSimCallCount("getSFPinfo") >= 8; }));
    QStringList sequence;
    for (const QString &line : SimCallLog::lines())
        sequence.append(line.section(QLatin1Char('('), 0, 0));
    const QStringList expected = {"getSFPinfo",   "getSFPinfo", "getSFPinfo", "getSFPinfo",
                                  "getBPMselector", "getBPMStats", "getPIDstatus", "getSFPinfo",
                                  "getSFPinfo",   "getSFPinfo", "getSFPinfo"};
    EXPECT_EQ(sequence.mid(0, expected.size()), expected);
    EXPECT_EQ(LibraryHooks::lastStatsThread(), &linkThread);

    // The timer lives on the link thread and drives further refreshes, a second
    // apart (a coarse timer may fire up to 5 % early).
    ASSERT_TRUE(waitFor([] { return LibraryHooks::statsCalls() >= 2; }));
    EXPECT_EQ(LibraryHooks::lastStatsThread(), &linkThread);
    const QList<qint64> times = LibraryHooks::statsCallTimes();
    EXPECT_GE(times.at(1) - times.at(0), 900);
    // The first scan's change reached this thread queued.
    ASSERT_TRUE(waitFor([&] { return !announced.isEmpty(); }));
    EXPECT_EQ(announced.first(), 1);

    // finished() ends the thread and deletes the object.
    QMetaObject::invokeMethod(polled, [p = polled.data()] { emit p->finished(); });
    ASSERT_TRUE(waitFor([&] { return linkThread.isFinished() && polled.isNull(); }));
    linkThread.wait();
}

TEST_F(StatusPolling, ReadersNeverSeeHalfOfARefreshedBlock)
{
    // Each statistics block the library delivers holds one number in all 19 places,
    // written slowly, one double at a time; an SFP table holds one serial number on
    // all four ports. A reader must only ever see uniform blocks.
    std::atomic<int> generation{0};
    LibraryHooks::setStatsFiller([&generation](void *block) {
        auto *values = static_cast<double *>(block);
        const double v = ++generation;
        for (int i = 0; i < 19; ++i) {
            values[i] = v;
            std::this_thread::yield();
        }
        return 0;
    });

    std::atomic<bool> done{false};
    std::thread poller([&] {
        for (int round = 0; round < 400; ++round) {
            const std::uint32_t serial = 1 + round % 2;
            for (int port = 0; port < 4; ++port)
                nivraSimSetSfpModule(port, 0x2101, 1, 0, serial);
            link.refreshData();
        }
        done = true;
    });

    int torn = 0, reads = 0;
    while (!done) {
        const BpmStats stats = link.bpmStatsSnapshot();
        for (int i = 1; i < 19; ++i)
            torn += stats.values[i] != stats.values[0];
        const MailboxComm::SfpTable table = link.sfpTable();
        for (int port = 1; port < 4; ++port)
            torn += table[port].serialNumber != table[0].serialNumber;
        ++reads;
    }
    poller.join();
    EXPECT_EQ(torn, 0) << "in " << reads << " reads";
    EXPECT_EQ(link.bpmStatsSnapshot().values[18], double(generation));
}
