#pragma once
// The acquisition engine. Once a second (driven by the acquisition timer that
// start-up owns) it probes the two current meters, fetches the newest display
// records from the controller and refills, in place, the data container of every
// live graph; then it emits replotGraphs. Everything runs on the GUI thread.

#include <QObject>
#include <QPointer>
#include <QSharedPointer>

#include <qcustomplot.h>

#include <memory>

#include "DeviceRecords.h"
#include "GraphRefill.h"

class QTimer;
class WindowBeamlineConf;
class WindowPico;

class Updater : public QObject
{
    Q_OBJECT
public:
    // Records the display buffer holds: 32 MiB, far above the largest fetch.
    static constexpr int DisplayBufferRecords = 131072;

    explicit Updater(QObject *parent = nullptr);
    ~Updater() override;

    // Last snapshot of current meter 1 (BPM1) and 2 (BPM2); read by the meter window.
    MeterStatus meterStatus[2] = {};
    // While set, a cycle ends after the meter probe; written by the display settings.
    bool paused = false;

    // Hands the engine a graph's container; a kind outside 0-9 or an index outside
    // the kind's range (negative included) is ignored.
    void setGraphData(int kind, int index, const QSharedPointer<QCPGraphDataContainer> &container);

    void setFFTlength(int length);
    void setFFTselector(int selector);

    // The timer that drives the cycles. It is stopped for good when the fatal fetch
    // message opens (the application quits after it), so that the cycles it would
    // go on firing in the message's event loop do not pile up further messages.
    void setTimer(QTimer *timer);

    // The beamline window and the current-meter window, handed over by the main
    // window once it has built them. The engine only keeps them; a cycle never uses
    // them. The current-meter window is never built, so its pointer stays null.
    void setBeamlineConf(WindowBeamlineConf *window) { beamlineConf = window; }
    void setWindowPico(WindowPico *window) { windowPico = window; }
    WindowBeamlineConf *beamlineConfWindow() const { return beamlineConf; }
    WindowPico *picoWindow() const { return windowPico; }

public slots:
    void updateGraphs();
    void updateTovashes();
    void ChangeFFTremoveDC(bool removeDC);
    void ChangeFFTgraph(int index);

signals:
    void replotGraphs();
    void replotDACgraph();
    void PIDstatusChanged(PID_Status_Type PID_status);

private:
    void refillSpectra(int n, double sampleRate);
    // Stops a running procedure, then shows the fatal message and ends the program.
    void reportFatalFetch();
    void showFatalFetchAndQuit();

    GraphSlots graphData;   // one container per (kind, index); kinds 0 and 1 use index 0
    std::unique_ptr<DisplayRecord[]> displayBuffer;
    bool meterPresent[2] = {false, false};
    int fftLength = 8192;
    bool fftRemoveDC = false;
    int fftMode = 0;
    int fftSelector = 1;

    WindowBeamlineConf *beamlineConf = nullptr;
    WindowPico *windowPico = nullptr;

    QPointer<QTimer> acquisitionTimer;
    bool fatalMessageOpen = false;
};
