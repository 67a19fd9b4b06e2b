#pragma once
// Hooks in front of a few controller-library functions, for the cases the simulator
// cannot stage on its own: a failure on one setpoint axis only, chosen version words,
// a statistics block that is filled slowly, the thread a call comes from. The test
// program defines these functions itself, so the device link links against them;
// without a hook set they forward to the simulator unchanged.

#include <QList>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>

namespace LibraryHooks {

// Clears every hook.
void reset();

// setSetpoint2 / getSetpoint2 on `axis` return `result` without reaching the
// simulator (axis -1: no failure).
void failSetpointAxis(int axis, int result);
// Calls that the hook answered instead of the simulator.
int interceptedSetpointCalls();

// getSystemVersion returns these words and result.
void setVersionWords(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2, int result);

// getBPMStats runs `filler` instead of the simulator.
void setStatsFiller(std::function<int(void *block)> filler);

// The thread of the last getBPMStats call, whoever answered it.
QThread *lastStatsThread();
int statsCalls();
// When each getBPMStats call since the last reset came, in milliseconds (steady clock).
QList<qint64> statsCallTimes();

} // namespace LibraryHooks
