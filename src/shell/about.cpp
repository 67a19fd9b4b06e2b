#include "about.h"
#include "ui_about.h"

#include <QStyle>

#include "AcquisitionSettings.h"
#include "BuildNumber.h"

about::about(QWidget *parent) : QDialog(parent), ui(new Ui::about)
{
    ui->setupUi(this);
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));

    ui->label_2->setText(QStringLiteral("Pardune Instruments NIVRA Local User Interface<br>") +
                         QStringLiteral("v") + BuildNumber::versionText());
    ui->label_2->setTextFormat(Qt::RichText);

    ui->label_3->setText(QStringLiteral(
        "Pardune Instruments srl<br>"
        "<a href=\"https://www.pardune-instruments.com\">www.pardune-instruments.com</a><br>"
        "<a href=\"mailto:info@pardune-instruments.com\">info@pardune-instruments.com</a>"));
    ui->label_3->setTextFormat(Qt::RichText);
    ui->label_3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    ui->label_3->setOpenExternalLinks(true);

    ui->curVerTSLineEdit->setText(hwTimestamp);
    ui->curVerSWLineEdit->setText(swVersion);
    ui->curPIDverLineEdit->setText(pidVersion);
}

about::~about()
{
    delete ui;
}
