#include "LogStatement.h"

#include "LogMessage.h"
#include "Logger.h"

namespace Logging {

LogStatement::LogStatement(Level level)
    : m_level(level)
{
    m_stream.emplace(&m_buffer);
    m_stream->noquote();
}

LogStatement::~LogStatement()
{
    m_stream.reset();   // flushes every item into the buffer
    Logger::instance().enqueue(LogMessage(m_buffer, QDateTime::currentDateTimeUtc(), m_level));
}

} // namespace Logging
