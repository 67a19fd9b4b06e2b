#include "LogMessage.h"

#include <cstdio>
#include <ctime>

namespace Logging {

namespace {

// Local time as "yyyy-MM-ddThh:mm:ss.zzz". Written by hand because every log call
// at or above the threshold pays for it on the calling thread, and QDateTime's
// local-time conversion plus format parsing cost several microseconds; the C
// library's conversion is the one QDateTime itself relies on, so the text is the same.
QString localTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const qint64 msecs = time.toMSecsSinceEpoch();
    qint64 secs = msecs / 1000;
    int millis = static_cast<int>(msecs % 1000);
    if (millis < 0) {
        millis += 1000;
        --secs;
    }
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss.zzz"));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    return QString::fromLatin1(text);
}

} // namespace

LogMessage::LogMessage()
    : m_level(TraceLevel)
{
}

LogMessage::LogMessage(const QString &message, const QDateTime &time, Level level)
    : m_message(message)
    , m_time(time)
    , m_level(level)
{
    // One argument after the other and the message last, so that a "%1" inside the
    // message text is left as it stands.
    m_formatted = QStringLiteral("%1 %2 %3")
                      .arg(QLatin1String(levelText(level)))
                      .arg(localTimeText(time))
                      .arg(message);
}

} // namespace Logging
