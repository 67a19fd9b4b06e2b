// The 37 functions of the controller library, served by the simulator.
#include <cmath>
#include <cstring>
#include <string>

#include "NivraLibrary.h"
#include "Simulator.h"
#include "TraceLine.h"

#define NIVRA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Runs one library call under the simulator's lock: fault injection first, then
// the body; the log line is formatted after the call so outputs show their values.
template <class Body, class Format>
int libraryCall(const char *name, Body body, Format format)
{
    Simulator &sim = Simulator::instance();
    std::lock_guard<std::mutex> lock(sim.mutex());
    sim.catchUp();
    int result = 0;
    bool written = false;
    const auto callText = [&] {
        TraceLine probe(name);
        format(probe, false);
        return probe.finish(0);
    };
    if (!sim.injected(name, callText, result)) {
        result = body(sim);
        written = result >= 0;
    }
    TraceLine line(name);
    format(line, written);
    sim.record(line.finish(result));
    return result;
}

bool isFinite(double v) { return std::isfinite(v); }
bool isBpm(int bpm) { return bpm == 0 || bpm == 1; }
bool isLoop(int axis) { return axis >= 0 && axis <= 2; }

ControllerSettings &settings(Simulator &sim) { return sim.model().settings(); }

} // namespace

NIVRA_EXPORT int getSystemVersion(std::uint32_t *hwTimestamp, std::uint32_t *swVersion, std::uint32_t *pidVersion)
{
    return libraryCall(
        "getSystemVersion",
        [&](Simulator &) {
            if (!hwTimestamp || !swVersion || !pidVersion)
                return -1;
            *hwTimestamp = Simulator::HwTimestamp;
            *swVersion = Simulator::SwVersion;
            *pidVersion = Simulator::PidVersion;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(hwTimestamp, w).out(swVersion, w).out(pidVersion, w); });
}

NIVRA_EXPORT int setCtrlReset(void)
{
    return libraryCall(
        "setCtrlReset",
        [&](Simulator &sim) {
            sim.model().controllerReset();
            return 0;
        },
        [&](TraceLine &, bool) {});
}

NIVRA_EXPORT int setPIDconf(std::int8_t code)
{
    return libraryCall(
        "setPIDconf",
        [&](Simulator &sim) {
            if (code < 0 || code > 6)
                return -1;
            settings(sim).pidConf = code;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(code); });
}

NIVRA_EXPORT int getPIDconf(std::int8_t *code)
{
    return libraryCall(
        "getPIDconf",
        [&](Simulator &sim) {
            if (!code)
                return -1;
            *code = settings(sim).pidConf;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(code, w); });
}

NIVRA_EXPORT int setFBenable(std::uint8_t on)
{
    return libraryCall(
        "setFBenable",
        [&](Simulator &sim) {
            sim.model().setFeedback(on != 0);
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(on); });
}

NIVRA_EXPORT int setSetpoint2(int axis, double value)
{
    return libraryCall(
        "setSetpoint2",
        [&](Simulator &sim) {
            if (!isLoop(axis) || !isFinite(value))
                return -1;
            settings(sim).setpoint[axis] = value;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(axis).arg(value); });
}

NIVRA_EXPORT int getSetpoint2(int axis, double *value)
{
    return libraryCall(
        "getSetpoint2",
        [&](Simulator &sim) {
            if (!isLoop(axis) || !value)
                return -1;
            *value = settings(sim).setpoint[axis];
            return 0;
        },
        [&](TraceLine &t, bool w) { t.arg(axis).out(value, w); });
}

NIVRA_EXPORT int setWindAvg(int axis, int window)
{
    return libraryCall(
        "setWindAvg",
        [&](Simulator &sim) {
            if (!isLoop(axis) || window < 1)
                return -1;
            settings(sim).windowAvg[axis] = window;
            settings(sim).windowAvgSet[axis] = true;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(axis).arg(window); });
}

NIVRA_EXPORT int tovashEncoderSelect(int select, std::uint8_t bpm)
{
    return libraryCall(
        "tovashEncoderSelect",
        [&](Simulator &sim) {
            if (!isBpm(bpm))
                return -1;
            settings(sim).encoderSelect[bpm] = select;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(select).arg(bpm); });
}

NIVRA_EXPORT int getOutputMux(std::uint8_t *mux)
{
    return libraryCall(
        "getOutputMux",
        [&](Simulator &sim) {
            if (!mux)
                return -1;
            *mux = settings(sim).outputMux;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(mux, w); });
}

NIVRA_EXPORT int setOutputMux(std::uint8_t mux)
{
    return libraryCall(
        "setOutputMux",
        [&](Simulator &sim) {
            if (mux > 1)
                return -1;
            settings(sim).outputMux = mux;
            sim.model().refreshDac();
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(mux); });
}

NIVRA_EXPORT int setBPMselector(int x, int y, int i0)
{
    return libraryCall(
        "setBPMselector",
        [&](Simulator &sim) {
            if (!isBpm(x) || !isBpm(y) || !isBpm(i0))
                return -1;
            auto &s = settings(sim);
            s.bpmSelector[0] = x;
            s.bpmSelector[1] = y;
            s.bpmSelector[2] = i0;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(x).arg(y).arg(i0); });
}

NIVRA_EXPORT int getBPMselector(int *x, int *y, int *i0)
{
    return libraryCall(
        "getBPMselector",
        [&](Simulator &sim) {
            if (!x || !y || !i0)
                return -1;
            const auto &s = settings(sim);
            *x = s.bpmSelector[0];
            *y = s.bpmSelector[1];
            *i0 = s.bpmSelector[2];
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(x, w).out(y, w).out(i0, w); });
}

NIVRA_EXPORT int setPIDoutSel(std::uint8_t x, std::uint8_t y, std::uint8_t i0)
{
    return libraryCall(
        "setPIDoutSel",
        [&](Simulator &sim) {
            if (x > 3 || y > 3 || i0 > 3)
                return -1;
            auto &s = settings(sim);
            s.pidOutSel[0] = x;
            s.pidOutSel[1] = y;
            s.pidOutSel[2] = i0;
            sim.model().refreshDac();
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(x).arg(y).arg(i0); });
}

NIVRA_EXPORT int setDisplayFreq(int rateHz, std::uint8_t mode)
{
    return libraryCall(
        "setDisplayFreq",
        [&](Simulator &sim) {
            if (rateHz < 1 || rateHz > 100000)
                return -1;
            sim.model().setDisplayRate(rateHz, mode, sim.nowNs());
            sim.restartDisplayReaders(sim.model().rateStartIndex());
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(rateHz).arg(mode); });
}

NIVRA_EXPORT int getDisplayFreq(int *rateHz, std::uint8_t *mode)
{
    return libraryCall(
        "getDisplayFreq",
        [&](Simulator &sim) {
            if (!rateHz || !mode)
                return -1;
            *rateHz = settings(sim).displayRate;
            *mode = settings(sim).displayMode;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(rateHz, w).out(mode, w); });
}

NIVRA_EXPORT int setROClimits(int channel, double lower, double upper)
{
    return libraryCall(
        "setROClimits",
        [&](Simulator &sim) {
            if (channel < 0 || channel > 5 || !isFinite(lower) || !isFinite(upper))
                return -1;
            settings(sim).rocLower[channel] = lower;
            settings(sim).rocUpper[channel] = upper;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(channel).arg(lower).arg(upper); });
}

NIVRA_EXPORT int setROCenable(std::uint8_t bpm1X, std::uint8_t bpm1Y, std::uint8_t bpm1BeamOff,
                              std::uint8_t bpm2X, std::uint8_t bpm2Y, std::uint8_t bpm2BeamOff)
{
    const std::uint8_t flags[6] = {bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff};
    return libraryCall(
        "setROCenable",
        [&](Simulator &sim) {
            for (int k = 0; k < 6; ++k)
                settings(sim).rocEnable[k] = flags[k];
            return 0;
        },
        [&](TraceLine &t, bool) {
            for (int k = 0; k < 6; ++k)
                t.arg(flags[k]);
        });
}

NIVRA_EXPORT int getROCenable(std::uint8_t *bpm1X, std::uint8_t *bpm1Y, std::uint8_t *bpm1BeamOff,
                              std::uint8_t *bpm2X, std::uint8_t *bpm2Y, std::uint8_t *bpm2BeamOff)
{
    std::uint8_t *flags[6] = {bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff};
    return libraryCall(
        "getROCenable",
        [&](Simulator &sim) {
            for (auto *f : flags)
                if (!f)
                    return -1;
            for (int k = 0; k < 6; ++k)
                *flags[k] = settings(sim).rocEnable[k];
            return 0;
        },
        [&](TraceLine &t, bool w) {
            for (auto *f : flags)
                t.out(f, w);
        });
}

NIVRA_EXPORT int setTovashSumDiff(std::uint8_t bpm, std::uint8_t mathFunction)
{
    return libraryCall(
        "setTovashSumDiff",
        [&](Simulator &sim) {
            if (!isBpm(bpm))
                return -1;
            settings(sim).tovashSumDiff[bpm] = mathFunction;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(bpm).arg(mathFunction); });
}

NIVRA_EXPORT int setTovashType(std::uint8_t bpm, std::uint8_t encoderType)
{
    return libraryCall(
        "setTovashType",
        [&](Simulator &sim) {
            if (!isBpm(bpm))
                return -1;
            settings(sim).tovashType[bpm] = encoderType;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(bpm).arg(encoderType); });
}

NIVRA_EXPORT int setBPMscale(int bpm, double scaleX, double scaleY)
{
    return libraryCall(
        "setBPMscale",
        [&](Simulator &sim) {
            if (!isBpm(bpm) || !isFinite(scaleX) || !isFinite(scaleY))
                return -1;
            settings(sim).bpmScale[bpm][0] = scaleX;
            settings(sim).bpmScale[bpm][1] = scaleY;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(bpm).arg(scaleX).arg(scaleY); });
}

NIVRA_EXPORT int setOffset(double x, double y, double i0)
{
    return libraryCall(
        "setOffset",
        [&](Simulator &sim) {
            if (!isFinite(x) || !isFinite(y) || !isFinite(i0))
                return -1;
            auto &s = settings(sim);
            s.pidOffset[0] = x;
            s.pidOffset[1] = y;
            s.pidOffset[2] = i0;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(x).arg(y).arg(i0); });
}

NIVRA_EXPORT int setBPMoffsetTovash(int bpm, int encoderType, double offsetX, double offsetY)
{
    return libraryCall(
        "setBPMoffsetTovash",
        [&](Simulator &sim) {
            if (!isBpm(bpm) || !isFinite(offsetX) || !isFinite(offsetY))
                return -1;
            auto &s = settings(sim);
            s.offsetTovashType[bpm] = encoderType;
            s.offsetTovash[bpm][0] = offsetX;
            s.offsetTovash[bpm][1] = offsetY;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(bpm).arg(encoderType).arg(offsetX).arg(offsetY); });
}

NIVRA_EXPORT int setCrossBar(std::uint8_t bpm, std::uint8_t top, std::uint8_t right, std::uint8_t bottom,
                             std::uint8_t left)
{
    return libraryCall(
        "setCrossBar",
        [&](Simulator &sim) {
            if (!isBpm(bpm))
                return -1;
            auto &c = settings(sim).crossBar[bpm];
            c[0] = top;
            c[1] = right;
            c[2] = bottom;
            c[3] = left;
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(bpm).arg(top).arg(right).arg(bottom).arg(left); });
}

NIVRA_EXPORT int setPIDparams(std::int8_t axis, double p0, double p1, double p2, double p3, double p4, double p5,
                              double p6, double p7)
{
    const double p[8] = {p0, p1, p2, p3, p4, p5, p6, p7};
    return libraryCall(
        "setPIDparams",
        [&](Simulator &sim) {
            if (!isLoop(axis))
                return -1;
            for (double v : p)
                if (!isFinite(v))
                    return -1;
            settings(sim).pid[axis] = PidParams{p0, p1, p2, p3, p4, p5, p6, p7};
            return 0;
        },
        [&](TraceLine &t, bool) {
            t.arg(axis);
            for (double v : p)
                t.arg(v);
        });
}

NIVRA_EXPORT int getTovashes(int *bpm1, int *bpm2)
{
    return libraryCall(
        "getTovashes",
        [&](Simulator &sim) {
            if (!bpm1 || !bpm2)
                return -1;
            *bpm1 = sim.tovash(0) ? 1 : 0;
            *bpm2 = sim.tovash(1) ? 1 : 0;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(bpm1, w).out(bpm2, w); });
}

NIVRA_EXPORT int getOscalons(int *meter1, int *meter2)
{
    return libraryCall(
        "getOscalons",
        [&](Simulator &sim) {
            if (!meter1 || !meter2)
                return -1;
            *meter1 = sim.meterPresent(0) ? 1 : 0;
            *meter2 = sim.meterPresent(1) ? 1 : 0;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(meter1, w).out(meter2, w); });
}

NIVRA_EXPORT int getBuffer(void *buffer, int records)
{
    return libraryCall(
        "getBuffer",
        [&](Simulator &sim) {
            if (!buffer || records < 0)
                return -1;
            BeamModel &m = sim.model();
            std::size_t n = sim.readLimit(static_cast<std::size_t>(records));
            n = std::min<std::size_t>(n, static_cast<std::size_t>(m.produced() - m.oldestKept()));
            m.copyRecords(m.produced() - n, n, static_cast<DisplayRecord *>(buffer));
            return static_cast<int>(n);
        },
        [&](TraceLine &t, bool) { t.raw(buffer ? "buffer" : "null").arg(records); });
}

NIVRA_EXPORT int getLock(char user[32], char password[32])
{
    return libraryCall(
        "getLock",
        [&](Simulator &sim) {
            if (!user || !password)
                return -1;
            return sim.grantLock(std::string(user, strnlen(user, 32)), std::string(password, strnlen(password, 32)));
        },
        [&](TraceLine &t, bool) { t.quoted(user, 32).quoted(password, 32); });
}

NIVRA_EXPORT int getLockStatus(void)
{
    return libraryCall(
        "getLockStatus", [&](Simulator &sim) { return sim.lockLevel(); }, [&](TraceLine &, bool) {});
}

NIVRA_EXPORT int getPIDstatus(void)
{
    return libraryCall(
        "getPIDstatus", [&](Simulator &sim) { return sim.model().pidStatus(); }, [&](TraceLine &, bool) {});
}

NIVRA_EXPORT int getBPMStats(void *block)
{
    return libraryCall(
        "getBPMStats",
        [&](Simulator &sim) {
            if (!block)
                return -1;
            BpmStats stats;
            sim.model().statistics(stats);
            std::memcpy(block, &stats, sizeof stats);
            return 0;
        },
        [&](TraceLine &t, bool) { t.raw(block ? "buffer" : "null"); });
}

NIVRA_EXPORT int getSFPinfo(int port, std::uint16_t *id, std::uint32_t *hwVersion, std::uint32_t *version,
                            std::uint32_t *serial)
{
    return libraryCall(
        "getSFPinfo",
        [&](Simulator &sim) {
            if (port < 0 || port > 3 || !id || !hwVersion || !version || !serial)
                return -1;
            const SfpRecord r = sim.sfp(port);
            *id = r.deviceId;
            *hwVersion = r.hwVersion;
            *version = r.version;
            *serial = r.serialNumber;
            return 0;
        },
        [&](TraceLine &t, bool w) { t.arg(port).outHex(id, w).out(hwVersion, w).out(version, w).out(serial, w); });
}

NIVRA_EXPORT int getPIDoutSel(std::uint8_t *x, std::uint8_t *y, std::uint8_t *i0)
{
    return libraryCall(
        "getPIDoutSel",
        [&](Simulator &sim) {
            if (!x || !y || !i0)
                return -1;
            const auto &s = settings(sim);
            *x = s.pidOutSel[0];
            *y = s.pidOutSel[1];
            *i0 = s.pidOutSel[2];
            return 0;
        },
        [&](TraceLine &t, bool w) { t.out(x, w).out(y, w).out(i0, w); });
}

NIVRA_EXPORT int funcGenConfig(float amplitude[4], float offset[4], float frequency)
{
    return libraryCall(
        "funcGenConfig",
        [&](Simulator &sim) {
            if (!amplitude || !offset || !std::isfinite(frequency) || frequency < 0.0f || frequency > 100000.0f)
                return -1;
            for (int c = 0; c < 4; ++c)
                if (!std::isfinite(amplitude[c]) || !std::isfinite(offset[c]))
                    return -1;
            sim.model().configureGenerator(amplitude, offset, frequency);
            return 0;
        },
        [&](TraceLine &t, bool) { t.floats(amplitude, 4).floats(offset, 4).arg(frequency); });
}

NIVRA_EXPORT int funcGenEnable(std::uint8_t on)
{
    return libraryCall(
        "funcGenEnable",
        [&](Simulator &sim) {
            sim.model().enableGenerator(on != 0);
            return 0;
        },
        [&](TraceLine &t, bool) { t.arg(on); });
}
