#include "BeamModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double Pi = 3.14159265358979323846;

// A quiet beamline: sub-micrometre motion, so that an open-loop step of a few
// volts (a few um) stands out of the raw 50 kHz stream clearly enough for the
// step-response analysis, which takes its levels and crossings from single samples.
// Vibration lines (Hz) and their amplitudes on the beam position at BPM1 (um) and
// on the beam angle (urad), X then Y.
constexpr double LineHz[4] = {7.0, 25.0, 50.0, 130.0};
constexpr double LineAmp[4][4] = {
    {0.20, 0.060, 0.10, 0.030}, // position X
    {0.12, 0.090, 0.08, 0.040}, // position Y
    {0.08, 0.025, 0.05, 0.020}, // angle X
    {0.05, 0.040, 0.03, 0.025}, // angle Y
};
// Slow drift: Ornstein-Uhlenbeck processes (sigma, time constant in s).
constexpr double DriftSigma[4] = {0.5, 0.4, 0.15, 0.12};
constexpr double DriftTau[4] = {8.0, 11.0, 12.0, 15.0};

constexpr double Nominal[2][2] = {{12.0, -8.0}, {18.0, -5.0}}; // um with the DACs at 0 V
constexpr double Gain[2][2] = {{2.0, 1.5}, {3.5, 2.8}};       // um per volt of the loop's DAC
constexpr double Lever = 2.0;                                  // m from BPM1 to BPM2
constexpr double LagTau = 1e-3;                                // s
constexpr double DeadTime = 2e-4;                              // s
constexpr double MaxPlantStep = 1e-5;                          // s, longest plant sub-step

// Rocking curve: intensity factor (a + g(v)) / (1 + a) per loop actuator, g a
// Gaussian of the actuator voltage (peak, width); peaks lie inside 4 .. 5 V.
constexpr double RockPeak[3] = {4.6, 4.4, 4.2};
constexpr double RockWidth[3] = {0.35, 0.35, 0.6};
constexpr double RockFloor[3] = {0.4, 0.4, 1.0};
constexpr double PeakCurrent[2] = {4e-6, 3.6e-6}; // sum of the four electrodes at the peak, A

constexpr double BaseNoise = 0.1;      // um, one sample at 100 kHz
constexpr double BaseNoiseRate = 100000.0;
constexpr double BeamOffNoise = 20.0;  // um: positions without beam are noise
constexpr double ElectrodeSpan = 1000.0; // um: x = span * (R - L) / (R + L)
constexpr double Counts = 1e12;        // encoder counts per ampere

double clampDac(double v)
{
    return std::max(-BeamModel::DacLimit, std::min(BeamModel::DacLimit, v));
}

} // namespace

BeamModel::BeamModel() : ring_(RingSize)
{
    reset(1, 0);
}

void BeamModel::reset(std::uint64_t seed, std::int64_t tNs)
{
    // Everything back to its initial value except the ring's storage, the module
    // presence and the base clock, which belong to the simulator's set-up.
    const bool present[2] = {bpmPresent_[0], bpmPresent_[1]};
    const double base = baseClock_;
    std::vector<DisplayRecord> ring = std::move(ring_);
    *this = BeamModel(NoRing{});
    ring_ = std::move(ring);
    bpmPresent_[0] = present[0];
    bpmPresent_[1] = present[1];
    baseClock_ = base;
    rng_.reseed(seed);
    setPidBaseClock(baseClock_);
    for (int sig = 0; sig < 4; ++sig)
        for (int l = 0; l < 4; ++l) {
            const double phase = 2.0 * Pi * rng_.uniform();
            lineA_[sig][l] = LineAmp[sig][l] * std::cos(phase);
            lineB_[sig][l] = LineAmp[sig][l] * std::sin(phase);
        }
    for (int l = 0; l < 4; ++l) {
        lineSin_[l] = 0.0;
        lineCos_[l] = 1.0;
    }
    for (int sig = 0; sig < 4; ++sig)
        drift_[sig] = DriftSigma[sig] * rng_.gauss();
    produced_ = 0;
    rateStartIndex_ = 0;
    rateStartNs_ = tNs - static_cast<std::int64_t>(HistoryRecords) * 1000000000LL / s_.displayRate;
    applyRate();
    updateDac();
    for (int l = 0; l < 3; ++l) {
        const double v = dac_[s_.pidOutSel[l] & 3];
        std::fill(std::begin(delay_[l]), std::end(delay_[l]), v);
        plant_[l] = v;
    }
}

void BeamModel::setPidBaseClock(double hz)
{
    baseClock_ = hz;
    for (int l = 0; l < 3; ++l)
        if (!s_.windowAvgSet[l])
            s_.windowAvg[l] = std::max(1, static_cast<int>(std::lround(hz / 1000.0)));
}

void BeamModel::applyRate()
{
    const double rate = s_.displayRate;
    stepsPerRecord_ = std::max(1, static_cast<int>(std::ceil(10000.0 / rate - 1e-9)));
    const double internalRate = rate * stepsPerRecord_;
    dt_ = 1.0 / internalRate;
    subSteps_ = std::max(1, static_cast<int>(std::ceil(dt_ / MaxPlantStep - 1e-9)));
    const double h = dt_ / subSteps_;
    subAlpha_ = 1.0 - std::exp(-h / LagTau);
    deadSubSteps_ = std::min(static_cast<double>(DelayRing - 2), DeadTime / h);
    const double recordDt = 1.0 / rate;
    for (int sig = 0; sig < 4; ++sig) {
        driftRho_[sig] = std::exp(-recordDt / DriftTau[sig]);
        driftKick_[sig] = DriftSigma[sig] * std::sqrt(1.0 - driftRho_[sig] * driftRho_[sig]);
    }
    for (int l = 0; l < 4; ++l) {
        lineRot_[l][0] = std::cos(2.0 * Pi * LineHz[l] * dt_);
        lineRot_[l][1] = std::sin(2.0 * Pi * LineHz[l] * dt_);
    }
    genRot_[0] = std::cos(2.0 * Pi * s_.genFrequency * dt_);
    genRot_[1] = std::sin(2.0 * Pi * s_.genFrequency * dt_);
    subRot_[0] = std::cos(2.0 * Pi * s_.genFrequency * h);
    subRot_[1] = std::sin(2.0 * Pi * s_.genFrequency * h);
    halfSubRot_[0] = std::cos(Pi * s_.genFrequency * h);
    halfSubRot_[1] = std::sin(Pi * s_.genFrequency * h);
    superviseEvery_ = std::max(1, static_cast<int>(std::lround(internalRate / 1000.0)));
}

void BeamModel::setDisplayRate(int rate, std::uint8_t mode, std::int64_t tNs)
{
    s_.displayRate = rate;
    s_.displayMode = mode;
    rateStartIndex_ = produced_;
    rateStartNs_ = tNs;
    applyRate();
}

void BeamModel::configureGenerator(const float amplitude[4], const float offset[4], float frequency)
{
    for (int c = 0; c < 4; ++c) {
        s_.genAmplitude[c] = amplitude[c];
        s_.genOffset[c] = offset[c];
    }
    s_.genFrequency = frequency;
    applyRate();
    updateDac();
}

void BeamModel::enableGenerator(bool on)
{
    if (on && !s_.genOn) {
        // Each start begins at phase 0: in-phase reference 0, quadrature 1.
        genSin_ = 0.0;
        genCos_ = 1.0;
    }
    s_.genOn = on;
    updateDac();
}

void BeamModel::setFeedback(bool on)
{
    if (on != s_.feedbackOn) {
        for (int l = 0; l < 3; ++l) {
            integral_[l] = 0.0;
            prevError_[l] = 0.0;
        }
        fault_ = false;
        beamOffHold_ = false;
    }
    s_.feedbackOn = on;
}

void BeamModel::controllerReset()
{
    for (int l = 0; l < 3; ++l) {
        integral_[l] = 0.0;
        prevError_[l] = 0.0;
        tickAcc_[l] = 0.0;
        measSum_[l] = 0.0;
        measCount_[l] = 0;
    }
    fault_ = false;
    beamOffHold_ = false;
}

std::int64_t BeamModel::recordReadyNs(std::uint64_t index) const
{
    const std::uint64_t n = index >= rateStartIndex_ ? index - rateStartIndex_ + 1 : 0;
    // Ceiling of n * 1e9 / rate: the first instant at which the record exists.
    const __int128 num = static_cast<__int128>(n) * 1000000000;
    const __int128 rate = s_.displayRate;
    return rateStartNs_ + static_cast<std::int64_t>((num + rate - 1) / rate);
}

void BeamModel::runTo(std::int64_t tNs)
{
    if (tNs < rateStartNs_)
        return;
    const __int128 elapsed = static_cast<__int128>(tNs - rateStartNs_) * s_.displayRate / 1000000000;
    const std::uint64_t target = rateStartIndex_ + static_cast<std::uint64_t>(elapsed);
    if (target <= produced_)
        return;
    if (target - produced_ > RingSize)
        produced_ = target - RingSize; // the skipped span is never looked at
    while (produced_ < target)
        produceRecord();
}

void BeamModel::copyRecords(std::uint64_t first, std::size_t count, DisplayRecord *out) const
{
    std::size_t slot = static_cast<std::size_t>(first % RingSize);
    while (count > 0) {
        const std::size_t chunk = std::min(count, RingSize - slot);
        std::memcpy(static_cast<void *>(out), &ring_[slot], chunk * sizeof(DisplayRecord));
        out += chunk;
        count -= chunk;
        slot = 0;
    }
}

bool BeamModel::regulated(int loop) const
{
    // Configuration codes: 0 X, 1 X+Y, 2 X+I0, 3 Y, 4 Y+I0, 5 X+Y+I0, 6 I0.
    static constexpr bool table[7][3] = {
        {true, false, false}, {true, true, false}, {true, false, true}, {false, true, false},
        {false, true, true},  {true, true, true},  {false, false, true},
    };
    if (s_.pidConf < 0 || s_.pidConf > 6)
        return false;
    return table[static_cast<int>(s_.pidConf)][loop];
}

double BeamModel::rocking() const
{
    double f = 1.0;
    for (int l = 0; l < 3; ++l) {
        const double d = (plant_[l] - RockPeak[l]) / RockWidth[l];
        f *= (RockFloor[l] + std::exp(-0.5 * d * d)) / (1.0 + RockFloor[l]);
    }
    return f;
}

// The rocking curve costs three exponentials; between records whose actuators
// moved less than 0.1 mV the change (< 2e-4 relative) is below the intensity noise.
double BeamModel::rockingCached()
{
    bool same = true;
    for (int l = 0; l < 3; ++l)
        same = same && std::fabs(plant_[l] - rockKey_[l]) < 1e-4;
    if (!same) {
        for (int l = 0; l < 3; ++l)
            rockKey_[l] = plant_[l];
        rockValue_ = rocking();
    }
    return rockValue_;
}

double BeamModel::intensity(int bpm) const
{
    return beamOn_ ? PeakCurrent[bpm & 1] * rocking() : 0.0;
}

double BeamModel::beamPosition(int bpm, int axis) const
{
    if (axis == 2)
        return intensity(bpm);
    return pos_[bpm & 1][axis & 1];
}

void BeamModel::updateDac()
{
    if (s_.genOn) {
        for (int c = 0; c < 4; ++c)
            dac_[c] = clampDac(s_.genOffset[c] + s_.genAmplitude[c] * genSin_);
    } else if (s_.outputMux == 0) {
        for (int c = 0; c < 4; ++c)
            dac_[c] = s_.hostDac[c];
    } else {
        for (int c = 0; c < 4; ++c)
            dac_[c] = 0.0;
        for (int l = 0; l < 3; ++l)
            dac_[s_.pidOutSel[l] & 3] = pidOut_[l];
    }
}

// The plant over one internal step: each sub-step holds the actuator's input at the
// sub-step's middle, DeadTime earlier (interpolated between the stored inputs), and
// lets the lag relax towards it exactly. The generator's sine is evaluated at every
// sub-step middle rather than held over the internal step, so the plant sees the
// continuous stimulus and its phase lag is the documented one at every display rate.
void BeamModel::advancePlant(double genSinBefore, double genCosBefore)
{
    double gs = genSinBefore * halfSubRot_[0] + genCosBefore * halfSubRot_[1];
    double gc = genCosBefore * halfSubRot_[0] - genSinBefore * halfSubRot_[1];
    const int back = static_cast<int>(deadSubSteps_);
    const double frac = deadSubSteps_ - back;
    for (int k = 0; k < subSteps_; ++k) {
        for (int l = 0; l < 3; ++l) {
            const int ch = s_.pidOutSel[l] & 3;
            delay_[l][delayPos_] =
                s_.genOn ? clampDac(s_.genOffset[ch] + s_.genAmplitude[ch] * gs) : dac_[ch];
            const double newer = delay_[l][(delayPos_ - back) & (DelayRing - 1)];
            const double older = delay_[l][(delayPos_ - back - 1) & (DelayRing - 1)];
            const double delayed = newer + frac * (older - newer);
            plant_[l] += subAlpha_ * (delayed - plant_[l]);
        }
        delayPos_ = (delayPos_ + 1) & (DelayRing - 1);
        const double s = gs * subRot_[0] + gc * subRot_[1];
        gc = gc * subRot_[0] - gs * subRot_[1];
        gs = s;
    }
}

void BeamModel::internalStep()
{
    for (int l = 0; l < 4; ++l) {
        const double s = lineSin_[l] * lineRot_[l][0] + lineCos_[l] * lineRot_[l][1];
        const double c = lineCos_[l] * lineRot_[l][0] - lineSin_[l] * lineRot_[l][1];
        lineSin_[l] = s;
        lineCos_[l] = c;
    }
    const double genSinBefore = genSin_, genCosBefore = genCos_;
    if (s_.genOn) {
        const double s = genSin_ * genRot_[0] + genCos_ * genRot_[1];
        const double c = genCos_ * genRot_[0] - genSin_ * genRot_[1];
        genSin_ = s;
        genCos_ = c;
    }
    if (++renormCount_ >= 1024) {
        // The rotations drift off the unit circle by rounding; pull them back.
        renormCount_ = 0;
        for (int l = 0; l < 4; ++l) {
            const double k = 1.5 - 0.5 * (lineSin_[l] * lineSin_[l] + lineCos_[l] * lineCos_[l]);
            lineSin_[l] *= k;
            lineCos_[l] *= k;
        }
        const double k = 1.5 - 0.5 * (genSin_ * genSin_ + genCos_ * genCos_);
        genSin_ *= k;
        genCos_ *= k;
    }
    for (int sig = 0; sig < 4; ++sig) {
        double v = drift_[sig];
        for (int l = 0; l < 4; ++l)
            v += lineA_[sig][l] * lineSin_[l] + lineB_[sig][l] * lineCos_[l];
        dist_[sig] = noiseScale_ * v;
    }

    updateDac();
    advancePlant(genSinBefore, genCosBefore);

    for (int b = 0; b < 2; ++b)
        for (int a = 0; a < 2; ++a) {
            const double v = Nominal[b][a] + Gain[b][a] * plant_[a] + dist_[a] + (b ? Lever * dist_[2 + a] : 0.0);
            pos_[b][a] = v;
            posSum_[b][a] += v;
        }

    for (int l = 0; l < 3; ++l) {
        if (active_[l]) {
            const int b = s_.bpmSelector[l] & 1;
            if (l < 2) {
                measSum_[l] += bpmPresent_[b] ? s_.bpmScale[b][l] * pos_[b][l] : 0.0;
                ++measCount_[l];
            }
        }
        tickAcc_[l] += baseClock_ * dt_;
        const double w = s_.windowAvg[l];
        if (tickAcc_[l] >= w) {
            tickAcc_[l] -= w;
            if (tickAcc_[l] >= w)
                tickAcc_[l] = std::fmod(tickAcc_[l], w);
            pidTick(l);
        }
    }
    if (++superviseCount_ >= superviseEvery_) {
        superviseCount_ = 0;
        supervise();
    }
}

void BeamModel::supervise()
{
    if (!s_.feedbackOn) {
        beamOffHold_ = false;
        return;
    }
    bool off = false;
    for (int b = 0; b < 2; ++b)
        if (s_.rocEnable[3 * b + 2] && (bpmPresent_[b] ? intensity(b) : 0.0) < s_.rocLower[3 * b + 2])
            off = true;
    beamOffHold_ = off;
    if (off || fault_)
        return;
    // Region of control: the deviation from the axis setpoint must stay within
    // [lower, upper] on every enabled BPM axis.
    for (int b = 0; b < 2; ++b)
        for (int a = 0; a < 2; ++a) {
            if (!s_.rocEnable[3 * b + a])
                continue;
            const double dev = std::fabs(s_.bpmScale[b][a] * pos_[b][a] - s_.setpoint[a]);
            if (dev > s_.rocUpper[3 * b + a] || dev < s_.rocLower[3 * b + a])
                fault_ = true;
        }
}

void BeamModel::pidTick(int l)
{
    const PidParams &p = s_.pid[l];
    if (!s_.feedbackOn || !regulated(l)) {
        pidOut_[l] = clampDac(s_.pidOffset[l]);
        integral_[l] = 0.0;
        prevError_[l] = 0.0;
        measSum_[l] = 0.0;
        measCount_[l] = 0;
        return;
    }
    double meas;
    const int b = s_.bpmSelector[l] & 1;
    if (l < 2) {
        meas = measCount_[l] > 0 ? measSum_[l] / measCount_[l] : 0.0;
        // The loop sees the same sensor noise as the stream, averaged over its window.
        const double samples = std::max(1.0, measCount_[l] * BaseNoiseRate * dt_);
        meas += (beamOn_ ? BaseNoise * noiseScale_ / std::sqrt(samples) : BeamOffNoise) * rng_.gauss();
    } else {
        meas = (bpmPresent_[b] ? intensity(b) : 0.0) * 1e6; // the intensity loop works in uA
    }
    measSum_[l] = 0.0;
    measCount_[l] = 0;
    if (fault_ || beamOffHold_)
        return; // outputs hold while the controller is suspended

    double e = s_.setpoint[l] - meas;
    if (std::fabs(e) < p.emin)
        e = 0.0;
    const double ilim = std::fabs(p.imax);
    integral_[l] = std::max(-ilim, std::min(ilim, integral_[l] + p.ki * e));
    const double d = p.kd * (e - prevError_[l]);
    prevError_[l] = e;
    const double u = p.kp * e + integral_[l] + d;
    double out = s_.pidOffset[l] + p.ogain * u;
    out = std::min(out, p.omax);
    out = std::max(out, p.omin);
    pidOut_[l] = clampDac(out);
}

double BeamModel::noiseSigma() const
{
    if (s_.displayMode != 0)
        return BaseNoise * noiseScale_;
    const double averaged = std::max(1.0, BaseNoiseRate / s_.displayRate);
    return BaseNoise * noiseScale_ / std::sqrt(averaged);
}

void BeamModel::produceRecord()
{
    for (int b = 0; b < 2; ++b)
        for (int a = 0; a < 2; ++a)
            posSum_[b][a] = 0.0;
    for (int l = 0; l < 3; ++l)
        active_[l] = s_.feedbackOn && regulated(l);
    for (int k = 0; k < stepsPerRecord_; ++k)
        internalStep();
    for (int sig = 0; sig < 4; ++sig)
        drift_[sig] = drift_[sig] * driftRho_[sig] + driftKick_[sig] * rng_.gauss();

    DisplayRecord &r = ring_[produced_ % RingSize];
    std::memset(static_cast<void *>(&r), 0, sizeof r);
    const double sigma = noiseSigma();
    const double rock = rockingCached();
    const bool averaged = s_.displayMode == 0;
    for (int b = 0; b < 2; ++b) {
        double x, y, i0;
        if (beamOn_) {
            x = (averaged ? posSum_[b][0] / stepsPerRecord_ : pos_[b][0]) + sigma * rng_.gauss();
            y = (averaged ? posSum_[b][1] / stepsPerRecord_ : pos_[b][1]) + sigma * rng_.gauss();
            i0 = PeakCurrent[b] * rock * (1.0 + 1e-3 * noiseScale_ * rng_.gauss());
        } else {
            x = BeamOffNoise * rng_.gauss();
            y = BeamOffNoise * rng_.gauss();
            i0 = 1e-12 * rng_.gauss();
        }
        if (!bpmPresent_[b])
            continue;
        (b == 0 ? r.bpm1X : r.bpm2X) = x;
        (b == 0 ? r.bpm1Y : r.bpm2Y) = y;
        (b == 0 ? r.bpm1I0 : r.bpm2I0) = i0;
        // Electrode-like channels top, right, bottom, left: (R - L) / (R + L) and
        // (T - B) / (T + B) give the positions back.
        const double q = 0.25 * i0 * Counts;
        r.encoder[b][0] = q * (1.0 + y / ElectrodeSpan);
        r.encoder[b][1] = q * (1.0 + x / ElectrodeSpan);
        r.encoder[b][2] = q * (1.0 - y / ElectrodeSpan);
        r.encoder[b][3] = q * (1.0 - x / ElectrodeSpan);
    }
    if (s_.genOn) {
        r.refInPhase = static_cast<float>(genSin_);
        r.refQuadrature = static_cast<float>(genCos_);
    }
    for (int c = 0; c < 4; ++c)
        r.dac[c] = dac_[c];
    ++produced_;
}

int BeamModel::pidStatus() const
{
    if (!s_.feedbackOn)
        return PID_FEEDBACK_OFF;
    if (fault_)
        return PID_FAULT_OUT_OF_ROC;
    for (int b = 0; b < 2; ++b)
        if (s_.rocEnable[3 * b + 2] && (bpmPresent_[b] ? intensity(b) : 0.0) < s_.rocLower[3 * b + 2])
            return PID_BEAM_OFF;
    return PID_FEEDBACK_ON;
}

void BeamModel::electrodeCurrents(int bpm, double amps[4], Rng &noise) const
{
    const int b = bpm & 1;
    const double i0 = intensity(b);
    const double x = beamOn_ ? pos_[b][0] : 0.0;
    const double y = beamOn_ ? pos_[b][1] : 0.0;
    const double q = 0.25 * i0;
    const double shape[4] = {1.0 + y / ElectrodeSpan, 1.0 + x / ElectrodeSpan, 1.0 - y / ElectrodeSpan,
                             1.0 - x / ElectrodeSpan};
    for (int e = 0; e < 4; ++e)
        amps[e] = q * shape[e] * (1.0 + 1e-3 * noiseScale_ * noise.gauss()) + 1e-12 * noise.gauss();
}

void BeamModel::statistics(BpmStats &out) const
{
    std::memset(&out, 0, sizeof out);
    const std::uint64_t avail = produced_ - oldestKept();
    const std::uint64_t n = std::min<std::uint64_t>(avail, static_cast<std::uint64_t>(s_.displayRate));
    if (n == 0)
        return;
    const std::uint64_t first = produced_ - n;
    const std::uint64_t bin = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(s_.displayRate) / 100);
    for (int b = 0; b < 2; ++b) {
        if (!bpmPresent_[b])
            continue;
        const int words[3] = {4 * b, 4 * b + 1, 4 * b + 2};
        double mean[3] = {}, sq[3] = {};
        double binMeanSum[2] = {}, binMeanSq[2] = {};
        double binAcc[2] = {};
        std::uint64_t inBin = 0, bins = 0;
        for (std::uint64_t i = first; i < produced_; ++i) {
            const DisplayRecord &r = ring_[i % RingSize];
            for (int k = 0; k < 3; ++k) {
                const double v = r.word(words[k]);
                mean[k] += v;
                sq[k] += v * v;
            }
            binAcc[0] += r.word(words[0]);
            binAcc[1] += r.word(words[1]);
            if (++inBin == bin) {
                for (int k = 0; k < 2; ++k) {
                    const double m = binAcc[k] / static_cast<double>(bin);
                    binMeanSum[k] += m;
                    binMeanSq[k] += m * m;
                    binAcc[k] = 0.0;
                }
                inBin = 0;
                ++bins;
            }
        }
        double stdv[3], std100[2];
        for (int k = 0; k < 3; ++k) {
            mean[k] /= static_cast<double>(n);
            stdv[k] = std::sqrt(std::max(0.0, sq[k] / static_cast<double>(n) - mean[k] * mean[k]));
        }
        for (int k = 0; k < 2; ++k) {
            if (bins == 0) {
                std100[k] = 0.0;
                continue;
            }
            const double m = binMeanSum[k] / static_cast<double>(bins);
            std100[k] = std::sqrt(std::max(0.0, binMeanSq[k] / static_cast<double>(bins) - m * m));
        }
        double *v = out.values + 9 * b;
        v[0] = static_cast<double>(n);
        v[1] = mean[0];
        v[2] = stdv[0];
        v[3] = std100[0];
        v[4] = mean[1];
        v[5] = stdv[1];
        v[6] = std100[1];
        v[7] = mean[2];
        v[8] = stdv[2];
    }
    out.values[18] = s_.displayRate;
}
