#pragma once
// One BPM's pane of the ROC/ROI dialog: ROI half-widths, the ROC as a percentage of
// the ROI and the two ROC check enables. The pane is only its form; the dialog that
// holds it reads and fills the controls through `ui`.

#include <QWidget>

namespace Ui {
class WidgetRoc;
}

class WidgetRoc : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetRoc(QWidget *parent = nullptr);
    ~WidgetRoc() override;

    Ui::WidgetRoc *ui;
};
