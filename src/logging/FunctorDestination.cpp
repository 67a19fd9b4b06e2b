#include "FunctorDestination.h"

namespace Logging {

FunctorDestination::FunctorDestination(LogFunction function)
    : m_function(function)
{
}

void FunctorDestination::write(const LogMessage &message)
{
    if (m_function)
        m_function(message);
    if (message.level() > TraceLevel)
        emit logMessageReady(message);
}

QString FunctorDestination::type() const
{
    return QStringLiteral("functor");
}

} // namespace Logging
