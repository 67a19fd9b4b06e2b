// Main window menus and the tool windows they open: the menus in order, the kept
// windows built once and shown by their actions, the windows built anew on each
// choice, the ROC/ROI window's references, the actions closed by the user level, and
// the order in which the encoder-box report reaches its receivers. The 3-D rocking
// window needs OpenGL: gl/MainWindowRocking3DTest.cpp.
#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "MainWindowFixture.h"
#include "NivraSim.h"
#include "ShellTestSupport.h"
#include "Updater.h"
#include "WidgetGraphXY.h"
#include "WidgetStats.h"
#include "WindowBeamlineConf.h"
#include "WindowDisplaySettings.h"
#include "WindowFrequencyAnalysis.h"
#include "WindowManOutCtrl.h"
#include "WindowPIDparams.h"
#include "WindowPico.h"
#include "WindowROC_ROI.h"
#include "WindowRockingCurve.h"
#include "WindowSFPstatus.h"
#include "WindowSaveData.h"
#include "WindowStepResponse.h"

#include <qcustomplot.h>

TEST_F(MainWindowTest, MenusActionsAndSlotsInOrder)
{
    MainWindow w;
    const QList<QAction *> menus = w.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    // An empty name stands for a separator.
    const struct {
        const char *object;
        const char *title;
        QStringList actions;
        QStringList texts;
    } expected[] = {
        {"menu_FIle", "&File", {"action_Exit"}, {"&Exit"}},
        {"menu_Tools",
         "&Settings",
         {"action_Display_Settings", "actionPico_Amp", "action_Beamline_Settings", "action_PID_Parameters",
          "action_ROC_ROI", "actionSFP_info", "action_Login"},
         {"&Display Settings", "Pico&Amp", "&Beamline ", "&PID Parameters", "&ROC/ROI", "SFP &Info", "&Login"}},
        {"menu_Tools_2",
         "&Tools",
         {"action_Rocking_Curve", "actionRocking_Curve_3D", "actionStep_Response", "actionFrequency_Analysis",
          "actionManual_Output_Control", "", "action_Save_Data"},
         {"&Rocking Curve", "Rocking Curve &3D", "Step &Response (beta version)", "Frequency Analysis",
          "Manual Output Control", "", "&Save Data"}},
        {"menu_Help", "&Help", {"action_Log", "action_About"}, {"&Log", "&About"}},
    };
    for (int m = 0; m < 4; ++m) {
        QMenu *menu = menus[m]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromLatin1(expected[m].object));
        EXPECT_EQ(menu->title(), QString::fromLatin1(expected[m].title));
        const QList<QAction *> actions = menu->actions();
        ASSERT_EQ(actions.size(), expected[m].actions.size()) << expected[m].object;
        for (int a = 0; a < actions.size(); ++a) {
            EXPECT_EQ(actions[a]->isSeparator(), expected[m].actions[a].isEmpty()) << a;
            EXPECT_EQ(actions[a]->objectName(), expected[m].actions[a]);
            EXPECT_EQ(actions[a]->text(), expected[m].texts[a]);
            EXPECT_TRUE(actions[a]->shortcut().isEmpty());
        }
    }
    // The current-meter action is never offered.
    EXPECT_FALSE(action(w, "actionPico_Amp")->isVisible());

    // The slots, in the order of the meta-object; no signals of its own.
    const QMetaObject *meta = w.metaObject();
    QStringList slotNames;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        EXPECT_NE(method.methodType(), QMetaMethod::Signal) << method.methodSignature().toStdString();
        if (method.methodType() == QMetaMethod::Slot)
            slotNames << QString::fromLatin1(method.methodSignature());
    }
    EXPECT_EQ(slotNames, (QStringList{"nr_tovashes_changed(int)", "showBeamlineConf()", "showSFPinfo()",
                                  "showPIDparams()", "showRockCurve()", "showROCwindow()", "showRockCurve3D()",
                                  "showPicoWindow()", "showSaveDataWindow()", "showLoginDialog()",
                                  "showAboutDialog()", "Exit()", "showStepResponse()", "showDispSettings()",
                                  "handleUserLevelChange(int)", "showManualOutputControl()", "showLogWindow()",
                                  "showFrequencyAnalysisWindow()"}));
}

TEST_F(MainWindowTest, KeptToolWindowsAreBuiltOnceAndShownByTheirActions)
{
    DialogAnswerer answerer;
    MainWindow w;
    // The gated actions work from level 1 on.
    w.handleUserLevelChange(1);

    const struct {
        const char *action;
        std::function<QWidget *(QObject *)> cast;
        const char *title;
    } windows[] = {
        {"action_Beamline_Settings", [](QObject *o) { return qobject_cast<WindowBeamlineConf *>(o); },
         "Beamline Configuration"},
        {"action_PID_Parameters", [](QObject *o) { return qobject_cast<WindowPIDparams *>(o); }, "PID Parameters"},
        {"action_ROC_ROI", [](QObject *o) { return qobject_cast<WindowROC_ROI *>(o); }, "ROC/ROI Settings"},
        {"actionStep_Response", [](QObject *o) { return qobject_cast<WindowStepResponse *>(o); }, "Step Response"},
        {"action_Display_Settings", [](QObject *o) { return qobject_cast<WindowDisplaySettings *>(o); },
         nullptr},
        {"actionManual_Output_Control", [](QObject *o) { return qobject_cast<WindowManOutCtrl *>(o); },
         "Manual Output Control"},
        {"actionFrequency_Analysis", [](QObject *o) { return qobject_cast<WindowFrequencyAnalysis *>(o); },
         "Frequency Analysis Tool"},
        {"actionSFP_info", [](QObject *o) { return qobject_cast<WindowSFPstatus *>(o); }, "SFP Info"},
    };

    // Each exists once, as a direct child, built in this order and hidden.
    int lastPosition = -1;
    QList<QWidget *> kept;
    for (const auto &entry : windows) {
        SCOPED_TRACE(entry.action);
        QList<QWidget *> found;
        for (QObject *o : w.children())
            if (QWidget *window = entry.cast(o))
                found << window;
        ASSERT_EQ(found.size(), 1);
        const int position = w.children().indexOf(found.first());
        EXPECT_GT(position, lastPosition) << "built in order";
        lastPosition = position;
        EXPECT_TRUE(found.first()->isHidden());
        kept << found.first();
    }

    // Each action shows its window, and again the same one after it was closed.
    for (int i = 0; i < kept.size(); ++i) {
        SCOPED_TRACE(windows[i].action);
        QAction *a = action(w, windows[i].action);
        ASSERT_NE(a, nullptr);
        for (int round = 0; round < 2; ++round) {
            a->trigger();
            EXPECT_TRUE(kept[i]->isVisible()) << round;
            if (windows[i].title) {
                EXPECT_EQ(kept[i]->windowTitle(), QString::fromLatin1(windows[i].title));
            }
            kept[i]->close();
            settle();
        }
        int instances = 0;
        for (QObject *o : w.children())
            instances += windows[i].cast(o) != nullptr;
        EXPECT_EQ(instances, 1);
    }
    EXPECT_EQ(answerer.count(), 0);

    // The engine keeps the beamline window; there is no current-meter window, and
    // its hidden action, or its slot called directly, opens nothing.
    EXPECT_EQ(updater->beamlineConfWindow(), static_cast<WindowBeamlineConf *>(kept[0]));
    EXPECT_EQ(updater->picoWindow(), nullptr);
    action(w, "actionPico_Amp")->trigger();
    w.showPicoWindow();
    EXPECT_TRUE(w.findChildren<WindowPico *>().isEmpty());
}

TEST_F(MainWindowTest, RocRoiWindowDrawsOnBothXYGraphsOnceOpenedFromItsAction)
{
    DialogAnswerer answerer;
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    logIn("admin", "admin");   // the status panel reads the level while it is built
    MainWindow w;
    ASSERT_EQ(userLevel, 2);
    emit mailboxComm->nrTovashesChanged(2);
    action(w, "action_ROC_ROI")->trigger();
    auto *window = w.findChild<WindowROC_ROI *>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());

    // Distinct ROIs for the two BPMs, sent with Apply.
    const double roi[2] = {123.0, 77.0};
    const char *panes[2] = {"rocWidget0", "rocWidget1"};
    for (int b = 0; b < 2; ++b) {
        auto *box = ::child<QDoubleSpinBox>(::child<QWidget>(window, panes[b]), "roiXDoubleSpinBox");
        ASSERT_NE(box, nullptr);
        box->setValue(roi[b]);
    }
    auto *buttons = ::child<QDialogButtonBox>(window, "buttonBox");
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Apply)->click();
    EXPECT_EQ(answerer.count(), 0);

    // Each graph shows its own BPM's ROI as a rectangle.
    const char *graphs[2] = {"graphXY1", "graphXY2"};
    for (int b = 0; b < 2; ++b) {
        auto *plot = child<WidgetGraphXY>(w, graphs[b])->findChild<QCustomPlot *>();
        ASSERT_NE(plot, nullptr);
        QList<double> edges;
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *rect = qobject_cast<QCPItemRect *>(plot->item(i)))
                edges << rect->topLeft->coords().x();
        EXPECT_TRUE(edges.contains(roi[b])) << graphs[b];
        EXPECT_FALSE(edges.contains(roi[1 - b])) << graphs[b];
    }
}

TEST_F(MainWindowTest, RockingCurveAndSaveDataOpenANewWindowOnEachChoice)
{
    DialogAnswerer answerer;
    MainWindow w;
    w.handleUserLevelChange(1);
    const struct {
        const char *action;
        std::function<QList<QWidget *>()> windows;
    } tools[] = {
        {"action_Rocking_Curve",
         [&w] {
             QList<QWidget *> list;
             for (auto *x : w.findChildren<WindowRockingCurve *>())
                 list << x;
             return list;
         }},
        {"action_Save_Data",
         [&w] {
             QList<QWidget *> list;
             for (auto *x : w.findChildren<WindowSaveData *>())
                 list << x;
             return list;
         }},
    };
    for (const auto &tool : tools) {
        SCOPED_TRACE(tool.action);
        EXPECT_TRUE(tool.windows().isEmpty()) << "none before the first choice";
        for (int i = 0; i < 3; ++i)
            action(w, tool.action)->trigger();
        const QList<QWidget *> windows = tool.windows();
        ASSERT_EQ(windows.size(), 3);
        for (QWidget *window : windows) {
            EXPECT_EQ(window->parent(), &w);
            EXPECT_TRUE(window->isVisible());
            EXPECT_FALSE(window->isModal());
            window->close();
        }
        settle();
        EXPECT_EQ(tool.windows().size(), 3) << "closing only hides";
    }
    EXPECT_EQ(answerer.count(), 0);
}

TEST_F(MainWindowTest, ClosedToolActionsOpenNothing)
{
    MainWindow w;
    auto *manual = w.findChild<WindowManOutCtrl *>();
    auto *step = w.findChild<WindowStepResponse *>();
    ASSERT_TRUE(manual && step);
    for (int level : {0, -1}) {
        w.handleUserLevelChange(level);
        for (const char *name : {"action_Rocking_Curve", "actionRocking_Curve_3D", "actionStep_Response",
                                 "actionManual_Output_Control"})
            action(w, name)->trigger();
        EXPECT_TRUE(w.findChildren<WindowRockingCurve *>().isEmpty()) << level;
        EXPECT_TRUE(step->isHidden()) << level;
        EXPECT_TRUE(manual->isHidden()) << level;
    }
    // Admin opens them.
    w.handleUserLevelChange(2);
    action(w, "actionManual_Output_Control")->trigger();
    EXPECT_TRUE(manual->isVisible());
}

TEST_F(MainWindowTest, EncoderBoxReportReachesItsFourReceiversInOrder)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    MainWindow w;
    auto *beamline = w.findChild<WindowBeamlineConf *>();
    auto *rocRoi = w.findChild<WindowROC_ROI *>();
    auto *stats = w.findChild<WidgetStats *>();
    ASSERT_TRUE(beamline && rocRoi && stats);

    // The BPM2 part of each receiver.
    EventOrderLog order({QEvent::ShowToParent, QEvent::HideToParent});
    order.watch(child<QWidget>(w, "graphXY2"), QStringLiteral("main"));
    order.watch(::child<QWidget>(beamline, "boxBPM2"), QStringLiteral("beamline"));
    order.watch(::child<QWidget>(rocRoi, "rocWidget1"), QStringLiteral("rocroi"));
    order.watch(::child<QWidget>(stats, "bpm2Table"), QStringLiteral("stats"));
    const QStringList all{"main", "beamline", "rocroi", "stats"};

    // Reported from the device link's thread: nothing is touched there, the GUI
    // thread applies it when it next handles its events.
    nivraSimSetTovash(1, 0);
    std::thread([] { emit mailboxComm->nrTovashesChanged(1); }).join();
    EXPECT_TRUE(order.take().isEmpty());
    EXPECT_FALSE(::child<QWidget>(rocRoi, "rocWidget1")->isHidden());
    settle();
    EXPECT_EQ(order.take(), all) << "BPM2 box gone";
    EXPECT_TRUE(::child<QWidget>(rocRoi, "rocWidget1")->isHidden());

    nivraSimSetTovash(1, 1);
    emit mailboxComm->nrTovashesChanged(2);
    EXPECT_EQ(order.take(), all) << "BPM2 box back";
    EXPECT_FALSE(::child<QWidget>(beamline, "boxBPM2")->isHidden());
}

// Closing the main window ends the run as "&Exit" does, even with the log window open.
TEST_F(MainWindowTest, ClosingEndsTheRunAlsoWithTheLogWindowOpen)
{
    MainWindow w;
    w.show();
    w.showLogWindow();
    QTimer::singleShot(0, &w, &QWidget::close);
    QTimer::singleShot(10000, &w, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}
