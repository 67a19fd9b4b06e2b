#pragma once
// Editor of one PID loop: its loop frequency, the nine values handed to the
// controller as they are (Kp, Ki, Kd, e min, I max, O min, O max, O gain, Offset),
// and the DAC output the loop drives. Every value lives in the form's fields; the
// editor talks to no device and writes no configuration.

#include <QWidget>

namespace Ui {
class WidgetPIDparams;
}

class WidgetPIDparams : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPIDparams(QWidget *parent = nullptr);
    ~WidgetPIDparams() override;

    // Loop period in base-clock ticks for the Freq field: pidBaseClock / Freq,
    // rounded half away from zero, never below 1.
    int getDivider() const;

    double getFreq() const;
    void setFreq(double freq);

    double getKp() const;
    double getKi() const;
    double getKd() const;
    double getEmin() const;
    double getImax() const;
    double getOmin() const;
    double getOmax() const;
    double getOgain() const;
    double getOffset() const;

    // Sets the nine fields in this order; each is clamped to its range and rounded
    // to its decimals, as an operator's entry would be.
    void setParams(double kp, double ki, double kd, double emin, double imax, double omin,
                   double omax, double ogain, double offset);

    // Shows the DAC output channel (0-based) as "Ch <channel + 1>".
    void setDACchannel(int channel);

public slots:
    // Shows the loop frequency the controller really runs at for `val` Hz.
    void calcRealFreq(double val);

private:
    Ui::WidgetPIDparams *ui;
};
