// Main window: title and docks, the encoder-box rule, the user-level rule, the about
// boxes created per selection, the PID tab and picture window wired to the feedback
// panel and the user level, and the graph registrations with the engine. The menus
// and the tool windows they open: MainWindowToolsTest.cpp.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DialogAnswerer.h"
#include "DialogLogin.h"
#include "HeartBeat.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "MainWindowFixture.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "ShellTestSupport.h"
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
#include "WindowPIDparams.h"
#include "WindowROC_ROI.h"
#include "about.h"

TEST_F(MainWindowTest, TitleAndDocks)
{
    DialogAnswerer answerer;
    MainWindow w;
    EXPECT_EQ(answerer.count(), 0) << "the build-number resource opens";
    EXPECT_EQ(w.windowTitle(), QStringLiteral("NIVRA-ENC Local User Interface v2.0.0"));
    EXPECT_EQ(w.objectName(), QStringLiteral("MainWindow"));

    // Docks: graph XY left, the spectrum with every other graph dock in its tab group,
    // the control dock on the right with the status panel above the tabs.
    QDockWidget *xy = dock(w, QStringLiteral("Graph XY"));
    QDockWidget *fft = dock(w, QStringLiteral("Graph FFT"));
    QDockWidget *control = dock(w, QStringLiteral("Control"));
    ASSERT_TRUE(xy && fft && control);
    EXPECT_EQ(w.dockWidgetArea(xy), Qt::LeftDockWidgetArea);
    EXPECT_EQ(w.dockWidgetArea(control), Qt::RightDockWidgetArea);
    EXPECT_EQ(fft->maximumHeight(), 396) << "three quarters of the form's height";
    EXPECT_EQ(control->minimumWidth(), 340);
    EXPECT_EQ(control->maximumWidth(), 340);
    EXPECT_EQ(fft->widget(), child<WidgetGraphFFT>(w, "graphFFT"));

    const QStringList tabbed{"Graph Encoder Counts BPM1", "Graph Encoder Counts BPM2", "Graph DAC",
                             "Graph Position X",          "Graph Position Y",          "Graph Angle X",
                             "Graph Angle Y"};
    const QList<QDockWidget *> group = w.tabifiedDockWidgets(fft);
    for (const QString &title : tabbed) {
        QDockWidget *d = dock(w, title);
        ASSERT_NE(d, nullptr) << title.toStdString();
        EXPECT_TRUE(group.contains(d)) << title.toStdString();
        EXPECT_NE(d->widget(), nullptr) << title.toStdString();
    }

    // The graph group opens on its first tab.
    QStringList frontTabs;
    for (QTabBar *bar : w.findChildren<QTabBar *>())
        frontTabs << bar->tabText(bar->currentIndex());
    EXPECT_TRUE(frontTabs.contains(QStringLiteral("Graph FFT")))
        << frontTabs.join(',').toStdString();

    auto *tabs = control->widget()->findChild<QTabWidget *>();
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Feedback"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("PID Params"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Stats"));
    EXPECT_NE(qobject_cast<WidgetFeedbackControl *>(tabs->widget(0)), nullptr);
    EXPECT_NE(qobject_cast<WidgetPidCtrl *>(tabs->widget(1)), nullptr);
    EXPECT_NE(qobject_cast<WidgetStats *>(tabs->widget(2)), nullptr);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_NE(control->widget()->findChild<HeartBeat *>(), nullptr);

    // Encoder graphs show only "Enc 1" and "Enc 2".
    for (const char *name : {"graphCurrents1", "graphCurrents2"}) {
        auto *g = child<WidgetGraphCurrents>(w, name);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->findChild<QCheckBox *>(QStringLiteral("CheckCh1"))->text(), QStringLiteral("Enc 1"));
        EXPECT_EQ(g->findChild<QCheckBox *>(QStringLiteral("CheckCh2"))->text(), QStringLiteral("Enc 2"));
        EXPECT_TRUE(checkHidden(g, "CheckCh3"));
        EXPECT_TRUE(checkHidden(g, "CheckCh4"));
        // Counts are whole numbers.
        QCPAxis *counts = g->findChild<QCustomPlot *>()->yAxis;
        EXPECT_EQ(counts->numberFormat(), QStringLiteral("f"));
        EXPECT_EQ(counts->numberPrecision(), 0);
    }

    // The log window is a separate top-level window, hidden until "&Log".
    EXPECT_EQ(w.logWindow()->parentWidget(), nullptr);
    EXPECT_FALSE(w.logWindow()->isVisible());
    child<QAction>(w, "action_Log")->trigger();
    EXPECT_TRUE(w.logWindow()->isVisible());
    w.logWindow()->hide();

    // The kept display settings window opens from its action.
    auto *settings = w.findChild<WindowDisplaySettings *>();
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(settings->isVisible());
    child<QAction>(w, "action_Display_Settings")->trigger();
    EXPECT_TRUE(settings->isVisible());
    settings->hide();

    // The spectrum dock keeps the height taken from the form once maximised.
    w.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_GT(w.height(), 528);
    EXPECT_EQ(fft->maximumHeight(), 396);
}

TEST_F(MainWindowTest, WithoutTheBuildNumberTitleAndAboutEndInTwoPointZero)
{
    DialogAnswerer answerer;
    {
        BuildNumberRemoved removed;
        MainWindow w;
        ASSERT_EQ(answerer.count(), 1);
        EXPECT_EQ(answerer.last().kind, QStringLiteral("information"));
        EXPECT_EQ(answerer.last().title, QStringLiteral("error"));
        EXPECT_FALSE(answerer.last().text.isEmpty()) << "the file's error string";
        EXPECT_EQ(w.windowTitle(), QStringLiteral("NIVRA-ENC Local User Interface v2.0."));

        child<QAction>(w, "action_About")->trigger();
        ASSERT_EQ(answerer.count(), 2);
        EXPECT_EQ(answerer.last().title, QStringLiteral("error"));
        auto *box = w.findChild<about *>();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->findChild<QLabel *>(QStringLiteral("label_2"))->text().endsWith(
            QStringLiteral("<br>v2.0.")));
    }
    // Back in place, the version is whole again.
    MainWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("NIVRA-ENC Local User Interface v2.0.0"));
}

TEST_F(MainWindowTest, EncoderBoxRuleForTheFourPairs)
{
    MainWindow w;
    auto *xy1 = child<WidgetGraphXY>(w, "graphXY1");
    auto *xy2 = child<WidgetGraphXY>(w, "graphXY2");
    QDockWidget *enc1 = dock(w, QStringLiteral("Graph Encoder Counts BPM1"));
    QDockWidget *enc2 = dock(w, QStringLiteral("Graph Encoder Counts BPM2"));
    ASSERT_TRUE(xy1 && xy2 && enc1 && enc2);
    QWidget *fiveGraphs[] = {child<QWidget>(w, "graphFFT"), child<QWidget>(w, "graphPosX"),
                             child<QWidget>(w, "graphPosY"), child<QWidget>(w, "graphRadX"),
                             child<QWidget>(w, "graphRadY")};
    for (QWidget *g : fiveGraphs)
        ASSERT_NE(g, nullptr);

    const struct {
        int b1, b2;
        bool xy1Shown, xy2Shown, enc1Shown, enc2Shown, hide1, hide2;
    } cases[] = {{1, 1, true, true, true, true, false, false},
                 {1, 0, true, false, true, false, false, true},
                 {0, 1, false, true, false, true, true, false},
                 {0, 0, false, false, true, false, true, true}};
    for (const auto &c : cases) {
        nivraSimSetTovash(0, c.b1);
        nivraSimSetTovash(1, c.b2);
        // As the device link reports it.
        emit mailboxComm->nrTovashesChanged(2);
        const std::string pair = std::to_string(c.b1) + "," + std::to_string(c.b2);
        EXPECT_EQ(!xy1->isHidden(), c.xy1Shown) << pair;
        EXPECT_EQ(!xy2->isHidden(), c.xy2Shown) << pair;
        EXPECT_EQ(!enc1->isHidden(), c.enc1Shown) << pair;
        EXPECT_EQ(!enc2->isHidden(), c.enc2Shown) << pair;
        for (QWidget *g : fiveGraphs) {
            EXPECT_EQ(checkHidden(g, "CheckCh1"), c.hide1) << pair << " " << g->objectName().toStdString();
            EXPECT_EQ(checkHidden(g, "CheckCh2"), c.hide2) << pair << " " << g->objectName().toStdString();
        }
    }

    // A failed query counts as no box at all.
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    nivraSimFailCall("getTovashes", -1);
    w.nr_tovashes_changed(0);
    EXPECT_TRUE(xy1->isHidden());
    EXPECT_TRUE(xy2->isHidden());
    EXPECT_FALSE(enc1->isHidden());
    EXPECT_TRUE(enc2->isHidden());
    EXPECT_TRUE(checkHidden(fiveGraphs[0], "CheckCh1"));
}

TEST_F(MainWindowTest, FirstEncoderRuleRunsDuringConstruction)
{
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 1);
    MainWindow w;
    EXPECT_TRUE(child<WidgetGraphXY>(w, "graphXY1")->isHidden());
    EXPECT_FALSE(child<WidgetGraphXY>(w, "graphXY2")->isHidden());
    EXPECT_TRUE(dock(w, QStringLiteral("Graph Encoder Counts BPM1"))->isHidden());
    EXPECT_FALSE(dock(w, QStringLiteral("Graph Encoder Counts BPM2"))->isHidden());
    EXPECT_TRUE(checkHidden(child<QWidget>(w, "graphPosX"), "CheckCh1"));
}

TEST_F(MainWindowTest, FeedbackPanelStartsFromTheControllersConfigurationAndSetpoints)
{
    // Y loop only, and setpoints that differ from the panel's form.
    ASSERT_EQ(mailboxComm->setPIDconf(3), 0);
    ASSERT_EQ(mailboxComm->setSetpoint(12.5, -7.25, 0.0), 0);
    MainWindow w;
    auto *feedback = w.findChild<WidgetFeedbackControl *>();
    ASSERT_NE(feedback, nullptr);
    EXPECT_FALSE(::child<QCheckBox>(feedback, "confXcheckbox")->isChecked());
    EXPECT_TRUE(::child<QCheckBox>(feedback, "confYcheckbox")->isChecked());
    EXPECT_EQ(::child<QDoubleSpinBox>(feedback, "posXDoubleSpinBox")->value(), 12.5);
    EXPECT_EQ(::child<QDoubleSpinBox>(feedback, "posYDoubleSpinBox")->value(), -7.25);
}

// A new setpoint or loop source moves the XY graphs' target marker; a click handled
// by an XY graph brings the controller's setpoints into the feedback panel's fields.
TEST_F(MainWindowTest, XYGraphsAndFeedbackPanelFollowEachOther)
{
    ASSERT_EQ(mailboxComm->setPIDconf(1), 0);
    ASSERT_EQ(setBPMselector(0, 1, 0), 0);
    MainWindow w;
    auto *feedback = w.findChild<WidgetFeedbackControl *>();
    auto *xy1 = child<WidgetGraphXY>(w, "graphXY1");
    auto *xy2 = child<WidgetGraphXY>(w, "graphXY2");
    ASSERT_TRUE(feedback && xy1 && xy2);
    QSharedPointer<QCPGraphDataContainer> marker = xy1->findChild<QCustomPlot *>()->graph(1)->data();

    ASSERT_EQ(mailboxComm->setSetpoint(12.5, -7.25, 0.0), 0);
    emit feedback->somethingChanged();
    ASSERT_EQ(marker->size(), 2) << "BPM1 feeds X only: a vertical line";
    EXPECT_EQ(marker->at(0)->key, 12.5);
    bpmSelY = 0;
    emit feedback->BPMselectorChanged();
    ASSERT_EQ(marker->size(), 1) << "BPM1 feeds both loops: a cross";
    EXPECT_EQ(marker->at(0)->value, -7.25);

    ASSERT_EQ(mailboxComm->setSetpoint(3.5, 4.5, 0.0), 0);
    emit xy2->XYchanged();
    EXPECT_EQ(::child<QDoubleSpinBox>(feedback, "posXDoubleSpinBox")->value(), 3.5);
    EXPECT_EQ(::child<QDoubleSpinBox>(feedback, "posYDoubleSpinBox")->value(), 4.5);
    // The other graph marks the setpoint set on this one, either way round.
    ASSERT_EQ(marker->size(), 1);
    EXPECT_EQ(marker->at(0)->key, 3.5);
    bpmSelY = 1;
    ASSERT_EQ(mailboxComm->setSetpoint(5.5, 6.5, 0.0), 0);
    emit xy1->XYchanged();
    const auto marker2 = xy2->findChild<QCustomPlot *>()->graph(1)->data();
    ASSERT_EQ(marker2->size(), 2) << "BPM2 feeds Y: a horizontal line";
    EXPECT_EQ(marker2->at(0)->value, 6.5);
}

TEST_F(MainWindowTest, UserLevelRuleIncludingAFailedPoll)
{
    MainWindow w;
    QList<QAction *> gated;
    for (const char *name : {"action_Rocking_Curve", "actionRocking_Curve_3D", "actionStep_Response",
                             "actionManual_Output_Control"})
        gated << action(w, name);
    ASSERT_FALSE(gated.contains(nullptr));
    QList<QAction *> others;
    for (QAction *menu : w.menuBar()->actions())
        for (QAction *a : menu->menu()->actions())
            if (!a->isSeparator() && !gated.contains(a) && a->isVisible())
                others << a;
    // Hidden, the current-meter action is disabled as well (Qt's rule).
    ASSERT_EQ(others.size(), 11) << "the other visible menu actions";

    auto granted = [&] { return std::all_of(gated.begin(), gated.end(), [](QAction *a) { return a->isEnabled(); }); };
    auto refused = [&] { return std::none_of(gated.begin(), gated.end(), [](QAction *a) { return a->isEnabled(); }); };

    EXPECT_TRUE(refused()) << "cruise at start";
    // Admin grants what user grants; a failed poll (negative) or an unknown level
    // grants nothing. No other action is ever gated.
    const struct {
        int level;
        bool grants;
    } levels[] = {{1, true}, {0, false}, {2, true}, {-1, false}, {1, true}, {3, false}, {2, true}, {-2, false}};
    for (const auto &l : levels) {
        w.handleUserLevelChange(l.level);
        EXPECT_TRUE(l.grants ? granted() : refused()) << l.level;
        for (QAction *a : others)
            EXPECT_TRUE(a->isEnabled()) << l.level << " " << a->objectName().toStdString();
    }

    // Through the connections: the login dialog and the status panel's poll.
    DialogLogin login(&w);
    dialogLogin = &login;
    login.connectToMainWindow();
    auto *feedback = w.findChild<WidgetFeedbackControl *>();
    ASSERT_NE(feedback, nullptr);
    EXPECT_FALSE(feedback->isEnabled());

    logIn("admin", "admin");
    userLevel = 2;
    login.showLevel();
    EXPECT_TRUE(granted());
    EXPECT_TRUE(feedback->isEnabled());

    // A poll that fails disables the gated actions; the feedback panel keeps its state.
    auto *status = w.findChild<HeartBeat *>();
    ASSERT_NE(status, nullptr);
    nivraSimFailCall("getLockStatus", -2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return userLevel == -2; }, 2500));
    EXPECT_TRUE(refused());
    EXPECT_TRUE(feedback->isEnabled());

    // The next good poll brings them back.
    nivraSimFailCall("getLockStatus", 0);
    status->refreshFields();
    EXPECT_EQ(userLevel, 2);
    EXPECT_TRUE(granted());

    logIn("cruise", "");
    status->refreshFields();
    EXPECT_TRUE(refused());
    EXPECT_FALSE(feedback->isEnabled());
}

TEST_F(MainWindowTest, EachAboutChoiceLeavesOneMoreDialog)
{
    DialogAnswerer answerer;
    MainWindow w;
    QAction *aboutAction = child<QAction>(w, "action_About");
    ASSERT_NE(aboutAction, nullptr);
    for (int i = 0; i < 3; ++i)
        aboutAction->trigger();
    QList<about *> boxes = w.findChildren<about *>();
    ASSERT_EQ(boxes.size(), 3);
    for (about *box : boxes) {
        EXPECT_TRUE(box->isVisible());
        EXPECT_FALSE(box->isModal());
        box->close();
    }
    settle();
    EXPECT_EQ(w.findChildren<about *>().size(), 3) << "closing only hides";
    EXPECT_EQ(answerer.count(), 0);
}

TEST_F(MainWindowTest, EachGraphIsLabelledFedAsItsKindAndRedrawnInOrder)
{
    DialogAnswerer answerer;
    nivraSimUseManualClock(1);
    nivraSimAdvance(20.0);
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    for (int b = 0; b < 2; ++b) {
        BPM_SCALE_X[b] = BPM_SCALE_Y[b] = 1.0 + b;
        BPM_DIST_X[b] = BPM_DIST_Y[b] = 2000.0 + 1000.0 * b;
    }
    MainWindow w;

    // A second engine, fed directly, sees the same records while the clock stands
    // still: each of the window's graphs must hold what its kind and index hold there.
    struct Registration {
        const char *graph;
        int index;
        int kind;
    };
    const Registration registrations[] = {
        {"graphXY1", 0, GraphXYBpm1},       {"graphXY2", 0, GraphXYBpm2},
        {"graphFFT", 0, GraphSpectrum},     {"graphFFT", 1, GraphSpectrum},
        {"graphCurrents1", 0, GraphEncoderBpm1}, {"graphCurrents1", 1, GraphEncoderBpm1},
        {"graphCurrents2", 0, GraphEncoderBpm2}, {"graphCurrents2", 1, GraphEncoderBpm2},
        {"graphDAC", 0, GraphDacOutput},    {"graphDAC", 1, GraphDacOutput},
        {"graphDAC", 2, GraphDacOutput},    {"graphDAC", 3, GraphDacOutput},
        {"graphPosX", 0, GraphPositionX},   {"graphPosX", 1, GraphPositionX},
        {"graphPosY", 0, GraphPositionY},   {"graphPosY", 1, GraphPositionY},
        {"graphRadX", 0, GraphAngleX},      {"graphRadX", 1, GraphAngleX},
        {"graphRadY", 0, GraphAngleY},      {"graphRadY", 1, GraphAngleY},
    };
    Updater reference;
    // The spectrum widget chose its word on the window's engine; both use one word here.
    for (Updater *e : {updater, &reference})
        e->setFFTselector(2);
    QList<GraphContainer> expected;
    for (const Registration &r : registrations) {
        expected << GraphContainer::create();
        reference.setGraphData(r.kind, r.index, expected.last());
    }

    // Redraws follow the registrations.
    QStringList redrawn;
    const QStringList graphs{"graphXY1",       "graphXY2", "graphFFT",  "graphCurrents1",
                             "graphCurrents2", "graphDAC", "graphPosX", "graphPosY",
                             "graphRadX",      "graphRadY"};
    for (const QString &name : graphs) {
        auto *plot = w.findChild<QWidget *>(name)->findChild<QCustomPlot *>();
        ASSERT_NE(plot, nullptr) << name.toStdString();
        QObject::connect(plot, &QCustomPlot::afterReplot, plot, [&redrawn, name] { redrawn << name; });
    }

    // Axis labels, and the graph names that the position and angle graphs take.
    const struct {
        const char *graph, *x, *y, *name0, *name1;
    } labels[] = {{"graphFFT", "Frequency [Hz]", "", nullptr, nullptr},
                  {"graphCurrents1", "Time [s]", "Counts", nullptr, nullptr},
                  {"graphCurrents2", "Time [s]", "Counts", nullptr, nullptr},
                  {"graphDAC", "Time [s]", "Voltage [V]", nullptr, nullptr},
                  {"graphPosX", "Time [s]", "Position [um]", "X (BPM1)", "X (BPM2)"},
                  {"graphPosY", "Time [s]", "Position [um]", "Y (BPM1)", "Y (BPM2)"},
                  {"graphRadX", "Time [s]", "Angle [urad]", "X (BPM1)", "X (BPM2)"},
                  {"graphRadY", "Time [s]", "Angle [urad]", "Y (BPM1)", "Y (BPM2)"}};
    for (const auto &l : labels) {
        auto *plot = w.findChild<QWidget *>(QString::fromLatin1(l.graph))->findChild<QCustomPlot *>();
        EXPECT_EQ(plot->xAxis->label(), QString::fromLatin1(l.x)) << l.graph;
        EXPECT_EQ(plot->yAxis->label(), QString::fromLatin1(l.y)) << l.graph;
        if (l.name0) {
            EXPECT_EQ(plot->graph(0)->name(), QString::fromLatin1(l.name0)) << l.graph;
            EXPECT_EQ(plot->graph(1)->name(), QString::fromLatin1(l.name1)) << l.graph;
        }
    }

    updater->updateGraphs();
    reference.updateGraphs();
    EXPECT_EQ(answerer.count(), 0) << "the display fetch succeeded";
    EXPECT_EQ(redrawn, graphs);

    auto containerOf = [&](const Registration &r) -> GraphContainer {
        QWidget *graph = w.findChild<QWidget *>(QString::fromLatin1(r.graph));
        if (auto *xy = qobject_cast<WidgetGraphXY *>(graph))
            return xy->graphData();
        if (auto *fft = qobject_cast<WidgetGraphFFT *>(graph))
            return fft->graphData(r.index);
        if (auto *currents = qobject_cast<WidgetGraphCurrents *>(graph))
            return currents->graphData(r.index);
        if (auto *pos = qobject_cast<WidgetGraphPos *>(graph))
            return pos->graphData(r.index);
        if (auto *rad = qobject_cast<WidgetGraphRad *>(graph))
            return rad->graphData(r.index);
        return {};
    };
    for (int i = 0; i < expected.size(); ++i) {
        const Registration &r = registrations[i];
        SCOPED_TRACE(testing::Message() << r.graph << " graph " << r.index);
        const GraphContainer shown = containerOf(r);
        ASSERT_TRUE(shown);
        ASSERT_FALSE(expected[i]->isEmpty());
        ASSERT_EQ(shown->size(), expected[i]->size());
        bool same = true;
        for (int p = 0; p < shown->size() && same; ++p) {
            const QCPGraphData &a = *(shown->constBegin() + p);
            const QCPGraphData &b = *(expected[i]->constBegin() + p);
            same = a.key == b.key && (a.value == b.value || (std::isnan(a.value) && std::isnan(b.value)));
        }
        EXPECT_TRUE(same);
    }
}

TEST_F(MainWindowTest, PidParametersActionShowsTheKeptPictureWindowAtEveryLevel)
{
    MainWindow w;
    QList<WindowPIDparams *> windows = w.findChildren<WindowPIDparams *>();
    ASSERT_EQ(windows.size(), 1) << "created once, with the main window";
    WindowPIDparams *window = windows.first();
    EXPECT_EQ(window->parent(), &w);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("PID Parameters"));

    QAction *action = child<QAction>(w, "action_PID_Parameters");
    ASSERT_NE(action, nullptr);
    // The picture is no tool: no level, not even a failed poll, takes the action away.
    for (int level : {0, -1, 1, 2}) {
        w.handleUserLevelChange(level);
        EXPECT_TRUE(action->isEnabled()) << level;
        action->trigger();
        EXPECT_TRUE(window->isVisible()) << level;
        window->close();
        settle();
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_EQ(w.findChildren<WindowPIDparams *>().size(), 1) << "each choice shows the same window";
}

TEST_F(MainWindowTest, PidDacLabelsFollowTheChannelsTheFeedbackPanelSends)
{
    config.setValue(QStringLiteral("Beamline/DAC_posX"), 3);
    config.setValue(QStringLiteral("Beamline/DAC_posY"), 1);
    // Logged in as "user": the feedback panel is usable.
    logIn("user", "user");
    userLevel = 1;
    mailboxComm->pidStatus = 0;
    DialogAnswerer answerer;
    MainWindow w;
    auto *feedback = w.findChild<WidgetFeedbackControl *>();
    auto *pid = w.findChild<WidgetPidCtrl *>();
    ASSERT_TRUE(feedback && pid);
    QLabel *xLabel = pid->findChild<QWidget *>(QStringLiteral("posXwidget"))
                         ->findChild<QLabel *>(QStringLiteral("DACoutputLabel"));
    QLabel *yLabel = pid->findChild<QWidget *>(QStringLiteral("posYwidget"))
                         ->findChild<QLabel *>(QStringLiteral("DACoutputLabel"));
    ASSERT_TRUE(xLabel && yLabel);
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 4")) << "from the store at start";
    EXPECT_EQ(yLabel->text(), QStringLiteral("Ch 2"));

    auto *xBox = feedback->findChild<QComboBox *>(QStringLiteral("positionXComboBox"));
    auto *yBox = feedback->findChild<QComboBox *>(QStringLiteral("positionYComboBox"));
    auto *update = feedback->findChild<QPushButton *>(QStringLiteral("updateConfButton"));
    ASSERT_TRUE(xBox && yBox && update);

    // Choosing alone changes nothing; sending does.
    xBox->setCurrentIndex(2);
    yBox->setCurrentIndex(0);
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 4"));
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 3"));
    EXPECT_EQ(yLabel->text(), QStringLiteral("Ch 1"));

    // Refused choices are not sent, so the labels keep the channels last sent.
    xBox->setCurrentIndex(1);
    yBox->setCurrentIndex(1);
    QTest::mouseClick(update, Qt::LeftButton);
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().title, QStringLiteral("DAC outputs not unique"));
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 3"));
    EXPECT_EQ(yLabel->text(), QStringLiteral("Ch 1"));

    yBox->setCurrentIndex(3);
    mailboxComm->pidStatus = 3;   // feedback running
    QTest::mouseClick(update, Qt::LeftButton);
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_EQ(answerer.last().title, QStringLiteral("PID running ..."));
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 3"));
    EXPECT_EQ(yLabel->text(), QStringLiteral("Ch 1"));

    mailboxComm->pidStatus = 1;
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(answerer.count(), 2);
    EXPECT_EQ(xLabel->text(), QStringLiteral("Ch 2"));
    EXPECT_EQ(yLabel->text(), QStringLiteral("Ch 4"));
}

TEST_F(MainWindowTest, UserLevelReachesItsFiveReceiversInOrderFromTheLoginDialogAndTheStatusPoll)
{
    DialogAnswerer answerer;
    MainWindow w;
    DialogLogin login(&w);
    dialogLogin = &login;
    login.connectToMainWindow();

    auto *feedback = w.findChild<WidgetFeedbackControl *>();
    auto *pid = w.findChild<WidgetPidCtrl *>();
    auto *rocRoi = w.findChild<WindowROC_ROI *>();
    auto *beamline = w.findChild<WindowBeamlineConf *>();
    ASSERT_TRUE(feedback && pid && rocRoi && beamline);
    auto *editors = ::child<QTabWidget>(pid, "verticalTabWidget");
    auto *pidUpdate = ::child<QPushButton>(pid, "pushButtonUpdate");
    auto *roi = ::child<QWidget>(::child<QWidget>(rocRoi, "rocWidget0"), "roiXDoubleSpinBox");
    auto *box = ::child<QWidget>(beamline, "boxBPM1");
    QAction *manual = action(w, "actionManual_Output_Control");
    ASSERT_TRUE(editors && pidUpdate && roi && box && manual);
    // Cruise, as the login dialog shows it: everything closed.
    login.showLevel();
    EXPECT_FALSE(editors->isEnabled());
    EXPECT_FALSE(roi->isEnabled());
    EXPECT_FALSE(box->isEnabled());
    EXPECT_FALSE(manual->isEnabled());

    const QStringList all{"feedback", "pid", "rocroi", "beamline", "main"};
    EventOrderLog order({QEvent::EnabledChange});
    order.watch(feedback, QStringLiteral("feedback"));
    order.watch(editors, QStringLiteral("pid"));
    order.watch(roi, QStringLiteral("rocroi"));
    order.watch(box, QStringLiteral("beamline"));
    order.watch(manual, QStringLiteral("main"));

    auto logInThroughTheDialog = [&](const char *user, const char *password) {
        w.showLoginDialog();
        QTest::keyClicks(::child<QLineEdit>(&login, "usernameLineEdit"), QString::fromLatin1(user));
        QTest::keyClicks(::child<QLineEdit>(&login, "passwordLineEdit"), QString::fromLatin1(password));
        QTest::mouseClick(::child<QPushButton>(&login, "logIn"), Qt::LeftButton);
    };

    // The login dialog's signal: admin opens everything, in the order of the receivers.
    logInThroughTheDialog("admin", "admin");
    ASSERT_EQ(userLevel, 2);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_TRUE(editors->isEnabled());
    EXPECT_EQ(order.take(), all);

    // "user" closes the administrator's fields but not the feedback panel or the
    // tool action; "Update" stays.
    logInThroughTheDialog("user", "user");
    ASSERT_EQ(userLevel, 1);
    EXPECT_FALSE(editors->isEnabled());
    EXPECT_TRUE(feedback->isEnabled());
    EXPECT_TRUE(pidUpdate->isEnabled());
    EXPECT_TRUE(manual->isEnabled());
    EXPECT_EQ(order.take(), (QStringList{"pid", "rocroi", "beamline"}));

    // The status panel's poll alone: the controller now reports admin.
    auto *status = w.findChild<HeartBeat *>();
    ASSERT_NE(status, nullptr);
    logIn("admin", "admin");
    status->refreshFields();
    EXPECT_EQ(userLevel, 2);
    EXPECT_EQ(order.take(), (QStringList{"pid", "rocroi", "beamline"}));

    // A failed poll says nothing about the operator: the panels stay as they are,
    // only the main window's tool actions close.
    nivraSimFailCall("getLockStatus", -2);
    status->refreshFields();
    EXPECT_EQ(userLevel, -2);
    EXPECT_TRUE(editors->isEnabled());
    EXPECT_EQ(order.take(), QStringList{"main"});
    nivraSimFailCall("getLockStatus", 0);
    status->refreshFields();
    EXPECT_TRUE(manual->isEnabled());
    order.take();

    // Cruise through the poll closes everything, in the same order.
    logIn("cruise", "");
    status->refreshFields();
    EXPECT_EQ(userLevel, 0);
    EXPECT_FALSE(editors->isEnabled());
    EXPECT_FALSE(feedback->isEnabled());
    EXPECT_TRUE(pidUpdate->isEnabled());
    EXPECT_EQ(order.take(), all);
}
