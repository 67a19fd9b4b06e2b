#pragma once
// One quantity of both BPMs against time over the last display buffer: graph 0 is
// BPM1, graph 1 BPM2. A BPM's graph shows only while its encoder box is present and
// its check box is checked. Position and angle graphs differ only in their forms
// and in what the acquisition engine feeds them, so both derive from this class.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "GraphLook.h"

class QCheckBox;
class QCustomPlot;
class QLabel;
class QResizeEvent;

class WidgetGraphBpmTime : public QWidget
{
    Q_OBJECT
public:
    // Container of graph `index`; null for an index outside the graphs.
    GraphContainer graphData(int index) const;

    // Axis labels, then names[i] for graph i (at most one name per graph).
    void setLabels(const QString &xLabel, const QString &yLabel, const QStringList &names);
    // Hides an absent BPM's check box with its swatch; its graph shows only when
    // present and checked. No redraw.
    void setChannelsHidden(bool hideBPM1, bool hideBPM2);

public slots:
    void replot();
    // Graphs follow their check boxes and the encoder boxes present. No redraw.
    void chEnablesChanged();

protected:
    struct Form {
        QCustomPlot *graph;
        QCheckBox *check1;
        QLabel *swatch1;
        QCheckBox *check2;
        QLabel *swatch2;
        QCheckBox *autoscale;
    };

    explicit WidgetGraphBpmTime(QWidget *parent);
    // Called by the derived constructor right after its form is set up.
    void build(const Form &form, int graphs);
    void resizeEvent(QResizeEvent *event) override;

private:
    Form m_form{};
    QList<GraphContainer> m_data;
};
