#pragma once
// Functor destination: a plain function (every level) and/or the signal
// logMessageReady (above Trace only), which reaches receivers on other threads
// through a queued connection.

#include "Destination.h"

#include <QObject>

namespace Logging {

using LogFunction = void (*)(const LogMessage &message);

class FunctorDestination : public QObject, public Destination
{
    Q_OBJECT
public:
    // `function` may be null: then only the signal carries the messages.
    explicit FunctorDestination(LogFunction function = nullptr);

    void write(const LogMessage &message) override;
    bool isValid() override { return true; }
    QString type() const override;

signals:
    // Spelled with the namespace so that the string signature is
    // "logMessageReady(Logging::LogMessage)".
    void logMessageReady(const Logging::LogMessage &message);

private:
    LogFunction m_function;
};

} // namespace Logging
