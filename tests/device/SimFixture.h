#pragma once
// A fresh simulator (manual clock, no faults, empty call log), library hooks cleared,
// the logger at Info and the process-wide settings back at their start values.

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

class SimFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The simulator's call log, one call per line: "name(args) -> result".
    static QStringList callLog();
    // The calls of one function, each without its " -> result" part.
    static QStringList callsTo(const char *function);
};
