#pragma once
// The switches a procedure makes to drive the DAC outputs itself and to give them
// back: feedback off, output multiplexer to the host, and back to the feedback.
// A switch that fails is never passed over: the caller learns it, and the operator
// is told which call failed and what it means for the outputs. GUI thread only.

#include <QString>

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
    // host at `volts` (DAC channels 1 to 4), where the feedback cannot reach them;
    // kept for the shutdown report, which alone tells it on the way out.
    static bool outputsToFeedback(QWidget *parent, const QString &procedure, const double (&volts)[4]);

    // `procedure` ended before measuring because `call` failed; `consequence` says
    // what that leaves. Logged and shown in a box that blocks nothing.
    static void stoppedBy(QWidget *parent, const QString &procedure, const QString &call,
                          const QString &consequence);
};
