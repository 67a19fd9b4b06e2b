#include "WindowPIDparams.h"
#include "ui_WindowPIDparams.h"

WindowPIDparams::WindowPIDparams(QWidget *parent) : QDialog(parent), ui(new Ui::WindowPIDparams)
{
    ui->setupUi(this);
}

WindowPIDparams::~WindowPIDparams()
{
    delete ui;
}

void WindowPIDparams::showWindow()
{
    show();
    // Chosen again while open behind the main window: bring it to the front.
    raise();
    activateWindow();
}
