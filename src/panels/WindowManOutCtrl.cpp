#include "WindowManOutCtrl.h"
#include "ui_WindowManOutCtrl.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QSignalBlocker>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NonBlockingWarning.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"
#include "ShutdownReport.h"

namespace {

const QString kName = QStringLiteral("Manual Output Control");

} // namespace

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
        // A typed voltage goes out when it is complete (Return, leaving the field):
        // "2.7" must not put 2 V on the output on the way.
        box(k)->setKeyboardTracking(false);
        box(k)->installEventFilter(this);
        connect(box(k), &QDoubleSpinBox::editingFinished, this, [this] {
            if (std::exchange(m_resend, false))
                writeOutputs();
        });
    }

    // A node that does not open is reported when the dialog is used: at this point
    // the main window is still being built and nobody would see it.
    dacFd = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);

    // A procedure may take the outputs and hand them back to the feedback while
    // the dialog is open, or hidden.
    OutputsGuard::watch(this, [this] { followHolder(); });
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

bool WindowManOutCtrl::openDacNode()
{
    // The driver may have been loaded since the last try.
    if (dacFd < 0)
        dacFd = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    return dacFd >= 0;
}

void WindowManOutCtrl::tellNoDacNode()
{
    LOG_WARN() << "Manual output control: cannot open" << DeviceNodeName::Dac;
    QMessageBox::warning(this, QStringLiteral("Cannot open file"),
                         QStringLiteral("System file %1 could not be opened: the outputs "
                                        "cannot be set by hand.\n\n"
                                        "Please check if NIVRA driver is loaded.\n")
                             .arg(QLatin1String(DeviceNodeName::Dac)));
}

void WindowManOutCtrl::showWindow()
{
    // Outputs on the host with nobody holding them were left under manual control
    // (by an earlier run: leaving keeps it) or by a hand-back that failed. Holding
    // them keeps procedures from starting under them unnoticed, and shows the box
    // ticked, so that unticking hands them back. Only when the dialog can drive them
    // does the take-over end a failed hand-back's line: without the DAC node they
    // stay where that line says until a switch works. On the feedback they are
    // nobody's. A failed read (negative) changes nothing.
    const int mux = mailboxComm->getOutputMux();
    const bool drivable = openDacNode();
    if (mux == 0 && !OutputsGuard::isHeld()) {
        OutputsGuard::acquire(this, kName, OutputsGuard::Runs::Beside);
        if (drivable)
            ShutdownReport::outputsSwitched();
    } else if (mux > 0) {
        OutputsGuard::release(this);
    }
    followHolder();
    show();
    raise();
    activateWindow();
    if (!drivable)
        tellNoDacNode();
}

void WindowManOutCtrl::followHolder()
{
    const bool other = OutputsGuard::isHeldByAnother(this);
    ui->gridLayoutWidget->setEnabled(!other);
    ui->checboxEnableMan->setEnabled(!other);
    // Only shown, not sent: whoever holds or gave back the outputs set the multiplexer.
    const QSignalBlocker quiet(ui->checboxEnableMan);
    ui->checboxEnableMan->setChecked(OutputsGuard::isHeldBy(this));
}

void WindowManOutCtrl::enableMan_changed(bool enable)
{
    // While a procedure holds the outputs the box goes back and nothing is sent.
    if (OutputsGuard::isHeldByAnother(this)) {
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(!enable);
        OutputsGuard::showRefusal(this, kName);
        return;
    }
    // Taking the outputs from the feedback with nothing to drive them would leave
    // them wherever the host last put them.
    if (enable && !openDacNode()) {
        tellNoDacNode();
        const QSignalBlocker quiet(ui->checboxEnableMan);
        ui->checboxEnableMan->setChecked(false);
        return;
    }
    // 0: the outputs follow the host (this dialog, the procedures); 1: the feedback.
    // The box and the guard show where the outputs are: a switch that fails leaves
    // the box as it was, and outputs left on the host stay held by this dialog, so
    // that no procedure starts on them unnoticed.
    if (enable) {
        OutputsGuard::acquire(this, kName, OutputsGuard::Runs::Beside);
        if (mailboxComm->setOutputMux(0) >= 0)
            return;
        OutputsGuard::release(this);
        OutputsHandOver::stoppedBy(this, kName, QStringLiteral("setOutputMux(0)"),
                                   QStringLiteral("The DAC outputs stay with the feedback: manual "
                                                  "control is not enabled."));
    } else if (OutputsHandOver::outputsToFeedback(this, kName)) {
        OutputsGuard::release(this);
        return;
    }
    const QSignalBlocker quiet(ui->checboxEnableMan);
    ui->checboxEnableMan->setChecked(!enable);
}

bool WindowManOutCtrl::eventFilter(QObject *watched, QEvent *event)
{
    // A completed value that did not change sends nothing by itself. After a refused
    // record it must: the field shows a voltage the output does not hold, and typing
    // it again is how the operator sends it again. Another window taking the focus
    // (the refusal's own box among them) does not leave the field.
    bool completes = false;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        completes = key == Qt::Key_Return || key == Qt::Key_Enter;
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        completes = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
    }
    if (completes && m_refused)
        m_resend = true;   // unless the completion's own change writes first
    return QDialog::eventFilter(watched, event);
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

DacOutputs WindowManOutCtrl::record() const
{
    DacOutputs outputs;
    for (int k = 0; k < 4; ++k)
        outputs.volts[k] = box(k)->value();
    outputs.apply = 1;
    return outputs;
}

void WindowManOutCtrl::writeOutputs()
{
    // A running procedure's outputs are not overwritten from here.
    if (OutputsGuard::isHeldByAnother(this))
        return;
    m_resend = false;
    const DacOutputs outputs = record();
    const int result = openDacNode() ? OutputsHandOver::setOutputs(dacFd, outputs) : -1;
    if (result >= 0) {
        m_refused = false;
        return;
    }
    // The boxes keep what was typed; the outputs keep the last record the DAC took.
    const QString reason = dacFd < 0 ? QStringLiteral("%1 is not open").arg(QLatin1String(DeviceNodeName::Dac))
                                     : QString::fromLocal8Bit(std::strerror(errno));
    LOG_WARN() << "Manual output control: the DAC did not take" << OutputsHandOver::voltages(outputs)
               << ":" << reason;
    // One box for a run of refusals: each further value typed is only logged. Not
    // this dialog's child: the Return that completes a value would press its OK.
    if (m_refused)
        return;
    m_refused = true;
    NonBlockingWarning::show(parentWidget(), kName,
                             QStringLiteral("The DAC outputs could not be set (%1): they keep the "
                                            "voltages they had.")
                                 .arg(reason));
}
