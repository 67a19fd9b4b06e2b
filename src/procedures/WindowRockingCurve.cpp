#include "WindowRockingCurve.h"
#include "ui_WindowRockingCurve.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QMessageBox>
#include <QThread>

#include <fcntl.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "NonBlockingWarning.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"
#include "ReturnKeyFilter.h"
#include "ShutdownReport.h"

namespace {

const QString kName = QStringLiteral("Rocking Curve");

// Electrode colours by meter channel 0 .. 3.
const QColor kElectrodeColour[4] = {QColor(255, 255, 135), QColor(255, 130, 255),
                                    QColor(130, 255, 130), QColor(130, 210, 250)};

enum Output { OutX = 0, OutY = 1, OutI0 = 2 };
enum Electrode { Top = 0, Right = 1, Bottom = 2, Left = 3 };

bool isChannel(int c)
{
    return c >= 0 && c < 4;
}

Output steppedOutput(const QString &selection)
{
    if (selection == QLatin1String("posX"))
        return OutX;
    if (selection == QLatin1String("posY"))
        return OutY;
    return OutI0;
}

QString channelName(const char *electrode, int meterChannel)
{
    return QLatin1String(electrode) + QLatin1String(" (ch ") + QString::number(meterChannel + 1)
           + QLatin1Char(')');
}

// What a scan keeps from its set-up to its end.
struct ScanSetup {
    int meter = -1;
    int dac = -1;
    int dacChannel[3] = {0, 1, 2};   // by Output
    double rest[3] = {0.0, 0.0, 0.0};
    int electrode[4] = {0, 1, 2, 3}; // meter channel by Electrode
};

// Every mapped output at its rest value and `stepped` (when given) at `volts`; a
// channel that no loop uses stays at 0 V.
DacOutputs outputRecord(const ScanSetup &s, int stepped, double volts)
{
    DacOutputs record{};
    for (int o = OutX; o <= OutI0; ++o)
        if (o != stepped)
            record.volts[s.dacChannel[o]] = s.rest[o];
    if (stepped >= 0)
        record.volts[s.dacChannel[stepped]] = volts;
    record.apply = 1;
    return record;
}

// Voltages closer than this are one: the two legs of a sweep reach a voltage by
// different sums, which may differ in their last bits, while the closest distinct
// voltages a scan sends lie hundreds of times further apart.
constexpr double kOneVoltage = 1e-12;

// The point after the voltage of `it`, and all its points.
QCPGraphDataContainer::const_iterator nextVoltage(const QCPGraphDataContainer &data,
                                                  QCPGraphDataContainer::const_iterator it)
{
    const double key = it->key;
    while (it != data.constEnd() && it->key <= key + kOneVoltage)
        ++it;
    return it;
}

// Adds one point at `volts` to the three graphs; a point not measured is a gap, its
// values NaN. A voltage measured on either leg of a sweep is no gap: a point not
// measured there is left out, and a point measured later replaces the gap. So the
// points at one voltage are either all measured or all gaps.
void addPoint(QCustomPlot *plot, double volts, bool measured, const double (&value)[3])
{
    const QCPGraphDataContainer &first = *plot->graph(0)->data();   // the three graphs grow together
    const auto at = first.findBegin(volts - kOneVoltage, false);
    const bool seen = at != first.constEnd() && at->key <= volts + kOneVoltage;
    if (seen && !measured)
        return;
    const bool replacesGap = seen && std::isnan(at->value);
    for (int g = 0; g < 3; ++g) {
        QCPGraphDataContainer &data = *plot->graph(g)->data();
        if (replacesGap)
            data.remove(volts - kOneVoltage, volts + kOneVoltage);
        data.add(QCPGraphData(volts, value[g]));
    }
}

// A measured voltage that no line joins to another: beside it only gaps or the
// plot's ends. Drawn as a line it would be a dot at most, and the operator would
// take the voltage for one not measured.
bool hasUnjoinedPoint(const QCPGraphDataContainer &data)
{
    bool beforeMeasured = false;
    for (auto it = data.constBegin(); it != data.constEnd();) {
        const auto after = nextVoltage(data, it);
        const bool measured = !std::isnan(it->value);
        if (measured && !beforeMeasured && (after == data.constEnd() || std::isnan(after->value)))
            return true;
        beforeMeasured = measured;
        it = after;
    }
    return false;
}

// The legend's entries in one row when they fit the room the legend gets, one per row
// otherwise: a row wider than its room would cut their names. Called before the
// layout, whose rects still hold the last size: the room is worked out from the plot's
// width, less the margins of the layouts around the legend and the spacing beside it.
void fitLegend(QCustomPlot *plot, QCPLayoutGrid *legendRow)
{
    QCPLegend *legend = plot->legend;
    const auto across = [](const QCPLayoutElement *e) { return e->margins().left() + e->margins().right(); };
    const int room = plot->viewport().width() - across(plot->plotLayout()) - across(legendRow)
                     - legendRow->columnSpacing();
    int row = across(legend) + (legend->itemCount() - 1) * legend->columnSpacing();
    for (int i = 0; i < legend->itemCount(); ++i)
        row += legend->item(i)->minimumOuterSizeHint().width();
    const auto order = row <= room ? QCPLayoutGrid::foColumnsFirst : QCPLayoutGrid::foRowsFirst;
    if (legend->fillOrder() != order)
        legend->setFillOrder(order);
}

// Rescales both axes to the curves. The voltage axis spans every voltage sent,
// measured or not: a scan whose last points failed must not look complete. The
// value axis keeps a tenth of the data's span free at each end: rescaled to the data
// alone, the lowest and highest curves lie on the frame, where the axis line hides a
// flat one. When a measured voltage has no line to another (beside it only gaps or
// the plot's ends), every point gets a mark in its graph's colour.
void rescaleToTheCurves(QCustomPlot *plot)
{
    const QCPGraphDataContainer &sent = *plot->graph(0)->data();   // the three graphs grow together
    if (sent.isEmpty())
        return;
    const QCPRange voltages(sent.constBegin()->key, (sent.constEnd() - 1)->key);   // sorted by key
    if (voltages.size() > 0)
        plot->xAxis->setRange(voltages);
    else   // one voltage: centred, at the span the axis has
        plot->xAxis->setRange(voltages.lower, plot->xAxis->range().size(), Qt::AlignCenter);

    const QCPScatterStyle marks = hasUnjoinedPoint(sent) ? QCPScatterStyle(QCPScatterStyle::ssDisc, 10)
                                                         : QCPScatterStyle();
    for (int g = 0; g < plot->graphCount(); ++g)
        plot->graph(g)->setScatterStyle(marks);

    bool measured = false;
    QCPRange values = plot->graph(0)->getValueRange(measured);
    for (int g = 1; g < plot->graphCount(); ++g)
        values.expand(plot->graph(g)->getValueRange(measured));
    if (measured && values.size() > 0)
        plot->yAxis->setRange(values.lower - values.size() / 10, values.upper + values.size() / 10);
    else if (measured)
        plot->yAxis->rescale();   // values all equal: centred, at the span the axis has
}

// Points a scan could not measure, by cause, each with the first reason given.
struct Misses {
    int refused = 0;   // records the DAC did not take
    QString refusedWhy;
    int unread = 0;    // current reads that failed
    QString unreadWhy;

    int count() const { return refused + unread; }

    // The box's text, `tried` being the points the scan came to measure.
    QString text(int tried) const
    {
        QString text = QStringLiteral("%1 of %2 %3 could not be measured; the plot leaves %4 out.\n")
                           .arg(count())
                           .arg(tried)
                           .arg(tried == 1 ? QStringLiteral("point") : QStringLiteral("points"))
                           .arg(count() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
        if (refused > 0)
            text += QStringLiteral("\nThe DAC refused the record: %1 (%2).").arg(refused).arg(refusedWhy);
        if (unread > 0)
            text += QStringLiteral("\nThe current meter could not be read: %1 (%2).").arg(unread).arg(unreadWhy);
        return text + QStringLiteral("\n\nThe log names each voltage.");
    }
};

void openFailed(QWidget *parent, const char *path)
{
    LOG_ERROR() << "Rocking curve: cannot open" << path;
    QMessageBox::warning(parent, QStringLiteral("Cannot open file"),
                         QStringLiteral("System file %1 could not be opened.\n\n"
                                        "Please check if NIVRA driver is loaded.\n")
                             .arg(QLatin1String(path)));
}

} // namespace

WindowRockingCurve::WindowRockingCurve(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowRockingCurve)
{
    ui->setupUi(this);
    ReturnKeyFilter::install(this);

    connect(ui->buttonStart, &QPushButton::released, this, &WindowRockingCurve::startMeasurement);
    connect(ui->buttonStop, &QPushButton::released, this, &WindowRockingCurve::stopMeasurement);
    connect(ui->boxStart, &QDoubleSpinBox::valueChanged, this, &WindowRockingCurve::minMaxChanged);
    connect(ui->boxStop, &QDoubleSpinBox::valueChanged, this, &WindowRockingCurve::minMaxChanged);

    QCustomPlot *plot = ui->graph;
    // addGraph names its graphs "Graph n"; these stay unnamed until a scan knows
    // which electrodes they show.
    for (int g = 0; g < 3; ++g)
        plot->addGraph()->setName(QString());
    plot->xAxis->setRange(4.0, 6.0);
    plot->xAxis->setLabel(QStringLiteral(" Output voltage [V] "));
    plot->yAxis->setRange(-0.00015, 0.00015);
    plot->yAxis->setLabel(QStringLiteral(" Input current [A] "));
    plot->setBackground(QBrush(Qt::darkGray));
    plot->graph(0)->setPen(QPen(QColor(250, 250, 135, 240), 2, Qt::SolidLine));
    plot->graph(1)->setPen(QPen(QColor(255, 120, 255, 240), 2, Qt::SolidLine));
    plot->graph(2)->setPen(QPen(QColor(240, 240, 240, 240), 3, Qt::SolidLine));
    plot->legend->setVisible(true);
    plot->legend->setTextColor(Qt::white);
    plot->legend->setBrush(QBrush(QColor(10, 10, 10)));
    // Above the frame, at its right: inside, the legend would cover the highest
    // points of the sum, the peak the operator is looking for.
    plot->axisRect()->insetLayout()->take(plot->legend);
    auto *legendRow = new QCPLayoutGrid;
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->setRowStretchFactor(0, 0.001);
    plot->plotLayout()->addElement(0, 0, legendRow);
    legendRow->addElement(0, 0, new QCPLayoutElement(plot));   // pushes the legend right
    legendRow->addElement(0, 1, plot->legend);
    legendRow->setColumnStretchFactor(1, 0.001);
    plot->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    connect(plot, &QCustomPlot::beforeReplot, plot, [plot, legendRow] { fitLegend(plot, legendRow); });
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

WindowRockingCurve::~WindowRockingCurve()
{
    delete ui;
}

double WindowRockingCurve::readPidOffset(bool xLoop)
{
    double freq = 0, kp = 0, ki = 0, kd = 0, emin = 0, imax = 0, omin = 0, omax = 0, ogain = 0,
           offset = 0;
    if (xLoop)
        configIni->readConfigPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
    else
        configIni->readConfigPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offset);
    return offset;
}

void WindowRockingCurve::startMeasurement()
{
    // Start is pressable while a scan lets events in; a second scan inside the first
    // would hand the outputs back to the feedback under the first one's feet.
    if (m_running)
        return;

    // One procedure at a time holds the DAC outputs; a refused start sends nothing.
    const OutputsGuard::Claim claim(this, kName, OutputsGuard::Runs::InGuiThread,
                                    [this] { m_stop = true; });
    if (!claim) {
        OutputsGuard::showRefusal(this, kName);
        return;
    }

    // Everything the scan needs is read and checked before the feedback is touched.
    ScanSetup s;
    configIni->readConfigDACpos(&s.dacChannel[OutX], &s.dacChannel[OutY], &s.dacChannel[OutI0]);
    s.rest[OutX] = readPidOffset(true);
    s.rest[OutY] = readPidOffset(false);
    {
        // The intensity loop rests at its own offset.
        double freq = 0, kp = 0, ki = 0, kd = 0, emin = 0, imax = 0, omin = 0, omax = 0, ogain = 0;
        configIni->readConfigPIDI0(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain,
                                   &s.rest[OutI0]);
    }
    configIni->readConfigCrossBar(&s.electrode[Top], &s.electrode[Right], &s.electrode[Bottom],
                                  &s.electrode[Left], 0);

    // The channel numbers index the device records: anything else would write and
    // read outside them.
    bool mapsValid = true;
    for (int c : s.dacChannel)
        mapsValid = mapsValid && isChannel(c);
    for (int c : s.electrode)
        mapsValid = mapsValid && isChannel(c);
    if (!mapsValid) {
        LOG_ERROR() << "Rocking curve: DAC map" << s.dacChannel[0] << s.dacChannel[1]
                    << s.dacChannel[2] << "or BPM1 electrode map" << s.electrode[0]
                    << s.electrode[1] << s.electrode[2] << s.electrode[3] << "out of range";
        QMessageBox::warning(this, QStringLiteral("Rocking Curve"),
                             QStringLiteral("The DAC outputs and the BPM1 electrodes in the "
                                            "configuration must be channels 1 to 4."));
        return;
    }

    s.meter = DeviceNode::open(DeviceNodeName::Meter1, O_RDWR | O_SYNC);
    s.dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    if (s.meter < 0 || s.dac < 0) {
        // Without either node the plot would show currents that were never read.
        if (s.meter >= 0)
            DeviceNode::close(s.meter);
        if (s.dac >= 0)
            DeviceNode::close(s.dac);
        openFailed(this, s.meter < 0 ? DeviceNodeName::Meter1 : DeviceNodeName::Dac);
        return;
    }

    clearGraph();
    // Without either switch the currents would be the feedback's, not the curve's.
    if (!OutputsHandOver::feedbackOff(this, kName) || !OutputsHandOver::outputsToHost(this, kName)) {
        ui->progressBar->setValue(0);
        DeviceNode::close(s.meter);
        DeviceNode::close(s.dac);
        return;
    }

    QCustomPlot *plot = ui->graph;
    const auto nameGraph = [&](int g, const QString &name, const QColor *colour) {
        plot->graph(g)->setName(name);
        if (colour)
            plot->graph(g)->setPen(QPen(*colour, 2, Qt::SolidLine));
    };
    switch (steppedOutput(ui->chSel->currentText())) {
    case OutX:
        nameGraph(0, channelName("left", s.electrode[Left]), &kElectrodeColour[s.electrode[Left]]);
        nameGraph(1, channelName("right", s.electrode[Right]), &kElectrodeColour[s.electrode[Right]]);
        nameGraph(2, QStringLiteral("sum (left+right)"), nullptr);
        break;
    case OutY:
        nameGraph(0, channelName("top", s.electrode[Top]), &kElectrodeColour[s.electrode[Top]]);
        nameGraph(1, channelName("bottom", s.electrode[Bottom]), &kElectrodeColour[s.electrode[Bottom]]);
        nameGraph(2, QStringLiteral("sum (top+bottom)"), nullptr);
        break;
    case OutI0:
        nameGraph(0, QStringLiteral("sum (top+bottom)"), &kElectrodeColour[s.electrode[Top]]);
        nameGraph(1, QStringLiteral("sum (left+right)"), &kElectrodeColour[s.electrode[Bottom]]);
        nameGraph(2, QStringLiteral("Intensity"), nullptr);
        break;
    }

    m_running = true;
    ui->buttonStart->setEnabled(false);

    DacOutputs record{};
    record.apply = 1;
    CurrentReadings readings{};
    int tried = 0;   // points the scan came to read, measured or not
    Misses misses;

    // A long time per point lets events in every tenth of a second, so that Stop,
    // closing and Exit reach a slow scan at once; false when it was asked to stop.
    const auto pause = [this](double microseconds) {
        constexpr double kSlice = 100000.0;
        for (; microseconds > kSlice && !m_stop; microseconds -= kSlice) {
            QThread::usleep(static_cast<unsigned long>(kSlice));
            QCoreApplication::processEvents();
        }
        if (!m_stop)
            QThread::usleep(static_cast<unsigned long>(microseconds));
        return !m_stop;
    };

    const bool sweepBack = ui->sweepBackCheckBox->isChecked();
    const int fixedN = ui->boxN->value();
    const int half = fixedN / 2;

    for (int i = 0;; ++i) {
        // Without sweep back, N may change during the scan.
        const int n = sweepBack ? fixedN : ui->boxN->value();
        if (i >= n)
            break;
        if (m_stop)
            break;

        const double start = ui->boxStart->value();
        const double stop = ui->boxStop->value();
        double volts;
        if (!sweepBack) {
            volts = start + (double(i) / n) * (stop - start);
        } else if (i < half) {
            volts = start + (double(i) / half) * (stop - start);
        } else {
            const int j = i - half + 1;
            volts = stop + (double(j) / (fixedN - half + 1)) * (start - stop);
        }

        record = outputRecord(s, steppedOutput(ui->chSel->currentText()), volts);
        // A record the DAC refused never put `volts` on the output: what the meter
        // reads then belongs to the voltage before.
        const int refusal = OutputsHandOver::setOutputs(s.dac, record) < 0 ? errno : 0;

        if (!pause(ui->boxTimePoint->value() * 1000.0 * 0.5))
            break;   // stopped before this point was read
        ++tried;

        // A point not measured is a gap at its voltage, unless that voltage was
        // measured on the other leg of a sweep (addPoint).
        double value[3] = {qQNaN(), qQNaN(), qQNaN()};
        bool measured = false;
        if (refusal != 0) {
            const char *why = std::strerror(refusal);
            LOG_WARN() << "Rocking curve: the DAC refused" << volts << "V:" << why;
            if (misses.refused++ == 0)
                misses.refusedWhy = QString::fromLocal8Bit(why);
        } else if (DeviceNode::ioctl(s.meter, METER_IOC_CURRENTS, &readings) < 0) {
            const char *why = std::strerror(errno);
            LOG_WARN() << "Rocking curve: current read failed at" << volts << "V:" << why;
            if (misses.unread++ == 0)
                misses.unreadWhy = QString::fromLocal8Bit(why);
        } else {
            measured = true;
            const auto current = [&](Electrode e) { return readings.channel(s.electrode[e]); };
            switch (steppedOutput(ui->chSel->currentText())) {
            case OutX:
                value[0] = current(Left);
                value[1] = current(Right);
                value[2] = value[0] + value[1];
                break;
            case OutY:
                value[0] = current(Top);
                value[1] = current(Bottom);
                value[2] = value[0] + value[1];
                break;
            default:
                value[0] = current(Top) + current(Bottom);
                value[1] = current(Left) + current(Right);
                value[2] = current(Top) + current(Right) + current(Bottom) + current(Left);
                break;
            }
        }
        addPoint(plot, volts, measured, value);
        rescaleToTheCurves(plot);
        plot->replot();

        ui->progressBar->setValue((i + 1) * 100 / n);

        pause(ui->boxTimePoint->value() * 1000.0 * 0.5);
        QCoreApplication::processEvents();
    }

    // Also a Stop during the last point's event processing.
    if (m_stop) {
        // The stepped output goes back to its rest value.
        for (int o = OutX; o <= OutI0; ++o)
            record.volts[s.dacChannel[o]] = s.rest[o];
        OutputsHandOver::setOutputs(s.dac, record);
        ui->progressBar->setValue(0);
        m_stop = false;
    }
    // A curve measured stays on show even when the outputs cannot be handed back.
    OutputsHandOver::outputsToFeedback(this, kName);
    DeviceNode::close(s.meter);
    DeviceNode::close(s.dac);

    m_running = false;
    ui->buttonStart->setEnabled(true);

    // The rows name each voltage, in a log window that may be hidden; on the way out
    // a box would go unseen.
    if (misses.count() > 0 && !ShutdownReport::isLeaving())
        NonBlockingWarning::show(this, kName, misses.text(tried));
}

void WindowRockingCurve::stopMeasurement()
{
    m_stop = true;
}

void WindowRockingCurve::minMaxChanged()
{
    ui->graph->xAxis->setRange(ui->boxStart->value(), ui->boxStop->value());
    ui->graph->replot();
}

void WindowRockingCurve::clearGraph()
{
    for (int g = 0; g < ui->graph->graphCount(); ++g)
        ui->graph->graph(g)->data()->clear();
    ui->graph->replot();
}

void WindowRockingCurve::hideEvent(QHideEvent *event)
{
    // Closing the window ends a running scan: once hidden nobody could stop it, and
    // the feedback is off while it runs.
    if (m_running && !event->spontaneous())
        m_stop = true;
    QDialog::hideEvent(event);
}
