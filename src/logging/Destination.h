#pragma once
// Where log messages go. Only the logger's writer thread calls write, one message
// at a time, so implementations need no locking of their own.

#include "LogMessage.h"

#include <QString>

namespace Logging {

class Destination
{
public:
    virtual ~Destination() = default;
    virtual void write(const LogMessage &message) = 0;
    virtual bool isValid() = 0;
    // Names the kind: "console", "file", "functor".
    virtual QString type() const = 0;
};

} // namespace Logging
