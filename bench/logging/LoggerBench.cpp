// Cost of a log statement on the calling thread: below the threshold (the level
// test alone) and at the threshold (formatting plus the locked push onto the
// writer's queue; no destination is installed, so the writer only drains).

#include "Logger.h"

#include <benchmark/benchmark.h>

#include <QThread>

#include <atomic>

using namespace Logging;

namespace {

std::atomic<bool> g_markerSeen{false};

void noteMarker(const LogMessage &message)
{
    if (message.message() == QLatin1String("drained "))
        g_markerSeen.store(true);
}

// Waits until the writer has taken everything queued so far, so that one run's
// backlog neither slows the next nor piles up memory.
void waitForEmptyQueue()
{
    g_markerSeen.store(false);
    Logger::instance().addDestination(makeFunctorDestination(&noteMarker));
    LOG_FATAL() << "drained";
    while (!g_markerSeen.load())
        QThread::msleep(1);
    Logger::instance().removeDestination(QStringLiteral("functor"));
}

void BM_BelowThreshold(benchmark::State &state)
{
    if (state.thread_index() == 0)
        Logger::instance().setLevel(InfoLevel);
    int i = 0;
    for (auto _ : state) {
        LOG_DEBUG() << "below threshold" << i;
        ++i;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AtThreshold(benchmark::State &state)
{
    if (state.thread_index() == 0)
        Logger::instance().setLevel(InfoLevel);
    int i = 0;
    for (auto _ : state) {
        LOG_INFO() << "getSFPinfo(" << i << ") failed";
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0)
        waitForEmptyQueue();
}

} // namespace

BENCHMARK(BM_BelowThreshold)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK(BM_AtThreshold)->Threads(1)->Threads(4)->UseRealTime();
