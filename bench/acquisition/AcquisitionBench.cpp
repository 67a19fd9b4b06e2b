// One acquisition cycle at the largest display buffer (14336 records), both BPMs
// present, FFT length 8192, without drawing: the whole cycle and its three stages
// (fetch, refill, spectra). The refill is also written as a plain loop into
// preallocated arrays, the physical reference the in-place refill is held to.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "AcquisitionSettings.h"
#include "GraphRefill.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "Spectrum.h"
#include "Updater.h"

namespace {

constexpr int kRecords = 14336;
constexpr int kFftLength = 8192;

void prepareSimulator()
{
    nivraSimReset(7);
    nivraSimUseManualClock(1);
    nivraSimAdvance(60.0);
    nivraSimSetMeterPresent(0, 1);
    nivraSimSetMeterPresent(1, 1);
    SAMP_FREQ = 1000;
    DISP_BUF_SIZE = kRecords * 256;
}

struct Fixture {
    std::vector<DisplayRecord> records;
    GraphSlots graphs;
    const bool present[2] = {true, true};

    Fixture() : records(kRecords)
    {
        prepareSimulator();
        getBuffer(records.data(), kRecords);
        for (int kind = 0; kind < GraphDataKindCount; ++kind)
            for (int index = 0; index < graphIndexCount(kind); ++index)
                graphs[kind][index] = QSharedPointer<QCPGraphDataContainer>::create();
    }
};

void BM_CycleFull(benchmark::State &state)
{
    Fixture fx;
    Updater updater;
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            updater.setGraphData(kind, index, fx.graphs[kind][index]);
    updater.setFFTlength(kFftLength);
    for (auto _ : state) {
        updater.updateGraphs();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CycleFull)->Unit(benchmark::kMicrosecond);

void BM_CycleFetch(benchmark::State &state)
{
    prepareSimulator();
    std::unique_ptr<DisplayRecord[]> buffer(new DisplayRecord[Updater::DisplayBufferRecords]);
    for (auto _ : state) {
        benchmark::DoNotOptimize(getBuffer(buffer.get(), kRecords));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CycleFetch)->Unit(benchmark::kMicrosecond);

void BM_CycleRefill(benchmark::State &state)
{
    Fixture fx;
    for (auto _ : state) {
        refillDisplayGraphs(fx.graphs, fx.records.data(), kRecords, SAMP_FREQ, fx.present);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (20 * kRecords + 2 * 1000));
}
BENCHMARK(BM_CycleRefill)->Unit(benchmark::kMicrosecond);

void BM_CycleSpectra(benchmark::State &state)
{
    Fixture fx;
    SpectrumSettings settings;
    settings.length = kFftLength;
    for (auto _ : state) {
        for (int b = 0; b < 2; ++b)
            computeSpectrum(*fx.graphs[GraphSpectrum][b], fx.records.data(), kRecords, b, settings,
                            SAMP_FREQ);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CycleSpectra)->Unit(benchmark::kMicrosecond);

// ---- the refill as a plain loop ----

// The 20 time series of a cycle, in refill order: record word and scale.
struct Series {
    int word;
    double scale;
};

std::vector<Series> timeSeries()
{
    std::vector<Series> s;
    for (int b = 0; b < 2; ++b)
        for (int c = 0; c < 4; ++c)
            s.push_back({24 + 4 * b + c, 1.0});
    for (int b = 0; b < 2; ++b)
        s.push_back({4 * b, BPM_SCALE_X[b]});
    for (int b = 0; b < 2; ++b)
        s.push_back({4 * b + 1, BPM_SCALE_Y[b]});
    for (int b = 0; b < 2; ++b)
        s.push_back({4 * b, (BPM_SCALE_X[b] * 1000000) / (BPM_DIST_X[b] + BPM_DIST_X[b])});
    for (int b = 0; b < 2; ++b)
        s.push_back({4 * b + 1, (BPM_SCALE_Y[b] * 1000000) / (BPM_DIST_Y[b] + BPM_DIST_Y[b])});
    for (int c = 0; c < 4; ++c)
        s.push_back({8 + c, 1.0});
    return s;
}

void fillScatterPoints(QCPGraphData *p, const DisplayRecord *records, int n, int bpm)
{
    const int count = std::min(n, 1000);
    const DisplayRecord *first = records + (n - count);
    const double sx = BPM_SCALE_X[bpm], sy = BPM_SCALE_Y[bpm];
    for (int j = 0; j < count; ++j) {
        p[j].key = sx * first[j].word(4 * bpm);
        p[j].value = sy * first[j].word(4 * bpm + 1);
    }
    std::sort(p, p + count, scatterPointLess);
}

// The physical reference: the same points into plain preallocated arrays.
void BM_RefillPlainLoopReference(benchmark::State &state)
{
    Fixture fx;
    const auto series = timeSeries();
    std::vector<std::vector<QCPGraphData>> out(series.size(), std::vector<QCPGraphData>(kRecords));
    std::vector<QCPGraphData> xy[2] = {std::vector<QCPGraphData>(1000),
                                       std::vector<QCPGraphData>(1000)};
    const DisplayRecord *records = fx.records.data();
    for (auto _ : state) {
        const double dt = 1.0 / SAMP_FREQ;
        for (size_t s = 0; s < series.size(); ++s) {
            QCPGraphData *p = out[s].data();
            const int word = series[s].word;
            const double scale = series[s].scale;
            for (int i = 0; i < kRecords; ++i) {
                p[i].key = i * dt;
                p[i].value = scale * records[i].word(word);
            }
        }
        for (int b = 0; b < 2; ++b)
            fillScatterPoints(xy[b].data(), records, kRecords, b);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (20 * kRecords + 2 * 1000));
}
BENCHMARK(BM_RefillPlainLoopReference)->Unit(benchmark::kMicrosecond);

} // namespace
