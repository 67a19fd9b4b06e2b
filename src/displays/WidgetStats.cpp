#include "WidgetStats.h"
#include "ui_WidgetStats.h"

#include <QLineEdit>
#include <QTimer>

#include "AcquisitionSettings.h"
#include "DeviceRecords.h"
#include "EncoderBoxes.h"
#include "MailboxComm.h"

namespace {

struct StatFields {
    QLineEdit *xMean;
    QLineEdit *xStd;
    QLineEdit *xStdFilt;
    QLineEdit *yMean;
    QLineEdit *yStd;
    QLineEdit *yStdFilt;
};

QString micrometres(double value, int decimals)
{
    return QString::number(value, 'f', decimals) + QStringLiteral(" um");
}

// The X and Y columns are formatted differently on purpose (3/6/6 against 5/5/6).
void showStats(const StatFields &f, const BpmStats &stats, int bpm)
{
    const double sx = BPM_SCALE_X[bpm];
    const double sy = BPM_SCALE_Y[bpm];
    f.xMean->setText(micrometres(stats.xMean(bpm) * sx, 3));
    f.xStd->setText(micrometres(stats.xStd(bpm) * sx, 6));
    f.xStdFilt->setText(micrometres(stats.xStd100Hz(bpm) * sx, 6));
    f.yMean->setText(micrometres(stats.yMean(bpm) * sy, 5));
    f.yStd->setText(micrometres(stats.yStd(bpm) * sy, 5));
    f.yStdFilt->setText(micrometres(stats.yStd100Hz(bpm) * sy, 6));
}

void showZeros(const StatFields &f)
{
    f.xMean->setText(micrometres(0.0, 3));
    f.xStd->setText(micrometres(0.0, 6));
    f.xStdFilt->setText(micrometres(0.0, 6));
    f.yMean->setText(micrometres(0.0, 5));
    f.yStd->setText(micrometres(0.0, 5));
    f.yStdFilt->setText(micrometres(0.0, 6));
}

} // namespace

WidgetStats::WidgetStats(QWidget *parent)
    : QWidget(parent), ui(new Ui::WidgetStats)
{
    ui->setupUi(this);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WidgetStats::refreshFields);
    timer->start(1000);
    refreshFields();
}

WidgetStats::~WidgetStats()
{
    delete ui;
}

void WidgetStats::nr_tovashes_changed()
{
    const EncoderBoxes boxes = EncoderBoxes::read();
    const bool show1 = boxes.shows(0);
    const bool show2 = boxes.shows(1);
    ui->BPM1label->setVisible(show1);
    ui->bpm1Table->setVisible(show1);
    ui->BPM2label->setVisible(show2);
    ui->bpm2Table->setVisible(show2);
}

void WidgetStats::refreshFields()
{
    const StatFields bpm1Fields{ui->posXMeanLineEdit,    ui->posXStdLineEdit,
                                ui->posXStdFiltLineEdit, ui->posYMeanLineEdit,
                                ui->posYStdLineEdit,     ui->posYStdFiltLineEdit};
    const StatFields bpm2Fields{ui->posXMeanLineEdit_2,    ui->posXStdLineEdit_2,
                                ui->posXStdFiltLineEdit_2, ui->posYMeanLineEdit_2,
                                ui->posYStdLineEdit_2,     ui->posYStdFiltLineEdit_2};

    const EncoderBoxes boxes = EncoderBoxes::read();
    if (!boxes.shows(0) && !boxes.shows(1)) {
        showZeros(bpm1Fields);
        showZeros(bpm2Fields);
        return;
    }

    // One consistent block: the polling thread rewrites it once a second.
    const BpmStats stats = mailboxComm->bpmStatsSnapshot();
    if (boxes.shows(0))
        showStats(bpm1Fields, stats, 0);
    if (boxes.shows(1))
        showStats(bpm2Fields, stats, 1);
}
