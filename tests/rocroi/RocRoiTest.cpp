// The ROC/ROI dialog driven as an operator would: which buttons and levels send,
// what reaches the controller (in order), the XY graphs and the store, how the panes
// follow the encoder boxes, and what a show reloads.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "AcquisitionSettings.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetGraphXY.h"
#include "WidgetLookup.h"
#include "WidgetRoc.h"
#include "WindowROC_ROI.h"

// Readable texts in failure output.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct Rect {
    QPointF topLeft;
    QPointF bottomRight;
};

// The ROI (first) or ROC (second) rectangle as the XY graph shows it.
Rect rectOf(WidgetGraphXY *graph, int which)
{
    auto *plot = graph->findChild<QCustomPlot *>();
    auto *rect = qobject_cast<QCPItemRect *>(plot->item(which));
    return {rect->topLeft->coords(), rect->bottomRight->coords()};
}

class RocRoiTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        userLevel = 2;
        mailbox->scanSFP();   // both acquisition modules of the default set-up
        ASSERT_EQ(mailbox->deviceCount(), 2);
    }

    void TearDown() override
    {
        window.reset();
        graphs[0].reset();
        graphs[1].reset();
        ProgramEnvironment::TearDown();
    }

    // Built, handed its references and shown the way the main window does it.
    WindowROC_ROI *open()
    {
        window = std::make_unique<WindowROC_ROI>();
        QObject::connect(mailbox.get(), &MailboxComm::nrTovashesChanged, window.get(),
                         &WindowROC_ROI::nrTovashesChanged);
        graphs[0] = std::make_unique<WidgetGraphXY>(0, nullptr);
        graphs[1] = std::make_unique<WidgetGraphXY>(1, nullptr);
        window->setUpdater(engine.get());
        window->setBeamlineConf(nullptr);
        window->setGraphXY(graphs[0].get(), 0);
        window->setGraphXY(graphs[1].get(), 1);
        window->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        nivraSimClearCallLog();
        return window.get();
    }

    WidgetRoc *pane(int bpm) const
    {
        return child<WidgetRoc>(window.get(), bpm == 0 ? "rocWidget0" : "rocWidget1");
    }
    QDoubleSpinBox *box(int bpm, const char *name) const
    {
        return child<QDoubleSpinBox>(pane(bpm), name);
    }
    QCheckBox *check(int bpm, const char *name) const
    {
        return child<QCheckBox>(pane(bpm), name);
    }

    void enterPane(int bpm, const QString &roiX, const QString &roiY, const QString &roc)
    {
        // No Return: in a dialog it would press OK.
        replaceText(box(bpm, "roiXDoubleSpinBox"), roiX);
        replaceText(box(bpm, "roiYDoubleSpinBox"), roiY);
        replaceText(box(bpm, "rocFactorBox"), roc);
    }

    void press(QDialogButtonBox::StandardButton which)
    {
        auto *buttons = child<QDialogButtonBox>(window.get(), "buttonBox");
        QTest::mouseClick(buttons->button(which), Qt::LeftButton);
    }

    static QStringList rocCalls()
    {
        return SimCallLog::linesOf({"setROClimits", "setROCenable"});
    }

    std::unique_ptr<WindowROC_ROI> window;
    std::unique_ptr<WidgetGraphXY> graphs[2];
};

TEST_F(RocRoiTest, ApplySendsBothBpmsThenTheEnablesAndDrawsAndStores)
{
    open();
    EXPECT_EQ(child<QLabel>(pane(1), "bpmLabel")->text(), QStringLiteral("BPM 2"));
    enterPane(0, QStringLiteral("10"), QStringLiteral("5"), QStringLiteral("150"));
    enterPane(1, QStringLiteral("50"), QStringLiteral("20"), QStringLiteral("200"));
    setChecked(check(0, "enableROCXCheckCheckBox"), true);
    setChecked(check(0, "enableROCYCheckCheckBox"), false);
    setChecked(check(1, "enableROCXCheckCheckBox"), false);
    setChecked(check(1, "enableROCYCheckCheckBox"), true);

    press(QDialogButtonBox::Apply);

    EXPECT_EQ(rocCalls(), (QStringList{
                              QStringLiteral("setROClimits(0, 0, 15) -> 0"),
                              QStringLiteral("setROClimits(1, 0, 7.5) -> 0"),
                              QStringLiteral("setROClimits(3, 0, 100) -> 0"),
                              QStringLiteral("setROClimits(4, 0, 40) -> 0"),
                              QStringLiteral("setROCenable(1, 0, 0, 0, 1, 0) -> 0"),
                          }));
    EXPECT_DOUBLE_EQ(nivraSimSetting("rocUpper", 3), 100.0);
    EXPECT_TRUE(window->isVisible()) << "Apply keeps the dialog open";

    const std::pair<const char *, double> stored[] = {
        {"ROCandROI/RoiX", 10},        {"ROCandROI/RocY", 7.5},         {"ROCandROI2/RoiX", 50},
        {"ROCandROI2/RoiY", 20},       {"ROCandROI2/RoiI0min", 0},      {"ROCandROI2/RoiI0max", 1},
        {"ROCandROI2/RocX", 100},      {"ROCandROI2/RocY", 40},         {"ROCandROI/RocXenable", 1},
        {"ROCandROI/RocYenable", 0},   {"ROCandROI/BeamOffEnable", 0},  {"ROCandROI2/RocXenable", 0},
        {"ROCandROI2/RocYenable", 1},  {"ROCandROI2/BeamOffEnable", 0},
    };
    for (const auto &[key, value] : stored) {
        const QVariant v = config.value(QString::fromLatin1(key));
        EXPECT_TRUE(v.isValid()) << key;
        EXPECT_DOUBLE_EQ(QString::fromLatin1(key).endsWith("able") ? v.toBool() : v.toDouble(), value)
            << key;
    }

    const Rect roi2 = rectOf(graphs[1].get(), 0);
    const Rect roc2 = rectOf(graphs[1].get(), 1);
    EXPECT_EQ(roi2.topLeft, QPointF(50, -20));
    EXPECT_EQ(roi2.bottomRight, QPointF(-50, 20));
    EXPECT_EQ(roc2.topLeft, QPointF(100, -40));
    EXPECT_EQ(roc2.bottomRight, QPointF(-100, 40));
    EXPECT_EQ(rectOf(graphs[0].get(), 1).topLeft, QPointF(15, -7.5));

    // OK sends the same way and then closes.
    nivraSimClearCallLog();
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(rocCalls().size(), 5);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(RocRoiTest, BelowAdminNothingIsSentDrawnOrStored)
{
    for (const int level : {0, 1}) {
        SCOPED_TRACE(level);
        config.writeText(QByteArray());
        store.writeConfigROCandROI(0, 10, 10, 0, 1, 120);
        const QByteArray file = config.text();
        userLevel = level;
        open();
        const Rect before = rectOf(graphs[0].get(), 1);
        ASSERT_EQ(before.topLeft, QPointF(12, -12));
        EXPECT_FALSE(box(0, "roiXDoubleSpinBox")->isEnabled());
        EXPECT_FALSE(check(1, "enableROCYCheckCheckBox")->isEnabled());

        // The values an administrator could have left in the boxes.
        box(0, "roiXDoubleSpinBox")->setValue(42);
        press(QDialogButtonBox::Apply);
        EXPECT_TRUE(window->isVisible());
        press(QDialogButtonBox::Ok);
        EXPECT_FALSE(window->isVisible()) << "OK still closes";

        EXPECT_TRUE(rocCalls().isEmpty()) << rocCalls().join('\n').toStdString();
        EXPECT_EQ(config.text(), file);
        EXPECT_EQ(rectOf(graphs[0].get(), 1).topLeft, before.topLeft);
    }
}

TEST_F(RocRoiTest, CancelAndOtherButtonTextsSendNothing)
{
    open();
    press(QDialogButtonBox::Cancel);
    EXPECT_FALSE(window->isVisible());
    QPushButton lower(QStringLiteral("apply")), padded(QStringLiteral("&Apply "));
    window->sendROCconf(&lower);
    window->sendROCconf(&padded);
    EXPECT_TRUE(rocCalls().isEmpty());

    QPushButton mnemonicOk(QStringLiteral("&OK"));   // themes that add mnemonics
    window->sendROCconf(&mnemonicOk);
    EXPECT_EQ(rocCalls().size(), 5);
}

TEST_F(RocRoiTest, OneModuleSendsOnlyBpm1LimitsButBothEnables)
{
    // BPM 2's check as the controller holds it: sent although its pane is hidden.
    ASSERT_EQ(setROCenable(0, 0, 0, 1, 0, 0), 0);
    nivraSimSetSfpModule(1, 0, 0, 0, 0);   // BPM 2's module pulled
    mailbox->scanSFP();
    ASSERT_EQ(mailbox->deviceCount(), 1);
    open();
    EXPECT_TRUE(pane(0)->isVisible());
    EXPECT_FALSE(pane(1)->isVisible());

    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 2);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").first().left(15), QStringLiteral("setROClimits(0,"));
    EXPECT_EQ(SimCallLog::callsTo("setROCenable"),
              QStringList{QStringLiteral("setROCenable(0, 0, 0, 1, 0, 0)")});
    EXPECT_FALSE(config.value(QStringLiteral("ROCandROI2/RoiX")).isValid());
    EXPECT_TRUE(config.value(QStringLiteral("ROCandROI2/RocXenable")).toBool());

    // The module comes back: the count arrives by the device link's signal.
    nivraSimSetSfpModule(1, 0x2302, 2, 0x01000203, 20241017);
    mailbox->scanSFP();
    mailbox->announceDeviceCount();
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane(1)->isVisible());
    nivraSimClearCallLog();
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 4);
}

TEST_F(RocRoiTest, PanesFollowTheEncoderBoxesNotTheModuleCount)
{
    open();
    struct Case {
        int tovash1, tovash2;
        bool shown0, shown1;
    };
    for (const Case c : {Case{1, 1, true, true}, Case{1, 0, true, false},
                         Case{0, 1, false, true}, Case{0, 0, false, false}}) {
        SCOPED_TRACE(c.tovash1 * 10 + c.tovash2);
        nivraSimSetTovash(0, c.tovash1);
        nivraSimSetTovash(1, c.tovash2);
        mailbox->scanSFP();
        window->nrTovashesChanged(mailbox->deviceCount());
        EXPECT_EQ(pane(0)->isVisible(), c.shown0);
        EXPECT_EQ(pane(1)->isVisible(), c.shown1);
    }

    // Plain modules on both ports: no pane shown, yet with two modules counted
    // BPM 2's limits still go out.
    ASSERT_EQ(mailbox->deviceCount(), 2);
    nivraSimClearCallLog();
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 4);

    // Both encoder boxes present but one module counted: both panes show and go out.
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    window->nrTovashesChanged(1);
    EXPECT_TRUE(pane(1)->isVisible());
    nivraSimClearCallLog();
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 4);

    // BPM 2's encoder box alone: the pane shown is sent and stored, not BPM 1's.
    nivraSimSetTovash(0, 0);
    window->nrTovashesChanged(1);
    enterPane(1, QStringLiteral("50"), QStringLiteral("20"), QStringLiteral("200"));
    nivraSimClearCallLog();
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").join(' '),
              QStringLiteral("setROClimits(3, 0, 100) setROClimits(4, 0, 40)"));
    EXPECT_DOUBLE_EQ(config.value(QStringLiteral("ROCandROI2/RocY")).toDouble(), 40.0);

    // A failed read of the encoder boxes counts as neither present.
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    nivraSimFailCall("getTovashes", -1);
    window->nrTovashesChanged(2);
    EXPECT_FALSE(pane(0)->isVisible());
    EXPECT_FALSE(pane(1)->isVisible());
}

TEST_F(RocRoiTest, ChecksComeFromTheControllerOnceAndBeamOffIsDropped)
{
    ASSERT_EQ(setROCenable(1, 0, 1, 0, 1, 1), 0);
    window = std::make_unique<WindowROC_ROI>();
    EXPECT_TRUE(check(0, "enableROCXCheckCheckBox")->isChecked());
    EXPECT_FALSE(check(0, "enableROCYCheckCheckBox")->isChecked());
    EXPECT_FALSE(check(1, "enableROCXCheckCheckBox")->isChecked());
    EXPECT_TRUE(check(1, "enableROCYCheckCheckBox")->isChecked());

    // Later shows do not re-read the controller; the operator's ticks stay.
    ASSERT_EQ(setROCenable(0, 1, 0, 1, 0, 0), 0);
    window->showWindow();
    setChecked(check(1, "enableROCXCheckCheckBox"), true);
    window->hide();
    window->showWindow();
    EXPECT_TRUE(check(0, "enableROCXCheckCheckBox")->isChecked());
    EXPECT_TRUE(check(1, "enableROCXCheckCheckBox")->isChecked());

    window->sendROCenable();
    std::uint8_t f[6] = {9, 9, 9, 9, 9, 9};
    ASSERT_EQ(getROCenable(&f[0], &f[1], &f[2], &f[3], &f[4], &f[5]), 0);
    EXPECT_EQ((std::vector<int>(f, f + 6)), (std::vector<int>{1, 0, 0, 1, 1, 0}));
}

TEST_F(RocRoiTest, FailedEnableReadStartsWithTheChecksOff)
{
    ASSERT_EQ(setROCenable(1, 1, 1, 1, 1, 1), 0);
    nivraSimFailCall("getROCenable", -3);
    window = std::make_unique<WindowROC_ROI>();
    for (int bpm = 0; bpm < 2; ++bpm) {
        EXPECT_FALSE(check(bpm, "enableROCXCheckCheckBox")->isChecked());
        EXPECT_FALSE(check(bpm, "enableROCYCheckCheckBox")->isChecked());
    }
}

TEST_F(RocRoiTest, ShowReloadsTheStoreRoundedAndClamped)
{
    store.writeConfigROCandROI(0, 12.346, 2000, 0, 1, 250);
    store.writeConfigROCandROI(1, 30, 40, 0, 1, 50);
    open();
    EXPECT_DOUBLE_EQ(box(0, "roiXDoubleSpinBox")->value(), 12.35);
    EXPECT_DOUBLE_EQ(box(0, "roiYDoubleSpinBox")->value(), 1000);
    EXPECT_NEAR(box(0, "rocFactorBox")->value(), 250, 1e-9);
    EXPECT_DOUBLE_EQ(box(1, "rocFactorBox")->value(), 100) << "below the range";

    // Unsent edits are lost at the next show.
    replaceText(box(1, "roiYDoubleSpinBox"), QStringLiteral("7"));
    window->hide();
    window->showWindow();
    EXPECT_DOUBLE_EQ(box(1, "roiYDoubleSpinBox")->value(), 40);
    EXPECT_TRUE(rocCalls().isEmpty());
}

TEST_F(RocRoiTest, ZeroRoiXInTheStoreLeavesTheRocBoxAsItWas)
{
    // Nothing stored at all: RocX / RoiX is 0/0, which the box alone would show as
    // its maximum, 1000 %.
    open();
    const double roc = box(0, "rocFactorBox")->value();
    EXPECT_TRUE(std::isfinite(roc));
    EXPECT_DOUBLE_EQ(roc, 110.0);

    // An administrator applies ROI X 0 with ROC 150 %: the next show keeps 150.
    enterPane(0, QStringLiteral("0"), QStringLiteral("8"), QStringLiteral("150"));
    press(QDialogButtonBox::Apply);
    window->hide();
    window->showWindow();
    EXPECT_DOUBLE_EQ(box(0, "rocFactorBox")->value(), 150.0);
    EXPECT_DOUBLE_EQ(box(0, "roiYDoubleSpinBox")->value(), 8.0);

    nivraSimClearCallLog();
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").mid(0, 2),
              (QStringList{QStringLiteral("setROClimits(0, 0, 0)"),
                           QStringLiteral("setROClimits(1, 0, 12)")}));
}

TEST_F(RocRoiTest, UserLevelGatesTheTenControlsOnly)
{
    open();
    QList<QWidget *> controls;
    for (int bpm = 0; bpm < 2; ++bpm)
        for (const char *name : {"roiXDoubleSpinBox", "roiYDoubleSpinBox", "rocFactorBox",
                                 "enableROCXCheckCheckBox", "enableROCYCheckCheckBox"})
            controls << child<QWidget>(pane(bpm), name);
    auto enabledCount = [&] {
        return std::count_if(controls.begin(), controls.end(), [](QWidget *w) { return w->isEnabled(); });
    };
    ASSERT_EQ(controls.size(), 10);

    const std::pair<int, int> steps[] = {{1, 0}, {2, 10}, {-1, 10}, {3, 10}, {0, 0}, {2, 10}};
    for (const auto &[level, enabled] : steps) {
        userLevel = level;
        window->checkUserLevel();
        EXPECT_EQ(enabledCount(), enabled) << "level " << level;
        EXPECT_TRUE(child<QDialogButtonBox>(window.get(), "buttonBox")->isEnabled());
    }
}

TEST_F(RocRoiTest, GoneGraphOrNoGraphSkipsOnlyTheDrawing)
{
    open();
    graphs[1].reset();
    enterPane(1, QStringLiteral("50"), QStringLiteral("20"), QStringLiteral("200"));
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 4);

    // A window never handed its graphs sends and stores all the same.
    WindowROC_ROI bare;
    nivraSimClearCallLog();
    userLevel = 2;
    bare.sendROClimits(1);
    EXPECT_EQ(SimCallLog::callsTo("setROClimits").size(), 2);

    // A null graph keeps the one already held.
    window->setGraphXY(nullptr, 0);
    enterPane(0, QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("100"));
    press(QDialogButtonBox::Apply);
    EXPECT_EQ(rectOf(graphs[0].get(), 0).topLeft, QPointF(3, -4));
}

} // namespace
