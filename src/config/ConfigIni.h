#pragma once
// The persistent settings: one INI file read and written through QSettings.
//
// The store keeps nothing between calls. Every member opens the file afresh for its
// one access, so a load always sees the file as it is now and a save reaches the
// file when the call returns. A missing or unreadable file reads as all keys
// missing, a value that is not a finite number as a missing key (its default), a
// value that does not convert as 0. A save that cannot be written is logged at Warn,
// once until a save succeeds again.
//
// Index selection: BPM index 0 selects the groups "BPM1" / "ROCandROI" and the key
// "BeamThreshold"; any other index "BPM2" / "ROCandROI2" / "BeamThreshold2".
// Single-value out-parameters may be null (a null out is skipped); the IIR arrays
// must each hold IirLength doubles.

#include <QString>

class QSettings;

class ConfigIni
{
public:
    static constexpr int IirLength = 10;

    ConfigIni();

    // The file every member opens: "/opt/Drubek/NIVRA/config.ini".
    static QString filePath();
    // Points the store at another file (tests only; an empty path restores the real one).
    static void setFilePathForTesting(const QString &path);

    // Logs one Warn line and returns false when the file is missing, cannot be read,
    // or holds none of the program's groups (empty, garbage, another encoding): every
    // setting then reads its default, mostly 0. Called once at start.
    bool checkFile();
    // Logs one Warn line naming every key the program reads whose value is there but
    // is not a finite number, each with the value read instead; returns false then.
    // Called once at start.
    bool checkNumbers();

    // BPMn / Orient
    void writeConfigOrient(int value, int bpm);
    int readConfigOrient(int bpm);
    // BPMn / Scale_X, Scale_Y, Offset_X, Offset_Y
    void writeConfigScaleX(int bpm, double value);
    double readConfigScaleX(int bpm);
    void writeConfigScaleY(int bpm, double value);
    double readConfigScaleY(int bpm);
    void writeConfigOffsetX(int bpm, double value);
    double readConfigOffsetX(int bpm);
    void writeConfigOffsetY(int bpm, double value);
    double readConfigOffsetY(int bpm);
    // BPMn / Top, Right, Bottom, Left
    void writeConfigCrossBar(int top, int right, int bottom, int left, int bpm);
    void readConfigCrossBar(int *top, int *right, int *bottom, int *left, int bpm);
    // Beamline / BeamThreshold (index 0) or BeamThreshold2; missing reads 1e-9
    void writeConfigBeamThreshold(int index, double value);
    void readConfigBeamThreshold(double *value, int index);
    // ROCandROI[2] / RoiX, RoiY, RoiI0min, RoiI0max, RocX, RocY. The ROC is given and
    // returned as a percentage of the ROI; the file holds it as absolute RocX, RocY.
    void writeConfigROCandROI(int bpm, double roiX, double roiY, double roiI0min,
                              double roiI0max, double rocPercent);
    void readConfigROCandROI(double *roiX, double *roiY, double *roiI0min, double *roiI0max,
                             double *rocPercent, int bpm);
    // ROCandROI / RocXenable, RocYenable, BeamOffEnable, then the same of ROCandROI2
    void writeConfigROCenables(bool bpm1X, bool bpm1Y, bool bpm1BeamOff, bool bpm2X, bool bpm2Y,
                               bool bpm2BeamOff);
    // ROCandROI[2] / BeamOffTh
    void writeConfigBeamOffTh(int bpm, double value);
    void readConfigBeamOffTh(double *value, int bpm);
    // PID_X, PID_Y, PID_I0 / Freq, Kp, Ki, Kd, emin, Imax, Omin, Omax, Ogain, Offset
    void writeConfigPIDX(double freq, double kp, double ki, double kd, double emin, double imax,
                         double omin, double omax, double ogain, double offset);
    void readConfigPIDX(double *freq, double *kp, double *ki, double *kd, double *emin,
                        double *imax, double *omin, double *omax, double *ogain, double *offset);
    void writeConfigPIDY(double freq, double kp, double ki, double kd, double emin, double imax,
                         double omin, double omax, double ogain, double offset);
    void readConfigPIDY(double *freq, double *kp, double *ki, double *kd, double *emin,
                        double *imax, double *omin, double *omax, double *ogain, double *offset);
    void writeConfigPIDI0(double freq, double kp, double ki, double kd, double emin, double imax,
                          double omin, double omax, double ogain, double offset);
    void readConfigPIDI0(double *freq, double *kp, double *ki, double *kd, double *emin,
                         double *imax, double *omin, double *omax, double *ogain, double *offset);
    // Beamline / DAC_posX, DAC_posY, DAC_I0; missing read 0, 1, 2
    void writeConfigDACpos(int x, int y, int i0);
    void readConfigDACpos(int *x, int *y, int *i0);
    // PID_X / enable, PID_Y / enable (nothing writes them)
    void readConfigPIDenable(int *x, int *y);
    // Beamline / BPM_posX, BPM_posY, BPM_I0
    void writeConfigBPMpos(int x, int y, int i0);
    void readConfigBPMpos(int *x, int *y, int *i0);
    // IIR_X, IIR_Y, IIR_I0 / arrays a and b of IirLength doubles, element key "val"
    void writeConfigIIR(const double aX[IirLength], const double bX[IirLength],
                        const double aY[IirLength], const double bY[IirLength],
                        const double aI0[IirLength], const double bI0[IirLength]);
    void readConfigIIR(double aX[IirLength], double bX[IirLength], double aY[IirLength],
                       double bY[IirLength], double aI0[IirLength], double bI0[IirLength]);
    // BPMn / Conv_X, Conv_Y, Distance_X, Distance_Y
    void writeConfigConvX(int bpm, double value);
    double readConfigConvX(int bpm);
    void writeConfigConvY(int bpm, double value);
    double readConfigConvY(int bpm);
    void writeConfigDistanceX(int bpm, double value);
    double readConfigDistanceX(int bpm);
    void writeConfigDistanceY(int bpm, double value);
    double readConfigDistanceY(int bpm);
    // BPMn / EncType, EncIncrement, EncMath, Enc_X, Enc_Y
    void writeConfigEncType(int value, int bpm);
    int readConfigEncType(int bpm);
    void writeConfigEncIncrement(int value, int bpm);
    int readConfigEncIncrement(int bpm);
    void writeConfigEncMath(int value, int bpm);
    int readConfigEncMath(int bpm);
    void writeConfigEncX(int value, int bpm);
    int readConfigEncX(int bpm);
    void writeConfigEncY(int value, int bpm);
    int readConfigEncY(int bpm);

    // One IIR group inside an already open QSettings.
    void writeConfigIIRgroup(QSettings &settings, const QString &group,
                             const double a[IirLength], const double b[IirLength]);
    void readConfigIIRgroup(QSettings &settings, const QString &group, double a[IirLength],
                            double b[IirLength]);
    // Removes the groups IIR_X, IIR_Y and IIR_I0 with every key in them.
    void removeConfigIIR();
    // True when the file has a top-level group "IIR_X".
    bool hasConfigIIR();
};
