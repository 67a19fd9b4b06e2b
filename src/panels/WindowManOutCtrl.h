#pragma once
// "Manual Output Control" dialog: takes the four DAC outputs away from the feedback
// loops (output multiplexer 0) and sets each output by slider or spin box. Every
// change is written at once to the DAC node, which the dialog keeps open for its
// whole life. GUI thread only.

#include <QDialog>

#include "DeviceRecords.h"

class QDoubleSpinBox;
class QSlider;

namespace Ui {
class WindowManOutCtrl;
}

class WindowManOutCtrl : public QDialog
{
    Q_OBJECT

public:
    explicit WindowManOutCtrl(QWidget *parent = nullptr);
    ~WindowManOutCtrl() override;

    // Sends the four spin-box voltages to the DAC node, whatever the multiplexer. A
    // record the DAC does not take is logged, and the first of a run of them told.
    void writeOutputs();
    // Shows the dialog with "Enable Manual Control" as the multiplexer reads now;
    // outputs found on the host with nobody holding them are taken as manual control.
    void showWindow();

protected:
    // Notes a completion of a typed value (Return, leaving the field) that must send.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void enableMan_changed(bool enable);
    void sliders_changed();
    void boxes_changed();

private:
    // Channel k (0 = channel 1) of the form.
    QSlider *slider(int k) const;
    QDoubleSpinBox *box(int k) const;
    // The record the dialog writes: the four spin boxes.
    DacOutputs record() const;
    // Opens the DAC node if it is not open yet.
    bool openDacNode();
    // Tells the operator that the DAC node does not open.
    void tellNoDacNode();
    // Ticked exactly while this dialog holds the outputs; no control while another
    // owner does.
    void followHolder();

    Ui::WindowManOutCtrl *ui;
    int dacFd = -1;   // "/dev/nivra_vennick0", -1 when it did not open
    bool m_refused = false;   // the last record written did not reach the DAC
    bool m_resend = false;    // a completion under way that nothing else will send
};
