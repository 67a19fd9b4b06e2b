#!/usr/bin/env bash
# A failed hand-back or generator-off is told at the end, whenever it failed, and
# nothing once a later switch worked. Faults come from NIVRA_SIM_FAIL, or appear and
# clear through the simulator's fail file while the program runs. Run under xvfb-run.
#   run_e2e_left_on_controller.sh <nivra-ui> <work dir>
set -u
APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"
export NIVRA_SIM_FAIL_FILE="$WORK/fail"

# Starts the program, logs in and opens the Tools menu's item $1 places below the
# first, titled $2; sets TOOL.
open_tool() {
    start_app
    fill_screen
    login_admin
    open_menu t
    for ((i = 0; i < $1; i++)); do xdotool key Down; done
    xdotool key Return
    TOOL=$(find_window 10 "$2")
    [ -n "$TOOL" ] || fail "no window '$2'"
}
start_sweep() {
    open_tool 3 'Frequency Analysis Tool'
    xdotool mousemove --window "$TOOL" 646 133 click 1   # Start sweep
    wait_for 10 trace_has 1 '^funcGenEnable\(1\)' || fail "the sweep did not start"
}

# --- A step response's failed hand-back, then File > Exit: told on stderr before the
# box shows, and a signal while the box waits keeps its own code ---
export NIVRA_SIM_FAIL='setOutputMux(1)'
export NIVRA_SIM_TRACE="$WORK/sim-trace-step-exit.txt"
open_tool 2 'Step Response'
xdotool mousemove --window "$TOOL" 820 754 click 1   # Run
wait_for 5 shown 'DAC outputs not handed back' || fail "the failed hand-back was not shown"
open_menu f
xdotool key e
find_window 10 'Left on the controller' >/dev/null || fail "File > Exit: no final box"
told_lines | grep -q -E "^nivra-ui: $(hand_back 'Step Response')" || fail "not on stderr while the box waits"
kill -TERM "$PID"
wait_end 5 "SIGTERM during the final box" "$(date +%s.%N)"
told "an earlier failure, then File > Exit and SIGTERM" 143 "$(hand_back 'Step Response')"

# --- The fatal display failure during a 3-D scan, both switches failing ---
export NIVRA_SIM_FAIL='setOutputMux(1);funcGenEnable(0)'
export NIVRA_SIM_TRACE="$WORK/sim-trace-fatal.txt"
start_scan
echo 'getBuffer' >"$NIVRA_SIM_FAIL_FILE"
answer_box 'Cannot open file'
answer_box 'Left on the controller'
wait_end 5 "answering the boxes" "$(date +%s.%N)"
told "the fatal display failure" 1 "$(hand_back '3D Rocking Curve')" "$GENERATOR_ON"

# --- File > Exit during a sweep whose generator will not go off: the sweep's line
# alone, naming its output ---
export NIVRA_SIM_FAIL='funcGenEnable(0)'
export NIVRA_SIM_TRACE="$WORK/sim-trace-sweep-exit.txt"
: >"$NIVRA_SIM_FAIL_FILE"
start_sweep
exit_through_box
told "File > Exit during a sweep" 1 \
    'Frequency Analysis: funcGenEnable\(0\) failed: the function generator may still drive DAC output 1\.$'

# --- The sweep's generator-off fails, then the fault clears: nothing is told ---
export NIVRA_SIM_FAIL=
export NIVRA_SIM_TRACE="$WORK/sim-trace-sweep-mended.txt"
echo 'funcGenEnable(0)' >"$NIVRA_SIM_FAIL_FILE"
start_sweep
wait_for 10 trace_has 1 '^funcGenEnable\(0\) -> -1' || fail "the sweep's generator-off did not fail"
: >"$NIVRA_SIM_FAIL_FILE"
exit_by_menu
told "a failed generator-off mended before File > Exit" 0
echo "PASS"
