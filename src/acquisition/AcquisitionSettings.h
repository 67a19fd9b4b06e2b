#pragma once
// Process-wide acquisition settings, per-BPM calibration, loop sources, access
// level, controller version texts and the long-lived objects. Read and written by
// name; readers take the current value when they run. Index 0 is BPM1, 1 is BPM2.

#include <QString>

#include "RelaxedAtomicInt.h"

class Updater;
class MailboxComm;
class DialogLogin;
class ConfigIni;

// Written by the frequency-sweep worker too, hence atomic.
extern RelaxedAtomicInt SAMP_FREQ;   // display sample rate, Hz
extern int DISP_BUF_SIZE;            // bytes fetched per acquisition cycle, 256 per record

extern double BPM_SCALE_X[2];
extern double BPM_SCALE_Y[2];
extern double BPM_OFFSET_X[2];
extern double BPM_OFFSET_Y[2];
extern double BPM_DIST_X[2];
extern double BPM_DIST_Y[2];

// Written by the SFP scan on the device-link thread.
extern RelaxedAtomicInt pidBaseClock;
extern RelaxedAtomicInt bpmSelX;
extern RelaxedAtomicInt bpmSelY;
extern RelaxedAtomicInt bpmSelI0;

extern int userLevel;                // 0 "cruise", 1 "user", 2 "admin"

extern QString hwTimestamp;
extern QString swVersion;
extern QString pidVersion;

extern Updater *updater;
extern MailboxComm *mailboxComm;
extern DialogLogin *dialogLogin;
extern ConfigIni *configIni;

// Records per acquisition cycle.
inline int displayRecordCount() { return DISP_BUF_SIZE / 256; }
