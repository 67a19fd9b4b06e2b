#pragma once
// The simulator's one instance: the beam model, the clock, the set-up (SFP
// modules, meters, passwords), the login level, the open device nodes, the fault
// injection and the call log. Every entry point takes mutex() for its whole run
// (node reads let go of it while they wait for the stream).

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "BeamModel.h"
#include "DeviceRecords.h"
#include "Rng.h"

class Simulator
{
public:
    enum class NodeKind { Display, Meter1, Meter2, Dac };

    struct Node {
        NodeKind kind;
        int flags;
        bool positioned = false;  // display: a read position is set
        std::uint64_t position = 0; // display: next record to deliver
    };

    static Simulator &instance();

    std::mutex &mutex() { return mutex_; }
    BeamModel &model() { return model_; }

    void reset(std::uint64_t seed);

    // Clock: wall (steady) or manual; simulated time in ns since the last reset.
    std::int64_t nowNs() const;
    void catchUp() { model_.runTo(nowNs()); }
    void useManualClock(bool on);
    void advanceNs(std::int64_t ns);
    bool manualClock() const { return manual_; }

    // Fault injection. `callText` gives the call as the log prints it before the
    // call (outputs as *?); it is asked for only while a fault names arguments.
    // Also takes up a change of the NIVRA_SIM_FAIL_FILE.
    bool injected(const char *function, const std::function<std::string()> &callText,
                  int &result);
    void failCall(const std::string &function, int result);
    // A node request named by its request's name ("DAC_IOC_SET_OUTPUTS") is refused
    // while failCall names it; "*" names library functions only.
    bool requestRefused(const std::string &request);
    void failNodeOpen(const std::string &path, bool fail);
    bool nodeOpenFails(const std::string &path) const { return failingNodes_.count(path) != 0; }
    void setShortRead(int maxRecords) { shortRead_ = maxRecords; }
    std::size_t readLimit(std::size_t wanted) const;
    void clearFaults();

    // Call log and trace file. The program never reads the log: it is kept only
    // once a test asks for it (keepCallLog) or with a trace file, so that a long
    // run on the simulator does not hold every call it made.
    void record(const std::string &line);
    void keepCallLog() { keepLog_ = true; }
    const std::string &callLog() const { return logText_; }
    void clearCallLog();
    int callCount(const std::string &function) const;

    // Set-up.
    SfpRecord sfp(int port) const { return sfp_[port]; }
    void setSfpModule(int port, std::uint16_t id, std::uint32_t hw, std::uint32_t version, std::uint32_t serial);
    void setTovash(int bpm, bool present);
    bool tovash(int bpm) const { return SfpClass::isEncoderBox(sfp_[bpm].deviceId); }
    bool meterPresent(int meter) const { return meterPresent_[meter]; }
    void setMeterPresent(int meter, bool present) { meterPresent_[meter] = present; }

    // Login.
    int grantLock(const std::string &user, const std::string &password);
    int lockLevel() const { return lockLevel_; }

    // Nodes.
    int openNode(NodeKind kind, int flags);
    Node *node(int fd);
    void closeNode(int fd) { nodes_.erase(fd); }
    // A new display rate restarts every open display descriptor at its first record.
    void restartDisplayReaders(std::uint64_t index);

    // Meter snapshot and currents at this instant.
    void meterStatus(int meter, MeterStatus &out);
    void currents(int meter, CurrentReadings &out);

    // Version words reported by getSystemVersion.
    static constexpr std::uint32_t HwTimestamp = 1718033400u;
    static constexpr std::uint32_t SwVersion = 0x05010702u;  // bytes 2, 7, 1, 5
    static constexpr std::uint32_t PidVersion = 0x03080601u; // bytes 1, 6, 8, 3

private:
    Simulator();
    void applyModules();
    std::int64_t wallNs() const;

    std::mutex mutex_;
    BeamModel model_;
    Rng meterNoise_;

    bool manual_ = false;
    std::int64_t manualNs_ = 0;
    std::int64_t wallOriginNs_ = 0;

    std::map<std::string, int> failing_;
    std::map<std::string, int> failingNodes_;
    int shortRead_ = -1;

    std::FILE *traceFile_ = nullptr;
    bool keepLog_ = false;
    std::deque<std::size_t> lineLengths_;
    std::string logText_;
    std::map<std::string, int> counts_;

    // Set-up from the environment, restored by every reset.
    std::uint64_t envSeed_ = 1;
    SfpRecord envSfp_[4] = {};
    std::map<std::string, int> envFailing_;   // NIVRA_SIM_FAIL, kept across resets
    // NIVRA_SIM_FAIL_FILE: read again whenever it changes; what it named last.
    std::string failFile_;
    std::string failFileText_;
    bool failFileRead_ = false;
    std::map<std::string, int> fileFailing_;
    void takeUpFailFile();
    std::string userPassword_ = "user";
    std::string adminPassword_ = "admin";

    SfpRecord sfp_[4] = {};
    bool meterPresent_[2] = {true, true};
    int lockLevel_ = 0;
    std::uint64_t meterSequence_ = 0;

    std::map<int, Node> nodes_;
};
