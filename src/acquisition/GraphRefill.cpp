#include "GraphRefill.h"

#include <algorithm>
#include <cmath>

#include "AcquisitionSettings.h"

namespace {

constexpr int kIndices[GraphDataKindCount] = {1, 1, 2, 4, 4, 2, 2, 4, 2, 2};

// Records shown by the XY scatter: the newest ones.
constexpr int kXYRecords = 1000;

// (t, scale * word) for the first `count` records, t = i * dt. These loops are the
// whole cost of a refill, so nothing else happens per point.
void fillTimeSeries(const QSharedPointer<QCPGraphDataContainer> &container,
                    const DisplayRecord *records, int count, double dt, int word, double scale)
{
    if (!container)
        return;
    QCPGraphData *p = refillPoints(*container, count);
    for (int i = 0; i < count; ++i) {
        p[i].key = i * dt;
        p[i].value = scale * records[i].word(word);
    }
}

// The scatter of the newest min(n, 1000) records. A graph's container keeps its
// points sorted by key, so the points are sorted in place once filled.
void fillScatter(const QSharedPointer<QCPGraphDataContainer> &container,
                 const DisplayRecord *records, int n, int bpm)
{
    if (!container)
        return;
    const int count = std::min(n, kXYRecords);
    QCPGraphData *p = refillPoints(*container, count);
    if (!p)
        return;
    const double sx = BPM_SCALE_X[bpm];
    const double sy = BPM_SCALE_Y[bpm];
    const int wx = 4 * bpm;
    const int wy = 4 * bpm + 1;
    const DisplayRecord *first = records + (n - count);
    for (int j = 0; j < count; ++j) {
        p[j].key = sx * first[j].word(wx);
        p[j].value = sy * first[j].word(wy);
    }
    std::sort(p, p + count, scatterPointLess);
}

} // namespace

bool scatterPointLess(const QCPGraphData &a, const QCPGraphData &b)
{
    // A NaN after every number keeps the order a strict weak one, which std::sort
    // needs to stay inside the range.
    auto less = [](double x, double y) { return x < y || (std::isnan(y) && !std::isnan(x)); };
    if (less(a.key, b.key))
        return true;
    if (less(b.key, a.key))
        return false;
    return less(a.value, b.value);
}

int graphIndexCount(int kind)
{
    return kind >= 0 && kind < GraphDataKindCount ? kIndices[kind] : 0;
}

QCPGraphData *refillPoints(QCPGraphDataContainer &container, int count)
{
    if (count <= 0) {
        container.clear();
        return nullptr;
    }
    if (container.size() != count) {
        // The temporary dies at once, so the container ends up the sole owner of the
        // new storage and later writes through begin() never copy it.
        container.set(QVector<QCPGraphData>(count), true);
    }
    return &*container.begin();
}

void refillDisplayGraphs(GraphSlots &graphs, const DisplayRecord *records, int n,
                         double sampleRate, const bool present[2])
{
    const double dt = 1.0 / sampleRate;
    const int count[2] = {present[0] ? n : 0, present[1] ? n : 0};

    // Encoder channels: words 24-27 (BPM1) and 28-31 (BPM2).
    for (int b = 0; b < 2; ++b)
        for (int c = 0; c < 4; ++c)
            fillTimeSeries(graphs[GraphEncoderBpm1 + b][c], records, count[b], dt, 24 + 4 * b + c,
                           1.0);

    for (int b = 0; b < 2; ++b)
        fillScatter(graphs[GraphXYBpm1 + b][0], records, count[b], b);

    // Positions, then angles: angle = scale * 1e6 / (2 * distance) * raw position.
    for (int b = 0; b < 2; ++b)
        fillTimeSeries(graphs[GraphPositionX][b], records, count[b], dt, 4 * b, BPM_SCALE_X[b]);
    for (int b = 0; b < 2; ++b)
        fillTimeSeries(graphs[GraphPositionY][b], records, count[b], dt, 4 * b + 1, BPM_SCALE_Y[b]);
    for (int b = 0; b < 2; ++b)
        fillTimeSeries(graphs[GraphAngleX][b], records, count[b], dt, 4 * b,
                       (BPM_SCALE_X[b] * 1000000) / (BPM_DIST_X[b] + BPM_DIST_X[b]));
    for (int b = 0; b < 2; ++b)
        fillTimeSeries(graphs[GraphAngleY][b], records, count[b], dt, 4 * b + 1,
                       (BPM_SCALE_Y[b] * 1000000) / (BPM_DIST_Y[b] + BPM_DIST_Y[b]));

    // The DAC outputs are shown whatever BPMs are present.
    for (int c = 0; c < 4; ++c)
        fillTimeSeries(graphs[GraphDacOutput][c], records, n, dt, 8 + c, 1.0);
}
