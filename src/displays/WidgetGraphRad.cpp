#include "WidgetGraphRad.h"

#include "ui_WidgetGraphRad.h"

WidgetGraphRad::WidgetGraphRad(QWidget *parent, int /*index*/, int graphs)
    : WidgetGraphBpmTime(parent), ui(new Ui::WidgetGraphRad())
{
    ui->setupUi(this);
    build({ui->graph, ui->CheckCh1, ui->label_1_color, ui->CheckCh2, ui->label_2_color,
           ui->buttonAutoscale},
          graphs);
}

WidgetGraphRad::~WidgetGraphRad()
{
    delete ui;
}
