#pragma once
// Position of both BPMs against time (micrometres).

#include "WidgetGraphBpmTime.h"

namespace Ui {
class WidgetGraphPos;
}

class WidgetGraphPos : public WidgetGraphBpmTime
{
    Q_OBJECT
public:
    // index 0 for the X instance, 1 for Y (both behave alike); graphs is 2 (one per BPM).
    WidgetGraphPos(QWidget *parent, int index, int graphs);
    ~WidgetGraphPos() override;

private:
    Ui::WidgetGraphPos *ui;
};
