#pragma once
// Handing a live graph's data containers to the acquisition engine, which refills
// them in place every cycle and then asks the graph to redraw.

#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include "AcquisitionSettings.h"
#include "GraphLook.h"
#include "Updater.h"

// Containers 0 .. count-1 of `graph` go to the engine as `kind`, and the engine's
// replotGraphs drives the graph's replot. All are fetched first: when one is missing
// it is reported as <namePrefix><index> " data container is null!" and none is
// handed over, so that a graph is either wholly fed or not at all.
template <typename Graph>
bool registerGraphContainers(Graph *graph, int kind, int count, const QString &namePrefix)
{
    QList<GraphContainer> containers;
    for (int i = 0; i < count; ++i) {
        GraphContainer container = graph->graphData(i);
        if (!container) {
            qCritical("%s", qPrintable(namePrefix + QString::number(i) +
                                       QStringLiteral(" data container is null!")));
            return false;
        }
        containers.append(container);
    }
    for (int i = 0; i < count; ++i)
        updater->setGraphData(kind, i, containers.at(i));
    QObject::connect(updater, &Updater::replotGraphs, graph, &Graph::replot);
    return true;
}
