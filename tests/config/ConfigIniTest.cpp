// The configuration store against a temporary file: defaults of a fresh system,
// the file layout of every key family, round trips, index selection and what a
// hand-edited file reads as.
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ConfigIni.h"
#include "LogCapture.h"
#include "TemporaryConfig.h"

namespace {

class ConfigIniTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(config.isValid()); }

    // The file, read and written independently of the store.
    TemporaryConfig config;
    ConfigIni store;
};

} // namespace

TEST(ConfigIniPath, RealFileUnlessTestsPointElsewhere)
{
    EXPECT_EQ(ConfigIni::filePath(), QStringLiteral("/opt/Drubek/NIVRA/config.ini"));
    ConfigIni::setFilePathForTesting(QStringLiteral("/tmp/x.ini"));
    EXPECT_EQ(ConfigIni::filePath(), QStringLiteral("/tmp/x.ini"));
    ConfigIni::setFilePathForTesting(QString());
    EXPECT_EQ(ConfigIni::filePath(), QStringLiteral("/opt/Drubek/NIVRA/config.ini"));
}

TEST_F(ConfigIniTest, FreshSystemReadsDefaultsAndCreatesNoFile)
{
    int x = -1, y = -1, i0 = -1;
    store.readConfigDACpos(&x, &y, &i0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(i0, 2);

    double threshold = -1;
    store.readConfigBeamThreshold(&threshold, 0);
    EXPECT_DOUBLE_EQ(threshold, 1e-9);
    threshold = -1;
    store.readConfigBeamThreshold(&threshold, 1);
    EXPECT_DOUBLE_EQ(threshold, 1e-9);

    for (int bpm : {0, 1}) {
        EXPECT_EQ(store.readConfigOrient(bpm), 0);
        EXPECT_EQ(store.readConfigScaleX(bpm), 0.0);
        EXPECT_EQ(store.readConfigScaleY(bpm), 0.0);
        EXPECT_EQ(store.readConfigOffsetX(bpm), 0.0);
        EXPECT_EQ(store.readConfigOffsetY(bpm), 0.0);
        EXPECT_EQ(store.readConfigConvX(bpm), 0.0);
        EXPECT_EQ(store.readConfigConvY(bpm), 0.0);
        EXPECT_EQ(store.readConfigDistanceX(bpm), 0.0);
        EXPECT_EQ(store.readConfigDistanceY(bpm), 0.0);
        EXPECT_EQ(store.readConfigEncType(bpm), 0);
        EXPECT_EQ(store.readConfigEncIncrement(bpm), 0);
        EXPECT_EQ(store.readConfigEncMath(bpm), 0);
        EXPECT_EQ(store.readConfigEncX(bpm), 0);
        EXPECT_EQ(store.readConfigEncY(bpm), 0);
        int t = -1, r = -1, b = -1, l = -1;
        store.readConfigCrossBar(&t, &r, &b, &l, bpm);
        EXPECT_EQ(t | r | b | l, 0);
        double th = -1;
        store.readConfigBeamOffTh(&th, bpm);
        EXPECT_EQ(th, 0.0);
        double roiX = -1, roiY = -1, lo = -1, hi = -1, percent = 0;
        store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, bpm);
        EXPECT_EQ(roiX, 0.0);
        EXPECT_EQ(roiY, 0.0);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 0.0);
        EXPECT_TRUE(std::isnan(percent));   // 0 / 0: handed on as it is
    }

    double pid[10];
    std::fill(std::begin(pid), std::end(pid), -1.0);
    store.readConfigPIDI0(&pid[0], &pid[1], &pid[2], &pid[3], &pid[4], &pid[5], &pid[6], &pid[7],
                          &pid[8], &pid[9]);
    for (double v : pid)
        EXPECT_EQ(v, 0.0);

    int ex = -1, ey = -1;
    store.readConfigPIDenable(&ex, &ey);
    EXPECT_EQ(ex, 0);
    EXPECT_EQ(ey, 0);
    store.readConfigBPMpos(&x, &y, &i0);
    EXPECT_EQ(x | y | i0, 0);

    double arrays[6][10];
    for (auto &a : arrays)
        std::fill(std::begin(a), std::end(a), 7.0);
    store.readConfigIIR(arrays[0], arrays[1], arrays[2], arrays[3], arrays[4], arrays[5]);
    for (auto &a : arrays)
        for (double v : a)
            EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(store.hasConfigIIR());

    EXPECT_FALSE(config.exists());   // reading never writes
}

TEST_F(ConfigIniTest, BpmFamiliesUseTheirKeysAndIndexSelectsTheGroup)
{
    store.writeConfigOrient(3, 0);
    store.writeConfigScaleX(0, 1.5);
    store.writeConfigScaleY(0, 2.5);
    store.writeConfigOffsetX(0, -3.25);
    store.writeConfigOffsetY(0, 4.125);
    store.writeConfigCrossBar(1, 2, 3, 4, 0);
    store.writeConfigConvX(0, 0.001);
    store.writeConfigConvY(0, 0.002);
    store.writeConfigDistanceX(0, 1234567.0);
    store.writeConfigDistanceY(0, 7654321.0);
    store.writeConfigEncType(5, 0);
    store.writeConfigEncIncrement(6, 0);
    store.writeConfigEncMath(7, 0);
    store.writeConfigEncX(8, 0);
    store.writeConfigEncY(9, 0);

    EXPECT_EQ(config.value("BPM1/Orient").toInt(), 3);
    EXPECT_EQ(config.value("BPM1/Scale_X").toDouble(), 1.5);
    EXPECT_EQ(config.value("BPM1/Scale_Y").toDouble(), 2.5);
    EXPECT_EQ(config.value("BPM1/Offset_X").toDouble(), -3.25);
    EXPECT_EQ(config.value("BPM1/Offset_Y").toDouble(), 4.125);
    EXPECT_EQ(config.value("BPM1/Top").toInt(), 1);
    EXPECT_EQ(config.value("BPM1/Right").toInt(), 2);
    EXPECT_EQ(config.value("BPM1/Bottom").toInt(), 3);
    EXPECT_EQ(config.value("BPM1/Left").toInt(), 4);
    EXPECT_EQ(config.value("BPM1/Conv_X").toDouble(), 0.001);
    EXPECT_EQ(config.value("BPM1/Conv_Y").toDouble(), 0.002);
    EXPECT_EQ(config.value("BPM1/Distance_X").toDouble(), 1234567.0);
    EXPECT_EQ(config.value("BPM1/Distance_Y").toDouble(), 7654321.0);
    EXPECT_EQ(config.value("BPM1/EncType").toInt(), 5);
    EXPECT_EQ(config.value("BPM1/EncIncrement").toInt(), 6);
    EXPECT_EQ(config.value("BPM1/EncMath").toInt(), 7);
    EXPECT_EQ(config.value("BPM1/Enc_X").toInt(), 8);
    EXPECT_EQ(config.value("BPM1/Enc_Y").toInt(), 9);
    for (const QString &key : config.keys())
        EXPECT_TRUE(key.startsWith(QLatin1String("BPM1/"))) << key.toStdString();

    EXPECT_EQ(store.readConfigOrient(0), 3);
    EXPECT_EQ(store.readConfigScaleX(0), 1.5);
    EXPECT_EQ(store.readConfigScaleY(0), 2.5);
    EXPECT_EQ(store.readConfigOffsetX(0), -3.25);
    EXPECT_EQ(store.readConfigOffsetY(0), 4.125);
    int t = 0, r = 0, b = 0, l = 0;
    store.readConfigCrossBar(&t, &r, &b, &l, 0);
    EXPECT_EQ((std::vector<int>{t, r, b, l}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(store.readConfigConvX(0), 0.001);
    EXPECT_EQ(store.readConfigConvY(0), 0.002);
    EXPECT_EQ(store.readConfigDistanceX(0), 1234567.0);
    EXPECT_EQ(store.readConfigDistanceY(0), 7654321.0);
    EXPECT_EQ(store.readConfigEncType(0), 5);
    EXPECT_EQ(store.readConfigEncIncrement(0), 6);
    EXPECT_EQ(store.readConfigEncMath(0), 7);
    EXPECT_EQ(store.readConfigEncX(0), 8);
    EXPECT_EQ(store.readConfigEncY(0), 9);
    // BPM2 untouched.
    EXPECT_EQ(store.readConfigScaleX(1), 0.0);
    EXPECT_EQ(store.readConfigEncY(1), 0);

    // Any index other than 0 is BPM2.
    store.writeConfigScaleX(5, 9.75);
    store.writeConfigEncType(2, -1);
    store.writeConfigCrossBar(4, 3, 2, 1, 7);
    EXPECT_EQ(config.value("BPM2/Scale_X").toDouble(), 9.75);
    EXPECT_EQ(config.value("BPM2/EncType").toInt(), 2);
    EXPECT_EQ(config.value("BPM2/Top").toInt(), 4);
    EXPECT_EQ(store.readConfigScaleX(1), 9.75);
    EXPECT_EQ(store.readConfigScaleX(-3), 9.75);
    EXPECT_EQ(store.readConfigEncType(1), 2);
    EXPECT_EQ(store.readConfigScaleX(0), 1.5);
}

TEST_F(ConfigIniTest, BeamlineAndPidFamiliesRoundTrip)
{
    store.writeConfigBeamThreshold(0, 2e-8);
    store.writeConfigBeamThreshold(3, 5e-7);
    EXPECT_EQ(config.value("Beamline/BeamThreshold").toDouble(), 2e-8);
    EXPECT_EQ(config.value("Beamline/BeamThreshold2").toDouble(), 5e-7);
    double th = 0;
    store.readConfigBeamThreshold(&th, 0);
    EXPECT_EQ(th, 2e-8);
    store.readConfigBeamThreshold(&th, 1);
    EXPECT_EQ(th, 5e-7);

    store.writeConfigDACpos(3, 2, 1);
    store.writeConfigBPMpos(1, 0, 1);
    EXPECT_EQ(config.value("Beamline/DAC_posX").toInt(), 3);
    EXPECT_EQ(config.value("Beamline/DAC_posY").toInt(), 2);
    EXPECT_EQ(config.value("Beamline/DAC_I0").toInt(), 1);
    EXPECT_EQ(config.value("Beamline/BPM_posX").toInt(), 1);
    EXPECT_EQ(config.value("Beamline/BPM_posY").toInt(), 0);
    EXPECT_EQ(config.value("Beamline/BPM_I0").toInt(), 1);
    int x = 0, y = 0, i0 = 0;
    store.readConfigDACpos(&x, &y, &i0);
    EXPECT_EQ((std::vector<int>{x, y, i0}), (std::vector<int>{3, 2, 1}));
    store.readConfigBPMpos(&x, &y, &i0);
    EXPECT_EQ((std::vector<int>{x, y, i0}), (std::vector<int>{1, 0, 1}));

    store.writeConfigPIDX(100, 1, 2, 3, 4, 5, 6, 7, 8, 9);
    store.writeConfigPIDY(200, 11, 12, 13, 14, 15, 16, 17, 18, 19);
    store.writeConfigPIDI0(300, 21, 22, 23, 24, 25, 26, 27, 28, 29);
    const char *keys[10] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain",
                            "Offset"};
    for (int i = 0; i < 10; ++i) {
        const QString key = QString::fromLatin1(keys[i]);
        EXPECT_EQ(config.value("PID_X/" + key).toDouble(), i == 0 ? 100 : i) << keys[i];
        EXPECT_EQ(config.value("PID_Y/" + key).toDouble(), i == 0 ? 200 : 10 + i);
        EXPECT_EQ(config.value("PID_I0/" + key).toDouble(), i == 0 ? 300 : 20 + i);
    }
    double p[10] = {};
    store.readConfigPIDY(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9]);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(p[i], i == 0 ? 200 : 10 + i);
    store.readConfigPIDX(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9]);
    EXPECT_EQ(p[0], 100);
    EXPECT_EQ(p[9], 9);
    store.readConfigPIDI0(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9]);
    EXPECT_EQ(p[0], 300);
    EXPECT_EQ(p[9], 29);

    // Nothing the store writes touches the enable keys.
    int ex = -1, ey = -1;
    store.readConfigPIDenable(&ex, &ey);
    EXPECT_EQ(ex, 0);
    EXPECT_EQ(ey, 0);
}

TEST_F(ConfigIniTest, RocRoiKeepsThePercentageAsAbsoluteLimits)
{
    store.writeConfigROCandROI(0, 100, 50, 0.0, 1.0, 80);
    EXPECT_EQ(config.value("ROCandROI/RoiX").toDouble(), 100.0);
    EXPECT_EQ(config.value("ROCandROI/RoiY").toDouble(), 50.0);
    EXPECT_EQ(config.value("ROCandROI/RoiI0min").toDouble(), 0.0);
    EXPECT_EQ(config.value("ROCandROI/RoiI0max").toDouble(), 1.0);
    EXPECT_EQ(config.value("ROCandROI/RocX").toDouble(), 80.0);
    EXPECT_EQ(config.value("ROCandROI/RocY").toDouble(), 40.0);

    double roiX = 0, roiY = 0, lo = -1, hi = -1, percent = 0;
    store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, 0);
    EXPECT_EQ(roiX, 100.0);
    EXPECT_EQ(roiY, 50.0);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
    EXPECT_DOUBLE_EQ(percent, 80.0);

    // Index 2 goes to the second group; the percentage comes from RocX only.
    store.writeConfigROCandROI(2, 30, 10, 0.5, 2.0, 50);
    EXPECT_EQ(config.value("ROCandROI2/RocX").toDouble(), 15.0);
    EXPECT_EQ(config.value("ROCandROI2/RocY").toDouble(), 5.0);
    config.setValue("ROCandROI2/RocY", 999.0);
    store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, 1);
    EXPECT_EQ(roiX, 30.0);
    EXPECT_EQ(lo, 0.5);
    EXPECT_DOUBLE_EQ(percent, 50.0);

    // A zero ROI gives a percentage that is not finite.
    store.writeConfigROCandROI(0, 0, 50, 0, 1, 80);
    store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, 0);
    EXPECT_FALSE(std::isfinite(percent));

    store.writeConfigBeamOffTh(0, 0.25);
    store.writeConfigBeamOffTh(9, 0.75);
    EXPECT_EQ(config.value("ROCandROI/BeamOffTh").toDouble(), 0.25);
    EXPECT_EQ(config.value("ROCandROI2/BeamOffTh").toDouble(), 0.75);
    double th = 0;
    store.readConfigBeamOffTh(&th, 1);
    EXPECT_EQ(th, 0.75);

    store.writeConfigROCenables(true, false, true, false, true, false);
    const QByteArray text = config.text();
    EXPECT_TRUE(text.contains("RocXenable=true")) << text.constData();
    EXPECT_EQ(config.value("ROCandROI/RocXenable").toString(), "true");
    EXPECT_EQ(config.value("ROCandROI/RocYenable").toString(), "false");
    EXPECT_EQ(config.value("ROCandROI/BeamOffEnable").toString(), "true");
    EXPECT_EQ(config.value("ROCandROI2/RocXenable").toString(), "false");
    EXPECT_EQ(config.value("ROCandROI2/RocYenable").toString(), "true");
    EXPECT_EQ(config.value("ROCandROI2/BeamOffEnable").toString(), "false");
    // The ROI values written before are still there.
    EXPECT_EQ(config.value("ROCandROI2/RoiX").toDouble(), 30.0);
}

TEST_F(ConfigIniTest, IirArraysHaveNoSizeKeysAndCanBeRemoved)
{
    double in[6][10];
    for (int a = 0; a < 6; ++a)
        for (int i = 0; i < 10; ++i)
            in[a][i] = a * 100 + i + 0.5;
    store.writeConfigOrient(1, 0);   // an unrelated group must survive the removal
    store.writeConfigIIR(in[0], in[1], in[2], in[3], in[4], in[5]);

    const QStringList keys = config.keys();
    const char *groups[3] = {"IIR_X", "IIR_Y", "IIR_I0"};
    for (int g = 0; g < 3; ++g) {
        for (int i = 0; i < 10; ++i) {
            const QString a = QStringLiteral("%1/a/%2/val").arg(groups[g]).arg(i + 1);
            const QString b = QStringLiteral("%1/b/%2/val").arg(groups[g]).arg(i + 1);
            EXPECT_EQ(config.value(a).toDouble(), in[2 * g][i]) << a.toStdString();
            EXPECT_EQ(config.value(b).toDouble(), in[2 * g + 1][i]) << b.toStdString();
        }
    }
    for (const QString &key : keys)
        EXPECT_FALSE(key.endsWith(QLatin1String("size"))) << key.toStdString();
    EXPECT_EQ(keys.size(), 1 + 3 * 2 * 10);

    double out[6][10] = {};
    store.readConfigIIR(out[0], out[1], out[2], out[3], out[4], out[5]);
    for (int a = 0; a < 6; ++a)
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(out[a][i], in[a][i]);

    EXPECT_TRUE(store.hasConfigIIR());
    store.removeConfigIIR();
    EXPECT_FALSE(store.hasConfigIIR());
    EXPECT_EQ(config.keys(), QStringList{QStringLiteral("BPM1/Orient")});
}

TEST_F(ConfigIniTest, IirReadsTenElementsWhateverTheFileHolds)
{
    ASSERT_TRUE(config.writeText("[IIR_X]\na\\size=2\na\\1\\val=1.5\na\\12\\val=9\nb\\3\\val=2.5\n"
                                 "[iir_y]\na\\1\\val=4\n"));
    double aX[10], bX[10], aY[10], bY[10], aI0[10], bI0[10];
    store.readConfigIIR(aX, bX, aY, bY, aI0, bI0);
    EXPECT_EQ(aX[0], 1.5);
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(aX[i], 0.0);
    EXPECT_EQ(bX[2], 2.5);
    EXPECT_EQ(aY[0], 0.0);   // group names are case-sensitive
    EXPECT_TRUE(store.hasConfigIIR());

    ASSERT_TRUE(config.writeText("[iir_x]\na\\1\\val=1\n"));
    EXPECT_FALSE(store.hasConfigIIR());
}

TEST_F(ConfigIniTest, HandEditedFileReadsBadValuesAsZeroAndNonFiniteOnesAsMissing)
{
    ASSERT_TRUE(config.writeText("[BPM1]\nScale_X=abc\nOrient=3.7\nDistance_X=12.5e3\nOffset_X=nan\n"
                                 "Distance_Y=1e999\n[Beamline]\nDAC_posX=two\nBeamThreshold=none\n"
                                 "BeamThreshold2=-inf\n[ROCandROI]\nRoiX=10\nRocX=x\nRoiY=nan\nRoiI0max=inf\n"
                                 "[ROCandROI2]\nRoiX=-inf\nRoiY=20\nRocX=8\n"
                                 "[PID_X]\nKp=nan\nOmax=1e999\nOmin=-2\n"));
    EXPECT_EQ(store.readConfigScaleX(0), 0.0);
    EXPECT_EQ(store.readConfigOrient(0), 0);   // not an integer
    EXPECT_EQ(store.readConfigDistanceX(0), 12500.0);
    // Not finite is as good as missing (the key's default): never shown, sent or saved.
    EXPECT_EQ(store.readConfigOffsetX(0), 0.0);
    EXPECT_EQ(store.readConfigDistanceY(0), 0.0);
    // A missing group reads as defaults.
    EXPECT_EQ(store.readConfigScaleX(1), 0.0);
    EXPECT_EQ(store.readConfigDistanceY(1), 0.0);

    int x = -1, y = -1, i0 = -1;
    store.readConfigDACpos(&x, &y, &i0);
    EXPECT_EQ(x, 0);   // present but not a number: 0, not the default
    EXPECT_EQ(y, 1);
    EXPECT_EQ(i0, 2);
    double th = -1;
    store.readConfigBeamThreshold(&th, 0);
    EXPECT_EQ(th, 0.0);
    store.readConfigBeamThreshold(&th, 1);
    EXPECT_EQ(th, 1e-9);   // -inf

    double roiX = 0, roiY = -1, lo, hi, percent = -1;
    store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, 0);
    EXPECT_EQ(roiX, 10.0);
    EXPECT_EQ(roiY, 0.0);
    EXPECT_EQ(hi, 0.0);
    EXPECT_EQ(percent, 0.0);
    // Both sides: RoiX not finite reads 0, the ROC percentage with it not finite either.
    store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, 1);
    EXPECT_EQ(roiX, 0.0);
    EXPECT_EQ(roiY, 20.0);
    EXPECT_FALSE(std::isfinite(percent));

    double p[10];
    std::fill(std::begin(p), std::end(p), -1.0);
    store.readConfigPIDX(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8], &p[9]);
    EXPECT_EQ(p[1], 0.0);   // Kp
    EXPECT_EQ(p[6], -2.0);
    EXPECT_EQ(p[7], 0.0);   // Omax
}

TEST_F(ConfigIniTest, EveryCallSeesTheFileAsItIsNow)
{
    store.writeConfigScaleX(0, 2.0);
    // The save has reached the file when the call returns.
    EXPECT_TRUE(config.text().contains("Scale_X=2"));
    ASSERT_TRUE(config.writeText("[BPM1]\nScale_X=3.5\n"));
    EXPECT_EQ(store.readConfigScaleX(0), 3.5);
    // A second store object sees the same file.
    ConfigIni other;
    other.writeConfigScaleY(0, 4.0);
    EXPECT_EQ(store.readConfigScaleY(0), 4.0);
    EXPECT_EQ(store.readConfigScaleX(0), 3.5);
}

TEST_F(ConfigIniTest, NullOutsAreSkipped)
{
    store.writeConfigDACpos(3, 3, 3);
    int y = 0;
    store.readConfigDACpos(nullptr, &y, nullptr);
    EXPECT_EQ(y, 3);
    double percent = 0;
    store.writeConfigROCandROI(0, 10, 10, 0, 1, 20);
    store.readConfigROCandROI(nullptr, nullptr, nullptr, nullptr, &percent, 0);
    EXPECT_DOUBLE_EQ(percent, 20.0);
}

// A save that cannot reach the file is reported, once until a save works again.
TEST_F(ConfigIniTest, UnwritableFileIsReportedOnce)
{
    ASSERT_TRUE(config.writeText("not a directory"));   // so nothing below it can be made
    const QString bad = config.path() + QStringLiteral("/config.ini");
    LogCapture log;
    for (const QString &path : {bad, bad, config.folder() + QStringLiteral("/good.ini"), bad}) {
        ConfigIni::setFilePathForTesting(path);
        store.writeConfigDACpos(1, 2, 3);
    }
    EXPECT_EQ(log.texts(Logging::WarnLevel).filter("could not be saved to " + bad).size(), 2);
}

// The file scripts/run.sh installs on a fresh machine, read through the store: the
// values agree the way the beamline and ROC/ROI windows save them.
TEST_F(ConfigIniTest, StarterFileIsConsistent)
{
    QFile starter(QStringLiteral(NIVRA_STARTER_CONFIG));
    ASSERT_TRUE(starter.open(QIODevice::ReadOnly));
    ASSERT_TRUE(config.writeText(starter.readAll()));
    for (int bpm : {0, 1}) {
        // A beamline Save recomputes scale = (conv + conv) x distance / 1e9.
        const double x = 2 * store.readConfigConvX(bpm) * store.readConfigDistanceX(bpm) / 1e9;
        const double y = 2 * store.readConfigConvY(bpm) * store.readConfigDistanceY(bpm) / 1e9;
        EXPECT_DOUBLE_EQ(store.readConfigScaleX(bpm), x);
        EXPECT_DOUBLE_EQ(store.readConfigScaleY(bpm), y);
        int t = -1, r = -1, b = -1, l = -1;   // electrodes on meter channels 1-4
        store.readConfigCrossBar(&t, &r, &b, &l, bpm);
        EXPECT_EQ((std::vector<int>{t, r, b, l}), (std::vector<int>{0, 1, 2, 3})) << bpm;
        // Inside the ROC box's 100-1000 %, so the ROC (the XY graph's zoom) holds the ROI.
        double roiX = 0, roiY = 0, lo = 0, hi = 0, percent = 0;
        store.readConfigROCandROI(&roiX, &roiY, &lo, &hi, &percent, bpm);
        EXPECT_TRUE(roiX > 0 && roiY > 0 && std::round(percent) >= 100 && percent <= 1000) << bpm;
    }
}
