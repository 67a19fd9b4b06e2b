#pragma once
// The switches a procedure makes to drive the DAC outputs itself and to give them
// back: feedback off, output multiplexer to the host, and back to the feedback.
// A switch that fails is never passed over: the caller learns it, and the operator
// is told which call failed and what it means for the outputs. Every DAC record goes
// out through here, so that a failed hand-back names what the outputs hold, whoever
// wrote it. GUI thread only.

#include <QString>

#include "DeviceRecords.h"

class QWidget;

class OutputsHandOver
{
public:
    // setFBenable(0). False after a message: the loop may still be regulating.
    static bool feedbackOff(QWidget *parent, const QString &procedure);
    // setOutputMux(0), after the feedback was switched off. False after a message: the
    // outputs stay with the feedback, which stays off.
    static bool outputsToHost(QWidget *parent, const QString &procedure);
    // setOutputMux(1). False after a message saying that the outputs stay on the
    // host, where the feedback cannot reach them, at the last record the DAC took;
    // kept for the shutdown report, which alone tells it on the way out, with the
    // record taken by then.
    static bool outputsToFeedback(QWidget *parent, const QString &procedure);

    // Writes `record` to the DAC node `dacFd` (DAC_IOC_SET_OUTPUTS) and returns the
    // request's result, errno kept. A record the DAC takes is what the outputs hold.
    static int setOutputs(int dacFd, DacOutputs record);
    // "CH1 1.5 V, CH2 0 V, CH3 0 V, CH4 0 V": the record's voltages as the operator reads them.
    static QString voltages(const DacOutputs &record);
    // Forgets every record taken, as at start (tests).
    static void reset();

    // `procedure` ended before measuring because `call` failed; `consequence` says
    // what that leaves. Logged and shown in a box that blocks nothing.
    static void stoppedBy(QWidget *parent, const QString &procedure, const QString &call,
                          const QString &consequence);
};
