#!/usr/bin/env bash
# Leaving during a 3-D rocking scan, by File > Exit and by SIGTERM: the program ends
# within about a second (code 0, and 128 + 15 for the signal), the scan hands the
# outputs back (multiplexer 1) after its last point and the generator is switched off
# after that. In the first run "Enable Feedback" is pressed during the scan: it is
# refused, and no setFBenable reaches the controller while the scan holds the outputs.
# From the SIGTERM run on, the hand-back (and last the generator-off) fails on the way
# out: told in one line on stderr and in the status, on File > Exit also in a box the
# program waits for.
# Run under xvfb-run.
#   run_e2e_exit_scan.sh <nivra-ui> <work dir>
set -u
APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"

# After $1 ended the program (RC, TOOK set) with code $2: within 1.5 s, the scan ended
# early, handed the outputs back after its last point, then main switched the generator off.
check_left() { # what code
    local t=$NIVRA_SIM_TRACE last_write mux gen_off writes
    [ "$RC" -eq "$2" ] || fail "$1: exit code $RC, not $2"
    awk -v t="$TOOK" 'BEGIN { exit !(t <= 1.5) }' || fail "$1 took $TOOK s during the scan"
    writes=$(grep -c $DAC_WRITE "$t")
    last_write=$(grep -n $DAC_WRITE "$t" | tail -1 | cut -d: -f1)
    mux=$(grep -n '^setOutputMux(' "$t" | tail -1)
    gen_off=$(grep -n '^funcGenEnable(0)' "$t" | tail -1 | cut -d: -f1)
    [ "$writes" -lt 4096 ] || fail "$1: the scan ran to its end"
    case "$mux" in *:setOutputMux\(1\)*) ;; *) fail "$1: outputs not handed back: $mux" ;; esac
    [ "${mux%%:*}" -gt "$last_write" ] && [ "${gen_off:-0}" -gt "${mux%%:*}" ] ||
        fail "$1: hand-back and generator off not after the last point"
    pass "$1 ended in $TOOK s with code $2 after $writes points, outputs handed back, generator off"
}

# --- File > Exit, after a refused press of "Enable Feedback" ---
start_scan
click_feedback
wait_for 5 shown 'DAC outputs in use' || fail "\"Enable Feedback\" during the scan not refused"
exit_by_menu
check_left "File > Exit" 0
# Nothing switched the feedback while the scan held the outputs.
SENT=$(sed -n '/^setOutputMux(0)/,/^setOutputMux(1)/p' "$NIVRA_SIM_TRACE" | grep '^setFBenable(' | head -1)
[ -z "$SENT" ] || fail "\"Enable Feedback\" during the scan sent $SENT"
pass "\"Enable Feedback\" during the scan refused, nothing sent"

export NIVRA_SIM_FAIL='setOutputMux(1)'

# --- SIGTERM ends the program as File > Exit does; a hand-back failing on the way
# out is told, and nothing waits ---
export NIVRA_SIM_TRACE="$WORK/sim-trace-sigterm.txt"
start_scan
T_TERM=$(date +%s.%N)
kill -TERM "$PID"
wait_end 5 "SIGTERM" "$T_TERM"
check_left "SIGTERM" 143
told "SIGTERM, hand-back failing" 143 "$(hand_back '3D Rocking Curve')"

# --- File > Exit with the hand-back failing: the operator sees it before the end ---
export NIVRA_SIM_TRACE="$WORK/sim-trace-exit-failing.txt"
start_scan
exit_through_box
told "File > Exit, hand-back failing" 1 "$(hand_back '3D Rocking Curve')"

# --- SIGHUP with the generator failing to go off ---
export NIVRA_SIM_FAIL='funcGenEnable(0)'
export NIVRA_SIM_TRACE="$WORK/sim-trace-sighup-generator.txt"
start_app
kill -HUP "$PID"
wait_end 5 "SIGHUP" "$(date +%s.%N)"
told "SIGHUP, generator failing" 129 "$GENERATOR_ON"
echo "PASS"
