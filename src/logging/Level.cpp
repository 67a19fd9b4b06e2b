#include "Level.h"

#include <QCoreApplication>

namespace Logging {

const char *levelText(int level)
{
    switch (level) {
    case TraceLevel: return "TRACE";
    case DebugLevel: return "DEBUG";
    case InfoLevel: return "INFO ";
    case WarnLevel: return "WARN ";
    case ErrorLevel: return "ERROR";
    case FatalLevel: return "FATAL";
    case OffLevel: return "";
    default: return "INFO ";
    }
}

QString levelDisplayName(int level)
{
    switch (level) {
    case TraceLevel: return QCoreApplication::translate("QObject", "Trace");
    case DebugLevel: return QCoreApplication::translate("QObject", "Debug");
    case InfoLevel: return QCoreApplication::translate("QObject", "Info");
    case WarnLevel: return QCoreApplication::translate("QObject", "Warning");
    case ErrorLevel: return QCoreApplication::translate("QObject", "Error");
    case FatalLevel: return QCoreApplication::translate("QObject", "Fatal");
    default: return QString();
    }
}

} // namespace Logging
