#include "WidgetPico.h"
#include "ui_WidgetPico.h"

#include <QStandardItemModel>

namespace {

QString currentText(double amps)
{
    return QString::number(amps, 'e', 5);
}

} // namespace

WidgetPico::WidgetPico(QWidget *parent) : QWidget(parent), ui(new Ui::WidgetPico)
{
    ui->setupUi(this);
    connect(ui->saveButton, &QPushButton::released, this, &WidgetPico::sendSettings);
    setCurrents(0.0, 0.0, 0.0, 0.0);

    // "AUTO" is listed but cannot be chosen.
    if (auto *model = qobject_cast<QStandardItemModel *>(ui->rangeBox->model())) {
        if (QStandardItem *autoItem = model->item(2))
            autoItem->setFlags(autoItem->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
}

WidgetPico::~WidgetPico()
{
    delete ui;
}

void WidgetPico::setCurrents(double ch1, double ch2, double ch3, double ch4)
{
    ui->currentCh1Line->setText(currentText(ch1));
    ui->currentCh2Line->setText(currentText(ch2));
    ui->currentCh3Line->setText(currentText(ch3));
    ui->currentCh4Line->setText(currentText(ch4));
}

void WidgetPico::sendSettings()
{
}
