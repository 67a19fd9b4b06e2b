// Functor and console destinations: the function sees every level, the signal only
// levels above Trace, and a queued delivery to the log window arrives intact.

#include "DestinationFactory.h"
#include "Logger.h"
#include "LoggingTestSupport.h"
#include "Window.h"

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

// The start-up wiring: the writer thread's emissions reach the log window's slot on
// this (the GUI) thread by a queued connection, intact and in order, Trace excepted.
TEST(FunctorDestination, QueuedDeliveryFeedsTheLogWindowExceptTrace)
{
    Window window;
    std::vector<QThread *> insertedOn;
    QObject::connect(&window.model(), &QAbstractItemModel::rowsInserted,
                     [&insertedOn] { insertedOn.push_back(QThread::currentThread()); });
    const Level saved = Logger::instance().level();
    Logger::instance().setLevel(TraceLevel);
    Logger::instance().addDestination(
        makeFunctorDestination(&window, SLOT(addLogMessage(Logging::LogMessage))));
    ASSERT_TRUE(Logger::instance().hasDestination("functor"));

    const QDateTime before = QDateTime::currentDateTimeUtc();
    LOG_TRACE() << "trace line";
    LOG_WARN() << "getSFPinfo(" << 2 << ") failed";
    LOG_INFO() << "Started logger";
    ASSERT_TRUE(waitFor([&window] { return window.model().rowCount() >= 2; }));
    QThread::msleep(20);
    QCoreApplication::processEvents();

    EXPECT_NE(Logger::instance().removeDestination(QStringLiteral("functor")), nullptr);
    Logger::instance().setLevel(saved);

    ASSERT_EQ(window.model().rowCount(), 2);
    const LogMessage warn = window.model().at(0);
    EXPECT_EQ(warn.message(), QStringLiteral("getSFPinfo( 2 ) failed "));
    EXPECT_EQ(warn.level(), WarnLevel);
    EXPECT_GE(warn.time(), before);
    EXPECT_TRUE(warn.formatted().startsWith(QStringLiteral("WARN  ")));
    EXPECT_TRUE(warn.formatted().endsWith(QStringLiteral(" getSFPinfo( 2 ) failed ")));
    EXPECT_EQ(window.model().at(1).message(), QStringLiteral("Started logger "));
    EXPECT_EQ(insertedOn, (std::vector<QThread *>(2, QThread::currentThread())));
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
