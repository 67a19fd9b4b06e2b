#pragma once
// One-sided spectra of the display records, computed with FFTW (double precision,
// real to complex) on every acquisition cycle for each present BPM.

#include <qcustomplot.h>

#include "DeviceRecords.h"
#include "SpectrumSettings.h"

// Modulus of one FFTW complex value (real part first).
double fftw_abs(const double *c);

// Replaces the contents of `out` with the spectrum of BPM `bpm` (0 or 1) taken from
// the newest records of `records` (n of them, oldest first), with `sampleRate` in
// Hz for the frequency keys. With fewer records than the requested length all n are
// transformed. An empty spectrum results when there is nothing to transform or the
// selected word lies outside a record.
void computeSpectrum(QCPGraphDataContainer &out, const DisplayRecord *records, int n, int bpm,
                     const SpectrumSettings &settings, double sampleRate);
