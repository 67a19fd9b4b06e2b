#pragma once
// The look shared by every live graph: channel colours and swatches, the dark
// gradient background, white axes, the autoscale-then-replot rule, and the data
// graphs whose containers the acquisition engine refills.

#include <QColor>
#include <QList>
#include <QPen>
#include <QSharedPointer>
#include <QString>

#include <qcustomplot.h>

class QLabel;

using GraphContainer = QSharedPointer<QCPGraphDataContainer>;

class GraphLook
{
public:
    // Channels are counted from 1 to channelCount(); anything else falls back to channel 1.
    static constexpr int channelCount() { return 4; }
    static QColor channelColor(int channel);
    static QString swatchStyleSheet(int channel);
    // Solid, width 1.0, square cap, bevel join.
    static QPen channelPen(int channel);
    static void styleSwatch(QLabel *swatch, int channel);

    // The constructors of the time and spectrum graphs paint the gradient over this
    // height until the first resize tells them the real one.
    static constexpr int initialGradientHeight() { return 200; }
    // Gradient from rgb(100,100,100) at the top to rgb(30,30,30) at `height` pixels,
    // padded with the end colour below.
    static void setBackground(QCustomPlot *plot, int height);
    // The gradient over the plot's present height (geometry bottom minus top), as the
    // resize handlers rebuild it; shows at the next redraw.
    static void fitBackground(QCustomPlot *plot);

    // White tick labels and labels; white base, tick and sub-tick pens of width 1.0.
    static void setWhiteAxes(QCustomPlot *plot);

    // Adds `count` graphs in channel colours 1.., unantialiased and with adaptive
    // sampling (thousands of points per graph each second), each drawing its own new
    // container. The caller keeps the containers for the acquisition engine and never
    // writes into them.
    static QList<GraphContainer> addChannelGraphs(QCustomPlot *plot, int count);
    static GraphContainer containerAt(const QList<GraphContainer> &containers, int index);

    // Spectrum and time graphs: "xLabel"/"yLabel" placeholders, white axes, value axis
    // in "e" with 5 digits.
    static void setChannelPlotAxes(QCustomPlot *plot);
    // Spectrum and time graphs: drag, zoom, plottable and axis selection (0x1B); the
    // wheel zooms `zoom`.
    static void setChannelPlotInteractions(QCustomPlot *plot, Qt::Orientations zoom);

    // Two-BPM graphs: asks the controller which encoder boxes serve the BPMs and shows
    // graph 0 (BPM1) and graph 1 (BPM2) only while present and checked. Acts only on a
    // plot with exactly two graphs. A failed query counts as no box present.
    static void showPresentBpms(QCustomPlot *plot, bool checked1, bool checked2);

    // Rescale the value axis, then the key axis, to the visible graphs when asked,
    // and redraw with the refresh hint.
    static void replot(QCustomPlot *plot, bool autoscale);

    // Axis coordinate of a mouse position, taken at the nearest whole pixel
    // (halves away from zero), as the cursor fields and the setpoint clicks use it.
    static double pixelToKey(const QCustomPlot *plot, double pixelX);
    static double pixelToValue(const QCustomPlot *plot, double pixelY);

    // Time span of the display buffer in whole seconds: records and rate both truncate.
    static int displaySpanSeconds(int dispBufSize, int sampFreq);
};
