#pragma once
// The process-wide logger and the call-site macros.
//
//     LOG_INFO() << "getSFPinfo(" << port << ") failed";
//
// Each macro tests the level first, so a statement below the threshold costs one
// int comparison and formats nothing. Items are written through a QDebug with
// automatic spacing (every item followed by one blank, texts unquoted). Any thread
// may log; a low-priority writer thread hands the messages to the destinations.

#include "Destination.h"
#include "DestinationFactory.h"
#include "Level.h"
#include "LogMessage.h"
#include "LogStatement.h"
#include "LoggerCore.h"

#include <QString>

#include <memory>

namespace Logging {

class Logger
{
public:
    // Built on first use (a log call site or main), destroyed at process exit.
    static Logger &instance()
    {
        static Logger logger;
        return logger;
    }

    Level level() const noexcept { return m_core->level(); }
    void setLevel(Level level) noexcept { m_core->setLevel(level); }

    // The logger takes ownership; an empty pointer is ignored. With HandOver (the log
    // window's destination) the lines written so far, which would otherwise be lost
    // with nobody to show them, are written to it first.
    void addDestination(std::unique_ptr<Destination> destination,
                        EarlierLines earlier = EarlierLines::Skip);
    // Takes the first destination whose type() equals `type` (case-sensitive) out of
    // the list and hands it back; empty when there is none.
    std::unique_ptr<Destination> removeDestination(const QString &type);
    bool hasDestination(const char *type);

    // The first level whose line text is a prefix of `text` ("TRACE", "DEBUG",
    // "INFO ", "WARN ", "ERROR", "FATAL"); Off and *ok = false when none is.
    static Level levelFromText(const QString &text, bool *ok = nullptr);

    // A finished message onto the writer's queue.
    void enqueue(const LogMessage &message) { m_core->thread().enqueue(message); }
    // Writes one message to every destination now (the writer thread's step).
    void dispatch(const LogMessage &message) { m_core->dispatch(message); }

    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

private:
    Logger();
    ~Logger();

    std::unique_ptr<LoggerCore> m_core;
};

} // namespace Logging

// A for statement rather than if/else (the form of Qt's own qCDebug): one level
// test, and no dangling-else warning when a call site stands under an unbraced if.
#define NIVRA_LOG_AT(lvl)                                                                    \
    for (bool nivraLogOn_ = ::Logging::Logger::instance().level() <= (lvl); nivraLogOn_;      \
         nivraLogOn_ = false)                                                                \
    ::Logging::LogStatement(lvl).stream()

#define LOG_TRACE() NIVRA_LOG_AT(::Logging::TraceLevel)
#define LOG_DEBUG() NIVRA_LOG_AT(::Logging::DebugLevel)
#define LOG_INFO() NIVRA_LOG_AT(::Logging::InfoLevel)
#define LOG_WARN() NIVRA_LOG_AT(::Logging::WarnLevel)
#define LOG_ERROR() NIVRA_LOG_AT(::Logging::ErrorLevel)
#define LOG_FATAL() NIVRA_LOG_AT(::Logging::FatalLevel)
