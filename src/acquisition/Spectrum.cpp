#include "Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

#include "AcquisitionSettings.h"
#include "GraphRefill.h"

double fftw_abs(const double *c)
{
    return std::sqrt(c[0] * c[0] + c[1] * c[1]);
}

namespace {

// Positions in micrometres (the BPM's scale for its axis), encoder counts unscaled.
double spectrumInputScale(int word)
{
    switch (word) {
    case 0: return BPM_SCALE_X[0];
    case 1: return BPM_SCALE_Y[0];
    case 4: return BPM_SCALE_X[1];
    case 5: return BPM_SCALE_Y[1];
    default: return 1.0;   // encoder channels, in counts
    }
}

int spectrumLength(int requested, int n)
{
    // Records before the first one of the buffer do not exist: with fewer records
    // than asked for, all of them are transformed (coarser bins, true amplitudes).
    return std::max(0, std::min(requested, n));
}

} // namespace

void computeSpectrum(QCPGraphDataContainer &out, const DisplayRecord *records, int n, int bpm,
                     const SpectrumSettings &settings, double sampleRate)
{
    const int N = spectrumLength(settings.length, n);
    const int word = settings.selector + 4 * bpm;
    constexpr int wordsPerRecord = int(sizeof(DisplayRecord) / sizeof(double));
    if (N < 1 || word < 0 || word >= wordsPerRecord) {
        out.clear();
        return;
    }

    const int bins = N / 2 + 1;
    double *in = static_cast<double *>(fftw_malloc(sizeof(double) * N));
    fftw_complex *spec = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * bins));

    const double scale = spectrumInputScale(word);
    const DisplayRecord *first = records + (n - N);
    for (int j = 0; j < N; ++j)
        in[j] = scale * first[j].word(word);

    if (settings.removeDC) {
        double sum = 0.0;
        for (int j = 0; j < N; ++j)
            sum += in[j];
        const double mean = sum / N;
        for (int j = 0; j < N; ++j)
            in[j] -= mean;
    }

    // FFTW_ESTIMATE plans without measuring and leaves the input untouched; the
    // plan is cheap enough to make anew every cycle, so a new N needs no bookkeeping.
    fftw_plan plan = fftw_plan_dft_r2c_1d(N, in, spec, FFTW_ESTIMATE);
    fftw_execute(plan);

    // Keys (i * f) / N and amplitudes 2 * |X| / N, the same factor on every bin (DC and
    // N/2 included). Multiplying first rounds each key once, where a precomputed bin
    // width would carry its own rounding into every key.
    if (settings.mode == 0) {
        QCPGraphData *p = refillPoints(out, bins);
        for (int i = 0; i < bins; ++i) {
            p[i].key = (i * sampleRate) / N;
            p[i].value = 2.0 * fftw_abs(spec[i]) / N;
        }
    } else if (N > 1) {
        // Cumulative RMS above DC: each bin of amplitude a adds a^2/2 to the power.
        QCPGraphData *p = refillPoints(out, bins - 1);
        double acc = 0.0;
        for (int i = 1; i < bins; ++i) {
            const double a = 2.0 * fftw_abs(spec[i]) / N;
            acc = a * a * 0.5 + acc;
            p[i - 1].key = (i * sampleRate) / N;
            p[i - 1].value = std::sqrt(acc);
        }
    } else {
        out.clear();
    }

    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(spec);
}
