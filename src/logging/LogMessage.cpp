#include "LogMessage.h"

namespace Logging {

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
                      .arg(time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss.zzz")))
                      .arg(message);
}

} // namespace Logging
