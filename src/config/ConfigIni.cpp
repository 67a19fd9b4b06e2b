#include "ConfigIni.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "Logger.h"

namespace {

const QString &defaultFilePath()
{
    static const QString path = QStringLiteral("/opt/Drubek/NIVRA/config.ini");
    return path;
}

QString &filePathOverride()
{
    static QString path;
    return path;
}

QString bpmGroup(int bpm)
{
    return bpm == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
}

QString rocGroup(int bpm)
{
    return bpm == 0 ? QStringLiteral("ROCandROI") : QStringLiteral("ROCandROI2");
}

QString beamThresholdKey(int index)
{
    return index == 0 ? QStringLiteral("Beamline/BeamThreshold")
                      : QStringLiteral("Beamline/BeamThreshold2");
}

// Every access opens the file afresh; the object writes pending changes when it goes.
class Store : public QSettings
{
public:
    Store() : QSettings(ConfigIni::filePath(), QSettings::IniFormat) {}
};

// A save: writes at once and reports a file that cannot be written (read-only or
// full directory). Only the first failure of a run of them is reported, so that
// one unwritable file does not flood the log; a save that works again re-arms it.
class SavingStore : public Store
{
public:
    ~SavingStore() override
    {
        sync();
        static bool failing = false;
        if (status() != QSettings::AccessError) {
            failing = false;
        } else if (!failing) {
            failing = true;
            LOG_WARN() << "Settings could not be saved to" << fileName()
                       << "(the file or its folder is not writable, or the disk is full)";
        }
    }
};

// A value that is not a finite number ("nan", "inf", 1e999) reads as missing; one
// that does not convert at all reads 0.
double readDouble(QSettings &settings, const QString &key, double fallback)
{
    const double number = settings.value(key, fallback).toDouble();
    return std::isfinite(number) ? number : fallback;
}

const char *const pidKeys[10] = {"Freq", "Kp",   "Ki",   "Kd",    "emin",
                                 "Imax", "Omin", "Omax", "Ogain", "Offset"};

void writePid(const QString &group, const double values[10])
{
    SavingStore settings;
    settings.beginGroup(group);
    for (int i = 0; i < 10; ++i)
        settings.setValue(QLatin1String(pidKeys[i]), QVariant(values[i]));
    settings.endGroup();
}

void readPid(const QString &group, double *const outs[10])
{
    Store settings;
    for (int i = 0; i < 10; ++i) {
        const double value =
            readDouble(settings, group + QLatin1Char('/') + QLatin1String(pidKeys[i]), 0.0);
        if (outs[i])
            *outs[i] = value;
    }
}

// The caller's type (int or double) goes into the QVariant and so into the file.
void writeBpm(const char *key, int bpm, const QVariant &value)
{
    SavingStore settings;
    settings.beginGroup(bpmGroup(bpm));
    settings.setValue(QLatin1String(key), value);
    settings.endGroup();
}

// Arrays are opened with beginReadArray for writing too: no size entry goes into the
// file, and a read always takes IirLength elements whatever the file holds.
void writeIirArray(QSettings &settings, const QString &name, const double values[])
{
    settings.beginReadArray(name);
    for (int i = 0; i < ConfigIni::IirLength; ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("val"), QVariant(values[i]));
    }
    settings.endArray();
}

void readIirArray(QSettings &settings, const QString &name, double values[])
{
    settings.beginReadArray(name);
    for (int i = 0; i < ConfigIni::IirLength; ++i) {
        settings.setArrayIndex(i);
        values[i] = readDouble(settings, QStringLiteral("val"), 0.0);
    }
    settings.endArray();
}

int readBpmInt(const char *key, int bpm)
{
    Store settings;
    return settings.value(bpmGroup(bpm) + QLatin1Char('/') + QLatin1String(key), 0).toInt();
}

double readBpmDouble(const char *key, int bpm)
{
    Store settings;
    return readDouble(settings, bpmGroup(bpm) + QLatin1Char('/') + QLatin1String(key), 0.0);
}

// A key the program reads, with the default its reader gives when the key is missing.
struct ReadKey {
    QString path;
    bool integer;
    double fallback;
};

// Every key the program reads, in the readers' groups.
QList<ReadKey> readKeys()
{
    QList<ReadKey> keys;
    const auto add = [&keys](const QString &group, bool integer, const QList<const char *> &names,
                             double fallback = 0.0) {
        for (const char *name : names)
            keys.append({group + QLatin1Char('/') + QLatin1String(name), integer, fallback});
    };
    for (int bpm = 0; bpm < 2; ++bpm) {
        add(bpmGroup(bpm), false, {"Scale_X", "Scale_Y", "Offset_X", "Offset_Y", "Conv_X", "Conv_Y",
                                   "Distance_X", "Distance_Y"});
        add(bpmGroup(bpm), true, {"Top", "Right", "Bottom", "Left", "EncType", "EncIncrement",
                                  "EncMath", "Enc_X", "Enc_Y"});
        add(rocGroup(bpm), false, {"RoiX", "RoiY", "RoiI0min", "RoiI0max", "RocX"});
    }
    const QString beamline = QStringLiteral("Beamline");
    add(beamline, true, {"DAC_posX"}, 0);
    add(beamline, true, {"DAC_posY"}, 1);
    add(beamline, true, {"DAC_I0"}, 2);
    for (const char *group : {"PID_X", "PID_Y", "PID_I0"})
        add(QLatin1String(group), false, QList<const char *>(std::begin(pidKeys), std::end(pidKeys)));
    add(QStringLiteral("PID_X"), true, {"enable"});
    add(QStringLiteral("PID_Y"), true, {"enable"});
    return keys;
}

template <typename T>
void setOut(T *out, T value)
{
    if (out)
        *out = value;
}

} // namespace

ConfigIni::ConfigIni() = default;

QString ConfigIni::filePath()
{
    const QString &path = filePathOverride();
    return path.isEmpty() ? defaultFilePath() : path;
}

void ConfigIni::setFilePathForTesting(const QString &path)
{
    filePathOverride() = path;
}

bool ConfigIni::checkFile()
{
    const QString path = filePath();
    QString problem;
    QFile file(path);
    if (!file.exists()) {
        problem = QStringLiteral("is missing");
    } else if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("cannot be read (%1)").arg(file.errorString());
    } else {
        Store settings;
        static const QStringList known = {
            QStringLiteral("BPM1"),  QStringLiteral("BPM2"),      QStringLiteral("Beamline"),
            QStringLiteral("PID_X"), QStringLiteral("PID_Y"),     QStringLiteral("PID_I0"),
            QStringLiteral("IIR_X"), QStringLiteral("ROCandROI"), QStringLiteral("ROCandROI2")};
        const QStringList groups = settings.childGroups();
        const bool usable = std::any_of(groups.begin(), groups.end(),
                                        [](const QString &g) { return known.contains(g); });
        if (settings.status() == QSettings::FormatError || !usable)
            problem = QStringLiteral("holds no settings this program can read");
    }
    if (problem.isEmpty())
        return true;
    LOG_WARN() << "Configuration file" << path << problem
               << "- scales, offsets, PID values and ROC limits start at 0 until saved";
    return false;
}

bool ConfigIni::checkNumbers()
{
    Store settings;
    QStringList found;
    for (const ReadKey &key : readKeys()) {
        if (!settings.contains(key.path))
            continue;
        const QVariant value = settings.value(key.path);
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok && std::isfinite(number))
            continue;
        // What the reader makes of it, read the reader's way.
        const QString used =
            key.integer ? QString::number(settings.value(key.path, int(key.fallback)).toInt())
                        : QString::number(readDouble(settings, key.path, key.fallback));
        // A value with commas comes back as a list.
        const QString text = value.typeId() == QMetaType::QStringList
                                 ? value.toStringList().join(QLatin1Char(','))
                                 : value.toString();
        found << QStringLiteral("%1=%2 (%3 used)").arg(key.path, text, used);
    }
    if (found.isEmpty())
        return true;
    LOG_WARN() << "Configuration file" << filePath()
               << "holds values that are not numbers:" << found.join(QStringLiteral(", "));
    return false;
}

void ConfigIni::writeConfigOrient(int value, int bpm) { writeBpm("Orient", bpm, value); }
int ConfigIni::readConfigOrient(int bpm) { return readBpmInt("Orient", bpm); }

void ConfigIni::writeConfigScaleX(int bpm, double value) { writeBpm("Scale_X", bpm, value); }
double ConfigIni::readConfigScaleX(int bpm) { return readBpmDouble("Scale_X", bpm); }
void ConfigIni::writeConfigScaleY(int bpm, double value) { writeBpm("Scale_Y", bpm, value); }
double ConfigIni::readConfigScaleY(int bpm) { return readBpmDouble("Scale_Y", bpm); }
void ConfigIni::writeConfigOffsetX(int bpm, double value) { writeBpm("Offset_X", bpm, value); }
double ConfigIni::readConfigOffsetX(int bpm) { return readBpmDouble("Offset_X", bpm); }
void ConfigIni::writeConfigOffsetY(int bpm, double value) { writeBpm("Offset_Y", bpm, value); }
double ConfigIni::readConfigOffsetY(int bpm) { return readBpmDouble("Offset_Y", bpm); }

void ConfigIni::writeConfigCrossBar(int top, int right, int bottom, int left, int bpm)
{
    SavingStore settings;
    settings.beginGroup(bpmGroup(bpm));
    settings.setValue(QStringLiteral("Top"), QVariant(top));
    settings.setValue(QStringLiteral("Right"), QVariant(right));
    settings.setValue(QStringLiteral("Bottom"), QVariant(bottom));
    settings.setValue(QStringLiteral("Left"), QVariant(left));
    settings.endGroup();
}

void ConfigIni::readConfigCrossBar(int *top, int *right, int *bottom, int *left, int bpm)
{
    Store settings;
    const QString group = bpmGroup(bpm) + QLatin1Char('/');
    setOut(top, settings.value(group + QStringLiteral("Top"), 0).toInt());
    setOut(right, settings.value(group + QStringLiteral("Right"), 0).toInt());
    setOut(bottom, settings.value(group + QStringLiteral("Bottom"), 0).toInt());
    setOut(left, settings.value(group + QStringLiteral("Left"), 0).toInt());
}

void ConfigIni::writeConfigBeamThreshold(int index, double value)
{
    SavingStore settings;
    settings.setValue(beamThresholdKey(index), QVariant(value));
}

void ConfigIni::readConfigBeamThreshold(double *value, int index)
{
    Store settings;
    setOut(value, readDouble(settings, beamThresholdKey(index), 1e-9));
}

void ConfigIni::writeConfigROCandROI(int bpm, double roiX, double roiY, double roiI0min,
                                     double roiI0max, double rocPercent)
{
    SavingStore settings;
    settings.beginGroup(rocGroup(bpm));
    settings.setValue(QStringLiteral("RoiX"), QVariant(roiX));
    settings.setValue(QStringLiteral("RoiY"), QVariant(roiY));
    settings.setValue(QStringLiteral("RoiI0min"), QVariant(roiI0min));
    settings.setValue(QStringLiteral("RoiI0max"), QVariant(roiI0max));
    settings.setValue(QStringLiteral("RocX"), QVariant(roiX * rocPercent / 100));
    settings.setValue(QStringLiteral("RocY"), QVariant(roiY * rocPercent / 100));
    settings.endGroup();
}

void ConfigIni::readConfigROCandROI(double *roiX, double *roiY, double *roiI0min, double *roiI0max,
                                    double *rocPercent, int bpm)
{
    Store settings;
    const QString group = rocGroup(bpm) + QLatin1Char('/');
    const double x = readDouble(settings, group + QStringLiteral("RoiX"), 0.0);
    setOut(roiX, x);
    setOut(roiY, readDouble(settings, group + QStringLiteral("RoiY"), 0.0));
    setOut(roiI0min, readDouble(settings, group + QStringLiteral("RoiI0min"), 0.0));
    setOut(roiI0max, readDouble(settings, group + QStringLiteral("RoiI0max"), 0.0));
    const double rocX = readDouble(settings, group + QStringLiteral("RocX"), 0.0);
    // With RoiX 0 this is not finite; the callers get that value.
    setOut(rocPercent, rocX / x * 100);
}

void ConfigIni::writeConfigROCenables(bool bpm1X, bool bpm1Y, bool bpm1BeamOff, bool bpm2X,
                                      bool bpm2Y, bool bpm2BeamOff)
{
    SavingStore settings;
    settings.setValue(QStringLiteral("ROCandROI/RocXenable"), QVariant(bpm1X));
    settings.setValue(QStringLiteral("ROCandROI/RocYenable"), QVariant(bpm1Y));
    settings.setValue(QStringLiteral("ROCandROI/BeamOffEnable"), QVariant(bpm1BeamOff));
    settings.setValue(QStringLiteral("ROCandROI2/RocXenable"), QVariant(bpm2X));
    settings.setValue(QStringLiteral("ROCandROI2/RocYenable"), QVariant(bpm2Y));
    settings.setValue(QStringLiteral("ROCandROI2/BeamOffEnable"), QVariant(bpm2BeamOff));
}

void ConfigIni::writeConfigBeamOffTh(int bpm, double value)
{
    SavingStore settings;
    settings.setValue(rocGroup(bpm) + QStringLiteral("/BeamOffTh"), QVariant(value));
}

void ConfigIni::readConfigBeamOffTh(double *value, int bpm)
{
    Store settings;
    setOut(value, readDouble(settings, rocGroup(bpm) + QStringLiteral("/BeamOffTh"), 0.0));
}

void ConfigIni::writeConfigPIDX(double freq, double kp, double ki, double kd, double emin,
                                double imax, double omin, double omax, double ogain, double offset)
{
    const double values[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    writePid(QStringLiteral("PID_X"), values);
}

void ConfigIni::readConfigPIDX(double *freq, double *kp, double *ki, double *kd, double *emin,
                               double *imax, double *omin, double *omax, double *ogain,
                               double *offset)
{
    double *const outs[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    readPid(QStringLiteral("PID_X"), outs);
}

void ConfigIni::writeConfigPIDY(double freq, double kp, double ki, double kd, double emin,
                                double imax, double omin, double omax, double ogain, double offset)
{
    const double values[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    writePid(QStringLiteral("PID_Y"), values);
}

void ConfigIni::readConfigPIDY(double *freq, double *kp, double *ki, double *kd, double *emin,
                               double *imax, double *omin, double *omax, double *ogain,
                               double *offset)
{
    double *const outs[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    readPid(QStringLiteral("PID_Y"), outs);
}

void ConfigIni::writeConfigPIDI0(double freq, double kp, double ki, double kd, double emin,
                                 double imax, double omin, double omax, double ogain,
                                 double offset)
{
    const double values[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    writePid(QStringLiteral("PID_I0"), values);
}

void ConfigIni::readConfigPIDI0(double *freq, double *kp, double *ki, double *kd, double *emin,
                                double *imax, double *omin, double *omax, double *ogain,
                                double *offset)
{
    double *const outs[10] = {freq, kp, ki, kd, emin, imax, omin, omax, ogain, offset};
    readPid(QStringLiteral("PID_I0"), outs);
}

void ConfigIni::writeConfigDACpos(int x, int y, int i0)
{
    SavingStore settings;
    settings.beginGroup(QStringLiteral("Beamline"));
    settings.setValue(QStringLiteral("DAC_posX"), QVariant(x));
    settings.setValue(QStringLiteral("DAC_posY"), QVariant(y));
    settings.setValue(QStringLiteral("DAC_I0"), QVariant(i0));
    settings.endGroup();
}

void ConfigIni::readConfigDACpos(int *x, int *y, int *i0)
{
    Store settings;
    setOut(x, settings.value(QStringLiteral("Beamline/DAC_posX"), 0).toInt());
    setOut(y, settings.value(QStringLiteral("Beamline/DAC_posY"), 1).toInt());
    setOut(i0, settings.value(QStringLiteral("Beamline/DAC_I0"), 2).toInt());
}

void ConfigIni::readConfigPIDenable(int *x, int *y)
{
    Store settings;
    setOut(x, settings.value(QStringLiteral("PID_X/enable"), 0).toInt());
    setOut(y, settings.value(QStringLiteral("PID_Y/enable"), 0).toInt());
}

void ConfigIni::writeConfigBPMpos(int x, int y, int i0)
{
    SavingStore settings;
    settings.beginGroup(QStringLiteral("Beamline"));
    settings.setValue(QStringLiteral("BPM_posX"), QVariant(x));
    settings.setValue(QStringLiteral("BPM_posY"), QVariant(y));
    settings.setValue(QStringLiteral("BPM_I0"), QVariant(i0));
    settings.endGroup();
}

void ConfigIni::readConfigBPMpos(int *x, int *y, int *i0)
{
    Store settings;
    setOut(x, settings.value(QStringLiteral("Beamline/BPM_posX"), 0).toInt());
    setOut(y, settings.value(QStringLiteral("Beamline/BPM_posY"), 0).toInt());
    setOut(i0, settings.value(QStringLiteral("Beamline/BPM_I0"), 0).toInt());
}

void ConfigIni::writeConfigIIR(const double aX[IirLength], const double bX[IirLength],
                               const double aY[IirLength], const double bY[IirLength],
                               const double aI0[IirLength], const double bI0[IirLength])
{
    SavingStore settings;
    writeConfigIIRgroup(settings, QStringLiteral("IIR_X"), aX, bX);
    writeConfigIIRgroup(settings, QStringLiteral("IIR_Y"), aY, bY);
    writeConfigIIRgroup(settings, QStringLiteral("IIR_I0"), aI0, bI0);
}

void ConfigIni::readConfigIIR(double aX[IirLength], double bX[IirLength], double aY[IirLength],
                              double bY[IirLength], double aI0[IirLength], double bI0[IirLength])
{
    Store settings;
    readConfigIIRgroup(settings, QStringLiteral("IIR_X"), aX, bX);
    readConfigIIRgroup(settings, QStringLiteral("IIR_Y"), aY, bY);
    readConfigIIRgroup(settings, QStringLiteral("IIR_I0"), aI0, bI0);
}

void ConfigIni::writeConfigConvX(int bpm, double value) { writeBpm("Conv_X", bpm, value); }
double ConfigIni::readConfigConvX(int bpm) { return readBpmDouble("Conv_X", bpm); }
void ConfigIni::writeConfigConvY(int bpm, double value) { writeBpm("Conv_Y", bpm, value); }
double ConfigIni::readConfigConvY(int bpm) { return readBpmDouble("Conv_Y", bpm); }
void ConfigIni::writeConfigDistanceX(int bpm, double value) { writeBpm("Distance_X", bpm, value); }
double ConfigIni::readConfigDistanceX(int bpm) { return readBpmDouble("Distance_X", bpm); }
void ConfigIni::writeConfigDistanceY(int bpm, double value) { writeBpm("Distance_Y", bpm, value); }
double ConfigIni::readConfigDistanceY(int bpm) { return readBpmDouble("Distance_Y", bpm); }

void ConfigIni::writeConfigEncType(int value, int bpm) { writeBpm("EncType", bpm, value); }
int ConfigIni::readConfigEncType(int bpm) { return readBpmInt("EncType", bpm); }
void ConfigIni::writeConfigEncIncrement(int value, int bpm)
{
    writeBpm("EncIncrement", bpm, value);
}
int ConfigIni::readConfigEncIncrement(int bpm) { return readBpmInt("EncIncrement", bpm); }
void ConfigIni::writeConfigEncMath(int value, int bpm) { writeBpm("EncMath", bpm, value); }
int ConfigIni::readConfigEncMath(int bpm) { return readBpmInt("EncMath", bpm); }
void ConfigIni::writeConfigEncX(int value, int bpm) { writeBpm("Enc_X", bpm, value); }
int ConfigIni::readConfigEncX(int bpm) { return readBpmInt("Enc_X", bpm); }
void ConfigIni::writeConfigEncY(int value, int bpm) { writeBpm("Enc_Y", bpm, value); }
int ConfigIni::readConfigEncY(int bpm) { return readBpmInt("Enc_Y", bpm); }

void ConfigIni::writeConfigIIRgroup(QSettings &settings, const QString &group,
                                    const double a[IirLength], const double b[IirLength])
{
    settings.beginGroup(group);
    writeIirArray(settings, QStringLiteral("a"), a);
    writeIirArray(settings, QStringLiteral("b"), b);
    settings.endGroup();
}

void ConfigIni::readConfigIIRgroup(QSettings &settings, const QString &group, double a[IirLength],
                                   double b[IirLength])
{
    settings.beginGroup(group);
    readIirArray(settings, QStringLiteral("a"), a);
    readIirArray(settings, QStringLiteral("b"), b);
    settings.endGroup();
}

void ConfigIni::removeConfigIIR()
{
    SavingStore settings;
    for (const char *group : {"IIR_X", "IIR_Y", "IIR_I0"}) {
        settings.beginGroup(QLatin1String(group));
        settings.remove(QString());   // the empty key: the whole group
        settings.endGroup();
    }
}

bool ConfigIni::hasConfigIIR()
{
    Store settings;
    return settings.childGroups().contains(QStringLiteral("IIR_X"), Qt::CaseSensitive);
}
