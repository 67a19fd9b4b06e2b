#include "WidgetGraphCurrents.h"

#include <QCheckBox>
#include <QLabel>

#include <qcustomplot.h>

#include "AcquisitionSettings.h"
#include "ui_WidgetGraphCurrents.h"

WidgetGraphCurrents::WidgetGraphCurrents(QWidget *parent, int channels)
    : QWidget(parent), ui(new Ui::WidgetGraphCurrents()),
      m_checks{nullptr, nullptr, nullptr, nullptr}, m_swatches{nullptr, nullptr, nullptr, nullptr}
{
    ui->setupUi(this);
    QCustomPlot *plot = ui->graph;
    plot->setNoAntialiasingOnDrag(true);

    QCheckBox *const checks[] = {ui->CheckCh1, ui->CheckCh2, ui->CheckCh3, ui->CheckCh4};
    QLabel *const swatches[] = {ui->label_1_color, ui->label_2_color, ui->label_3_color,
                                ui->label_4_color};
    for (int i = 0; i < GraphLook::channelCount(); ++i) {
        m_checks[i] = checks[i];
        m_swatches[i] = swatches[i];
        m_checks[i]->show();
        m_swatches[i]->show();
        connect(m_checks[i], &QCheckBox::toggled, this, &WidgetGraphCurrents::chEnablesChanged);
    }
    // No graph exists yet, so checking changes nothing else.
    for (QCheckBox *check : m_checks)
        check->setChecked(true);

    m_data = GraphLook::addChannelGraphs(plot, qBound(0, channels, GraphLook::channelCount()));

    for (int i = 0; i < GraphLook::channelCount(); ++i)
        GraphLook::styleSwatch(m_swatches[i], i + 1);

    plot->yAxis->setRange(-5e-5, 5e-5);
    plot->xAxis->setRange(0, GraphLook::displaySpanSeconds(DISP_BUF_SIZE, SAMP_FREQ));

    GraphLook::setBackground(plot, GraphLook::initialGradientHeight());
    GraphLook::setChannelPlotAxes(plot);
    GraphLook::setChannelPlotInteractions(plot, Qt::Horizontal | Qt::Vertical);
}

WidgetGraphCurrents::~WidgetGraphCurrents()
{
    delete ui;
}

GraphContainer WidgetGraphCurrents::graphData(int index) const
{
    return GraphLook::containerAt(m_data, index);
}

void WidgetGraphCurrents::setLabels(const QString &xLabel, const QString &yLabel,
                                    const QStringList &names)
{
    Q_UNUSED(names)
    ui->graph->xAxis->setLabel(xLabel);
    ui->graph->yAxis->setLabel(yLabel);
}

void WidgetGraphCurrents::setValueAxisFormat(const QString &format, int precision)
{
    ui->graph->yAxis->setNumberFormat(format);
    ui->graph->yAxis->setNumberPrecision(precision);
}

void WidgetGraphCurrents::setChannelTexts(const QString &text1, const QString &text2,
                                          const QString &text3, const QString &text4)
{
    m_checks[0]->setText(text1);
    m_checks[1]->setText(text2);
    m_checks[2]->setText(text3);
    m_checks[3]->setText(text4);
}

void WidgetGraphCurrents::setChannelsHidden(bool hide1, bool hide2, bool hide3, bool hide4)
{
    const bool hide[] = {hide1, hide2, hide3, hide4};
    for (int i = 0; i < GraphLook::channelCount(); ++i) {
        m_checks[i]->setHidden(hide[i]);
        m_swatches[i]->setHidden(hide[i]);
    }
}

void WidgetGraphCurrents::replot()
{
    GraphLook::replot(ui->graph, ui->buttonAutoscale->isChecked());
}

void WidgetGraphCurrents::chEnablesChanged()
{
    QCustomPlot *plot = ui->graph;
    const int graphs = plot->graphCount();
    if (graphs != 2 && graphs != 4)
        return;
    for (int i = 0; i < graphs; ++i)
        plot->graph(i)->setVisible(m_checks[i]->isChecked());
}

void WidgetGraphCurrents::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (ui->graph)   // not yet built while the form sets itself up
        GraphLook::fitBackground(ui->graph);
}
