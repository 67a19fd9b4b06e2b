#include "SavedSettings.h"

#include <algorithm>

#include "AcquisitionSettings.h"
#include "Logger.h"

namespace {

// The settings SavedSettings keeps in arrays, in its order.
RelaxedAtomicInt *const sharedInts[5] = {&SAMP_FREQ, &pidBaseClock, &bpmSelX, &bpmSelY,
                                         &bpmSelI0};
double *const calibrationArrays[6] = {BPM_SCALE_X,  BPM_SCALE_Y, BPM_OFFSET_X,
                                      BPM_OFFSET_Y, BPM_DIST_X,  BPM_DIST_Y};
QString *const versionTexts[3] = {&hwTimestamp, &swVersion, &pidVersion};

} // namespace

SavedSettings::SavedSettings()
    : m_dispBufSize(DISP_BUF_SIZE),
      m_userLevel(userLevel),
      m_updater(updater),
      m_mailboxComm(mailboxComm),
      m_dialogLogin(dialogLogin),
      m_configIni(configIni),
      m_logLevel(Logging::Logger::instance().level())
{
    for (int i = 0; i < 5; ++i)
        m_shared[i] = *sharedInts[i];
    for (int a = 0; a < 6; ++a)
        std::copy_n(calibrationArrays[a], 2, m_calibration[a]);
    for (int i = 0; i < 3; ++i)
        m_versions[i] = *versionTexts[i];
}

SavedSettings::~SavedSettings()
{
    restore();
}

void SavedSettings::restore() const
{
    for (int i = 0; i < 5; ++i)
        *sharedInts[i] = m_shared[i];
    DISP_BUF_SIZE = m_dispBufSize;
    userLevel = m_userLevel;
    for (int a = 0; a < 6; ++a)
        std::copy_n(m_calibration[a], 2, calibrationArrays[a]);
    for (int i = 0; i < 3; ++i)
        *versionTexts[i] = m_versions[i];
    updater = m_updater;
    mailboxComm = m_mailboxComm;
    dialogLogin = m_dialogLogin;
    configIni = m_configIni;
    Logging::Logger::instance().setLevel(m_logLevel);
}

void SavedSettings::setStartValues()
{
    const int startShared[5] = {1000, 100000, 0, 0, 0};
    for (int i = 0; i < 5; ++i)
        *sharedInts[i] = startShared[i];
    DISP_BUF_SIZE = 14336 * 256;
    userLevel = 0;
    const double startCalibration[6] = {1.0, 1.0, 0.0, 0.0, 1000000.0, 1000000.0};
    for (int a = 0; a < 6; ++a)
        std::fill_n(calibrationArrays[a], 2, startCalibration[a]);
    for (QString *text : versionTexts)
        text->clear();
    updater = nullptr;
    mailboxComm = nullptr;
    dialogLogin = nullptr;
    configIni = nullptr;
    Logging::Logger::instance().setLevel(Logging::InfoLevel);
}
