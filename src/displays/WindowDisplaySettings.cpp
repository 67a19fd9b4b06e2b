#include "WindowDisplaySettings.h"
#include "ui_WindowDisplaySettings.h"

#include <QMessageBox>

#include <algorithm>

#include "AcquisitionSettings.h"
#include "MailboxComm.h"
#include "OutputsGuard.h"
#include "Updater.h"

namespace {
// The controller streams display data at no more than this rate.
constexpr int kMaxDisplayFreq = 5000;
// Below one sample a second there is no stream to show, and 0 would give every time
// and frequency axis an infinite scale.
constexpr int kMinDisplayFreq = 1;
// Bytes per display sample (one DisplayRecord).
constexpr int kRecordBytes = 256;
// The highest rate that may be typed into the field.
constexpr int kFieldMax = 20000;
} // namespace

WindowDisplaySettings::WindowDisplaySettings(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowDisplaySettings)
{
    ui->setupUi(this);

    if (SAMP_FREQ > kMaxDisplayFreq)
        SAMP_FREQ = kMaxDisplayFreq;
    ui->dispFreqBox->setValue(SAMP_FREQ);
    m_rateShown = ui->dispFreqBox->value();

    // The controller has no display filter to switch.
    ui->enableFilterCheckBox->hide();
    ui->enableFilterLabel->hide();

    // OK applies and closes (accept), Apply applies and stays open, Cancel only closes.
    connect(ui->pushButtonApply, &QPushButton::clicked, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pauseCheckBox, &QCheckBox::toggled, this, &WindowDisplaySettings::pauseButtonChanged);
    // Procedures set their own rate and restore it when they end; a rate the operator
    // has typed since the dialog showed one is theirs, and stays.
    OutputsGuard::watch(this, [this] {
        if (isVisible() && ui->dispFreqBox->value() == m_rateShown)
            showRateInForce();
    });
}

WindowDisplaySettings::~WindowDisplaySettings()
{
    delete ui;
}

void WindowDisplaySettings::showWindow()
{
    show();
    ui->pauseCheckBox->setChecked(updater->paused);
    showRateInForce();
    const int index = ui->bufferSamplesComboBox->findText(QString::number(DISP_BUF_SIZE / kRecordBytes));
    if (index >= 0)
        ui->bufferSamplesComboBox->setCurrentIndex(index);
}

void WindowDisplaySettings::showRateInForce()
{
    // A procedure may have set a rate above what may be typed here (a step response
    // leaves 50000 Hz): widen the field rather than show a rate that is not in force.
    const int inForce = SAMP_FREQ;
    ui->dispFreqBox->setMaximum(std::max(kFieldMax, inForce));
    ui->dispFreqBox->setValue(inForce);
    m_rateShown = ui->dispFreqBox->value();
}

void WindowDisplaySettings::accept()
{
    // Refused while a procedure holds the outputs: the dialog stays open with what
    // was chosen, so that it can be applied once the procedure has ended.
    if (saveSettings())
        QDialog::accept();
}

bool WindowDisplaySettings::saveSettings()
{
    // A procedure holding the outputs chose the rate it measures at. What was typed
    // stays in the field, to be applied once the procedure has ended.
    if (OutputsGuard::refuses(this, QStringLiteral("Applying the display settings")))
        return false;

    int requested;
    if (ui->dispFreqBox->value() > kMaxDisplayFreq) {
        requested = kMaxDisplayFreq;
        ui->dispFreqBox->setValue(kMaxDisplayFreq);
    } else {
        requested = static_cast<int>(ui->dispFreqBox->value());
    }

    // The rate in force stays until the controller has taken a new one: every time
    // and frequency axis is derived from it.
    const int inForce = SAMP_FREQ;
    const auto keep = [this, inForce](const QString &why) {
        SAMP_FREQ = inForce;
        ui->dispFreqBox->setValue(inForce);
        QMessageBox::warning(this, QStringLiteral("Display frequency"),
                             QStringLiteral("%1; the display frequency stays at %2 Hz.")
                                 .arg(why)
                                 .arg(inForce));
    };
    if (requested < kMinDisplayFreq) {
        keep(QStringLiteral("The display frequency must be at least %1 Hz").arg(kMinDisplayFreq));
    } else {
        SAMP_FREQ = requested;
        if (mailboxComm->setDisplayFreq(0) < 0)
            keep(QStringLiteral("The controller refused %1 Hz").arg(requested));
    }

    m_rateShown = ui->dispFreqBox->value();

    bool ok = false;
    const int samples = ui->bufferSamplesComboBox->currentText().toInt(&ok, 10);
    if (ok)
        DISP_BUF_SIZE = samples * kRecordBytes;
    return true;
}

void WindowDisplaySettings::pauseButtonChanged(bool checked)
{
    updater->paused = checked;
}
