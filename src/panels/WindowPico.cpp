#include "WindowPico.h"
#include "ui_WindowPico.h"

#include <QTimer>

#include "AcquisitionSettings.h"
#include "NivraLibrary.h"
#include "Updater.h"

namespace {

void fillPane(WidgetPico *pane, int meter)
{
    // Nothing to show before the acquisition engine exists.
    if (!updater)
        return;
    const MeterStatus &status = updater->meterStatus[meter];
    pane->setCurrents(status.channel1, status.channel2, status.channel3, status.channel4);
}

} // namespace

WindowPico::WindowPico(QWidget *parent) : QDialog(parent), ui(new Ui::WindowPico)
{
    ui->setupUi(this);

    int bpm1 = 0;
    int bpm2 = 0;
    getTovashes(&bpm1, &bpm2);
    ui->widgetPico0->setVisible(bpm1 != 0);
    ui->label_oscalon0->setVisible(bpm1 != 0);
    ui->widgetPico1->setVisible(bpm2 != 0);
    ui->label_oscalon1->setVisible(bpm2 != 0);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WindowPico::refreshFields);
    timer->start(970);
}

WindowPico::~WindowPico()
{
    delete ui;
}

void WindowPico::refreshFields()
{
    int bpm1 = 0;
    int bpm2 = 0;
    getTovashes(&bpm1, &bpm2);

    if (bpm1 == 1 && bpm2 == 1) {
        ui->widgetPico0->show();
        ui->label_oscalon0->show();
        fillPane(ui->widgetPico0, 0);
        ui->widgetPico1->show();
        ui->label_oscalon1->show();
        fillPane(ui->widgetPico1, 1);
    } else if (bpm1 == 1 && bpm2 == 0) {
        ui->widgetPico1->hide();
        ui->label_oscalon1->hide();
        ui->widgetPico0->show();
        ui->label_oscalon0->show();
        fillPane(ui->widgetPico0, 0);
    } else if (bpm1 == 0 && bpm2 == 1) {
        ui->widgetPico0->hide();
        ui->label_oscalon0->hide();
        ui->widgetPico1->show();
        ui->label_oscalon1->show();
        fillPane(ui->widgetPico1, 1);
    }
    // Any other pair (none, or a failed read) leaves the panes as they are.
}
