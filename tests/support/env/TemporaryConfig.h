#pragma once
// A configuration file of the test's own in a temporary folder: the store reads and
// writes it from construction on, and the real file again after destruction. The
// helpers reach the file directly, independently of the store.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class TemporaryConfig
{
public:
    TemporaryConfig();
    ~TemporaryConfig();
    Q_DISABLE_COPY(TemporaryConfig)

    bool isValid() const { return m_dir.isValid(); }
    const QString &path() const { return m_path; }
    // The folder the file is in, for other files a test needs beside it.
    QString folder() const { return m_dir.path(); }

    // One key, by its full path ("Group/Key").
    QVariant value(const QString &key) const;
    void setValue(const QString &key, const QVariant &value) const;
    QStringList keys() const;

    // The whole file as text; writing replaces it.
    QByteArray text() const;
    bool writeText(const QByteArray &text) const;
    bool exists() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};
