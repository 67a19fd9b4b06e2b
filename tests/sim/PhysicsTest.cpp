// The simulated beam, seeded and on the manual clock: the plant's dead time and
// gain, the feedback, the function generator's references and the rocking curve.
#include <algorithm>
#include <cmath>
#include <complex>

#include "SimFixture.h"

using PhysicsTest = SimTest;

namespace {

struct StepRun {
    std::uint64_t stepIndex;
    std::vector<DisplayRecord> records; // newest records, the last one index produced - 1
    std::uint64_t firstIndex;
};

// 50 kHz raw stream, DAC channel 0 stepped by `volts` through the DAC node.
StepRun runStep(double volts, std::uint8_t mux)
{
    nivraSimReset(11);
    nivraSimUseManualClock(1);
    setDisplayFreq(50000, 1);
    setOutputMux(mux);
    const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    nivraSimAdvance(0.01);
    StepRun run;
    run.stepIndex = nivraSimSampleIndex();
    DacOutputs d;
    d.volts[0] = volts;
    d.volts[1] = d.volts[2] = d.volts[3] = 0.0;
    DeviceNode::ioctl(dac, DAC_IOC_SET_OUTPUTS, &d);
    DeviceNode::close(dac);
    nivraSimAdvance(0.02);
    run.records.resize(1500);
    getBuffer(run.records.data(), 1500);
    run.firstIndex = nivraSimSampleIndex() - 1500;
    return run;
}

} // namespace

TEST_F(PhysicsTest, DacStepMovesTheBeamAfterTheDeadTimeOnly)
{
    const StepRun still = runStep(0.0, 0);
    const StepRun moved = runStep(1.0, 0);
    ASSERT_EQ(still.stepIndex, moved.stepIndex);
    ASSERT_EQ(still.firstIndex, moved.firstIndex);
    const std::size_t at = static_cast<std::size_t>(moved.stepIndex - moved.firstIndex);
    EXPECT_EQ(moved.records[at].dac[0], 1.0);       // the output changes at once
    EXPECT_EQ(moved.records[at - 1].dac[0], 0.0);

    // Same seed, same noise: the beam words stay identical until the step arrives.
    std::size_t first = moved.records.size();
    for (std::size_t i = 0; i < moved.records.size(); ++i)
        if (moved.records[i].bpm1X != still.records[i].bpm1X) {
            first = i;
            break;
        }
    const long delay = static_cast<long>(first) - static_cast<long>(at);
    EXPECT_GE(delay, 9);  // 0.2 ms dead time = 10 samples at 50 kHz
    EXPECT_LE(delay, 12);

    // 20 ms later the 1 ms lag has settled: 2 um per volt at BPM1, 3.5 at BPM2.
    const DisplayRecord &a = moved.records.back();
    const DisplayRecord &b = still.records.back();
    EXPECT_NEAR(a.bpm1X - b.bpm1X, 2.0, 1e-3);
    EXPECT_NEAR(a.bpm2X - b.bpm2X, 3.5, 1e-3);
    EXPECT_NEAR(a.bpm1Y - b.bpm1Y, 0.0, 1e-9);
}

// The step-response tool's run: 50 kHz raw stream, bias, bias + step, bias on the
// X loop's DAC channel for 100, 100 and 120 ms, one 14336-record read of a freshly
// opened display node, then levels from the sorted tails and first crossings.
TEST_F(PhysicsTest, OpenLoopStepAsTheStepResponseToolSeesIt)
{
    for (const int word : {0, 4}) {
        nivraSimReset(23);
        nivraSimUseManualClock(1);
        nivraSimAdvance(2.0);
        ASSERT_EQ(setDisplayFreq(50000, 1), 0);
        const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
        const int display = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
        ASSERT_EQ(setOutputMux(0), 0);
        const double step = 5.0;
        writeDac(dac, 0.0, 0.0, 0.0, 0.0);
        nivraSimAdvance(0.1);
        writeDac(dac, step, 0.0, 0.0, 0.0);
        nivraSimAdvance(0.1);
        writeDac(dac, 0.0, 0.0, 0.0, 0.0);
        nivraSimAdvance(0.12);
        std::vector<DisplayRecord> buf(14336);
        ASSERT_EQ(DeviceNode::read(display, buf.data(), 3670016), 3670016);
        DeviceNode::close(dac);
        DeviceNode::close(display);

        const int n = 14335;
        std::vector<double> r(n);
        for (int k = 0; k < n; ++k)
            r[k] = buf[k].word(word);
        std::vector<double> sorted = r;
        std::sort(sorted.begin(), sorted.end());
        double y0 = 0.0, y1 = 0.0;
        for (int k = 0; k < n / 10; ++k)
            y0 += sorted[k];
        for (int k = 9 * n / 10; k < n; ++k)
            y1 += sorted[k];
        y0 /= n / 10.0;
        y1 /= n / 10.0;
        const double dc = y1 - y0;
        auto firstAbove = [&](const std::vector<double> &v, int from, double level) {
            for (int k = from; k < n; ++k)
                if (v[k] > level)
                    return k - 1;
            return n - 1;
        };
        const int i10 = firstAbove(r, 1, y0 + 0.1 * dc);
        const int i90 = firstAbove(r, i10, y0 + 0.9 * dc);
        std::vector<double> stimulus(n);
        for (int k = 0; k < n; ++k)
            stimulus[k] = buf[k].dac[0];
        const int iStep = firstAbove(stimulus, 0, 0.5 * step);
        ASSERT_GT(iStep, 1000); // the step lies inside the buffer
        const double gain = word == 0 ? 2.0 : 3.5;
        EXPECT_NEAR(dc / step, gain, 0.1 * gain) << "word " << word;
        const double deadMs = (i10 - iStep) / 50.0, riseMs = (i90 - i10) / 50.0;
        EXPECT_GT(deadMs, 0.1) << "word " << word; // 0.2 ms dead time
        EXPECT_LT(deadMs, 0.5) << "word " << word;
        EXPECT_GT(riseMs, 1.5) << "word " << word; // 2.2 ms for a 1 ms lag
        EXPECT_LT(riseMs, 3.0) << "word " << word;
    }
}

// What the PID tab sends with its form's defaults: 1000 Hz at the encoder boxes'
// 5000 Hz base clock (window 5), Kp 0.3, Ki 0.1, Kd 0.01, e min 0, I max 100,
// outputs -12 .. 12 V, O gain 1, offsets 0. Both BPMs as sources: each settles on a
// new setpoint without ringing.
TEST_F(PhysicsTest, EditorDefaultsRegulateStablyFromEitherBpm)
{
    for (const int bpm : {0, 1}) {
        nivraSimReset(31);
        nivraSimUseManualClock(1);
        nivraSimSetNoiseScale(0.0);
        setDisplayFreq(10000, 0);
        for (int axis = 0; axis < 2; ++axis) {
            ASSERT_EQ(setWindAvg(axis, 5), 0);
            ASSERT_EQ(setPIDparams(static_cast<std::int8_t>(axis), 0.3, 0.1, 0.01, 0, 100, -12, 12, 1), 0);
        }
        ASSERT_EQ(setOffset(0.0, 0.0, 0.0), 0);
        ASSERT_EQ(setBPMselector(bpm, bpm, 0), 0);
        ASSERT_EQ(setFBenable(1), 0);
        nivraSimAdvance(0.5);
        ASSERT_EQ(setSetpoint2(0, 5.0), 0);
        ASSERT_EQ(setSetpoint2(1, -3.0), 0);
        nivraSimAdvance(0.1);
        const auto r = newest(1000); // 100 ms at 10 kHz
        for (int axis = 0; axis < 2; ++axis) {
            const double target = axis == 0 ? 5.0 : -3.0;
            double worst = 0.0, lateWorst = 0.0;
            for (std::size_t k = 0; k < r.size(); ++k) {
                const double overshoot = (r[k].word(4 * bpm + axis) - target) / target;
                worst = std::max(worst, overshoot);
                if (k >= 500) // from 50 ms on
                    lateWorst = std::max(lateWorst, std::fabs(overshoot));
            }
            EXPECT_LT(worst, 0.2) << "bpm " << bpm << " axis " << axis;
            EXPECT_LT(lateWorst, 0.02) << "bpm " << bpm << " axis " << axis;
        }
    }
}

TEST_F(PhysicsTest, HostWritesReachTheBeamOnlyWithMuxZero)
{
    const StepRun still = runStep(0.0, 1);
    const StepRun written = runStep(2.0, 1);
    EXPECT_EQ(written.records.back().dac[0], 0.0); // the loops own the outputs
    EXPECT_EQ(written.records.back().bpm1X, still.records.back().bpm1X);
    setOutputMux(0);
    EXPECT_EQ(nivraSimDacOutput(0), 2.0);
    EXPECT_EQ(nivraSimSetting("hostDac", 0), 2.0);
}

TEST_F(PhysicsTest, FeedbackHoldsTheSetpointAndShrinksTheNoise)
{
    nivraSimAdvance(2.0);
    const auto off = newest(2000);
    ASSERT_EQ(setFBenable(1), 0);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);
    nivraSimAdvance(2.0);
    const auto on = newest(1000); // the last second, after the pull-in
    EXPECT_NEAR(mean(on, 0), 0.0, 0.02);
    EXPECT_NEAR(mean(on, 1), 0.0, 0.02);
    EXPECT_LT(stddev(on, 0), 0.5 * stddev(off, 0));
    EXPECT_LT(stddev(on, 1), 0.5 * stddev(off, 1));

    ASSERT_EQ(setSetpoint2(0, 5.0), 0);
    ASSERT_EQ(setSetpoint2(1, -3.0), 0);
    nivraSimAdvance(1.0);
    auto moved = newest(500);
    EXPECT_NEAR(mean(moved, 0), 5.0, 0.1);
    EXPECT_NEAR(mean(moved, 1), -3.0, 0.1);

    // BPM2 as the X loop's source: BPM2's X settles on the setpoint instead.
    ASSERT_EQ(setBPMselector(1, 0, 0), 0);
    nivraSimAdvance(1.0);
    moved = newest(500);
    EXPECT_NEAR(mean(moved, 4), 5.0, 0.1);
    EXPECT_GT(std::fabs(mean(moved, 0) - 5.0), 0.5);

    // Only Y regulated: X drifts back to where the X output's offset puts it.
    ASSERT_EQ(setPIDconf(3), 0);
    nivraSimAdvance(1.0);
    moved = newest(500);
    EXPECT_NEAR(mean(moved, 1), -3.0, 0.1);
    EXPECT_NEAR(nivraSimDacOutput(0), 0.0, 1e-12);

    ASSERT_EQ(setFBenable(0), 0);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_OFF);
}

TEST_F(PhysicsTest, LoopOutputsFollowOffsetsLimitsAndChannels)
{
    nivraSimSetNoiseScale(0.0);
    ASSERT_EQ(setPIDconf(0), 0); // X only
    ASSERT_EQ(setOffset(3.0, -2.0, 0.5), 0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(0), 3.0); // feedback off: offsets
    EXPECT_EQ(nivraSimDacOutput(1), -2.0);
    EXPECT_EQ(nivraSimDacOutput(2), 0.5);

    // Gains 0: the output is the offset, clamped into [O min, O max].
    ASSERT_EQ(setPIDparams(0, 0, 0, 0, 0, 100, -12, 1.5, 1), 0);
    ASSERT_EQ(setFBenable(1), 0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(0), 1.5);
    ASSERT_EQ(setPIDparams(0, 0, 0, 0, 0, 100, 3.5, 12, 1), 0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(0), 3.5);

    // The loops move to the channels setPIDoutSel names; unused channels are 0 V.
    ASSERT_EQ(setPIDoutSel(2, 3, 1), 0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(nivraSimDacOutput(2), 3.5);
    EXPECT_EQ(nivraSimDacOutput(3), -2.0);
    EXPECT_EQ(nivraSimDacOutput(1), 0.5);
    EXPECT_EQ(nivraSimDacOutput(0), 0.0);

    // A slower loop (window average) still settles, on the new channel.
    ASSERT_EQ(setPIDparams(0, 0.3, 0.1, 0.01, 0, 100, -12, 12, 1), 0);
    ASSERT_EQ(setOffset(0, 0, 0), 0);
    ASSERT_EQ(setWindAvg(0, 10), 0);
    nivraSimAdvance(1.0);
    EXPECT_NEAR(nivraSimBeamPosition(0, 0), 0.0, 0.05);
    EXPECT_NEAR(nivraSimDacOutput(2), -6.0, 0.05); // 12 um nominal / 2 um per volt
}

TEST_F(PhysicsTest, StatusReportsBeamOffAndRegionOfControl)
{
    ASSERT_EQ(setROCenable(0, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_OFF);
    setFBenable(1);
    nivraSimAdvance(0.1);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);
    nivraSimSetBeamOn(0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(getPIDstatus(), PID_BEAM_OFF);
    auto dark = newest(5);
    EXPECT_LT(std::fabs(dark.back().bpm1I0), 1e-10);
    const double held = nivraSimDacOutput(0);
    nivraSimAdvance(0.2);
    EXPECT_EQ(nivraSimDacOutput(0), held); // outputs hold while the beam is off
    nivraSimSetBeamOn(1);
    nivraSimAdvance(0.01);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);

    // Without its check, beam off is not reported.
    setROCenable(0, 0, 0, 0, 0, 0);
    nivraSimSetBeamOn(0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);
    nivraSimSetBeamOn(1);
    nivraSimAdvance(0.5);

    // Region of control: a deviation beyond the upper limit latches the fault.
    ASSERT_EQ(setROClimits(0, 0.0, 50.0), 0);
    ASSERT_EQ(setROCenable(1, 0, 0, 0, 0, 0), 0);
    nivraSimAdvance(0.1);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);
    setROClimits(0, 0.0, 1e-6);
    nivraSimAdvance(0.01);
    EXPECT_EQ(getPIDstatus(), PID_FAULT_OUT_OF_ROC);
    setROClimits(0, 0.0, 50.0);
    nivraSimAdvance(0.1);
    EXPECT_EQ(getPIDstatus(), PID_FAULT_OUT_OF_ROC); // latched
    ASSERT_EQ(setCtrlReset(), 0);
    nivraSimAdvance(0.01);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);
}

TEST_F(PhysicsTest, GeneratorDrivesTheOutputsAndCarriesItsReferences)
{
    setDisplayFreq(10000, 0);
    nivraSimAdvance(0.1);
    auto before = newest(100);
    for (const auto &r : before) {
        EXPECT_EQ(r.refInPhase, 0.0f);
        EXPECT_EQ(r.refQuadrature, 0.0f);
    }
    float amp[4] = {0.5f, 0.0f, 0.0f, 0.0f};
    float off[4] = {1.0f, 2.0f, -1.0f, 0.0f};
    ASSERT_EQ(funcGenConfig(amp, off, 37.0f), 0);
    ASSERT_EQ(funcGenEnable(1), 0);
    nivraSimAdvance(1.0);
    const auto r = newest(10000); // exactly 37 periods
    double dacMean = mean(r, 8);
    EXPECT_NEAR(dacMean, 1.0, 1e-3);
    double inPhase = 0.0, quad = 0.0;
    for (const auto &x : r) {
        inPhase += (x.dac[0] - dacMean) * x.refInPhase;
        quad += (x.dac[0] - dacMean) * x.refQuadrature;
        EXPECT_NEAR(x.refInPhase * x.refInPhase + x.refQuadrature * x.refQuadrature, 1.0, 1e-5);
        EXPECT_EQ(x.dac[1], 2.0);
        EXPECT_EQ(x.dac[2], -1.0);
    }
    EXPECT_NEAR(inPhase / r.size(), 0.25, 1e-3); // amplitude / 2: the output is the in-phase sine
    EXPECT_NEAR(quad / r.size(), 0.0, 1e-3);

    ASSERT_EQ(funcGenEnable(0), 0);
    nivraSimAdvance(0.01);
    const auto after = newest(50);
    EXPECT_EQ(after.back().refInPhase, 0.0f);
    EXPECT_EQ(after.back().refQuadrature, 0.0f);
    EXPECT_EQ(after.back().dac[0], 0.0); // back to the loops' outputs
}

TEST_F(PhysicsTest, LockInThroughTheDisplayNodeMeasuresThePlantGain)
{
    // The frequency sweep's way: open the node, set the rate, start the generator,
    // wait, read 14336 records and demodulate the first 3583 against word 7.
    nivraSimSetNoiseScale(0.0);
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    ASSERT_GE(fd, 0);
    setDisplayFreq(10000, 0);
    float amp[4] = {0.05f, 0.0f, 0.0f, 0.0f};
    float off[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    funcGenConfig(amp, off, 10.0f);
    funcGenEnable(1);
    nivraSimAdvance(1.079);
    std::vector<DisplayRecord> buf(14336);
    ASSERT_EQ(DeviceNode::read(fd, buf.data(), buf.size() * sizeof(DisplayRecord)), 3670016);
    funcGenEnable(0);
    DeviceNode::close(fd);
    const int n = 3583;
    double mr = 0, mi = 0, mq = 0;
    for (int j = 0; j < n; ++j) {
        mr += buf[j].bpm1X;
        mi += buf[j].refInPhase;
        mq += buf[j].refQuadrature;
    }
    mr /= n;
    mi /= n;
    mq /= n;
    double x = 0, y = 0;
    for (int j = 0; j < n; ++j) {
        x += (buf[j].bpm1X - mr) * (buf[j].refInPhase - mi);
        y += (buf[j].bpm1X - mr) * (buf[j].refQuadrature - mq);
    }
    x /= n;
    y /= n;
    const double magnitude = 2.0 * std::sqrt(x * x + y * y) / amp[0];
    EXPECT_NEAR(magnitude, 2.0, 0.1); // 2 um per volt, little lag at 10 Hz
    EXPECT_LT(std::atan2(y, x), 0.0); // the beam lags the drive
    EXPECT_GT(std::atan2(y, x), -0.2);
}

// The plant 2 e^(-s 0.2 ms) / (1 + s 1 ms) at 1 kHz whatever the display rate (and
// so the internal step): lock-in of the raw stream against the generator's references.
TEST_F(PhysicsTest, PlantResponseIsTheSameAtEveryDisplayRate)
{
    nivraSimSetNoiseScale(0.0);
    for (const int rate : {3000, 10000, 50000}) {
        setDisplayFreq(rate, 1);
        float amp[4] = {0.5f, 0, 0, 0}, off[4] = {1.0f, 0, 0, 0};
        funcGenConfig(amp, off, 1000.0f);
        funcGenEnable(1);
        nivraSimAdvance(0.1);
        const auto r = newest(rate / 20); // 50 periods
        const double m = mean(r, 0);
        std::complex<double> z;
        for (const auto &rec : r)
            z += (rec.bpm1X - m) * std::complex<double>(rec.refInPhase, rec.refQuadrature);
        const auto plant = std::polar(2.0, -2 * M_PI * 0.2) / std::complex<double>(1.0, 2 * M_PI);
        EXPECT_NEAR(std::abs(4.0 * z / double(r.size()) / plant - 1.0), 0.0, 0.01) << rate; // 0.6 degrees
    }
}

TEST_F(PhysicsTest, IntensityPeaksInsideTheRockingRanges)
{
    setFBenable(0);
    setOutputMux(0);
    const int meter = DeviceNode::open(DeviceNodeName::Meter1, O_RDWR | O_SYNC);
    const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    ASSERT_GE(meter, 0);
    ASSERT_GE(dac, 0);
    auto sumAt = [&](double v0, double v1, double v2) {
        writeDac(dac, v0, v1, v2, 0.0);
        nivraSimAdvance(0.01);
        CurrentReadings c;
        DeviceNode::ioctl(meter, METER_IOC_CURRENTS, &c);
        return c.amps[0] + c.amps[1] + c.amps[2] + c.amps[3];
    };
    // 1-D scans of each loop's channel over 0 .. 5 V, the others at rest.
    for (int ch = 0; ch < 3; ++ch) {
        int best = 0;
        double bestSum = -1.0, lowest = 1.0;
        for (int i = 0; i < 50; ++i) {
            const double v = 0.1 * i;
            const double s = sumAt(ch == 0 ? v : 0.0, ch == 1 ? v : 0.0, ch == 2 ? v : 0.0);
            lowest = std::min(lowest, s);
            if (s > bestSum) {
                bestSum = s;
                best = i;
            }
        }
        EXPECT_GT(best, 35) << "channel " << ch; // a peak between 3.5 and 4.9 V
        EXPECT_LT(best, 49) << "channel " << ch;
        EXPECT_GT(bestSum, 1.8 * lowest) << "channel " << ch;
        EXPECT_GT(bestSum, 1e-8);
        EXPECT_LT(bestSum, 1e-5);
    }
    // 3-D scan: DAC channels 1 and 2 over 4 .. 6 V.
    int bi = 0, bj = 0;
    double best = -1.0;
    for (int i = 0; i < 11; ++i)
        for (int j = 0; j < 11; ++j) {
            const double s = sumAt(4.0 + 0.2 * i, 4.0 + 0.2 * j, 0.0);
            if (s > best) {
                best = s;
                bi = i;
                bj = j;
            }
        }
    EXPECT_GT(bi, 0);
    EXPECT_LT(bi, 10);
    EXPECT_GT(bj, 0);
    EXPECT_LT(bj, 10);
    DeviceNode::close(meter);
    DeviceNode::close(dac);
}

TEST_F(PhysicsTest, StatisticsDescribeTheLastSecond)
{
    nivraSimAdvance(2.0);
    const auto r = newest(1000);
    BpmStats s;
    std::memset(&s, 0, sizeof s);
    ASSERT_EQ(getBPMStats(&s), 0);
    EXPECT_NEAR(s.xMean(0), mean(r, 0), 1e-9);
    EXPECT_NEAR(s.yMean(0), mean(r, 1), 1e-9);
    EXPECT_NEAR(s.xMean(1), mean(r, 4), 1e-9);
    EXPECT_NEAR(s.yMean(1), mean(r, 5), 1e-9);
    EXPECT_NEAR(s.xStd(0), stddev(r, 0), 1e-6);
    EXPECT_NEAR(s.yStd(1), stddev(r, 5), 1e-6);
    // 100 Hz averages keep the slow motion, lose the white noise.
    EXPECT_GT(s.xStd100Hz(0), 0.0);
    EXPECT_LT(s.xStd100Hz(0), s.xStd(0));
    EXPECT_NEAR(s.xMean(0), 12.0, 5.0); // tens of um at scale 1

    // A BPM without a module reads zero in the stream and in the statistics.
    nivraSimSetSfpModule(1, 0, 0, 0, 0);
    nivraSimAdvance(2.0);
    getBPMStats(&s);
    EXPECT_EQ(s.xMean(1), 0.0);
    const auto late = newest(10);
    EXPECT_EQ(late.back().bpm2X, 0.0);
    EXPECT_EQ(late.back().encoder[1][0], 0.0);
    EXPECT_NE(late.back().bpm1X, 0.0);
}

TEST_F(PhysicsTest, EncoderChannelsGiveThePositionsBack)
{
    nivraSimAdvance(0.5);
    for (const auto &r : newest(100))
        for (int b = 0; b < 2; ++b) {
            const double *e = r.encoder[b];
            const double x = b ? r.bpm2X : r.bpm1X;
            const double y = b ? r.bpm2Y : r.bpm1Y;
            const double i0 = b ? r.bpm2I0 : r.bpm1I0;
            EXPECT_NEAR(1000.0 * (e[1] - e[3]) / (e[1] + e[3]), x, 1e-6);
            EXPECT_NEAR(1000.0 * (e[0] - e[2]) / (e[0] + e[2]), y, 1e-6);
            EXPECT_NEAR((e[0] + e[1] + e[2] + e[3]) * 1e-12, i0, 1e-15);
            EXPECT_GT(i0, 1e-8);
        }
}

TEST_F(PhysicsTest, SameSeedSameStream)
{
    auto take = [](std::uint64_t seed) {
        nivraSimReset(seed);
        nivraSimUseManualClock(1);
        setFBenable(1);
        nivraSimAdvance(1.5);
        float amp[4] = {0.1f, 0, 0, 0}, off[4] = {0, 0, 0, 0};
        funcGenConfig(amp, off, 3.0f);
        nivraSimAdvance(0.5);
        std::vector<DisplayRecord> v(3000);
        getBuffer(v.data(), 3000);
        return v;
    };
    const auto a = take(5), b = take(5), c = take(6);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(DisplayRecord)), 0);
    EXPECT_NE(std::memcmp(a.data(), c.data(), a.size() * sizeof(DisplayRecord)), 0);
}

TEST_F(PhysicsTest, DefaultLoopRateFollowsTheBaseClockUntilSet)
{
    EXPECT_EQ(nivraSimSetting("windowAvg", 0), 5); // encoder boxes: 5000 Hz base clock
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    EXPECT_EQ(nivraSimSetting("windowAvg", 0), 100); // 100 kHz base clock, still 1 kHz
    ASSERT_EQ(setWindAvg(1, 7), 0);
    nivraSimSetTovash(0, 1);
    EXPECT_EQ(nivraSimSetting("windowAvg", 0), 5);
    EXPECT_EQ(nivraSimSetting("windowAvg", 1), 7); // the host's choice stays
    nivraSimSetTovash(0, 0);

    // The default parameters regulate at the plain modules' clock as well.
    setFBenable(1);
    nivraSimAdvance(2.0);
    const auto on = newest(1000);
    EXPECT_NEAR(mean(on, 0), 0.0, 0.1);
    EXPECT_LT(stddev(on, 0), 0.2);
}
