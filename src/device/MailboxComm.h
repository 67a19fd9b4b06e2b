#pragma once
// The program's one gateway to the controller's command mailbox.
//
// Each operation calls the controller library, logs a warning when the library
// reports a failure, and hands the result back; the operations are plain member
// functions that run on the caller's thread. The same object also polls the slowly
// changing controller status (SFP modules, statistics block, PID status word) once a
// second on a thread of its own.
//
// Reading the polled status from another thread:
//   - pidStatus and deviceCount() are single relaxed atomics: read them directly.
//   - The SFP table and the statistics block are multi-word records that the polling
//     thread replaces every second; sfpTable() and bpmStatsSnapshot() return a copy
//     taken under a short lock, so a reader never sees half of one block and half of
//     the next.

#include <QMutex>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

#include "DeviceRecords.h"
#include "RelaxedAtomicInt.h"

class QThread;

class MailboxComm : public QObject
{
    Q_OBJECT

public:
    using SfpTable = std::array<SfpRecord, 4>;

    explicit MailboxComm(QObject *parent = nullptr);
    ~MailboxComm() override;

    // --- Device operations. Failures are logged at Warn and returned. ---

    // Fills each non-null string, also after a failure: hardware timestamp in decimal,
    // the two version words as "b0.b1.b2b3". Always returns 0.
    int getSystemVersion(QString *hwTimestamp, QString *swVersion, QString *pidVersion);
    int setCtrlReset();
    int setPIDconf(std::int8_t code);
    int setFBenable(std::uint8_t on);
    int setSetpointX(double x);
    int setSetpointY(double y);
    // Y is sent only when X succeeded.
    int setSetpointXY(double x, double y);
    // I0 is sent only when X and Y succeeded.
    int setSetpoint(double x, double y, double i0);
    // Reads X, then Y, then I0, stopping at the first failure (later outs untouched).
    // Returns 0 or the failing result.
    int getSetpoint(double *x, double *y, double *i0);
    // Returns the configuration code (0 when the read failed).
    int getPIDconf();
    int setWindAvg(int axis, int window);
    int tovashEncoderSelect(int select, std::uint8_t bpm);
    // Returns the mux byte, or the negative result when the read failed.
    int getOutputMux();
    int setBPMselector(int x, int y, int i0);
    int setPIDoutSel(std::uint8_t x, std::uint8_t y, std::uint8_t i0);
    // Always sends the current SAMP_FREQ as the rate.
    int setDisplayFreq(std::uint8_t mode);
    // channel = 3 * bpm + axis (axis 0 X, 1 Y).
    int setROClimits(int channel, double lower, double upper);
    int setTovashSumDiff(std::uint8_t mathFunction, std::uint8_t bpm);
    int getBPMselector(int *x, int *y, int *i0);
    int setBPMscale(int bpm, double scaleX, double scaleY);
    int setOffset(double x, double y, double i0);
    int setBPMoffsetTovash(int bpm, int encoderType, double offsetX, double offsetY);
    int setEncType(std::uint8_t bpm, std::uint8_t encoderType);
    int setROCenable(std::uint8_t bpm1X, std::uint8_t bpm1Y, std::uint8_t bpm1BeamOff,
                     std::uint8_t bpm2X, std::uint8_t bpm2Y, std::uint8_t bpm2BeamOff);
    int setCrossBar(std::uint8_t top, std::uint8_t right, std::uint8_t bottom, std::uint8_t left,
                    std::uint8_t bpm);
    int getROCenable(std::uint8_t *bpm1X, std::uint8_t *bpm1Y, std::uint8_t *bpm1BeamOff,
                     std::uint8_t *bpm2X, std::uint8_t *bpm2Y, std::uint8_t *bpm2BeamOff);
    // Returns the display rate in Hz; *mode (when given) receives mode != 0.
    // After a failed read: 0.0 and false.
    double getDisplayFreq(bool *mode = nullptr);
    int setPIDparams(std::int8_t axis, double p0, double p1, double p2, double p3, double p4,
                     double p5, double p6, double p7);
    // Called from the GUI thread; a switch that works ends what a failed hand-back
    // left on the host (the shutdown report).
    int setOutputMux(std::uint8_t mux);

    // --- Status polling. ---

    // Remembers the thread and wires it: started -> refreshData, finished -> quit and
    // deleteLater. Call before moving this object to the thread.
    void setupThread(QThread *thread);
    // Reads the four SFP ports, recounts the acquisition modules and reacts to changes.
    void scanSFP();
    // Emits nrTovashesChanged with the current module count (for late receivers).
    void announceDeviceCount();
    // Number of acquisition modules found by the last scan.
    int deviceCount() const;
    // Copy of the SFP ports 0-3 as found by the last scan.
    SfpTable sfpTable() const;
    // Copy of the last statistics block.
    BpmStats bpmStatsSnapshot() const;

    // Last PID status word (a PID_Status_Type, negative after a failed read).
    RelaxedAtomicInt pidStatus{0};

    // The device-link thread given to setupThread.
    QThread *thread = nullptr;

signals:
    void finished();
    void nrTovashesChanged(int count);

public slots:
    void doSetupOnNewThread();
    void refreshData();

private:
    mutable QMutex m_statusMutex;   // guards sfpRecords and bpmStats
    SfpTable sfpRecords{};
    BpmStats bpmStats{};
    RelaxedAtomicInt acqModuleCount{0};
    std::uint32_t tovashPresent = 0;   // touched by the polling thread only
};
