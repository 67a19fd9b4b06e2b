#include "LoggerThread.h"

#include "LoggerCore.h"

namespace Logging {

LoggerThread::LoggerThread(LoggerCore &core)
    : m_core(core)
{
    setObjectName(QStringLiteral("LoggerThread"));
}

LoggerThread::~LoggerThread()
{
    stop();
}

void LoggerThread::enqueue(const LogMessage &message)
{
    QMutexLocker lock(&m_queueMutex);
    m_queue.push_back(message);
    m_wakeUp.wakeOne();
}

void LoggerThread::stop()
{
    if (isFinished())
        return;
    {
        QMutexLocker lock(&m_queueMutex);
        requestInterruption();
        m_wakeUp.wakeOne();
    }
    wait();
}

std::size_t LoggerThread::queuedCount() const
{
    QMutexLocker lock(&m_queueMutex);
    return m_queue.size();
}

void LoggerThread::run()
{
    for (;;) {
        QMutexLocker lock(&m_queueMutex);
        while (m_queue.empty() && !isInterruptionRequested())
            m_wakeUp.wait(&m_queueMutex);
        if (isInterruptionRequested())
            return;
        const LogMessage message = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        // Never hold the queue mutex while writing: callers would wait for output.
        m_core.dispatch(message);
    }
}

} // namespace Logging
