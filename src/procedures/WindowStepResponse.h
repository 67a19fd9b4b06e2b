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
    // What one recorded step gives. Times in seconds from the record's first sample.
    struct StepResult {
        bool inverted = false;   // the response falls while the stimulus is up
        bool resolved = false;   // the step stands out of the beam's own motion
        double y0 = 0.0;         // response level at the bias
        double y1 = 0.0;         // response level at bias + step
        double tS = 0.0;         // step instant
        double t10 = 0.0;        // 10 % and 90 % crossings after it
        double t90 = 0.0;
    };

    explicit WindowStepResponse(QWidget *parent = nullptr);
    ~WindowStepResponse() override;

    // Fills the bias boxes with the loops' configured offsets and shows the window.
    void showWindow();

    // Levels and crossings of one record sampled at `rate`; an inverted response is
    // turned over in place.
    static StepResult analyseStep(const QVector<double> &stimulus, QVector<double> &response,
                                  double bias, double step, double rate);

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
    // The measurement proper, between opening and closing the two nodes.
    void measure(int dac, int display, const StepPlan &plan);
    void analyse(const QVector<double> &stimulus, QVector<double> response, double bias,
                 double step);

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
