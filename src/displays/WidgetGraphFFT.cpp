#include "WidgetGraphFFT.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <qcustomplot.h>

#include "AcquisitionSettings.h"
#include "NivraLibrary.h"
#include "Updater.h"
#include "ui_WidgetGraphFFT.h"

namespace {

// One check box and swatch per BPM.
constexpr int kMaxGraphs = 2;
constexpr int kXTickCount = 4;
constexpr int kYTickCount = 6;

QSharedPointer<QCPAxisTickerLog> logTicker(int tickCount)
{
    QSharedPointer<QCPAxisTickerLog> ticker(new QCPAxisTickerLog);
    ticker->setLogBase(10);
    ticker->setSubTickCount(8);
    ticker->setTickCount(tickCount);
    return ticker;
}

// The start range's upper bound of both axes.
constexpr double kStartUpper = 1000;

// Index 0 ("Log") or any other ("Lin"). A logarithmic axis cannot start at or below
// zero: such a range restarts at 10, keeping its upper bound. A range wholly at or
// below zero would leave the axis on negative values, where no spectrum ever shows
// and autoscale cannot bring it back; it restarts at 10 to the start upper bound.
void setAxisScale(QCPAxis *axis, int index, int tickCount)
{
    if (index == 0) {
        // Taken before the scale change, which would quietly move the range itself.
        const QCPRange range = axis->range();
        axis->setScaleType(QCPAxis::stLogarithmic);
        if (range.lower <= 0)
            axis->setRange(10, range.upper > 0 ? range.upper : kStartUpper);
        axis->setTicker(logTicker(tickCount));
    } else {
        axis->setScaleType(QCPAxis::stLinear);
        axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    }
}

} // namespace

WidgetGraphFFT::WidgetGraphFFT(QWidget *parent, int graphs)
    : QWidget(parent), ui(new Ui::WidgetGraphFFT())
{
    ui->setupUi(this);
    QCustomPlot *plot = ui->graph;
    plot->setNoAntialiasingOnDrag(true);

    int meter1 = 0;
    int meter2 = 0;
    getOscalons(&meter1, &meter2);   // a failed call leaves both absent

    ui->CheckCh1->show();
    ui->CheckCh2->show();
    ui->CheckCh1->setText(QStringLiteral("BPM1"));
    ui->CheckCh2->setText(QStringLiteral("BPM2"));
    connect(ui->CheckCh1, &QCheckBox::toggled, this, &WidgetGraphFFT::chEnablesChanged);
    connect(ui->CheckCh2, &QCheckBox::toggled, this, &WidgetGraphFFT::chEnablesChanged);
    ui->CheckCh1->setChecked(meter1 == 1);
    ui->CheckCh2->setChecked(meter2 == 1);

    GraphLook::styleSwatch(ui->label_1_color, 1);
    GraphLook::styleSwatch(ui->label_2_color, 2);

    m_data = GraphLook::addChannelGraphs(plot, qBound(0, graphs, kMaxGraphs));

    // The engine starts on another word; the length already matches its start value.
    fftSelectorChanged(ui->selectorComboBox->currentIndex());

    connect(ui->xAxisComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &WidgetGraphFFT::xAxesChanged);
    connect(ui->yAxisComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &WidgetGraphFFT::yAxesChanged);
    connect(ui->fFTLengthComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &WidgetGraphFFT::fftLengthChanged);
    connect(ui->selectorComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &WidgetGraphFFT::fftSelectorChanged);
    if (updater) {
        connect(ui->removeDCCheckBox, &QCheckBox::toggled, updater, &Updater::ChangeFFTremoveDC);
        connect(ui->comboBoxGraph, qOverload<int>(&QComboBox::currentIndexChanged), updater,
                &Updater::ChangeFFTgraph);
    }
    connect(plot, &QCustomPlot::mousePress, this, &WidgetGraphFFT::graphClicked);

    GraphLook::setBackground(plot, GraphLook::initialGradientHeight());
    GraphLook::setChannelPlotAxes(plot);

    plot->yAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->yAxis->setTicker(logTicker(kYTickCount));
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(logTicker(kXTickCount));

    plot->xAxis->grid()->setSubGridVisible(true);
    plot->yAxis->grid()->setSubGridVisible(true);
    plot->yAxis->setRange(1e-12, kStartUpper);
    plot->xAxis->setRange(10, kStartUpper);

    GraphLook::setChannelPlotInteractions(plot, Qt::Horizontal | Qt::Vertical);
}

WidgetGraphFFT::~WidgetGraphFFT()
{
    delete ui;
}

GraphContainer WidgetGraphFFT::graphData(int index) const
{
    return GraphLook::containerAt(m_data, index);
}

void WidgetGraphFFT::setLabels(const QString &xLabel, const QString &yLabel,
                               const QStringList &names)
{
    Q_UNUSED(names)
    ui->graph->xAxis->setLabel(xLabel);
    ui->graph->yAxis->setLabel(yLabel);
}

void WidgetGraphFFT::setChannelsHidden(bool hideBPM1, bool hideBPM2)
{
    ui->CheckCh1->setHidden(hideBPM1);
    ui->label_1_color->setHidden(hideBPM1);
    ui->CheckCh2->setHidden(hideBPM2);
    ui->label_2_color->setHidden(hideBPM2);
}

int WidgetGraphFFT::selectorWord(int index)
{
    switch (index) {
    case 0: return 24;   // "Enc 1": encoder-box channel 1
    case 1: return 25;   // "Enc 2": encoder-box channel 2
    case 2: return 0;    // "PosX"
    case 3: return 1;    // "PosY"
    default: return 0;
    }
}

int WidgetGraphFFT::fftLength(int index)
{
    if (index < 0 || index >= FFT_LENGTH_COUNT)
        return FALLBACK_FFT_LENGTH;
    return FFT_LENGTHS[index];
}

void WidgetGraphFFT::replot()
{
    GraphLook::replot(ui->graph, ui->checkBoxAutoscale->isChecked());
}

void WidgetGraphFFT::xAxesChanged(int index)
{
    setAxisScale(ui->graph->xAxis, index, kXTickCount);
}

void WidgetGraphFFT::yAxesChanged(int index)
{
    setAxisScale(ui->graph->yAxis, index, kYTickCount);
}

void WidgetGraphFFT::fftLengthChanged(int index)
{
    if (updater)
        updater->setFFTlength(fftLength(index));
}

void WidgetGraphFFT::graphClicked(QMouseEvent *event)
{
    const QPointF pos = event->position();
    const double x = GraphLook::pixelToKey(ui->graph, pos.x());
    const double y = GraphLook::pixelToValue(ui->graph, pos.y());
    ui->lineEditCursorX->setText(QString::number(x, 'e', 3));
    ui->lineEditCursorY->setText(QString::number(y, 'e', 3));
}

void WidgetGraphFFT::fftSelectorChanged(int index)
{
    if (updater)
        updater->setFFTselector(selectorWord(index));
}

void WidgetGraphFFT::chEnablesChanged()
{
    GraphLook::showPresentBpms(ui->graph, ui->CheckCh1->isChecked(), ui->CheckCh2->isChecked());
}

void WidgetGraphFFT::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (ui->graph)   // not yet built while the form sets itself up
        GraphLook::fitBackground(ui->graph);
}
