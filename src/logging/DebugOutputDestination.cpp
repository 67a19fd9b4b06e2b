#include "DebugOutputDestination.h"

#include <cstdio>

namespace Logging {

void DebugOutputDestination::write(const LogMessage &message)
{
    std::fprintf(stderr, "%s\n", message.formatted().toLocal8Bit().constData());
    std::fflush(stderr);
}

QString DebugOutputDestination::type() const
{
    return QStringLiteral("console");
}

} // namespace Logging
