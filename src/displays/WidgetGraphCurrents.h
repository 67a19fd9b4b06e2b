#pragma once
// Two or four channels against time over the last display buffer, one graph per
// channel with its check box and colour swatch: the encoder counts of one BPM, or
// the four DAC outputs.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "GraphLook.h"

namespace Ui {
class WidgetGraphCurrents;
}

class QCheckBox;
class QLabel;
class QResizeEvent;

class WidgetGraphCurrents : public QWidget
{
    Q_OBJECT
public:
    // channels: 2 or 4 (at most the four channel colours).
    WidgetGraphCurrents(QWidget *parent, int channels);
    ~WidgetGraphCurrents() override;

    // Container of graph `index`; null for an index outside the graphs.
    GraphContainer graphData(int index) const;

    // The axis labels; the graphs carry no names, so `names` is not applied.
    void setLabels(const QString &xLabel, const QString &yLabel, const QStringList &names);
    // Number format and precision of the value axis ("f", 0 shows whole counts).
    void setValueAxisFormat(const QString &format, int precision);
    void setChannelTexts(const QString &text1, const QString &text2, const QString &text3,
                         const QString &text4);
    // Hides check box N with its swatch; the graphs are not touched.
    void setChannelsHidden(bool hide1, bool hide2, bool hide3, bool hide4);

public slots:
    void replot();
    // Graph i shows exactly while check box i + 1 is checked. No redraw.
    void chEnablesChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::WidgetGraphCurrents *ui;
    QCheckBox *m_checks[GraphLook::channelCount()];
    QLabel *m_swatches[GraphLook::channelCount()];
    QList<GraphContainer> m_data;
};
