#pragma once
// "Step Response": the open-loop step response of one feedback axis. With the
// feedback off and the DAC outputs taken by the host it writes bias, bias + step
// and bias again, records the display stream at 50 kHz and derives gain, dead time
// and 10-90 % rise time from the stimulus (the stepped DAC output) and the response
// (the position or intensity the axis regulates). One blocking run on the GUI
// thread of about a third of a second.

#include <QDialog>
#include <QSharedPointer>

#include <qcustomplot.h>

#include "DeviceRecords.h"

namespace Ui {
class WindowStepResponse;
}

class WindowStepResponse : public QDialog
{
    Q_OBJECT

public:
    explicit WindowStepResponse(QWidget *parent = nullptr);
    ~WindowStepResponse() override;

    // Fills the bias boxes with the loops' configured offsets and shows the window.
    void showWindow();

public slots:
    void stepRespProcedure();
    void selector_radioButton_changed();

private:
    // What one run writes and reads: bias record A, step record B, the chosen axis's
    // bias and step, and the display-record words of its stimulus and response.
    struct StepPlan {
        DacOutputs a, b;
        double bias = 0.0, step = 0.0;
        int stimulusWord = 8, responseWord = 0;
    };
    // The plan from the form and the configured DAC map. Returns false when the
    // chosen axis has no DAC channel 0 .. 3.
    bool buildOutputVectors(StepPlan &plan);
    // Why the plan cannot be run as it stands, or empty: a 0 V step, a voltage
    // the DAC outputs cannot give, a response BPM without its encoder box.
    QString refusal(const StepPlan &plan) const;
    // The measurement proper, between opening and closing the two nodes.
    void measure(int dac, int display, const StepPlan &plan);
    void analyse(const QVector<double> &stimulus, QVector<double> response, double bias,
                 double step);
    // SAMP_FREQ and the controller's display stream to the raw 50 kHz; false after
    // a message when the controller refused (SAMP_FREQ then stays as it was).
    bool raiseDisplayRate();
    // Empty plot, labels and markers: nothing measured is on show.
    void showNoResult();
    QList<QCPAbstractItem *> markers() const;

    Ui::WindowStepResponse *ui;
    QSharedPointer<QCPGraphDataContainer> m_stimulusData;
    QSharedPointer<QCPGraphDataContainer> m_responseData;

    // Owned by the plot.
    QCPItemLine *m_riseLine = nullptr;
    QCPItemLine *m_deadArrow = nullptr;
    QCPItemLine *m_riseArrow = nullptr;
    QCPItemLine *m_amplitudeArrow = nullptr;
    QCPItemText *m_deadText = nullptr;
    QCPItemText *m_settleText = nullptr;
    QCPItemText *m_amplitudeText = nullptr;
};
