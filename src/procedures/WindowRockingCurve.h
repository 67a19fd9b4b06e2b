#pragma once
// "Rocking Curve": steps the DAC output of one loop (X, Y or intensity) from a start
// to a stop voltage with the feedback off, reads the BPM1 electrode currents at
// every step and plots the two affected electrodes and their sum against the
// voltage. The scan runs on the GUI thread: it sleeps between points and lets events
// in after each one, which is how Stop and changes of the form reach it.

#include <QDialog>

namespace Ui {
class WindowRockingCurve;
}

class WindowRockingCurve : public QDialog
{
    Q_OBJECT

public:
    explicit WindowRockingCurve(QWidget *parent = nullptr);
    ~WindowRockingCurve() override;

    // Offset of the X loop (true) or the Y loop (false) from the configuration store.
    static double readPidOffset(bool xLoop);

public slots:
    void startMeasurement();
    void stopMeasurement();
    void minMaxChanged();
    void clearGraph();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    Ui::WindowRockingCurve *ui;
    bool m_stop = false;
    bool m_running = false;
};
