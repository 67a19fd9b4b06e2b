#pragma once
// Helpers shared by the logging tests: a destination that records what it is given,
// a wait with a deadline, and a capture of what is written to standard error.

#include "Destination.h"
#include "LogMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryFile>
#include <QThread>

#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace LoggingTest {

// Shared between the writer thread (write) and the test (messages).
struct Record {
    QMutex mutex;
    std::vector<Logging::LogMessage> messages;
    std::vector<QString> destroyed;

    std::vector<Logging::LogMessage> snapshot()
    {
        QMutexLocker lock(&mutex);
        return messages;
    }
    std::size_t count()
    {
        QMutexLocker lock(&mutex);
        return messages.size();
    }
};

class RecordingDestination : public Logging::Destination
{
public:
    RecordingDestination(Record &record, QString type = QStringLiteral("recorder"),
                         QString name = QString())
        : m_record(record), m_type(std::move(type)), m_name(std::move(name))
    {
    }
    ~RecordingDestination() override
    {
        QMutexLocker lock(&m_record.mutex);
        m_record.destroyed.push_back(m_name);
    }
    void write(const Logging::LogMessage &message) override
    {
        if (onWrite)
            onWrite(message);
        QMutexLocker lock(&m_record.mutex);
        m_record.messages.push_back(message);
    }
    bool isValid() override { return true; }
    QString type() const override { return m_type; }

    std::function<void(const Logging::LogMessage &)> onWrite;

private:
    Record &m_record;
    QString m_type;
    QString m_name;
};

// Polls `done` (processing events) until it holds or `ms` have passed.
inline bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Everything written to file descriptor 2 while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    ~StderrCapture() { restore(); }

    QByteArray text()
    {
        restore();
        QFile in(m_file.fileName());
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace LoggingTest
