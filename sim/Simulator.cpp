#include "Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t MaxLogLines = 200000;

const char *env(const char *name)
{
    const char *v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}

SfpRecord module(std::uint16_t id, int port)
{
    SfpRecord r{};
    r.deviceId = id;
    if (id != 0) {
        r.hwVersion = 2;
        r.version = 0x31303233u; // "1.0.2.3"
        r.serialNumber = 20240017u + 1000u * static_cast<std::uint32_t>(port);
    }
    return r;
}

// "a;b(1)" (lines too): each named call fails with -1.
std::map<std::string, int> failList(const std::string &list)
{
    std::map<std::string, int> calls;
    for (std::size_t from = 0; from <= list.size();) {
        const std::size_t end = std::min(list.find_first_of(";\n", from), list.size());
        if (end > from)
            calls[list.substr(from, end - from)] = -1;
        from = end + 1;
    }
    return calls;
}

template <class T>
void put(std::uint8_t *bytes, std::size_t offset, T value)
{
    std::memcpy(bytes + offset, &value, sizeof value);
}

} // namespace

Simulator &Simulator::instance()
{
    static Simulator sim;
    return sim;
}

Simulator::Simulator()
{
    if (const char *seed = env("NIVRA_SIM_SEED"))
        envSeed_ = std::strtoull(seed, nullptr, 0);
    // Both BPMs served by encoder boxes: the program shows a BPM's displays only
    // while an encoder box serves it.
    envSfp_[0] = module(0x2301, 0);
    envSfp_[1] = module(0x2302, 1);
    if (const char *sfp = env("NIVRA_SIM_SFP")) {
        const char *p = sfp;
        for (int port = 0; port < 4; ++port) {
            char *end = nullptr;
            const unsigned long id = std::strtoul(p, &end, 0);
            envSfp_[port] = module(end == p ? 0 : static_cast<std::uint16_t>(id), port);
            p = end;
            while (*p == ',' || *p == ' ')
                ++p;
        }
    }
    // Calls that fail with -1 from the start, for a whole program run: "a;b(1)".
    if (const char *fail = env("NIVRA_SIM_FAIL"))
        envFailing_ = failList(fail);
    if (const char *file = env("NIVRA_SIM_FAIL_FILE"))
        failFile_ = file;
    if (const char *pw = std::getenv("NIVRA_SIM_USER_PASSWORD"))
        userPassword_ = pw;
    if (const char *pw = std::getenv("NIVRA_SIM_ADMIN_PASSWORD"))
        adminPassword_ = pw;
    if (const char *path = env("NIVRA_SIM_TRACE"))
        traceFile_ = std::fopen(path, "a");
    keepLog_ = traceFile_ != nullptr;
    reset(envSeed_);
}

std::int64_t Simulator::wallNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t Simulator::nowNs() const
{
    return manual_ ? manualNs_ : wallNs() - wallOriginNs_;
}

void Simulator::useManualClock(bool on)
{
    if (on && !manual_)
        manualNs_ = nowNs();
    else if (!on && manual_)
        wallOriginNs_ = wallNs() - manualNs_;
    manual_ = on;
}

void Simulator::advanceNs(std::int64_t ns)
{
    if (ns <= 0)
        return;
    if (manual_)
        manualNs_ += ns;
    else
        wallOriginNs_ -= ns;
}

void Simulator::reset(std::uint64_t seed)
{
    manual_ = false;
    manualNs_ = 0;
    wallOriginNs_ = wallNs();
    failing_ = envFailing_;
    fileFailing_.clear();
    failFileRead_ = false;   // the file's faults come back at the next call
    failingNodes_.clear();
    shortRead_ = -1;
    clearCallLog();
    for (int p = 0; p < 4; ++p)
        sfp_[p] = envSfp_[p];
    meterPresent_[0] = meterPresent_[1] = true;
    lockLevel_ = 0;
    meterSequence_ = 0;
    nodes_.clear();
    meterNoise_.reseed(seed ^ 0x6d657465725f6e6fULL);
    model_.setBeamOn(true);
    model_.setNoiseScale(1.0);
    applyModules();
    model_.reset(seed, 0);
}

void Simulator::applyModules()
{
    bool encoderBox = false;
    for (int p = 0; p < 4; ++p)
        encoderBox = encoderBox || SfpClass::isEncoderBox(sfp_[p].deviceId);
    for (int b = 0; b < 2; ++b)
        model_.setBpmPresent(b, SfpClass::isAcquisitionModule(sfp_[b].deviceId));
    // The PID base clock is slower with an encoder box in the system.
    model_.setPidBaseClock(encoderBox ? 5000.0 : 100000.0);
}

void Simulator::setSfpModule(int port, std::uint16_t id, std::uint32_t hw, std::uint32_t version,
                             std::uint32_t serial)
{
    if (port < 0 || port > 3)
        return;
    SfpRecord r{};
    if (id != 0) {
        r.deviceId = id;
        r.hwVersion = hw;
        r.version = version;
        r.serialNumber = serial;
    }
    sfp_[port] = r;
    applyModules();
}

void Simulator::setTovash(int bpm, bool present)
{
    if (bpm < 0 || bpm > 1)
        return;
    sfp_[bpm] = module(static_cast<std::uint16_t>((present ? 0x2301 : 0x2101) + bpm), bpm);
    applyModules();
}

void Simulator::takeUpFailFile()
{
    // Read at every call, so that a test can make a fault appear or clear while the
    // program runs; a file that is missing names nothing.
    std::string text;
    if (std::FILE *f = std::fopen(failFile_.c_str(), "r")) {
        char chunk[256];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            text.append(chunk, n);
        std::fclose(f);
    }
    if (failFileRead_ && text == failFileText_)
        return;
    for (const auto &named : fileFailing_)
        if (!envFailing_.count(named.first))
            failing_.erase(named.first);
    fileFailing_ = failList(text);
    for (const auto &named : fileFailing_)
        failing_.insert(named);
    failFileText_ = text;
    failFileRead_ = true;
}

bool Simulator::injected(const char *function, const std::function<std::string()> &callText,
                         int &result)
{
    if (!failFile_.empty())
        takeUpFailFile();
    // A fault that names arguments ("funcGenEnable(0)") fails only the calls whose
    // log line begins with it; it takes precedence over one on the bare name.
    const std::string name(function);
    auto it = failing_.lower_bound(name + '(');
    if (it != failing_.end() && it->first.compare(0, name.size() + 1, name + '(') == 0) {
        const std::string text = callText();
        for (; it != failing_.end() && it->first.compare(0, name.size() + 1, name + '(') == 0; ++it)
            if (text.compare(0, it->first.size(), it->first) == 0) {
                result = it->second;
                return true;
            }
    }
    it = failing_.find(name);
    if (it == failing_.end())
        it = failing_.find("*");
    if (it == failing_.end())
        return false;
    result = it->second;
    return true;
}

bool Simulator::requestRefused(const std::string &request)
{
    if (!failFile_.empty())
        takeUpFailFile();
    return failing_.count(request) != 0;
}

void Simulator::failCall(const std::string &function, int result)
{
    if (result == 0)
        failing_.erase(function);
    else
        failing_[function] = result;
}

void Simulator::failNodeOpen(const std::string &path, bool fail)
{
    if (fail)
        failingNodes_[path] = 1;
    else
        failingNodes_.erase(path);
}

std::size_t Simulator::readLimit(std::size_t wanted) const
{
    if (shortRead_ < 0)
        return wanted;
    return std::min(wanted, static_cast<std::size_t>(shortRead_));
}

void Simulator::clearFaults()
{
    failing_.clear();
    failingNodes_.clear();
    shortRead_ = -1;
}

void Simulator::record(const std::string &line)
{
    const std::size_t paren = line.find('(');
    ++counts_[line.substr(0, paren)];
    if (keepLog_) {
        logText_ += line;
        logText_ += '\n';
        lineLengths_.push_back(line.size() + 1);
    }
    if (lineLengths_.size() > 2 * MaxLogLines) {
        // Keep memory bounded in long runs: drop the oldest half at once.
        std::size_t drop = 0;
        while (lineLengths_.size() > MaxLogLines) {
            drop += lineLengths_.front();
            lineLengths_.pop_front();
        }
        logText_.erase(0, drop);
    }
    if (traceFile_) {
        std::fputs(line.c_str(), traceFile_);
        std::fputc('\n', traceFile_);
        std::fflush(traceFile_);
    }
}

void Simulator::clearCallLog()
{
    logText_.clear();
    lineLengths_.clear();
    counts_.clear();
}

int Simulator::callCount(const std::string &function) const
{
    const auto it = counts_.find(function);
    return it == counts_.end() ? 0 : it->second;
}

int Simulator::grantLock(const std::string &user, const std::string &password)
{
    int level = 0;
    if (user == "user" && password == userPassword_)
        level = 1;
    else if (user == "admin" && password == adminPassword_)
        level = 2;
    lockLevel_ = level;
    return level;
}

int Simulator::openNode(NodeKind kind, int flags)
{
    int fd = 1000;
    while (nodes_.count(fd))
        ++fd;
    nodes_[fd] = Node{kind, flags};
    return fd;
}

Simulator::Node *Simulator::node(int fd)
{
    const auto it = nodes_.find(fd);
    return it == nodes_.end() ? nullptr : &it->second;
}

void Simulator::restartDisplayReaders(std::uint64_t index)
{
    for (auto &entry : nodes_)
        if (entry.second.kind == NodeKind::Display) {
            entry.second.positioned = true;
            entry.second.position = index;
        }
}

void Simulator::meterStatus(int meter, MeterStatus &out)
{
    double amps[4];
    model_.electrodeCurrents(meter, amps, meterNoise_);
    std::memset(&out, 0, sizeof out);
    auto *bytes = reinterpret_cast<std::uint8_t *>(&out);
    put<std::uint32_t>(bytes, 0, 0x4c43534fu); // "OSCL"
    put<std::uint32_t>(bytes, 4, static_cast<std::uint32_t>(meter));
    put<std::uint64_t>(bytes, 8, ++meterSequence_);
    put<std::int64_t>(bytes, 16, nowNs());
    put<std::uint32_t>(bytes, 24, 3u); // range code: 10 uA full scale
    out.channel1 = amps[0];
    out.channel2 = amps[1];
    out.channel3 = amps[2];
    out.channel4 = amps[3];
    put<std::uint32_t>(bytes, 60, model_.beamOn() ? 1u : 0u);
}

void Simulator::currents(int meter, CurrentReadings &out)
{
    double amps[4];
    model_.electrodeCurrents(meter, amps, meterNoise_);
    for (int k = 0; k < 4; ++k)
        out.amps[3 - k] = amps[k];
}
