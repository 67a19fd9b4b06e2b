#pragma once
// One current meter's pane of the meter window: its four channel currents, read
// only, and a range selector that is offered but not yet sent to the meter.

#include <QWidget>

namespace Ui {
class WidgetPico;
}

class WidgetPico : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPico(QWidget *parent = nullptr);
    ~WidgetPico() override;

    // Channel 1 to 4 currents in amperes, shown in scientific notation.
    void setCurrents(double ch1, double ch2, double ch3, double ch4);

private slots:
    // The meter's range is not set from here yet: the button does nothing.
    void sendSettings();

private:
    Ui::WidgetPico *ui;
};
