// The display stream: pacing, newest-first delivery, agreement between calls,
// the display node's read positions and concurrent use.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "SimFixture.h"

using StreamTest = SimTest;

namespace {

bool sameRecord(const DisplayRecord &a, const DisplayRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST_F(StreamTest, PacedByTheClockAtTheRateSet)
{
    const std::uint64_t start = nivraSimSampleIndex();
    EXPECT_GE(start, 14336u); // a full display buffer exists from the start
    nivraSimAdvance(1.0);
    EXPECT_EQ(nivraSimSampleIndex() - start, 1000u);
    ASSERT_EQ(setDisplayFreq(5000, 0), 0);
    const std::uint64_t at = nivraSimSampleIndex();
    nivraSimAdvance(0.5);
    EXPECT_EQ(nivraSimSampleIndex() - at, 2500u);
    nivraSimAdvance(0.0001);
    EXPECT_EQ(nivraSimSampleIndex() - at, 2500u);
    nivraSimAdvance(0.0001);
    EXPECT_EQ(nivraSimSampleIndex() - at, 2501u);

    // After a long idle time only the last ring's worth is simulated.
    nivraSimAdvance(3600.0);
    EXPECT_EQ(nivraSimSampleIndex() - at, 2501u + 3600u * 5000u);
    EXPECT_EQ(static_cast<int>(newest(14336).size()), 14336);
}

TEST_F(StreamTest, ConsecutiveCallsAgreeOnSharedRecords)
{
    const auto first = newest(14336);
    ASSERT_EQ(first.size(), 14336u);
    nivraSimAdvance(0.25);
    const auto second = newest(14336);
    ASSERT_EQ(second.size(), 14336u);
    // 250 new records: second[i] is first[i + 250].
    for (std::size_t i = 0; i + 250 < first.size(); ++i)
        ASSERT_TRUE(sameRecord(second[i], first[i + 250])) << "record " << i;
    EXPECT_FALSE(sameRecord(second.back(), first.back()));
    // Without time passing, nothing changes.
    const auto third = newest(14336);
    EXPECT_EQ(std::memcmp(third.data(), second.data(), third.size() * sizeof(DisplayRecord)), 0);
    EXPECT_EQ(getBuffer(nullptr, 0), -1);
    DisplayRecord one;
    EXPECT_EQ(getBuffer(&one, 0), 0);
    EXPECT_EQ(lastLine(), "getBuffer(buffer, 0) -> 0");
}

TEST_F(StreamTest, DisplayNodeFirstReadGivesTheNewestRecords)
{
    nivraSimAdvance(0.5);
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    ASSERT_GE(fd, 0);
    std::vector<DisplayRecord> viaNode(14336);
    std::memset(viaNode.data(), 0xAA, viaNode.size() * sizeof(DisplayRecord));
    const std::uint64_t before = nivraSimSampleIndex();
    ASSERT_EQ(DeviceNode::read(fd, viaNode.data(), 3670016), 3670016);
    EXPECT_EQ(nivraSimSampleIndex(), before); // no waiting
    const auto viaLibrary = newest(14336);
    EXPECT_EQ(std::memcmp(viaNode.data(), viaLibrary.data(), 3670016), 0);
    DeviceNode::close(fd);
}

TEST_F(StreamTest, SingleRecordReadsFormAGapFreeStream)
{
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    std::vector<DisplayRecord> got(300);
    for (auto &r : got)
        ASSERT_EQ(DeviceNode::read(fd, &r, sizeof r), 256);
    // The first read was the newest record; every later one waited for the next.
    const auto lib = newest(300);
    EXPECT_EQ(std::memcmp(got.data(), lib.data(), got.size() * sizeof(DisplayRecord)), 0);

    // A reader that falls behind still gets every record, in order.
    nivraSimAdvance(0.05);
    std::vector<DisplayRecord> more(60);
    for (auto &r : more)
        ASSERT_EQ(DeviceNode::read(fd, &r, sizeof r), 256);
    const auto lib2 = newest(360);
    EXPECT_EQ(std::memcmp(lib2.data(), got.data(), got.size() * sizeof(DisplayRecord)), 0);
    EXPECT_EQ(std::memcmp(lib2.data() + 300, more.data(), more.size() * sizeof(DisplayRecord)), 0);

    // Partial records are not delivered; less than one record is refused.
    DisplayRecord two[2];
    EXPECT_EQ(DeviceNode::read(fd, two, 300), 256);
    EXPECT_EQ(DeviceNode::read(fd, two, 100), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(lastLine(), "read(" + std::to_string(fd) + ", buffer, 100) -> -1");
    DeviceNode::close(fd);
}

TEST_F(StreamTest, RateChangeRestartsOpenReaders)
{
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    nivraSimAdvance(0.3);
    ASSERT_EQ(setDisplayFreq(10000, 0), 0);
    const std::uint64_t rateStart = nivraSimSampleIndex();
    const double t0 = nivraSimTime();
    nivraSimAdvance(1.0);
    std::vector<DisplayRecord> buf(14336);
    ASSERT_EQ(DeviceNode::read(fd, buf.data(), 3670016), 3670016);
    // The read waited until 14336 records at the new rate existed.
    EXPECT_EQ(nivraSimSampleIndex(), rateStart + 14336);
    EXPECT_NEAR(nivraSimTime() - t0, 1.4336, 1e-3);
    nivraSimAdvance(0.5);
    const auto lib = newest(14336 + 5000);
    EXPECT_EQ(std::memcmp(lib.data(), buf.data(), 3670016), 0);
    DeviceNode::close(fd);
}

TEST_F(StreamTest, WallClockPacesTheStream)
{
    nivraSimUseManualClock(0);
    const std::uint64_t a = nivraSimSampleIndex();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const std::uint64_t b = nivraSimSampleIndex();
    EXPECT_GE(b - a, 40u);
    EXPECT_LE(b - a, 2000u);
    // A single-record read waits for the next sample instead of repeating one.
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    DisplayRecord r1, r2, r3;
    ASSERT_EQ(DeviceNode::read(fd, &r1, 256), 256);
    ASSERT_EQ(DeviceNode::read(fd, &r2, 256), 256);
    ASSERT_EQ(DeviceNode::read(fd, &r3, 256), 256);
    EXPECT_FALSE(sameRecord(r1, r2));
    EXPECT_FALSE(sameRecord(r2, r3));
    DeviceNode::close(fd);
}

TEST_F(StreamTest, ThreeThreadsAtOnce)
{
    nivraSimUseManualClock(0);
    std::atomic<bool> bad{false};
    std::thread gui([&] {
        std::vector<DisplayRecord> buf(14336);
        for (int i = 0; i < 30; ++i)
            if (getBuffer(buf.data(), 14336) != 14336)
                bad = true;
    });
    std::thread link([&] {
        BpmStats s;
        for (int i = 0; i < 200; ++i) {
            std::uint16_t id;
            std::uint32_t hw, ver, serial;
            if (getSFPinfo(i % 4, &id, &hw, &ver, &serial) < 0 || getBPMStats(&s) < 0 || getPIDstatus() < 0)
                bad = true;
        }
    });
    std::thread sweep([&] {
        float amp[4] = {0.1f, 0, 0, 0}, off[4] = {0, 0, 0, 0};
        for (int i = 0; i < 100; ++i) {
            setDisplayFreq(i % 2 ? 10000 : 1000, 0);
            funcGenConfig(amp, off, 10.0f + i);
            funcGenEnable(static_cast<std::uint8_t>(i % 2));
        }
    });
    gui.join();
    link.join();
    sweep.join();
    EXPECT_FALSE(bad);
    EXPECT_EQ(nivraSimCallCount("getBuffer"), 30);
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), 100);
}
