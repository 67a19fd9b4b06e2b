#pragma once
// Gain, dead time and 10-90 % rise time of one recorded step: the stimulus goes
// from the bias to bias + step and back, the response follows. A number is only
// worth showing when it stands out of the beam's own motion, so each comes with an
// uncertainty taken from the same record, and a step whose numbers would not hold
// is reported as not resolved.
//
// The settled levels come from a fit over the whole record (bias before, the
// second nine tenths of the step, bias after, with a straight drift), which
// averages the beam's vibration out far better than the short stretches near the
// step could. The crossings are taken on a centred moving average (no delay) of
// the response, from the level just before each edge, on the rising and on the
// falling edge; the times shown are the mean of the two. The uncertainties are
// found by running the same measurement where the record holds no step.

#include <QVector>

class StepResponseAnalysis
{
public:
    // Times in seconds from the record's first sample.
    struct Result {
        bool inverted = false;   // the response falls while the stimulus is up
        bool resolved = false;   // every number below holds
        double y0 = 0.0;         // response level at the bias, at the step instant
        double y1 = 0.0;         // response level at bias + step
        double tS = 0.0;         // step instant
        double t10 = 0.0;        // tS + dead time
        double t90 = 0.0;        // t10 + rise time
        // One standard deviation: of the gain, relative; of the dead time and the
        // rise time, in seconds. Infinite where there was nothing to measure.
        double gainSigma = 0.0;
        double deadSigma = 0.0;
        double riseSigma = 0.0;
    };

    // `response` is turned over in place when it is inverted.
    static Result analyse(const QVector<double> &stimulus, QVector<double> &response, double bias,
                          double step, double rate);
};
