// Start-up against the simulator and a temporary configuration file: the per-BPM
// calibration that reaches the process-wide arrays and the defaults that reach the
// controller, whatever it held before.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "AcquisitionSettings.h"
#include "LogCapture.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "StartUp.h"

namespace {

class StartUpTest : public ProgramEnvironment
{
protected:
    StartUpTest() : ProgramEnvironment(3) {}

    void writeConfig(const QByteArray &text) { ASSERT_TRUE(config.writeText(text)); }
};

struct RocFlags {
    std::uint8_t f[6] = {9, 9, 9, 9, 9, 9};
};

RocFlags controllerRocFlags()
{
    RocFlags r;
    EXPECT_GE(getROCenable(&r.f[0], &r.f[1], &r.f[2], &r.f[3], &r.f[4], &r.f[5]), 0);
    return r;
}

} // namespace

TEST_F(StartUpTest, CalibrationComesFromBothBpmGroupsAndMissingKeysReadZero)
{
    writeConfig("[BPM1]\nScale_X=2.5\nScale_Y=0.5\nOffset_X=1\nOffset_Y=-1\nDistance_X=3000\n"
                "[BPM2]\nScale_Y=4\nDistance_Y=7000\n");
    StartUp::loadBpmCalibration();

    EXPECT_DOUBLE_EQ(BPM_SCALE_X[0], 2.5);
    EXPECT_DOUBLE_EQ(BPM_SCALE_Y[0], 0.5);
    EXPECT_DOUBLE_EQ(BPM_OFFSET_X[0], 1.0);
    EXPECT_DOUBLE_EQ(BPM_OFFSET_Y[0], -1.0);
    EXPECT_DOUBLE_EQ(BPM_DIST_X[0], 3000.0);
    // A missing key replaces the initial value with 0.0, distances included.
    EXPECT_DOUBLE_EQ(BPM_DIST_Y[0], 0.0);
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[1], 0.0);
    EXPECT_DOUBLE_EQ(BPM_SCALE_Y[1], 4.0);
    EXPECT_DOUBLE_EQ(BPM_DIST_X[1], 0.0);
    EXPECT_DOUBLE_EQ(BPM_DIST_Y[1], 7000.0);
}

// A file that gives nothing is reported once, at Warn, before the calibration reads.
// Text "/" stands for a folder where the file should be, a null text for no file.
TEST_F(StartUpTest, UnusableConfigurationIsReportedOnce)
{
    const QString good = QStringLiteral("[BPM1]\nScale_X=2\n");
    const QByteArray utf16(reinterpret_cast<const char *>(good.utf16()), 2 * good.size());
    for (const QByteArray &text : {QByteArray(), QByteArray(""), QByteArray("\x01 no [ settings\n=\n"),
                                   utf16, QByteArray("/"), good.toLatin1()}) {
        SCOPED_TRACE(text.constData());
        QFile::remove(config.path());
        QDir().rmdir(config.path());
        if (text == "/")
            ASSERT_TRUE(QDir().mkdir(config.path()));
        else if (!text.isNull())
            writeConfig(text);
        LogCapture log;
        StartUp::loadBpmCalibration();
        EXPECT_EQ(log.texts(Logging::WarnLevel).filter(config.path()).size(), text == good.toLatin1() ? 0 : 1);
    }
}

// Every value the program reads that is there but not a finite number is named once,
// with what is used instead; numbers (negative ones too) and keys nobody reads are not.
TEST_F(StartUpTest, ValuesThatAreNotNumbersAreNamedInOneLine)
{
    writeConfig("[BPM1]\nScale_X=abc\nScale_Y=nan\nOffset_X=-2\nEnc_X=two\nOrient=x\n"
                "[BPM2]\nDistance_Y=1e999\n[ROCandROI]\nRoiY=-20\n[ROCandROI2]\nRoiX=inf\nRocY=bad\n"
                "[Beamline]\nDAC_posY=y\nDAC_posX=3\n[PID_I0]\nKd=\n");
    LogCapture log;
    StartUp::loadBpmCalibration();
    const QStringList lines = log.texts(Logging::WarnLevel).filter(config.path());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].trimmed(), QStringLiteral("Configuration file %1 holds values that are not numbers: "
                                                 "BPM1/Scale_X=abc (0 used), BPM1/Scale_Y=nan (0 used), "
                                                 "BPM1/Enc_X=two (0 used), BPM2/Distance_Y=1e999 (0 used), "
                                                 "ROCandROI2/RoiX=inf (0 used), Beamline/DAC_posY=y (0 used), "
                                                 "PID_I0/Kd= (0 used)").arg(config.path()));
    EXPECT_DOUBLE_EQ(BPM_SCALE_X[0], 0.0);   // as the line says
}

TEST_F(StartUpTest, DefaultsClearBothBeamOffChecksAndKeepTheOthers)
{
    ASSERT_GE(setROCenable(1, 0, 1, 0, 1, 1), 0);
    ASSERT_GE(setDisplayFreq(5000, 1), 0);
    ASSERT_GE(setBPMselector(1, 0, 1), 0);
    SAMP_FREQ = 5000;

    StartUp::sendDeviceDefaults();

    const RocFlags r = controllerRocFlags();
    EXPECT_EQ(r.f[0], 1);
    EXPECT_EQ(r.f[1], 0);
    EXPECT_EQ(r.f[2], 0);
    EXPECT_EQ(r.f[3], 0);
    EXPECT_EQ(r.f[4], 1);
    EXPECT_EQ(r.f[5], 0);

    int rate = 0;
    std::uint8_t mode = 9;
    ASSERT_GE(getDisplayFreq(&rate, &mode), 0);
    EXPECT_EQ(rate, 1000);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(SAMP_FREQ, 1000);

    EXPECT_EQ(bpmSelX, 1);
    EXPECT_EQ(bpmSelY, 0);
    EXPECT_EQ(bpmSelI0, 1);
    EXPECT_FALSE(swVersion.isEmpty());
    EXPECT_FALSE(pidVersion.isEmpty());
}

// A failed read must not switch the controller's out-of-ROC protection off.
TEST_F(StartUpTest, FailedReadsLeaveTheRocChecksAndTheLoopSources)
{
    ASSERT_GE(setROCenable(1, 1, 1, 1, 1, 1), 0);
    bpmSelX = 1;
    bpmSelY = 1;
    bpmSelI0 = 0;
    nivraSimFailCall("getROCenable", -2);
    nivraSimFailCall("getBPMselector", -2);
    nivraSimClearCallLog();

    StartUp::sendDeviceDefaults();
    nivraSimClearFaults();

    EXPECT_EQ(nivraSimCallCount("setROCenable"), 0);
    const RocFlags r = controllerRocFlags();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r.f[i], 1) << "flag " << i;
    EXPECT_EQ(bpmSelX, 1);
    EXPECT_EQ(bpmSelY, 1);
    EXPECT_EQ(bpmSelI0, 0);
}
