// Each termination signal reaches the given function in the GUI thread.
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

#include "TerminationSignals.h"

TEST(TerminationSignals, EachSignalLeavesThroughTheGuiThread)
{
    QList<int> seen;
    TerminationSignals handlers([&](int signal) { seen.append(signal); });
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return seen == QList<int>{signal}; })) << signal;
        seen.clear();
    }
}
