#include "WidgetPIDparams.h"
#include "ui_WidgetPIDparams.h"

#include <climits>
#include <cmath>

#include "AcquisitionSettings.h"

namespace {

// The controller counts whole base-clock ticks per loop run. A frequency above
// twice the base clock would round to 0 ticks, which no loop can run at: the
// fastest loop runs every tick, so the divider never goes below 1.
int dividerFor(double freq)
{
    const double ticks = double(int(pidBaseClock)) / freq;
    if (!(ticks >= 1.0))   // also catches NaN
        return 1;
    if (ticks >= double(INT_MAX))
        return INT_MAX;
    return int(std::lround(ticks));
}

} // namespace

WidgetPIDparams::WidgetPIDparams(QWidget *parent) : QWidget(parent), ui(new Ui::WidgetPIDparams)
{
    ui->setupUi(this);
    calcRealFreq(ui->curFreqBox->value());
    connect(ui->curFreqBox, &QDoubleSpinBox::valueChanged, this, &WidgetPIDparams::calcRealFreq);
}

WidgetPIDparams::~WidgetPIDparams()
{
    delete ui;
}

int WidgetPIDparams::getDivider() const
{
    return dividerFor(ui->curFreqBox->value());
}

double WidgetPIDparams::getFreq() const
{
    return ui->curFreqBox->value();
}

void WidgetPIDparams::setFreq(double freq)
{
    ui->curFreqBox->setValue(freq);
}

double WidgetPIDparams::getKp() const
{
    return ui->boxKp->value();
}

double WidgetPIDparams::getKi() const
{
    return ui->boxKi->value();
}

double WidgetPIDparams::getKd() const
{
    return ui->boxKd->value();
}

double WidgetPIDparams::getEmin() const
{
    return ui->boxemin->value();
}

double WidgetPIDparams::getImax() const
{
    return ui->boxImax->value();
}

double WidgetPIDparams::getOmin() const
{
    return ui->boxOmin->value();
}

double WidgetPIDparams::getOmax() const
{
    return ui->boxOmax->value();
}

double WidgetPIDparams::getOgain() const
{
    return ui->boxOgain->value();
}

double WidgetPIDparams::getOffset() const
{
    return ui->offsetDoubleSpinBox->value();
}

void WidgetPIDparams::setParams(double kp, double ki, double kd, double emin, double imax,
                                double omin, double omax, double ogain, double offset)
{
    ui->boxKp->setValue(kp);
    ui->boxKi->setValue(ki);
    ui->boxKd->setValue(kd);
    ui->boxemin->setValue(emin);
    ui->boxImax->setValue(imax);
    ui->boxOmin->setValue(omin);
    ui->boxOmax->setValue(omax);
    ui->boxOgain->setValue(ogain);
    ui->offsetDoubleSpinBox->setValue(offset);
}

void WidgetPIDparams::setDACchannel(int channel)
{
    // Widened first: a stored channel of INT_MAX must not overflow.
    ui->DACoutputLabel->setText(QStringLiteral("Ch ") + QString::number(qint64(channel) + 1));
}

void WidgetPIDparams::calcRealFreq(double val)
{
    const int divider = dividerFor(val);
    // A float is ample for a rate shown with two decimals.
    const float real = float(int(pidBaseClock)) / float(divider);
    ui->realFreqLine->setText(QString::number(real, 'f', 2) + QStringLiteral(" Hz"));
}
