#pragma once
// What the process-wide logger owns: the writer thread with its queue, the
// destination list and the level threshold.

#include "Destination.h"
#include "Level.h"
#include "LoggerThread.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace Logging {

class LoggerCore
{
public:
    // Starts the writer thread at low priority.
    LoggerCore();
    // Stops the writer (dropping what is still queued), then deletes every
    // destination in list order.
    ~LoggerCore();
    LoggerCore(const LoggerCore &) = delete;
    LoggerCore &operator=(const LoggerCore &) = delete;

    // Read on every call site without a lock; relaxed is enough since nothing is
    // ordered around it, and it keeps the read a plain load.
    Level level() const noexcept { return static_cast<Level>(m_level.load(std::memory_order_relaxed)); }
    void setLevel(Level level) noexcept { m_level.store(level, std::memory_order_relaxed); }

    void addDestination(std::unique_ptr<Destination> destination);
    std::unique_ptr<Destination> removeDestination(const QString &type);
    bool hasDestination(const char *type);

    // Writes one message to every destination in list order (writer thread).
    void dispatch(const LogMessage &message);

    LoggerThread &thread() { return m_thread; }

private:
    LoggerThread m_thread;
    QMutex m_destinationsMutex;
    std::atomic<int> m_level{InfoLevel};
    std::vector<std::unique_ptr<Destination>> m_destinations;
};

} // namespace Logging
