#pragma once
// The simulated controller and beam: two BPMs on one beam, four DAC outputs, the
// PID loops, the function generator, and the display stream they produce. The
// model advances in internal steps of up to 100 us (the plant in sub-steps of at
// most 10 us) and writes one DisplayRecord per display period into a ring. Nothing
// here locks: the simulator holds one mutex around every use.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "DeviceRecords.h"
#include "Rng.h"

// One PID loop's parameters, in the order setPIDparams takes them.
struct PidParams {
    double kp = 0.3;
    double ki = 0.1;
    double kd = 0.01;
    double emin = 0.0;   // dead band on the error
    double imax = 100.0; // limit of the integral term (absolute value)
    double omin = -12.0; // output limits, volts
    double omax = 12.0;
    double ogain = 1.0;
};

// What the host has set on the controller. Loops are indexed 0 X, 1 Y, 2 I0;
// ROC channels and enables 3 * bpm + axis (axis 2: intensity / beam-off check).
struct ControllerSettings {
    std::int8_t pidConf = 1;
    bool feedbackOn = false;
    double setpoint[3] = {0.0, 0.0, 0.0};
    int windowAvg[3] = {5, 5, 5};
    bool windowAvgSet[3] = {false, false, false};
    std::uint8_t outputMux = 1;
    int bpmSelector[3] = {0, 0, 0};
    std::uint8_t pidOutSel[3] = {0, 1, 2};
    double pidOffset[3] = {0.0, 0.0, 0.0};
    PidParams pid[3];
    double bpmScale[2][2] = {{1.0, 1.0}, {1.0, 1.0}};
    double rocLower[6] = {0.0, 0.0, 1e-9, 0.0, 0.0, 1e-9};
    double rocUpper[6] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    std::uint8_t rocEnable[6] = {0, 0, 0, 0, 0, 0};
    double hostDac[4] = {0.0, 0.0, 0.0, 0.0};
    float genAmplitude[4] = {0, 0, 0, 0};
    float genOffset[4] = {0, 0, 0, 0};
    float genFrequency = 0.0f;
    bool genOn = false;
    int displayRate = 1000;
    std::uint8_t displayMode = 0;
    // Stored for the host to read back; they do not change the simulated beam.
    std::uint8_t crossBar[2][4] = {{0, 1, 2, 3}, {0, 1, 2, 3}};
    std::uint8_t tovashSumDiff[2] = {0, 0};
    std::uint8_t tovashType[2] = {0, 0};
    int encoderSelect[2] = {0, 0};
    int offsetTovashType[2] = {0, 0};
    double offsetTovash[2][2] = {{0.0, 0.0}, {0.0, 0.0}};
};

class BeamModel
{
public:
    static constexpr std::size_t RingSize = 65536;      // records kept
    static constexpr std::uint64_t HistoryRecords = 16384; // stream already there at reset
    static constexpr double DacLimit = 12.0;

    BeamModel();

    // Defaults, a fresh beam for `seed`, the stream starting HistoryRecords before tNs.
    void reset(std::uint64_t seed, std::int64_t tNs);

    // Produces every record whose period has ended by tNs. After a long idle time
    // only the last ring's worth is simulated.
    void runTo(std::int64_t tNs);

    ControllerSettings &settings() { return s_; }
    const ControllerSettings &settings() const { return s_; }

    // Changes that need more than a stored value (call runTo first).
    void setDisplayRate(int rate, std::uint8_t mode, std::int64_t tNs);
    void configureGenerator(const float amplitude[4], const float offset[4], float frequency);
    void enableGenerator(bool on);
    void setFeedback(bool on);
    void controllerReset();
    // Loops whose window average the host never set keep running at 1 kHz.
    void setPidBaseClock(double hz);
    void setBpmPresent(int bpm, bool present) { bpmPresent_[bpm] = present; }
    bool bpmPresent(int bpm) const { return bpmPresent_[bpm]; }
    void setBeamOn(bool on) { beamOn_ = on; }
    bool beamOn() const { return beamOn_; }
    void setNoiseScale(double scale) { noiseScale_ = scale; }
    // Puts the present source (host, loops or generator) on the DAC outputs at once.
    void refreshDac() { updateDac(); }

    // The stream.
    std::uint64_t produced() const { return produced_; }
    std::uint64_t oldestKept() const { return produced_ > RingSize ? produced_ - RingSize : 0; }
    std::uint64_t rateStartIndex() const { return rateStartIndex_; }
    // Time at which record `index` (at or after the last rate change) exists.
    std::int64_t recordReadyNs(std::uint64_t index) const;
    // Copies records [first, first + count), all of which must be kept.
    void copyRecords(std::uint64_t first, std::size_t count, DisplayRecord *out) const;

    // State now.
    int pidStatus() const;
    double dacOutput(int channel) const { return dac_[channel & 3]; }
    double beamPosition(int bpm, int axis) const;
    double intensity(int bpm) const;
    void electrodeCurrents(int bpm, double amps[4], Rng &noise) const;
    void statistics(BpmStats &out) const;

private:
    struct NoRing {};
    explicit BeamModel(NoRing) {}
    void applyRate();
    void produceRecord();
    void internalStep();
    void updateDac();
    void advancePlant(double genSinBefore, double genCosBefore);
    void pidTick(int loop);
    void supervise();
    double rocking() const;
    double rockingCached();
    bool regulated(int loop) const;
    double noiseSigma() const;

    ControllerSettings s_;
    Rng rng_;
    std::vector<DisplayRecord> ring_;
    std::uint64_t produced_ = 0;
    std::uint64_t rateStartIndex_ = 0;
    std::int64_t rateStartNs_ = 0;

    // Step sizes derived from the display rate. The plant is integrated in sub-steps
    // of at most 10 us so that its dead time and lag do not depend on the step size.
    static constexpr int DelayRing = 128;
    int stepsPerRecord_ = 10;
    double dt_ = 1e-4;
    int subSteps_ = 10;
    double subAlpha_ = 0.0;
    double deadSubSteps_ = 20.0;
    double subRot_[2] = {1.0, 0.0};
    double halfSubRot_[2] = {1.0, 0.0};
    double driftRho_[4] = {};
    double driftKick_[4] = {};
    double lineRot_[4][2] = {};
    double genRot_[2] = {1.0, 0.0};
    int superviseEvery_ = 10;
    int superviseCount_ = 0;

    // Beam and plant state.
    bool bpmPresent_[2] = {true, true};
    bool beamOn_ = true;
    double noiseScale_ = 1.0;
    double lineSin_[4] = {}, lineCos_[4] = {};
    double lineA_[4][4] = {}, lineB_[4][4] = {};
    int renormCount_ = 0;
    double drift_[4] = {};
    double dist_[4] = {};
    double delay_[3][DelayRing] = {};
    int delayPos_ = 0;
    double plant_[3] = {};
    double pos_[2][2] = {};
    double posSum_[2][2] = {};
    double dac_[4] = {};
    double genSin_ = 0.0, genCos_ = 1.0;

    double rockKey_[3] = {1e300, 1e300, 1e300};
    double rockValue_ = 0.0;
    bool active_[3] = {}; // loop regulated with the feedback on, fixed per record

    // Feedback state.
    double baseClock_ = 100000.0;
    double tickAcc_[3] = {};
    double measSum_[3] = {};
    int measCount_[3] = {};
    double integral_[3] = {};
    double prevError_[3] = {};
    double pidOut_[3] = {};
    bool fault_ = false;
    bool beamOffHold_ = false;
};
