#include "WidgetGraphXY.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include <qcustomplot.h>

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

QCPItemRect *makeRect(QCustomPlot *plot, const QColor &color)
{
    auto *rect = new QCPItemRect(plot);
    rect->setBrush(Qt::NoBrush);
    rect->setPen(QPen(color, 1.5));
    return rect;
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
    m_roi->topLeft->setCoords(roiX, -roiY);
    m_roi->bottomRight->setCoords(-roiX, roiY);
    m_roi->setVisible(true);
}

void WidgetGraphXY::drawROC(double rocX, double rocY)
{
    m_roc->topLeft->setCoords(rocX, -rocY);
    m_roc->bottomRight->setCoords(-rocX, rocY);
    m_roc->setVisible(true);
}

void WidgetGraphXY::drawROIandROC(double roiX, double roiY, double rocFraction)
{
    drawROI(roiX, roiY);
    drawROC(roiX * rocFraction, roiY * rocFraction);
}

void WidgetGraphXY::replot()
{
    ui->graph->replot(QCustomPlot::rpRefreshHint);
}

void WidgetGraphXY::resetZoom()
{
    const QPointF a = m_roc->topLeft->coords();
    const QPointF b = m_roc->bottomRight->coords();
    ui->graph->yAxis->setRange(a.y() * 1.01, b.y() * 1.01);
    ui->graph->xAxis->setRange(a.x() * 1.01, b.x() * 1.01);
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
    const QPointF a = m_roc->topLeft->coords();
    const QPointF b = m_roc->bottomRight->coords();
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
        marker->addData(x, a.y());
        marker->addData(x, b.y());
        marker->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, kMarkerSize));
        break;
    case Shape::Horizontal:
        marker->addData(a.x(), y);
        marker->addData(b.x(), y);
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
