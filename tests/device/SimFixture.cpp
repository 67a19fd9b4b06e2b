#include "SimFixture.h"

#include "LibraryHooks.h"

void SimFixture::SetUp()
{
    ProgramEnvironment::SetUp();
    LibraryHooks::reset();
}

void SimFixture::TearDown()
{
    LibraryHooks::reset();
    ProgramEnvironment::TearDown();
}
