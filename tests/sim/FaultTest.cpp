// Fault injection: failing calls, nodes that do not open, short reads.
#include <cerrno>

#include "SimFixture.h"

using FaultTest = SimTest;

TEST_F(FaultTest, FailingCallReturnsItsValueWithoutEffect)
{
    nivraSimFailCall("setPIDconf", -5);
    EXPECT_EQ(setPIDconf(3), -5);
    EXPECT_EQ(lastLine(), "setPIDconf(3) -> -5");
    std::int8_t code = -1;
    EXPECT_EQ(getPIDconf(&code), 0);
    EXPECT_EQ(code, 1);

    nivraSimFailCall("getBPMselector", -2);
    int x = 7, y = 7, i0 = 7;
    EXPECT_EQ(getBPMselector(&x, &y, &i0), -2);
    EXPECT_EQ(x, 7); // outputs untouched
    EXPECT_EQ(lastLine(), "getBPMselector(*?, *?, *?) -> -2");

    nivraSimFailCall("setPIDconf", 0);
    EXPECT_EQ(setPIDconf(3), 0);
    getPIDconf(&code);
    EXPECT_EQ(code, 3);

    nivraSimFailCall("*", -1);
    EXPECT_EQ(setFBenable(1), -1);
    EXPECT_EQ(getPIDstatus(), -1);
    std::vector<DisplayRecord> buf(10);
    EXPECT_EQ(getBuffer(buf.data(), 10), -1);
    EXPECT_EQ(nivraSimSetting("feedbackOn", 0), 0.0);
    nivraSimFailCall("getPIDstatus", -7); // a named fault wins over "*"
    EXPECT_EQ(getPIDstatus(), -7);
    nivraSimClearFaults();
    EXPECT_EQ(setFBenable(1), 0);
    EXPECT_EQ(getPIDstatus(), PID_FEEDBACK_ON);

    // A fault with arguments fails those calls only, and wins over the bare name.
    nivraSimFailCall("setOutputMux(1)", -3);
    EXPECT_EQ(setOutputMux(0), 0);
    EXPECT_EQ(setOutputMux(1), -3);
    nivraSimFailCall("setOutputMux", -4);
    EXPECT_EQ(setOutputMux(1), -3);
    EXPECT_EQ(setOutputMux(0), -4);
    nivraSimFailCall("setOutputMux(1)", 0);
    EXPECT_EQ(setOutputMux(1), -4);
}

TEST_F(FaultTest, NodeOpenFails)
{
    nivraSimFailNodeOpen(DeviceNodeName::Display, 1);
    errno = 0;
    EXPECT_EQ(DeviceNode::open(DeviceNodeName::Display, O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(lastLine(), "open(\"/dev/nivra_dma_displ\", 0) -> -1");
    EXPECT_GE(DeviceNode::open(DeviceNodeName::Dac, O_RDWR), 0);
    nivraSimFailNodeOpen(DeviceNodeName::Display, 0);
    EXPECT_GE(DeviceNode::open(DeviceNodeName::Display, O_RDONLY), 0);
}

TEST_F(FaultTest, ShortReads)
{
    nivraSimShortRead(100);
    std::vector<DisplayRecord> buf(14336);
    EXPECT_EQ(getBuffer(buf.data(), 14336), 100);
    const auto full = [] {
        nivraSimShortRead(-1);
        std::vector<DisplayRecord> v(100);
        getBuffer(v.data(), 100);
        nivraSimShortRead(100);
        return v;
    }();
    // The records delivered are still the newest ones.
    EXPECT_EQ(std::memcmp(buf.data(), full.data(), 100 * sizeof(DisplayRecord)), 0);

    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    EXPECT_EQ(DeviceNode::read(fd, buf.data(), 3670016), 100 * 256);
    nivraSimShortRead(0);
    EXPECT_EQ(DeviceNode::read(fd, buf.data(), 3670016), 0);
    EXPECT_EQ(getBuffer(buf.data(), 14336), 0);
    nivraSimClearFaults();
    EXPECT_EQ(getBuffer(buf.data(), 14336), 14336);
    DeviceNode::close(fd);
}

TEST_F(FaultTest, ModulesPlugAndPull)
{
    nivraSimSetSfpModule(0, 0, 0, 0, 0);
    std::uint16_t id = 1;
    std::uint32_t hw = 1, ver = 1, serial = 1;
    ASSERT_EQ(getSFPinfo(0, &id, &hw, &ver, &serial), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(serial, 0u);
    int b1 = 0, b2 = 0;
    getTovashes(&b1, &b2);
    EXPECT_EQ(b1, 0);
    EXPECT_EQ(b2, 1);
    nivraSimSetSfpModule(3, 0x2305, 7, 0x41424344, 99);
    getSFPinfo(3, &id, &hw, &ver, &serial);
    EXPECT_EQ(id, 0x2305);
    EXPECT_EQ(hw, 7u);
    EXPECT_EQ(ver, 0x41424344u);
    EXPECT_EQ(serial, 99u);
    EXPECT_EQ(lastLine(), "getSFPinfo(3, *0x2305, *7, *1094861636, *99) -> 0");
}
