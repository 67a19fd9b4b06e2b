// Each termination signal reaches the given function in the GUI thread, once.
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

#include "TerminationSignals.h"

TEST(TerminationSignals, EachSignalLeavesThroughTheGuiThread)
{
    QList<int> seen;
    {
        TerminationSignals handlers([&](int signal) { seen.append(signal); });
        ASSERT_TRUE(handlers.isInstalled());
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            const auto before = seen.size();
            ASSERT_EQ(std::raise(signal), 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() > before; }));
        }
    }
    EXPECT_EQ(seen, (QList<int>{SIGTERM, SIGINT, SIGHUP}));
    EXPECT_EQ(std::signal(SIGTERM, SIG_DFL), SIG_DFL);   // put back when it goes
}
