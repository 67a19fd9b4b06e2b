// Status panel: PID state shown by LED colour and text, the feedback button's text
// and toggling, the controller reset, and the user-level poll.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "HeartBeat.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "OutputsGuard.h"
#include "QLed.h"
#include "ShellTestSupport.h"
#include "SimCallLog.h"

namespace {

class HeartBeatTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(7);
        link = std::make_unique<MailboxComm>();
        mailboxComm = link.get();
        userLevel = 0;
    }
    void TearDown() override
    {
        mailboxComm = nullptr;
        nivraSimClearFaults();
    }

    static QLed *led(HeartBeat &panel) { return panel.findChild<QLed *>(QStringLiteral("heartbeatLed")); }
    static QLabel *text(HeartBeat &panel) { return panel.findChild<QLabel *>(QStringLiteral("heartbeatLabel")); }
    static QPushButton *button(HeartBeat &panel, const char *name)
    {
        return panel.findChild<QPushButton *>(QString::fromLatin1(name));
    }
    std::unique_ptr<MailboxComm> link;
};

} // namespace

TEST_F(HeartBeatTest, StatusWordSetsLedColourTextAndButton)
{
    HeartBeat panel;
    ASSERT_NE(led(panel), nullptr);
    EXPECT_EQ(led(panel)->shape(), QLed::Rounded);
    EXPECT_FALSE(led(panel)->value());

    const struct {
        int status;
        QLed::ledColor color;
        const char *text;
        const char *button;
    } states[] = {{0, QLed::Grey, "Feedback OFF", "Enable Feedback"},
                  {1, QLed::Red, "FAULT: Out of ROC", "Disable Feedback"},
                  {2, QLed::Purple, "Beam OFF", "Disable Feedback"},
                  {3, QLed::Green, "Feedback ON", "Disable Feedback"}};
    for (const auto &s : states) {
        mailboxComm->pidStatus = s.status;
        panel.refreshFields();
        // A poll that changes nothing keeps the icon (a new one is a new cached pixmap).
        const qint64 icon = button(panel, "buttonFdbk")->icon().cacheKey();
        panel.refreshFields();
        EXPECT_EQ(button(panel, "buttonFdbk")->icon().cacheKey(), icon) << s.status;
        EXPECT_EQ(led(panel)->offColor(), s.color) << s.status;
        EXPECT_EQ(text(panel)->text(), QString::fromLatin1(s.text)) << s.status;
        EXPECT_EQ(button(panel, "buttonFdbk")->text(), QString::fromLatin1(s.button)) << s.status;
        EXPECT_FALSE(led(panel)->value());
    }

    // An unknown word or a failed read keeps LED and text, and labels the button
    // "Disable Feedback".
    for (int status : {7, -1}) {
        mailboxComm->pidStatus = 2;
        panel.refreshFields();
        mailboxComm->pidStatus = status;
        panel.refreshFields();
        EXPECT_EQ(led(panel)->offColor(), QLed::Purple) << status;
        EXPECT_EQ(text(panel)->text(), QStringLiteral("Beam OFF")) << status;
        EXPECT_EQ(button(panel, "buttonFdbk")->text(), QStringLiteral("Disable Feedback")) << status;
    }

    // The direct call used by the main window.
    panel.updateHeartbeat(PID_FEEDBACK_ON);
    EXPECT_EQ(led(panel)->offColor(), QLed::Green);
    EXPECT_EQ(text(panel)->text(), QStringLiteral("Feedback ON"));
}

TEST_F(HeartBeatTest, FeedbackButtonAsksForTheOppositeOfThePolledStateAndResetSendsReset)
{
    logIn("user", "user");
    HeartBeat panel;
    ASSERT_TRUE(panel.isEnabled());
    QPushButton *feedback = button(panel, "buttonFdbk");
    ASSERT_TRUE(feedback->isCheckable());
    EXPECT_EQ(feedback->iconSize(), QSize(24, 24));
    EXPECT_FALSE(feedback->icon().isNull());
    EXPECT_EQ(button(panel, "resetPIDbutton")->text(), QStringLiteral("Reset Controller"));

    // Every press asks for the opposite of the polled state, whoever switched the
    // feedback last: on at start, the first press switches it off.
    mailboxComm->pidStatus = 3;
    panel.refreshFields();
    EXPECT_EQ(feedback->text(), QStringLiteral("Disable Feedback"));
    EXPECT_TRUE(feedback->isChecked());
    EXPECT_TRUE(panel.feedbackWanted);

    nivraSimClearCallLog();
    QTest::mouseClick(feedback, Qt::LeftButton);
    EXPECT_FALSE(feedback->isChecked());
    EXPECT_FALSE(panel.feedbackWanted);
    // A procedure switched it off meanwhile: bringing the button in step sends nothing,
    // and the next press switches it on.
    mailboxComm->pidStatus = 3;
    panel.refreshFields();
    mailboxComm->pidStatus = 0;
    panel.refreshFields();
    EXPECT_FALSE(feedback->isChecked());
    EXPECT_EQ(SimCallLog::callsTo("setFBenable").size(), 1);
    QTest::mouseClick(feedback, Qt::LeftButton);
    EXPECT_TRUE(feedback->isChecked());
    const QStringList calls = SimCallLog::callsTo("setFBenable");
    ASSERT_EQ(calls.size(), 2);
    EXPECT_TRUE(calls[0].startsWith(QStringLiteral("setFBenable(0)")));
    EXPECT_TRUE(calls[1].startsWith(QStringLiteral("setFBenable(1)")));

    // The result of the call is not looked at; the next poll shows what happened.
    nivraSimFailCall("setFBenable", -3);
    QTest::mouseClick(feedback, Qt::LeftButton);
    EXPECT_FALSE(panel.feedbackWanted);
    nivraSimFailCall("setFBenable", 0);

    nivraSimClearCallLog();
    QTest::mouseClick(button(panel, "resetPIDbutton"), Qt::LeftButton);
    EXPECT_EQ(SimCallLog::callsTo("setCtrlReset").size(), 1);
}

// Switching the feedback on waits for the DAC outputs and for an encoder box on the
// BPM of every loop it would close; switching it off is never refused.
TEST_F(HeartBeatTest, OnlySwitchingTheFeedbackOnIsRefused)
{
    logIn("admin", "admin");
    DialogAnswerer answerer;
    HeartBeat panel;
    const int manualControl = 0;
    // Boxes of BPM1 and BPM2 (-1: the query fails), PID code, sources; the refusal told.
    const struct { bool on, held; int box1, box2, code, sourceX, sourceY; const char *told; } cases[] = {
        {false, true, 1, 1, 1, 0, 0, "Enable Feedback is refused"}, {true, true, 1, 1, 1, 0, 0, nullptr},
        {false, false, 0, 1, 1, 0, 0, "BPM1 has no encoder box: the X loop"},
        {false, false, 1, 0, 1, 0, 1, "BPM2 has no encoder box: the Y loop"},
        {false, false, 1, 0, 0, 1, 0, "BPM2 has no encoder box: the X loop"},
        {false, false, 0, 1, 3, 0, 1, nullptr}, {false, false, -1, 1, 1, 0, 0, "unreadable"},
        {true, false, -1, 0, 1, 0, 0, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.told ? c.told : "sent");
        nivraSimSetTovash(0, c.box1 == 1);
        nivraSimSetTovash(1, c.box2 == 1);
        ASSERT_EQ(setPIDconf(std::int8_t(c.code)) | setBPMselector(c.sourceX, c.sourceY, 0) | setFBenable(c.on), 0);
        mailboxComm->pidStatus = c.on ? 3 : 0;
        panel.refreshFields();
        if (c.held)
            OutputsGuard::acquire(&manualControl, QStringLiteral("Manual Output Control"), OutputsGuard::Runs::Beside);
        if (c.box1 < 0)
            nivraSimFailCall("getTovashes", -1);
        nivraSimClearCallLog();
        const int told = answerer.count();
        // A refusal pressed twice before its box is answered: one box says it.
        for (int press = 0; press < (c.held && c.told ? 2 : 1); ++press)
            button(panel, "buttonFdbk")->toggle();
        EXPECT_EQ(SimCallLog::callsTo("setFBenable"),
                  c.told ? QStringList() : QStringList(c.on ? "setFBenable(0)" : "setFBenable(1)"));
        EXPECT_TRUE(!c.told || QTest::qWaitFor([&] { return answerer.count() > told; }));
        QTest::qWait(50);   // room for a second box, were there one
        EXPECT_EQ(answerer.count(), told + (c.told ? 1 : 0));
        EXPECT_TRUE(!c.told || answerer.last().text.contains(QLatin1String(c.told)))
            << answerer.last().text.toStdString();
        nivraSimClearFaults();
        OutputsGuard::release(&manualControl);
    }
    // Another refusal under the same title says something else: a box of its own.
    OutputsGuard::acquire(&manualControl, QStringLiteral("Manual Output Control"), OutputsGuard::Runs::Beside);
    const int told = answerer.count();
    button(panel, "buttonFdbk")->toggle();
    OutputsGuard::refuses(nullptr, QStringLiteral("Applying the display settings"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() == told + 2; }));
    EXPECT_NE(answerer.seen()[told].text, answerer.last().text);
    OutputsGuard::release(&manualControl);
}

TEST_F(HeartBeatTest, LevelPollEnablesDisablesAndAnnounces)
{
    // Level 0 at start: the whole panel, both buttons with it, is disabled while the
    // status display goes on. The level is polled (and announced) twice while the
    // panel is built.
    nivraSimClearCallLog();
    HeartBeat panel;
    EXPECT_EQ(SimCallLog::callsTo("getLockStatus").size(), 2);
    EXPECT_EQ(userLevel, 0);
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_FALSE(button(panel, "buttonFdbk")->isEnabled());
    EXPECT_FALSE(button(panel, "resetPIDbutton")->isEnabled());
    mailboxComm->pidStatus = 2;
    panel.refreshFields();
    EXPECT_EQ(text(panel)->text(), QStringLiteral("Beam OFF"));

    QSignalSpy spy(&panel, &HeartBeat::userLevelChanged);
    logIn("admin", "admin");
    panel.checkUserLevel();
    EXPECT_EQ(userLevel, 2);
    EXPECT_TRUE(panel.isEnabled());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 2);

    // A failed poll stores and announces its negative result and leaves the panel as it is.
    nivraSimFailCall("getLockStatus", -5);
    panel.checkUserLevel();
    EXPECT_EQ(userLevel, -5);
    EXPECT_TRUE(panel.isEnabled());
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), -5);
    nivraSimFailCall("getLockStatus", 0);

    logIn("cruise", "");
    panel.checkUserLevel();
    EXPECT_EQ(userLevel, 0);
    EXPECT_FALSE(panel.isEnabled());

    // The poll runs on its own once a second, whether the level changed or not, and
    // brings the panel back as soon as a level of 1 is granted.
    logIn("user", "user");
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 4; }, 2500));
    EXPECT_EQ(spy.last().at(0).toInt(), 1);
    EXPECT_TRUE(panel.isEnabled());
}
