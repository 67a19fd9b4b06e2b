// Cost on the GUI thread of one message reaching the log window when it already
// holds 100, 1,000 or 10,000 rows: the model's insertion, the filter and the view's
// layout. The window stays hidden, as in a run where the operator never opens it.
// A controller that keeps failing adds four lines a second for hours, so this must
// not grow with the rows already there.

#include "Window.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>

using namespace Logging;

namespace {

LogMessage warnLine(int i)
{
    return LogMessage(QStringLiteral("getPIDstatus() failed %1").arg(i),
                      QDateTime::currentDateTimeUtc(), WarnLevel);
}

void BM_LogWindowMessage(benchmark::State &state)
{
    Window window;
    const int rows = static_cast<int>(state.range(0));
    for (int i = 0; i < rows; ++i)
        window.addLogMessage(warnLine(i));
    QCoreApplication::processEvents();

    int i = rows;
    for (auto _ : state) {
        window.addLogMessage(warnLine(i++));
        // The view lays out the new row from a posted event.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

// Few iterations, so that the window stays near its starting size while measured.
BENCHMARK(BM_LogWindowMessage)->Arg(100)->Arg(1000)->Arg(10000)->Iterations(100)
    ->Unit(benchmark::kMicrosecond);
