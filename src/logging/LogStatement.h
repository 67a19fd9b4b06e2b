#pragma once
// The short-lived object of one log call: items are streamed into a QDebug with
// automatic spacing (each item followed by one blank, texts unquoted); when the
// statement ends the text becomes a LogMessage on the logger's queue.

#include "Level.h"

#include <QDebug>
#include <QString>

#include <optional>

namespace Logging {

class LogStatement
{
public:
    explicit LogStatement(Level level);
    ~LogStatement();
    LogStatement(const LogStatement &) = delete;
    LogStatement &operator=(const LogStatement &) = delete;

    QDebug &stream() { return *m_stream; }

private:
    Level m_level;
    QString m_buffer;
    std::optional<QDebug> m_stream;   // ended before the buffer is read
};

} // namespace Logging
