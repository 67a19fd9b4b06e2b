#pragma once
// Refilling graph containers in place. The graphs hold the same container objects,
// so these are never replaced; their storage is reused from cycle to cycle.

#include <QSharedPointer>

#include <qcustomplot.h>

#include "DeviceRecords.h"
#include "GraphDataKind.h"

// Containers per GraphDataKind: at most four (encoder and DAC channels).
constexpr int MaxGraphIndices = 4;
using GraphSlots = QSharedPointer<QCPGraphDataContainer>[GraphDataKindCount][MaxGraphIndices];

// Valid indices of each kind: XY 1, spectrum 2, encoders 4, positions 2, DAC 4, angles 2.
int graphIndexCount(int kind);

// Order of the XY scatter points: by key, equal keys by value, NaN after numbers.
bool scatterPointLess(const QCPGraphData &a, const QCPGraphData &b);

// Makes `container` hold exactly `count` points and returns them for writing (their
// contents are left over from before), or null when count is not positive (the
// container is then empty). Only a change of count touches the allocation.
QCPGraphData *refillPoints(QCPGraphDataContainer &container, int count);

// Refills every container except the spectra from the n records of a cycle: encoder
// channels, XY scatter, positions, angles (for each BPM with present[b] set, else
// emptied) and the DAC outputs, with time keys i * (1 / sampleRate). Empty slots
// are skipped.
void refillDisplayGraphs(GraphSlots &graphs, const DisplayRecord *records, int n,
                         double sampleRate, const bool present[2]);
