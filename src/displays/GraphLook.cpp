#include "GraphLook.h"

#include <QLabel>
#include <QLinearGradient>

#include <qcustomplot.h>

#include <cmath>

#include "EncoderBoxes.h"

namespace {

const QColor kChannelColors[GraphLook::channelCount()] = {
    QColor(255, 255, 135),
    QColor(255, 130, 255),
    QColor(130, 255, 130),
    QColor(130, 210, 250),
};

int validChannel(int channel)
{
    return (channel >= 1 && channel <= GraphLook::channelCount()) ? channel : 1;
}

} // namespace

QColor GraphLook::channelColor(int channel)
{
    return kChannelColors[validChannel(channel) - 1];
}

QString GraphLook::swatchStyleSheet(int channel)
{
    const QColor c = channelColor(channel);
    const QString rgb = QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    return QStringLiteral("QLabel { background-color : %1; color : %1; }").arg(rgb);
}

QPen GraphLook::channelPen(int channel)
{
    return QPen(QBrush(channelColor(channel), Qt::SolidPattern), 1.0, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

void GraphLook::styleSwatch(QLabel *swatch, int channel)
{
    swatch->setStyleSheet(swatchStyleSheet(channel));
    swatch->show();
}

void GraphLook::setBackground(QCustomPlot *plot, int height)
{
    QLinearGradient gradient(QPointF(0, 0), QPointF(0, height));
    gradient.setColorAt(0.0, QColor(100, 100, 100));
    gradient.setColorAt(1.0, QColor(30, 30, 30));
    plot->setBackground(QBrush(gradient));
}

void GraphLook::fitBackground(QCustomPlot *plot)
{
    const QRect g = plot->geometry();
    setBackground(plot, g.bottom() - g.top());
}

void GraphLook::setWhiteAxes(QCustomPlot *plot)
{
    const QPen white(Qt::white, 1.0);
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
        axis->setTickLabelColor(Qt::white);
        axis->setLabelColor(Qt::white);
        axis->setBasePen(white);
        axis->setTickPen(white);
        axis->setSubTickPen(white);
    }
}

QList<GraphContainer> GraphLook::addChannelGraphs(QCustomPlot *plot, int count)
{
    QList<GraphContainer> containers;
    for (int i = 0; i < count; ++i) {
        QCPGraph *graph = plot->addGraph();
        graph->setAntialiased(false);
        graph->setPen(channelPen(i + 1));
        // Several pixels' worth of points per pixel column: let the graph reduce them.
        graph->setAdaptiveSampling(true);
        GraphContainer data(new QCPGraphDataContainer);
        graph->setData(data);
        containers.append(data);
    }
    return containers;
}

GraphContainer GraphLook::containerAt(const QList<GraphContainer> &containers, int index)
{
    if (index < 0 || index >= containers.size())
        return GraphContainer();
    return containers.at(index);
}

void GraphLook::setChannelPlotAxes(QCustomPlot *plot)
{
    plot->yAxis->setLabel(QStringLiteral("yLabel"));
    plot->xAxis->setLabel(QStringLiteral("xLabel"));
    setWhiteAxes(plot);
    plot->yAxis->setNumberFormat(QStringLiteral("e"));
    plot->yAxis->setNumberPrecision(5);
}

void GraphLook::setChannelPlotInteractions(QCustomPlot *plot, Qt::Orientations zoom)
{
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables
                          | QCP::iSelectAxes);
    plot->axisRect()->setRangeZoom(zoom);
}

void GraphLook::showPresentBpms(QCustomPlot *plot, bool checked1, bool checked2)
{
    const EncoderBoxes boxes = EncoderBoxes::read();
    if (plot->graphCount() != 2)
        return;
    plot->graph(0)->setVisible(boxes.shows(0) && checked1);
    plot->graph(1)->setVisible(boxes.shows(1) && checked2);
}

void GraphLook::replot(QCustomPlot *plot, bool autoscale)
{
    if (autoscale) {
        plot->yAxis->rescale(true);
        plot->xAxis->rescale(true);
    }
    plot->replot(QCustomPlot::rpRefreshHint);
}

double GraphLook::pixelToKey(const QCustomPlot *plot, double pixelX)
{
    return plot->xAxis->pixelToCoord(std::round(pixelX));
}

double GraphLook::pixelToValue(const QCustomPlot *plot, double pixelY)
{
    return plot->yAxis->pixelToCoord(std::round(pixelY));
}

int GraphLook::displaySpanSeconds(int dispBufSize, int sampFreq)
{
    if (sampFreq <= 0)
        return 0;   // no rate yet: leave the time axis empty rather than divide by zero
    return (dispBufSize / 256) / sampFreq;
}
