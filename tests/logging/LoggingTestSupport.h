#pragma once
// Shared by the logging tests: a destination that records what the writer gives it,
// a wait with a deadline, and a capture of standard error.

#include "Destination.h"

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

struct Record {
    QMutex mutex;   // the writer thread appends, the test reads
    std::vector<Logging::LogMessage> messages;
    std::vector<QString> destroyed;

    std::vector<Logging::LogMessage> snapshot()
    {
        QMutexLocker lock(&mutex);
        return messages;
    }
};

class RecordingDestination : public Logging::Destination
{
public:
    RecordingDestination(Record &r, QString type = "recorder", QString name = {})
        : record(r), kind(std::move(type)), name(std::move(name)) {}
    ~RecordingDestination() override { record.destroyed.push_back(name); }
    void write(const Logging::LogMessage &m) override
    {
        if (onWrite)
            onWrite(m);
        QMutexLocker lock(&record.mutex);
        record.messages.push_back(m);
    }
    bool isValid() override { return true; }
    QString type() const override { return kind; }

    std::function<void(const Logging::LogMessage &)> onWrite;
    Record &record;
    QString kind, name;
};

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

// Everything written to file descriptor 2 from construction to text().
class StderrCapture
{
public:
    StderrCapture()
    {
        file.open();
        std::fflush(stderr);
        saved = ::dup(2);
        ::dup2(file.handle(), 2);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        QFile in(file.fileName());
        in.open(QIODevice::ReadOnly);
        return in.readAll();
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        saved = -1;
    }
    QTemporaryFile file;
    int saved = -1;
};

} // namespace LoggingTest
