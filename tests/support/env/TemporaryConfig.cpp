#include "TemporaryConfig.h"

#include <QFile>
#include <QSettings>

#include "ConfigIni.h"

TemporaryConfig::TemporaryConfig() : m_path(m_dir.filePath(QStringLiteral("config.ini")))
{
    ConfigIni::setFilePathForTesting(m_path);
}

TemporaryConfig::~TemporaryConfig()
{
    ConfigIni::setFilePathForTesting(QString());
}

QVariant TemporaryConfig::value(const QString &key) const
{
    QSettings file(m_path, QSettings::IniFormat);
    return file.value(key);
}

void TemporaryConfig::setValue(const QString &key, const QVariant &value) const
{
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(key, value);
}

QStringList TemporaryConfig::keys() const
{
    QSettings file(m_path, QSettings::IniFormat);
    return file.allKeys();
}

QByteArray TemporaryConfig::text() const
{
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TemporaryConfig::writeText(const QByteArray &text) const
{
    QFile file(m_path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

bool TemporaryConfig::exists() const
{
    return QFile::exists(m_path);
}
