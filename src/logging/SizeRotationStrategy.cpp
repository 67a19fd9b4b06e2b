#include "SizeRotationStrategy.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace Logging {

namespace {

void printError(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

void SizeRotationStrategy::start(const QFile &file)
{
    m_fileName = file.fileName();
    m_currentSize = file.size();
}

void SizeRotationStrategy::start(const QString &filePath, int size)
{
    m_fileName = filePath;
    m_currentSize = size;
}

void SizeRotationStrategy::account(const QString &line)
{
    account(line.toUtf8());
}

void SizeRotationStrategy::account(const QByteArray &line)
{
    m_currentSize += line.size();
}

bool SizeRotationStrategy::shouldRotate()
{
    return m_currentSize > m_maxSize;
}

void SizeRotationStrategy::setMaxBackups(int backups)
{
    m_maxBackups = std::min(backups, MaxBackupsLimit);
}

QString SizeRotationStrategy::backupName(int number) const
{
    // Joined, not arg()-substituted: a "%1" in the log's own path must stay as it is.
    return m_fileName + QLatin1Char('.') + QString::number(number);
}

void SizeRotationStrategy::rotate()
{
    if (m_maxBackups == 0) {
        if (!removeFile(m_fileName))
            printError(QStringLiteral("Logger: backup delete failed ") + m_fileName);
        return;
    }

    // Shift only the unbroken run name.1, name.2, ...; a gap stops it, so backups
    // beyond the gap stay as they are.
    int last = 0;
    for (int i = 1; i <= m_maxBackups; ++i) {
        if (!fileExists(backupName(i)))
            break;
        last = std::min(i, m_maxBackups - 1);
    }
    for (int i = last; i >= 1; --i) {
        const QString from = backupName(i);
        const QString to = backupName(i + 1);
        removeFile(to);
        if (!renameFile(from, to))
            printError(QStringLiteral("Logger: could not rename backup ") + from
                       + QStringLiteral(" to ") + to);
    }

    const QString first = backupName(1);
    if (fileExists(first))
        removeFile(first);
    if (!renameFile(m_fileName, first))
        printError(QStringLiteral("Logger: could not rename log ") + m_fileName
                   + QStringLiteral(" to ") + first);
}

bool SizeRotationStrategy::removeFile(const QString &path)
{
    return QFile::remove(path);
}

bool SizeRotationStrategy::fileExists(const QString &path)
{
    return QFile::exists(path);
}

bool SizeRotationStrategy::renameFile(const QString &from, const QString &to)
{
    return QFile::rename(from, to);
}

} // namespace Logging
