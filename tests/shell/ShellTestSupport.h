#pragma once
// Helpers of the shell tests: logging in to the controller as an operator would, and
// taking the build-number resource away.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <QResource>

#include "NivraLibrary.h"
#include "NivraSim.h"

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
