#include "WindowRocking3D.h"
#include "ui_WindowRocking3D.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHideEvent>
#include <QHostInfo>
#include <QMessageBox>
#include <QTextStream>
#include <QThread>

#include <fcntl.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <cstring>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"
#include "ReturnKeyFilter.h"
#include "SavedFile.h"

namespace {

const QString kName = QStringLiteral("3D Rocking Curve");
constexpr int kReadingsPerPoint = 10;
constexpr const char *kLineEnd = "\r\n";

void threadSleep(unsigned long microseconds)
{
    QThread::usleep(microseconds);
}

WindowRocking3D::SleepFunction sleepFunction = threadSleep;

} // namespace

WindowRocking3D::WindowRocking3D(QWidget *parent) : QDialog(parent), ui(new Ui::WindowRocking3D)
{
    ui->setupUi(this);
    ReturnKeyFilter::install(this);

    clearGrids();
    ui->graph3D->setData(&m_normalised[0][0], GridSize, GridSize);

    connect(ui->goButton, &QPushButton::released, this, &WindowRocking3D::startMeasurement);
    connect(ui->stopButton, &QPushButton::released, this, &WindowRocking3D::stopMeasurement);
    connect(ui->saveButton, &QPushButton::released, this, &WindowRocking3D::saveData);
    // Close stops a running scan; the form's rejected -> reject then closes the window.
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowRocking3D::stopMeasurement);
}

WindowRocking3D::~WindowRocking3D()
{
    delete ui;
}

void WindowRocking3D::setSleepFunctionForTesting(SleepFunction sleep)
{
    sleepFunction = sleep ? sleep : threadSleep;
}

QString WindowRocking3D::csvHeader()
{
    const QString end = QString::fromLatin1(kLineEnd);
    return QStringLiteral("Pardune Instruments NIVRA") + end + QStringLiteral("Marvolent") + end + end
           + QStringLiteral("Time and Date: ")
           + QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss dd.MM.yyyy")) + end
           + QStringLiteral("Host Name: ") + QHostInfo::localHostName() + end;
}

void WindowRocking3D::normalise(const float *raw, float *normalised, int n)
{
    float minimum = 100000.0f;
    float maximum = -1000000.0f;
    for (int k = 0; k < n; ++k) {
        if (raw[k] < minimum)
            minimum = raw[k];
        if (raw[k] > maximum)
            maximum = raw[k];
    }
    const float span = maximum - minimum;
    // Equal values (for example a grid of zeros) have no scale: show them flat.
    // A point without a reading (not a number, which no comparison above takes in)
    // lies on the floor like a point not yet measured.
    for (int k = 0; k < n; ++k)
        normalised[k] = span > 0.0f && !std::isnan(raw[k]) ? (raw[k] - minimum) / span : 0.0f;
}

double WindowRocking3D::rasterValue(double minimum, double range, int k)
{
    return minimum + (static_cast<double>(k) / static_cast<double>(GridSize - 1)) * range;
}

void WindowRocking3D::clearGrids()
{
    std::memset(m_raw, 0, sizeof m_raw);
    std::memset(m_normalised, 0, sizeof m_normalised);
    m_measured = 0;
}

void WindowRocking3D::showGrid()
{
    normalise(&m_raw[0][0], &m_normalised[0][0], GridSize * GridSize);
    ui->graph3D->setData(&m_normalised[0][0], GridSize, GridSize);
    ui->graph3D->update();
}

void WindowRocking3D::startMeasurement()
{
    // Go stays reachable through the event processing of every point; a second scan
    // inside the first would fight over the DAC and the grids.
    if (m_scanning)
        return;

    // A refused scan leaves the last grid in place: its coordinates must stay with it,
    // or the export would label the old currents with the new voltages.
    const ScanParameters previous = m_params;
    m_params.xMin = ui->xMinBox->value();
    m_params.xRange = ui->xMaxBox->value() - m_params.xMin;
    m_params.yMin = ui->yMinBox->value();
    m_params.yRange = ui->yMaxBox->value() - m_params.yMin;
    m_params.stepTime = static_cast<std::uint64_t>(ui->timeBox->value());
    m_params.latched = true;
    m_stop = false;
    if (!scan())
        m_params = previous;
}

void WindowRocking3D::measure()
{
    scan();
}

bool WindowRocking3D::scan()
{
    if (m_scanning)
        return false;

    // One procedure at a time holds the DAC outputs; a refused scan sends nothing.
    const OutputsGuard::Claim claim(this, kName, OutputsGuard::Runs::InGuiThread,
                                    [this] { m_stop = true; });
    if (!claim) {
        OutputsGuard::showRefusal(this, kName);
        return false;
    }

    // Limits the DAC cannot put out would label clipped outputs with voltages they
    // never had. Checked once the outputs are ours, so that the box cannot pause
    // another running scan; a refusal keeps the last grid's parameters.
    for (const double volts : {m_params.xMin, m_params.xMin + m_params.xRange, m_params.yMin,
                               m_params.yMin + m_params.yRange}) {
        if (std::abs(volts) <= DacOutputs::MaxVolts + 1e-9)   // min + range may miss a typed 12 by a rounding
            continue;
        const QString text = QStringLiteral("X and Y limits must lie within the DAC outputs' range of "
                                            "-%1 V to %1 V.").arg(DacOutputs::MaxVolts);
        LOG_WARN() << "3D rocking scan not started:" << text;
        QMessageBox::warning(this, kName, text);
        return false;
    }

    const int meter = DeviceNode::open(DeviceNodeName::Meter1, O_RDWR | O_SYNC);
    const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    if (meter < 0 || dac < 0) {
        // Without either node the scan would measure nothing or measure at the wrong
        // outputs: leave the feedback and the last grid as they are.
        const char *path = meter < 0 ? DeviceNodeName::Meter1 : DeviceNodeName::Dac;
        LOG_WARN() << "3D rocking scan not started: cannot open" << path;
        if (meter >= 0)
            DeviceNode::close(meter);
        if (dac >= 0)
            DeviceNode::close(dac);
        QMessageBox::warning(this, QStringLiteral("Cannot open file"),
                             QStringLiteral("System file %1 could not be opened.\n\n"
                                            "Please check if NIVRA driver is loaded.\n")
                                 .arg(QString::fromLatin1(path)));
        return false;
    }

    // Without either switch the grid would hold the feedback's currents: the last
    // grid stays, as for any refused scan.
    if (!OutputsHandOver::feedbackOff(this, kName) || !OutputsHandOver::outputsToHost(this, kName)) {
        DeviceNode::close(meter);
        DeviceNode::close(dac);
        return false;
    }

    m_scanning = true;
    ui->goButton->setEnabled(false);

    clearGrids();

    const std::uint64_t stepUs = m_params.stepTime * 1000;
    // A long step time lets events in every tenth of a second, so that Stop, Close
    // and Exit reach a slow scan at once; false when it was asked to stop meanwhile.
    const auto pause = [this](std::uint64_t microseconds) {
        constexpr std::uint64_t kSlice = 100000;
        for (; microseconds > kSlice && !m_stop; microseconds -= kSlice) {
            sleepFunction(kSlice);
            QCoreApplication::processEvents();
        }
        if (!m_stop)
            sleepFunction(microseconds);
        return !m_stop;
    };
    QString meterError;
    QString failure;   // what ended the scan at `failedPoint`
    int failedPoint = -1;

    for (int i = 0; i < GridSize && failedPoint < 0; ++i) {
        for (int j = 0; j < GridSize; ++j) {
            DacOutputs outputs{};   // channels 3 and 4 at 0 V
            outputs.volts[0] = rasterValue(m_params.xMin, m_params.xRange, i);
            outputs.volts[1] = rasterValue(m_params.yMin, m_params.yRange, j);
            // A record the DAC refused left the outputs at the last point: readings
            // taken now would stand at a position never reached.
            const bool applied = OutputsHandOver::setOutputs(dac, outputs) >= 0;
            if (!applied) {
                const QString error = QString::fromLocal8Bit(std::strerror(errno));
                LOG_WARN() << "3D rocking scan: setting the DAC outputs failed:" << error;
                failure = QStringLiteral("The DAC outputs could not be set (%1).").arg(error);
            } else if (!pause(stepUs)) {
                i = GridSize;   // stopped before this point was measured
                break;
            }

            // A failed read is no reading: the point is the mean of the reads that
            // worked. A point without any leaves the grid as "not a number" and ends
            // the scan, since a meter that gives nothing will not give the rest either.
            float sum = 0.0f;
            int readingsTaken = 0;
            for (int r = 0; r < kReadingsPerPoint && applied; ++r) {
                sleepFunction(stepUs / kReadingsPerPoint);
                CurrentReadings readings{};
                if (DeviceNode::ioctl(meter, METER_IOC_CURRENTS, &readings) < 0) {
                    if (meterError.isEmpty()) {
                        meterError = QString::fromLocal8Bit(std::strerror(errno));
                        LOG_WARN() << "3D rocking scan: reading the BPM1 currents failed:" << meterError;
                    }
                    continue;
                }
                sum = static_cast<float>(
                    sum + (((readings.amps[3] + readings.amps[2]) + readings.amps[1]) + readings.amps[0]));
                ++readingsTaken;
            }
            m_raw[i][j] = readingsTaken == 0 ? std::numeric_limits<float>::quiet_NaN()
                                             : sum / static_cast<float>(readingsTaken);
            m_measured = i * GridSize + j + 1;
            showGrid();
            if (readingsTaken == 0) {
                if (applied)
                    failure = QStringLiteral("The BPM1 current meter could not be read (%1).").arg(meterError);
                failedPoint = i * GridSize + j;
                break;
            }
            pause(stepUs);
            QCoreApplication::processEvents();

            if (m_stop) {
                i = GridSize;   // leave both loops
                break;
            }
        }
    }

    // The outputs go back to the feedback, which stays switched off. The grid
    // measured stays when they cannot.
    OutputsHandOver::outputsToFeedback(this, kName);
    DeviceNode::close(meter);
    DeviceNode::close(dac);

    m_scanning = false;
    ui->goButton->setEnabled(true);
    if (failedPoint >= 0) {
        LOG_ERROR() << "3D rocking scan stopped at point" << failedPoint + 1 << ":" << failure;
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("%1\n\nThe scan stopped after %2 of %3 points; the point "
                                            "without a reading is exported as \"nan\".")
                                 .arg(failure, QString::number(failedPoint),
                                      QString::number(GridSize * GridSize)));
    }
    return true;
}

void WindowRocking3D::stopMeasurement()
{
    m_stop = true;
}

void WindowRocking3D::hideEvent(QHideEvent *event)
{
    // Escape and the title bar's close button hide the window without the Close
    // button's Stop; a scan nobody can see or stop would keep the feedback off.
    if (m_scanning && !event->spontaneous())
        m_stop = true;
    QDialog::hideEvent(event);
}

void WindowRocking3D::writeCsv(QTextStream &out, double xMin, double xRange, double yMin,
                               double yRange) const
{
    out << csvHeader();
    out << "ch0,ch1,I0" << kLineEnd;
    for (int i = 0; i < GridSize; ++i) {
        const double x = rasterValue(xMin, xRange, i);
        for (int j = 0; j < GridSize; ++j) {
            out << x << ',' << rasterValue(yMin, yRange, j) << ',';
            // A point the scan never reached was not measured: its 0 would read as 0 A.
            if (i * GridSize + j < m_measured)
                out << m_raw[i][j];
            else
                out << "nan";
            out << kLineEnd;
        }
    }
}

void WindowRocking3D::saveData()
{
    // The file dialog would hold a running scan (this one's or another's) at one
    // point, feedback off, for as long as it stays open.
    if (OutputsGuard::heldInGuiThread()) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Save Data"),
                                    QStringLiteral("%1 is running: save when it has ended.")
                                        .arg(OutputsGuard::holderName()),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    const QString defaultName = QStringLiteral("NIVRA_rock3D_")
                                + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"))
                                + QStringLiteral(".csv");
    const QString fileName =
        QFileDialog::getSaveFileName(this, tr("DialogTitle"), defaultName, tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        LOG_WARN() << "3D rocking scan: cannot write" << fileName << ":" << file.errorString();
        QMessageBox::warning(this, QStringLiteral("Cannot open file"),
                             QStringLiteral("%1 could not be written:\n%2").arg(fileName, file.errorString()));
        return;
    }

    // Before the first scan nothing is latched: the boxes give the coordinates.
    double xMin = m_params.xMin;
    double xRange = m_params.xRange;
    double yMin = m_params.yMin;
    double yRange = m_params.yRange;
    if (!m_params.latched) {
        xMin = ui->xMinBox->value();
        xRange = ui->xMaxBox->value() - xMin;
        yMin = ui->yMinBox->value();
        yRange = ui->yMaxBox->value() - yMin;
    }

    QTextStream out(&file);
    writeCsv(out, xMin, xRange, yMin, yRange);
    QString error;
    if (!SavedFile::close(out, file, &error)) {
        LOG_WARN() << "3D rocking scan: writing" << fileName << "failed:" << error;
        QMessageBox::warning(this, QStringLiteral("Cannot write file"),
                             QStringLiteral("%1 could not be written completely:\n%2").arg(fileName, error));
    }
}
