// The simulator's control functions and the device-node entry points.
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "DeviceNode.h"
#include "NivraSim.h"
#include "Simulator.h"
#include "TraceLine.h"

#define NIVRA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::size_t MaxReadRecords = BeamModel::RingSize / 2;

Simulator &sim() { return Simulator::instance(); }

double settingValue(const ControllerSettings &s, const std::string &name, int i)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto in = [i](int n) { return i >= 0 && i < n; };
    if (name == "crossBar")
        return in(8) ? s.crossBar[i / 4][i % 4] : nan;
    if (name == "bpmScale")
        return in(4) ? s.bpmScale[i / 2][i % 2] : nan;
    if (name == "pidOffset")
        return in(3) ? s.pidOffset[i] : nan;
    if (name == "windowAvg")
        return in(3) ? s.windowAvg[i] : nan;
    if (name == "pidParams") {
        if (!in(24))
            return nan;
        const PidParams &p = s.pid[i / 8];
        const double v[8] = {p.kp, p.ki, p.kd, p.emin, p.imax, p.omin, p.omax, p.ogain};
        return v[i % 8];
    }
    if (name == "rocLower")
        return in(6) ? s.rocLower[i] : nan;
    if (name == "rocUpper")
        return in(6) ? s.rocUpper[i] : nan;
    if (name == "tovashSumDiff")
        return in(2) ? s.tovashSumDiff[i] : nan;
    if (name == "tovashType")
        return in(2) ? s.tovashType[i] : nan;
    if (name == "encoderSelect")
        return in(2) ? s.encoderSelect[i] : nan;
    if (name == "offsetTovashType")
        return in(2) ? s.offsetTovashType[i] : nan;
    if (name == "offsetTovash")
        return in(4) ? s.offsetTovash[i / 2][i % 2] : nan;
    if (name == "genAmplitude")
        return in(4) ? s.genAmplitude[i] : nan;
    if (name == "genOffset")
        return in(4) ? s.genOffset[i] : nan;
    if (name == "hostDac")
        return in(4) ? s.hostDac[i] : nan;
    if (name == "genFrequency")
        return in(1) ? s.genFrequency : nan;
    if (name == "genOn")
        return in(1) ? (s.genOn ? 1.0 : 0.0) : nan;
    if (name == "feedbackOn")
        return in(1) ? (s.feedbackOn ? 1.0 : 0.0) : nan;
    return nan;
}

std::string dacText(const DacOutputs &d)
{
    std::string s = "DacOutputs{";
    for (int c = 0; c < 4; ++c)
        s += TraceLine::number(d.volts[c]) + ", ";
    return s + std::to_string(d.apply) + "}";
}

// A filled meter record, its four currents in byte order.
std::string currentsText(const char *record, const double (&amps)[4])
{
    std::string s = std::string("*") + record + "{";
    for (int k = 0; k < 4; ++k)
        s += TraceLine::number(amps[k]) + (k < 3 ? ", " : "}");
    return s;
}

} // namespace

NIVRA_EXPORT void nivraSimReset(std::uint64_t seed)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().keepCallLog();
    sim().reset(seed);
}

NIVRA_EXPORT void nivraSimUseManualClock(int on)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().useManualClock(on != 0);
}

NIVRA_EXPORT void nivraSimAdvance(double seconds)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    if (std::isfinite(seconds) && seconds > 0.0)
        sim().advanceNs(std::llround(seconds * 1e9));
}

NIVRA_EXPORT double nivraSimTime(void)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    return static_cast<double>(sim().nowNs()) * 1e-9;
}

NIVRA_EXPORT void nivraSimFailCall(const char *function, int result)
{
    if (!function)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().failCall(function, result);
}

NIVRA_EXPORT void nivraSimFailNodeOpen(const char *path, int fail)
{
    if (!path)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().failNodeOpen(path, fail != 0);
}

NIVRA_EXPORT void nivraSimShortRead(int maxRecords)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().setShortRead(maxRecords < 0 ? -1 : maxRecords);
}

NIVRA_EXPORT void nivraSimClearFaults(void)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().clearFaults();
}

NIVRA_EXPORT void nivraSimSetSfpModule(int port, std::uint16_t id, std::uint32_t hwVersion, std::uint32_t version,
                                       std::uint32_t serial)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    sim().setSfpModule(port, id, hwVersion, version, serial);
}

NIVRA_EXPORT void nivraSimSetMeterPresent(int meter, int present)
{
    if (meter < 0 || meter > 1)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().setMeterPresent(meter, present != 0);
}

NIVRA_EXPORT void nivraSimSetTovash(int bpm, int present)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    sim().setTovash(bpm, present != 0);
}

NIVRA_EXPORT void nivraSimSetBeamOn(int on)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    sim().model().setBeamOn(on != 0);
}

NIVRA_EXPORT void nivraSimSetNoiseScale(double scale)
{
    if (!std::isfinite(scale) || scale < 0.0)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    sim().model().setNoiseScale(scale);
}

NIVRA_EXPORT std::size_t nivraSimCallLog(char *buffer, std::size_t size)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().keepCallLog();
    const std::string &log = sim().callLog();
    if (buffer && size > 0) {
        const std::size_t n = std::min(size - 1, log.size());
        std::memcpy(buffer, log.data(), n);
        buffer[n] = '\0';
    }
    return log.size();
}

NIVRA_EXPORT void nivraSimClearCallLog(void)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().keepCallLog();
    sim().clearCallLog();
}

NIVRA_EXPORT int nivraSimCallCount(const char *function)
{
    if (!function)
        return 0;
    std::lock_guard<std::mutex> lock(sim().mutex());
    return sim().callCount(function);
}

NIVRA_EXPORT double nivraSimDacOutput(int channel)
{
    if (channel < 0 || channel > 3)
        return std::numeric_limits<double>::quiet_NaN();
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    return sim().model().dacOutput(channel);
}

NIVRA_EXPORT double nivraSimBeamPosition(int bpm, int axis)
{
    if (bpm < 0 || bpm > 1 || axis < 0 || axis > 2)
        return std::numeric_limits<double>::quiet_NaN();
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    return sim().model().beamPosition(bpm, axis);
}

NIVRA_EXPORT std::uint64_t nivraSimSampleIndex(void)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    return sim().model().produced();
}

NIVRA_EXPORT double nivraSimSetting(const char *name, int index)
{
    if (!name)
        return std::numeric_limits<double>::quiet_NaN();
    std::lock_guard<std::mutex> lock(sim().mutex());
    return settingValue(sim().model().settings(), name, index);
}

NIVRA_EXPORT int nivraSimNodeOpen(const char *path, int flags)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    int fd = -1;
    int err = ENOENT;
    if (!path) {
        err = EFAULT;
    } else if (!sim().nodeOpenFails(path)) {
        const std::string p = path;
        if (p == DeviceNodeName::Display)
            fd = sim().openNode(Simulator::NodeKind::Display, flags);
        else if (p == DeviceNodeName::Dac)
            fd = sim().openNode(Simulator::NodeKind::Dac, flags);
        else if (p == DeviceNodeName::Meter1 && sim().meterPresent(0))
            fd = sim().openNode(Simulator::NodeKind::Meter1, flags);
        else if (p == DeviceNodeName::Meter2 && sim().meterPresent(1))
            fd = sim().openNode(Simulator::NodeKind::Meter2, flags);
    }
    TraceLine line("open");
    line.quoted(path, 4096).arg(flags);
    sim().record(line.finish(fd));
    if (fd < 0)
        errno = err;
    return fd;
}

NIVRA_EXPORT int nivraSimNodeIoctl(int fd, unsigned long request, void *record)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    sim().catchUp();
    int result = -1;
    int err = 0;
    std::string what = "record";
    Simulator::Node *node = sim().node(fd);
    if (!node) {
        err = EBADF;
    } else if (!record) {
        err = EFAULT;
    } else if ((node->kind == Simulator::NodeKind::Meter1 || node->kind == Simulator::NodeKind::Meter2)
               && (request == METER_IOC_SNAPSHOT || request == METER_IOC_CURRENTS)) {
        const int meter = node->kind == Simulator::NodeKind::Meter1 ? 0 : 1;
        what = "*?";
        if (!sim().meterPresent(meter)) {
            err = ENODEV;
        } else if (request == METER_IOC_SNAPSHOT) {
            MeterStatus status;
            sim().meterStatus(meter, status);
            std::memcpy(record, &status, sizeof status);
            what = currentsText("MeterStatus", {status.channel4, status.channel3, status.channel2, status.channel1});
            result = 0;
        } else {
            CurrentReadings readings;
            sim().currents(meter, readings);
            std::memcpy(record, &readings, sizeof readings);
            what = currentsText("CurrentReadings", readings.amps);
            result = 0;
        }
    } else if (node->kind == Simulator::NodeKind::Dac && request == DAC_IOC_SET_OUTPUTS) {
        DacOutputs out;
        std::memcpy(&out, record, sizeof out);
        what = dacText(out);
        bool valid = out.apply == 1;
        for (double v : out.volts)
            valid = valid && std::isfinite(v);
        if (sim().requestRefused("DAC_IOC_SET_OUTPUTS")) {
            err = EIO;   // a DAC that does not take the record: the outputs keep their voltages
        } else if (!valid) {
            err = EINVAL;
        } else {
            auto &s = sim().model().settings();
            for (int c = 0; c < 4; ++c)
                s.hostDac[c] = std::max(-BeamModel::DacLimit, std::min(BeamModel::DacLimit, out.volts[c]));
            sim().model().refreshDac();
            result = 0;
        }
    } else {
        err = ENOTTY;
    }
    TraceLine line("ioctl");
    line.arg(fd).hex(request).raw(record ? what : std::string("null"));
    sim().record(line.finish(result));
    if (result < 0)
        errno = err;
    return result;
}

NIVRA_EXPORT ssize_t nivraSimNodeRead(int fd, void *buffer, std::size_t bytes)
{
    std::unique_lock<std::mutex> lock(sim().mutex());
    long result = -1;
    int err = 0;
    const std::size_t wanted = std::min(bytes / sizeof(DisplayRecord), MaxReadRecords);
    const std::size_t count = sim().readLimit(wanted);
    for (;;) {
        sim().catchUp();
        Simulator::Node *node = sim().node(fd);
        if (!node) {
            err = EBADF;
            break;
        }
        if (node->kind != Simulator::NodeKind::Display || wanted == 0) {
            err = EINVAL;
            break;
        }
        if (!buffer) {
            err = EFAULT;
            break;
        }
        BeamModel &m = sim().model();
        auto *out = static_cast<DisplayRecord *>(buffer);
        if (!node->positioned || node->position < m.oldestKept()) {
            // First read: the newest records, at once.
            const std::size_t n = std::min<std::size_t>(count, m.produced() - m.oldestKept());
            m.copyRecords(m.produced() - n, n, out);
            node->positioned = true;
            node->position = m.produced();
            result = static_cast<long>(n * sizeof(DisplayRecord));
            break;
        }
        const std::uint64_t need = node->position + count;
        if (m.produced() >= need) {
            m.copyRecords(node->position, count, out);
            node->position = need;
            result = static_cast<long>(count * sizeof(DisplayRecord));
            break;
        }
        // Wait for the stream like a driver read would.
        const std::int64_t ready = m.recordReadyNs(need - 1);
        if (sim().manualClock()) {
            sim().advanceNs(ready - sim().nowNs());
            continue;
        }
        const std::int64_t waitNs = std::min<std::int64_t>(ready - sim().nowNs(), 100000000);
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::nanoseconds(std::max<std::int64_t>(waitNs, 100000)));
        lock.lock();
    }
    TraceLine line("read");
    line.arg(fd).raw(buffer ? "buffer" : "null").arg(static_cast<unsigned long>(bytes));
    sim().record(line.finish(result));
    if (result < 0)
        errno = err;
    return result;
}

NIVRA_EXPORT int nivraSimNodeClose(int fd)
{
    std::lock_guard<std::mutex> lock(sim().mutex());
    int result = 0;
    if (sim().node(fd))
        sim().closeNode(fd);
    else
        result = -1;
    TraceLine line("close");
    line.arg(fd);
    sim().record(line.finish(result));
    if (result < 0)
        errno = EBADF;
    return result;
}
