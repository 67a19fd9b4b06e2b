#pragma once
// How a file destination decides to start a new log file, and what it does with
// the old one.

#include <QIODevice>

class QByteArray;
class QFile;
class QString;

namespace Logging {

class RotationStrategy
{
public:
    virtual ~RotationStrategy() = default;
    // Called after every opening of the log file.
    virtual void start(const QFile &file) = 0;
    // Counts a line about to be written.
    virtual void account(const QString &line) = 0;
    virtual void account(const QByteArray &line) = 0;
    virtual bool shouldRotate() = 0;
    virtual void rotate() = 0;
    // Open flags the file destination adds to its own.
    virtual QIODevice::OpenMode openMode() const = 0;
};

} // namespace Logging
