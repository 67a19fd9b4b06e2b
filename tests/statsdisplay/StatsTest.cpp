// The statistics panel: scaling and the deliberately different decimals of the X and
// Y columns, and which BPM tables are filled and shown for each presence pair.

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "NivraLibrary.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"
#include "WidgetStats.h"

namespace {

// Field names of one BPM's table, in BpmStats order (words 1 to 6), with the
// decimals each is shown with: X mean 3, X std dev 6, filtered 6; Y mean 5, Y std
// dev 5, filtered 6.
struct Field {
    const char *name;
    int word;
    bool yAxis;
    int decimals;
};
constexpr Field kFields[] = {
    {"posXMeanLineEdit", 1, false, 3},    {"posXStdLineEdit", 2, false, 6},
    {"posXStdFiltLineEdit", 3, false, 6}, {"posYMeanLineEdit", 4, true, 5},
    {"posYStdLineEdit", 5, true, 5},      {"posYStdFiltLineEdit", 6, true, 6},
};

QByteArray fieldName(const Field &f, int bpm)
{
    return QByteArray(f.name) + (bpm == 1 ? "_2" : "");
}

QString text(QWidget *panel, const QByteArray &name)
{
    auto *edit = child<QLineEdit>(panel, name.constData());
    return edit ? edit->text() : QString();
}

bool shown(QWidget *panel, const char *name)
{
    auto *w = child<QWidget>(panel, name);
    return w && w->isVisible();
}

class StatsTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        BPM_SCALE_X[0] = 2.0;
        BPM_SCALE_Y[0] = 3.0;
        BPM_SCALE_X[1] = 10.0;
        BPM_SCALE_Y[1] = 0.5;
        nivraSimSetBeamOn(1);
        nivraSimAdvance(2.0);
        mailbox->refreshData();
    }

    // The block the device link holds now, as the controller reports it (the manual
    // clock has not moved since the last poll).
    BpmStats block()
    {
        BpmStats s{};
        EXPECT_GE(getBPMStats(&s), 0);
        return s;
    }

    // A new statistics block, published the way the polling thread does.
    void nextPoll()
    {
        nivraSimAdvance(1.0);
        mailbox->refreshData();
    }

    static QString expected(const BpmStats &s, const Field &f, int bpm)
    {
        const double scale = f.yAxis ? BPM_SCALE_Y[bpm] : BPM_SCALE_X[bpm];
        return QString::number(s.values[9 * bpm + f.word] * scale, 'f', f.decimals) + " um";
    }

    void TearDown() override
    {
        panel.reset();
        ProgramEnvironment::TearDown();
    }

    void makePanel()
    {
        panel = std::make_unique<WidgetStats>();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    void refresh() { QMetaObject::invokeMethod(panel.get(), "refreshFields"); }

    // Each BPM's label and table, shown or hidden together.
    void expectTablesShown(bool bpm1, bool bpm2)
    {
        EXPECT_EQ(shown(panel.get(), "BPM1label"), bpm1);
        EXPECT_EQ(shown(panel.get(), "bpm1Table"), bpm1);
        EXPECT_EQ(shown(panel.get(), "BPM2label"), bpm2);
        EXPECT_EQ(shown(panel.get(), "bpm2Table"), bpm2);
    }

    std::unique_ptr<WidgetStats> panel;
};

TEST_F(StatsTest, BothPresentScaledWithTheirDecimals)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    nextPoll();
    makePanel();   // the constructor fills the fields once

    const BpmStats now = block();
    for (int bpm = 0; bpm < 2; ++bpm) {
        for (const Field &f : kFields) {
            ASSERT_NE(now.values[9 * bpm + f.word], 0.0) << "the simulated beam gives real numbers";
            EXPECT_EQ(text(panel.get(), fieldName(f, bpm)), expected(now, f, bpm))
                << fieldName(f, bpm).constData();
        }
    }

    // Every field is read-only but not greyed out.
    for (QLineEdit *edit : panel->findChildren<QLineEdit *>()) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_TRUE(edit->isEnabled()) << edit->objectName().toStdString();
    }

    // A new block shows on the next refresh, not before.
    const QString shownBefore = text(panel.get(), "posXStdLineEdit");
    nextPoll();
    const BpmStats later = block();
    ASSERT_NE(expected(later, kFields[1], 0), shownBefore);
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit"), shownBefore);
    refresh();
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit"), expected(later, kFields[1], 0));

    // Both tables shown on the presence signal.
    panel->nr_tovashes_changed();
    expectTablesShown(true, true);
}

TEST_F(StatsTest, NoBpmShowsZerosWithEachFieldsDecimals)
{
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    nextPoll();
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
    expectTablesShown(false, false);
}

TEST_F(StatsTest, OneBpmLeavesTheOtherTableAsItWas)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    nextPoll();
    makePanel();
    const QString bpm1Before = text(panel.get(), "posYStdLineEdit");
    const QString bpm2Before = text(panel.get(), "posYStdLineEdit_2");

    // Only BPM2: BPM1's fields keep their last text while hidden.
    nivraSimSetTovash(0, 0);
    nextPoll();
    refresh();
    panel->nr_tovashes_changed();
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit"), bpm1Before);
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit_2"), expected(block(), kFields[4], 1));
    expectTablesShown(false, true);
    const QString bpm2Kept = text(panel.get(), "posYStdLineEdit_2");
    ASSERT_NE(bpm2Kept, bpm2Before) << "a new block gives new numbers";

    // Only BPM1: the BPM2 fields keep theirs.
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 0);
    nextPoll();
    refresh();
    panel->nr_tovashes_changed();
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit"), expected(block(), kFields[4], 0));
    EXPECT_EQ(text(panel.get(), "posYStdLineEdit_2"), bpm2Kept);
    expectTablesShown(true, false);
}

TEST_F(StatsTest, FailedPresenceReadCountsAsNoBpm)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    nextPoll();
    makePanel();
    ASSERT_NE(text(panel.get(), "posXMeanLineEdit"), "0.000 um");

    // The library may not write its outputs on failure: the panel zeroes them first.
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
    nextPoll();
    makePanel();
    const QString before = text(panel.get(), "posXStdLineEdit");
    nextPoll();
    const QString after = expected(block(), kFields[1], 0);
    ASSERT_NE(after, before);

    // No explicit refresh: the panel's own timer, a second long, picks the new block
    // up. Restarted here, it fires one period later (a coarse timer may be 5 % early).
    auto *timer = panel->findChild<QTimer *>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    QElapsedTimer waited;
    qint64 fired = -1;
    QObject::connect(timer, &QTimer::timeout, panel.get(), [&] {
        if (fired < 0)
            fired = waited.elapsed();
    });
    timer->start();
    waited.start();
    while (fired < 0 && waited.elapsed() < 10000)
        QTest::qWait(20);
    EXPECT_EQ(text(panel.get(), "posXStdLineEdit"), after);
    EXPECT_GE(fired, 900);
}

} // namespace
