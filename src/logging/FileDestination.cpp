#include "FileDestination.h"

#include <cstdio>

namespace Logging {

namespace {

void printError(const char *prefix, const QString &path)
{
    std::fputs(prefix, stderr);
    std::fputs(path.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

FileDestination::FileDestination(const QString &filePath, std::unique_ptr<RotationStrategy> rotation)
    : m_rotation(std::move(rotation))
{
    m_file.setFileName(filePath);
    if (!openFile())
        printError("Logger: could not open log file ", filePath);
    m_stream.setDevice(&m_file);
    m_stream.setEncoding(QStringConverter::Utf8);
    m_rotation->start(m_file);
}

bool FileDestination::openFile()
{
    return m_file.open(m_rotation->openMode() | QIODevice::WriteOnly | QIODevice::Text);
}

void FileDestination::write(const LogMessage &message)
{
    const QByteArray line = message.formatted().toUtf8();
    m_rotation->account(line);
    if (m_rotation->shouldRotate()) {
        m_stream.setDevice(nullptr);
        m_file.close();
        m_rotation->rotate();
        if (!openFile())
            printError("Logger: could not reopen log file ", m_file.fileName());
        // The new count is the new file's size; the line written now is not in it.
        m_rotation->start(m_file);
        m_stream.setDevice(&m_file);
    }
    // A file that never opened loses the line; writing to it would only add Qt's own
    // "device not open" warnings to standard error.
    if (!m_file.isOpen())
        return;
    m_stream << message.formatted() << '\n';
    m_stream.flush();
}

QString FileDestination::type() const
{
    return QStringLiteral("file");
}

} // namespace Logging
