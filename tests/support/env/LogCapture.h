#pragma once
// Collects what the code under test logs. The logger writes on its own thread, so
// messages() first logs a marker at Fatal (which passes every threshold but Off) and
// waits until it has come through: everything logged before it has then arrived.

#include <QMutex>
#include <QString>
#include <QtGlobal>
#include <QStringList>

#include "Logger.h"

#include <ostream>

// Readable QStrings in test failure output.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    Q_DISABLE_COPY(LogCapture)

    struct Entry {
        Logging::Level level;
        QString text;
    };

    // Every message logged since construction or the last clear, in order.
    QList<Entry> entries();
    // Their texts only, at or above `minimum`.
    QStringList texts(Logging::Level minimum = Logging::TraceLevel);
    void clear();

private:
    class Sink;
    Sink *m_sink = nullptr;   // owned by the logger
    QString m_type;
    int m_markers = 0;
};
