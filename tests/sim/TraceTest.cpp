// The call log and the trace file: one line per call, in order, outputs shown
// after the call; the environment's set-up as read at load time.
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "SimFixture.h"

using TraceTest = SimTest;

TEST_F(TraceTest, LinesShowArgumentsAndOutputs)
{
    nivraSimClearCallLog();
    int x = -1, y = -1, i0 = -1;
    setBPMselector(0, 1, 0);
    getBPMselector(&x, &y, &i0);
    setSetpoint2(1, 2.5);
    setSetpoint2(0, 0.1);
    float amp[4] = {0.5f, 0, 0, 0}, off[4] = {1, 2, -1, 0};
    funcGenConfig(amp, off, 37.0f);
    getOutputMux(nullptr);
    const int fd = DeviceNode::open(DeviceNodeName::Meter1, O_RDONLY);
    MeterStatus s;
    DeviceNode::ioctl(fd, METER_IOC_SNAPSHOT, &s);
    DeviceNode::close(fd);
    const std::string f = std::to_string(fd);
    // The meter record as filled, its currents in byte order and shortest form.
    const double currents[4] = {s.channel4, s.channel3, s.channel2, s.channel1};
    std::string filled = "*MeterStatus{";
    for (int k = 0; k < 4; ++k) {
        char text[32];
        filled.append(text, std::to_chars(text, text + sizeof text, currents[k]).ptr);
        filled += k < 3 ? ", " : "}";
    }
    EXPECT_EQ(callLog(), "setBPMselector(0, 1, 0) -> 0\n"
                         "getBPMselector(*0, *1, *0) -> 0\n"
                         "setSetpoint2(1, 2.5) -> 0\n"
                         "setSetpoint2(0, 0.1) -> 0\n"
                         "funcGenConfig([0.5, 0, 0, 0], [1, 2, -1, 0], 37) -> 0\n"
                         "getOutputMux(null) -> -1\n"
                         "open(\"/dev/nivra_oscalon0\", 0) -> " + f + "\n"
                         "ioctl(" + f + ", 0x80084214, " + filled + ") -> 0\n"
                         "close(" + f + ") -> 0\n");
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);
    EXPECT_EQ(nivraSimCallCount("ioctl"), 1);
    EXPECT_EQ(nivraSimCallCount("getLock"), 0);

    char small[8];
    EXPECT_EQ(nivraSimCallLog(small, sizeof small), callLog().size());
    EXPECT_STREQ(small, "setBPMs");
    nivraSimClearCallLog();
    EXPECT_EQ(nivraSimCallLog(nullptr, 0), 0u);
}

// Run by the test below in a fresh process, whose simulator reads the environment.
TEST(TraceChild, DISABLED_CallsUnderEnvironment)
{
    std::uint16_t id = 0;
    std::uint32_t hw, ver, serial;
    ASSERT_EQ(getSFPinfo(0, &id, &hw, &ver, &serial), 0);
    EXPECT_EQ(id, 0x2101);
    getSFPinfo(2, &id, &hw, &ver, &serial);
    EXPECT_EQ(id, 0x2305);
    char user[32] = "admin", good[32] = "s3cret", bad[32] = "admin";
    EXPECT_EQ(getLock(user, bad), 0);
    EXPECT_EQ(getLock(user, good), 2);
    int b1 = 5, b2 = 5;
    getTovashes(&b1, &b2);
    EXPECT_EQ(b1, 0);
    EXPECT_EQ(b2, 0);
    // A program on the simulator holds no call log unless it writes a trace.
    EXPECT_EQ(nivraSimCallLog(nullptr, 0) > 0, std::getenv("NIVRA_SIM_TRACE") != nullptr);
    EXPECT_EQ(nivraSimCallCount("getLock"), 2);
}

TEST_F(TraceTest, TraceFileAndEnvironmentSetUp)
{
    char path[] = "/tmp/nivra-sim-traceXXXXXX";
    const int tmp = mkstemp(path);
    ASSERT_GE(tmp, 0);
    close(tmp);
    for (const bool trace : {false, true}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (trace)
                setenv("NIVRA_SIM_TRACE", path, 1);
            else
                unsetenv("NIVRA_SIM_TRACE");
            setenv("NIVRA_SIM_SFP", "0x2101, 0, 0x2305, 0", 1);
            setenv("NIVRA_SIM_ADMIN_PASSWORD", "s3cret", 1);
            setenv("NIVRA_SIM_SEED", "9", 1);
            execl("/proc/self/exe", "test_sim", "--gtest_filter=TraceChild.DISABLED_CallsUnderEnvironment",
                  "--gtest_also_run_disabled_tests", static_cast<char *>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "trace " << trace;
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    EXPECT_EQ(text.str(), "getSFPinfo(0, *0x2101, *2, *825242163, *20240017) -> 0\n"
                          "getSFPinfo(2, *0x2305, *2, *825242163, *20242017) -> 0\n"
                          "getLock(\"admin\", \"admin\") -> 0\n"
                          "getLock(\"admin\", \"s3cret\") -> 2\n"
                          "getTovashes(*0, *0) -> 0\n");
}
