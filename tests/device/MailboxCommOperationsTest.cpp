// The device operations against the simulator's call log: the library call each one
// makes (argument order included), the Warn text of a failure, what is returned, and
// the short-circuits of the setpoint chains.
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "AcquisitionSettings.h"
#include "LibraryHooks.h"
#include "LogCapture.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "SimCallLog.h"
#include "SimFixture.h"

namespace {

class MailboxCommOperations : public SimFixture
{
protected:
    MailboxComm link;
};

} // namespace

TEST_F(MailboxCommOperations, SettersPassTheirArgumentsInTheLibraryOrder)
{
    LogCapture log;
    SAMP_FREQ = 2500;
    nivraSimClearCallLog();

    EXPECT_EQ(link.setCtrlReset(), 0);
    EXPECT_EQ(link.setPIDconf(5), 0);
    EXPECT_EQ(link.setFBenable(1), 0);
    EXPECT_EQ(link.setSetpointX(1.5), 0);
    EXPECT_EQ(link.setSetpointY(-2.5), 0);
    EXPECT_EQ(link.setWindAvg(1, 64), 0);
    EXPECT_EQ(link.tovashEncoderSelect(3, 1), 0);
    EXPECT_EQ(link.setBPMselector(1, 0, 1), 0);
    EXPECT_EQ(link.setPIDoutSel(2, 3, 1), 0);
    EXPECT_EQ(link.setDisplayFreq(1), 0);
    EXPECT_EQ(link.setROClimits(4, -1.25, 2.5), 0);
    EXPECT_EQ(link.setTovashSumDiff(1, 0), 0);
    EXPECT_EQ(link.setBPMscale(1, 0.5, 0.25), 0);
    EXPECT_EQ(link.setOffset(0.125, -0.5, 3.0), 0);
    EXPECT_EQ(link.setBPMoffsetTovash(1, 2, 0.75, -0.75), 0);
    EXPECT_EQ(link.setEncType(1, 3), 0);
    EXPECT_EQ(link.setROCenable(1, 0, 1, 0, 1, 0), 0);
    EXPECT_EQ(link.setCrossBar(1, 2, 3, 4, 0), 0);
    EXPECT_EQ(link.setPIDparams(1, 1, 2, 3, 4, 5, 6, 7, 8), 0);
    EXPECT_EQ(link.setOutputMux(1), 0);

    const QStringList calls = SimCallLog::calls();
    const QStringList expected = {
        "setCtrlReset()",
        "setPIDconf(5)",
        "setFBenable(1)",
        "setSetpoint2(0, 1.5)",
        "setSetpoint2(1, -2.5)",
        "setWindAvg(1, 64)",
        "tovashEncoderSelect(3, 1)",
        "setBPMselector(1, 0, 1)",
        "setPIDoutSel(2, 3, 1)",
        "setDisplayFreq(2500, 1)",          // the rate is always SAMP_FREQ
        "setROClimits(4, -1.25, 2.5)",
        "setTovashSumDiff(0, 1)",           // bpm first
        "setBPMscale(1, 0.5, 0.25)",
        "setOffset(0.125, -0.5, 3)",
        "setBPMoffsetTovash(1, 2, 0.75, -0.75)",
        "setTovashType(1, 3)",
        "setROCenable(1, 0, 1, 0, 1, 0)",
        "setCrossBar(0, 1, 2, 3, 4)",       // bpm moves to the front
        "setPIDparams(1, 1, 2, 3, 4, 5, 6, 7, 8)",
        "setOutputMux(1)",
    };
    EXPECT_EQ(calls, expected);
    EXPECT_TRUE(log.texts().isEmpty()) << log.texts().join('|').toStdString();
}

TEST_F(MailboxCommOperations, GettersReadBackWhatTheControllerHolds)
{
    SAMP_FREQ = 4000;
    ASSERT_EQ(link.setDisplayFreq(1), 0);
    ASSERT_EQ(link.setPIDconf(3), 0);
    ASSERT_EQ(link.setOutputMux(1), 0);
    ASSERT_EQ(link.setBPMselector(1, 0, 1), 0);
    ASSERT_EQ(link.setROCenable(1, 0, 1, 0, 1, 1), 0);
    ASSERT_EQ(link.setSetpointX(0.5), 0);
    ASSERT_EQ(link.setSetpointY(-0.25), 0);
    ASSERT_EQ(::setSetpoint2(2, 7.0), 0);

    bool mode = false;
    EXPECT_EQ(link.getDisplayFreq(&mode), 4000.0);
    EXPECT_TRUE(mode);
    EXPECT_EQ(link.getDisplayFreq(), 4000.0);   // the mode out is optional
    EXPECT_EQ(link.getPIDconf(), 3);
    EXPECT_EQ(link.getOutputMux(), 1);

    int x = -1, y = -1, i0 = -1;
    EXPECT_EQ(link.getBPMselector(&x, &y, &i0), 0);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(i0, 1);

    std::uint8_t f[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(link.getROCenable(&f[0], &f[1], &f[2], &f[3], &f[4], &f[5]), 0);
    EXPECT_EQ((std::vector<int>(f, f + 6)), (std::vector<int>{1, 0, 1, 0, 1, 1}));

    double sx = 0, sy = 0, si0 = 0;
    nivraSimClearCallLog();
    EXPECT_EQ(link.getSetpoint(&sx, &sy, &si0), 0);
    EXPECT_EQ(sx, 0.5);
    EXPECT_EQ(sy, -0.25);
    EXPECT_EQ(si0, 7.0);
    const QStringList reads = SimCallLog::callsTo("getSetpoint2");
    ASSERT_EQ(reads.size(), 3);
    EXPECT_TRUE(reads[0].startsWith("getSetpoint2(0,"));
    EXPECT_TRUE(reads[1].startsWith("getSetpoint2(1,"));
    EXPECT_TRUE(reads[2].startsWith("getSetpoint2(2,"));
}

TEST_F(MailboxCommOperations, SystemVersionFormatsTheBytesLeastSignificantFirst)
{
    QString hw, sw, pid;
    EXPECT_EQ(link.getSystemVersion(&hw, &sw, &pid), 0);
    // The simulator's words: 1718033400, bytes 2 7 1 5 and bytes 1 6 8 3.
    EXPECT_EQ(hw, "1718033400");
    EXPECT_EQ(sw, "2.7.15");
    EXPECT_EQ(pid, "1.6.83");

    LibraryHooks::setVersionWords(0xFFFFFFFFu, 0x01020304u, 0xFF00FF10u, 0);
    EXPECT_EQ(link.getSystemVersion(&hw, &sw, &pid), 0);
    EXPECT_EQ(hw, "4294967295");   // unsigned
    EXPECT_EQ(sw, "4.3.21");       // three groups: bytes 2 and 3 run together
    EXPECT_EQ(pid, "16.255.0255");

    // Null strings are skipped.
    hw = sw = pid = "untouched";
    EXPECT_EQ(link.getSystemVersion(nullptr, &sw, nullptr), 0);
    EXPECT_EQ(hw, "untouched");
    EXPECT_EQ(sw, "4.3.21");
    EXPECT_EQ(pid, "untouched");
}

TEST_F(MailboxCommOperations, FailuresAreLoggedOnceWithTheirTextAndReturned)
{
    LogCapture log;
    nivraSimFailCall("*", -4);

    std::uint8_t f[6] = {};
    int x = 0, y = 0, i0 = 0;
    double dx = 0, dy = 0, di0 = 0;
    EXPECT_EQ(link.setCtrlReset(), -4);
    EXPECT_EQ(link.setPIDconf(1), -4);
    EXPECT_EQ(link.setFBenable(0), -4);
    EXPECT_EQ(link.setSetpointX(1), -4);
    EXPECT_EQ(link.setSetpointY(1), -4);
    EXPECT_EQ(link.getPIDconf(), 0);
    EXPECT_EQ(link.setWindAvg(0, 8), -4);
    EXPECT_EQ(link.tovashEncoderSelect(1, 0), -4);
    EXPECT_EQ(link.getOutputMux(), -4);
    EXPECT_EQ(link.setBPMselector(0, 0, 0), -4);
    EXPECT_EQ(link.setPIDoutSel(0, 1, 2), -4);
    EXPECT_EQ(link.setDisplayFreq(0), -4);
    EXPECT_EQ(link.setROClimits(0, -1, 1), -4);
    EXPECT_EQ(link.setTovashSumDiff(0, 0), -4);
    EXPECT_EQ(link.getBPMselector(&x, &y, &i0), -4);
    EXPECT_EQ(link.setBPMscale(0, 1, 1), -4);
    EXPECT_EQ(link.setOffset(0, 0, 0), -4);
    EXPECT_EQ(link.setBPMoffsetTovash(0, 0, 0, 0), -4);
    EXPECT_EQ(link.setEncType(0, 0), -4);
    EXPECT_EQ(link.setROCenable(0, 0, 0, 0, 0, 0), -4);
    EXPECT_EQ(link.setCrossBar(0, 0, 0, 0, 0), -4);
    EXPECT_EQ(link.getROCenable(&f[0], &f[1], &f[2], &f[3], &f[4], &f[5]), -4);
    bool mode = true;
    EXPECT_EQ(link.getDisplayFreq(&mode), 0.0);
    EXPECT_FALSE(mode);
    EXPECT_EQ(link.setPIDparams(0, 0, 0, 0, 0, 0, 0, 0, 0), -4);
    EXPECT_EQ(link.setOutputMux(3), -4);
    EXPECT_EQ(link.getSetpoint(&dx, &dy, &di0), -4);
    QString hw = "x", sw = "x", pid = "x";
    EXPECT_EQ(link.getSystemVersion(&hw, &sw, &pid), 0);   // always 0

    // Each statement's items are followed by one blank.
    const QStringList expected = {
        "setCtrlReset() failed ",
        "setPIDconf() failed ",
        "setFBenable() failed ",
        "setSetpoint(X) failed ",
        "setSetpoint(Y) failed ",
        "getPIDconf() failed ",
        "setWindAvg() failed ",
        "tovashEncoderSelect() failed ",
        "getOutputMux() failed ",
        "setBPMselector() failed ",
        "setPIDoutSel() failed ",
        "setDisplayFreq() failed ",
        "setROClimits() failed ",
        "setTovashSumDiff() failed ",
        "getBPMselector() failed ",
        "setBPMscale() failed ",
        "setOffset() failed ",
        "setBPMoffsetTovash() failed ",
        "setEncType() failed ",
        "setROCenable() failed ",
        "setCrossBar() failed ",
        "getROCenable() failed ",
        "getDisplayFreq() failed ",
        "setPIDparams() failed ",
        "setOutputMux( 3 ) failed ",
        "getSetpoint(X) failed ",
        "getSystemVersion() failed ",
    };
    const QList<LogCapture::Entry> entries = log.entries();
    QStringList texts;
    for (const LogCapture::Entry &e : entries) {
        texts.append(e.text);
        EXPECT_EQ(e.level, Logging::WarnLevel) << e.text.toStdString();
    }
    EXPECT_EQ(texts, expected);
}

TEST_F(MailboxCommOperations, ValuesAfterAFailedReadAreZeroNotWhatTheLibraryLeft)
{
    // A library that scribbles into its outputs and then reports failure.
    LibraryHooks::setVersionWords(123u, 0x01020304u, 0x05060708u, -2);
    QString hw, sw, pid;
    EXPECT_EQ(link.getSystemVersion(&hw, &sw, &pid), 0);
    EXPECT_EQ(hw, "0");
    EXPECT_EQ(sw, "0.0.00");
    EXPECT_EQ(pid, "0.0.00");

    // With the controller holding non-zero values, a failed read still gives 0; the
    // multiplexer gives the failure, which no mux byte can be mistaken for.
    SAMP_FREQ = 3000;
    ASSERT_EQ(link.setDisplayFreq(1), 0);
    ASSERT_EQ(link.setPIDconf(2), 0);
    ASSERT_EQ(link.setOutputMux(1), 0);
    nivraSimFailCall("getDisplayFreq", -1);
    nivraSimFailCall("getPIDconf", -1);
    nivraSimFailCall("getOutputMux", -1);
    bool mode = true;
    EXPECT_EQ(link.getDisplayFreq(&mode), 0.0);
    EXPECT_FALSE(mode);
    EXPECT_EQ(link.getPIDconf(), 0);
    EXPECT_EQ(link.getOutputMux(), -1);
}

TEST_F(MailboxCommOperations, NothingIsLoggedWhenTheLoggerIsAboveWarn)
{
    LogCapture log;
    Logging::Logger::instance().setLevel(Logging::ErrorLevel);
    nivraSimFailCall("*", -6);
    double x, y, i0;
    EXPECT_EQ(link.setCtrlReset(), -6);
    EXPECT_EQ(link.setOutputMux(0), -6);
    EXPECT_EQ(link.setSetpoint(1, 2, 3), -6);
    EXPECT_EQ(link.getSetpoint(&x, &y, &i0), -6);
    EXPECT_EQ(link.getPIDconf(), 0);
    link.scanSFP();
    EXPECT_TRUE(log.texts().isEmpty()) << log.texts().join('|').toStdString();

    // At Warn the same failures are logged.
    Logging::Logger::instance().setLevel(Logging::WarnLevel);
    EXPECT_EQ(link.setCtrlReset(), -6);
    EXPECT_EQ(log.texts(), QStringList{"setCtrlReset() failed "});
}

TEST_F(MailboxCommOperations, SetpointChainsStopAtTheFirstFailure)
{
    LogCapture log;

    // X fails: neither Y nor I0 is sent.
    nivraSimFailCall("setSetpoint2", -3);
    EXPECT_EQ(link.setSetpoint(1, 2, 3), -3);
    EXPECT_EQ(SimCallLog::callsTo("setSetpoint2"), QStringList{"setSetpoint2(0, 1)"});
    EXPECT_EQ(log.texts(), QStringList{"setSetpoint(X) failed "});
    nivraSimClearFaults();
    nivraSimClearCallLog();
    log.clear();

    // Y fails: I0 is not sent.
    LibraryHooks::failSetpointAxis(1, -8);
    EXPECT_EQ(link.setSetpoint(1, 2, 3), -8);
    EXPECT_EQ(SimCallLog::callsTo("setSetpoint2"), QStringList{"setSetpoint2(0, 1)"});
    EXPECT_EQ(LibraryHooks::interceptedSetpointCalls(), 1);
    EXPECT_EQ(log.texts(), QStringList{"setSetpoint(Y) failed "});
    EXPECT_EQ(link.setSetpointXY(4, 5), -8);
    log.clear();
    LibraryHooks::reset();
    nivraSimClearCallLog();

    // I0 fails: its own text, after both axes were sent.
    LibraryHooks::failSetpointAxis(2, -9);
    EXPECT_EQ(link.setSetpoint(1, 2, 3), -9);
    EXPECT_EQ(SimCallLog::callsTo("setSetpoint2"),
              (QStringList{"setSetpoint2(0, 1)", "setSetpoint2(1, 2)"}));
    EXPECT_EQ(log.texts(), QStringList{"setSetpoint(i0) failed "});
    LibraryHooks::reset();
    log.clear();

    // All succeed: the last result.
    EXPECT_EQ(link.setSetpoint(1, 2, 3), 0);
    EXPECT_EQ(link.setSetpointXY(1, 2), 0);
    EXPECT_TRUE(log.texts().isEmpty());
}

TEST_F(MailboxCommOperations, GetSetpointLeavesLaterOutsUntouched)
{
    LogCapture log;
    ASSERT_EQ(link.setSetpoint(1.5, 2.5, 3.5), 0);

    LibraryHooks::failSetpointAxis(1, -5);
    double x = 0, y = -1, i0 = -1;
    EXPECT_EQ(link.getSetpoint(&x, &y, &i0), -5);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(i0, -1);
    EXPECT_EQ(log.texts(), QStringList{"getSetpoint(Y) failed "});

    LibraryHooks::failSetpointAxis(2, -6);
    x = y = 0;
    EXPECT_EQ(link.getSetpoint(&x, &y, &i0), -6);
    EXPECT_EQ(y, 2.5);
    EXPECT_EQ(i0, -1);
    EXPECT_EQ(log.texts(), (QStringList{"getSetpoint(Y) failed ", "getSetpoint(i0) failed "}));

    nivraSimClearCallLog();
    LibraryHooks::failSetpointAxis(0, -7);
    EXPECT_EQ(link.getSetpoint(&x, &y, &i0), -7);
    EXPECT_TRUE(SimCallLog::callsTo("getSetpoint2").isEmpty());
    EXPECT_EQ(log.texts().last(), "getSetpoint(X) failed ");
}
