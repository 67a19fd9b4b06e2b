#include "AcquisitionSettings.h"

RelaxedAtomicInt SAMP_FREQ{1000};
int DISP_BUF_SIZE = 3670016;

double BPM_SCALE_X[2] = {1.0, 1.0};
double BPM_SCALE_Y[2] = {1.0, 1.0};
double BPM_OFFSET_X[2] = {0.0, 0.0};
double BPM_OFFSET_Y[2] = {0.0, 0.0};
double BPM_DIST_X[2] = {1000000.0, 1000000.0};
double BPM_DIST_Y[2] = {1000000.0, 1000000.0};

RelaxedAtomicInt pidBaseClock{100000};
RelaxedAtomicInt bpmSelX{0};
RelaxedAtomicInt bpmSelY{0};
RelaxedAtomicInt bpmSelI0{0};

int userLevel = 0;

QString hwTimestamp;
QString swVersion;
QString pidVersion;

Updater *updater = nullptr;
MailboxComm *mailboxComm = nullptr;
DialogLogin *dialogLogin = nullptr;
ConfigIni *configIni = nullptr;
