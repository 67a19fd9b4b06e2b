#pragma once
// Beam position of one BPM as a cloud of points (horizontal against vertical, in
// micrometres), with the region of interest and the ROC rectangle of that BPM and a
// marker at the setpoint of the feedback loops it feeds. An operator of level 1 or
// 2 who has pressed "Target Enable" sets a new setpoint by clicking into the ROI.

#include <QWidget>

#include "GraphLook.h"

namespace Ui {
class WidgetGraphXY;
}

class QCPAxis;
class QCPItemRect;
class QMouseEvent;
class QResizeEvent;

class WidgetGraphXY : public QWidget
{
    Q_OBJECT
public:
    // index 0 for BPM1, any other value for BPM2.
    WidgetGraphXY(int index, QWidget *parent);
    ~WidgetGraphXY() override;

    // The container of the position cloud.
    GraphContainer graphData() const;

    // Rectangles centred on the origin with these half-widths; shown, not redrawn.
    // One with a half-width that is not finite is hidden.
    void drawROI(double roiX, double roiY);
    void drawROC(double rocX, double rocY);
    // The ROC as a fraction of the ROI.
    void drawROIandROC(double roiX, double roiY, double rocFraction);

    // Whether a setpoint `value` of `axis` (0 X, 1 Y) lies outside the ROI of `bpm`
    // in the store; a limit that is not a number counts as outside.
    static bool outsideRoi(int bpm, int axis, double value);
    // Tells the operator that a setpoint outside the ROI was not set.
    static void refuseSetpoint();

signals:
    // A click was handled (a setpoint may have been set).
    void XYchanged();

public slots:
    void replot();
    // Reads the setpoints and the PID configuration and redraws the setpoint marker.
    void updateGraphXY();
    // Ranges 1 % beyond the ROC rectangle (else the ROI; else fitted to the beam);
    // shows at the next redraw.
    void resetZoom();
    void graphClicked(QMouseEvent *event);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    double frame(const QCPAxis *axis) const;
    void fitToBeam();

    int m_index;
    Ui::WidgetGraphXY *ui;
    GraphContainer m_data;
    QCPItemRect *m_roi = nullptr;
    QCPItemRect *m_roc = nullptr;
    // Half-widths as last drawn, as given.
    double m_roiX = 0;
    double m_roiY = 0;
    double m_rocX = 0;
    double m_rocY = 0;
    // An axis without a frame waits for the first points of the beam.
    bool m_fitPending = false;
};
