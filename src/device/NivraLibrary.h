#pragma once
// The controller library (libnivra.so.2): plain C functions, each returning an int
// that is negative on failure. The library keeps its own link to the controller,
// so there is no handle. Called from several threads without a lock.

#include <cstdint>

extern "C" {

// Wrapped by MailboxComm.
int getSystemVersion(std::uint32_t *hwTimestamp, std::uint32_t *swVersion, std::uint32_t *pidVersion);
int setCtrlReset(void);
int setPIDconf(std::int8_t code);
int getPIDconf(std::int8_t *code);
int setFBenable(std::uint8_t on);
int setSetpoint2(int axis, double value);
int getSetpoint2(int axis, double *value);
int setWindAvg(int axis, int window);
int tovashEncoderSelect(int select, std::uint8_t bpm);
int getOutputMux(std::uint8_t *mux);
int setOutputMux(std::uint8_t mux);
int setBPMselector(int x, int y, int i0);
int getBPMselector(int *x, int *y, int *i0);
int setPIDoutSel(std::uint8_t x, std::uint8_t y, std::uint8_t i0);
int setDisplayFreq(int rateHz, std::uint8_t mode);
int getDisplayFreq(int *rateHz, std::uint8_t *mode);
int setROClimits(int channel, double lower, double upper);
int setROCenable(std::uint8_t bpm1X, std::uint8_t bpm1Y, std::uint8_t bpm1BeamOff,
                 std::uint8_t bpm2X, std::uint8_t bpm2Y, std::uint8_t bpm2BeamOff);
int getROCenable(std::uint8_t *bpm1X, std::uint8_t *bpm1Y, std::uint8_t *bpm1BeamOff,
                 std::uint8_t *bpm2X, std::uint8_t *bpm2Y, std::uint8_t *bpm2BeamOff);
int setTovashSumDiff(std::uint8_t bpm, std::uint8_t mathFunction);
int setTovashType(std::uint8_t bpm, std::uint8_t encoderType);
int setBPMscale(int bpm, double scaleX, double scaleY);
int setOffset(double x, double y, double i0);
int setBPMoffsetTovash(int bpm, int encoderType, double offsetX, double offsetY);
int setCrossBar(std::uint8_t bpm, std::uint8_t top, std::uint8_t right, std::uint8_t bottom,
                std::uint8_t left);
int setPIDparams(std::int8_t axis, double p0, double p1, double p2, double p3, double p4,
                 double p5, double p6, double p7);

// Called directly by the program.
int getTovashes(int *bpm1, int *bpm2);
int getOscalons(int *meter1, int *meter2);
int getBuffer(void *buffer, int records);
int getLock(char user[32], char password[32]);
int getLockStatus(void);
int getPIDstatus(void);
int getBPMStats(void *block);
int getSFPinfo(int port, std::uint16_t *id, std::uint32_t *hwVersion, std::uint32_t *version,
               std::uint32_t *serial);
int getPIDoutSel(std::uint8_t *x, std::uint8_t *y, std::uint8_t *i0);
int funcGenConfig(float amplitude[4], float offset[4], float frequency);
int funcGenEnable(std::uint8_t on);

} // extern "C"
