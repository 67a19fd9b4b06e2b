#pragma once
// Spectra of BPM1 and BPM2 on logarithmic axes, with the controls that steer the
// acquisition engine's spectrum computation (transformed word, length, mean
// removal, amplitude or cumulative RMS) and two cursor fields that show where the
// plot was clicked.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "GraphLook.h"

namespace Ui {
class WidgetGraphFFT;
}

class QMouseEvent;
class QResizeEvent;

class WidgetGraphFFT : public QWidget
{
    Q_OBJECT
public:
    // FFT length of each item of the length box (there is no 4096).
    static constexpr int FFT_LENGTHS[] = {64, 128, 256, 512, 1024, 2048, 8192};
    static constexpr int FFT_LENGTH_COUNT = int(sizeof(FFT_LENGTHS) / sizeof(FFT_LENGTHS[0]));
    // Length sent for an index outside the box's items.
    static constexpr int FALLBACK_FFT_LENGTH = 64;

    // graphs: at most 2 (one per BPM).
    WidgetGraphFFT(QWidget *parent, int graphs);
    ~WidgetGraphFFT() override;

    // Container of graph `index`; null for an index outside the graphs.
    GraphContainer graphData(int index) const;

    // The axis labels; the graphs carry no names, so `names` is not applied.
    void setLabels(const QString &xLabel, const QString &yLabel, const QStringList &names);
    // Hides an absent BPM's check box with its swatch; the graphs are not touched.
    void setChannelsHidden(bool hideBPM1, bool hideBPM2);

    // Display-record word of BPM1 that the engine transforms for a selector item.
    static int selectorWord(int index);
    // FFT length for an item of the length box.
    static int fftLength(int index);

public slots:
    void replot();
    void xAxesChanged(int index);
    void yAxesChanged(int index);
    void fftLengthChanged(int index);
    void graphClicked(QMouseEvent *event);
    void fftSelectorChanged(int index);
    // Graphs follow their check boxes and the encoder boxes present. No redraw.
    void chEnablesChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::WidgetGraphFFT *ui;
    QList<GraphContainer> m_data;
};
