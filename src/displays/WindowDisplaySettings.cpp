#include "WindowDisplaySettings.h"
#include "ui_WindowDisplaySettings.h"

#include <QMessageBox>

#include "AcquisitionSettings.h"
#include "MailboxComm.h"
#include "Updater.h"

namespace {
// The controller streams display data at no more than this rate.
constexpr int kMaxDisplayFreq = 5000;
// Below one sample a second there is no stream to show, and 0 would give every time
// and frequency axis an infinite scale.
constexpr int kMinDisplayFreq = 1;
// Bytes per display sample (one DisplayRecord).
constexpr int kRecordBytes = 256;
} // namespace

WindowDisplaySettings::WindowDisplaySettings(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowDisplaySettings)
{
    ui->setupUi(this);

    if (SAMP_FREQ > kMaxDisplayFreq)
        SAMP_FREQ = kMaxDisplayFreq;
    ui->dispFreqBox->setValue(SAMP_FREQ);

    // The controller has no display filter to switch.
    ui->enableFilterCheckBox->hide();
    ui->enableFilterLabel->hide();

    // OK applies and closes, Apply applies and stays open, Cancel only closes.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pushButtonApply, &QPushButton::clicked, this, &WindowDisplaySettings::saveSettings);
    connect(ui->pauseCheckBox, &QCheckBox::toggled, this, &WindowDisplaySettings::pauseButtonChanged);
}

WindowDisplaySettings::~WindowDisplaySettings()
{
    delete ui;
}

void WindowDisplaySettings::showWindow()
{
    show();
    ui->pauseCheckBox->setChecked(updater->paused);
    ui->dispFreqBox->setValue(SAMP_FREQ);
    const int index = ui->bufferSamplesComboBox->findText(QString::number(DISP_BUF_SIZE / kRecordBytes));
    if (index >= 0)
        ui->bufferSamplesComboBox->setCurrentIndex(index);
}

void WindowDisplaySettings::saveSettings()
{
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

    bool ok = false;
    const int samples = ui->bufferSamplesComboBox->currentText().toInt(&ok, 10);
    if (ok)
        DISP_BUF_SIZE = samples * kRecordBytes;
}

void WindowDisplaySettings::pauseButtonChanged(bool checked)
{
    updater->paused = checked;
}
