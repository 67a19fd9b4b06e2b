#include "SimCallLog.h"

#include <string>

#include "NivraSim.h"

namespace {

QString withoutResult(const QString &line)
{
    return line.section(QStringLiteral(" -> "), 0, 0);
}

bool isCallTo(const QString &line, const char *function)
{
    return line.startsWith(QLatin1String(function) + QLatin1Char('('));
}

} // namespace

QString SimCallLog::text()
{
    // The log may grow between the two calls (a polling thread): the second call
    // copies no more than the buffer holds, and the text ends at its NUL.
    std::string buffer(nivraSimCallLog(nullptr, 0) + 1, '\0');
    nivraSimCallLog(buffer.data(), buffer.size());
    return QString::fromStdString(buffer.c_str());
}

QStringList SimCallLog::lines()
{
    return text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimCallLog::linesOf(std::initializer_list<const char *> functions)
{
    QStringList result;
    for (const QString &line : lines()) {
        for (const char *function : functions) {
            if (isCallTo(line, function)) {
                result.append(line);
                break;
            }
        }
    }
    return result;
}

QStringList SimCallLog::callsTo(const char *function)
{
    QStringList result;
    for (const QString &line : lines()) {
        if (isCallTo(line, function))
            result.append(withoutResult(line));
    }
    return result;
}

QStringList SimCallLog::calls()
{
    QStringList result;
    for (const QString &line : lines())
        result.append(withoutResult(line));
    return result;
}
