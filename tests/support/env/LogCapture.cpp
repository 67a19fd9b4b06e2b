#include "LogCapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>

#include <memory>

namespace {
const QString markerPrefix = QStringLiteral("--log-capture-marker-");
int captureCount = 0;
} // namespace

class LogCapture::Sink : public Logging::Destination
{
public:
    explicit Sink(QString type) : m_type(std::move(type)) {}
    void write(const Logging::LogMessage &message) override
    {
        QMutexLocker lock(&mutex);
        received.append({message.level(), message.message()});
    }
    bool isValid() override { return true; }
    QString type() const override { return m_type; }

    QMutex mutex;
    QList<LogCapture::Entry> received;

private:
    QString m_type;
};

LogCapture::LogCapture() : m_type(QStringLiteral("capture-%1").arg(++captureCount))
{
    auto sink = std::make_unique<Sink>(m_type);
    m_sink = sink.get();
    Logging::Logger::instance().addDestination(std::move(sink));
    // Messages of earlier tests may still be on their way: let them pass first.
    clear();
}

LogCapture::~LogCapture()
{
    Logging::Logger::instance().removeDestination(m_type);
}

QList<LogCapture::Entry> LogCapture::entries()
{
    const QString marker = markerPrefix + QString::number(++m_markers);
    LOG_FATAL() << marker;
    QElapsedTimer clock;
    clock.start();
    QList<Entry> result;
    for (;;) {
        {
            QMutexLocker lock(&m_sink->mutex);
            bool seen = false;
            for (const Entry &e : m_sink->received)
                seen = seen || e.text.startsWith(marker);
            if (seen || clock.elapsed() > 10000) {
                for (const Entry &e : m_sink->received)
                    if (!e.text.startsWith(markerPrefix))
                        result.append(e);
                break;
            }
        }
        QThread::msleep(1);
    }
    return result;
}

QStringList LogCapture::texts(Logging::Level minimum)
{
    QStringList result;
    for (const Entry &e : entries())
        if (e.level >= minimum)
            result.append(e.text);
    return result;
}

void LogCapture::clear()
{
    entries();   // let everything pending arrive first
    QMutexLocker lock(&m_sink->mutex);
    m_sink->received.clear();
}
