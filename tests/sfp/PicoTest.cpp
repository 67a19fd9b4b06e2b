// The current-meter window: which panes show for each encoder-box pair, the channel
// order taken from the meter records, the number format, and the range controls
// that send nothing.

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WidgetPico.h"
#include "WindowPico.h"

namespace {

const char *const kChannelFields[4] = {"currentCh1Line", "currentCh2Line", "currentCh3Line",
                                       "currentCh4Line"};

QStringList currents(QWidget *pane)
{
    QStringList texts;
    for (const char *name : kChannelFields) {
        auto *edit = child<QLineEdit>(pane, name);
        texts << (edit ? edit->text() : QString());
    }
    return texts;
}

// Writes a meter record the way the driver lays it out: channel 1 at byte 52,
// channel 2 at 44, channel 3 at 36, channel 4 at 28.
void writeMeterRecord(MeterStatus &record, double ch1, double ch2, double ch3, double ch4)
{
    unsigned char bytes[sizeof(MeterStatus)] = {};
    const double values[4] = {ch1, ch2, ch3, ch4};
    const int offsets[4] = {52, 44, 36, 28};
    for (int k = 0; k < 4; ++k)
        std::memcpy(bytes + offsets[k], &values[k], sizeof(double));
    std::memcpy(&record, bytes, sizeof bytes);
}

class PicoTest : public ProgramEnvironment
{
protected:
    void TearDown() override
    {
        window.reset();
        ProgramEnvironment::TearDown();
    }

    void open()
    {
        window = std::make_unique<WindowPico>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        left = child<QWidget>(window.get(), "widgetPico0");
        right = child<QWidget>(window.get(), "widgetPico1");
        leftLabel = child<QLabel>(window.get(), "label_oscalon0");
        rightLabel = child<QLabel>(window.get(), "label_oscalon1");
    }

    void refresh() { ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "refreshFields")); }

    std::unique_ptr<WindowPico> window;
    QWidget *left = nullptr;
    QWidget *right = nullptr;
    QLabel *leftLabel = nullptr;
    QLabel *rightLabel = nullptr;
};

TEST_F(PicoTest, FormsAndStartValues)
{
    open();
    EXPECT_EQ(window->objectName(), "WindowPico");
    EXPECT_EQ(window->windowTitle(), "PicoAmperMeter");
    EXPECT_EQ(leftLabel->text(), "Tovash 1");
    EXPECT_EQ(rightLabel->text(), "Tovash 2s");
    EXPECT_NE(qobject_cast<WidgetPico *>(left), nullptr);
    EXPECT_NE(qobject_cast<WidgetPico *>(right), nullptr);

    const QList<QTimer *> timers = window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0]->interval(), 970);
    EXPECT_TRUE(timers[0]->isActive());

    for (QWidget *pane : {left, right}) {
        EXPECT_EQ(currents(pane), QStringList(4, "0.00000e+00"));
        for (const char *name : kChannelFields)
            EXPECT_FALSE(child<QLineEdit>(pane, name)->isEnabled()) << name;
        EXPECT_EQ(child<QLabel>(pane, "label")->text(), "Range: ");
        EXPECT_EQ(child<QLabel>(pane, "label_2")->text(), "Current CH1:");
        EXPECT_EQ(child<QLabel>(pane, "label_5")->text(), "Current CH4:");
        EXPECT_EQ(child<QPushButton>(pane, "saveButton")->text(), "Update range");
    }

    // OK and Cancel both close the window.
    auto *buttons = child<QDialogButtonBox>(window.get(), "buttonBox");
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window->show();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(PicoTest, PanesFollowTheEncoderBoxes)
{
    // Only BPM1 has an encoder box when the window opens.
    nivraSimSetTovash(1, 0);
    open();
    EXPECT_TRUE(left->isVisible());
    EXPECT_TRUE(leftLabel->isVisible());
    EXPECT_FALSE(right->isVisible());
    EXPECT_FALSE(rightLabel->isVisible());

    writeMeterRecord(engine->meterStatus[0], 1e-9, 2e-9, 3e-9, 4e-9);
    writeMeterRecord(engine->meterStatus[1], 5e-9, 6e-9, 7e-9, 8e-9);

    // Now only BPM2: the panes swap, and only the right one is filled.
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 1);
    refresh();
    EXPECT_FALSE(left->isVisible());
    EXPECT_FALSE(leftLabel->isVisible());
    EXPECT_TRUE(right->isVisible());
    EXPECT_TRUE(rightLabel->isVisible());
    EXPECT_EQ(currents(left), QStringList(4, "0.00000e+00"));
    EXPECT_EQ(currents(right), (QStringList{"5.00000e-09", "6.00000e-09", "7.00000e-09", "8.00000e-09"}));

    // Both: both shown and filled.
    nivraSimSetTovash(0, 1);
    refresh();
    EXPECT_TRUE(left->isVisible());
    EXPECT_TRUE(right->isVisible());
    EXPECT_EQ(currents(left), (QStringList{"1.00000e-09", "2.00000e-09", "3.00000e-09", "4.00000e-09"}));

    // Neither, or a failed read: the panes keep their visibility and their values.
    writeMeterRecord(engine->meterStatus[0], 9, 9, 9, 9);
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    refresh();
    EXPECT_TRUE(left->isVisible());
    EXPECT_TRUE(right->isVisible());
    EXPECT_EQ(currents(left)[0], "1.00000e-09");
    nivraSimSetTovash(0, 1);
    nivraSimFailCall("getTovashes", -1);
    refresh();
    EXPECT_TRUE(right->isVisible());
    EXPECT_EQ(currents(left)[0], "1.00000e-09");

    // Back to BPM1 only: the right pane goes, the left one is refilled.
    nivraSimClearFaults();
    refresh();
    EXPECT_TRUE(left->isVisible());
    EXPECT_TRUE(leftLabel->isVisible());
    EXPECT_FALSE(right->isVisible());
    EXPECT_FALSE(rightLabel->isVisible());
    EXPECT_EQ(currents(left)[0], "9.00000e+00");
}

TEST_F(PicoTest, NoEncoderBoxAtOpeningHidesBoth)
{
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    open();
    EXPECT_FALSE(left->isVisible());
    EXPECT_FALSE(right->isVisible());
    EXPECT_FALSE(leftLabel->isVisible());
    EXPECT_FALSE(rightLabel->isVisible());
}

TEST_F(PicoTest, TimerShowsTheEnginesMeterRecords)
{
    open();
    // The acquisition engine reads both meters from the controller.
    engine->updateTovashes();
    const MeterStatus meter0 = engine->meterStatus[0];
    // Packed record fields are compared as copies (unary +): a reference to one may
    // be misaligned.
    ASSERT_NE(+meter0.channel1, 0.0);
    writeMeterRecord(engine->meterStatus[1], 1.234567e-9, -2.5e-12, 0.0, 1e-300);

    auto *pane = child<WidgetPico>(window.get(), "widgetPico1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return currents(pane)[0] != "0.00000e+00"; }, 3000));
    EXPECT_EQ(currents(pane), (QStringList{"1.23457e-09", "-2.50000e-12", "0.00000e+00", "1.00000e-300"}));
    EXPECT_EQ(currents(left),
              (QStringList{QString::number(meter0.channel1, 'e', 5), QString::number(meter0.channel2, 'e', 5),
                           QString::number(meter0.channel3, 'e', 5), QString::number(meter0.channel4, 'e', 5)}));
}

TEST_F(PicoTest, RangeControlsSendNothing)
{
    open();
    auto *range = child<QComboBox>(left, "rangeBox");
    ASSERT_EQ(range->count(), 3);
    EXPECT_EQ(range->itemText(0), "0");
    EXPECT_EQ(range->itemText(1), "1");
    EXPECT_EQ(range->itemText(2), "AUTO");
    auto *model = qobject_cast<QStandardItemModel *>(range->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->item(2)->isEnabled());
    EXPECT_FALSE(model->item(2)->isSelectable());

    // The keyboard stops at "1": "AUTO" cannot be chosen.
    range->setFocus();
    QTest::keyClick(range, Qt::Key_End);
    EXPECT_EQ(range->currentIndex(), 1);
    chooseItem(range, 1);

    const QStringList before = currents(left);
    nivraSimClearCallLog();
    auto *update = child<QPushButton>(left, "saveButton");
    QTest::mouseClick(update, Qt::LeftButton);
    pressAndSlideOff(update);
    // The window's own timer may have asked for the encoder boxes meanwhile; nothing else.
    QStringList calls = SimCallLog::lines();
    calls.removeIf([](const QString &line) { return line.startsWith("getTovashes("); });
    EXPECT_TRUE(calls.isEmpty()) << calls.join('\n').toStdString();
    EXPECT_EQ(currents(left), before);
    EXPECT_EQ(range->currentIndex(), 1);
}

} // namespace
