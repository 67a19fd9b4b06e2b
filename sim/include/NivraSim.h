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
//   NIVRA_SIM_FAIL            calls that fail with -1, as nivraSimFailCall names them,
//                             separated by ";", e.g. "setOutputMux(1);funcGenEnable(0)"
//   NIVRA_SIM_FAIL_FILE       a file naming more such calls (";" or lines), read again
//                             at every call: a fault appears or clears as it changes
// nivraSimReset restores this set-up (with the seed it is given).
//
// Default set-up
//   SFP port 0: encoder box 0x2301 (BPM1), port 1: encoder box 0x2302 (BPM2), ports 2
//   and 3 empty; hardware version 2, version "1.0.2.3", serial 20240017 / 20241017.
//   Both current meters present, beam on, login level 0 ("cruise").
//   A BPM's words in the display stream are zero while its port holds no
//   acquisition module (0x21xx or 0x23xx); getTovashes reports 1 for a 0x23xx.
//   getLock: "cruise" with any password gives 0, "user" and "admin" with their
//   passwords 1 and 2, anything else 0; the level granted is the level in force.
//   Controller: display 1000 Hz mode 0, feedback off, output mux 1, PID
//   configuration 1 (X and Y), BPM selectors 0 0 0, PID outputs on DAC 0 1 2,
//   setpoints 0, PID parameters Kp 0.3 Ki 0.1 Kd 0.01 e min 0 I max 100 O min -12
//   O max 12 O gain 1, ROC checks off. The PID base clock is 5000 Hz while an
//   encoder box is plugged, else 100 kHz; a loop runs every window-average base
//   clock periods, and until setWindAvg sets its window it runs at 1 kHz.
//   Version words: timestamp 1718033400, software bytes 2 7 1 5, PID bytes 1 6 8 3.
//
// The beam
//   Positions are micrometres at scale 1.0: BPM1 near (12, -8), BPM2 near (18, -5),
//   BPM2 2 m downstream (it sees the angle too). A quiet beamline: white noise of
//   0.1 um per 100 kHz sample (mode 0 averages over the display period, mode 1 does
//   not; the loops average over their window), slow drift (0.5 um rms) and vibration
//   lines at 7, 25, 50 and 130 Hz (0.2 um and less): an open-loop step of a few
//   volts stands out of the raw 50 kHz stream, 0.1 V (0.2 um) does not. The X, Y
//   and I0 loops each drive the DAC channel setPIDoutSel gave them; the beam
//   answers that channel through a dead time of 0.2 ms and a 1 ms first-order lag
//   (K e^(-s 0.2 ms) / (1 + s 1 ms), the same at every display rate; the generator's
//   sine reaches the plant as a continuous sine), with 2.0 / 1.5 um per volt at BPM1
//   and 3.5 / 2.8 um per volt at BPM2.
//   Intensity (I0 words, amperes, sum of the four electrodes): 4 uA (BPM1) and
//   3.6 uA (BPM2) at the rocking peak, a product of one Gaussian-on-a-floor per
//   loop actuator, peaking at 4.6 V (X loop channel), 4.4 V (Y) and 4.2 V (I0),
//   widths 0.35, 0.35 and 0.6 V. Encoder words 24-31 and the meter channels are
//   electrodes top, right, bottom, left: x = 1000 um * (R - L) / (R + L),
//   y = 1000 um * (T - B) / (T + B); encoder words in counts of 1 pA.
//   The function generator sets every DAC channel to offset + amplitude * sin(phase)
//   whatever the output mux; word 7 carries sin (byte 56) and cos (byte 60) of its
//   phase, 0 while it is off; each start begins at phase 0.
//   Output mux 0: the DACs follow DAC_IOC_SET_OUTPUTS (clamped to +-12 V; the
//   record's last word must be 1). Mux 1: each loop's channel carries its output
//   (its offset while the feedback is off or the loop is not regulated), others 0 V.
//   PID configuration codes: 0 X, 1 X+Y, 2 X+I0, 3 Y, 4 Y+I0, 5 X+Y+I0, 6 I0.
//   PID per tick (base clock / window): e = setpoint - scale * mean position (I0
//   loop: intensity in uA); |e| < e min counts as 0; I += Ki e within +-|I max|;
//   out = clamp(offset + O gain (Kp e + I + Kd (e - e_prev)), O min, O max).
//   The gains act per tick: with the editor's defaults (1 kHz, Kp 0.3, Ki 0.1,
//   Kd 0.01) every loop settles within about 25 ms; the same gains on a loop much
//   slower than the plant's lag (100 Hz) oscillate, as any sampled loop whose
//   Kp times plant gain nears 1 does.
//   Status: 0 feedback off; 1 a ROC check saw |scale * position - setpoint of that
//   axis| outside [lower, upper] of channel 3 * bpm + axis (latched until
//   setCtrlReset or the feedback is switched off); 2 a beam-off check is enabled
//   and that BPM's intensity is below the lower limit of channel 3 * bpm + 2
//   (default 1e-9 A); 3 feedback on. With status 1 or 2 the outputs hold.
//
// The display stream
//   Records are produced up to "now" on demand (wall clock, or the manual clock)
//   into a ring of 65536 records; 16384 records already exist at a reset. After a
//   longer idle time only the last ring's worth is simulated. getBuffer(buf, n)
//   copies the newest n records (at most the ring) oldest first and returns n.
//   Display node: each descriptor has a read position. Its first read returns the
//   newest records at once (a 3670016-byte read gives the newest 14336). Every later
//   read continues exactly where the previous read ended, waiting (sleeping, or
//   advancing the manual clock) until the records exist, so 256-byte reads yield
//   a gap-free stream. setDisplayFreq moves the position of every open display
//   descriptor to the first record at the new rate (so a read after a rate change
//   holds only records at the new rate). A position that fell out of the ring acts
//   like a first read. A read delivers whole records only, at most 32768; fewer
//   than 256 bytes fail with EINVAL.
//   Node descriptors are numbers from 1000 up, private to the simulator. Unknown
//   path, a pulled meter or nivraSimFailNodeOpen: -1 with errno ENOENT.
//
// Trace and call log line format
//   name(arg, arg, ...) -> result; outputs after the call as *value (*? when the
//   call failed and wrote nothing, null for a null pointer); doubles in shortest
//   round-trip form; SFP ids as *0x2301; strings quoted with \xNN escapes; float
//   arrays as [a, b, c, d]; data blocks as `buffer`. Node requests:
//   open("/dev/nivra_oscalon0", 0) -> 1000,
//   ioctl(1000, 0x80084214, *MeterStatus{4e-07, 3.9e-07, 4.1e-07, 4e-07}) -> 0,
//   ioctl(1001, 0x40084228, DacOutputs{1, 2, 0, 0, 1}) -> 0, read(1002, buffer, 256) -> 256,
//   close(1000) -> 0. A meter request shows the currents of the record it filled in
//   byte order (MeterStatus: channels 4, 3, 2, 1; CurrentReadings: indices 0 to 3),
//   *? when it failed. The control functions below are not logged.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

extern "C" {

// Back to the start state (defaults, no faults, empty call log) with a new seed.
void nivraSimReset(std::uint64_t seed);

// With the manual clock on, simulated time moves only through nivraSimAdvance (and
// through display-node reads that wait), which makes every stream fully
// reproducible; off (the default) follows the wall clock, and nivraSimAdvance
// makes it jump ahead.
void nivraSimUseManualClock(int on);
void nivraSimAdvance(double seconds);
// Simulated seconds since the last reset.
double nivraSimTime(void);

// Fault injection. A failing function returns `result` (negative) without effect
// until cleared with result 0; "*" names every library function. A name with
// arguments, as the call log prints them ("funcGenEnable(0)", "setOutputMux(1)"),
// fails only the calls whose log line begins with it. "DAC_IOC_SET_OUTPUTS" makes
// the DAC node refuse every record with EIO (traced, the outputs unchanged).
void nivraSimFailCall(const char *function, int result);
void nivraSimFailNodeOpen(const char *path, int fail);
// getBuffer and reads of the display node deliver at most this many records (-1: off).
void nivraSimShortRead(int maxRecords);
void nivraSimClearFaults(void);

// Modules: id 0 pulls the module on that SFP port.
void nivraSimSetSfpModule(int port, std::uint16_t id, std::uint32_t hwVersion,
                          std::uint32_t version, std::uint32_t serial);
void nivraSimSetMeterPresent(int meter, int present);
// Puts an encoder box (0x2301 + bpm) or a plain acquisition module (0x2101 + bpm)
// on the BPM's port.
void nivraSimSetTovash(int bpm, int present);
void nivraSimSetBeamOn(int on);
// Scales white noise, drift and vibration lines (1 by default, 0 gives a still beam).
void nivraSimSetNoiseScale(double scale);

// The call log: one line per library call or node request since the last reset,
// the same lines NIVRA_SIM_TRACE writes (the oldest are dropped beyond 400000
// lines). It is kept from the first nivraSimReset, nivraSimCallLog or
// nivraSimClearCallLog on, or from the start with NIVRA_SIM_TRACE; before that
// only the counts are. Returns the full length; copies at most size - 1 characters and a
// terminating NUL.
std::size_t nivraSimCallLog(char *buffer, std::size_t size);
void nivraSimClearCallLog(void);
int nivraSimCallCount(const char *function);

// Peeks at the model.
double nivraSimDacOutput(int channel);
// Noise-free beam position in um (axis 0 X, 1 Y) or intensity in A (axis 2), now.
double nivraSimBeamPosition(int bpm, int axis);
// Number of display records produced so far (index of the next one).
std::uint64_t nivraSimSampleIndex(void);
// Stored settings that have no getter, NaN for an unknown name or index:
//   "crossBar" (4 * bpm + k: top, right, bottom, left), "bpmScale" (2 * bpm + axis),
//   "pidOffset" (loop), "windowAvg" (loop), "pidParams" (8 * loop + k),
//   "rocLower", "rocUpper" (channel), "tovashSumDiff", "tovashType",
//   "encoderSelect", "offsetTovashType" (bpm), "offsetTovash" (2 * bpm + axis),
//   "genAmplitude", "genOffset", "hostDac" (channel), "genFrequency", "genOn",
//   "feedbackOn" (index 0).
double nivraSimSetting(const char *name, int index);

// Node entry points found by the program's node seam.
int nivraSimNodeOpen(const char *path, int flags);
int nivraSimNodeIoctl(int fd, unsigned long request, void *record);
ssize_t nivraSimNodeRead(int fd, void *buffer, std::size_t bytes);
int nivraSimNodeClose(int fd);

} // extern "C"
