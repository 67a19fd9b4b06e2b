#pragma once
// "PID Params" page of the control dock: the X and Y loop editors on two tabs,
// filled from the configuration store when the page is built. "Update" sends both
// loops to the controller and stores them.

#include <QWidget>

class WidgetPIDparams;

namespace Ui {
class WidgetPidCtrl;
}

class WidgetPidCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPidCtrl(QWidget *parent = nullptr);
    ~WidgetPidCtrl() override;

    // Fills both editors and their DAC labels from the configuration store.
    void loadPIDparams();

public slots:
    // DAC output channels (0-based) driven by the X and the Y loop.
    void updateDACLabel(int posX, int posY);
    // Editors editable only for "admin"; "Update" stays available at every level.
    void enableAndDisableFields();

private slots:
    void savePIDparams();

private:
    Ui::WidgetPidCtrl *ui;
};
