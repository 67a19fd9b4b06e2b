#pragma once
// What a failed switch leaves on the controller: the DAC outputs on the host, where
// the feedback cannot reach them, or the function generator perhaps still driving an
// output. That is a state, not a moment: it stands from the failure until a later
// switch of the same kind works, and whenever the program ends with it standing, main
// tells it where it outlives the process: on stderr, in the exit status, and in a box
// the operator dismisses unless a signal ended the program. From the moment the
// program starts to leave, a failure is left to that report alone: a box of its own
// would vanish with the process unseen. GUI thread only.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

class ShutdownReport
{
public:
    // The program has started to leave: a failed switch is no longer shown on its own.
    static void beginLeaving();
    static bool isLeaving();

    // `call` failed; `line` says so and what it leaves. One line per call: the latest,
    // which says what stands now.
    static void note(const QString &call, const QString &line);
    // As above, with the line composed whenever it is told: what a failure leaves may
    // change after it (the DAC outputs left on the host take later records).
    static void note(const QString &call, std::function<QString()> line);
    // A switch worked that ends what `call`'s failure left.
    static void withdraw(const QString &call);
    // The outputs were switched (setOutputMux worked) or taken over on the host:
    // back with the feedback, or with a new holder that answers for them.
    static void outputsSwitched();
    // funcGenEnable(0) `worked` or failed: a failure is kept as `line`, or when empty
    // as a general one unless a line is kept already; a success ends any earlier one.
    static void generatorOff(bool worked, const QString &line = {});
    static QStringList lines();

    // Writes every line kept to stderr and, when `operatorThere`, shows them in a box
    // under `parent` until dismissed. Returns the exit status: `exitCode`, but never 0
    // once something was told.
    static int tell(int exitCode, bool operatorThere, QWidget *parent = nullptr);

    // Back to a program that is not leaving (tests).
    static void reset();
};
