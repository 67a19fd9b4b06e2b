// The logger core: level texts, log lines, call-site statements, the writer's
// ordering and shutdown, and the destination list.

#include "Logger.h"
#include "LoggingTestSupport.h"

#include <QSemaphore>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <thread>

using namespace Logging;
using namespace LoggingTest;

namespace {

LogMessage make(const QString &text, Level level = InfoLevel)
{
    return LogMessage(text, QDateTime::currentDateTimeUtc(), level);
}

// A recorder on the process-wide logger for one test; the threshold is restored.
class ProcessLogger : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = Logger::instance().level();
        Logger::instance().addDestination(std::make_unique<RecordingDestination>(record, "test-recorder"));
    }
    void TearDown() override
    {
        drain();
        EXPECT_NE(Logger::instance().removeDestination("test-recorder"), nullptr);
        Logger::instance().setLevel(saved);
    }
    // Everything logged so far, once a Fatal marker has come through behind it.
    std::vector<LogMessage> drain()
    {
        Logger::instance().setLevel(TraceLevel);
        LOG_FATAL() << "marker";
        EXPECT_TRUE(waitFor([this] {
            auto all = record.snapshot();
            return !all.empty() && all.back().message() == "marker ";
        }));
        QMutexLocker lock(&record.mutex);
        auto all = std::move(record.messages);
        record.messages.clear();
        all.pop_back();
        return all;
    }
    Record record;
    Level saved = InfoLevel;
};

} // namespace

TEST(LogLevel, TextsNamesAndParsing)
{
    const char *texts[] = {"TRACE", "DEBUG", "INFO ", "WARN ", "ERROR", "FATAL", ""};
    const char *names[] = {"Trace", "Debug", "Info", "Warning", "Error", "Fatal", ""};
    for (int level = 0; level <= 6; ++level) {
        EXPECT_STREQ(levelText(level), texts[level]);
        EXPECT_EQ(levelDisplayName(level), QLatin1String(names[level]));
    }
    EXPECT_STREQ(levelText(-1), "INFO ");
    EXPECT_STREQ(levelText(7), "INFO ");
    EXPECT_TRUE(levelDisplayName(-1).isEmpty());

    bool ok = false;
    EXPECT_EQ(Logger::levelFromText(make("x").formatted(), &ok), InfoLevel);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Logger::levelFromText("WARN x", &ok), WarnLevel);
    EXPECT_EQ(Logger::levelFromText("FATAL"), FatalLevel);   // flag optional
    for (const char *text : {"INFO", "info x", "WARNING", "", " TRACE"}) {
        ok = true;
        EXPECT_EQ(Logger::levelFromText(text, &ok), OffLevel) << text;
        EXPECT_FALSE(ok) << text;
    }
}

TEST(LogMessageFormat, LineLevelLocalTimeAndMessage)
{
    const QDateTime local(QDate(2024, 3, 5), QTime(14, 7, 9, 42), QTimeZone::systemTimeZone());
    const LogMessage info("Started logger ", local.toUTC(), InfoLevel);
    EXPECT_EQ(info.formatted(), "INFO  2024-03-05T14:07:09.042 Started logger ");
    // Placeholders inside the message stay.
    EXPECT_EQ(LogMessage("50%1 done %3 %2", local.toUTC(), ErrorLevel).formatted(),
              "ERROR 2024-03-05T14:07:09.042 50%1 done %3 %2");

    const LogMessage empty;
    EXPECT_TRUE(empty.formatted().isEmpty());
    EXPECT_FALSE(empty.time().isValid());
    EXPECT_EQ(empty.level(), TraceLevel);

    Logger::instance();
    EXPECT_EQ(QMetaType::fromName("Logging::LogMessage"), QMetaType::fromType<LogMessage>());
}

TEST(LogMessageFormat, TimeIsWrittenInTheLocalZoneIncludingDaylightSaving)
{
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    const QByteArray savedTz = qgetenv("TZ");
    auto lineAt = [](const char *zone, const QDateTime &utc) {
        qputenv("TZ", zone);
        tzset();
        return LogMessage("x", utc, DebugLevel).formatted();
    };
    auto utc = [](int y, int mo, int d, int h, int mi, int s, int ms) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    // Prague: winter +1, summer +2; clocks go forward at 01:00 UTC on 31 March 2024
    // and back at 01:00 UTC on 27 October 2024.
    EXPECT_EQ(lineAt("Europe/Prague", utc(2024, 1, 15, 23, 30, 0, 5)), "DEBUG 2024-01-16T00:30:00.005 x");
    EXPECT_EQ(lineAt("Europe/Prague", utc(2024, 3, 31, 0, 59, 59, 999)), "DEBUG 2024-03-31T01:59:59.999 x");
    EXPECT_EQ(lineAt("Europe/Prague", utc(2024, 3, 31, 1, 0, 0, 0)), "DEBUG 2024-03-31T03:00:00.000 x");
    EXPECT_EQ(lineAt("Europe/Prague", utc(2024, 10, 27, 0, 59, 59, 999)), "DEBUG 2024-10-27T02:59:59.999 x");
    EXPECT_EQ(lineAt("Europe/Prague", utc(2024, 10, 27, 1, 0, 0, 0)), "DEBUG 2024-10-27T02:00:00.000 x");
    EXPECT_EQ(lineAt("Pacific/Chatham", utc(1970, 1, 1, 0, 0, 0, 0)), "DEBUG 1970-01-01T12:45:00.000 x");
    hadTz ? qputenv("TZ", savedTz) : qunsetenv("TZ");
    tzset();
}

TEST_F(ProcessLogger, ThresholdIsTestedBeforeAnyFormatting)
{
    int evaluated = 0;
    auto item = [&evaluated] { return ++evaluated; };

    Logger::instance().setLevel(InfoLevel);
    LOG_TRACE() << item();
    LOG_DEBUG() << item();
    EXPECT_EQ(evaluated, 0);
    LOG_INFO() << "info";
    LOG_WARN() << item();
    EXPECT_EQ(evaluated, 1);
    Logger::instance().setLevel(OffLevel);
    LOG_FATAL() << item();
    EXPECT_EQ(evaluated, 1);

    const auto got = drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].level(), InfoLevel);
    EXPECT_EQ(got[1].level(), WarnLevel);
}

TEST_F(ProcessLogger, StatementsSpaceEveryItemAndDoNotQuote)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    Logger::instance().setLevel(DebugLevel);
    LOG_INFO() << "Started logger";
    LOG_WARN() << "getSFPinfo(" << 2 << ") failed";
    LOG_DEBUG() << QString("text") << QByteArray("bytes") << -7 << 1.5;
    if (before.isNull())   // an unbraced if/else binds as it reads
        LOG_ERROR() << "not taken";
    else
        LOG_ERROR() << "taken";

    const auto got = drain();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message(), "Started logger ");
    EXPECT_EQ(got[1].message(), "getSFPinfo( 2 ) failed ");
    EXPECT_EQ(got[2].message(), "text bytes -7 1.5 ");
    EXPECT_EQ(got[3].message(), "taken ");
    EXPECT_EQ(got[0].time().timeSpec(), Qt::UTC);
    EXPECT_GE(got[0].time(), before);
}

TEST_F(ProcessLogger, ThreadsLoggingAtOnceKeepEachThreadsOrder)
{
    Logger::instance().setLevel(InfoLevel);
    constexpr int threads = 4, perThread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                LOG_INFO() << t << i;
        });
    for (auto &w : workers)
        w.join();

    const auto got = drain();
    ASSERT_EQ(got.size(), std::size_t(threads * perThread));
    std::map<int, int> next;
    for (const auto &m : got) {
        const QStringList parts = m.message().split(' ', Qt::SkipEmptyParts);
        ASSERT_EQ(parts.size(), 2);
        EXPECT_EQ(parts[1].toInt(), next[parts[0].toInt()]++);
    }
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(next[t], perThread);
}

TEST(LoggerShutdown, StopReturnsAtOnceWithAnEmptyQueue)
{
    LoggerCore core;
    ASSERT_TRUE(waitFor([&core] { return core.thread().isRunning(); }));
    EXPECT_EQ(core.thread().priority(), QThread::LowPriority);
    core.thread().stop();
    EXPECT_TRUE(core.thread().isFinished());
    core.thread().stop();   // already finished: nothing to do
}

TEST(LoggerShutdown, StopDropsQueuedMessagesThenDestinationsGoInListOrder)
{
    Record record;
    QSemaphore entered, release;
    auto core = std::make_unique<LoggerCore>();
    auto blocking = std::make_unique<RecordingDestination>(record, "r", "a");
    blocking->onWrite = [&](const LogMessage &) {
        entered.release();
        release.acquire();
    };
    core->addDestination(std::move(blocking));
    core->addDestination(std::make_unique<RecordingDestination>(record, "r", "b"));
    core->addDestination(nullptr);   // ignored

    core->thread().enqueue(make("first"));
    ASSERT_TRUE(entered.tryAcquire(1, 5000));   // the writer is inside message 1
    for (int i = 0; i < 10; ++i)
        core->thread().enqueue(make(QString::number(i)));

    std::thread stopper([&core] { core->thread().stop(); });
    ASSERT_TRUE(waitFor([&core] { return core->thread().isInterruptionRequested(); }));
    release.release(100);
    stopper.join();
    EXPECT_EQ(core->thread().queuedCount(), 10u);
    core.reset();

    ASSERT_EQ(record.messages.size(), 2u);   // message 1 to both, nothing after it
    EXPECT_EQ(record.messages[1].message(), "first");
    EXPECT_EQ(record.destroyed, (std::vector<QString>{"a", "b"}));
}

TEST(LoggerDestinations, AddRemoveAndHasByExactType)
{
    Record record;
    LoggerCore core;
    auto one = std::make_unique<RecordingDestination>(record, "twin");
    auto two = std::make_unique<RecordingDestination>(record, "twin");
    Destination *first = one.get(), *second = two.get();
    core.addDestination(std::move(one));
    core.addDestination(std::make_unique<RecordingDestination>(record, "other"));
    core.addDestination(std::move(two));

    EXPECT_TRUE(core.hasDestination("twin"));
    EXPECT_FALSE(core.hasDestination("Twin"));
    EXPECT_FALSE(core.hasDestination("twi"));
    EXPECT_EQ(core.removeDestination("absent"), nullptr);
    EXPECT_EQ(core.removeDestination("TWIN"), nullptr);
    EXPECT_EQ(core.removeDestination("twin").get(), first);
    EXPECT_TRUE(core.hasDestination("twin"));
    EXPECT_EQ(core.removeDestination("twin").get(), second);
    EXPECT_FALSE(core.hasDestination("twin"));

    // Only "other" is left to write to.
    core.thread().enqueue(make("x"));
    ASSERT_TRUE(waitFor([&] { return record.snapshot().size() == 1; }));
    QThread::msleep(20);
    EXPECT_EQ(record.snapshot().size(), 1u);
}

// Early lines go, newest last, to the log window's destination only.
TEST(EarlyLines, KeptBoundedAndHandedOnlyToTheLogWindowsDestination)
{
    Record console, window, second;
    LoggerCore core;
    const std::size_t n = LoggerCore::EarlyLineLimit + 5;
    for (std::size_t i = 0; i < n; ++i)
        core.dispatch(make(QString::number(i)));
    core.addDestination(std::make_unique<RecordingDestination>(console, "console"));
    core.addDestination(std::make_unique<RecordingDestination>(window, "functor"), EarlierLines::HandOver);
    core.addDestination(std::make_unique<RecordingDestination>(second, "functor"), EarlierLines::HandOver);
    EXPECT_TRUE(console.snapshot().empty() && second.snapshot().empty());
    const auto got = window.snapshot();
    ASSERT_EQ(got.size(), LoggerCore::EarlyLineLimit + 1);
    EXPECT_EQ(got[0].message() + got[1].message() + got.back().message(),
              "5 earlier log lines were not kept5" + QString::number(n - 1));
}
