#include "DestinationFactory.h"

#include "DebugOutputDestination.h"
#include "FileDestination.h"
#include "NullRotationStrategy.h"
#include "SizeRotationStrategy.h"

namespace Logging {

std::unique_ptr<Destination> makeConsoleDestination()
{
    return std::make_unique<DebugOutputDestination>();
}

std::unique_ptr<Destination> makeFunctorDestination(LogFunction function)
{
    return std::make_unique<FunctorDestination>(function);
}

std::unique_ptr<Destination> makeFunctorDestination(QObject *receiver, const char *member)
{
    auto destination = std::make_unique<FunctorDestination>();
    QObject::connect(destination.get(), "2logMessageReady(Logging::LogMessage)", receiver, member,
                     Qt::QueuedConnection);
    return destination;
}

std::unique_ptr<Destination> makeFileDestination(const QString &filePath, int rotation,
                                                 qint64 maxSize, int maxOldLogs)
{
    std::unique_ptr<RotationStrategy> strategy;
    if (rotation == SizeRotation) {
        auto size = std::make_unique<SizeRotationStrategy>();
        size->setMaxSize(maxSize);
        size->setMaxBackups(maxOldLogs);
        strategy = std::move(size);
    } else {
        strategy = std::make_unique<NullRotationStrategy>();
    }
    return std::make_unique<FileDestination>(filePath, std::move(strategy));
}

} // namespace Logging
