#include "WindowRockingCurve.h"
#include "ui_WindowRockingCurve.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QMessageBox>
#include <QThread>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"

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

// Rescales both axes to the data. The value axis keeps a tenth of the data's span
// free at each end: rescaled to the data alone, the lowest and highest curves lie on
// the frame, where the axis line hides a flat one. A curve at one voltage draws no
// line, or one a few pixels long, and the operator would read the plot as nothing
// measured: its points get marks in their graph's colour.
void rescaleToTheCurves(QCustomPlot *plot)
{
    plot->xAxis->rescale();
    bool measured = false;   // the three graphs grow together
    const bool oneVoltage = plot->graph(0)->getKeyRange(measured).size() == 0 && measured;
    for (int g = 0; g < plot->graphCount(); ++g)
        plot->graph(g)->setScatterStyle(oneVoltage ? QCPScatterStyle(QCPScatterStyle::ssDisc, 10)
                                                   : QCPScatterStyle());
    QCPRange values = plot->graph(0)->getValueRange(measured);
    for (int g = 1; g < plot->graphCount(); ++g)
        values.expand(plot->graph(g)->getValueRange(measured));
    if (measured && values.size() > 0)
        plot->yAxis->setRange(values.lower - values.size() / 10, values.upper + values.size() / 10);
    else
        plot->yAxis->rescale();   // values all equal: centred, at the span the axis has
}

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

        if (refusal != 0) {
            // Nothing to plot for this voltage; the scan goes on.
            LOG_WARN() << "Rocking curve: the DAC refused" << volts << "V:" << std::strerror(refusal);
        } else if (DeviceNode::ioctl(s.meter, METER_IOC_CURRENTS, &readings) < 0) {
            // A failed read leaves nothing to plot for this voltage.
            LOG_WARN() << "Rocking curve: current read failed at" << volts << "V";
        } else {
            const auto current = [&](Electrode e) { return readings.channel(s.electrode[e]); };
            double v1, v2, v3;
            switch (steppedOutput(ui->chSel->currentText())) {
            case OutX:
                v1 = current(Left);
                v2 = current(Right);
                v3 = v1 + v2;
                break;
            case OutY:
                v1 = current(Top);
                v2 = current(Bottom);
                v3 = v1 + v2;
                break;
            default:
                v1 = current(Top) + current(Bottom);
                v2 = current(Left) + current(Right);
                v3 = current(Top) + current(Right) + current(Bottom) + current(Left);
                break;
            }
            plot->graph(0)->addData(volts, v1);
            plot->graph(1)->addData(volts, v2);
            plot->graph(2)->addData(volts, v3);
            rescaleToTheCurves(plot);
            plot->replot();
        }

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
