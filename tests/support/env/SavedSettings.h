#pragma once
// Every process-wide setting of the program (rates, calibration, loop sources, access
// level, version texts, the long-lived object pointers) and the logger's level, as
// they were at construction; put back by restore() and again at destruction.

#include <QString>
#include <QtGlobal>

#include "Level.h"

class ConfigIni;
class DialogLogin;
class MailboxComm;
class Updater;

class SavedSettings
{
public:
    SavedSettings();
    ~SavedSettings();
    Q_DISABLE_COPY(SavedSettings)

    void restore() const;

    // The values the program starts with, the object pointers null, the logger at Info.
    static void setStartValues();

private:
    int m_shared[5];              // the rate, base clock and loop sources
    int m_dispBufSize;
    int m_userLevel;
    double m_calibration[6][2];   // scale, offset and distance of X and Y, per BPM
    QString m_versions[3];
    Updater *m_updater;
    MailboxComm *m_mailboxComm;
    DialogLogin *m_dialogLogin;
    ConfigIni *m_configIni;
    Logging::Level m_logLevel;
};
