#pragma once
// Fixture base of the tests that run the program's own code: a freshly reset
// controller simulator on its manual clock, a configuration file of the test's own,
// the configuration store, device link and acquisition engine installed as the
// process-wide objects, and every process-wide setting at its start value. All of it
// is put back afterwards. Derived fixtures set what differs in their SetUp after
// calling this one's, and drop their own widgets in TearDown before calling it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "ConfigIni.h"
#include "MailboxComm.h"
#include "SavedSettings.h"
#include "TemporaryConfig.h"
#include "Updater.h"

class ProgramEnvironment : public ::testing::Test
{
protected:
    explicit ProgramEnvironment(std::uint64_t simSeed = 1);
    ~ProgramEnvironment() override;

    void SetUp() override;
    void TearDown() override;

    TemporaryConfig config;
    ConfigIni store;                        // configIni
    std::unique_ptr<MailboxComm> mailbox;   // mailboxComm
    std::unique_ptr<Updater> engine;        // updater

private:
    std::uint64_t m_simSeed;
    std::optional<SavedSettings> m_saved;
};
