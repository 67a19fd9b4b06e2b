// The PID control tab and its two loop editors driven through their forms: what is
// loaded from the store, what "Update" sends to the controller and stores, the loop
// divider at both base clocks, and the user-level gate. Also the PID picture dialog.

#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <utility>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "LogCapture.h"
#include "Logger.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WidgetPIDparams.h"
#include "WidgetPidCtrl.h"
#include "WindowPIDparams.h"

namespace {

// The controller calls of one "Update", in the order they were made.
QStringList pidCalls()
{
    return SimCallLog::linesOf({"setWindAvg", "setOffset", "setPIDparams"});
}

void typeValue(QWidget *editor, const char *field, const QString &text)
{
    enterText(child<QDoubleSpinBox>(editor, field), text);
}

class PidControlTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        userLevel = 2;
    }

    void TearDown() override
    {
        panel.reset();
        ProgramEnvironment::TearDown();
    }

    void writeStore(const QString &group, const QList<double> &tenValues)
    {
        static const char *keys[] = {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"};
        for (int i = 0; i < 10; ++i)
            config.setValue(group + '/' + keys[i], tenValues[i]);
    }

    QList<double> stored(const QString &group)
    {
        QList<double> values;
        for (const char *key : {"Freq", "Kp", "Ki", "Kd", "emin", "Imax", "Omin", "Omax", "Ogain", "Offset"})
            values.append(config.value(group + '/' + key).toDouble());
        return values;
    }

    QList<double> shown(WidgetPIDparams *e)
    {
        return {e->getFreq(), e->getKp(), e->getKi(), e->getKd(), e->getEmin(),
                e->getImax(), e->getOmin(), e->getOmax(), e->getOgain(), e->getOffset()};
    }

    void makePanel()
    {
        panel = std::make_unique<WidgetPidCtrl>();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        xEditor = child<WidgetPIDparams>(panel.get(), "posXwidget");
        yEditor = child<WidgetPIDparams>(panel.get(), "posYwidget");
        nivraSimClearCallLog();
    }

    void pressUpdate() { QTest::mouseClick(child<QPushButton>(panel.get(), "pushButtonUpdate"), Qt::LeftButton); }

    std::unique_ptr<WidgetPidCtrl> panel;
    WidgetPIDparams *xEditor = nullptr;
    WidgetPIDparams *yEditor = nullptr;
    DialogAnswerer answerer;
};

TEST_F(PidControlTest, EditorDividerAndRealFrequency)
{
    WidgetPIDparams editor;
    editor.show();
    auto *real = child<QLineEdit>(&editor, "realFreqLine");
    EXPECT_EQ(real->text(), "1000.00 Hz") << "computed at construction";
    EXPECT_EQ(editor.getDivider(), 100);

    struct Case { int clock; const char *typed; int divider; const char *realText; };
    const Case cases[] = {
        {100000, "3000", 33, "3030.30 Hz"},
        {100000, "40000", 3, "33333.33 Hz"},     // 2.5 rounds away from zero
        {100000, "1", 100000, "1.00 Hz"},
        {100000, "0", 100000, "1.00 Hz"},   // below the range: the field keeps 1
        {5000, "1000", 5, "1000.00 Hz"},
        {5000, "3000", 2, "2500.00 Hz"},
        // Above twice the base clock the quotient rounds to 0: the loop can run at
        // most once per tick, so 1 is used and shown, never 0.
        {5000, "20000", 1, "5000.00 Hz"},
    };
    for (const Case &c : cases) {
        pidBaseClock = c.clock;
        typeValue(&editor, "curFreqBox", c.typed);
        EXPECT_EQ(editor.getDivider(), c.divider) << c.clock << " " << c.typed;
        EXPECT_EQ(real->text(), c.realText) << c.clock << " " << c.typed;
    }

    // A base-clock change alone leaves the text; the divider uses the clock of now.
    typeValue(&editor, "curFreqBox", "3000");
    pidBaseClock = 100000;
    EXPECT_EQ(real->text(), "2500.00 Hz");
    EXPECT_EQ(editor.getDivider(), 33);

    auto *dac = child<QLabel>(&editor, "DACoutputLabel");
    EXPECT_EQ(dac->text(), "output CH");
    editor.setDACchannel(3);
    EXPECT_EQ(dac->text(), "Ch 4");
    editor.setDACchannel(INT_MAX);
    EXPECT_EQ(dac->text(), "Ch 2147483648");
}

TEST_F(PidControlTest, LoadsBothLoopsFromTheStore)
{
    // A fresh system: every key reads 0, which the Freq field raises to its minimum.
    makePanel();
    EXPECT_EQ(shown(xEditor), (QList<double>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(child<QLabel>(xEditor, "DACoutputLabel")->text(), "Ch 1");
    EXPECT_EQ(child<QLabel>(yEditor, "DACoutputLabel")->text(), "Ch 2");

    writeStore("PID_X", {2000, 0.5, 0.2, 0.05, 0.1, 80, -10, 10, 1.5, 1.25});
    // Outside the fields' ranges and decimals: shown as an operator's entry would be.
    writeStore("PID_Y", {0, 1.123456789, -3, 2e9, 1, -5e9, -150, 150, 3, 20});
    writeStore("PID_I0", {500, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    config.setValue("Beamline/DAC_posX", 2);
    config.setValue("Beamline/DAC_posY", 0);
    makePanel();
    EXPECT_EQ(shown(xEditor), (QList<double>{2000, 0.5, 0.2, 0.05, 0.1, 80, -10, 10, 1.5, 1.25}));
    EXPECT_EQ(shown(yEditor), (QList<double>{1, 1.12346, 0, 1e9, 1, -1e9, -99, 99.99, 3, 12}));
    EXPECT_EQ(child<QLineEdit>(xEditor, "realFreqLine")->text(), "2000.00 Hz");
    EXPECT_EQ(child<QLineEdit>(yEditor, "realFreqLine")->text(), "1.00 Hz");
    EXPECT_EQ(child<QLabel>(xEditor, "DACoutputLabel")->text(), "Ch 3");
    EXPECT_EQ(child<QLabel>(yEditor, "DACoutputLabel")->text(), "Ch 1");
    EXPECT_EQ(nivraSimCallLog(nullptr, 0), 0u) << "loading talks to no device";
}

TEST_F(PidControlTest, UpdateSendsInFixedOrderAndStores)
{
    writeStore("PID_X", {1000, 0.3, 0.1, 0.01, 0, 100, -12, 12, 1, 0});
    writeStore("PID_Y", {40000, 0.4, 0.2, 0.02, 0.5, 50, -6, 6, 2, 0.75});
    makePanel();
    typeValue(xEditor, "curFreqBox", "3000");
    typeValue(xEditor, "boxKp", "1.5");
    typeValue(xEditor, "offsetDoubleSpinBox", "-2.5");
    // Accepted while the feedback runs.
    mailbox->pidStatus = 3;
    nivraSimClearCallLog();

    // The note of an "Update" is written only when the logger runs at Trace.
    Logging::Logger &logger = Logging::Logger::instance();
    const Logging::Level savedLevel = logger.level();
    logger.setLevel(Logging::TraceLevel);
    LogCapture log;
    pressAndSlideOff(child<QPushButton>(panel.get(), "pushButtonUpdate"));
    logger.setLevel(Logging::DebugLevel);

    EXPECT_EQ(pidCalls(), (QStringList{
                              "setWindAvg(0, 33) -> 0",
                              "setWindAvg(1, 3) -> 0",
                              "setOffset(-2.5, 0.75, 0) -> 0",
                              "setPIDparams(0, 1.5, 0.1, 0.01, 0, 100, -12, 12, 1) -> 0",
                              "setPIDparams(1, 0.4, 0.2, 0.02, 0.5, 50, -6, 6, 2) -> 0",
                          }));
    EXPECT_EQ(nivraSimSetting("windowAvg", 0), 33);
    EXPECT_EQ(nivraSimSetting("pidOffset", 2), 0.0);
    // The store keeps Hz, not the divider.
    EXPECT_EQ(stored("PID_X"), (QList<double>{3000, 1.5, 0.1, 0.01, 0, 100, -12, 12, 1, -2.5}));
    EXPECT_EQ(stored("PID_Y"), (QList<double>{40000, 0.4, 0.2, 0.02, 0.5, 50, -6, 6, 2, 0.75}));

    // With the encoder box's base clock a frequency the clock cannot reach sends the
    // fastest loop (1 tick), which the controller accepts.
    pidBaseClock = 5000;
    nivraSimClearCallLog();
    pressUpdate();
    EXPECT_EQ(pidCalls().mid(0, 2), (QStringList{"setWindAvg(0, 2) -> 0", "setWindAvg(1, 1) -> 0"}));
    logger.setLevel(savedLevel);
    QStringList notes;
    for (const LogCapture::Entry &e : log.entries())
        if (e.text.contains(QStringLiteral("PID parameters")) && e.level == Logging::TraceLevel)
            notes << e.text.trimmed();
    EXPECT_EQ(notes, QStringList{"Loading PID parameters to FPGA and config_binivra.ini"})
        << "one note, from the Update made at Trace";

    // Failures are the device link's to log: the rest of the sequence still runs.
    QFile::remove(config.path());
    nivraSimFailCall("setWindAvg", -4);
    nivraSimFailCall("setPIDparams", -4);
    nivraSimClearCallLog();
    pressUpdate();
    nivraSimClearFaults();
    EXPECT_EQ(pidCalls().size(), 5);
    EXPECT_EQ(stored("PID_X")[0], 3000);
    EXPECT_EQ(stored("PID_Y")[0], 40000);
    EXPECT_EQ(answerer.count(), 0) << "no message for the operator";

    // Output limits that leave no output: neither loop sent; equal limits go out.
    for (const auto &[name, loop] : {std::pair{"posXwidget", "PID X"}, std::pair{"posYwidget", "PID Y"}}) {
        auto *editor = child<WidgetPIDparams>(panel.get(), name);
        typeValue(editor, "boxOmin", "5");
        typeValue(editor, "boxOmax", "4.99");
        nivraSimClearCallLog();
        pressUpdate();
        const QString told = QStringLiteral("%1: O min (5) is above O max (4.99).").arg(QLatin1String(loop));
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.contains(told); })) << loop;
        EXPECT_EQ(pidCalls(), QStringList());
        typeValue(editor, "boxOmax", "5");
        pressUpdate();
        EXPECT_EQ(pidCalls().size(), 5);
    }
}

TEST_F(PidControlTest, UserLevelGatesTheEditorsNotUpdate)
{
    writeStore("PID_X", {2000, 0.5, 0.2, 0.05, 0.1, 80, -10, 10, 1.5, 1.25});
    userLevel = 1;
    makePanel();
    auto *tabs = child<QTabWidget>(panel.get(), "verticalTabWidget");
    auto *update = child<QPushButton>(panel.get(), "pushButtonUpdate");
    EXPECT_FALSE(tabs->isEnabled());
    EXPECT_FALSE(child<QDoubleSpinBox>(yEditor, "boxKp")->isEnabled());
    EXPECT_TRUE(update->isEnabled());
    // The values shown in the disabled editors still go out.
    pressUpdate();
    EXPECT_EQ(pidCalls().value(3), "setPIDparams(0, 0.5, 0.2, 0.05, 0.1, 80, -10, 10, 1.5) -> 0");
    EXPECT_EQ(stored("PID_X")[9], 1.25);

    struct Step { int level; bool enabled; };
    for (const Step s : {Step{2, true}, Step{-1, true}, Step{3, true}, Step{0, false}, Step{-1, false}}) {
        userLevel = s.level;
        panel->enableAndDisableFields();
        EXPECT_EQ(tabs->isEnabled(), s.enabled) << s.level;
        EXPECT_TRUE(update->isEnabled());
    }
}

TEST(PidPictureTest, ShowsTheLoopPictureScaledToTheDialog)
{
    WindowPIDparams window;
    EXPECT_FALSE(window.isVisible());
    window.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "PID Parameters");
    EXPECT_EQ(window.size(), QSize(990, 351)) << "the picture does not force its own size";
    auto *picture = child<QLabel>(&window, "label_4");
    EXPECT_FALSE(picture->pixmap().isNull()) << "resource :/images/images/NIVRA_PID.png";
    const QSize before = picture->size();
    window.resize(1400, 900);
    QTest::qWait(20);
    EXPECT_GT(picture->width(), before.width());
    EXPECT_GT(picture->height(), before.height());
}

} // namespace
