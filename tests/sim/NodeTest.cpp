// The device nodes behind the program's node seam: presence, whole records, the
// DAC write, errors.
#include <cerrno>
#include <cstring>

#include "SimFixture.h"

using NodeTest = SimTest;

TEST_F(NodeTest, SeamReachesTheSimulator)
{
    EXPECT_TRUE(DeviceNode::simulated());
    for (const char *path : {DeviceNodeName::Display, DeviceNodeName::Meter1, DeviceNodeName::Meter2,
                             DeviceNodeName::Dac}) {
        const int fd = DeviceNode::open(path, O_RDONLY);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(DeviceNode::close(fd), 0);
    }
    errno = 0;
    EXPECT_EQ(DeviceNode::open("/dev/nivra_oscalon2", O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(DeviceNode::close(12345), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST_F(NodeTest, MeterRecordsAreFilledWhole)
{
    nivraSimAdvance(0.1);
    for (int meter = 0; meter < 2; ++meter) {
        const int fd = DeviceNode::open(meter ? DeviceNodeName::Meter2 : DeviceNodeName::Meter1, O_RDONLY);
        ASSERT_GE(fd, 0);
        MeterStatus s;
        std::memset(&s, 0xAA, sizeof s);
        ASSERT_EQ(DeviceNode::ioctl(fd, METER_IOC_SNAPSHOT, &s), 0);
        unsigned char bytes[64];
        std::memcpy(bytes, &s, sizeof bytes);
        EXPECT_EQ(std::memcmp(bytes, "OSCL", 4), 0); // the header is the driver's, not ours
        std::uint32_t index;
        std::memcpy(&index, bytes + 4, 4);
        EXPECT_EQ(index, static_cast<std::uint32_t>(meter));
        std::uint32_t tail;
        std::memcpy(&tail, bytes + 60, 4);
        EXPECT_EQ(tail, 1u);
        double sum = 0.0;
        for (int k = 0; k < 4; ++k) {
            EXPECT_GT(s.channel(k), 1e-9);
            EXPECT_LT(s.channel(k), 1e-5);
            sum += s.channel(k);
        }
        // The electrodes add up to the BPM's intensity.
        const double i0 = nivraSimBeamPosition(meter, 2);
        EXPECT_NEAR(sum, i0, 0.01 * i0);
        // Right minus left follows the beam's X position.
        const double x = 1000.0 * (s.channel(1) - s.channel(3)) / (s.channel(1) + s.channel(3));
        EXPECT_NEAR(x, nivraSimBeamPosition(meter, 0), 3.0);

        CurrentReadings c;
        std::memset(&c, 0xAA, sizeof c);
        ASSERT_EQ(DeviceNode::ioctl(fd, METER_IOC_CURRENTS, &c), 0);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(c.channel(k), s.channel(k), 0.01 * s.channel(k)); // reversed storage
        EXPECT_EQ(lastLine().rfind("ioctl(" + std::to_string(fd) + ", 0x8008421e, *CurrentReadings{", 0), 0u);
        EXPECT_EQ(DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, &c), -1);
        EXPECT_EQ(errno, ENOTTY);
        DeviceNode::close(fd);
    }
}

TEST_F(NodeTest, DacWriteSetsTheHostOutputs)
{
    setOutputMux(0);
    const int fd = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    ASSERT_EQ(writeDac(fd, 1.5, -2.0, 30.0, 0.25), 0);
    EXPECT_EQ(lastLine(), "ioctl(" + std::to_string(fd) + ", 0x40084228, DacOutputs{1.5, -2, 30, 0.25, 1}) -> 0");
    EXPECT_EQ(nivraSimDacOutput(0), 1.5);
    EXPECT_EQ(nivraSimDacOutput(1), -2.0);
    EXPECT_EQ(nivraSimDacOutput(2), 12.0); // the DAC's range ends at 12 V
    EXPECT_EQ(nivraSimDacOutput(3), 0.25);
    nivraSimAdvance(0.01);
    const auto r = newest(1);
    EXPECT_EQ(r[0].dac[0], 1.5);
    EXPECT_EQ(r[0].dac[2], 12.0);

    DacOutputs bad;
    bad.volts[0] = bad.volts[1] = bad.volts[2] = bad.volts[3] = 5.0;
    bad.apply = 0;
    EXPECT_EQ(DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, &bad), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(nivraSimDacOutput(0), 1.5);
    EXPECT_EQ(DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, nullptr), -1);
    EXPECT_EQ(errno, EFAULT);
    DeviceNode::close(fd);
    EXPECT_EQ(DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, &bad), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST_F(NodeTest, MeterPresenceFollowsThePlug)
{
    const int fd = DeviceNode::open(DeviceNodeName::Meter2, O_RDONLY);
    ASSERT_GE(fd, 0);
    nivraSimSetMeterPresent(1, 0);
    MeterStatus s;
    EXPECT_EQ(DeviceNode::ioctl(fd, METER_IOC_SNAPSHOT, &s), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(lastLine(), "ioctl(" + std::to_string(fd) + ", 0x80084214, *?) -> -1");
    DeviceNode::close(fd);
    EXPECT_EQ(DeviceNode::open(DeviceNodeName::Meter2, O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_GE(DeviceNode::open(DeviceNodeName::Meter1, O_RDONLY), 0);
    nivraSimSetMeterPresent(1, 1);
    EXPECT_GE(DeviceNode::open(DeviceNodeName::Meter2, O_RDONLY), 0);
}
