#pragma once
// One-sided spectra of the display records, computed with FFTW (double precision,
// real to complex) on every acquisition cycle for each present BPM.

#include <qcustomplot.h>

#include "DeviceRecords.h"
#include "SpectrumSettings.h"

// Modulus of one FFTW complex value (real part first).
double fftw_abs(const double *c);

// Scale applied to record word `word` before the transform: the BPM's position
// scale for the four position words, 1.0 (counts) for every other word.
double spectrumInputScale(int word);

// Number of records actually transformed: the requested length, but never more
// than the n records there are.
int spectrumLength(int requested, int n);

// Replaces the contents of `out` with the spectrum of BPM `bpm` (0 or 1) taken from
// the newest records of `records` (n of them, oldest first), with `sampleRate` in
// Hz for the frequency keys. An empty spectrum results when there is nothing to
// transform or the selected word lies outside a record.
void computeSpectrum(QCPGraphDataContainer &out, const DisplayRecord *records, int n, int bpm,
                     const SpectrumSettings &settings, double sampleRate);
