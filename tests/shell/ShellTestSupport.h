#pragma once
// Helpers of the shell tests: the simulator's call log as lines, and logging in to
// the controller as an operator would.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <QResource>

#include <string>

#include "NivraLibrary.h"
#include "NivraSim.h"

// The calls the simulator logged, optionally only those of one function.
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

// Takes the controller's lock as `user`; the level is what getLockStatus reports next.
inline void logIn(const char *user, const char *password)
{
    char u[32] = {};
    char p[32] = {};
    qstrncpy(u, user, sizeof u);
    qstrncpy(p, password, sizeof p);
    getLock(u, p);
}

// Takes the build-number resource out of the resource tree while it lives.
class BuildNumberRemoved
{
public:
    BuildNumberRemoved() { Q_CLEANUP_RESOURCE(extra); }
    ~BuildNumberRemoved() { Q_INIT_RESOURCE(extra); }
    BuildNumberRemoved(const BuildNumberRemoved &) = delete;
    BuildNumberRemoved &operator=(const BuildNumberRemoved &) = delete;
};
