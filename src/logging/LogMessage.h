#pragma once
// One finished log statement. A plain value: copied freely between threads, its
// strings implicitly shared. The log line is built once, in the constructor.

#include "Level.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace Logging {

class LogMessage
{
public:
    // Empty texts, null time, Trace: the meta-type system needs a default.
    LogMessage();
    // time is the moment the statement ended, in UTC.
    LogMessage(const QString &message, const QDateTime &time, Level level);

    const QString &message() const { return m_message; }
    const QDateTime &time() const { return m_time; }
    Level level() const { return m_level; }
    // "<level text> <local time yyyy-MM-ddThh:mm:ss.zzz> <message>"
    const QString &formatted() const { return m_formatted; }

private:
    QString m_message;
    QDateTime m_time;
    Level m_level;
    QString m_formatted;
};

} // namespace Logging

Q_DECLARE_METATYPE(Logging::LogMessage)
