#pragma once
// The simulator's call log as lines, optionally only those of one function.

#include <QString>
#include <QStringList>

#include <string>

#include "NivraSim.h"

inline QStringList simCalls(const QString &function = QString())
{
    std::string text(nivraSimCallLog(nullptr, 0) + 1, '\0');
    nivraSimCallLog(text.data(), text.size());
    const QStringList lines = QString::fromStdString(text.c_str()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (function.isEmpty())
        return lines;
    QStringList matching;
    for (const QString &line : lines)
        if (line.startsWith(function + QLatin1Char('(')))
            matching << line;
    return matching;
}
