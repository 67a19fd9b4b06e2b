#pragma once
// A hook in front of the controller library's getTovashes, for encoder-box pairs the
// simulator never reports (it answers only 0 or 1 per BPM). The test program defines
// getTovashes itself; without a pair set it forwards to the simulator unchanged.

namespace TovashHook {

// getTovashes answers this pair with result 0, without reaching the simulator.
void answer(int first, int second);
// Back to the simulator.
void reset();

} // namespace TovashHook
