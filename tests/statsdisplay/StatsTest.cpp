// The statistics panel: scaling and the deliberately different decimals of the X and
// Y columns, and which BPM tables are filled and shown for each presence pair.

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "MailboxComm.h"
#include "NivraSim.h"
#include "WidgetStats.h"

namespace {

// A device link whose statistics block the test chooses; refreshData publishes it
// the way the polling thread does.
class StatsMailbox : public MailboxComm
{
public:
    BpmStats next{};

protected:
    int fetchBpmStats(BpmStats *block) override
    {
        *block = next;
        return 0;
    }
};

QString text(QWidget *panel, const char *name)
{
    auto *edit = panel->findChild<QLineEdit *>(QString::fromLatin1(name));
    EXPECT_NE(edit, nullptr) << name;
    return edit ? edit->text() : QString();
}

bool shown(QWidget *panel, const char *name)
{
    auto *w = panel->findChild<QWidget *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w && w->isVisible();
}

class StatsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(1);
        nivraSimUseManualClock(1);
        savedMailbox = mailboxComm;
        mailbox = std::make_unique<StatsMailbox>();
        mailboxComm = mailbox.get();
        BPM_SCALE_X[0] = 2.0;
        BPM_SCALE_Y[0] = 3.0;
        BPM_SCALE_X[1] = 10.0;
        BPM_SCALE_Y[1] = 0.5;
        for (int b = 0; b < 2; ++b) {
            for (int k = 0; k < 9; ++k)
                mailbox->next.values[9 * b + k] = (b + 1) * 1.0 + k * 0.1234567;
        }
        mailbox->refreshData();
    }

    void TearDown() override
    {
        panel.reset();
        mailboxComm = savedMailbox;
        mailbox.reset();
        for (int b = 0; b < 2; ++b)
            BPM_SCALE_X[b] = BPM_SCALE_Y[b] = 1.0;
    }

    void makePanel()
    {
        panel = std::make_unique<WidgetStats>();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    void refresh() { QMetaObject::invokeMethod(panel.get(), "refreshFields"); }

    std::unique_ptr<StatsMailbox> mailbox;
    std::unique_ptr<WidgetStats> panel;
    MailboxComm *savedMailbox = nullptr;
};

TEST_F(StatsTest, BothPresentScaledWithTheirDecimals)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    makePanel();   // the constructor fills the fields once

    // BPM1: value(k) = 1 + 0.1234567 k, X scale 2, Y scale 3.
    EXPECT_EQ(text(panel.get(), "posXMeanLineEdit"), "2.247 um");          // 1.1234567 * 2
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit"), "2.493827 um");        // 1.2469134 * 2
    EXPECT_EQ(text(panel.get(), "posXStdFiltLineEdit"), "2.740740 um");    // 1.3703701 * 2
    EXPECT_EQ(text(panel.get(), "posYMeanLineEdit"), "4.48148 um");        // 1.4938268 * 3
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit"), "4.85185 um");         // 1.6172835 * 3
    EXPECT_EQ(text(panel.get(), "posYStdFiltLineEdit"), "5.222220 um");    // 1.7407402 * 3
    // BPM2: value(k) = 2 + 0.1234567 k, X scale 10, Y scale 0.5.
    EXPECT_EQ(text(panel.get(), "posXMeanLineEdit_2"), "21.235 um");
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit_2"), "22.469134 um");
    EXPECT_EQ(text(panel.get(), "posXStdFiltLineEdit_2"), "23.703701 um");
    EXPECT_EQ(text(panel.get(), "posYMeanLineEdit_2"), "1.24691 um");
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit_2"), "1.30864 um");
    EXPECT_EQ(text(panel.get(), "posYStdFiltLineEdit_2"), "1.370370 um");

    // Every field is read-only but not greyed out.
    for (QLineEdit *edit : panel->findChildren<QLineEdit *>()) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_TRUE(edit->isEnabled()) << edit->objectName().toStdString();
    }

    // A new block shows on the next refresh.
    mailbox->next.values[1] = -0.0005;
    mailbox->refreshData();
    refresh();
    EXPECT_EQ(text(panel.get(), "posXMeanLineEdit"), "-0.001 um");

    // Both tables shown on the presence signal.
    panel->nr_tovashes_changed();
    EXPECT_TRUE(shown(panel.get(), "BPM1label"));
    EXPECT_TRUE(shown(panel.get(), "bpm1Table"));
    EXPECT_TRUE(shown(panel.get(), "BPM2label"));
    EXPECT_TRUE(shown(panel.get(), "bpm2Table"));
}

TEST_F(StatsTest, NoBpmShowsZerosWithEachFieldsDecimals)
{
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    makePanel();
    for (const char *suffix : {"", "_2"}) {
        const auto name = [&](const char *base) { return QByteArray(base) + suffix; };
        EXPECT_EQ(text(panel.get(), name("posXMeanLineEdit")), "0.000 um");
        EXPECT_EQ(text(panel.get(), name("posXStdLineEdit")), "0.000000 um");
        EXPECT_EQ(text(panel.get(), name("posXStdFiltLineEdit")), "0.000000 um");
        EXPECT_EQ(text(panel.get(), name("posYMeanLineEdit")), "0.00000 um");
        EXPECT_EQ(text(panel.get(), name("posYStdLineEdit")), "0.00000 um");
        EXPECT_EQ(text(panel.get(), name("posYStdFiltLineEdit")), "0.000000 um");
    }
    // Until the first presence signal both tables stay visible.
    EXPECT_TRUE(shown(panel.get(), "bpm1Table"));
    EXPECT_TRUE(shown(panel.get(), "bpm2Table"));
    panel->nr_tovashes_changed();
    EXPECT_FALSE(shown(panel.get(), "BPM1label"));
    EXPECT_FALSE(shown(panel.get(), "bpm1Table"));
    EXPECT_FALSE(shown(panel.get(), "BPM2label"));
    EXPECT_FALSE(shown(panel.get(), "bpm2Table"));
}

TEST_F(StatsTest, OneBpmLeavesTheOtherTableAsItWas)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    makePanel();
    const QString bpm1Before = text(panel.get(), "posYStdLineEdit");
    const QString bpm2Before = text(panel.get(), "posYStdLineEdit_2");

    // BPM1 leaves: its fields keep their last text while hidden.
    nivraSimSetTovash(0, 0);
    mailbox->next.values[9 + 5] = 4.0;   // BPM2 Y std dev
    mailbox->next.values[5] = 4.0;       // BPM1 Y std dev
    mailbox->refreshData();
    refresh();
    panel->nr_tovashes_changed();
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit"), bpm1Before);
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit_2"), "2.00000 um");
    EXPECT_FALSE(shown(panel.get(), "BPM1label"));
    EXPECT_FALSE(shown(panel.get(), "bpm1Table"));
    EXPECT_TRUE(shown(panel.get(), "BPM2label"));
    EXPECT_TRUE(shown(panel.get(), "bpm2Table"));

    // Only BPM1: the BPM2 fields keep theirs.
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 0);
    mailbox->next.values[9 + 5] = 8.0;
    mailbox->refreshData();
    refresh();
    panel->nr_tovashes_changed();
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit"), "12.00000 um");
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit_2"), "2.00000 um");
    EXPECT_TRUE(shown(panel.get(), "bpm1Table"));
    EXPECT_FALSE(shown(panel.get(), "bpm2Table"));
    EXPECT_NE(bpm2Before, "2.00000 um");
}

TEST_F(StatsTest, FailedPresenceReadCountsAsNoBpm)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    makePanel();
    ASSERT_NE(text(panel.get(), "posXMeanLineEdit"), "0.000 um");

    nivraSimFailCall("getTovashes", -1);
    refresh();
    panel->nr_tovashes_changed();
    nivraSimClearFaults();
    EXPECT_EQ(text(panel.get(), "posXMeanLineEdit"), "0.000 um");
    EXPECT_EQ(text(panel.get(), "posYMeanLineEdit_2"), "0.00000 um");
    EXPECT_FALSE(shown(panel.get(), "bpm1Table"));
    EXPECT_FALSE(shown(panel.get(), "bpm2Table"));
}

TEST_F(StatsTest, RefreshesOnItsOwnOnceASecond)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 0);
    makePanel();
    mailbox->next.values[2] = 0.5;   // BPM1 X std dev, scale 2
    mailbox->refreshData();
    EXPECT_NE(text(panel.get(), "posXStdLineEdit"), "1.000000 um");
    // No explicit refresh: the panel's own timer picks the new block up.
    QElapsedTimer waited;
    waited.start();
    while (text(panel.get(), "posXStdLineEdit") != "1.000000 um" && waited.elapsed() < 5000)
        QTest::qWait(50);
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit"), "1.000000 um");
}

} // namespace
