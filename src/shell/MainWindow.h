#pragma once
// The application's main window: every live graph in its dock, the "Control" dock
// with the status panel and the control tabs, the menus that open the tool windows,
// and the wiring between the panels, the device link, the login dialog and the
// acquisition engine. Per-BPM displays follow the encoder boxes present; four tool
// actions follow the user level.

#include <QMainWindow>

#include "Window.h"

class QDockWidget;
class QHBoxLayout;
class QTabWidget;
class QVBoxLayout;
class HeartBeat;
class WidgetFeedbackControl;
class WidgetGraphBpmTime;
class WidgetGraphCurrents;
class WidgetGraphFFT;
class WidgetGraphPos;
class WidgetGraphRad;
class WidgetGraphXY;
class WidgetPidCtrl;
class WidgetStats;
class WindowBeamlineConf;
class WindowDisplaySettings;
class WindowFrequencyAnalysis;
class WindowManOutCtrl;
class WindowPIDparams;
class WindowPico;
class WindowROC_ROI;
class WindowSFPstatus;
class WindowStepResponse;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Connects the login dialog's and the status panel's userLevelChanged to every
    // panel that gates its controls by level. Called once, by the login dialog.
    Q_INVOKABLE void connectUserLevelSignals();

    // The log window, fed by start-up's functor destination.
    Logging::Window *logWindow() { return &m_logWindow; }

public slots:
    void nr_tovashes_changed(int count);
    void showBeamlineConf();
    void showSFPinfo();
    void showPIDparams();
    void showRockCurve();
    void showROCwindow();
    void showRockCurve3D();
    void showPicoWindow();
    void showSaveDataWindow();
    void showLoginDialog();
    void showAboutDialog();
    void Exit();
    void showStepResponse();
    void showDispSettings();
    void handleUserLevelChange(int user_level);
    void showManualOutputControl();
    void showLogWindow();
    void showFrequencyAnalysisWindow();

public:
    // Ends the program with `exitCode` the way "&Exit" does (a running procedure is
    // asked to stop first); also the way out on a termination signal.
    void leave(int exitCode);

protected:
    // Closing the main window ends the program as "&Exit" does, even while another
    // top-level window (the log window) is still open.
    void closeEvent(QCloseEvent *event) override;

private:
    void createChildren();
    void fillDocks();
    void connectSignals();
    void registerGraphs();
    void registerXYGraphs();
    void registerSpectrumGraph();
    void registerEncoderGraphs();
    void registerDACGraph();
    // Position and angle graphs: dock, containers, labels, first channel choice.
    void registerBpmTimeGraph(WidgetGraphBpmTime *graph, int kind, const QString &name,
                              const QString &dockTitle, const QString &yLabel,
                              const QStringList &names);
    // Puts `graph` into `dock`, adds the dock to the bottom area and joins it to the
    // tab group of "Graph FFT".
    void placeGraphDock(QDockWidget *dock, QWidget *graph);
    QDockWidget *newGraphDock(const QString &title, QWidget *graph);

    Logging::Window m_logWindow;
    Ui::MainWindow *ui;

    WidgetGraphXY *graphXY1 = nullptr;
    WidgetGraphXY *graphXY2 = nullptr;
    WidgetGraphFFT *graphFFT = nullptr;
    WidgetFeedbackControl *feedbackControl = nullptr;
    WidgetPidCtrl *pidCtrl = nullptr;
    WidgetStats *stats = nullptr;
    HeartBeat *heartBeat = nullptr;
    WidgetGraphCurrents *graphCurrents1 = nullptr;
    WidgetGraphCurrents *graphCurrents2 = nullptr;
    WidgetGraphCurrents *graphDAC = nullptr;
    WidgetGraphPos *graphPosX = nullptr;
    WidgetGraphPos *graphPosY = nullptr;
    WidgetGraphRad *graphRadX = nullptr;
    WidgetGraphRad *graphRadY = nullptr;
    WindowBeamlineConf *beamlineConf = nullptr;
    WindowPIDparams *windowPIDparams = nullptr;
    WindowROC_ROI *rocRoi = nullptr;
    WindowPico *windowPico = nullptr;   // never built: its action stays hidden
    WindowSFPstatus *sfpStatus = nullptr;
    WindowStepResponse *stepResponse = nullptr;
    WindowDisplaySettings *displaySettings = nullptr;
    WindowManOutCtrl *manOutCtrl = nullptr;
    WindowFrequencyAnalysis *frequencyAnalysis = nullptr;

    QDockWidget *dockXY = nullptr;
    QWidget *xyContainer = nullptr;
    QHBoxLayout *xyLayout = nullptr;
    QTabWidget *controlTabs = nullptr;
    QWidget *controlContainer = nullptr;
    QVBoxLayout *controlLayout = nullptr;
    QDockWidget *dockFFT = nullptr;
    QDockWidget *dockControl = nullptr;
    QDockWidget *dockEncoder1 = nullptr;
    QDockWidget *dockEncoder2 = nullptr;
};
