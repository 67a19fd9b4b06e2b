#include "SavedFile.h"

#include <QFile>
#include <QString>
#include <QTextStream>

bool SavedFile::close(QTextStream &out, QFile &file, QString *error)
{
    out.flush();
    const bool flushed = out.status() == QTextStream::Ok && file.flush();
    // The flush's reason, before close() replaces it with its own.
    *error = file.errorString();
    file.close();
    if (flushed && file.error() != QFileDevice::NoError)
        *error = file.errorString();
    return flushed && file.error() == QFileDevice::NoError;
}
