#pragma once
// SIGTERM, SIGINT and SIGHUP (a supervisor, Ctrl+C in the terminal, a desktop
// logout) end the program the way File > Exit does: the running procedure stops and
// hands the outputs back, and main switches the generator off. The handler itself
// only writes the signal's number into a socket pair; a notifier reads it in the GUI
// thread and calls the given function there, where the program may do anything.

#include <QObject>

#include <functional>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; `leave` gets the number of each signal that arrives.
    explicit TerminationSignals(std::function<void(int)> leave, QObject *parent = nullptr);
    // Puts the default dispositions back.
    ~TerminationSignals() override;

    // False when the socket pair or a handler could not be set up.
    bool isInstalled() const { return m_installed; }

private:
    static void handle(int signal);
    void readSignal();

    std::function<void(int)> m_leave;
    QSocketNotifier *m_notifier = nullptr;
    bool m_installed = false;
};
