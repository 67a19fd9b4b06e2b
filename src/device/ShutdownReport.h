#pragma once
// What a failed switch on the way out leaves on the controller once the program has
// gone: the DAC outputs on the host, or the function generator perhaps still driving
// an output. A box shown then would vanish with the process unseen, so from the
// moment the program starts to leave such a failure is kept here instead, and main
// tells it where it outlives the process: on stderr, in the exit status, and in a
// box the operator dismisses unless a signal ended the program. GUI thread only.

#include <QString>
#include <QStringList>

class QWidget;

class ShutdownReport
{
public:
    // The program has started to leave: failed switches are kept from here on.
    static void beginLeaving();
    static bool isLeaving();

    // `call` failed on the way out; `line` says so and what it leaves. Nothing before
    // the program leaves (the operator has been shown it); one line per call, the first.
    static void note(const QString &call, const QString &line);
    // `call` succeeded after all: what its failure left is mended.
    static void withdraw(const QString &call);
    static QStringList lines();

    // Writes every line kept to stderr and, when `operatorThere`, shows them in a box
    // under `parent` until dismissed. Returns the exit status: `exitCode`, but never 0
    // once something was told.
    static int tell(int exitCode, bool operatorThere, QWidget *parent = nullptr);

    // Back to a program that is not leaving (tests).
    static void reset();
};
