#pragma once
// The program's environment (a fresh simulator on its manual clock, the logger at
// Info, the process-wide settings at their start values) with the library hooks
// cleared before and after each test.

#include "ProgramEnvironment.h"

class SimFixture : public ProgramEnvironment
{
protected:
    void SetUp() override;
    void TearDown() override;
};
