#pragma once
// Rotates once the bytes counted exceed a maximum: the log becomes backup 1
// (name.1, the newest), older backups shift up to a maximum count.

#include "RotationStrategy.h"

#include <QString>

namespace Logging {

class SizeRotationStrategy : public RotationStrategy
{
public:
    static constexpr int MaxBackupsLimit = 10;

    void start(const QFile &file) override;
    // Sets the file name and the current size directly.
    void start(const QString &filePath, int size);
    void account(const QString &line) override;
    void account(const QByteArray &line) override;
    bool shouldRotate() override;
    void rotate() override;
    QIODevice::OpenMode openMode() const override { return QIODevice::Append; }

    // File operations, one call of QFile each (virtual so that failures can be staged).
    virtual bool removeFile(const QString &path);
    virtual bool fileExists(const QString &path);
    virtual bool renameFile(const QString &from, const QString &to);

    void setMaxSize(qint64 bytes) { m_maxSize = bytes; }
    // At most 10; a negative count is stored as given (the log then only replaces name.1).
    void setMaxBackups(int backups);

    QString fileName() const { return m_fileName; }
    qint64 currentSize() const { return m_currentSize; }
    qint64 maxSize() const { return m_maxSize; }
    int maxBackups() const { return m_maxBackups; }

private:
    QString backupName(int number) const;

    QString m_fileName;
    qint64 m_currentSize = 0;
    qint64 m_maxSize = 0;
    int m_maxBackups = 0;
};

} // namespace Logging
