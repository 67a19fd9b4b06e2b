// Device records: the accessors that code uses to reach fields by index, the
// channel orders that are easy to get backwards, and the request encodings.
#include <gtest/gtest.h>

#include <cstring>

#include "DeviceNode.h"
#include "DeviceRecords.h"

namespace {

template <class T>
void putAt(void *record, std::size_t offset, T value)
{
    std::memcpy(static_cast<unsigned char *>(record) + offset, &value, sizeof value);
}

} // namespace

TEST(DisplayRecordLayout, WordsFollowTheByteOffsets)
{
    DisplayRecord r;
    for (int w = 0; w < 32; ++w)
        if (w != 7)
            putAt<double>(&r, 8 * w, 100.0 + w);
    EXPECT_EQ(r.bpm1X, 100.0);
    EXPECT_EQ(r.bpm1Y, 101.0);
    EXPECT_EQ(r.bpm1I0, 102.0);
    EXPECT_EQ(r.bpm2X, 104.0);
    EXPECT_EQ(r.bpm2Y, 105.0);
    EXPECT_EQ(r.bpm2I0, 106.0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(r.dac[c], 108.0 + c);
        EXPECT_EQ(r.encoder[0][c], 124.0 + c);
        EXPECT_EQ(r.encoder[1][c], 128.0 + c);
    }
    // Per-BPM code addresses BPM b as BPM1's word + 4b, encoders as 24 + 4b + c.
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(r.word(0 + 4 * b), b ? r.bpm2X : r.bpm1X);
        EXPECT_EQ(r.word(1 + 4 * b), b ? r.bpm2Y : r.bpm1Y);
        EXPECT_EQ(r.word(2 + 4 * b), b ? r.bpm2I0 : r.bpm1I0);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(r.word(24 + 4 * b + c), r.encoder[b][c]);
    }
}

TEST(DisplayRecordLayout, WordSevenHoldsTwoFloats)
{
    DisplayRecord r;
    std::memset(&r, 0, sizeof r);
    putAt<float>(&r, 56, 0.25f);
    putAt<float>(&r, 60, -0.75f);
    EXPECT_EQ(r.refInPhase, 0.25f);
    EXPECT_EQ(r.refQuadrature, -0.75f);
    // Read as a double the word is neither float.
    EXPECT_NE(r.word(7), 0.25);
    EXPECT_NE(r.word(7), -0.75);
    EXPECT_EQ(sizeof(DisplayRecord) * 14336, 3670016u);
}

TEST(MeterRecords, ChannelsAreStoredInReverseOrder)
{
    MeterStatus m;
    std::memset(&m, 0, sizeof m);
    putAt<double>(&m, 28, 4.0);
    putAt<double>(&m, 36, 3.0);
    putAt<double>(&m, 44, 2.0);
    putAt<double>(&m, 52, 1.0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(m.channel(k), k + 1.0) << "channel " << k + 1;

    CurrentReadings c{{40.0, 30.0, 20.0, 10.0}};
    EXPECT_EQ(c.channel(0), 10.0); // index 3 is channel 1
    EXPECT_EQ(c.channel(3), 40.0); // index 0 is channel 4
}

TEST(DacAndSfpRecords, PackingAndDefaults)
{
    DacOutputs d;
    // Packed record fields are compared as copies (unary +): a reference to one may
    // be misaligned.
    EXPECT_EQ(+d.apply, 1u);
    unsigned char bytes[40];
    d.volts[0] = 1.5;
    d.volts[3] = -2.0;
    std::memcpy(bytes, &d, sizeof d);
    std::uint32_t apply;
    std::memcpy(&apply, bytes + 32, 4);
    EXPECT_EQ(apply, 1u);
    double v3;
    std::memcpy(&v3, bytes + 24, 8);
    EXPECT_EQ(v3, -2.0);

    unsigned char raw[14] = {0x01, 0x23, 2, 0, 0, 0, 0x33, 0x32, 0x30, 0x31, 0x39, 0x30, 0, 0};
    SfpRecord s;
    std::memcpy(&s, raw, sizeof s);
    EXPECT_EQ(+s.deviceId, 0x2301);
    EXPECT_EQ(+s.hwVersion, 2u);
    EXPECT_EQ(+s.version, 0x31303233u);
    EXPECT_EQ(+s.serialNumber, 0x3039u);
}

TEST(DacAndSfpRecords, DeviceClasses)
{
    EXPECT_TRUE(SfpClass::isAcquisitionModule(0x2101));
    EXPECT_FALSE(SfpClass::isEncoderBox(0x2101));
    EXPECT_TRUE(SfpClass::isAcquisitionModule(0x2301));
    EXPECT_TRUE(SfpClass::isEncoderBox(0x2301));
    EXPECT_TRUE(SfpClass::isEncoderBox(0x23ff));
    EXPECT_FALSE(SfpClass::isAcquisitionModule(0x2200));
    EXPECT_FALSE(SfpClass::isEncoderBox(0x2200));
    EXPECT_FALSE(SfpClass::isAcquisitionModule(0x0000));
    EXPECT_FALSE(SfpClass::isAcquisitionModule(0x1234));
}

TEST(StatsRecord, AccessorsPickEachBpmsBlock)
{
    BpmStats s;
    for (int i = 0; i < 19; ++i)
        s.values[i] = i;
    EXPECT_EQ(s.xMean(0), 1);
    EXPECT_EQ(s.xStd(0), 2);
    EXPECT_EQ(s.xStd100Hz(0), 3);
    EXPECT_EQ(s.yMean(0), 4);
    EXPECT_EQ(s.yStd(0), 5);
    EXPECT_EQ(s.yStd100Hz(0), 6);
    EXPECT_EQ(s.xMean(1), 10);
    EXPECT_EQ(s.yStd100Hz(1), 15);
}

TEST(NodeRequests, LinuxEncoding)
{
    // direction, size field 8, type 'B', number
    EXPECT_EQ(_IOC_DIR(METER_IOC_SNAPSHOT), _IOC_READ);
    EXPECT_EQ(_IOC_SIZE(METER_IOC_SNAPSHOT), 8u);
    EXPECT_EQ(_IOC_TYPE(METER_IOC_SNAPSHOT), 'B');
    EXPECT_EQ(_IOC_NR(METER_IOC_SNAPSHOT), 0x14u);
    EXPECT_EQ(_IOC_NR(METER_IOC_CURRENTS), 0x1eu);
    EXPECT_EQ(_IOC_DIR(DAC_IOC_SET_OUTPUTS), _IOC_WRITE);
    EXPECT_EQ(_IOC_NR(DAC_IOC_SET_OUTPUTS), 0x28u);
    EXPECT_EQ(METER_IOC_SNAPSHOT, 0x80084214UL);
    EXPECT_EQ(METER_IOC_CURRENTS, 0x8008421eUL);
    EXPECT_EQ(DAC_IOC_SET_OUTPUTS, 0x40084228UL);
}
