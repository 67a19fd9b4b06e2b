#include "WindowFrequencyAnalysis.h"
#include "ui_WindowFrequencyAnalysis.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPointer>
#include <QTextStream>
#include <QThread>

#include <fcntl.h>

#include <cmath>
#include <cstdint>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "EncoderBoxes.h"
#include "FrequencyAnalysisWorker.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "OutputsGuard.h"
#include "SavedFile.h"
#include "OutputsHandOver.h"
#include "ReturnKeyFilter.h"
#include "ShutdownReport.h"

namespace {

const QString kName = QStringLiteral("Frequency Analysis");
constexpr int kMinPoints = 2;
constexpr int kMaxPoints = 1001;
constexpr int kEndWaitMs = 5000;

QPen whitePen()
{
    return QPen(QBrush(Qt::white), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

QSharedPointer<QCPAxisTickerLog> logTicker()
{
    QSharedPointer<QCPAxisTickerLog> ticker(new QCPAxisTickerLog);
    ticker->setLogBase(10);
    ticker->setSubTickCount(8);
    ticker->setTickCount(4);
    return ticker;
}

void styleAxis(QCPAxis *axis)
{
    axis->setBasePen(whitePen());
    axis->setTickPen(whitePen());
    axis->setSubTickPen(whitePen());
    axis->setTickLabelColor(Qt::white);
    axis->setLabelColor(Qt::white);
    axis->grid()->setSubGridVisible(true);
}

} // namespace

WindowFrequencyAnalysis::WindowFrequencyAnalysis(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::WindowFrequencyAnalysis),
      m_palette{QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
                QColor(255, 255, 0), QColor(0, 255, 255), QColor(255, 0, 255)}
{
    ui->setupUi(this);
    ReturnKeyFilter::install(this);

    setUpPlot(ui->graphMg, QStringLiteral("Magnitude"));
    ui->graphMg->yAxis->setScaleType(QCPAxis::stLogarithmic);
    ui->graphMg->yAxis->setTicker(logTicker());
    ui->graphMg->yAxis->setNumberFormat(QStringLiteral("e"));
    ui->graphMg->yAxis->setNumberPrecision(2);

    setUpPlot(ui->graphPh, QStringLiteral("Phase [deg]"));
    ui->graphPh->yAxis->setScaleType(QCPAxis::stLinear);
    ui->graphPh->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    ui->graphPh->yAxis->setRange(-360.0, 360.0);
    ui->graphPh->yAxis->setNumberFormat(QStringLiteral("f"));
    ui->graphPh->yAxis->setNumberPrecision(2);

    connect(ui->StartSweepPushButton, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotStartSweepPushButton);
    connect(ui->StopSweepPushButton, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotStopSweepPushButton);
    connect(ui->outputChComboBox, &QComboBox::currentIndexChanged, this,
            &WindowFrequencyAnalysis::outputChComboBoxChanged);
    connect(ui->inputChComboBox, &QComboBox::currentIndexChanged, this,
            &WindowFrequencyAnalysis::inputChComboBoxChanged);
    connect(ui->plotsTree, &QTreeWidget::itemChanged, this,
            &WindowFrequencyAnalysis::onPlotsTreeItemChanged);
    connect(ui->exportMeasPushButton, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotExportMeasPushButton);
    connect(ui->useBPMscalingCheckBox, &QCheckBox::stateChanged, this,
            &WindowFrequencyAnalysis::slotUseBPMscalingCheckBox);
    connect(ui->pushButtonAutoscale, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotPushButtonAutoscale);
    connect(ui->clearGraphsPushButton, &QPushButton::clicked, this,
            &WindowFrequencyAnalysis::slotClearGraphsPushButton);

    // A sweep asked to stop as the program leaves has ended before main's last
    // switches: the generator goes off after the sweep's own last step, not before it.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowFrequencyAnalysis::endSweepNow);

    outputChComboBoxChanged();
    inputChComboBoxChanged();
    m_useScaling = ui->useBPMscalingCheckBox->isChecked();
    ui->progressBar->setValue(0);
    ui->StopSweepPushButton->setEnabled(false);
}

WindowFrequencyAnalysis::~WindowFrequencyAnalysis()
{
    // A sweep still running reads its node and drives the generator from its own
    // thread: end it before the thread object (a child of this window) goes, and
    // before the generator goes off, which the sweep's last step could undo.
    endSweepNow();
    ShutdownReport::generatorOff(funcGenEnable(0) >= 0);
    delete ui;
}

void WindowFrequencyAnalysis::setUpPlot(QCustomPlot *plot, const QString &valueLabel)
{
    plot->xAxis->setLabel(QStringLiteral("Frequency [Hz]"));
    plot->xAxis->setScaleType(QCPAxis::stLogarithmic);
    plot->xAxis->setTicker(logTicker());
    plot->xAxis->setRange(1.0, 100.0);
    plot->yAxis->setLabel(valueLabel);

    QLinearGradient gradient(0, 0, 0, 200);
    gradient.setColorAt(0, QColor(100, 100, 100));
    gradient.setColorAt(1, QColor(30, 30, 30));
    plot->setBackground(QBrush(gradient));

    styleAxis(plot->xAxis);
    styleAxis(plot->yAxis);

    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectAxes | QCP::iSelectLegend
                          | QCP::iSelectPlottables);
    plot->setNoAntialiasingOnDrag(true);
    plot->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
}

void WindowFrequencyAnalysis::showWindow()
{
    outputChComboBoxChanged();
    inputChComboBoxChanged();
    getOutputChValue();
    show();
}

int WindowFrequencyAnalysis::getOutputRecordIndex(int *channel)
{
    // A failed read gives no channel (-1): a guessed one would drive an output the
    // loop may not use.
    std::uint8_t x = 0, y = 0, i0 = 0;
    const bool known = getPIDoutSel(&x, &y, &i0) >= 0;
    const int ch = !known ? -1 : ui->outputChComboBox->currentText() == QLatin1String("x") ? x : y;
    if (channel)
        *channel = ch;
    if (ch < 0 || ch > 3)
        return -1;
    return 8 + ch;
}

void WindowFrequencyAnalysis::bpmSources(int *xBpm, int *yBpm)
{
    int x = 0, y = 0, i0 = 0;
    mailboxComm->getBPMselector(&x, &y, &i0);
    // Any selector other than 0 means BPM2; the scale arrays have two entries.
    *xBpm = x != 0 ? 1 : 0;
    *yBpm = y != 0 ? 1 : 0;
}

int WindowFrequencyAnalysis::getInputRecordIndex()
{
    int xBpm = 0, yBpm = 0;
    bpmSources(&xBpm, &yBpm);
    if (ui->inputChComboBox->currentText() == QLatin1String("x"))
        return xBpm ? 4 : 0;
    return yBpm ? 5 : 1;
}

void WindowFrequencyAnalysis::getBPMScale()
{
    int xBpm = 0, yBpm = 0;
    bpmSources(&xBpm, &yBpm);
    if (ui->inputChComboBox->currentText() == QLatin1String("x"))
        m_scale = BPM_SCALE_X[xBpm];
    else
        m_scale = BPM_SCALE_Y[yBpm];
}

void WindowFrequencyAnalysis::outputChComboBoxChanged()
{
    int channel = 0;
    const bool valid = getOutputRecordIndex(&channel) >= 0;
    ui->outVennickChLineEdit->setText(valid ? QStringLiteral("OUT") + QString::number(channel + 1) : QString());
    getOutputChValue();
}

void WindowFrequencyAnalysis::inputChComboBoxChanged()
{
    int xBpm = 0, yBpm = 0;
    bpmSources(&xBpm, &yBpm);
    if (ui->inputChComboBox->currentText() == QLatin1String("x")) {
        ui->inBpmChLineEdit->setText(QString::number(xBpm + 1));
        ui->inOscalonChLineEdit->setText(QStringLiteral("X"));
    } else {
        ui->inBpmChLineEdit->setText(QString::number(yBpm + 1));
        ui->inOscalonChLineEdit->setText(QStringLiteral("Y"));
    }
}

void WindowFrequencyAnalysis::getOutputChValue()
{
    int channel = 0;
    getOutputRecordIndex(&channel);

    // These voltages become the sweep's offsets: keep the last good ones rather than
    // drive the outputs to whatever an unread record would hold.
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    if (fd < 0) {
        LOG_WARN() << "Frequency analysis: cannot open" << DeviceNodeName::Display;
    } else {
        DisplayRecord record;
        const ssize_t got = DeviceNode::read(fd, &record, sizeof record);
        DeviceNode::close(fd);
        if (got == static_cast<ssize_t>(sizeof record)) {
            for (int c = 0; c < 4; ++c)
                m_outputVoltages[c] = record.dac[c];
        } else {
            LOG_WARN() << "Frequency analysis: cannot read the output voltages";
        }
    }

    if (channel >= 0 && channel < 4)
        ui->offsetspinBox->setText(
            QString::number(m_outputVoltages[channel], 'g', 6).replace(QLatin1Char('.'), QLatin1Char(',')));
    else
        ui->offsetspinBox->clear();
}

int WindowFrequencyAnalysis::checkInputs()
{
    const int n = ui->lengthLineEdit->text().toInt(nullptr, 10);
    const double start = ui->startFreqLineEdit->text().toDouble();
    const double stop = ui->stopFreqLineEdit->text().toDouble();

    // Written as "inside the range" so that a text reading as not-a-number fails too.
    if (!(start >= 0.1 && start <= 500.0)) {
        QMessageBox::critical(this, QStringLiteral("Start frequency not allowed ...\n"),
                              QStringLiteral("Range of allowed Start frequency values: [0.1, 500] Hz  \n\n"),
                              QMessageBox::Ok);
        return -1;
    }
    if (!(stop >= 1.0 && stop <= 1000.0)) {
        QMessageBox::critical(this, QStringLiteral("Stop frequency not allowed ...\n"),
                              QStringLiteral("Range of allowed Stop frequency values: [1, 1000] Hz  \n\n"),
                              QMessageBox::Ok);
        return -1;
    }
    if (start >= stop) {
        QMessageBox::critical(this, QStringLiteral("Start/Stop frequency not allowed ...\n"),
                              QStringLiteral("Stop freq must always be greater than Start freq! \n\n"),
                              QMessageBox::Ok);
        return -1;
    }
    if (n < kMinPoints || n > kMaxPoints) {
        QMessageBox::critical(this, QStringLiteral("Number of frequency points not allowed ...\n"),
                              QStringLiteral("Range of allowed frequency points: [2, 1001]   \n\n"),
                              QMessageBox::Ok);
        return -1;
    }

    arma::vec f(n);
    if (ui->sweepTypeComboBox->currentText() == QLatin1String("lin")) {
        for (int i = 0; i < n - 1; ++i)
            f(i) = start + i * (stop - start) / (n - 1);
        f(n - 1) = stop;
    } else {
        const double a = std::log10(start);
        const double b = std::log10(stop);
        for (int i = 0; i < n - 1; ++i)
            f(i) = std::pow(10.0, a + i * (b - a) / (n - 1));
        f(n - 1) = std::pow(10.0, b);
    }
    m_frequencies = f;
    return n;
}

int WindowFrequencyAnalysis::addPlot()
{
    const int plotId = m_plotCounter;
    const QString name = QStringLiteral("plot_%1_%2_%3")
                             .arg(ui->outputChComboBox->currentText(), ui->inputChComboBox->currentText())
                             .arg(plotId);

    // Ticked before it joins the tree, so that no itemChanged arrives for graphs
    // that do not exist yet.
    auto *item = new QTreeWidgetItem(QStringList{name});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(0, Qt::Checked);
    ui->plotsTree->insertTopLevelItem(plotId, item);
    item->setSelected(true);

    const QPen pen(QBrush(m_palette.at(plotId % m_palette.size())), 1, Qt::SolidLine, Qt::SquareCap,
                   Qt::BevelJoin);
    QCPGraph *magnitude = ui->graphMg->addGraph(ui->graphMg->xAxis, ui->graphMg->yAxis);
    QCPGraph *phase = ui->graphPh->addGraph(ui->graphPh->xAxis, ui->graphPh->yAxis);
    for (QCPGraph *graph : {magnitude, phase}) {
        graph->setPen(pen);
        graph->setAntialiased(false);
    }

    QSharedPointer<QCPGraphDataContainer> magnitudeData(new QCPGraphDataContainer);
    QSharedPointer<QCPGraphDataContainer> phaseData(new QCPGraphDataContainer);
    magnitude->setData(magnitudeData);
    phase->setData(phaseData);
    m_magnitudeData.append(magnitudeData);
    m_phaseData.append(phaseData);

    ++m_plotCounter;
    return plotId;
}

void WindowFrequencyAnalysis::slotStartSweepPushButton()
{
    // One sweep at a time: the running worker holds the display rate and the generator.
    if (m_worker)
        return;

    // One procedure at a time holds the DAC outputs; a refused sweep sends nothing.
    OutputsGuard::Claim claim(this, kName, OutputsGuard::Runs::Beside,
                              [this] { slotStopSweepPushButton(); });
    if (!claim) {
        OutputsGuard::showRefusal(this, kName);
        return;
    }

    // A status that could not be read is not taken for a running loop, nor for a
    // stopped one.
    const int status = mailboxComm->pidStatus;
    if (status < PID_FEEDBACK_OFF || status > PID_FEEDBACK_ON) {
        QMessageBox::critical(this, QStringLiteral("PID status unknown"),
                              QStringLiteral("The PID status could not be read, so it is not known "
                                             "whether the feedback runs.\n\nTry again."));
        return;
    }
    if (status != PID_FEEDBACK_OFF) {
        QMessageBox::critical(this, QStringLiteral("PID Running"),
                              QStringLiteral("Stop feedback before Frequency Analysis"));
        return;
    }

    if (checkInputs() <= 0)
        return;

    int outputChannel = 0;
    if (getOutputRecordIndex(&outputChannel) < 0) {
        QMessageBox::critical(this, QStringLiteral("Error"),
                              outputChannel == -1
                                  ? QStringLiteral("Cannot read which DAC output the loops drive.")
                                  : QStringLiteral("The DAC output of the chosen loop is not a channel 1 to 4."));
        return;
    }

    // A BPM without its encoder box streams zeros: there would be nothing to measure.
    int xBpm = 0, yBpm = 0;
    bpmSources(&xBpm, &yBpm);
    const int bpm = ui->inputChComboBox->currentText() == QLatin1String("x") ? xBpm : yBpm;
    const EncoderBoxes boxes = EncoderBoxes::read();
    if (!boxes.shows(bpm)) {
        // An answer that could not be read is not taken for a missing box.
        const QString text =
            boxes.known ? QStringLiteral("BPM %1 has no encoder box: there is nothing to measure.")
                        : QStringLiteral("The controller did not say which BPMs have an encoder box, "
                                         "so BPM %1 cannot be checked.\n\nTry again.");
        QMessageBox::critical(this, QStringLiteral("Error"), text.arg(bpm + 1));
        return;
    }

    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    if (fd < 0) {
        QMessageBox::critical(this, QStringLiteral("Error"),
                              QStringLiteral("Cannot open /dev/nivra_dma_displ"));
        return;
    }

    bool displayMode = false;
    mailboxComm->getDisplayFreq(&displayMode);
    const int inputWord = getInputRecordIndex();
    getBPMScale();

    QList<float> amplitudes;
    QList<float> offsets;
    for (int c = 0; c < 4; ++c) {
        amplitudes.append(c == outputChannel ? static_cast<float>(ui->amplspinBox->value()) : 0.0f);
        offsets.append(static_cast<float>(m_outputVoltages[c]));
    }

    const int plotId = addPlot();

    ui->StartSweepPushButton->setEnabled(false);
    ui->StopSweepPushButton->setEnabled(true);
    ui->progressBar->setValue(0);

    auto *thread = new QThread(this);
    auto *worker = new FrequencyAnalysisWorker(fd, &m_frequencies, displayMode, plotId, outputChannel,
                                               amplitudes, offsets, inputWord, m_useScaling, m_scale,
                                               nullptr);
    m_worker = worker;
    m_thread = thread;
    worker->moveToThread(thread);

    connect(thread, &QThread::started, worker, &FrequencyAnalysisWorker::run);
    connect(worker, &FrequencyAnalysisWorker::progressUpdated, ui->progressBar, &QProgressBar::setValue);
    connect(worker, &FrequencyAnalysisWorker::frequencyStepDone, this,
            &WindowFrequencyAnalysis::onFrequencyStepDone);
    connect(worker, &FrequencyAnalysisWorker::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // The worker is deleted by sweepEnded on this thread, after it is forgotten here,
    // unless endSweepNow has ended the sweep (and deleted it) before this arrives.
    connect(worker, &FrequencyAnalysisWorker::finished, this,
            [this, thread, worker = QPointer<FrequencyAnalysisWorker>(worker)]() {
                if (worker)
                    sweepEnded(thread, worker);
            });

    claim.keep();   // given back when the sweep has ended
    thread->start(QThread::InheritPriority);
}

void WindowFrequencyAnalysis::sweepEnded(QThread *thread, FrequencyAnalysisWorker *worker)
{
    ui->StartSweepPushButton->setEnabled(true);
    ui->StopSweepPushButton->setEnabled(false);
    if (m_worker == worker) {
        m_worker = nullptr;
        m_thread = nullptr;
        OutputsGuard::release(this);
    }
    // The queued quit normally came first; asking again keeps this wait from
    // depending on the order the two notices arrive in. Once the thread has ended
    // nothing runs in the worker.
    thread->quit();
    thread->wait();
    tellEnd(worker);
}

void WindowFrequencyAnalysis::tellEnd(FrequencyAnalysisWorker *worker)
{
    const QString call = worker->failedCall();
    const QString consequence = worker->failureConsequence();
    const int output = worker->outputLeftDriven();
    if (worker->generatorSwitched())
        ShutdownReport::generatorOff(output < 0,
                                     QStringLiteral("%1: funcGenEnable(0) failed: the function "
                                                    "generator may still drive DAC output %2.")
                                         .arg(kName)
                                         .arg(output + 1));
    delete worker;
    if (!call.isEmpty())
        OutputsHandOver::stoppedBy(this, kName, call,
                                   consequence + QStringLiteral("\n\nThe points measured until then are shown."));
}

void WindowFrequencyAnalysis::endSweepNow()
{
    if (!m_worker)
        return;
    m_worker->stop();
    m_thread->quit();
    // The worker sees a stop within one short piece of its read. Should a device
    // call never return, the program still ends: the thread is left to it.
    if (m_thread->wait(QDeadlineTimer(kEndWaitMs))) {
        tellEnd(m_worker);
    } else {
        LOG_ERROR() << "Frequency analysis: the sweep did not end within" << kEndWaitMs << "ms";
        m_thread->setParent(nullptr);
    }
    m_worker = nullptr;
    m_thread = nullptr;   // a child of this window: it goes with it
    OutputsGuard::release(this);
}

void WindowFrequencyAnalysis::slotStopSweepPushButton()
{
    if (!m_worker)
        return;
    ui->progressBar->setValue(0);
    m_worker->stop();
}

void WindowFrequencyAnalysis::onPlotsTreeItemChanged(QTreeWidgetItem *item, int col)
{
    const int index = ui->plotsTree->indexOfTopLevelItem(item);
    const bool visible = item && item->checkState(col) == Qt::Checked;
    for (QCustomPlot *plot : {ui->graphMg, ui->graphPh}) {
        if (index >= 0 && index < plot->graphCount())
            plot->graph(index)->setVisible(visible);
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void WindowFrequencyAnalysis::slotExportMeasPushButton()
{
    const QList<QTreeWidgetItem *> selected = ui->plotsTree->selectedItems();
    if (selected.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("0 selected graphs ...\n"),
                              QStringLiteral("There are no selected graphs!  \n\n"));
        return;
    }

    QString baseName = QFileDialog::getSaveFileName(this, QStringLiteral("Select a file to export the data"),
                                                    QString(),
                                                    QStringLiteral("CSV files (*.csv);;All Files (*)"),
                                                    nullptr, QFileDialog::DontConfirmOverwrite);
    if (baseName.isEmpty())
        return;
    if (baseName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        baseName.chop(4);

    // Every file that does not open or not take all of its data is named to the
    // operator; the other selected plots are still written.
    QStringList failures;
    for (QTreeWidgetItem *item : selected) {
        const int index = ui->plotsTree->indexOfTopLevelItem(item);
        if (index < 0 || index >= m_magnitudeData.size() || index >= m_phaseData.size())
            continue;

        QFile file(baseName + QLatin1Char('_') + item->text(0) + QStringLiteral(".csv"));
        // Plot names start again after "Clear graphs", so a name may well belong to
        // an earlier sweep: nothing is replaced unless the operator says so.
        if (QFileInfo(file).isFile()
            && QMessageBox::question(this, QStringLiteral("Replace file?"),
                                     QStringLiteral("%1 already exists.\n\nReplace it?").arg(file.fileName()),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                   != QMessageBox::Yes)
            continue;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            failures << file.fileName() + QStringLiteral(": ") + file.errorString();
            continue;
        }

        QTextStream out(&file);
        out << (m_useScaling ? "frequency [Hz], amplitude [um/um], phase [deg]\n"
                             : "frequency [Hz], amplitude [um], phase [deg]\n");
        const QCPGraphDataContainer &magnitude = *m_magnitudeData.at(index);
        const QCPGraphDataContainer &phase = *m_phaseData.at(index);
        auto m = magnitude.constBegin();
        auto p = phase.constBegin();
        for (; m != magnitude.constEnd() && p != phase.constEnd(); ++m, ++p)
            out << m->key << "," << m->value << "," << p->value << "\n";
        QString error;
        if (!SavedFile::close(out, file, &error))
            failures << file.fileName() + QStringLiteral(": ") + error;
    }
    if (!failures.isEmpty()) {
        LOG_WARN() << "Frequency analysis export failed:" << failures.join(QStringLiteral("; "));
        QMessageBox::warning(this, QStringLiteral("Export failed"),
                             QStringLiteral("These files could not be written completely:\n\n")
                                 + failures.join(QLatin1Char('\n')));
    }
}

void WindowFrequencyAnalysis::slotUseBPMscalingCheckBox(int state)
{
    Q_UNUSED(state);
    m_useScaling = ui->useBPMscalingCheckBox->isChecked();
}

void WindowFrequencyAnalysis::slotPushButtonAutoscale()
{
    for (QCustomPlot *plot : {ui->graphMg, ui->graphPh}) {
        plot->rescaleAxes(false);
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void WindowFrequencyAnalysis::slotClearGraphsPushButton()
{
    ui->graphMg->clearGraphs();
    ui->graphPh->clearGraphs();
    m_magnitudeData.clear();
    m_phaseData.clear();
    ui->plotsTree->clear();
    m_plotCounter = 0;
    ui->graphMg->replot(QCustomPlot::rpQueuedReplot);
    ui->graphPh->replot(QCustomPlot::rpQueuedReplot);
}

void WindowFrequencyAnalysis::onFrequencyStepDone(int graph_id, double freq, double amp, double pha)
{
    if (graph_id < 0 || graph_id >= m_magnitudeData.size() || graph_id >= m_phaseData.size())
        return;
    m_magnitudeData.at(graph_id)->add(QCPGraphData(freq, amp));
    m_phaseData.at(graph_id)->add(QCPGraphData(freq, pha));
    slotPushButtonAutoscale();
}

void WindowFrequencyAnalysis::keyPressEvent(QKeyEvent *event)
{
    // Escape would only hide the dialog (reject skips closeEvent): close it instead,
    // so that a running sweep ends with the generator off, as with the title bar.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void WindowFrequencyAnalysis::closeEvent(QCloseEvent *event)
{
    // Closing ends a running sweep too: it would otherwise switch the generator on
    // again at its next frequency behind a hidden window.
    slotStopSweepPushButton();
    ShutdownReport::generatorOff(funcGenEnable(0) >= 0);
    QDialog::closeEvent(event);
}
