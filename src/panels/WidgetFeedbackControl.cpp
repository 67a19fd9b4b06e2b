#include "WidgetFeedbackControl.h"
#include "ui_WidgetFeedbackControl.h"

#include <QMessageBox>

#include <tuple>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DeviceRecords.h"
#include "EncoderBoxes.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "OutputsGuard.h"
#include "WidgetGraphXY.h"

namespace {

// DAC channel of the intensity loop for each pair of X (row) and Y (column)
// channels: always one that neither position loop drives. The diagonal is never
// used, since equal X and Y channels are refused before the lookup.
constexpr std::uint8_t kI0Channel[4][4] = {
    {0, 2, 3, 2},
    {2, 1, 3, 2},
    {1, 3, 2, 0},
    {2, 2, 1, 3},
};

// The loops a PID configuration code regulates.
bool regulatesX(int code)
{
    return code == 0 || code == 1 || code == 2 || code == 5;
}
bool regulatesY(int code)
{
    return code == 1 || code == 3 || code == 4 || code == 5;
}

} // namespace

WidgetFeedbackControl::WidgetFeedbackControl(QWidget *parent)
    : QWidget(parent), ui(new Ui::WidgetFeedbackControl)
{
    ui->setupUi(this);

    int dacX = 0;
    int dacY = 1;
    int dacI0 = 2;
    configIni->readConfigDACpos(&dacX, &dacY, &dacI0);
    setDACoutputs(dacX, dacY);

    // A failed read writes nothing: the sources then stay as they were.
    int selX = bpmSelX;
    int selY = bpmSelY;
    int selI0 = bpmSelI0;
    mailboxComm->getBPMselector(&selX, &selY, &selI0);
    bpmSelX = selX;
    bpmSelY = selY;
    bpmSelI0 = selI0;
    showSources();
    // The device link re-reads the sources when modules come or go; showing the old
    // ones would send them back with the next "Update Configuration".
    connect(mailboxComm, &MailboxComm::nrTovashesChanged, this, &WidgetFeedbackControl::showSources);

    int enableX = 0;
    int enableY = 0;
    configIni->readConfigPIDenable(&enableX, &enableY);
    setRegulateChecks(enableX, enableY);

    // Command buttons act on release.
    connect(ui->buttonUpdate, &QPushButton::released, this, &WidgetFeedbackControl::sendNewSetpoint);
    connect(ui->updateConfButton, &QPushButton::released, this,
            &WidgetFeedbackControl::updateButtonPressed);

    checkUserLevel();
}

WidgetFeedbackControl::~WidgetFeedbackControl()
{
    delete ui;
}

void WidgetFeedbackControl::showSources()
{
    // A source outside BPM1/BPM2 is shown as no selection, like a DAC channel
    // outside CH1..CH4; "Update Configuration" then waits for the operator's pick.
    auto sourceIndex = [](int bpm) { return bpm == 0 || bpm == 1 ? bpm : -1; };
    ui->comboBoxPidSourceX->setCurrentIndex(sourceIndex(bpmSelX));
    ui->comboBoxPidSourceY->setCurrentIndex(sourceIndex(bpmSelY));
}

void WidgetFeedbackControl::getDACoutputs(std::uint8_t &posX, std::uint8_t &posY) const
{
    posX = static_cast<std::uint8_t>(ui->positionXComboBox->currentIndex());
    posY = static_cast<std::uint8_t>(ui->positionYComboBox->currentIndex());
}

void WidgetFeedbackControl::setDACoutputs(int posX, int posY)
{
    ui->positionXComboBox->setCurrentIndex(posX);
    ui->positionYComboBox->setCurrentIndex(posY);
    emit updateDACLabel(posX, posY);
}

void WidgetFeedbackControl::setRegulateChecks(int xEnable, int yEnable)
{
    ui->confXcheckbox->setChecked(xEnable == 1);
    ui->confYcheckbox->setChecked(yEnable == 1);
}

int WidgetFeedbackControl::sendDACoutputs()
{
    const int x = ui->positionXComboBox->currentIndex();
    const int y = ui->positionYComboBox->currentIndex();

    if (x == y) {
        QMessageBox::warning(this, QStringLiteral("DAC outputs not unique"),
                             QStringLiteral("DAC outputs must be unique"), QMessageBox::Ok);
        return -1;
    }
    // A channel read from the store outside CH1..CH4 leaves its combo box without a
    // selection (-1); there is no channel to send until the operator picks one.
    if (x < 0 || x > 3 || y < 0 || y > 3) {
        LOG_WARN() << "DAC output not selected:" << x << y;
        return -1;
    }

    const int i0 = kI0Channel[x][y];
    configIni->writeConfigDACpos(x, y, i0);
    mailboxComm->setPIDoutSel(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                              static_cast<std::uint8_t>(i0));
    emit updateDACLabel(x, y);
    return 0;
}

void WidgetFeedbackControl::updateXYfields()
{
    // A failed read leaves the outputs unwritten: start from what is shown, so the
    // fields keep their values instead of showing whatever was on the stack.
    double x = ui->posXDoubleSpinBox->value();
    double y = ui->posYDoubleSpinBox->value();
    double i0 = 0.0;
    mailboxComm->getSetpoint(&x, &y, &i0);
    ui->posXDoubleSpinBox->setValue(x);
    ui->posYDoubleSpinBox->setValue(y);
}

void WidgetFeedbackControl::confChanged(int item)
{
    bool xField = false;
    bool yField = false;
    switch (item) {
    case 0:
    case 2:
        xField = true;
        yField = false;
        break;
    case 1:
    case 5:
        xField = true;
        yField = true;
        break;
    case 3:
    case 4:
        xField = false;
        yField = true;
        break;
    case 6:
        xField = false;
        yField = false;
        break;
    default:
        emit somethingChanged();
        return;
    }
    ui->posXDoubleSpinBox->setEnabled(xField);
    ui->posYDoubleSpinBox->setEnabled(yField);
    ui->confXcheckbox->setChecked(xField);
    ui->confYcheckbox->setChecked(yField);
    emit somethingChanged();
}

void WidgetFeedbackControl::checkUserLevel()
{
    const int level = userLevel;
    if (level == 0)
        setEnabled(false);
    else if (level == 1 || level == 2)
        setEnabled(true);
}

void WidgetFeedbackControl::sendNewSetpoint()
{
    if (OutputsGuard::refuses(this, QStringLiteral("Update Setpoint")))
        return;
    // Each regulated loop's setpoint must lie in the ROI of the BPM that feeds it,
    // as for a click on the XY graph.
    const int code = mailboxComm->getPIDconf();
    if ((regulatesX(code) && WidgetGraphXY::outsideRoi(bpmSelX, 0, ui->posXDoubleSpinBox->value()))
        || (regulatesY(code) && WidgetGraphXY::outsideRoi(bpmSelY, 1, ui->posYDoubleSpinBox->value()))) {
        WidgetGraphXY::refuseSetpoint();
        // The controller keeps its setpoints: show those, not the refused value.
        return updateXYfields();
    }

    mailboxComm->setSetpoint(ui->posXDoubleSpinBox->value(), ui->posYDoubleSpinBox->value(), 0.0);
    emit somethingChanged();
}

void WidgetFeedbackControl::updateButtonPressed()
{
    if (OutputsGuard::refuses(this, QStringLiteral("Update Configuration")))
        return;
    const int status = mailboxComm->pidStatus;
    if (status == PID_BEAM_OFF || status == PID_FEEDBACK_ON) {
        QMessageBox::warning(this, QStringLiteral("PID running ..."),
                             QStringLiteral("Configuration can be change only if the PID is stopped."),
                             QMessageBox::Ok);
        return;
    }

    // The device-link thread may rewrite the process-wide sources at any moment, so
    // the controller and the store are given the operator's choice, not a re-read.
    const int sourceX = ui->comboBoxPidSourceX->currentIndex();
    const int sourceY = ui->comboBoxPidSourceY->currentIndex();
    if (sourceX < 0 || sourceY < 0) {
        LOG_WARN() << "PID source not selected:" << sourceX << sourceY;
        return;
    }

    const bool x = ui->confXcheckbox->isChecked();
    const bool y = ui->confYcheckbox->isChecked();
    // Neither box ticked falls back to regulating X alone.
    const int code = (x && y) ? 1 : (!x && y) ? 3 : 0;

    if (!sourcesHaveBoxes(this, code, sourceX, sourceY))
        return;

    if (sendDACoutputs() == -1)
        return;

    bpmSelX = sourceX;
    bpmSelY = sourceY;
    bpmSelI0 = 0;
    mailboxComm->setBPMselector(sourceX, sourceY, 0);
    configIni->writeConfigBPMpos(sourceX, sourceY, 0);
    emit BPMselectorChanged();

    mailboxComm->setPIDconf(static_cast<std::int8_t>(code));
    confChanged(code);
    emit somethingChanged();
}

bool WidgetFeedbackControl::sourcesHaveBoxes(QWidget *parent, int code, int sourceX, int sourceY)
{
    // A loop fed by a BPM without its encoder box would regulate on positions that
    // are not there.
    const EncoderBoxes boxes = EncoderBoxes::read();
    for (const auto &[regulates, source, axis] : {std::tuple{regulatesX(code), sourceX, "X"},
                                                  std::tuple{regulatesY(code), sourceY, "Y"}}) {
        if (!regulates || boxes.shows(source))
            continue;
        // An answer that could not be read is not taken for a missing box.
        const QString text =
            boxes.known ? QStringLiteral("BPM%1 has no encoder box: the %2 loop cannot take its "
                                         "position from it.\n\nChoose another source.")
                              .arg(source + 1)
                              .arg(QLatin1String(axis))
                        : QStringLiteral("The controller's answer on which BPMs have an encoder "
                                         "box is unreadable, so the loops' sources cannot be "
                                         "checked.\n\nTry again.");
        LOG_WARN() << "Refused:" << text;
        QMessageBox::warning(parent, QStringLiteral("No encoder box"), text);
        return false;
    }
    return true;
}
