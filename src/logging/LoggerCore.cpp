#include "LoggerCore.h"

namespace Logging {

LoggerCore::LoggerCore()
    : m_thread(*this)
{
    m_destinations.reserve(2);
    m_thread.start(QThread::LowPriority);
}

LoggerCore::~LoggerCore()
{
    m_thread.stop();
    QMutexLocker lock(&m_destinationsMutex);
    for (auto &destination : m_destinations)
        destination.reset();
    m_destinations.clear();
}

void LoggerCore::addDestination(std::unique_ptr<Destination> destination)
{
    if (!destination)
        return;
    QMutexLocker lock(&m_destinationsMutex);
    m_destinations.push_back(std::move(destination));
}

std::unique_ptr<Destination> LoggerCore::removeDestination(const QString &type)
{
    QMutexLocker lock(&m_destinationsMutex);
    for (auto it = m_destinations.begin(); it != m_destinations.end(); ++it) {
        if ((*it)->type() == type) {
            std::unique_ptr<Destination> found = std::move(*it);
            m_destinations.erase(it);
            return found;
        }
    }
    return nullptr;
}

bool LoggerCore::hasDestination(const char *type)
{
    const QString wanted = QString::fromLatin1(type);
    QMutexLocker lock(&m_destinationsMutex);
    for (const auto &destination : m_destinations) {
        if (destination->type() == wanted)
            return true;
    }
    return false;
}

void LoggerCore::dispatch(const LogMessage &message)
{
    QMutexLocker lock(&m_destinationsMutex);
    for (const auto &destination : m_destinations)
        destination->write(message);
}

} // namespace Logging
