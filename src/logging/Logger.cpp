#include "Logger.h"

#include <QMetaType>

namespace Logging {

Logger::Logger()
    : m_core(std::make_unique<LoggerCore>())
{
    // So that messages travel through queued connections under this name.
    qRegisterMetaType<LogMessage>("Logging::LogMessage");
}

Logger::~Logger() = default;

void Logger::addDestination(std::unique_ptr<Destination> destination, EarlierLines earlier)
{
    m_core->addDestination(std::move(destination), earlier);
}

std::unique_ptr<Destination> Logger::removeDestination(const QString &type)
{
    return m_core->removeDestination(type);
}

bool Logger::hasDestination(const char *type)
{
    return m_core->hasDestination(type);
}

Level Logger::levelFromText(const QString &text, bool *ok)
{
    for (int level = TraceLevel; level <= FatalLevel; ++level) {
        if (text.startsWith(QLatin1String(levelText(level)), Qt::CaseSensitive)) {
            if (ok)
                *ok = true;
            return static_cast<Level>(level);
        }
    }
    if (ok)
        *ok = false;
    return OffLevel;
}

} // namespace Logging
