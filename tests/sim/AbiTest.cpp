// The library's functions as the program calls them: getters read back what the
// setters stored, arguments land where their order says, bad arguments change
// nothing.
#include <cmath>
#include <cstring>

#include "SimFixture.h"

using AbiTest = SimTest;

TEST_F(AbiTest, GettersReadBackSetters)
{
    std::int8_t code = -1;
    ASSERT_EQ(setPIDconf(4), 0);
    ASSERT_EQ(getPIDconf(&code), 0);
    EXPECT_EQ(code, 4);

    double v = 0.0;
    ASSERT_EQ(setSetpoint2(0, 1.25), 0);
    ASSERT_EQ(setSetpoint2(1, -7.5), 0);
    ASSERT_EQ(setSetpoint2(2, 3e-7), 0);
    getSetpoint2(0, &v);
    EXPECT_EQ(v, 1.25);
    getSetpoint2(1, &v);
    EXPECT_EQ(v, -7.5);
    getSetpoint2(2, &v);
    EXPECT_EQ(v, 3e-7);

    std::uint8_t mux = 9;
    ASSERT_EQ(setOutputMux(0), 0);
    getOutputMux(&mux);
    EXPECT_EQ(mux, 0);

    int x = -1, y = -1, i0 = -1;
    ASSERT_EQ(setBPMselector(1, 0, 1), 0);
    ASSERT_EQ(getBPMselector(&x, &y, &i0), 0);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(i0, 1);

    std::uint8_t f[6] = {9, 9, 9, 9, 9, 9};
    ASSERT_EQ(setROCenable(1, 0, 1, 0, 1, 1), 0);
    ASSERT_EQ(getROCenable(&f[0], &f[1], &f[2], &f[3], &f[4], &f[5]), 0);
    const std::uint8_t expected[6] = {1, 0, 1, 0, 1, 1};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(f[k], expected[k]) << "flag " << k;

    int rate = 0;
    std::uint8_t mode = 9;
    ASSERT_EQ(setDisplayFreq(5000, 1), 0);
    ASSERT_EQ(getDisplayFreq(&rate, &mode), 0);
    EXPECT_EQ(rate, 5000);
    EXPECT_EQ(mode, 1);

    std::uint8_t ox = 9, oy = 9, oi = 9;
    ASSERT_EQ(setPIDoutSel(3, 0, 2), 0);
    ASSERT_EQ(getPIDoutSel(&ox, &oy, &oi), 0);
    EXPECT_EQ(ox, 3);
    EXPECT_EQ(oy, 0);
    EXPECT_EQ(oi, 2);
}

TEST_F(AbiTest, SettersWithoutGetterStoreInArgumentOrder)
{
    ASSERT_EQ(setCrossBar(1, 3, 2, 1, 0), 0); // bpm first, then top, right, bottom, left
    EXPECT_EQ(nivraSimSetting("crossBar", 4), 3);
    EXPECT_EQ(nivraSimSetting("crossBar", 5), 2);
    EXPECT_EQ(nivraSimSetting("crossBar", 6), 1);
    EXPECT_EQ(nivraSimSetting("crossBar", 7), 0);
    EXPECT_EQ(nivraSimSetting("crossBar", 0), 0); // BPM1 keeps its default
    EXPECT_EQ(lastLine(), "setCrossBar(1, 3, 2, 1, 0) -> 0");

    ASSERT_EQ(setTovashSumDiff(1, 1), 0); // bpm, math
    EXPECT_EQ(nivraSimSetting("tovashSumDiff", 1), 1);
    EXPECT_EQ(nivraSimSetting("tovashSumDiff", 0), 0);
    ASSERT_EQ(tovashEncoderSelect(1, 0), 0); // select, bpm
    EXPECT_EQ(nivraSimSetting("encoderSelect", 0), 1);
    ASSERT_EQ(setTovashType(1, 2), 0);
    EXPECT_EQ(nivraSimSetting("tovashType", 1), 2);
    ASSERT_EQ(setBPMoffsetTovash(1, 3, 0.5, -0.25), 0);
    EXPECT_EQ(nivraSimSetting("offsetTovashType", 1), 3);
    EXPECT_EQ(nivraSimSetting("offsetTovash", 2), 0.5);
    EXPECT_EQ(nivraSimSetting("offsetTovash", 3), -0.25);
    ASSERT_EQ(setBPMscale(0, 0.5, 2.0), 0);
    EXPECT_EQ(nivraSimSetting("bpmScale", 0), 0.5);
    EXPECT_EQ(nivraSimSetting("bpmScale", 1), 2.0);
    ASSERT_EQ(setOffset(1.5, -2.5, 0.25), 0);
    EXPECT_EQ(nivraSimSetting("pidOffset", 0), 1.5);
    EXPECT_EQ(nivraSimSetting("pidOffset", 1), -2.5);
    EXPECT_EQ(nivraSimSetting("pidOffset", 2), 0.25);
    ASSERT_EQ(setWindAvg(1, 33), 0);
    EXPECT_EQ(nivraSimSetting("windowAvg", 1), 33);
    ASSERT_EQ(setROClimits(4, -1.0, 40.0), 0); // channel 3 * bpm + axis
    EXPECT_EQ(nivraSimSetting("rocLower", 4), -1.0);
    EXPECT_EQ(nivraSimSetting("rocUpper", 4), 40.0);

    ASSERT_EQ(setPIDparams(1, 1, 2, 3, 4, 5, 6, 7, 8), 0);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(nivraSimSetting("pidParams", 8 + k), k + 1.0) << "parameter " << k;
    EXPECT_EQ(nivraSimSetting("pidParams", 0), 0.3); // the X loop keeps its defaults

    float amp[4] = {0.5f, 0, 0, 0.25f};
    float off[4] = {1, 2, 3, 4};
    ASSERT_EQ(funcGenConfig(amp, off, 12.5f), 0);
    EXPECT_EQ(nivraSimSetting("genAmplitude", 3), 0.25);
    EXPECT_EQ(nivraSimSetting("genOffset", 2), 3.0);
    EXPECT_EQ(nivraSimSetting("genFrequency", 0), 12.5);
    ASSERT_EQ(funcGenEnable(1), 0);
    EXPECT_EQ(nivraSimSetting("genOn", 0), 1.0);
    EXPECT_TRUE(std::isnan(nivraSimSetting("noSuchSetting", 0)));
    EXPECT_TRUE(std::isnan(nivraSimSetting("crossBar", 8)));
}

TEST_F(AbiTest, BadArgumentsFailWithoutEffect)
{
    std::int8_t code = 0;
    EXPECT_LT(setPIDconf(7), 0);
    EXPECT_LT(setPIDconf(-1), 0);
    getPIDconf(&code);
    EXPECT_EQ(code, 1);
    EXPECT_LT(setSetpoint2(3, 1.0), 0);
    EXPECT_LT(setSetpoint2(0, std::nan("")), 0);
    EXPECT_LT(setOutputMux(2), 0);
    EXPECT_LT(setBPMselector(0, 2, 0), 0);
    EXPECT_LT(setPIDoutSel(0, 4, 1), 0);
    EXPECT_LT(setDisplayFreq(0, 0), 0);
    EXPECT_LT(setWindAvg(0, 0), 0);
    EXPECT_LT(setROClimits(6, 0, 1), 0);
    EXPECT_LT(setCrossBar(2, 0, 1, 2, 3), 0);
    EXPECT_LT(setPIDparams(3, 1, 1, 1, 1, 1, 1, 1, 1), 0);
    EXPECT_LT(setPIDparams(0, 1, INFINITY, 1, 1, 1, 1, 1, 1), 0);
    EXPECT_EQ(nivraSimSetting("pidParams", 0), 0.3);
    EXPECT_LT(getSFPinfo(4, nullptr, nullptr, nullptr, nullptr), 0);
    float amp[4] = {0, 0, 0, 0};
    EXPECT_LT(funcGenConfig(amp, amp, -1.0f), 0);
    EXPECT_LT(funcGenConfig(nullptr, amp, 1.0f), 0);

    // Null outputs are refused, not written through.
    EXPECT_LT(getBPMselector(nullptr, nullptr, nullptr), 0);
    EXPECT_LT(getOutputMux(nullptr), 0);
    EXPECT_LT(getBuffer(nullptr, 10), 0);
    EXPECT_LT(getBPMStats(nullptr), 0);
    EXPECT_EQ(lastLine(), "getBPMStats(null) -> -1");

    std::uint8_t mux = 9;
    getOutputMux(&mux);
    EXPECT_EQ(mux, 1);
    int rate = 0;
    std::uint8_t mode = 0;
    getDisplayFreq(&rate, &mode);
    EXPECT_EQ(rate, 1000);
}

TEST_F(AbiTest, SystemVersionAndModules)
{
    std::uint32_t ts = 0, sw = 0, pid = 0;
    ASSERT_EQ(getSystemVersion(&ts, &sw, &pid), 0);
    EXPECT_NE(ts, 0u);
    // Distinct bytes, so byte order mistakes show.
    for (std::uint32_t w : {sw, pid})
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                EXPECT_NE((w >> (8 * i)) & 0xff, (w >> (8 * j)) & 0xff);

    std::uint16_t id = 0;
    std::uint32_t hw = 0, ver = 0, serial = 0;
    ASSERT_EQ(getSFPinfo(0, &id, &hw, &ver, &serial), 0);
    EXPECT_EQ(id, 0x2301);
    EXPECT_NE(serial, 0u);
    ASSERT_EQ(getSFPinfo(1, &id, &hw, &ver, &serial), 0);
    EXPECT_EQ(id, 0x2302);
    ASSERT_EQ(getSFPinfo(2, &id, &hw, &ver, &serial), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(serial, 0u);

    int b1 = 0, b2 = 0;
    ASSERT_EQ(getTovashes(&b1, &b2), 0);
    EXPECT_EQ(b1, 1);
    EXPECT_EQ(b2, 1);
    nivraSimSetTovash(1, 0);
    getTovashes(&b1, &b2);
    EXPECT_EQ(b1, 1);
    EXPECT_EQ(b2, 0);
    getSFPinfo(1, &id, &hw, &ver, &serial);
    EXPECT_EQ(id, 0x2102);

    int m1 = 0, m2 = 0;
    ASSERT_EQ(getOscalons(&m1, &m2), 0);
    EXPECT_EQ(m1, 1);
    EXPECT_EQ(m2, 1);
    nivraSimSetMeterPresent(0, 0);
    getOscalons(&m1, &m2);
    EXPECT_EQ(m1, 0);
    EXPECT_EQ(m2, 1);
}

TEST_F(AbiTest, LoginLevels)
{
    char user[32], pass[32];
    auto login = [&](const char *u, const char *p) {
        std::memset(user, 0, sizeof user);
        std::memset(pass, 0, sizeof pass);
        std::strncpy(user, u, 31);
        std::strncpy(pass, p, 31);
        return getLock(user, pass);
    };
    EXPECT_EQ(getLockStatus(), 0);
    EXPECT_EQ(login("admin", "admin"), 2);
    EXPECT_EQ(getLockStatus(), 2);
    EXPECT_EQ(login("admin", "wrong"), 0); // a refused login drops the level
    EXPECT_EQ(getLockStatus(), 0);
    EXPECT_EQ(login("user", "user"), 1);
    EXPECT_EQ(getLockStatus(), 1);
    EXPECT_EQ(login("cruise", "anything"), 0);
    EXPECT_EQ(getLockStatus(), 0);
    EXPECT_EQ(login("Admin", "admin"), 0);
    EXPECT_EQ(login("user", "admin"), 0);
    EXPECT_EQ(lastLine(), "getLock(\"user\", \"admin\") -> 0");

    // A full 32-byte buffer without a terminator is read to its end, no further.
    std::memset(user, 'a', sizeof user);
    std::memset(pass, 'b', sizeof pass);
    EXPECT_EQ(getLock(user, pass), 0);
    EXPECT_EQ(lastLine(), "getLock(\"" + std::string(32, 'a') + "\", \"" + std::string(32, 'b') + "\") -> 0");
}
