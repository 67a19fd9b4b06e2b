#include "WindowDisplaySettings.h"
#include "ui_WindowDisplaySettings.h"

#include "AcquisitionSettings.h"
#include "MailboxComm.h"
#include "Updater.h"

namespace {
// The controller streams display data at no more than this rate.
constexpr int kMaxDisplayFreq = 5000;
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
    if (ui->dispFreqBox->value() > kMaxDisplayFreq) {
        SAMP_FREQ = kMaxDisplayFreq;
        ui->dispFreqBox->setValue(kMaxDisplayFreq);
    } else {
        SAMP_FREQ = static_cast<int>(ui->dispFreqBox->value());
    }
    mailboxComm->setDisplayFreq(0);

    bool ok = false;
    const int samples = ui->bufferSamplesComboBox->currentText().toInt(&ok, 10);
    if (ok)
        DISP_BUF_SIZE = samples * kRecordBytes;
}

void WindowDisplaySettings::pauseButtonChanged(bool checked)
{
    updater->paused = checked;
}
