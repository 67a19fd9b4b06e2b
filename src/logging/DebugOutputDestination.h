#pragma once
// Console destination: every log line on standard error.

#include "Destination.h"

namespace Logging {

class DebugOutputDestination : public Destination
{
public:
    void write(const LogMessage &message) override;
    bool isValid() override { return true; }
    QString type() const override;
};

} // namespace Logging
