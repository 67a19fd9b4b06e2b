#include "BuildNumber.h"

#include <QFile>
#include <QMessageBox>
#include <QTextStream>

namespace BuildNumber {

QString readFirstLine()
{
    QFile file(QString::fromLatin1(ResourcePath));
    if (!file.open(QIODevice::ReadOnly))
        QMessageBox::information(nullptr, QStringLiteral("error"), file.errorString(),
                                 QMessageBox::Ok);
    QTextStream in(&file);
    return in.readLine();
}

QString versionText()
{
    return QStringLiteral("2.0") + QStringLiteral(".") + readFirstLine();
}

} // namespace BuildNumber
