#pragma once
// File destination: every log line into a file, rotated by the owned strategy.

#include "Destination.h"
#include "RotationStrategy.h"

#include <QFile>
#include <QTextStream>

#include <memory>

namespace Logging {

class FileDestination : public Destination
{
public:
    // Opens the file at once; a failure is reported on standard error only.
    FileDestination(const QString &filePath, std::unique_ptr<RotationStrategy> rotation);

    void write(const LogMessage &message) override;
    bool isValid() override { return m_file.isOpen(); }
    QString type() const override;

private:
    bool openFile();

    // Declared in this order so that destruction takes the strategy first, then the
    // stream (which flushes into the still open file), then the file.
    QFile m_file;
    QTextStream m_stream;
    std::unique_ptr<RotationStrategy> m_rotation;
};

} // namespace Logging
