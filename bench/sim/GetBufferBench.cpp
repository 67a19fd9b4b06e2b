// getBuffer stands in for a DMA copy: one display buffer (14336 records) per
// acquisition cycle. Steady state: one second's worth of new records per call
// (the manual clock advances 1 s per iteration), so the catch-up simulation is
// part of the cost; and a plain call on the wall clock.
#include <benchmark/benchmark.h>

#include <vector>

#include "DeviceRecords.h"
#include "NivraLibrary.h"
#include "NivraSim.h"

namespace {

constexpr int Records = 14336;

void BM_GetBufferOneSecondOfNewRecords(benchmark::State &state)
{
    const int rate = static_cast<int>(state.range(0));
    nivraSimReset(1);
    nivraSimUseManualClock(1);
    setDisplayFreq(rate, rate > 10000 ? 1 : 0);
    std::vector<DisplayRecord> buf(Records);
    nivraSimAdvance(1.0);
    getBuffer(buf.data(), Records);
    for (auto _ : state) {
        nivraSimAdvance(1.0);
        benchmark::DoNotOptimize(getBuffer(buf.data(), Records));
        benchmark::ClobberMemory();
    }
    state.counters["new_records"] = rate;
    nivraSimReset(1);
}
BENCHMARK(BM_GetBufferOneSecondOfNewRecords)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_GetBufferWallClock(benchmark::State &state)
{
    const int rate = static_cast<int>(state.range(0));
    nivraSimReset(1);
    setDisplayFreq(rate, rate > 10000 ? 1 : 0);
    std::vector<DisplayRecord> buf(Records);
    getBuffer(buf.data(), Records);
    for (auto _ : state) {
        benchmark::DoNotOptimize(getBuffer(buf.data(), Records));
        benchmark::ClobberMemory();
    }
    nivraSimReset(1);
}
BENCHMARK(BM_GetBufferWallClock)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace
