#pragma once
// "Frequency Analysis Tool": open-loop frequency response of one position axis. The
// window checks the sweep settings, turns them into a list of frequencies, prepares
// the stimulus (amplitude on the DAC output of the chosen loop, the present output
// voltages as offsets), runs a FrequencyAnalysisWorker on a thread of its own and
// draws each sweep as a magnitude and a phase graph. Selected sweeps export to CSV.
//
// Everything but the worker runs on the GUI thread. The worker and its thread are
// deleted here, on the GUI thread, once the thread has ended, so the Stop button and
// the close handling never reach a worker that is already gone.

#include <QColor>
#include <QDialog>
#include <QList>
#include <QSharedPointer>

#include <armadillo>

#include <qcustomplot.h>

class FrequencyAnalysisWorker;
class QCloseEvent;
class QThread;
class QTreeWidgetItem;

namespace Ui {
class WindowFrequencyAnalysis;
}

class WindowFrequencyAnalysis : public QDialog
{
    Q_OBJECT

public:
    explicit WindowFrequencyAnalysis(QWidget *parent = nullptr);
    ~WindowFrequencyAnalysis() override;

    // Refreshes the output and input fields and the present output voltage, then shows.
    void showWindow();

    // The DAC channel (0 to 3) that drives the chosen axis through `channel`, -1 when
    // the controller could not say; returns its DisplayRecord word (8 + channel), -1
    // for a channel outside 0 to 3.
    int getOutputRecordIndex(int *channel);
    // DisplayRecord word of the measured position: 0/1 (BPM1 X/Y) or 4/5 (BPM2 X/Y).
    int getInputRecordIndex();
    // Checks the sweep fields and replaces the frequency list; the number of
    // frequencies, or -1 after showing what is wrong.
    int checkInputs();
    // New plot entry, graphs and containers; returns the new plot id.
    int addPlot();

    // The frequency list of the last accepted sweep settings, in Hz.
    const arma::vec &frequencies() const { return m_frequencies; }
    // True from a sweep's start until its worker has finished.
    bool sweepRunning() const { return m_worker != nullptr; }

public slots:
    void slotStartSweepPushButton();
    void slotStopSweepPushButton();
    void outputChComboBoxChanged();
    void getOutputChValue();
    void inputChComboBoxChanged();
    void onPlotsTreeItemChanged(QTreeWidgetItem *item, int col);
    void slotExportMeasPushButton();
    void slotUseBPMscalingCheckBox(int state);
    void getBPMScale();
    void slotPushButtonAutoscale();
    void slotClearGraphsPushButton();
    void onFrequencyStepDone(int graph_id, double freq, double amp, double pha);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setUpPlot(QCustomPlot *plot, const QString &valueLabel);
    // Loop sources as the controller reports them, each 0 (BPM1) or 1 (BPM2).
    void bpmSources(int *xBpm, int *yBpm);
    void sweepEnded(QThread *thread, FrequencyAnalysisWorker *worker);
    // Ends a running sweep and waits for its thread (when the program leaves, before
    // main's last switches, and at destruction).
    void endSweepNow();
    // Tells what went wrong in an ended sweep; deletes its worker.
    void tellEnd(FrequencyAnalysisWorker *worker);

    Ui::WindowFrequencyAnalysis *ui;
    QList<QSharedPointer<QCPGraphDataContainer>> m_magnitudeData;
    QList<QSharedPointer<QCPGraphDataContainer>> m_phaseData;
    arma::vec m_frequencies;
    int m_plotCounter = 0;
    double m_outputVoltages[4] = {0.0, 0.0, 0.0, 0.0};
    QList<QColor> m_palette;
    bool m_useScaling = true;
    double m_scale = 1.0;
    FrequencyAnalysisWorker *m_worker = nullptr;   // the running sweep's, deleted here
    QThread *m_thread = nullptr;                    // its thread
};
