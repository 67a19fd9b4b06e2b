#include "WidgetGraphXY.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "MailboxComm.h"
#include "OutputsGuard.h"
#include "ui_WidgetGraphXY.h"

namespace {

constexpr int kCloud = 0;
constexpr int kMarker = 1;
constexpr double kMarkerSize = 6;
// Narrowest range of an axis fitted to the beam, in um: a still beam must not
// leave the axis without a width.
constexpr double kMinBeamSpan = 1;

QCPItemRect *makeRect(QCustomPlot *plot, const QColor &color)
{
    auto *rect = new QCPItemRect(plot);
    rect->setBrush(Qt::NoBrush);
    rect->setPen(QPen(color, 1.5));
    return rect;
}

// QCustomPlot has no place for a corner that is not finite (a zero ROI in the store
// gives such a ROC): such a rectangle is hidden rather than placed.
void placeRect(QCPItemRect *rect, double halfX, double halfY)
{
    const bool finite = std::isfinite(halfX) && std::isfinite(halfY);
    if (finite) {
        rect->topLeft->setCoords(halfX, -halfY);
        rect->bottomRight->setCoords(-halfX, halfY);
    }
    rect->setVisible(finite);
}

void readRoi(int index, double *roiX, double *roiY, double *rocPercent)
{
    double i0min = 0;
    double i0max = 0;
    if (configIni)
        configIni->readConfigROCandROI(roiX, roiY, &i0min, &i0max, rocPercent, index);
}

// Without the device link no loop is known: nothing is marked or set.
int pidConfCode()
{
    return mailboxComm ? mailboxComm->getPIDconf() : -1;
}

} // namespace

WidgetGraphXY::WidgetGraphXY(int index, QWidget *parent)
    : QWidget(parent), m_index(index), ui(new Ui::WidgetGraphXY())
{
    ui->setupUi(this);
    QCustomPlot *plot = ui->graph;

    QCPGraph *cloud = plot->addGraph();
    cloud->setPen(GraphLook::channelPen(index == 0 ? 1 : 2));
    cloud->setLineStyle(QCPGraph::lsNone);
    cloud->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 2));
    m_data = GraphContainer(new QCPGraphDataContainer);
    cloud->setData(m_data);

    QCPGraph *marker = plot->addGraph();
    marker->setPen(QPen(QColor(0, 191, 250), 2.0));
    marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 15));
    marker->setLineStyle(QCPGraph::lsLine);
    marker->setVisible(false);

    m_roi = makeRect(plot, QColor(50, 250, 50, 240));
    m_roc = makeRect(plot, QColor(250, 70, 70, 240));

    double roiX = 0;
    double roiY = 0;
    double rocPercent = 0;
    readRoi(m_index, &roiX, &roiY, &rocPercent);
    drawROIandROC(roiX, roiY, rocPercent / 100);

    GraphLook::fitBackground(plot);

    plot->setInteractions(QCP::iRangeZoom);
    ui->targetEnable->setCheckable(true);
    connect(plot, &QCustomPlot::mousePress, this, &WidgetGraphXY::graphClicked);
    connect(ui->resetZoomButton, &QPushButton::released, this, &WidgetGraphXY::resetZoom);

    GraphLook::setWhiteAxes(plot);
    const QString bpm = m_index == 0 ? QStringLiteral("BPM1") : QStringLiteral("BPM2");
    plot->xAxis->setLabel(QStringLiteral("Horizontal position %1 [um]").arg(bpm));
    plot->yAxis->setLabel(QStringLiteral("Vertical position %1 [um]").arg(bpm));

    resetZoom();
}

WidgetGraphXY::~WidgetGraphXY()
{
    delete ui;
}

GraphContainer WidgetGraphXY::graphData() const
{
    return m_data;
}

void WidgetGraphXY::drawROI(double roiX, double roiY)
{
    m_roiX = roiX;
    m_roiY = roiY;
    placeRect(m_roi, roiX, roiY);
}

void WidgetGraphXY::drawROC(double rocX, double rocY)
{
    m_rocX = rocX;
    m_rocY = rocY;
    placeRect(m_roc, rocX, rocY);
}

void WidgetGraphXY::drawROIandROC(double roiX, double roiY, double rocFraction)
{
    drawROI(roiX, roiY);
    drawROC(roiX * rocFraction, roiY * rocFraction);
}

void WidgetGraphXY::replot()
{
    // Runs every acquisition cycle: the fit is done once, when the first points come.
    if (m_fitPending && !m_data->isEmpty())
        fitToBeam();
    ui->graph->replot(QCustomPlot::rpRefreshHint);
}

void WidgetGraphXY::resetZoom()
{
    for (QCPAxis *axis : {ui->graph->xAxis, ui->graph->yAxis}) {
        const double half = frame(axis);
        if (half > 0)
            axis->setRange(-1.01 * half, 1.01 * half);
    }
    fitToBeam();
}

// Half-width of the rectangle that frames the view on an axis: the ROC, else the ROI;
// 0 when neither has a usable one there (zero, missing or unreadable in the store).
// A negative half-width draws the same rectangle, so it frames the same view.
double WidgetGraphXY::frame(const QCPAxis *axis) const
{
    const bool key = axis == ui->graph->xAxis;
    for (const double half : {key ? m_rocX : m_rocY, key ? m_roiX : m_roiY})
        if (std::isfinite(half) && half != 0)
            return std::abs(half);
    return 0;
}

// Each axis without a frame shows the beam and the origin, where the ROI sits, with a
// margin. Without points yet (before the first acquisition cycle) the range is only a
// placeholder, fitted again at the first redraw with points; never after, so that the
// operator's zoom stays.
void WidgetGraphXY::fitToBeam()
{
    m_fitPending = false;
    for (QCPAxis *axis : {ui->graph->xAxis, ui->graph->yAxis}) {
        if (frame(axis) > 0)
            continue;
        const bool key = axis == ui->graph->xAxis;
        double low = 0;
        double high = 0;
        for (const QCPGraphData &point : *m_data) {
            const double v = key ? point.key : point.value;
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        const double margin = std::max(0.1 * (high - low), kMinBeamSpan / 2);
        axis->setRange(low - margin, high + margin);
        m_fitPending = m_data->isEmpty();
    }
}

void WidgetGraphXY::updateGraphXY()
{
    QCustomPlot *plot = ui->graph;
    // Shown as read; a failed read leaves the marker at the origin.
    double x = 0;
    double y = 0;
    double i0 = 0;
    if (mailboxComm)
        mailboxComm->getSetpoint(&x, &y, &i0);

    QCPGraph *marker = plot->graph(kMarker);
    marker->setVisible(true);
    const int selX = bpmSelX;
    const int selY = bpmSelY;
    // A line spans the frame along it (the ROC rectangle as a rule), or without one the
    // view, so that it never gets a point that is not a number.
    const auto span = [this](const QCPAxis *axis) {
        const double half = frame(axis);
        return half > 0 ? QCPRange(-half, half) : axis->range();
    };
    const QCPRange spanX = span(plot->xAxis);
    const QCPRange spanY = span(plot->yAxis);
    marker->data()->clear();

    const int code = pidConfCode();

    enum class Shape { None, Vertical, Horizontal, Point } shape = Shape::None;
    switch (code) {
    case 0:
    case 2:
        if (m_index == selX)
            shape = Shape::Vertical;
        break;
    case 1:
        if (m_index == selX && m_index == selY)
            shape = Shape::Point;
        else if (m_index == selX)
            shape = Shape::Vertical;
        else if (m_index == selY)
            shape = Shape::Horizontal;
        break;
    case 3:
    case 4:
        if (m_index == selY)
            shape = Shape::Horizontal;
        break;
    default:
        break;
    }

    switch (shape) {
    case Shape::Vertical:
        marker->addData(x, spanY.lower);
        marker->addData(x, spanY.upper);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, kMarkerSize));
        break;
    case Shape::Horizontal:
        marker->addData(spanX.lower, y);
        marker->addData(spanX.upper, y);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, kMarkerSize));
        break;
    case Shape::Point:
        marker->addData(x, y);
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, kMarkerSize));
        break;
    case Shape::None:
        break;
    }
    if (shape != Shape::None)
        marker->setLineStyle(QCPGraph::lsLine);

    plot->replot(QCustomPlot::rpRefreshHint);
}

void WidgetGraphXY::graphClicked(QMouseEvent *event)
{
    const QPointF pos = event->position();
    const double x = GraphLook::pixelToKey(ui->graph, pos.x());
    const double y = GraphLook::pixelToValue(ui->graph, pos.y());

    if (!ui->targetEnable->isChecked() || (userLevel != 1 && userLevel != 2))
        return;
    // A procedure driving the outputs decides what the loop does until it ends.
    if (OutputsGuard::refuses(this, QStringLiteral("Setting the setpoint on the XY graph")))
        return;

    const int code = pidConfCode();
    const bool outsideX = outsideRoi(m_index, 0, x);
    const bool outsideY = outsideRoi(m_index, 1, y);
    switch (code) {
    case 0:
    case 2:
        if (outsideX)
            return refuseSetpoint();
        mailboxComm->setSetpointX(x);
        break;
    case 3:
    case 4:
        if (outsideY)
            return refuseSetpoint();
        mailboxComm->setSetpointY(y);
        break;
    case 1:
        if (outsideX || outsideY)
            return refuseSetpoint();
        if (m_index == bpmSelX)
            mailboxComm->setSetpointX(x);
        if (m_index == bpmSelY)
            mailboxComm->setSetpointY(y);
        break;
    default:
        break;
    }

    updateGraphXY();
    emit XYchanged();
}

bool WidgetGraphXY::outsideRoi(int bpm, int axis, double value)
{
    // The store, not the rectangle on a plot, decides.
    double roiX = 0;
    double roiY = 0;
    double rocPercent = 0;
    readRoi(bpm, &roiX, &roiY, &rocPercent);
    // Written so that a limit that is not a number refuses rather than lets any value by.
    return !(std::abs(value) <= (axis == 0 ? roiX : roiY));
}

void WidgetGraphXY::refuseSetpoint()
{
    QMessageBox::information(nullptr, QStringLiteral("Invalid setpoint"),
                             QStringLiteral("Setpoint was set outside Region of Interest.\n\n"),
                             QMessageBox::Ok);
}

void WidgetGraphXY::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (ui->graph)   // not yet built while the form sets itself up
        GraphLook::fitBackground(ui->graph);
}
