#pragma once
// Control interface of the controller simulator (the stand-in libnivra.so.2).
// Only tests and the simulator itself include this; the program never does.
//
// Environment read once at load (all optional):
//   NIVRA_SIM_SEED            seed of the noise generators (default 1)
//   NIVRA_SIM_TRACE           file to which every library call and node request is appended
//   NIVRA_SIM_SFP             ids on the four SFP ports, e.g. "0x2101,0x2102,0,0"
//   NIVRA_SIM_USER_PASSWORD   password of "user"  (default "user")
//   NIVRA_SIM_ADMIN_PASSWORD  password of "admin" (default "admin")

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

extern "C" {

// Back to the start state (defaults, no faults, empty call log) with a new seed.
void nivraSimReset(std::uint64_t seed);

// With the manual clock on, simulated time moves only through nivraSimAdvance,
// which makes every stream fully reproducible; off (the default) follows the wall clock.
void nivraSimUseManualClock(int on);
void nivraSimAdvance(double seconds);

// Fault injection. A failing function returns `result` (negative) without effect
// until cleared with result 0; "*" names every library function.
void nivraSimFailCall(const char *function, int result);
void nivraSimFailNodeOpen(const char *path, int fail);
// getBuffer and reads of the display node deliver at most this many records (-1: off).
void nivraSimShortRead(int maxRecords);
void nivraSimClearFaults(void);

// Modules: id 0 pulls the module on that SFP port.
void nivraSimSetSfpModule(int port, std::uint16_t id, std::uint32_t hwVersion,
                          std::uint32_t version, std::uint32_t serial);
void nivraSimSetMeterPresent(int meter, int present);
void nivraSimSetTovash(int bpm, int present);
void nivraSimSetBeamOn(int on);

// The call log: one line per library call or node request since the last reset,
// the same lines NIVRA_SIM_TRACE writes. Returns the full length; copies at most
// size - 1 characters and a terminating NUL.
std::size_t nivraSimCallLog(char *buffer, std::size_t size);
void nivraSimClearCallLog(void);
int nivraSimCallCount(const char *function);

// Peeks at the model.
double nivraSimDacOutput(int channel);
double nivraSimBeamPosition(int bpm, int axis);
std::uint64_t nivraSimSampleIndex(void);

// Node entry points found by the program's node seam.
int nivraSimNodeOpen(const char *path, int flags);
int nivraSimNodeIoctl(int fd, unsigned long request, void *record);
ssize_t nivraSimNodeRead(int fd, void *buffer, std::size_t bytes);
int nivraSimNodeClose(int fd);

} // extern "C"
