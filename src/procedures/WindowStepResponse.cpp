#include "WindowStepResponse.h"
#include "ui_WindowStepResponse.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DeviceNode.h"
#include "EncoderBoxes.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "OutputsGuard.h"
#include "OutputsHandOver.h"
#include "ReturnKeyFilter.h"
#include "StepResponseAnalysis.h"

namespace {

const QString kName = QStringLiteral("Step Response");

// The raw display stream of display mode 1.
constexpr int kSampleRate = 50000;
// One read of this many records covers the bias, the step and the bias again.
constexpr int kRecords = 14336;
constexpr std::size_t kReadBytes = kRecords * sizeof(DisplayRecord);   // 3670016
static_assert(kReadBytes == 3670016);

// How long each output level is held before the next write, ms.
constexpr unsigned long kBiasMs = 100;
constexpr unsigned long kStepMs = 100;
constexpr unsigned long kTailMs = 120;

constexpr double kStepSpinValue = 0.1;

const QString kNotResolved = QStringLiteral("not resolved");

const QString kCannotOpenTitle = QStringLiteral("Cannot open file");

void putChannel(DacOutputs &record, int channel, double volts)
{
    if (channel >= 0 && channel < 4)
        record.volts[channel] = volts;
}

QString formatted(double value)
{
    return QString::number(value, 'g', 4);
}

QCPItemLine *makeLine(QCustomPlot *plot, const QColor &colour, bool arrow)
{
    auto *line = new QCPItemLine(plot);
    line->setPen(QPen(colour, 2));
    for (QCPItemPosition *p : {line->start, line->end}) {
        p->setAxes(plot->xAxis, plot->yAxis2);
        p->setCoords(0, 0);
    }
    if (arrow) {
        const QCPLineEnding spike(QCPLineEnding::esSpikeArrow, 8, 10);
        line->setHead(spike);
        line->setTail(spike);
    }
    return line;
}

QCPItemText *makeText(QCustomPlot *plot, const QString &text, const QColor &colour,
                      Qt::Alignment alignment)
{
    auto *item = new QCPItemText(plot);
    item->setText(text);
    item->setColor(colour);
    item->setPositionAlignment(alignment);
    item->position->setAxes(plot->xAxis, plot->yAxis2);
    item->position->setCoords(0, 0);
    return item;
}

} // namespace

WindowStepResponse::WindowStepResponse(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowStepResponse),
      m_stimulusData(new QCPGraphDataContainer), m_responseData(new QCPGraphDataContainer)
{
    ui->setupUi(this);
    ReturnKeyFilter::install(this);

    QPushButton *run = ui->buttonBox->button(QDialogButtonBox::Apply);
    run->setText(QStringLiteral("Run"));
    connect(run, &QPushButton::released, this, &WindowStepResponse::stepRespProcedure);
    for (QRadioButton *b : {ui->stepInXbutton, ui->stepInYbutton, ui->stepInI0button})
        connect(b, &QRadioButton::clicked, this, &WindowStepResponse::selector_radioButton_changed);
    ui->stepInXbutton->setChecked(true);
    selector_radioButton_changed();

    QCustomPlot *plot = ui->graph;
    QLinearGradient background(0, 0, 0, 500);
    background.setColorAt(0, QColor(250, 250, 250));
    background.setColorAt(1, QColor(220, 220, 220));
    plot->setBackground(QBrush(background));

    plot->addGraph(plot->xAxis, plot->yAxis);
    plot->graph(0)->setName(QStringLiteral("Stimulus"));
    plot->graph(0)->setData(m_stimulusData);
    plot->yAxis2->setVisible(true);
    plot->addGraph(plot->xAxis, plot->yAxis2);
    plot->graph(1)->setName(QStringLiteral("Response"));
    plot->graph(1)->setPen(QPen(QColor(200, 0, 0)));
    plot->graph(1)->setData(m_responseData);

    plot->legend->setVisible(true);
    plot->legend->setBrush(QBrush(QColor(222, 222, 222)));
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectAxes);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);

    m_riseLine = makeLine(plot, QColor(50, 200, 50), false);
    m_deadArrow = makeLine(plot, QColor(200, 50, 50), true);
    m_riseArrow = makeLine(plot, QColor(220, 69, 0), true);
    m_amplitudeArrow = makeLine(plot, QColor(0, 50, 200), true);
    m_deadText = makeText(plot, QStringLiteral("Tdead"), QColor(200, 50, 50),
                          Qt::AlignTop | Qt::AlignHCenter);
    m_settleText = makeText(plot, QStringLiteral("Tsettle"), QColor(220, 69, 0),
                            Qt::AlignTop | Qt::AlignHCenter);
    m_amplitudeText = makeText(plot, QStringLiteral("dy"), QColor(0, 50, 200),
                               Qt::AlignTop | Qt::AlignLeft);
}

WindowStepResponse::~WindowStepResponse()
{
    delete ui;
}

void WindowStepResponse::showWindow()
{
    double freq = 0, kp = 0, ki = 0, kd = 0, emin = 0, imax = 0, omin = 0, omax = 0, ogain = 0;
    double offsetX = 0, offsetY = 0, offsetI0 = 0;
    configIni->readConfigPIDX(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsetX);
    configIni->readConfigPIDY(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsetY);
    configIni->readConfigPIDI0(&freq, &kp, &ki, &kd, &emin, &imax, &omin, &omax, &ogain, &offsetI0);
    ui->posXbiasDoubleSpinBox->setValue(offsetX);
    ui->posYbiasDoubleSpinBox->setValue(offsetY);
    ui->i0biasDoubleSpinBox->setValue(offsetI0);
    show();
}

void WindowStepResponse::selector_radioButton_changed()
{
    QDoubleSpinBox *steps[3] = {ui->posXStepDoubleSpinBox, ui->posYStepDoubleSpinBox,
                                ui->i0StepDoubleSpinBox};
    const bool ticked[3] = {ui->stepInXbutton->isChecked(), ui->stepInYbutton->isChecked(),
                            ui->stepInI0button->isChecked()};
    if (!ticked[0] && !ticked[1] && !ticked[2])
        return;
    for (int axis = 0; axis < 3; ++axis) {
        steps[axis]->setEnabled(ticked[axis]);
        steps[axis]->setValue(ticked[axis] ? kStepSpinValue : 0.0);
    }
}

bool WindowStepResponse::buildOutputVectors(StepPlan &plan)
{
    const double biasOf[3] = {ui->posXbiasDoubleSpinBox->value(), ui->posYbiasDoubleSpinBox->value(),
                              ui->i0biasDoubleSpinBox->value()};
    const double stepOf[3] = {ui->posXStepDoubleSpinBox->value(), ui->posYStepDoubleSpinBox->value(),
                              ui->i0StepDoubleSpinBox->value()};
    int dac[3] = {0, 1, 2};
    configIni->readConfigDACpos(&dac[0], &dac[1], &dac[2]);

    // A channel that no loop drives is held at 0 V rather than sent unset.
    plan.a = DacOutputs{};
    plan.b = DacOutputs{};
    for (int axis = 0; axis < 3; ++axis) {
        putChannel(plan.a, dac[axis], biasOf[axis]);
        putChannel(plan.b, dac[axis], biasOf[axis] + stepOf[axis]);
    }
    plan.a.apply = 1;
    plan.b.apply = 1;

    int axis = 0;
    if (ui->stepInYbutton->isChecked())
        axis = 1;
    else if (ui->stepInI0button->isChecked())
        axis = 2;
    plan.bias = biasOf[axis];
    plan.step = stepOf[axis];
    plan.stimulusWord = 8 + dac[axis];
    plan.responseWord = axis + (ui->useBPM2checkbox->isChecked() ? 4 : 0);
    return dac[axis] >= 0 && dac[axis] < 4;
}

QString WindowStepResponse::refusal(const StepPlan &plan) const
{
    if (!(plan.step > 0.0))
        return QStringLiteral("The step of the chosen axis is 0 V: there is no step to measure.");
    // The DAC would hold its limit and the window would show a step it never made.
    for (const DacOutputs *record : {&plan.b, &plan.a})
        for (int c = 0; c < 4; ++c)
            if (!(std::fabs(record->volts[c]) <= DacOutputs::MaxVolts))
                return QStringLiteral("Bias and bias + step must lie within the DAC outputs' range "
                                      "of -12 to 12 V: DAC output %1 would be set to %2 V.")
                    .arg(c + 1)
                    .arg(record->volts[c]);
    // Without its box the BPM's words in the display stream are zeros.
    const int bpm = plan.responseWord >= 4 ? 1 : 0;
    const EncoderBoxes boxes = EncoderBoxes::read();
    // An answer that could not be read is not taken for a missing box.
    if (!boxes.known)
        return QStringLiteral("The controller did not say which BPMs have an encoder box, so the "
                              "response BPM cannot be checked.\n\nTry again.");
    if (!boxes.shows(bpm))
        return QStringLiteral("BPM%1 has no encoder box: its response cannot be measured.")
            .arg(bpm + 1);
    return {};
}

void WindowStepResponse::stepRespProcedure()
{
    // One procedure at a time holds the DAC outputs; a refused run sends nothing.
    const OutputsGuard::Claim claim(this, kName, OutputsGuard::Runs::InGuiThread);
    if (!claim) {
        OutputsGuard::showRefusal(this, kName);
        return;
    }

    // The map, the voltages, the BPM and the nodes are checked before the feedback,
    // the display rate or the outputs are touched: a refused run leaves them as
    // they are.
    StepPlan plan;
    if (!buildOutputVectors(plan)) {
        LOG_ERROR() << "Step response: the chosen axis's configured DAC channel"
                    << plan.stimulusWord - 8 << "is not 0 to 3";
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The DAC output of the chosen axis in the "
                                            "configuration is not a channel 1 to 4."));
        return;
    }
    const QString refused = refusal(plan);
    if (!refused.isEmpty()) {
        LOG_WARN() << "Step response refused:" << refused;
        QMessageBox::warning(this, windowTitle(), refused);
        return;
    }

    const auto displayMissing = [](int dac) {
        QMessageBox::critical(nullptr, kCannotOpenTitle,
                              QStringLiteral("System file /dev/nivra_dma_displ could not be opened.\n\n"
                                             "Please check if NIVRA driver is loaded.\n"
                                             "Application will now quit.\n"));
        QCoreApplication::exit(EXIT_FAILURE);   // not mistaken for a normal end
        if (dac >= 0)
            DeviceNode::close(dac);
    };
    const int dac = DeviceNode::open(DeviceNodeName::Dac, O_RDWR | O_SYNC);
    int display = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    if (display < 0) {
        displayMissing(dac);
        return;
    }
    if (dac < 0) {
        // Without the DAC no step is written: the analysis would report the noise.
        LOG_ERROR() << "Step response: cannot open" << DeviceNodeName::Dac;
        DeviceNode::close(display);
        QMessageBox::critical(this, kCannotOpenTitle,
                              QStringLiteral("System file /dev/nivra_vennick0 could not be opened.\n\n"
                                             "Please check if NIVRA driver is loaded.\n"));
        return;
    }
    // Only checked so far: a reader open across the rate switch would have its
    // stream restart there, before the first output is written.
    DeviceNode::close(display);

    // A switch that fails stops the run before the step is written.
    const bool feedbackOff = mailboxComm->pidStatus == PID_FEEDBACK_OFF
                             || OutputsHandOver::feedbackOff(this, kName);
    if (!feedbackOff || !raiseDisplayRate()) {
        showNoResult();
        DeviceNode::close(dac);
        return;
    }

    display = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    if (display < 0) {
        displayMissing(dac);
        return;
    }

    measure(dac, display, plan);
    DeviceNode::close(dac);
    DeviceNode::close(display);
}

void WindowStepResponse::measure(int dac, int display, const StepPlan &plan)
{
    std::vector<DisplayRecord> buffer(kRecords);
    if (!OutputsHandOver::outputsToHost(this, kName)) {
        showNoResult();
        return;
    }

    OutputsHandOver::setOutputs(dac, plan.a);
    QThread::msleep(kBiasMs);
    OutputsHandOver::setOutputs(dac, plan.b);
    QThread::msleep(kStepMs);
    OutputsHandOver::setOutputs(dac, plan.a);
    QThread::msleep(kTailMs);

    const ssize_t got = DeviceNode::read(display, buffer.data(), kReadBytes);
    if (got < 0)
        std::perror("read failed");
    // What was recorded stays a result when the outputs cannot be handed back: it
    // was measured; the operator is told where the outputs stay.
    OutputsHandOver::outputsToFeedback(this, kName);

    // The last record read is not used. Only records actually delivered are
    // analysed; a failed or very short read leaves nothing to measure.
    const int delivered = got > 0 ? static_cast<int>(std::min<ssize_t>(got / ssize_t(sizeof(DisplayRecord)), kRecords)) : 0;
    const int n = delivered - 1;
    if (n < 10) {
        LOG_ERROR() << "Step response: display read gave" << got << "bytes";
        showNoResult();
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The display data could not be read: "
                                            "no step response was measured."));
        return;
    }

    QVector<double> stimulus(n), response(n);
    for (int k = 0; k < n; ++k) {
        stimulus[k] = buffer[k].word(plan.stimulusWord);
        response[k] = buffer[k].word(plan.responseWord);
    }
    analyse(stimulus, response, plan.bias, plan.step);
}

bool WindowStepResponse::raiseDisplayRate()
{
    // The live displays time their samples by SAMP_FREQ: it changes only with the
    // controller's rate.
    const int previous = SAMP_FREQ;
    SAMP_FREQ = kSampleRate;
    if (mailboxComm->setDisplayFreq(1) >= 0)
        return true;
    SAMP_FREQ = previous;
    OutputsHandOver::stoppedBy(this, kName, QStringLiteral("setDisplayFreq(1)"),
                               QStringLiteral("The display stream could not be switched to %1 Hz; "
                                              "nothing was measured.")
                                   .arg(kSampleRate));
    return false;
}

void WindowStepResponse::showNoResult()
{
    m_stimulusData->clear();
    m_responseData->clear();
    for (QLabel *l : {ui->dclabel, ui->dulabel, ui->Klabel, ui->Tdeadlabel, ui->Tsetlabel,
                      ui->invertedLabel})
        l->clear();
    for (QCPAbstractItem *item : markers())
        item->setVisible(false);
    ui->graph->replot(QCustomPlot::rpQueuedReplot);
}

QList<QCPAbstractItem *> WindowStepResponse::markers() const
{
    return {m_riseLine, m_deadArrow, m_riseArrow, m_amplitudeArrow,
            m_deadText, m_settleText, m_amplitudeText};
}

void WindowStepResponse::analyse(const QVector<double> &stimulus, QVector<double> response,
                                 double bias, double step)
{
    const int n = response.size();
    const double rate = kSampleRate;
    const StepResponseAnalysis::Result r =
        StepResponseAnalysis::analyse(stimulus, response, bias, step, rate);
    if (r.inverted)
        ui->invertedLabel->setText(QStringLiteral("Inverted display"));
    else
        ui->invertedLabel->clear();

    // Each run shows its own record: points of earlier runs would lie on the same
    // times.
    QVector<QCPGraphData> stimulusPoints(n), responsePoints(n);
    for (int k = 0; k < n; ++k) {
        const double t = k / rate;
        responsePoints[k] = QCPGraphData(t, response[k]);
        stimulusPoints[k] = QCPGraphData(t, stimulus[k]);
    }
    m_responseData->set(responsePoints, true);
    m_stimulusData->set(stimulusPoints, true);
    ui->graph->graph(0)->setData(m_stimulusData);
    ui->graph->graph(1)->setData(m_responseData);

    ui->dulabel->setText(formatted(step));
    for (QCPAbstractItem *item : markers())
        item->setVisible(r.resolved);
    if (!r.resolved) {
        // Numbers taken from the beam's own motion would look like a measurement.
        for (QLabel *l : {ui->dclabel, ui->Klabel, ui->Tdeadlabel, ui->Tsetlabel})
            l->setText(kNotResolved);
        LOG_WARN() << "Step response: the step of" << step << "V is not resolved; uncertainty of"
                   << "the gain" << r.gainSigma * 100 << "%, the dead time" << r.deadSigma * 1000
                   << "ms, the rise time" << r.riseSigma * 1000 << "ms";
        ui->graph->rescaleAxes();
        ui->graph->replot(QCustomPlot::rpQueuedReplot);
        return;
    }

    const double y0 = r.y0, y1 = r.y1, dc = y1 - y0;
    const double tS = r.tS, t10 = r.t10, t90 = r.t90;
    const double tDead = t10 - tS;
    const double tSet = t90 - t10;
    const double tMax = std::max(tDead, tSet);

    ui->dclabel->setText(formatted(dc));
    ui->Klabel->setText(formatted(dc / step));
    ui->Tdeadlabel->setText(formatted(tDead * 1000) + QStringLiteral(" ms"));
    ui->Tsetlabel->setText(formatted(tSet * 1000) + QStringLiteral(" ms"));

    const double yArrows = y0 - 0.1 * dc;
    m_riseLine->start->setCoords(t10, y0);
    m_riseLine->end->setCoords(t90, y1);
    m_deadArrow->start->setCoords(tS, yArrows);
    m_deadArrow->end->setCoords(t10, yArrows);
    m_deadText->position->setCoords((tS + t10) / 2, yArrows);
    m_riseArrow->start->setCoords(t10, yArrows);
    m_riseArrow->end->setCoords(t90, yArrows);
    m_settleText->position->setCoords((t10 + t90) / 2, yArrows);
    const double xAmplitude = t90 + 0.3 * tMax;
    m_amplitudeArrow->start->setCoords(xAmplitude, y0);
    m_amplitudeArrow->end->setCoords(xAmplitude, y1);
    m_amplitudeText->position->setCoords(xAmplitude, (y0 + y1) / 2);

    ui->graph->xAxis->setRange(tS - 0.2 * tMax, t90 + tMax);
    ui->graph->yAxis->setRange(bias - 0.2 * step, bias + 1.2 * step);
    ui->graph->yAxis2->setRange(y0 - 0.2 * dc, y0 + 1.2 * dc);
    ui->graph->replot(QCustomPlot::rpQueuedReplot);
}
