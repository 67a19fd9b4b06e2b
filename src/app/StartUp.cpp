#include "StartUp.h"

#include <cstdint>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "Logger.h"
#include "MailboxComm.h"

void StartUp::loadBpmCalibration()
{
    // A file that gives nothing is said once, here: everything below would read 0.
    // So is every value that is not a number: each reads as a default, mostly 0.
    if (configIni->checkFile())
        configIni->checkNumbers();
    for (int b = 0; b < 2; ++b) {
        BPM_SCALE_X[b] = configIni->readConfigScaleX(b);
        BPM_SCALE_Y[b] = configIni->readConfigScaleY(b);
        BPM_OFFSET_X[b] = configIni->readConfigOffsetX(b);
        BPM_OFFSET_Y[b] = configIni->readConfigOffsetY(b);
        BPM_DIST_X[b] = configIni->readConfigDistanceX(b);
        BPM_DIST_Y[b] = configIni->readConfigDistanceY(b);
    }
}

void StartUp::sendDeviceDefaults()
{
    mailboxComm->getSystemVersion(&hwTimestamp, &swVersion, &pidVersion);

    SAMP_FREQ = 1000;
    mailboxComm->setDisplayFreq(0);

    // The X and Y ROC checks go back as the controller held them; both beam-off
    // checks start switched off. After a failed read nothing is sent: guessed
    // flags could switch the controller's out-of-ROC protection off.
    std::uint8_t roc[6] = {0, 0, 0, 0, 0, 0};
    if (mailboxComm->getROCenable(&roc[0], &roc[1], &roc[2], &roc[3], &roc[4], &roc[5]) < 0)
        LOG_WARN() << "ROC checks left as the controller holds them: they could not be read";
    else
        mailboxComm->setROCenable(roc[0], roc[1], 0, roc[3], roc[4], 0);

    // A failed read leaves the loop sources as they were.
    int x = 0, y = 0, i0 = 0;
    if (mailboxComm->getBPMselector(&x, &y, &i0) >= 0) {
        bpmSelX = x;
        bpmSelY = y;
        bpmSelI0 = i0;
    }
}
