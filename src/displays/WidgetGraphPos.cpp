#include "WidgetGraphPos.h"

#include "ui_WidgetGraphPos.h"

WidgetGraphPos::WidgetGraphPos(QWidget *parent, int /*index*/, int graphs)
    : WidgetGraphBpmTime(parent), ui(new Ui::WidgetGraphPos())
{
    ui->setupUi(this);
    build({ui->graph, ui->CheckCh1, ui->label_1_color, ui->CheckCh2, ui->label_2_color,
           ui->buttonAutoscale},
          graphs);
}

WidgetGraphPos::~WidgetGraphPos()
{
    delete ui;
}
