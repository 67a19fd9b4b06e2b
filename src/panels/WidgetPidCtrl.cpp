#include "WidgetPidCtrl.h"
#include "ui_WidgetPidCtrl.h"

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NonBlockingWarning.h"
#include "WidgetPIDparams.h"

namespace {

// The controller would clamp the loop's output to an empty interval.
void checkLimits(const QString &loop, const WidgetPIDparams *e, QStringList &faults)
{
    if (e->getOmin() > e->getOmax())
        faults << QStringLiteral("%1: O min (%2) is above O max (%3).")
                      .arg(loop, QString::number(e->getOmin()), QString::number(e->getOmax()));
}

} // namespace

WidgetPidCtrl::WidgetPidCtrl(QWidget *parent) : QWidget(parent), ui(new Ui::WidgetPidCtrl)
{
    ui->setupUi(this);
    enableAndDisableFields();
    loadPIDparams();
    // Command buttons act on release.
    connect(ui->pushButtonUpdate, &QPushButton::released, this, &WidgetPidCtrl::savePIDparams);
}

WidgetPidCtrl::~WidgetPidCtrl()
{
    delete ui;
}

void WidgetPidCtrl::loadPIDparams()
{
    double freq = 0, kp = 0, ki = 0, kd = 0, emin = 0, imax = 0, omin = 0, omax = 0, ogain = 0,
           offset = 0;

    configIni->readConfigPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
    ui->posXwidget->setFreq(freq);
    ui->posXwidget->setParams(kp, ki, kd, emin, imax, omin, omax, ogain, offset);

    configIni->readConfigPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
    ui->posYwidget->setFreq(freq);
    ui->posYwidget->setParams(kp, ki, kd, emin, imax, omin, omax, ogain, offset);

    int dacX = 0;
    int dacY = 1;
    int dacI0 = 2;
    configIni->readConfigDACpos(&dacX, &dacY, &dacI0);
    updateDACLabel(dacX, dacY);
}

void WidgetPidCtrl::updateDACLabel(int posX, int posY)
{
    ui->posXwidget->setDACchannel(posX);
    ui->posYwidget->setDACchannel(posY);
}

void WidgetPidCtrl::enableAndDisableFields()
{
    switch (userLevel) {
    case 0:
    case 1:
        ui->verticalTabWidget->setEnabled(false);
        break;
    case 2:
        ui->verticalTabWidget->setEnabled(true);
        break;
    default:
        // A failed level poll says nothing about the operator: keep what is shown.
        break;
    }
}

void WidgetPidCtrl::savePIDparams()
{
    const WidgetPIDparams *x = ui->posXwidget;
    const WidgetPIDparams *y = ui->posYwidget;

    // Both loops or neither: nothing is sent or stored while either is wrong.
    QStringList faults;
    checkLimits(QStringLiteral("PID X"), x, faults);
    checkLimits(QStringLiteral("PID Y"), y, faults);
    if (!faults.isEmpty()) {
        LOG_WARN() << "PID parameters not sent:" << faults.join(QLatin1Char(' '));
        NonBlockingWarning::show(this, QStringLiteral("Invalid PID parameters"),
                                 faults.join(QLatin1Char('\n'))
                                     + QStringLiteral("\n\nNothing was sent or stored."));
        return;
    }

    LOG_TRACE() << "Loading PID parameters to FPGA and config_binivra.ini";

    // Failures are logged by the device link; the rest of the sequence still runs.
    mailboxComm->setWindAvg(0, x->getDivider());
    mailboxComm->setWindAvg(1, y->getDivider());

    // The intensity loop's offset is not edited here.
    mailboxComm->setOffset(x->getOffset(), y->getOffset(), 0.0);

    mailboxComm->setPIDparams(0, x->getKp(), x->getKi(), x->getKd(), x->getEmin(), x->getImax(),
                              x->getOmin(), x->getOmax(), x->getOgain());
    // The store keeps the frequency in Hz; the divider depends on the base clock of
    // the moment.
    configIni->writeConfigPIDX(x->getFreq(), x->getKp(), x->getKi(), x->getKd(), x->getEmin(),
                               x->getImax(), x->getOmin(), x->getOmax(), x->getOgain(),
                               x->getOffset());

    mailboxComm->setPIDparams(1, y->getKp(), y->getKi(), y->getKd(), y->getEmin(), y->getImax(),
                              y->getOmin(), y->getOmax(), y->getOgain());
    configIni->writeConfigPIDY(y->getFreq(), y->getKp(), y->getKi(), y->getKd(), y->getEmin(),
                               y->getImax(), y->getOmin(), y->getOmax(), y->getOgain(),
                               y->getOffset());
}
