#!/usr/bin/env bash
# Leaving during a 3-D rocking scan, by File > Exit and by SIGTERM: the program ends
# within about a second (code 0, and 128 + 15 for the signal), the scan hands the
# outputs back (multiplexer 1) after its last point and the generator is switched off
# after that. In the first run "Enable Feedback" is pressed during the scan: it is
# refused, and no setFBenable reaches the controller while the scan holds the outputs.
# Run under xvfb-run.
#   run_e2e_exit_scan.sh <nivra-ui> <work dir>
set -u
APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"
DAC_WRITE=0x40084228

# Starts the program, logs in and starts a 3-D scan; returns once it has written 20 points.
start_scan() {
    start_app
    fill_screen
    login_admin   # the tools open to an operator
    open_from_menu t 3 '3D Rocking Curve'
    xdotool key Tab Tab Tab Tab Tab Tab space   # Go
    wait_for 5 eval '[ "$(grep -c $DAC_WRITE "$NIVRA_SIM_TRACE")" -gt 20 ]' || fail "the 3-D scan did not start"
}

# Waits up to 5 s for the program to end; sets RC and TOOK (seconds since $1).
wait_end() {
    wait_for 5 eval '! kill -0 "$PID" 2>/dev/null' || fail "program still running 5 s after $2"
    TOOK=$(awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
    wait "$PID"
    RC=$?
    PID=
}

# The scan ended early, handed the outputs back after its last point, then main
# switched the generator off.
check_hand_back() {
    local t=$NIVRA_SIM_TRACE
    WRITES=$(grep -c $DAC_WRITE "$t")
    local last_write mux gen_off
    last_write=$(grep -n $DAC_WRITE "$t" | tail -1 | cut -d: -f1)
    mux=$(grep -n '^setOutputMux(' "$t" | tail -1)
    gen_off=$(grep -n '^funcGenEnable(0)' "$t" | tail -1 | cut -d: -f1)
    [ "$WRITES" -lt 4096 ] || fail "$1: the scan ran to its end"
    case "$mux" in *:setOutputMux\(1\)*) ;; *) fail "$1: outputs not handed back: $mux" ;; esac
    [ "${mux%%:*}" -gt "$last_write" ] && [ "${gen_off:-0}" -gt "${mux%%:*}" ] ||
        fail "$1: hand-back and generator off not after the last point"
}

# --- File > Exit, after a refused press of "Enable Feedback" ---
start_scan
# The feedback button heads the "Control" dock in the window's top right corner.
xdotool mousemove --window "$WIN" $((WIDTH - 170)) 159 click 1
wait_for 5 eval 'xdotool search --onlyvisible --name "^DAC outputs in use\$" >/dev/null' ||
    REFUSAL="no 'DAC outputs in use' box after \"Enable Feedback\" during the scan"
open_menu f
T_EXIT=$(date +%s.%N)
xdotool key e
wait_end "$T_EXIT" "File > Exit"
[ "$RC" -eq 0 ] || fail "exit code $RC"
awk -v t="$TOOK" 'BEGIN { exit !(t <= 1.5) }' || fail "File > Exit took $TOOK s during the scan"
check_hand_back "File > Exit"
pass "File > Exit ended in $TOOK s with code 0 after $WRITES points, outputs handed back, generator off"
# Whatever the press did, nothing switched the feedback while the scan held the outputs.
SENT=$(sed -n '/^setOutputMux(0)/,/^setOutputMux(1)/p' "$NIVRA_SIM_TRACE" | grep '^setFBenable(' | head -1)
[ -z "$SENT" ] || fail "\"Enable Feedback\" during the scan sent $SENT"
[ -z "${REFUSAL:-}" ] || fail "$REFUSAL"
pass "\"Enable Feedback\" during the scan refused, nothing sent"

# --- SIGTERM ends the program as File > Exit does ---
export NIVRA_SIM_TRACE="$WORK/sim-trace-sigterm.txt"
start_scan
T_TERM=$(date +%s.%N)
kill -TERM "$PID"
wait_end "$T_TERM" "SIGTERM"
[ "$RC" -eq 143 ] || fail "exit code $RC after SIGTERM, not 143"
awk -v t="$TOOK" 'BEGIN { exit !(t <= 1.5) }' || fail "SIGTERM took $TOOK s during the scan"
check_hand_back "SIGTERM"
pass "SIGTERM ended in $TOOK s with code 143 after $WRITES points, outputs handed back, generator off"
echo "PASS"
