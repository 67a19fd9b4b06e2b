#pragma once
// The DAC outputs have one master at a time. The rocking curves, the step response,
// the frequency sweep and manual output control each take the outputs away from the
// feedback (feedback off, output multiplexer to the host); the blocking ones let
// events in between their points, so without this guard a second procedure could
// start in the middle of the first and take the outputs from under it.
//
// A procedure claims the outputs before it sends anything to the device and gives
// them back when it has handed them back to the feedback. A start that finds them
// held is refused with a message and sends nothing, and so is any other window's
// action that switches the loop on or changes it (Enable Feedback, configuration,
// setpoint, display rate): the holder drives the outputs and its own procedure
// decides what the loop does. Switching the feedback off is never refused.
// Leaving the program asks the holder to stop through stopHolder(). GUI thread only.

#include <QString>

#include <functional>

class QObject;
class QWidget;

class OutputsGuard
{
public:
    // How the holder runs: in the GUI thread, letting events in between its points
    // (a modal dialog opened meanwhile would pause it), or beside the GUI.
    enum class Runs { InGuiThread, Beside };

    // Takes the outputs for `owner`, named `name` in messages; `stop` (may be empty)
    // asks its procedure to end as its own Stop does. True also when `owner` holds
    // them already; false when someone else does.
    static bool acquire(const void *owner, const QString &name, Runs runs,
                        std::function<void()> stop = {});
    // Gives them back; nothing when `owner` does not hold them.
    static void release(const void *owner);

    static bool isHeld();
    static bool isHeldBy(const void *owner);
    // True while someone other than `owner` holds the outputs.
    static bool isHeldByAnother(const void *owner) { return isHeld() && !isHeldBy(owner); }
    // True while a procedure that runs in the GUI thread holds the outputs.
    static bool heldInGuiThread();
    static QString holderName();

    // Asks the holder to stop; nothing when the outputs are free or the holder
    // gave no way to stop it.
    static void stopHolder();

    // The operator's message for a refused start of `name`.
    static QString refusalText(const QString &name);
    // Shows it in a box that neither waits for an answer nor blocks any window: a
    // modal box would pause a running scan for as long as it stays open, and keep
    // the operator from the running procedure's own Stop.
    static void showRefusal(QWidget *parent, const QString &name);

    // For an action on the loop from outside the holder's own window: while anyone
    // holds the outputs, shows why `action` is refused (as showRefusal does) and
    // returns true; the caller then sends nothing.
    static bool refuses(QWidget *parent, const QString &action);

    // Calls `changed` in `context`'s thread, from the event loop, after every change
    // of holder (taken or given back), for as long as `context` lives.
    static void watch(QObject *context, std::function<void()> changed);

    // A claim that gives the outputs back when it goes out of scope, unless kept.
    class Claim
    {
    public:
        Claim(const void *owner, const QString &name, Runs runs, std::function<void()> stop = {});
        ~Claim();
        Claim(const Claim &) = delete;
        Claim &operator=(const Claim &) = delete;

        explicit operator bool() const { return m_granted; }
        // The holder gives the outputs back itself, later.
        void keep() { m_owned = false; }

    private:
        const void *m_owner;
        bool m_granted = false;
        bool m_owned = false;   // taken by this claim, given back by it
    };
};
