#pragma once
// Beam angle of both BPMs against time (microradians).

#include "WidgetGraphBpmTime.h"

namespace Ui {
class WidgetGraphRad;
}

class WidgetGraphRad : public WidgetGraphBpmTime
{
    Q_OBJECT
public:
    // index 0 for the X instance, 1 for Y (both behave alike); graphs is 2 (one per BPM).
    WidgetGraphRad(QWidget *parent, int index, int graphs);
    ~WidgetGraphRad() override;

private:
    Ui::WidgetGraphRad *ui;
};
