#include "MainWindow.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtGlobal>

#include "AcquisitionSettings.h"
#include "BuildNumber.h"
#include "DialogLogin.h"
#include "EncoderBoxes.h"
#include "GraphDataKind.h"
#include "GraphRegistration.h"
#include "HeartBeat.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "OutputsGuard.h"
#include "ShutdownReport.h"
#include "Updater.h"
#include "WidgetFeedbackControl.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphFFT.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphRad.h"
#include "WidgetGraphXY.h"
#include "WidgetPidCtrl.h"
#include "WidgetStats.h"
#include "WindowBeamlineConf.h"
#include "WindowDisplaySettings.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowPIDparams.h"
#include "WindowPico.h"
#include "WindowROC_ROI.h"
#include "WindowRocking3D.h"
#include "WindowRockingCurve.h"
#include "WindowSFPstatus.h"
#include "WindowSaveData.h"
#include "WindowStepResponse.h"
#include "about.h"

namespace {

void reportMissing(const QString &what)
{
    qCritical("%s", qPrintable(what));
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_logWindow(nullptr), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    // Without a central widget the docks fill the whole window.
    ui->centralWidget->deleteLater();

    setWindowTitle(QStringLiteral("NIVRA-ENC Local User Interface v") + BuildNumber::versionText());

    // No current-meter window is ever built, so its action is never offered.
    ui->actionPico_Amp->setVisible(false);

    createChildren();
    fillDocks();
    connectSignals();
    registerGraphs();

    // The engine keeps these two; the current-meter window does not exist.
    if (updater) {
        updater->setBeamlineConf(beamlineConf);
        updater->setWindowPico(windowPico);
    }

    // Bring the feedback widgets up to the controller's state.
    feedbackControl->confChanged(mailboxComm->getPIDconf());
    feedbackControl->updateXYfields();
    heartBeat->updateHeartbeat(static_cast<PID_Status_Type>(static_cast<int>(mailboxComm->pidStatus)));

    // The device link's first reports may have come before these connections existed:
    // ask for the module count again, which applies the encoder-box rule at once.
    mailboxComm->announceDeviceCount();
    // Each graph dock tabbed in came to the front; the group opens on its first tab.
    dockFFT->raise();

    // The level the status panel read while it was being built.
    handleUserLevelChange(userLevel);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::createChildren()
{
    graphXY1 = new WidgetGraphXY(0, this);
    graphXY1->setObjectName(QStringLiteral("graphXY1"));
    graphXY2 = new WidgetGraphXY(1, this);
    graphXY2->setObjectName(QStringLiteral("graphXY2"));
    graphFFT = new WidgetGraphFFT(this, 2);
    graphFFT->setObjectName(QStringLiteral("graphFFT"));

    feedbackControl = new WidgetFeedbackControl(this);
    pidCtrl = new WidgetPidCtrl(this);
    stats = new WidgetStats(this);
    heartBeat = new HeartBeat(this);

    graphCurrents1 = new WidgetGraphCurrents(this, 2);
    graphCurrents1->setObjectName(QStringLiteral("graphCurrents1"));
    graphCurrents2 = new WidgetGraphCurrents(this, 2);
    graphCurrents2->setObjectName(QStringLiteral("graphCurrents2"));
    graphDAC = new WidgetGraphCurrents(this, 4);
    graphDAC->setObjectName(QStringLiteral("graphDAC"));

    dockXY = new QDockWidget(QStringLiteral("Graph XY"), this);
    dockXY->setObjectName(QStringLiteral("dockGraphXY"));
    xyContainer = new QWidget();
    xyLayout = new QHBoxLayout();
    controlContainer = new QWidget();
    controlTabs = new QTabWidget(this);
    controlLayout = new QVBoxLayout();
    addDockWidget(Qt::LeftDockWidgetArea, dockXY);

    dockFFT = new QDockWidget(QStringLiteral("Graph FFT"), this);
    dockFFT->setObjectName(QStringLiteral("dockGraphFFT"));
    addDockWidget(Qt::LeftDockWidgetArea, dockFFT);
    dockControl = new QDockWidget(QStringLiteral("Control"), this);
    dockControl->setObjectName(QStringLiteral("dockControl"));
    addDockWidget(Qt::RightDockWidgetArea, dockControl);

    dockEncoder1 = new QDockWidget(QStringLiteral("Graph Encoder Counts BPM1"), this);
    dockEncoder1->setObjectName(QStringLiteral("dockGraphEncoderCountsBPM1"));
    dockEncoder1->hide();
    dockEncoder2 = new QDockWidget(QStringLiteral("Graph Encoder Counts BPM2"), this);
    dockEncoder2->setObjectName(QStringLiteral("dockGraphEncoderCountsBPM2"));
    dockEncoder2->hide();

    graphPosX = new WidgetGraphPos(this, 0, 2);
    graphPosX->setObjectName(QStringLiteral("graphPosX"));
    graphPosY = new WidgetGraphPos(this, 1, 2);
    graphPosY->setObjectName(QStringLiteral("graphPosY"));
    graphRadX = new WidgetGraphRad(this, 0, 2);
    graphRadX->setObjectName(QStringLiteral("graphRadX"));
    graphRadY = new WidgetGraphRad(this, 1, 2);
    graphRadY->setObjectName(QStringLiteral("graphRadY"));

    // Kept for the whole run, hidden until their actions show them.
    beamlineConf = new WindowBeamlineConf(this);
    windowPIDparams = new WindowPIDparams(this);
    rocRoi = new WindowROC_ROI(this);
    stepResponse = new WindowStepResponse(this);
    displaySettings = new WindowDisplaySettings(this);
    manOutCtrl = new WindowManOutCtrl(this);
    frequencyAnalysis = new WindowFrequencyAnalysis(this);
    sfpStatus = new WindowSFPstatus(this);
}

void MainWindow::fillDocks()
{
    xyLayout->addWidget(graphXY1);
    xyLayout->addWidget(graphXY2);
    xyContainer->setLayout(xyLayout);
    dockXY->setWidget(xyContainer);
    dockXY->show();

    dockFFT->setWidget(graphFFT);

    dockXY->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    dockFFT->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    // Fixed from the form's height, before the window is maximised.
    dockFFT->setMaximumHeight((3 * height()) / 4);

    controlTabs->addTab(feedbackControl, QStringLiteral("Feedback"));
    controlTabs->addTab(pidCtrl, QStringLiteral("PID Params"));
    controlTabs->addTab(stats, QStringLiteral("Stats"));

    controlLayout->addWidget(heartBeat);
    controlLayout->addWidget(controlTabs);
    controlContainer->setLayout(controlLayout);
    dockControl->setWidget(controlContainer);
    dockControl->setFixedWidth(340);

    // The XY graphs follow the encoder boxes from the start; the rest waits for the
    // full rule once everything is wired.
    const EncoderBoxes boxes = EncoderBoxes::read();
    const bool bpm1 = boxes.shows(0);
    const bool bpm2 = boxes.shows(1);
    graphXY1->setVisible(bpm1);
    graphXY2->setVisible(bpm2);
}

void MainWindow::connectSignals()
{
    connect(ui->action_Exit, &QAction::triggered, this, &MainWindow::Exit);
    connect(ui->action_Display_Settings, &QAction::triggered, this, &MainWindow::showDispSettings);
    connect(ui->actionPico_Amp, &QAction::triggered, this, &MainWindow::showPicoWindow);
    connect(ui->action_Beamline_Settings, &QAction::triggered, this, &MainWindow::showBeamlineConf);
    connect(ui->action_PID_Parameters, &QAction::triggered, this, &MainWindow::showPIDparams);
    connect(ui->action_ROC_ROI, &QAction::triggered, this, &MainWindow::showROCwindow);
    connect(ui->actionSFP_info, &QAction::triggered, this, &MainWindow::showSFPinfo);
    connect(ui->action_Login, &QAction::triggered, this, &MainWindow::showLoginDialog);
    connect(ui->action_Rocking_Curve, &QAction::triggered, this, &MainWindow::showRockCurve);
    connect(ui->actionRocking_Curve_3D, &QAction::triggered, this, &MainWindow::showRockCurve3D);
    connect(ui->actionStep_Response, &QAction::triggered, this, &MainWindow::showStepResponse);
    connect(ui->actionFrequency_Analysis, &QAction::triggered, this,
            &MainWindow::showFrequencyAnalysisWindow);
    connect(ui->actionManual_Output_Control, &QAction::triggered, this,
            &MainWindow::showManualOutputControl);
    connect(ui->action_Save_Data, &QAction::triggered, this, &MainWindow::showSaveDataWindow);
    connect(ui->action_Log, &QAction::triggered, this, &MainWindow::showLogWindow);
    connect(ui->action_About, &QAction::triggered, this, &MainWindow::showAboutDialog);

    // Emitted on the device-link thread: reaches these queued, on this thread.
    connect(mailboxComm, &MailboxComm::nrTovashesChanged, this, &MainWindow::nr_tovashes_changed);
    connect(mailboxComm, &MailboxComm::nrTovashesChanged, beamlineConf,
            &WindowBeamlineConf::nr_tovashes_changed);
    connect(mailboxComm, &MailboxComm::nrTovashesChanged, rocRoi, &WindowROC_ROI::nrTovashesChanged);
    connect(mailboxComm, &MailboxComm::nrTovashesChanged, stats, &WidgetStats::nr_tovashes_changed);

    // The PID editors show the DAC channel each loop drives, as last sent.
    connect(feedbackControl, &WidgetFeedbackControl::updateDACLabel, pidCtrl,
            &WidgetPidCtrl::updateDACLabel);
}

void MainWindow::connectUserLevelSignals()
{
    // The same receivers, in the same order, for both sources of the level.
    auto connectLevel = [this](auto *source, auto signal) {
        connect(source, signal, feedbackControl, &WidgetFeedbackControl::checkUserLevel);
        connect(source, signal, pidCtrl, &WidgetPidCtrl::enableAndDisableFields);
        connect(source, signal, rocRoi, &WindowROC_ROI::checkUserLevel);
        connect(source, signal, beamlineConf, &WindowBeamlineConf::checkUserLevel);
        connect(source, signal, this, &MainWindow::handleUserLevelChange);
    };
    if (dialogLogin)
        connectLevel(dialogLogin, &DialogLogin::userLevelChanged);
    connectLevel(heartBeat, &HeartBeat::userLevelChanged);
}

// --- Graph wiring ---

void MainWindow::placeGraphDock(QDockWidget *dock, QWidget *graph)
{
    dock->setWidget(graph);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    tabifyDockWidget(dockFFT, dock);
}

QDockWidget *MainWindow::newGraphDock(const QString &title, QWidget *graph)
{
    auto *dock = new QDockWidget(title, this);
    dock->setObjectName(QStringLiteral("dock") + QString(title).remove(QLatin1Char(' ')));
    placeGraphDock(dock, graph);
    return dock;
}

void MainWindow::registerGraphs()
{
    registerXYGraphs();
    registerSpectrumGraph();
    registerEncoderGraphs();
    registerDACGraph();
    const QString position = QStringLiteral("Position [um]");
    const QString angle = QStringLiteral("Angle [urad]");
    const QStringList xNames{QStringLiteral("X (BPM1)"), QStringLiteral("X (BPM2)")};
    const QStringList yNames{QStringLiteral("Y (BPM1)"), QStringLiteral("Y (BPM2)")};
    registerBpmTimeGraph(graphPosX, GraphPositionX, QStringLiteral("graphPosX"),
                         QStringLiteral("Graph Position X"), position, xNames);
    registerBpmTimeGraph(graphPosY, GraphPositionY, QStringLiteral("graphPosY"),
                         QStringLiteral("Graph Position Y"), position, yNames);
    registerBpmTimeGraph(graphRadX, GraphAngleX, QStringLiteral("graphRadX"),
                         QStringLiteral("Graph Angle X"), angle, xNames);
    registerBpmTimeGraph(graphRadY, GraphAngleY, QStringLiteral("graphRadY"),
                         QStringLiteral("Graph Angle Y"), angle, yNames);
}

void MainWindow::registerXYGraphs()
{
    if (!graphXY1) {
        reportMissing(QStringLiteral("graphXY1 pointer is null!"));
        return;
    }
    const GraphContainer container1 = graphXY1->graphData();
    if (!container1) {
        reportMissing(QStringLiteral("graphXY1 data container is null!"));
        return;
    }
    graphXY1->resetZoom();
    if (!updater) {
        reportMissing(QStringLiteral("Updater pointer is null!"));
        return;
    }

    auto wireXY = [this](WidgetGraphXY *graph) {
        connect(updater, &Updater::replotGraphs, graph, &WidgetGraphXY::replot);
        connect(feedbackControl, &WidgetFeedbackControl::somethingChanged, graph,
                &WidgetGraphXY::updateGraphXY);
        connect(graph, &WidgetGraphXY::XYchanged, feedbackControl,
                &WidgetFeedbackControl::updateXYfields);
        connect(feedbackControl, &WidgetFeedbackControl::BPMselectorChanged, graph,
                &WidgetGraphXY::updateGraphXY);
    };

    updater->setGraphData(GraphXYBpm1, 0, container1);
    wireXY(graphXY1);

    const GraphContainer container2 = graphXY2 ? graphXY2->graphData() : GraphContainer();
    if (!container2) {
        reportMissing(QStringLiteral("graphXY2 data container is null!"));
        return;
    }
    graphXY2->resetZoom();
    updater->setGraphData(GraphXYBpm2, 0, container2);
    wireXY(graphXY2);
    // A setpoint clicked on one graph may be the one the other graph marks.
    connect(graphXY1, &WidgetGraphXY::XYchanged, graphXY2, &WidgetGraphXY::updateGraphXY);
    connect(graphXY2, &WidgetGraphXY::XYchanged, graphXY1, &WidgetGraphXY::updateGraphXY);
}

void MainWindow::registerSpectrumGraph()
{
    if (!graphFFT) {
        reportMissing(QStringLiteral("graphFFT pointer is null!"));
        return;
    }
    if (!registerGraphContainers(graphFFT, GraphSpectrum, 2, QStringLiteral("graphFFT")))
        return;
    graphFFT->setLabels(QStringLiteral("Frequency [Hz]"), QString(),
                        {QStringLiteral("BPM1"), QStringLiteral("BPM2")});
}

void MainWindow::registerEncoderGraphs()
{
    WidgetGraphCurrents *graphs[2] = {graphCurrents1, graphCurrents2};
    QDockWidget *docks[2] = {dockEncoder1, dockEncoder2};
    for (int n = 0; n < 2; ++n) {
        const QString name = QStringLiteral("graphCurrents") + QString::number(n + 1);
        placeGraphDock(docks[n], graphs[n]);
        if (!graphs[n]) {
            reportMissing(name + QStringLiteral(" pointer is null!"));
            return;   // a missing BPM1 graph ends the BPM2 part too
        }
        if (!registerGraphContainers(graphs[n], GraphEncoderBpm1 + n, 2, name + QStringLiteral("_")))
            continue;
        graphs[n]->setLabels(QStringLiteral("Time [s]"), QStringLiteral("Counts"),
                             {QStringLiteral("Enc1"), QStringLiteral("Enc2")});
        graphs[n]->setValueAxisFormat(QStringLiteral("f"), 0);
        graphs[n]->setChannelTexts(QStringLiteral("Enc 1"), QStringLiteral("Enc 2"), QString(),
                                   QString());
        graphs[n]->setChannelsHidden(false, false, true, true);
    }
}

void MainWindow::registerDACGraph()
{
    newGraphDock(QStringLiteral("Graph DAC"), graphDAC);
    if (!graphDAC) {
        reportMissing(QStringLiteral("graphDAC pointer is null!"));
        return;
    }
    if (!registerGraphContainers(graphDAC, GraphDacOutput, 4, QStringLiteral("graphDAC_")))
        return;
    graphDAC->setLabels(QStringLiteral("Time [s]"), QStringLiteral("Voltage [V]"),
                        {QStringLiteral("DAC Ch1"), QStringLiteral("DAC Ch2"),
                         QStringLiteral("DAC Ch3"), QStringLiteral("DAC Ch4")});
}

void MainWindow::registerBpmTimeGraph(WidgetGraphBpmTime *graph, int kind, const QString &name,
                                      const QString &dockTitle, const QString &yLabel,
                                      const QStringList &names)
{
    newGraphDock(dockTitle, graph);
    if (!graph) {
        reportMissing(name + QStringLiteral(" pointer is null!"));
        return;
    }
    if (!registerGraphContainers(graph, kind, 2, name + QStringLiteral("_")))
        return;
    graph->setLabels(QStringLiteral("Time [s]"), yLabel, names);
    // The graphs follow their check boxes and the encoder boxes from the start.
    graph->chEnablesChanged();
}

// --- Slots ---

void MainWindow::nr_tovashes_changed(int)
{
    const EncoderBoxes boxes = EncoderBoxes::read();
    const bool bpm1 = boxes.shows(0);
    const bool bpm2 = boxes.shows(1);
    graphXY1->setVisible(bpm1);
    graphXY2->setVisible(bpm2);
    // With no encoder box at all the BPM1 encoder dock stays in view (empty).
    dockEncoder1->setVisible(bpm1 || !bpm2);
    dockEncoder2->setVisible(bpm2);

    const bool hide1 = !bpm1;
    const bool hide2 = !bpm2;
    graphFFT->setChannelsHidden(hide1, hide2);
    graphPosX->setChannelsHidden(hide1, hide2);
    graphPosY->setChannelsHidden(hide1, hide2);
    graphRadX->setChannelsHidden(hide1, hide2);
    graphRadY->setChannelsHidden(hide1, hide2);
}

void MainWindow::showBeamlineConf()
{
    beamlineConf->showWindow();
}

void MainWindow::showSFPinfo()
{
    // The table fills at the dialog's next refresh.
    sfpStatus->show();
}

void MainWindow::showPIDparams()
{
    windowPIDparams->showWindow();
}

void MainWindow::showRockCurve()
{
    // A new window each time; closing only hides it, and it lives as long as this window.
    auto *window = new WindowRockingCurve(this);
    window->show();
}

void MainWindow::showROCwindow()
{
    rocRoi->setUpdater(updater);
    rocRoi->setBeamlineConf(beamlineConf);
    rocRoi->setGraphXY(graphXY1, 0);
    rocRoi->setGraphXY(graphXY2, 1);
    rocRoi->showWindow();
}

void MainWindow::showRockCurve3D()
{
    auto *window = new WindowRocking3D(this);
    window->show();
}

void MainWindow::showPicoWindow()
{
    if (windowPico)
        windowPico->show();
}

void MainWindow::showSaveDataWindow()
{
    auto *window = new WindowSaveData(this);
    window->show();
}

void MainWindow::showLoginDialog()
{
    if (!dialogLogin)
        return;
    dialogLogin->clearFields();
    dialogLogin->showLevel();
    dialogLogin->show();
}

void MainWindow::showAboutDialog()
{
    // A new box each time; closing only hides it, and it lives as long as this window.
    auto *box = new about(this);
    box->show();
}

void MainWindow::Exit()
{
    leave(0);
}

void MainWindow::leave(int exitCode)
{
    // A running procedure ends first, handing the outputs back as its own Stop does;
    // a scan that lets events in returns at its next point and the loop then ends.
    // A switch that fails from here on is told by main, where the operator sees it.
    ShutdownReport::beginLeaving();
    OutputsGuard::stopHolder();
    QCoreApplication::exit(exitCode);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Exit();
    QMainWindow::closeEvent(event);
}

void MainWindow::showStepResponse()
{
    stepResponse->showWindow();
}

void MainWindow::showDispSettings()
{
    displaySettings->showWindow();
}

void MainWindow::handleUserLevelChange(int user_level)
{
    // "user" and "admin" may run the tools that drive the outputs; "admin" grants at
    // least what "user" does. Cruise, or a failed level poll (negative), closes them.
    const bool granted = user_level == 1 || user_level == 2;
    for (QAction *tool : {ui->action_Rocking_Curve, ui->actionRocking_Curve_3D,
                          ui->actionStep_Response, ui->actionManual_Output_Control})
        tool->setEnabled(granted);
}

void MainWindow::showManualOutputControl()
{
    manOutCtrl->showWindow();
}

void MainWindow::showLogWindow()
{
    m_logWindow.show();
    m_logWindow.raise();
    m_logWindow.activateWindow();
}

void MainWindow::showFrequencyAnalysisWindow()
{
    frequencyAnalysis->showWindow();
}
