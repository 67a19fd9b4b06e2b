#include "WindowPico.h"
#include "ui_WindowPico.h"

#include <QTimer>

#include "AcquisitionSettings.h"
#include "EncoderBoxes.h"
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

void showMeter(WidgetPico *pane, QLabel *label, bool shown)
{
    pane->setVisible(shown);
    label->setVisible(shown);
}

} // namespace

WindowPico::WindowPico(QWidget *parent) : QDialog(parent), ui(new Ui::WindowPico)
{
    ui->setupUi(this);

    int bpm1 = 0;
    int bpm2 = 0;
    getTovashes(&bpm1, &bpm2);
    showMeter(ui->widgetPico0, ui->label_oscalon0, bpm1 != 0);
    showMeter(ui->widgetPico1, ui->label_oscalon1, bpm2 != 0);

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
    // Only (1, 1), (1, 0) and (0, 1) say which meters are there; any other pair
    // (none, or a failed read) leaves the panes as they are.
    const EncoderBoxes boxes = EncoderBoxes::read();
    if (!boxes.shows(0) && !boxes.shows(1))
        return;

    showMeter(ui->widgetPico0, ui->label_oscalon0, boxes.bpm1);
    showMeter(ui->widgetPico1, ui->label_oscalon1, boxes.bpm2);
    if (boxes.bpm1)
        fillPane(ui->widgetPico0, 0);
    if (boxes.bpm2)
        fillPane(ui->widgetPico1, 1);
}
