#pragma once
// What the process-wide logger owns: the writer thread with its queue, the
// destination list, the level threshold, and the lines written before the log
// window's destination was added (start-up failures), kept for that destination.

#include "Destination.h"
#include "Level.h"
#include "LoggerThread.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace Logging {

// Whether a destination added now also receives the lines written before it.
enum class EarlierLines { Skip, HandOver };

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

    // With HandOver the destination first receives the kept earlier lines (on the
    // calling thread, under the destinations mutex, so nothing dispatched meanwhile
    // comes before them); from then on nothing more is kept. Only one destination,
    // the log window's, ever gets them.
    void addDestination(std::unique_ptr<Destination> destination,
                        EarlierLines earlier = EarlierLines::Skip);
    std::unique_ptr<Destination> removeDestination(const QString &type);
    bool hasDestination(const char *type);

    // Writes one message to every destination in list order (writer thread).
    void dispatch(const LogMessage &message);

    LoggerThread &thread() { return m_thread; }

    // At most this many earlier lines are kept, the newest; the destination that
    // takes them is told how many older ones were let go.
    static constexpr std::size_t EarlyLineLimit = 1000;

private:
    LoggerThread m_thread;
    QMutex m_destinationsMutex;
    std::atomic<int> m_level{InfoLevel};
    std::vector<std::unique_ptr<Destination>> m_destinations;
    // Guarded by the destinations mutex.
    std::deque<LogMessage> m_earlyLines;
    std::size_t m_earlyLinesDropped = 0;
    bool m_keepingEarlyLines = true;
};

} // namespace Logging
