// The logger core: levels and their texts, log lines, call-site statements, the
// writer thread's ordering and shutdown, and the destination list.

#include "Logger.h"
#include "LoggingTestSupport.h"

#include <QMetaType>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <map>
#include <thread>

using namespace Logging;
using LoggingTest::Record;
using LoggingTest::RecordingDestination;
using LoggingTest::waitFor;

namespace {

// Adds a recorder to the process-wide logger for one test and takes it out again,
// restoring the threshold.
class LoggerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedLevel = Logger::instance().level();
        Logger::instance().addDestination(
            std::make_unique<RecordingDestination>(record, QStringLiteral("test-recorder")));
    }
    void TearDown() override
    {
        // Let what this test logged drain before the recorder goes.
        Logger::instance().setLevel(InfoLevel);
        LOG_INFO() << "fixture-end";
        waitFor([this] {
            auto all = record.snapshot();
            return !all.empty() && all.back().message() == QStringLiteral("fixture-end ");
        });
        Logger::instance().removeDestination(QStringLiteral("test-recorder"));
        Logger::instance().setLevel(m_savedLevel);
    }

    // Logs a marker at Fatal and waits until it has come through: everything logged
    // before it has then been dispatched.
    std::vector<LogMessage> drain()
    {
        const Level saved = Logger::instance().level();
        Logger::instance().setLevel(TraceLevel);
        LOG_FATAL() << "drain-marker";
        Logger::instance().setLevel(saved);
        EXPECT_TRUE(waitFor([this] {
            auto all = record.snapshot();
            return !all.empty() && all.back().message() == QStringLiteral("drain-marker ");
        }));
        auto all = record.snapshot();
        all.pop_back();
        return all;
    }

    Record record;
    Level m_savedLevel = InfoLevel;
};

LogMessage messageAt(const QString &text, Level level, const QDateTime &local)
{
    return LogMessage(text, local.toUTC(), level);
}

} // namespace

TEST(LogLevel, TextsAndDisplayNames)
{
    EXPECT_STREQ(levelText(TraceLevel), "TRACE");
    EXPECT_STREQ(levelText(DebugLevel), "DEBUG");
    EXPECT_STREQ(levelText(InfoLevel), "INFO ");
    EXPECT_STREQ(levelText(WarnLevel), "WARN ");
    EXPECT_STREQ(levelText(ErrorLevel), "ERROR");
    EXPECT_STREQ(levelText(FatalLevel), "FATAL");
    EXPECT_STREQ(levelText(OffLevel), "");
    EXPECT_STREQ(levelText(-1), "INFO ");
    EXPECT_STREQ(levelText(7), "INFO ");

    const char *names[] = {"Trace", "Debug", "Info", "Warning", "Error", "Fatal"};
    for (int level = 0; level <= 5; ++level)
        EXPECT_EQ(levelDisplayName(level), QString::fromLatin1(names[level]));
    EXPECT_TRUE(levelDisplayName(OffLevel).isEmpty());
    EXPECT_TRUE(levelDisplayName(-1).isEmpty());
    EXPECT_TRUE(levelDisplayName(42).isEmpty());
}

TEST(LogLevel, LevelFromTextTakesTheFirstMatchingPrefix)
{
    bool ok = false;
    const LogMessage line = messageAt(QStringLiteral("Started logger "), InfoLevel,
                                      QDateTime::currentDateTime());
    EXPECT_EQ(Logger::levelFromText(line.formatted(), &ok), InfoLevel);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Logger::levelFromText(QStringLiteral("WARN x"), &ok), WarnLevel);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Logger::levelFromText(QStringLiteral("FATAL"), &ok), FatalLevel);
    EXPECT_TRUE(ok);

    for (const char *text : {"INFO", "info x", "WARNING", "", " TRACE", "Trace"}) {
        ok = true;
        EXPECT_EQ(Logger::levelFromText(QString::fromLatin1(text), &ok), OffLevel) << text;
        EXPECT_FALSE(ok) << text;
    }
    // The flag is optional.
    EXPECT_EQ(Logger::levelFromText(QStringLiteral("ERROR!"), nullptr), ErrorLevel);
    EXPECT_EQ(Logger::levelFromText(QStringLiteral("nothing")), OffLevel);
}

TEST(LogMessageFormat, LineHoldsLevelLocalTimeAndMessage)
{
    const QDateTime local(QDate(2024, 3, 5), QTime(14, 7, 9, 42), QTimeZone::systemTimeZone());
    const LogMessage info = messageAt(QStringLiteral("Started logger "), InfoLevel, local);
    EXPECT_EQ(info.formatted(), QStringLiteral("INFO  2024-03-05T14:07:09.042 Started logger "));
    EXPECT_EQ(info.message(), QStringLiteral("Started logger "));
    EXPECT_EQ(info.level(), InfoLevel);
    EXPECT_EQ(info.time(), local.toUTC());

    // Placeholders inside the message stay as they are.
    const LogMessage odd = messageAt(QStringLiteral("50%1 done %3 %2"), ErrorLevel, local);
    EXPECT_EQ(odd.formatted(), QStringLiteral("ERROR 2024-03-05T14:07:09.042 50%1 done %3 %2"));

    const LogMessage empty;
    EXPECT_TRUE(empty.message().isEmpty());
    EXPECT_TRUE(empty.formatted().isEmpty());
    EXPECT_FALSE(empty.time().isValid());
    EXPECT_EQ(empty.level(), TraceLevel);
}

TEST(LogMessageFormat, TimeTextMatchesQtsLocalTimeAcrossZonesAndYears)
{
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    QRandomGenerator random(7);
    for (const char *zone : {"", "Europe/Prague", "America/Sao_Paulo", "Asia/Kolkata", "Pacific/Chatham"}) {
        if (*zone)
            qputenv("TZ", zone);
        else if (hadTz)
            qputenv("TZ", savedTz);
        else
            qunsetenv("TZ");
        tzset();
        if (QByteArray(zone) == "Asia/Kolkata") {
            const LogMessage epoch(QString(), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC), InfoLevel);
            EXPECT_EQ(epoch.formatted(), QStringLiteral("INFO  1970-01-01T05:30:00.000 "));
        }
        for (int i = 0; i < 2000; ++i) {
            // 1950 to 2100, millisecond resolution, pre-1970 included.
            const qint64 ms = -631152000000LL + qint64(random.bounded(4733510400.0) * 1000.0);
            const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
            const QString expected = utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss.zzz"));
            const LogMessage m(QStringLiteral("x"), utc, DebugLevel);
            ASSERT_EQ(m.formatted(), QStringLiteral("DEBUG ") + expected + QStringLiteral(" x"))
                << zone << " " << ms;
        }
    }
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    tzset();
}

TEST(LogMessageFormat, RegisteredForQueuedConnections)
{
    Logger::instance();
    const QMetaType type = QMetaType::fromName("Logging::LogMessage");
    ASSERT_TRUE(type.isValid());
    EXPECT_EQ(type, QMetaType::fromType<LogMessage>());

    const LogMessage original(QStringLiteral("m"), QDateTime::currentDateTimeUtc(), WarnLevel);
    const QVariant carried = QVariant::fromValue(original);
    EXPECT_EQ(carried.value<LogMessage>().formatted(), original.formatted());
}

TEST_F(LoggerFixture, ThresholdDecidesBeforeAnyFormatting)
{
    int evaluated = 0;
    auto item = [&evaluated] {
        ++evaluated;
        return 1;
    };

    Logger::instance().setLevel(InfoLevel);
    EXPECT_EQ(Logger::instance().level(), InfoLevel);
    LOG_TRACE() << "trace" << item();
    LOG_DEBUG() << "debug" << item();
    EXPECT_EQ(evaluated, 0);
    LOG_INFO() << "info" << item();
    LOG_WARN() << "warn" << item();
    EXPECT_EQ(evaluated, 2);

    Logger::instance().setLevel(OffLevel);
    LOG_FATAL() << "fatal" << item();
    EXPECT_EQ(evaluated, 2);

    Logger::instance().setLevel(TraceLevel);
    LOG_TRACE() << "trace2";

    const auto got = drain();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message(), QStringLiteral("info 1 "));
    EXPECT_EQ(got[0].level(), InfoLevel);
    EXPECT_EQ(got[1].message(), QStringLiteral("warn 1 "));
    EXPECT_EQ(got[1].level(), WarnLevel);
    EXPECT_EQ(got[2].level(), TraceLevel);
}

TEST_F(LoggerFixture, StatementsSpaceEveryItemAndDoNotQuote)
{
    Logger::instance().setLevel(DebugLevel);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    LOG_INFO() << "Started logger";
    LOG_WARN() << "getSFPinfo(" << 2 << ") failed";
    LOG_DEBUG() << QStringLiteral("text") << QByteArray("bytes") << -7 << 1.5;
    // A call site under an unbraced if/else binds as it reads.
    bool flag = false;
    if (flag)
        LOG_ERROR() << "not taken";
    else
        LOG_ERROR() << "taken";

    const auto got = drain();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message(), QStringLiteral("Started logger "));
    EXPECT_EQ(got[1].message(), QStringLiteral("getSFPinfo( 2 ) failed "));
    EXPECT_EQ(got[2].message(), QStringLiteral("text bytes -7 1.5 "));
    EXPECT_EQ(got[3].message(), QStringLiteral("taken "));
    EXPECT_EQ(got[0].time().timeSpec(), Qt::UTC);
    EXPECT_GE(got[0].time(), before);
    EXPECT_LE(got[0].time(), QDateTime::currentDateTimeUtc());
}

TEST_F(LoggerFixture, ThreadsLoggingAtOnceKeepEachThreadsOrder)
{
    Logger::instance().setLevel(InfoLevel);
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                LOG_INFO() << t << i;
        });
    }
    for (auto &w : workers)
        w.join();

    const auto got = drain();
    ASSERT_EQ(got.size(), std::size_t(threads * perThread));
    std::map<int, int> next;
    for (const auto &m : got) {
        const QStringList parts = m.message().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_EQ(parts.size(), 2);
        const int t = parts[0].toInt();
        const int i = parts[1].toInt();
        EXPECT_EQ(i, next[t]) << "thread " << t;
        next[t] = i + 1;
    }
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(next[t], perThread);
}

TEST(LoggerCoreLifecycle, StopWithEmptyQueueReturnsAndIsIdempotent)
{
    Record record;
    LoggerCore core;
    core.addDestination(std::make_unique<RecordingDestination>(record));
    EXPECT_TRUE(waitFor([&core] { return core.thread().isRunning(); }));
    EXPECT_EQ(core.thread().priority(), QThread::LowPriority);
    core.thread().stop();
    EXPECT_TRUE(core.thread().isFinished());
    core.thread().stop();   // nothing left to stop
    EXPECT_EQ(record.count(), 0u);
}

TEST(LoggerCoreLifecycle, StopDropsWhatIsStillQueued)
{
    Record record;
    QSemaphore entered;
    QSemaphore release;
    auto core = std::make_unique<LoggerCore>();
    auto blocking = std::make_unique<RecordingDestination>(record);
    blocking->onWrite = [&](const LogMessage &) {
        entered.release();
        release.acquire();
    };
    core->addDestination(std::move(blocking));

    const QDateTime now = QDateTime::currentDateTimeUtc();
    core->thread().enqueue(LogMessage(QStringLiteral("first"), now, InfoLevel));
    ASSERT_TRUE(entered.tryAcquire(1, 5000));   // the writer holds message 1
    for (int i = 0; i < 10; ++i)
        core->thread().enqueue(LogMessage(QString::number(i), now, InfoLevel));
    EXPECT_EQ(core->thread().queuedCount(), 10u);

    std::thread stopper([&core] { core->thread().stop(); });
    ASSERT_TRUE(waitFor([&core] { return core->thread().isInterruptionRequested(); }));
    release.release(100);
    stopper.join();

    EXPECT_TRUE(core->thread().isFinished());
    ASSERT_EQ(record.count(), 1u);
    EXPECT_EQ(record.snapshot().front().message(), QStringLiteral("first"));
    core.reset();   // drops the queued ten with the thread object
    EXPECT_EQ(record.count(), 1u);
}

TEST(LoggerCoreLifecycle, DestinationsDeletedInListOrderAfterTheWriterStops)
{
    Record record;
    {
        LoggerCore core;
        core.addDestination(std::make_unique<RecordingDestination>(record, QStringLiteral("r"),
                                                                   QStringLiteral("a")));
        core.addDestination(std::make_unique<RecordingDestination>(record, QStringLiteral("r"),
                                                                   QStringLiteral("b")));
        core.addDestination(nullptr);   // ignored
    }
    ASSERT_EQ(record.destroyed.size(), 2u);
    EXPECT_EQ(record.destroyed[0], QStringLiteral("a"));
    EXPECT_EQ(record.destroyed[1], QStringLiteral("b"));
}

TEST(LoggerCoreLifecycle, WriterDispatchesToEveryDestinationInOrder)
{
    Record first;
    Record second;
    LoggerCore core;
    std::vector<QString> order;
    QMutex orderMutex;
    auto a = std::make_unique<RecordingDestination>(first);
    a->onWrite = [&](const LogMessage &) {
        QMutexLocker l(&orderMutex);
        order.push_back(QStringLiteral("a"));
    };
    auto b = std::make_unique<RecordingDestination>(second);
    b->onWrite = [&](const LogMessage &) {
        QMutexLocker l(&orderMutex);
        order.push_back(QStringLiteral("b"));
    };
    core.addDestination(std::move(a));
    core.addDestination(std::move(b));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    core.thread().enqueue(LogMessage(QStringLiteral("1"), now, InfoLevel));
    core.thread().enqueue(LogMessage(QStringLiteral("2"), now, InfoLevel));
    ASSERT_TRUE(waitFor([&] { return second.count() == 2; }));
    QMutexLocker l(&orderMutex);
    EXPECT_EQ(order, (std::vector<QString>{"a", "b", "a", "b"}));
    EXPECT_EQ(first.snapshot()[1].message(), QStringLiteral("2"));
}

TEST(LoggerCoreDestinations, AddRemoveAndHasByExactType)
{
    Record record;
    LoggerCore core;
    auto one = std::make_unique<RecordingDestination>(record, QStringLiteral("twin"));
    auto two = std::make_unique<RecordingDestination>(record, QStringLiteral("twin"));
    auto other = std::make_unique<RecordingDestination>(record, QStringLiteral("other"));
    Destination *firstTwin = one.get();
    Destination *secondTwin = two.get();
    core.addDestination(std::move(one));
    core.addDestination(std::move(other));
    core.addDestination(std::move(two));

    EXPECT_TRUE(core.hasDestination("twin"));
    EXPECT_TRUE(core.hasDestination("other"));
    EXPECT_FALSE(core.hasDestination("Twin"));
    EXPECT_FALSE(core.hasDestination("twi"));

    EXPECT_EQ(core.removeDestination(QStringLiteral("absent")), nullptr);
    EXPECT_EQ(core.removeDestination(QStringLiteral("TWIN")), nullptr);

    auto removed = core.removeDestination(QStringLiteral("twin"));
    EXPECT_EQ(removed.get(), firstTwin);
    EXPECT_TRUE(core.hasDestination("twin"));
    removed = core.removeDestination(QStringLiteral("twin"));
    EXPECT_EQ(removed.get(), secondTwin);
    EXPECT_FALSE(core.hasDestination("twin"));
    EXPECT_TRUE(core.hasDestination("other"));

    // A removed destination no longer receives anything.
    core.thread().enqueue(LogMessage(QStringLiteral("x"), QDateTime::currentDateTimeUtc(), InfoLevel));
    ASSERT_TRUE(waitFor([&] { return record.count() == 1; }));
    QThread::msleep(20);
    EXPECT_EQ(record.count(), 1u);
}

TEST(LoggerCoreDestinations, ProcessLoggerHandsBackWhatItWasGiven)
{
    Record record;
    auto mine = std::make_unique<RecordingDestination>(record, QStringLiteral("handed-back"));
    Destination *raw = mine.get();
    EXPECT_FALSE(Logger::instance().hasDestination("handed-back"));
    Logger::instance().addDestination(std::move(mine));
    EXPECT_TRUE(Logger::instance().hasDestination("handed-back"));
    auto back = Logger::instance().removeDestination(QStringLiteral("handed-back"));
    EXPECT_EQ(back.get(), raw);
    EXPECT_FALSE(Logger::instance().hasDestination("handed-back"));
}
