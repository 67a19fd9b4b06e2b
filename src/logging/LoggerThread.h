#pragma once
// The single writer thread: takes finished messages from an unbounded FIFO queue
// and hands each, in queue order, to the core's destinations. Callers only push.

#include "LogMessage.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>

namespace Logging {

class LoggerCore;

class LoggerThread : public QThread
{
    Q_OBJECT
public:
    explicit LoggerThread(LoggerCore &core);
    ~LoggerThread() override;

    // Push at the back under the queue mutex and wake the writer. Never blocks on output.
    void enqueue(const LogMessage &message);

    // Ask the writer to end and wait for it. Whatever is still queued is not written.
    void stop();

    // Messages waiting to be written (for diagnostics and tests).
    std::size_t queuedCount() const;

protected:
    void run() override;

private:
    LoggerCore &m_core;
    mutable QMutex m_queueMutex;
    QWaitCondition m_wakeUp;
    std::deque<LogMessage> m_queue;
};

} // namespace Logging
