#pragma once
// The ways to build a destination for Logger::addDestination.

#include "Destination.h"
#include "FunctorDestination.h"

#include <QtGlobal>

#include <memory>

class QObject;

namespace Logging {

enum LogFileRotation {
    NoRotation = 0,
    SizeRotation = 1   // any value other than 1 never rotates
};

// Every line on standard error.
std::unique_ptr<Destination> makeConsoleDestination();

// Calls `function` with every message, Trace included.
std::unique_ptr<Destination> makeFunctorDestination(LogFunction function);

// Delivers every message above Trace to `member` of `receiver` (Qt string form,
// e.g. SLOT(addLogMessage(Logging::LogMessage))) by a queued connection.
std::unique_ptr<Destination> makeFunctorDestination(QObject *receiver, const char *member);

// rotation 1: size rotation at maxSize bytes keeping at most maxOldLogs (up to 10)
// numbered backups, appending to an existing log; otherwise the file is emptied
// and never rotated.
std::unique_ptr<Destination> makeFileDestination(const QString &filePath, int rotation,
                                                 qint64 maxSize, int maxOldLogs);

} // namespace Logging
