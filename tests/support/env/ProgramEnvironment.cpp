#include "ProgramEnvironment.h"

#include "AcquisitionSettings.h"
#include "NivraSim.h"
#include "OutputsHandOver.h"
#include "ShutdownReport.h"

ProgramEnvironment::ProgramEnvironment(std::uint64_t simSeed) : m_simSeed(simSeed) {}

ProgramEnvironment::~ProgramEnvironment() = default;

void ProgramEnvironment::SetUp()
{
    nivraSimReset(m_simSeed);
    nivraSimUseManualClock(1);
    ShutdownReport::reset();   // a test that left the program leaves the next one alone
    OutputsHandOver::reset();
    ASSERT_TRUE(config.isValid());

    m_saved.emplace();
    SavedSettings::setStartValues();
    configIni = &store;
    mailbox = std::make_unique<MailboxComm>();
    mailboxComm = mailbox.get();
    engine = std::make_unique<Updater>();
    updater = engine.get();
}

void ProgramEnvironment::TearDown()
{
    // The pointers first, so that nothing reaches the objects while they go.
    m_saved.reset();
    engine.reset();
    mailbox.reset();
    nivraSimClearFaults();
}
