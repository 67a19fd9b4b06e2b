// The display settings dialog: the 1 to 5000 Hz range, a refused rate, the buffer
// sizes, OK / Apply / Cancel, and the pause box acting at once.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowDisplaySettings.h"

namespace {

class DisplaySettingsTest : public ProgramEnvironment
{
protected:
    void TearDown() override
    {
        dialog.reset();
        ProgramEnvironment::TearDown();
    }

    void open()
    {
        if (!dialog)
            dialog = std::make_unique<WindowDisplaySettings>();
        dialog->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        freqBox = child<QDoubleSpinBox>(dialog.get(), "dispFreqBox");
        bufferBox = child<QComboBox>(dialog.get(), "bufferSamplesComboBox");
        pauseBox = child<QCheckBox>(dialog.get(), "pauseCheckBox");
    }

    void typeFrequency(const QString &text) { replaceText(freqBox, text); }

    void chooseBuffer(const QString &text) { chooseText(bufferBox, text); }

    void press(QDialogButtonBox::StandardButton which)
    {
        auto *box = child<QDialogButtonBox>(dialog.get(), "buttonBox");
        QTest::mouseClick(box->button(which), Qt::LeftButton);
    }

    void togglePause() { setChecked(pauseBox, !pauseBox->isChecked()); }

    void pressApply() { QTest::mouseClick(child<QPushButton>(dialog.get(), "pushButtonApply"), Qt::LeftButton); }

    // The rate and mode the controller was last given.
    int deviceRate()
    {
        int rate = -1;
        std::uint8_t mode = 0xFF;
        EXPECT_GE(getDisplayFreq(&rate, &mode), 0);
        EXPECT_EQ(mode, 0);
        return rate;
    }

    std::unique_ptr<WindowDisplaySettings> dialog;
    DialogAnswerer answerer;
    QDoubleSpinBox *freqBox = nullptr;
    QComboBox *bufferBox = nullptr;
    QCheckBox *pauseBox = nullptr;
};

TEST_F(DisplaySettingsTest, FirstOpenShowsTheSettingsInForce)
{
    open();
    EXPECT_EQ(freqBox->text(), "1000 Hz");
    EXPECT_EQ(bufferBox->currentText(), "14336");
    EXPECT_FALSE(pauseBox->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dialog.get(), "enableFilterCheckBox")->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Display Settings");
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), 0) << "opening sends nothing";

    // A buffer size that is not one of the items leaves the selection alone.
    dialog->hide();
    DISP_BUF_SIZE = 3000 * 256;
    open();
    EXPECT_EQ(bufferBox->currentText(), "14336");
}

TEST_F(DisplaySettingsTest, RateIsCappedAt5000AndAlwaysSent)
{
    open();
    struct Case { const char *typed; int stored; const char *shown; };
    const Case cases[] = {
        {"12000", 5000, "5000 Hz"},
        {"5000", 5000, "5000 Hz"},
        {"4999", 4999, "4999 Hz"},
    };
    for (const Case &c : cases) {
        typeFrequency(QString::fromLatin1(c.typed));
        const int before = nivraSimCallCount("setDisplayFreq");
        pressApply();
        EXPECT_EQ(int(SAMP_FREQ), c.stored) << c.typed;
        EXPECT_EQ(freqBox->text(), c.shown) << c.typed;
        EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), before + 1) << c.typed;
        EXPECT_EQ(deviceRate(), c.stored) << c.typed;
        EXPECT_TRUE(dialog->isVisible()) << "Apply keeps the dialog open";
    }

    // Below 1 Hz nothing is sent, and a rate the controller refuses is not taken: the
    // rate in force stays and is shown, and the operator is told.
    nivraSimClearCallLog();
    typeFrequency(QStringLiteral("0"));
    pressApply();
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), 0);
    nivraSimFailCall("setDisplayFreq", -1);
    typeFrequency(QStringLiteral("300"));
    pressApply();
    nivraSimClearFaults();
    EXPECT_EQ(int(SAMP_FREQ), 4999);
    EXPECT_EQ(freqBox->text(), "4999 Hz");
    EXPECT_EQ(deviceRate(), 4999);
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_EQ(answerer.last().kind, "warning");
    EXPECT_TRUE(answerer.seen()[0].text.contains(QLatin1String("at least 1 Hz")));
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("refused 300 Hz")));

    // Sent again on an Apply that changes nothing.
    const int before = nivraSimCallCount("setDisplayFreq");
    pressApply();
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), before + 1);
}

TEST_F(DisplaySettingsTest, RateAboveTheFieldRangeAfterAStepResponse)
{
    // Built while the rate is too high: capped, but nothing sent.
    SAMP_FREQ = 50000;
    dialog = std::make_unique<WindowDisplaySettings>();
    EXPECT_EQ(int(SAMP_FREQ), 5000);
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), 0);

    open();
    dialog->hide();
    SAMP_FREQ = 50000;
    open();
    EXPECT_EQ(freqBox->text(), "50000 Hz") << "the rate in force, beyond what may be typed";
    pressApply();
    EXPECT_EQ(int(SAMP_FREQ), 5000);
    EXPECT_EQ(deviceRate(), 5000);
}

TEST_F(DisplaySettingsTest, OkAppliesAndClosesCancelOnlyCloses)
{
    open();
    typeFrequency(QStringLiteral("2500"));
    chooseBuffer(QStringLiteral("8192"));
    press(QDialogButtonBox::Ok);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(int(SAMP_FREQ), 2500);
    EXPECT_EQ(DISP_BUF_SIZE, 2097152);
    EXPECT_EQ(deviceRate(), 2500);

    // Cancel after editing: nothing applied, nothing sent, the pause stays.
    open();
    EXPECT_EQ(bufferBox->currentText(), "8192");
    typeFrequency(QStringLiteral("300"));
    chooseBuffer(QStringLiteral("1024"));
    togglePause();
    ASSERT_TRUE(updater->paused);
    const int sent = nivraSimCallCount("setDisplayFreq");
    press(QDialogButtonBox::Cancel);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(int(SAMP_FREQ), 2500);
    EXPECT_EQ(DISP_BUF_SIZE, 2097152);
    EXPECT_EQ(nivraSimCallCount("setDisplayFreq"), sent);
    EXPECT_TRUE(updater->paused);

    // Reopened, the dialog shows the settings in force, not the abandoned edits.
    open();
    EXPECT_EQ(freqBox->text(), "2500 Hz");
    EXPECT_EQ(bufferBox->currentText(), "8192");
    EXPECT_TRUE(pauseBox->isChecked());

    // Each buffer size in records of 256 bytes.
    for (const char *samples : {"1024", "2048", "4096", "8192", "14336"}) {
        chooseBuffer(QString::fromLatin1(samples));
        pressApply();
        EXPECT_EQ(DISP_BUF_SIZE, QByteArray(samples).toInt() * 256) << samples;
    }

    // Left open while a procedure takes the outputs and gives them back: the field
    // follows the rate in force until the operator types one, and OK is refused as
    // Apply is, keeping the dialog open with what was typed and chosen.
    const int procedure = 0;
    const auto procedureTakesOver = [&] {
        SAMP_FREQ = 50000;
        ASSERT_TRUE(OutputsGuard::acquire(&procedure, QStringLiteral("Step Response"),
                                          OutputsGuard::Runs::InGuiThread));
        QCoreApplication::processEvents();
    };
    procedureTakesOver();
    EXPECT_EQ(freqBox->text(), "50000 Hz");
    chooseBuffer(QStringLiteral("2048"));
    press(QDialogButtonBox::Ok);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().title == "DAC outputs in use"; }));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(DISP_BUF_SIZE, 14336 * 256);
    SAMP_FREQ = 2500;
    OutputsGuard::release(&procedure);
    QCoreApplication::processEvents();
    EXPECT_EQ(freqBox->text(), "2500 Hz");
    typeFrequency(QStringLiteral("3000"));
    procedureTakesOver();
    press(QDialogButtonBox::Ok);
    OutputsGuard::release(&procedure);
    QCoreApplication::processEvents();
    EXPECT_EQ(freqBox->text(), "3000 Hz") << "typed: kept through the procedure and a refused OK";
    press(QDialogButtonBox::Ok);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(DISP_BUF_SIZE, 2048 * 256);
    EXPECT_EQ(deviceRate(), 3000);
}

TEST_F(DisplaySettingsTest, PauseActsAtOnce)
{
    open();
    QSignalSpy replots(engine.get(), &Updater::replotGraphs);

    // Ticked: the very next cycle refills nothing, with no OK or Apply.
    togglePause();
    EXPECT_TRUE(updater->paused);
    engine->updateGraphs();
    EXPECT_EQ(replots.count(), 0);
    EXPECT_EQ(nivraSimCallCount("getBuffer"), 0);

    // Unticked: the next cycle runs again.
    togglePause();
    EXPECT_FALSE(updater->paused);
    engine->updateGraphs();
    EXPECT_EQ(replots.count(), 1);
    EXPECT_EQ(answerer.count(), 0);
}

} // namespace
