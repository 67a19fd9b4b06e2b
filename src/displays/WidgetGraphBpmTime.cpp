#include "WidgetGraphBpmTime.h"

#include <QCheckBox>
#include <QLabel>

#include <qcustomplot.h>

#include "AcquisitionSettings.h"

namespace {

// There are two check boxes and swatches, one per BPM.
constexpr int kMaxGraphs = 2;

} // namespace

WidgetGraphBpmTime::WidgetGraphBpmTime(QWidget *parent) : QWidget(parent) {}

void WidgetGraphBpmTime::build(const Form &form, int graphs)
{
    m_form = form;
    QCustomPlot *plot = m_form.graph;
    plot->setNoAntialiasingOnDrag(true);

    m_form.check1->show();
    m_form.check2->show();
    m_form.swatch1->show();
    m_form.swatch2->show();
    m_form.check1->setText(QStringLiteral("BPM1"));
    m_form.check2->setText(QStringLiteral("BPM2"));
    connect(m_form.check1, &QCheckBox::toggled, this, &WidgetGraphBpmTime::chEnablesChanged);
    connect(m_form.check2, &QCheckBox::toggled, this, &WidgetGraphBpmTime::chEnablesChanged);
    m_form.check1->setChecked(true);
    m_form.check2->setChecked(true);

    m_data = GraphLook::addChannelGraphs(plot, qBound(0, graphs, kMaxGraphs));

    GraphLook::styleSwatch(m_form.swatch1, 1);
    GraphLook::styleSwatch(m_form.swatch2, 2);

    plot->yAxis->setRange(-5e-5, 5e-5);
    plot->xAxis->setRange(0, GraphLook::displaySpanSeconds(DISP_BUF_SIZE, SAMP_FREQ));

    GraphLook::setBackground(plot, GraphLook::initialGradientHeight());
    GraphLook::setChannelPlotAxes(plot);
    // The time axis keeps its span under the wheel.
    GraphLook::setChannelPlotInteractions(plot, Qt::Vertical);
}

GraphContainer WidgetGraphBpmTime::graphData(int index) const
{
    return GraphLook::containerAt(m_data, index);
}

void WidgetGraphBpmTime::setLabels(const QString &xLabel, const QString &yLabel,
                                   const QStringList &names)
{
    QCustomPlot *plot = m_form.graph;
    plot->xAxis->setLabel(xLabel);
    plot->yAxis->setLabel(yLabel);
    const int n = qMin(int(names.size()), plot->graphCount());
    for (int i = 0; i < n; ++i)
        plot->graph(i)->setName(names.at(i));
}

void WidgetGraphBpmTime::setChannelsHidden(bool hideBPM1, bool hideBPM2)
{
    QCustomPlot *plot = m_form.graph;
    m_form.check1->setHidden(hideBPM1);
    m_form.swatch1->setHidden(hideBPM1);
    if (plot->graphCount() > 0)
        plot->graph(0)->setVisible(!hideBPM1 && m_form.check1->isChecked());
    m_form.check2->setHidden(hideBPM2);
    m_form.swatch2->setHidden(hideBPM2);
    if (plot->graphCount() > 1)
        plot->graph(1)->setVisible(!hideBPM2 && m_form.check2->isChecked());
}

void WidgetGraphBpmTime::replot()
{
    GraphLook::replot(m_form.graph, m_form.autoscale->isChecked());
}

void WidgetGraphBpmTime::chEnablesChanged()
{
    GraphLook::showPresentBpms(m_form.graph, m_form.check1->isChecked(), m_form.check2->isChecked());
}

void WidgetGraphBpmTime::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_form.graph)
        GraphLook::fitBackground(m_form.graph);
}
