#include "WindowManOutCtrl.h"
#include "ui_WindowManOutCtrl.h"

#include <QSignalBlocker>

#include <fcntl.h>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "OutputsGuard.h"

WindowManOutCtrl::WindowManOutCtrl(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowManOutCtrl)
{
    ui->setupUi(this);

    connect(ui->checboxEnableMan, &QCheckBox::toggled, this, &WindowManOutCtrl::enableMan_changed,
            Qt::DirectConnection);
    for (int k = 0; k < 4; ++k) {
        connect(slider(k), &QSlider::valueChanged, this, &WindowManOutCtrl::sliders_changed,
                Qt::DirectConnection);
        connect(box(k), &QDoubleSpinBox::valueChanged, this, &WindowManOutCtrl::boxes_changed,
                Qt::DirectConnection);
    }

    dacFd = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    if (dacFd < 0)
        LOG_WARN() << "Manual output control: cannot open" << DeviceNodeName::Dac;
}

WindowManOutCtrl::~WindowManOutCtrl()
{
    OutputsGuard::release(this);
    delete ui;
    if (dacFd >= 0)
        DeviceNode::close(dacFd);
}

QSlider *WindowManOutCtrl::slider(int k) const
{
    switch (k) {
    case 0: return ui->ch1slider;
    case 1: return ui->ch2slider;
    case 2: return ui->ch3slider;
    default: return ui->ch4slider;
    }
}

QDoubleSpinBox *WindowManOutCtrl::box(int k) const
{
    switch (k) {
    case 0: return ui->boxCh1;
    case 1: return ui->boxCh2;
    case 2: return ui->boxCh3;
    default: return ui->boxCh4;
    }
}

void WindowManOutCtrl::showWindow()
{
    // The box only mirrors the multiplexer here; sending it back would turn a failed
    // read (which reads as 0) into taking the outputs away from a running feedback.
    {
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(mailboxComm->getOutputMux() == 0);
    }
    show();
    raise();
    activateWindow();
}

void WindowManOutCtrl::enableMan_changed(bool enable)
{
    // While a procedure holds the outputs the box goes back and nothing is sent.
    if (OutputsGuard::isHeld() && !OutputsGuard::isHeldBy(this)) {
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(!enable);
        OutputsGuard::showRefusal(this, QStringLiteral("Manual Output Control"));
        return;
    }
    if (enable)
        OutputsGuard::acquire(this, QStringLiteral("Manual Output Control"),
                              OutputsGuard::Runs::Beside);
    else
        OutputsGuard::release(this);
    // 0: the outputs follow the host (this dialog, the procedures); 1: the feedback.
    mailboxComm->setOutputMux(enable ? 0 : 1);
}

// Each pair is kept in step on its own, without the counterpart signalling back:
// a slider moved on one channel must not round the other channels' voltages, and a
// spin box stepped from 1.0 to 0.9 must stay at 0.9.
void WindowManOutCtrl::sliders_changed()
{
    for (int k = 0; k < 4; ++k) {
        QDoubleSpinBox *b = box(k);
        // Only the slider that moved disagrees with its box's whole volts.
        if (static_cast<int>(b->value()) != slider(k)->value()) {
            const QSignalBlocker quiet(b);
            b->setValue(slider(k)->value());
        }
    }
    writeOutputs();
}

void WindowManOutCtrl::boxes_changed()
{
    for (int k = 0; k < 4; ++k) {
        QSlider *s = slider(k);
        const int whole = static_cast<int>(box(k)->value());   // toward zero
        if (s->value() != whole) {
            const QSignalBlocker quiet(s);
            s->setValue(whole);
        }
    }
    writeOutputs();
}

void WindowManOutCtrl::writeOutputs()
{
    // A running procedure's outputs are not overwritten from here.
    if (OutputsGuard::isHeld() && !OutputsGuard::isHeldBy(this))
        return;
    DacOutputs outputs;
    for (int k = 0; k < 4; ++k)
        outputs.volts[k] = box(k)->value();
    outputs.apply = 1;
    if (dacFd >= 0)
        DeviceNode::ioctl(dacFd, DAC_IOC_SET_OUTPUTS, &outputs);
}
