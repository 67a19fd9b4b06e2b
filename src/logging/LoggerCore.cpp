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

void LoggerCore::addDestination(std::unique_ptr<Destination> destination, EarlierLines earlier)
{
    if (!destination)
        return;
    QMutexLocker lock(&m_destinationsMutex);
    if (earlier == EarlierLines::HandOver && m_keepingEarlyLines) {
        if (m_earlyLinesDropped > 0)
            destination->write(LogMessage(
                QStringLiteral("%1 earlier log lines were not kept").arg(m_earlyLinesDropped),
                m_earlyLines.front().time(), InfoLevel));
        for (const LogMessage &line : m_earlyLines)
            destination->write(line);
        m_keepingEarlyLines = false;
        m_earlyLinesDropped = 0;
        std::deque<LogMessage>().swap(m_earlyLines);
    }
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
    if (m_keepingEarlyLines) {
        m_earlyLines.push_back(message);
        if (m_earlyLines.size() > EarlyLineLimit) {
            m_earlyLines.pop_front();
            ++m_earlyLinesDropped;
        }
    }
    for (const auto &destination : m_destinations)
        destination->write(message);
}

} // namespace Logging
