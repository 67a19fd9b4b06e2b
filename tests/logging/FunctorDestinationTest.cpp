// Functor and console destinations: the function sees every level, the signal only
// levels above Trace, and a queued delivery to another thread arrives intact.

#include "DestinationFactory.h"
#include "Logger.h"
#include "LoggingTestSupport.h"
#include "Window.h"

#include <QMutex>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using namespace Logging;
using LoggingTest::StderrCapture;
using LoggingTest::waitFor;

namespace {

std::vector<LogMessage> g_functionSeen;

void remember(const LogMessage &message)
{
    g_functionSeen.push_back(message);
}

} // namespace

// Lives on a thread of its own and notes what reaches its slot, and where.
class ThreadedReceiver : public QObject
{
    Q_OBJECT
public:
    QMutex mutex;
    std::vector<LogMessage> seen;
    std::vector<QThread *> threads;

    std::vector<LogMessage> snapshot()
    {
        QMutexLocker lock(&mutex);
        return seen;
    }

public slots:
    void take(const Logging::LogMessage &message)
    {
        QMutexLocker lock(&mutex);
        seen.push_back(message);
        threads.push_back(QThread::currentThread());
    }
};

TEST(FunctorDestination, FunctionSeesTraceButTheSignalDoesNot)
{
    g_functionSeen.clear();
    auto d = makeFunctorDestination(&remember);
    EXPECT_EQ(d->type(), QStringLiteral("functor"));
    EXPECT_TRUE(d->isValid());
    auto *functor = dynamic_cast<FunctorDestination *>(d.get());
    ASSERT_NE(functor, nullptr);
    EXPECT_EQ(functor->parent(), nullptr);
    QSignalSpy spy(functor, &FunctorDestination::logMessageReady);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    d->write(LogMessage(QStringLiteral("t"), now, TraceLevel));
    d->write(LogMessage(QStringLiteral("d"), now, DebugLevel));
    d->write(LogMessage(QStringLiteral("f"), now, FatalLevel));

    ASSERT_EQ(g_functionSeen.size(), 3u);
    EXPECT_EQ(g_functionSeen[0].level(), TraceLevel);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).value<LogMessage>().message(), QStringLiteral("d"));
    EXPECT_EQ(spy.at(1).at(0).value<LogMessage>().message(), QStringLiteral("f"));

    // Without a function only the signal carries messages.
    FunctorDestination bare;
    QSignalSpy bareSpy(&bare, &FunctorDestination::logMessageReady);
    bare.write(LogMessage(QStringLiteral("i"), now, InfoLevel));
    EXPECT_EQ(bareSpy.count(), 1);
}

TEST(FunctorDestination, QueuedDeliveryToAnotherThreadArrivesIntact)
{
    QThread worker;
    ThreadedReceiver receiver;
    receiver.moveToThread(&worker);
    worker.start();

    const Level saved = Logger::instance().level();
    Logger::instance().setLevel(TraceLevel);
    Logger::instance().addDestination(
        makeFunctorDestination(&receiver, SLOT(take(Logging::LogMessage))));
    ASSERT_TRUE(Logger::instance().hasDestination("functor"));

    const QDateTime before = QDateTime::currentDateTimeUtc();
    LOG_TRACE() << "never delivered";
    LOG_WARN() << "getSFPinfo(" << 2 << ") failed";
    LOG_INFO() << "last";
    ASSERT_TRUE(waitFor([&receiver] { return receiver.snapshot().size() >= 2; }));
    QThread::msleep(20);

    auto removed = Logger::instance().removeDestination(QStringLiteral("functor"));
    EXPECT_NE(removed, nullptr);
    Logger::instance().setLevel(saved);
    worker.quit();
    worker.wait();

    const auto seen = receiver.snapshot();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message(), QStringLiteral("getSFPinfo( 2 ) failed "));
    EXPECT_EQ(seen[0].level(), WarnLevel);
    EXPECT_GE(seen[0].time(), before);
    EXPECT_TRUE(seen[0].formatted().startsWith(QStringLiteral("WARN  ")));
    EXPECT_TRUE(seen[0].formatted().endsWith(QStringLiteral(" getSFPinfo( 2 ) failed ")));
    EXPECT_EQ(seen[1].message(), QStringLiteral("last "));
    for (QThread *t : receiver.threads)
        EXPECT_EQ(t, &worker);
}

TEST(FunctorDestination, StartUpWiringFeedsTheLogWindowExceptTrace)
{
    Window window;
    const Level saved = Logger::instance().level();
    Logger::instance().setLevel(TraceLevel);
    Logger::instance().addDestination(
        makeFunctorDestination(&window, SLOT(addLogMessage(Logging::LogMessage))));

    LOG_TRACE() << "trace line";
    LOG_DEBUG() << "debug line";
    LOG_INFO() << "Started logger";
    ASSERT_TRUE(waitFor([&window] { return window.model().rowCount() >= 2; }));
    QThread::msleep(20);
    QCoreApplication::processEvents();

    Logger::instance().removeDestination(QStringLiteral("functor"));
    Logger::instance().setLevel(saved);

    ASSERT_EQ(window.model().rowCount(), 2);
    EXPECT_EQ(window.model().at(0).message(), QStringLiteral("debug line "));
    EXPECT_EQ(window.model().at(1).message(), QStringLiteral("Started logger "));
}

TEST(ConsoleDestination, WritesTheLineAndALineFeedToStandardError)
{
    auto d = makeConsoleDestination();
    EXPECT_EQ(d->type(), QStringLiteral("console"));
    EXPECT_TRUE(d->isValid());
    const LogMessage m(QStringLiteral("to the console 100%1"), QDateTime::currentDateTimeUtc(), ErrorLevel);
    StderrCapture err;
    d->write(m);
    d->write(m);
    const QByteArray once = m.formatted().toLocal8Bit() + "\n";
    EXPECT_EQ(err.text(), once + once);
}

#include "FunctorDestinationTest.moc"
